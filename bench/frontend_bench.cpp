// How long the frontend's survey takes on the largest song the packer takes
// (about 6 MB, fragmented) with all four side files beside it. It runs on the
// dialog's only thread after every change the user makes; target: under 5 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "framework/headless/headless.h"
#include "frontend/frontend_app.h"
#include "frontend/resources/resource.h"
#include "tests/frontend/jpeg_bytes.h"
#include "tests/tools/testkit.h"

namespace {

// A movie box with three minutes of samples, then 500 fragments of two runs.
testkit::Bytes LargestFragmentedSong() {
    testkit::TrackLayout layout;
    layout.moovSamples = 4000;
    layout.fragments.assign(500, {22, 22});
    return testkit::buildTrack(testkit::fakeFrames(22050, testkit::samplesUsed(layout), 7), layout);
}

testkit::Bytes Jpeg(uint16_t width, uint16_t height) { return jpeg_bytes::Jpeg(width, height, 4100); }

void WriteSongFolder(const testkit::TempFolder& folder) {
    testkit::writeFile(folder / "song.3g2", LargestFragmentedSong());
    testkit::writeFile(folder / "config.txt", "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n005.250,035.250\r\n\r\n\r\n");
    testkit::writeFile(folder / "description.txt", "TITLE:Bench\r\nARTIST:Tessaryn\r\n");
    testkit::writeFile(folder / "jacket.jpg", Jpeg(96, 96));
    testkit::writeFile(folder / "wallpaper.jpg", Jpeg(240, 320));
}

// Presses 再読込 again and again while the dialog is up with the song.
void BM_SurveyOfTheLargestSong(benchmark::State& state) {
    testkit::TempFolder folder;
    WriteSongFolder(folder);
    framework::headless::Reset();
    bool fragmented = false;
    framework::headless::OnDialog(IDD_FRONTEND_DIALOG, [&](CDialog& dlg) {
        for (auto _ : state) framework::headless::Click(dlg, IDC_RELOAD);
        fragmented = framework::headless::IsControlEnabled(dlg, IDC_REFRAGMENT);  // offered for a fragmented song only
    });
    CFrontendApp app;
    framework::RunApplication(("\"" + folder / "song.3g2" + "\"").c_str());
    state.counters["song_bytes"] = static_cast<double>(testkit::readFile(folder / "song.3g2").size());
    state.counters["fragmented"] = fragmented;
    framework::headless::Reset();
}
BENCHMARK(BM_SurveyOfTheLargestSong)->Unit(benchmark::kMillisecond);

}  // namespace

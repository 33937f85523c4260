// How fast the packer conditions and packs the largest music track it accepts
// (just under 6 MB) and a CMAF track of as many bytes in 190 fragments, and how
// much memory a run takes.
//
// Targets on the reference machine (2 cores): conditioning a 6 MB fragmented
// track in under 50 ms, a whole package in under 100 ms and within 1.2 times
// the time of copying the track's file (BM_CopyTrack, as cp does), whatever
// the number of fragments, and a peak resident
// size under 40 MB (the benchmark's two tracks and the 6 MB WorkBuffer
// dominate; the mapped track counts too).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "packer/conditioner/conditioner.h"
#include "packer/driver.h"
#include "tests/tools/testkit.h"

namespace {

// About 5.9 MB, just under the largest member the packer takes: a movie box with
// three minutes of samples, then 500 fragments of two runs.
testkit::TrackLayout largestLayout() {
    testkit::TrackLayout layout;
    layout.moovSamples = 4000;
    layout.fragments.assign(500, {22, 22});
    return layout;
}

// About 6 MB in 190 fragments laid out as CMAF writes them: offsets counted
// from the moof and a tfdt in each, no samples in the movie box.
testkit::TrackLayout cmafLayout() {
    testkit::TrackLayout layout;
    layout.fragments.assign(190, {146});
    layout.style.moofRelative = true;
    layout.style.tfdtVersion = 1;
    return layout;
}

testkit::Bytes buildOf(const testkit::TrackLayout& layout, uint32_t rate) {
    return testkit::buildTrack(testkit::fakeFrames(rate, testkit::samplesUsed(layout), 7), layout);
}

// The track a benchmark's argument names: 0 the largest, 1 the CMAF track.
const testkit::Bytes& benchTrack(int64_t which) {
    static const testkit::Bytes largest = buildOf(largestLayout(), 22050), cmaf = buildOf(cmafLayout(), 48000);
    return which == 0 ? largest : cmaf;
}

void reportPeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_kb"] = static_cast<double>(usage.ru_maxrss);
}

// Keeps the packer's console lines out of the benchmark's table.
class QuietStdout {
public:
    QuietStdout() : saved_(dup(fileno(stdout))) {
        std::fflush(stdout);
        std::freopen("/dev/null", "w", stdout);
    }
    ~QuietStdout() {
        std::fflush(stdout);
        dup2(saved_, fileno(stdout));
        close(saved_);
    }

private:
    int saved_;
};

void BM_ConditionTrack(benchmark::State& state) {
    const testkit::Bytes& track = benchTrack(state.range(0));
    testkit::TempFolder folder;
    testkit::writeFile(folder / "song.3g2", track);
    PackerOptions options;
    options.modeFlags = ModeFlag::ADD_MFRA | ModeFlag::ADD_IOED | ModeFlag::REFRAGMENT;
    options.camouflageBitrate = kDefaultCamouflageBitrate;
    for (auto _ : state) {
        std::unique_ptr<uint8_t[]> workBuffer(new uint8_t[kWorkBufferSize]);
        InputFile input;
        OutputFile output;
        input.Open(folder / "song.3g2");
        output.Create(folder / "song.out");
        benchmark::DoNotOptimize(ConditionMusicTrack(options, ClipRanges{}, input, output, 2560, workBuffer.get()).change);
        output.Close();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * track.size()));
    state.counters["track_bytes"] = static_cast<double>(track.size());
    reportPeakMemory(state);
}
BENCHMARK(BM_ConditionTrack)->ArgName("cmaf")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PackTrack(benchmark::State& state) {
    const testkit::Bytes& track = benchTrack(state.range(0));
    testkit::TempFolder folder;
    testkit::writeFile(folder / "song.3g2", track);
    testkit::writeFile(folder / "config.txt", std::string("KDDIMU01\r\n\r\nwallpaper.jpg,\r\n010.000,040.000\r\n"));
    std::string input = folder / "song.3g2";
    std::string mode = "-mode:27";
    char program[] = "tessaryn";
    char* argv[] = {program, &input[0], &mode[0], nullptr};
    QuietStdout quiet;
    for (auto _ : state) benchmark::DoNotOptimize(RunPacker(3, argv));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * track.size()));
    reportPeakMemory(state);
}
BENCHMARK(BM_PackTrack)->ArgName("cmaf")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The yardstick for packing: the same bytes copied to a new file.
void BM_CopyTrack(benchmark::State& state) {
    const testkit::Bytes& track = benchTrack(state.range(0));
    testkit::TempFolder folder;
    testkit::writeFile(folder / "song.3g2", track);
    for (auto _ : state) {
        std::filesystem::copy_file(folder / "song.3g2", folder / "copy.3g2", std::filesystem::copy_options::overwrite_existing);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * track.size()));
}
BENCHMARK(BM_CopyTrack)->ArgName("cmaf")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

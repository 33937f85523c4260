// How fast the packer conditions and packs the largest music track it accepts
// (just under 6 MB), and how much memory a run takes.
//
// Targets on the reference machine (2 cores): conditioning a 6 MB fragmented
// track in under 50 ms, a whole package in under 100 ms, and a peak resident
// size under 32 MB (the 6 MB WorkBuffer dominates).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
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

const testkit::Bytes& largestTrack() {
    static const testkit::Bytes track = [] {
        testkit::TrackLayout layout = largestLayout();
        testkit::AacStream stream = testkit::fakeFrames(22050, testkit::samplesUsed(layout), 7);
        return testkit::buildTrack(stream, layout);
    }();
    return track;
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

void BM_ConditionLargestTrack(benchmark::State& state) {
    testkit::TempFolder folder;
    testkit::writeFile(folder / "song.3g2", largestTrack());
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
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * largestTrack().size()));
    state.counters["track_bytes"] = static_cast<double>(largestTrack().size());
    reportPeakMemory(state);
}
BENCHMARK(BM_ConditionLargestTrack)->Unit(benchmark::kMillisecond);

void BM_PackLargestTrack(benchmark::State& state) {
    testkit::TempFolder folder;
    testkit::writeFile(folder / "song.3g2", largestTrack());
    testkit::writeFile(folder / "config.txt", std::string("KDDIMU01\r\n\r\nwallpaper.jpg,\r\n010.000,040.000\r\n"));
    std::string input = folder / "song.3g2";
    std::string mode = "-mode:27";
    char program[] = "tessaryn";
    char* argv[] = {program, &input[0], &mode[0], nullptr};
    QuietStdout quiet;
    for (auto _ : state) benchmark::DoNotOptimize(RunPacker(3, argv));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * largestTrack().size()));
    reportPeakMemory(state);
}
BENCHMARK(BM_PackLargestTrack)->Unit(benchmark::kMillisecond);

}  // namespace

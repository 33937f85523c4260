// The music probe on files of our own making: well-formed ones laid out the ways
// real tracks are, and truncated, wrapping and malformed ones that must end the
// walk without hanging or reading past the bytes a read delivered.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "frontend/music_probe.h"
#include "tests/frontend/probe_inputs.h"
#include "tests/tools/testkit.h"

namespace {

using namespace probe_inputs;

// A probe's result and every field it found, in one line.
std::string described(int result, const MusicInfo& i) {
    return std::to_string(result) + ": delta " + std::to_string(i.sampleDelta) + ", samples " +
           std::to_string(i.sampleCount) + ", bitrate " + std::to_string(i.avgBitrate) + ", timescale " +
           std::to_string(i.timescale) + ", fragmented " + std::to_string(i.fragmented) + ", length " +
           std::to_string(i.duration);
}

std::string probed(const Bytes& bytes) {
    framework::MemoryFile file(bytes);
    MusicInfo info;
    info.sampleCount = 99;  // every field starts over
    const int result = ProbeMusicFile(file, info);
    return described(result, info);
}

std::size_t offsetOf(const Bytes& bytes, const char* type) {
    return std::size_t(std::search(bytes.begin(), bytes.end(), type, type + 4) - bytes.begin());
}

Bytes firstBytes(const Bytes& bytes, std::size_t count) { return Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(count)); }

Bytes withU32(Bytes bytes, std::size_t at, uint32_t value) {
    testkit::putU32(bytes, at, value);
    return bytes;
}

// A movie box whose single stts entry ends `tableEnd` bytes after the start of the box.
Bytes movieWithTimingEndingAt(std::size_t tableEnd) {
    Movie movie;
    movie.fillerBeforeTiming = tableEnd - (offsetOf(moov(Movie{}), "stts") + 12 + 8);
    return ftyp() + moov(movie) + mdat(100);
}

// An mdat that makes the next box start at `position` (behind the 24-byte ftyp).
Bytes mdatUpTo(std::size_t position) { return mdat(position - 24 - 8); }

TEST(MusicProbe, FindsWhatTheFileHolds) {
    const MusicInfo movieOnly{1024, 1, 64000, 48000, 0, 1024};
    const MusicInfo none{};
    Movie padded, version1, multi, empty, huge, unnamed;
    padded.paddedLengths = true;
    version1.mdhdVersion = 1;
    multi.timing = {{2, 1024}, {3, 2048}, {5, 512}};
    empty.timing = {};
    huge.timing = {{0xFFFFFFFF, 1}, {5, 1}};
    unnamed.handler = nullptr;
    unnamed.timing = multi.timing;
    const Bytes multiFile = ftyp() + moov(multi);
    const std::size_t multiTiming = offsetOf(multiFile, "stts");
    Movie movie;
    testkit::TrackLayout fragmented;  // a track of the test kit's builder
    fragmented.moovSamples = 1;
    fragmented.fragments = {{1000}, {600, 400}, {1000}};
    const Bytes bigMoof = moof({20000, 7});  // the second run lies past the first 64 KiB of the body
    const std::size_t bitrateAt = 24 + offsetOf(moov(movie), "esds") + 24;  // in the file, behind ftyp

    struct Case { const char* what; Bytes file; int result; MusicInfo info; };
    const Case cases[] = {
        // One sample of 1024 in the movie box and three fragments of 1000.
        {"the worked example", ftyp() + moov(movie) + mdat(300) + fragment(1000) + fragment(1000) + fragment(1000), 0,
         {1024, 3001, 64000, 48000, 1, 3001 * 1024}},
        {"the builder's fragments, one with two runs", testkit::buildTrack(testkit::fakeFrames(48000, 3001), fragmented), 0,
         {1024, 3001, 32000, 48000, 1, 3001 * 1024}},
        {"an empty file", {}, 0, none},
        {"one byte", {0}, 1, none},
        {"seven bytes of an ftyp header", firstBytes(ftyp(), 7), 1, none},
        {"an ftyp header alone", header(8, "ftyp"), 1, none},
        {"a first box that is not ftyp", moov(movie) + ftyp(), 1, none},
        {"no movie box", ftyp() + mdat(100), 1, none},
        {"ftyp whose size is below 8", header(7, "ftyp") + moov(movie), 1, none},
        // Sizes that would wrap or lead back (0xFFFFFFE8 from position 24 is ftyp again) end the walk.
        {"a size leading back to ftyp", ftyp() + header(0xFFFFFFE8, "free") + moov(movie), 1, none},
        {"a size past 2 GiB", ftyp() + header(0x80000008, "free") + moov(movie), 1, none},
        {"a size of 0 before moov", ftyp() + header(0, "free") + moov(movie), 1, none},
        {"a size of 1 before moov", ftyp() + header(1, "mdat") + zeros(8) + moov(movie), 1, none},
        {"a size of 7 before moov", ftyp() + header(7, "free") + moov(movie), 1, none},
        {"leading back after moov", ftyp() + moov(movie) + header(0xFFFFFFE8, "free") + fragment(1000), 0, movieOnly},
        {"past 2 GiB after moov", ftyp() + moov(movie) + header(0x80000008, "free") + fragment(1000), 0, movieOnly},
        {"a size of 0 after moov", ftyp() + moov(movie) + header(0, "free") + fragment(1000), 0, movieOnly},
        {"moov after an mdat of several windows", ftyp() + mdat(200000) + moov(movie), 0, movieOnly},
        {"moov header across the 64 KiB mark", ftyp() + mdatUpTo(65532) + moov(movie), 0, movieOnly},
        {"moov just before the 64 KiB mark", ftyp() + mdatUpTo(65500) + moov(movie), 0, movieOnly},
        {"a box header across the 64 KiB mark", ftyp() + mdatUpTo(65534) + filler(100) + moov(movie), 0, movieOnly},
        {"timing ending 64 KiB into moov", movieWithTimingEndingAt(65536), 0, movieOnly},
        {"timing ending past 64 KiB into moov", movieWithTimingEndingAt(65537), 0, {0, 0, 64000, 48000, 0, 0}},
        {"cut inside the bitrate", firstBytes(ftyp() + moov(movie), bitrateAt + 2), 0, {0, 0, 0, 48000, 0, 0}},
        {"descriptor lengths padded with 0x80", ftyp() + moov(padded), 0, movieOnly},
        {"mdhd of version 1", ftyp() + moov(version1), 0, movieOnly},
        // The sample-time table: the length is count x delta of every entry when
        // the table fits, else its first entry's.
        {"stts entries of mixed deltas", multiFile, 0, {1024, 10, 64000, 48000, 0, 2 * 1024 + 3 * 2048 + 5 * 512}},
        {"the same without a track handler (found by name)", ftyp() + moov(unnamed), 0, {1024, 10, 64000, 48000, 0, 10752}},
        {"an stts cut in its second entry", firstBytes(multiFile, multiTiming + 24), 0, {1024, 2, 64000, 48000, 0, 2048}},
        {"an stts of 0xFFFFFFFF entries", withU32(multiFile, multiTiming + 8, 0xFFFFFFFF), 0, {1024, 2, 64000, 48000, 0, 2048}},
        {"an stts of one entry too many", withU32(multiFile, multiTiming + 8, 4), 0, {1024, 2, 64000, 48000, 0, 2048}},
        {"an stts without entries", ftyp() + moov(empty) + fragment(1000), 0, {0, 1000, 64000, 48000, 1, 0}},
        {"counts past 32 bits", ftyp() + moov(huge) + fragment(1000), 0,
         {1, 0xFFFFFFFF, 64000, 48000, 1, 0xFFFFFFFFull + 5 + 1000}},
        {"a moof over 64 KiB", ftyp() + moov(movie) + bigMoof + fragment(1000), 0, {1024, 21001, 64000, 48000, 1, 21001 * 1024}},
        {"a moof of size 4", ftyp() + moov(movie) + header(4, "moof") + fragment(1000), 0, {1024, 1, 64000, 48000, 1, 1024}},
        {"moov whose size is 0 (to the end)", ftyp() + header(0, "moov") + moov(movie), 0, movieOnly},
    };
    for (const Case& c : cases) {
        const std::string found = probed(c.file);
        EXPECT_EQ(found, described(c.result, c.info)) << c.what;
        EXPECT_EQ(probed(c.file), found) << c.what << ": a second probe differs";
    }
}

TEST(MusicProbe, PresentsRateAndLengthAndKeepsWholeSeconds) {
    struct Case { MusicInfo info; const char* rate; const char* length; uint32_t countAfter; };
    const Case cases[] = {
        {{1024, 3001, 64000, 48000, 1, 3073024}, "64000bps, 48000Hz", "1:04.02", 64},
        {{1024, 3001, 64000, 0, 1, 3073024}, "64000bps, 0Hz", "", 3001},  // no timescale: the count stays
        {{1024, 0, 0, 48000, 0, 0}, "0bps, 48000Hz", "0:00.00", 0},
        {{1, 47999, 128000, 48000, 0, 47999}, "128000bps, 48000Hz", "0:00.99", 0},  // hundredths round down
        {{1024, 2812, 32000, 48000, 0, 2879488}, "32000bps, 48000Hz", "0:59.98", 59},
        {{1000, 3600, 32000, 1000, 0, 3600000}, "32000bps, 1000Hz", "60:00.00", 3600},
        // 5.12e9 ticks: past 32 bits, computed whole.
        {{1024, 5000000, 48000, 48000, 0, 5120000000}, "48000bps, 48000Hz", "1777:46.66", 106666},
        {{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 1, 1, 18446744065119617025ull}, "4294967295bps, 1Hz", "307445734418660283:45.00", 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        MusicInfo info = c.info;
        const MusicTexts texts = PresentMusicInfo(info);
        EXPECT_EQ(texts.rate, c.rate) << c.length;
        EXPECT_EQ(texts.length, c.length) << c.rate;
        EXPECT_EQ(info.sampleCount, c.countAfter) << c.length;
    }
}

// ---- Tracks of ffmpeg's own making, with ffprobe as the judge ----

// The first audio stream's length as the dialog shows it, from ffprobe's
// duration in the stream's time base (hundredths cut, not rounded).
std::string ffprobeLength(const std::string& path) {
    const testkit::Ran ran = testkit::run({{"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                            "stream=time_base,duration_ts", "-of", "csv=p=0", path}});
    unsigned long long one = 0, timescale = 1, ticks = 0;
    if (std::sscanf(ran.out.c_str(), "%llu/%llu,%llu", &one, &timescale, &ticks) != 3) return "ffprobe: " + ran.out + ran.err;
    char text[64];
    std::snprintf(text, sizeof text, "%llu:%02llu.%02llu", ticks / timescale / 60, ticks / timescale % 60,
                  ticks % timescale * 100 / timescale);
    return text;
}

// ffmpeg ends an AAC track with a shorter sample (a second stts entry) and skips
// the encoder's priming samples with an edit list; a lyrics track (mov_text)
// before or after the music must lend it nothing.
TEST(MusicProbe, FfmpegTracksShowFfprobesLength) {
    testkit::TempFolder folder;
    testkit::writeFile(folder / "lyrics.srt", "1\n00:00:00,500 --> 00:00:01,500\nla la\n");
    const std::vector<std::vector<std::string>> cases = {
        {"22050", "3.3", "-f", "3g2"}, {"48000", "7.77", "-f", "mp4"}, {"8000", "1.01", "-movflags", "+faststart", "-f", "3g2"},
        {"22050", "3.3", "-i", folder / "lyrics.srt", "-map", "1", "-map", "0", "-c:s", "mov_text", "-f", "3g2"},
        {"22050", "3.3", "-i", folder / "lyrics.srt", "-map", "0", "-map", "1", "-c:s", "mov_text", "-f", "3g2"}};
    for (const std::vector<std::string>& c : cases) {
        const std::string path = folder / ("track" + std::to_string(&c - cases.data()));
        std::vector<std::string> ffmpeg = {"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                                           "sine=frequency=440:sample_rate=" + c[0] + ":duration=" + c[1]};
        ffmpeg.insert(ffmpeg.end(), c.begin() + 2, c.end());
        ffmpeg.insert(ffmpeg.end(), {"-c:a", "aac", "-b:a", "32k", path});
        ASSERT_EQ(testkit::run({ffmpeg}).exitCode, 0) << path;
        framework::DiskFile file(path);
        MusicInfo info;
        ProbeMusicFile(file, info);
        EXPECT_EQ(std::to_string(info.timescale), c[0]) << path;
        EXPECT_EQ(PresentMusicInfo(info).length, ffprobeLength(path)) << path;
    }
}

}  // namespace

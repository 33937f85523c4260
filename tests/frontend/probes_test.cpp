// The survey's probes on files of our own making: music files from the test
// kit's track builder, laid out the ways real tracks are and then truncated,
// wrapped and malformed (the walk must end without reading past the bytes a
// read delivered), ffmpeg's own tracks with ffprobe as the judge, and images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "frontend/probes/jpeg_probe.h"
#include "frontend/probes/music_probe.h"
#include "tests/frontend/jpeg_bytes.h"
#include "tests/tools/testkit.h"

namespace {

using jpeg_bytes::operator+;
using testkit::Bytes;

std::string Described(bool mayBeDamaged, const MusicInfo& i) {
    return std::string(mayBeDamaged ? "damaged" : "ok") + ": delta " + std::to_string(i.sampleDelta) + ", samples " +
           std::to_string(i.sampleCount) + ", bitrate " + std::to_string(i.avgBitrate) + ", timescale " +
           std::to_string(i.timescale) + ", fragmented " + std::to_string(i.fragmented) + ", length " +
           std::to_string(i.duration);
}

// A track of our builder at 48000 Hz declaring 32000 bit/s: `samples` of 1024
// in the movie box (the last one `lastDelta` long when not 0), then fragments.
Bytes Built(uint32_t samples, const std::vector<std::vector<uint32_t>>& fragments = {}, uint32_t lastDelta = 0,
            const Bytes& esds = {}) {
    testkit::TrackLayout layout = testkit::layoutOf(samples, fragments);
    layout.lastDelta = lastDelta;
    layout.esds = esds;
    return testkit::buildTrack(testkit::fakeFrames(48000, testkit::samplesUsed(layout)), layout);
}

Bytes WithU32(Bytes bytes, std::size_t at, uint32_t value) {
    testkit::putU32(bytes, at, value);
    return bytes;
}
Bytes Header(uint32_t size, const char* type) { return WithU32(Bytes(4), 0, size) + Bytes(type, type + 4); }
Bytes Box(const char* type, std::size_t payload) { return Header(uint32_t(8 + payload), type) + Bytes(payload); }
Bytes Part(const Bytes& bytes, std::size_t from, std::size_t to) { return Bytes(bytes.begin() + long(from), bytes.begin() + long(to)); }
std::size_t At(const Bytes& track, const char* path) { return testkit::findBox(track, path).at; }

// `bytes` inserted at `at` in the movie box, every box around them grown to hold them.
Bytes Inserted(Bytes track, std::size_t at, const Bytes& bytes) {
    std::vector<testkit::Box> around;
    for (const char* path : {"moov", "moov/trak", "moov/trak/mdia", "moov/trak/mdia/mdhd", "moov/trak/mdia/minf",
                             "moov/trak/mdia/minf/stbl"}) {
        around.push_back(testkit::findBox(track, path));
    }
    for (const testkit::Box& box : around)
        if (box.at < at && at < box.end()) testkit::putU32(track, box.at, uint32_t(box.size + bytes.size()));
    track.insert(track.begin() + long(at), bytes.begin(), bytes.end());
    return track;
}

TEST(MusicProbe, FindsWhatTheFileHolds) {
    const Bytes movie = Built(1);  // ftyp (24 bytes), moov, mdat
    const Bytes ftyp = Part(movie, 0, 24), afterFtyp = Part(movie, 24, movie.size());
    const Bytes fragmented = Built(1, {{1000}});
    const Bytes fragment = Part(fragmented, At(fragmented, "moof"), fragmented.size());
    const Bytes mixed = Built(10, {}, 512);  // stts entries 9 x 1024 and 1 x 512
    const testkit::Box timing = testkit::findBox(mixed, "moov/trak/mdia/minf/stbl/stts");
    const std::size_t stts = timing.at, moov = At(mixed, "moov");
    const std::size_t mdhd = At(movie, "moov/trak/mdia/mdhd");
    Bytes mdhdVersion1 = Inserted(movie, mdhd + 12, Bytes(8));  // 64-bit creation and modification times
    mdhdVersion1[mdhd + 8] = 1;
    Bytes unnamed = mixed;  // a handler that is not soun: the track is found by its boxes' names
    testkit::putU32(unnamed, At(unnamed, "moov/trak/mdia/hdlr") + 16, 0x78787878);
    const auto timingEndingAt = [&](std::size_t end) {  // stts ending `end` bytes into the movie box
        return Inserted(mixed, stts, Box("free", end - (timing.end() - moov) - 8));
    };
    const Bytes oneByteLengths = {0x03, 25, 0, 1, 0, 0x04, 17, 0x40, 0x15, 0, 3, 0, 0, 1, 0xF4, 0, 0, 0, 0x7D, 0,
                                  0x05, 2, 0x11, 0x90, 0x06, 1, 0x02};
    const std::size_t bitrate = At(movie, "moov/trak/mdia/minf/stbl/stsd/mp4a/esds") + 34;
    const MusicInfo movieOnly{1024, 1, 32000, 48000, false, 1024}, none{};
    const MusicInfo firstEntry{1024, 9, 32000, 48000, false, 9 * 1024};

    struct Case { const char* what; Bytes file; bool damaged; MusicInfo info; };
    const Case cases[] = {
        // One sample of 1024 in the movie box, then fragments of 1000, one of them in two runs.
        {"the worked example", Built(1, {{1000}, {600, 400}, {1000}}), false, {1024, 3001, 32000, 48000, true, 3001 * 1024}},
        {"an empty file", {}, false, none},
        {"one byte", {0}, true, none},
        {"an ftyp header alone", Header(8, "ftyp"), true, none},
        {"a first box that is not ftyp", afterFtyp + ftyp, true, none},
        {"no movie box", ftyp + Box("mdat", 100), true, none},
        {"ftyp whose size is below 8", Header(7, "ftyp") + afterFtyp, true, none},
        // Sizes that would wrap or lead back (0xFFFFFFE8 from position 24 is ftyp again), or are below a
        // header's (0: to the end, 1: 64-bit), end the walk.
        {"a size leading back to ftyp", ftyp + Header(0xFFFFFFE8, "free") + afterFtyp, true, none},
        {"a size of 1 before moov", ftyp + Header(1, "mdat") + Bytes(8) + afterFtyp, true, none},
        {"a size of 7 before moov", ftyp + Header(7, "free") + afterFtyp, true, none},
        {"leading back after moov", movie + Header(0xFFFFFFE8, "free") + fragment, false, movieOnly},
        {"a size of 0 after moov", movie + Header(0, "free") + fragment, false, movieOnly},
        {"moov after an mdat of several windows", ftyp + Box("mdat", 200000) + afterFtyp, false, movieOnly},
        {"moov header across the 64 KiB mark", ftyp + Box("mdat", 65532 - 32) + afterFtyp, false, movieOnly},
        {"moov just before the 64 KiB mark", ftyp + Box("mdat", 65500 - 32) + afterFtyp, false, movieOnly},
        {"a box header across the 64 KiB mark", ftyp + Box("mdat", 65534 - 32) + Box("free", 92) + afterFtyp, false, movieOnly},
        {"timing ending 64 KiB into moov", timingEndingAt(65536), false, {1024, 10, 32000, 48000, false, 9728}},
        {"timing ending past 64 KiB into moov", timingEndingAt(65537), false, firstEntry},
        {"cut inside the bitrate", Part(movie, 0, bitrate + 2), false, {0, 0, 0, 48000, false, 0}},
        {"descriptor lengths in one byte", Built(1, {}, 0, oneByteLengths), false, movieOnly},
        {"mdhd of version 1", mdhdVersion1, false, movieOnly},
        // The sample-time table: the length is count x delta of every entry when
        // the table fits, else its first entry's.
        {"stts entries of mixed deltas", mixed, false, {1024, 10, 32000, 48000, false, 9 * 1024 + 512}},
        {"the same without a sound handler (found by name)", unnamed, false, {1024, 10, 32000, 48000, false, 9728}},
        {"an stts cut in its second entry", Part(mixed, 0, stts + 28), false, firstEntry},
        {"an stts of 0xFFFFFFFF entries", WithU32(mixed, stts + 12, 0xFFFFFFFF), false, firstEntry},
        {"an stts of one entry too many", WithU32(mixed, stts + 12, 3), false, firstEntry},
        {"an stts without entries: the fragments' own durations", Built(0, {{1000}}), false, {0, 1000, 32000, 48000, true, 1000 * 1024}},
        {"counts past 32 bits", WithU32(Built(10, {{1000}}, 512), stts + 16, 0xFFFFFFFF), false,
         {1024, 0xFFFFFFFF, 32000, 48000, true, 0xFFFFFFFFull * 1024 + 512 + 1000 * 1024}},
        {"a moof over 64 KiB", Built(1, {{20000, 7}, {1000}}), false, {1024, 21001, 32000, 48000, true, 21001 * 1024}},
        {"a moof of size 4", movie + Header(4, "moof") + fragment, false, {1024, 1, 32000, 48000, true, 1024}},
        {"moov whose size is 0 (to the end)", ftyp + Header(0, "moov") + afterFtyp, false, movieOnly},
    };
    for (const Case& c : cases) {
        framework::MemoryFile file(c.file);
        const MusicProbe probe = ProbeMusicFile(file);
        EXPECT_EQ(Described(probe.mayBeDamaged, probe.info), Described(c.damaged, c.info)) << c.what;  // (also music_probe_fuzz)
    }
}

TEST(MusicProbe, PresentsRateAndLengthAndWholeSeconds) {
    struct Case { MusicInfo info; const char* rate; const char* length; uint32_t seconds; };
    const Case cases[] = {
        {{1024, 3001, 64000, 48000, true, 3073024}, "64000bps, 48000Hz", "1:04.02", 64},
        {{1024, 3001, 64000, 0, true, 3073024}, "64000bps, 0Hz", "", 3001},  // no timescale: the count stands in
        {{1024, 0, 0, 48000, false, 0}, "0bps, 48000Hz", "0:00.00", 0},
        {{1, 47999, 128000, 48000, false, 47999}, "128000bps, 48000Hz", "0:00.99", 0},  // hundredths round down
        {{1024, 2812, 32000, 48000, false, 2879488}, "32000bps, 48000Hz", "0:59.98", 59},
        {{1000, 3600, 32000, 1000, false, 3600000}, "32000bps, 1000Hz", "60:00.00", 3600},
        // 5.12e9 ticks: past 32 bits, computed whole.
        {{1024, 5000000, 48000, 48000, false, 5120000000}, "48000bps, 48000Hz", "1777:46.66", 106666},
        {{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 1, true, 18446744065119617025ull}, "4294967295bps, 1Hz",
         "307445734418660283:45.00", 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        const MusicTexts texts = PresentMusicInfo(c.info);
        EXPECT_EQ(texts.rate, c.rate) << c.length;
        EXPECT_EQ(texts.length, c.length) << c.rate;
        EXPECT_EQ(PlaySeconds(c.info), c.seconds) << c.length;
    }
}

// The first audio stream's timescale and its length as the dialog shows it,
// from ffprobe's duration in the stream's time base (hundredths cut, not rounded).
std::string FfprobeClockAndLength(const std::string& path) {
    const testkit::Ran ran = testkit::run({{"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                            "stream=time_base,duration_ts", "-of", "csv=p=0", path}});
    unsigned long long one = 0, timescale = 1, ticks = 0;
    if (std::sscanf(ran.out.c_str(), "%llu/%llu,%llu", &one, &timescale, &ticks) != 3) return "ffprobe: " + ran.out + ran.err;
    char text[64];
    std::snprintf(text, sizeof text, "%llu %llu:%02llu.%02llu", timescale, ticks / timescale / 60, ticks / timescale % 60,
                  ticks % timescale * 100 / timescale);
    return text;
}

// ffmpeg ends an AAC track with a shorter sample (a second stts entry) and skips
// the encoder's priming samples with an edit list; a lyrics track (mov_text)
// before or after the music must lend it nothing. Its fragmented layouts leave
// the movie box without samples and give the durations in the fragments alone.
TEST(MusicProbe, FfmpegTracksShowFfprobesLength) {
    testkit::TempFolder folder;
    testkit::writeFile(folder / "lyrics.srt", "1\n00:00:00,500 --> 00:00:01,500\nla la\n");
    const std::vector<std::vector<std::string>> cases = {
        {"22050", "3.3", "-f", "3g2"}, {"48000", "7.77", "-f", "mp4"}, {"8000", "1.01", "-movflags", "+faststart", "-f", "3g2"},
        {"22050", "3.3", "-i", folder / "lyrics.srt", "-map", "1", "-map", "0", "-c:s", "mov_text", "-f", "3g2"},
        {"22050", "3.3", "-i", folder / "lyrics.srt", "-map", "0", "-map", "1", "-c:s", "mov_text", "-f", "3g2"},
        {"44100", "5.5", "-movflags", "cmaf", "-frag_duration", "2000000", "-f", "mp4"},
        {"16000", "4.2", "-movflags", "+dash+empty_moov", "-frag_duration", "1000000", "-f", "mp4"},
        {"22050", "6.1", "-f", "ismv"}};
    for (const std::vector<std::string>& c : cases) {
        const std::string path = folder / ("track" + std::to_string(&c - cases.data()));
        std::vector<std::string> ffmpeg = {"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                                           "sine=frequency=440:sample_rate=" + c[0] + ":duration=" + c[1]};
        ffmpeg.insert(ffmpeg.end(), c.begin() + 2, c.end());
        ffmpeg.insert(ffmpeg.end(), {"-c:a", "aac", "-b:a", "32k", path});
        ASSERT_EQ(testkit::run({ffmpeg}).exitCode, 0) << path;
        framework::DiskFile file(path);
        const MusicInfo info = ProbeMusicFile(file).info;
        EXPECT_EQ(std::to_string(info.timescale) + " " + PresentMusicInfo(info).length, FfprobeClockAndLength(path)) << path;
    }
}

TEST(JpegProbe, FindsTheImagesOwnBaselineFrame) {
    using namespace jpeg_bytes;
    struct Case { const char* what; Bytes file; const char* size; };
    // A phone photo: EXIF of 20000 bytes whose thumbnail has a frame header of its
    // own at file position 11812, where a walk that lost count of the long segment would land.
    Bytes exif = Bytes{'E', 'x', 'i', 'f', 0, 0} + Bytes(19998 - 6);
    const Bytes thumbnail = StartOfImage() + FrameHeader(160, 120) + Bytes{0xFF, 0xD9};
    std::copy(thumbnail.begin(), thumbnail.end(), exif.begin() + (11812 - 6 - 2));
    const Bytes jfif = Segment(0xE0, Bytes{'J', 'F', 'I', 'F', 0} + Bytes(9));
    const Bytes quantTable = Segment(0xDB, Bytes(65));
    const Case cases[] = {
        {"a baseline image", StartOfImage() + jfif + quantTable + FrameHeader(640, 480) + ImageTail(), "640x480"},
        {"EXIF holding a thumbnail", StartOfImage() + Segment(0xE1, exif) + quantTable + FrameHeader(4032, 3024) + ImageTail(),
         "4032x3024"},
        {"an ICC profile of 60000 bytes", StartOfImage() + Segment(0xE2, Bytes(60000)) + FrameHeader(8, 6), "8x6"},
        {"a marker across 8 KiB", StartOfImage() + PaddingUpTo(8191) + quantTable + FrameHeader(3, 5), "3x5"},
        {"a length across 8 KiB", StartOfImage() + PaddingUpTo(8190) + quantTable + FrameHeader(3, 5), "3x5"},
        {"a frame header across 8 KiB", StartOfImage() + PaddingUpTo(8188) + FrameHeader(1280, 720), "1280x720"},
        {"the frame header right after the start", StartOfImage() + FrameHeader(1, 2), "1x2"},
        {"a progressive image", StartOfImage() + jfif + FrameHeader(640, 480, 0xC2) + ImageTail(), "none"},
        {"a frame header cut short", StartOfImage() + Bytes{0xFF, 0xC0, 0, 17, 8, 1, 0xE0, 2}, "none"},
        {"a segment running past the end", StartOfImage() + Bytes{0xFF, 0xE1, 0xFF, 0xFF} + FrameHeader(9, 9), "none"},
        {"one byte", {0xFF}, "none"},
    };
    for (const Case& c : cases) {
        framework::MemoryFile file(c.file);
        const std::optional<ImageSize> size = ProbeJpegSize(file);
        EXPECT_EQ(size ? std::to_string(size->width) + "x" + std::to_string(size->height) : "none", c.size) << c.what;
    }
}

}  // namespace

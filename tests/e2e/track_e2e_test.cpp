// Tracks × modes, end to end: tracks muxed by ffmpeg itself (3g2, +faststart, fragmented mp4 in each
// of its layouts — CMAF, DASH, Smooth Streaming — m4a), mono and stereo, 8000 to 48000 Hz, are packed
// by the real packer and the music member judged by real peers: GNU tar, ffmpeg, ffprobe, GStreamer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>

#include "tests/tools/testkit.h"

namespace {

using namespace testkit;

constexpr uint32_t MFRA = 1, IOED = 2, REFRAG = 8;
const char kClipLine[] = "001.500,003.000";  // clip 1, named by -chku1:Clip
const std::string kStbl = "moov/trak/mdia/minf/stbl/";

struct TrackCase {
    const char* name;
    uint32_t rate;
    int channels;
    std::vector<std::string> mux;  // ffmpeg's muxer options
    std::vector<std::pair<uint32_t, std::string>> packed;  // mode, and what the music member then holds
    double seconds = 4;  // of the tone
};

void PrintTo(const TrackCase& c, std::ostream* out) { *out << c.name; }

std::string joined(const std::vector<uint32_t>& numbers) {
    std::string text;
    for (uint32_t number : numbers) text += (text.empty() ? "" : " ") + std::to_string(number);
    return text.empty() ? "none" : text;
}

// "chunks 21 22 | runs 21 7 | index 2": the samples of each chunk and of each
// fragment's runs ("(x5)" after three or more fragments alike) and the index's entries.
std::string heldIn(const Bytes& track) {
    std::string held = "chunks " + joined(chunkCounts(track));
    const std::vector<std::vector<uint32_t>> fragments = runCounts(track);
    for (std::size_t f = 0, alike = 1; f < fragments.size(); f += alike) {
        for (alike = 1; f + alike < fragments.size() && fragments[f + alike] == fragments[f];) ++alike;
        if (alike < 3) alike = 1;
        held += " | runs " + joined(fragments[f]) + (alike > 1 ? " (x" + std::to_string(alike) + ")" : "");
    }
    if (!indexTimes(track).empty()) held += " | index " + std::to_string(indexTimes(track).size());
    return held;
}

// The index's entries, one per run in order, give the decode times ffprobe gives the runs' first samples.
void expectIndexTimes(const Bytes& track, const std::string& path) {
    const std::vector<uint64_t> indexed = indexTimes(track);
    if (indexed.empty()) return;
    const Ran probed = run(Run({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries", "packet=dts", "-of", "csv=p=0", path}));
    std::vector<int64_t> times;
    std::istringstream lines(probed.out);
    for (std::string line; std::getline(lines, line);) times.push_back(std::stoll(line));
    std::vector<uint64_t> runStarts;
    std::size_t sample = 0;
    for (uint32_t count : chunkCounts(track)) sample += count;
    for (const std::vector<uint32_t>& runs : runCounts(track)) {
        for (uint32_t count : runs) {
            if (sample < times.size()) runStarts.push_back(static_cast<uint64_t>(times[sample] - times[0]));
            sample += count;
        }
    }
    EXPECT_EQ(indexed, runStarts);
}

// GStreamer's decoding, and where its seeks land (nanoseconds), of a track; empty when it isn't installed.
struct GstreamerView { Bytes pcm; std::vector<int64_t> seeks; };
GstreamerView gstreamerView(const std::string& path, double seconds) {
    const Ran decoded = run(Run({"gst-launch-1.0", "-q", "filesrc", "location=" + path, "!", "qtdemux", "!", "avdec_aac", "!",
                                 "audioconvert", "!", "audio/x-raw,format=S16LE", "!", "fdsink", "fd=1"}));
    if (decoded.exitCode != 0) return {};
    const Ran sought = run(Run({"/usr/bin/python3", TESSARYN_SOURCE_DIR "/tests/tools/gst_seek.py", path, "1.5", std::to_string(seconds / 2),
                                std::to_string(seconds - 1.2)}));
    GstreamerView view{bytesOf(decoded.out), {}};
    std::istringstream lines(sought.out);
    for (std::string line; std::getline(lines, line);) view.seeks.push_back(line == "none" ? -1 : std::stoll(line));
    EXPECT_EQ(view.seeks.size(), 3u) << sought.err;
    return view;
}

// Packs `input` as song.3g2 in `folder`: --inspect must find song.kmf sound, and GNU tar extracts its music.3g2.
Ran packSong(const TempFolder& folder, const Bytes& input, std::vector<std::string> options) {
    writeFile(folder / "song.3g2", input);
    options.insert(options.begin(), {"timeout", "60", TESSARYN_EXE, "song.3g2"});
    const Ran packed = run(Run(options, folder.path()));
    EXPECT_EQ(packerVerdict(TESSARYN_EXE, folder / "song.kmf"), "0 ok");
    const Ran extracted = run(Run({"tar", "-xf", folder / "song.kmf", "-C", folder.path(), "music.3g2"}));
    EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
    return packed;
}

// Packs the input in one mode: ffmpeg and GStreamer must decode the music member to the input's PCM, ffmpeg
// read the same packets, GStreamer seek in it as in the input, and its chunks, runs and index be the table's.
void packAndJudge(const std::string& input, uint32_t mode, const std::string& expected, uint32_t rate, double seconds) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    TempFolder folder;
    writeFile(folder / "config.txt", "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n" + std::string(kClipLine) + "\r\n");
    const Ran packed = packSong(folder, readFile(input), {"-o:song.kmf", "-mode:" + std::to_string(mode | 16), "-chku1:Clip"});
    ASSERT_EQ(packed.exitCode, 0) << packed.out;
    const std::string music = folder / "music.3g2";

    std::string inError, outError;
    const Bytes inPcm = decodeToPcm(folder / "song.3g2", inError), outPcm = decodeToPcm(music, outError);
    EXPECT_FALSE(inPcm.empty()) << inError;
    EXPECT_EQ(outError, inError);
    EXPECT_TRUE(outPcm == inPcm) << "decoded to " << outPcm.size() << " bytes of PCM, the input to " << inPcm.size();
    const Bytes inPackets = audioPackets(folder / "song.3g2", inError), outPackets = audioPackets(music, outError);
    EXPECT_EQ(outError, inError);
    EXPECT_TRUE(outPackets == inPackets) << outPackets.size() << " bytes of packets, the input has " << inPackets.size();
    EXPECT_EQ(heldIn(readFile(music)), expected);
    expectIndexTimes(readFile(music), music);
    // The movie box is read in every layout: the declared bitrates and the clock are printed.
    EXPECT_TRUE(std::regex_search(packed.out, std::regex("max\\.\\d+bps typ\\.\\d+bps\n\\d+Hz \\(\\d+samples\\)\n"))) << packed.out;
    // GStreamer judges the tracks held in fragments alone: a key-unit seek snaps to a sync sample, and a movie
    // box's chunks are written with one sync sample each.
    if (!chunkCounts(readFile(music)).empty()) return;
    const GstreamerView in = gstreamerView(folder / "song.3g2", seconds), out = gstreamerView(music, seconds);
    if (in.pcm.empty() && !std::getenv("CI")) return;  // GStreamer isn't installed
    EXPECT_FALSE(in.pcm.empty());
    EXPECT_TRUE(out.pcm == in.pcm) << "GStreamer decoded " << out.pcm.size() << " bytes of PCM, the input " << in.pcm.size();
    for (std::size_t i = 0; i < in.seeks.size() && i < out.seeks.size(); ++i)  // on the same sample, give or take a tick's rounding
        EXPECT_LE(std::abs(out.seeks[i] - in.seeks[i]), 1000000000 / rate) << "seek " << i + 1;
}

class Tracks : public testing::TestWithParam<TrackCase> {};

TEST_P(Tracks, SoundTheSameAndAreCutIntoSeconds) {
    const TrackCase& c = GetParam();
    const std::string input = ffmpegTone(c.rate, c.channels, c.seconds, c.mux, TESSARYN_MEDIA_CACHE);
    for (const auto& [mode, expected] : c.packed) packAndJudge(input, mode, expected, c.rate, c.seconds);
}

const std::vector<std::string> kFragmented = {"-movflags", "+frag_keyframe+empty_moov", "-frag_duration", "2000000", "-f", "mp4"};
const uint32_t kAll = MFRA | IOED | REFRAG;

INSTANTIATE_TEST_SUITE_P(
    Inputs, Tracks,
    testing::Values(
        TrackCase{"Plain3g2Mono22050", 22050, 1, {"-f", "3g2"}, {{kAll, "chunks 21 22 21 24"}, {0, "chunks 21 22 21 24"}}},
        TrackCase{"Faststart3g2Mono8000", 8000, 1, {"-movflags", "+faststart", "-f", "3g2"}, {{kAll, "chunks 7 8 8 10"}}},
        // ffmpeg's last fragment gives each sample's duration (its last frame is short): it is re-cut too.
        TrackCase{"FragmentedMp4Mono16000", 16000, 1, kFragmented,
                  {{kAll, "chunks none | runs 15 17 | runs 15 17 | index 4"},
                   {IOED | REFRAG, "chunks none | runs 15 17 | runs 15 17"}}},
        // Runs kept as they came are not indexed.
        TrackCase{"FragmentedMp4WithMovieSamplesStereo32000", 32000, 2,
                  {"-movflags", "+frag_keyframe", "-frag_duration", "2000000", "-f", "mp4"},
                  {{kAll, "chunks 31 32 | runs 31 32 | index 2"}, {IOED | MFRA, "chunks 31 32 | runs 63"}}},
        TrackCase{"M4aFaststartStereo24000", 24000, 2, {"-movflags", "+faststart", "-f", "ipod"}, {{kAll, "chunks 23 23 24 25"}}},
        // The layouts of ffmpeg's fragmenting muxers: offsets from the moof with a tfdt (CMAF and plain
        // default-base-is-moof), a sidx before each fragment (DASH), a 10 MHz clock with a uuid box behind
        // the runs and no default duration (Smooth Streaming).
        TrackCase{"DefaultBaseMoofMono8000", 8000, 1,
                  {"-movflags", "frag_keyframe+empty_moov+default_base_moof", "-frag_duration", "2000000", "-f", "mp4"},
                  {{kAll, "chunks none | runs 7 9 (x5) | index 10"}, {IOED, "chunks none | runs 16 (x5)"}}, 10},
        TrackCase{"CmafStereo48000", 48000, 2, {"-movflags", "cmaf", "-frag_duration", "2000000", "-f", "mp4"},
                  {{kAll, "chunks none | runs 46 48 (x119) | runs 46 19 | index 240"}}, 240},
        TrackCase{"DashStereo16000", 16000, 2, {"-movflags", "+dash+empty_moov", "-frag_duration", "2000000", "-f", "mp4"},
                  {{kAll, "chunks none | runs 15 17 (x4) | runs 15 15 | index 10"}}, 10},
        TrackCase{"IsmvMono22050", 22050, 1, {"-f", "ismv"},
                  {{kAll, "chunks none | runs 21 22 21 22 21 22 21 22 21 24 | index 10"}, {IOED, "chunks none | runs 217"}}, 10}),
    [](const testing::TestParamInfo<TrackCase>& param) { return std::string(param.param.name); });

// A song with lyrics (ffmpeg's mov_text, after or before the audio, plain or +faststart) and +faststart
// songs whose sample table can't be rebuilt or followed. Each packs to a track whose audio decodes to the
// same PCM and whose lyrics give the same cues, --inspect finds it sound, and the packer says what it kept.
TEST(Songs, WithLyricsOrUnusableTablesLoseNothing) {
    const std::string kept = "music chunks kept as they are: ", lyrics = TESSARYN_MEDIA_CACHE "/lyrics.srt";
    const std::string apart = kept + "other data lies between the samples";
    const std::vector<std::string> faststart = {"-map", "0:a", "-movflags", "+faststart", "-f", "3g2"};
    const struct { const char* name; std::vector<std::string> mux; void (*edit)(Bytes&); std::string notice; } cases[] = {
        {"lyrics-after", {"-map", "0:a", "-map", "1:s", "-c:s", "mov_text", "-f", "3g2"}, nullptr, apart},
        {"lyrics-after-faststart", {"-map", "0:a", "-map", "1:s", "-c:s", "mov_text", "-movflags", "+faststart", "-f", "3g2"},
         nullptr, apart},
        {"lyrics-first", {"-map", "1:s", "-map", "0:a", "-c:s", "mov_text", "-f", "3g2"}, nullptr, apart},
        {"lyrics-first-faststart", {"-map", "1:s", "-map", "0:a", "-c:s", "mov_text", "-movflags", "+faststart", "-f", "3g2"},
         nullptr, apart},
        {"stts-one-sample-too-many", faststart,
         [](Bytes& b) { putU32(b, findBox(b, kStbl + "stts").at + 16, u32(b, findBox(b, kStbl + "stts").at + 16) + 1); },
         kept + "the sample tables can't be rebuilt"},
        {"chunk-past-the-end", faststart, [](Bytes& b) { putU32(b, findBox(b, kStbl + "stco").at + 16, 0xFFFFFF00); },
         "music track stored as it came: its chunk or run offsets can't be moved"},
    };
    writeFile(lyrics, "1\n00:00:00,500 --> 00:00:01,500\nFirst line\n\n2\n00:00:02,000 --> 00:00:03,200\nSecond line\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        Bytes input = readFile(ffmpegTone(22050, 1, 4, c.mux, TESSARYN_MEDIA_CACHE, {"-i", lyrics}));
        if (c.edit) c.edit(input);
        const Ran packed = packSong(folder, input, {"-mode:27"});
        EXPECT_NE(packed.out.find(" notice: " + c.notice + "\n"), std::string::npos) << packed.out;
        const std::string music = folder / "music.3g2";
        std::string inError, outError;
        EXPECT_TRUE(decodeToPcm(music, outError) == decodeToPcm(folder / "song.3g2", inError)) << outError;
        EXPECT_EQ(outError, c.edit ? outError : "");
        if (c.edit) continue;
        auto cues = [](const std::string& path) { return run(testkit::Run({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:s", "-f", "srt", "-"})); };
        EXPECT_EQ(cues(music).out, cues(folder / "song.3g2").out);
        EXPECT_NE(cues(music).out.find("Second line"), std::string::npos);
    }
}

}  // namespace

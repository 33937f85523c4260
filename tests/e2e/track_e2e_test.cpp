// Tracks × modes, end to end: tracks muxed by ffmpeg itself (3g2, +faststart,
// fragmented mp4, m4a) and by our builder, mono and stereo, 8000 to 48000 Hz,
// are packed by the real packer. GNU tar extracts the music member; ffmpeg must
// decode it to the same PCM as the input and read the same packets from it; its
// chunks, runs, index and clip slot must be where a cut computed here puts them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tests/tools/testkit.h"

namespace {

using namespace testkit;

constexpr uint32_t MFRA = 1, IOED = 2, REFRAG = 8;
const char kClipLine[] = "001.500,003.000";  // clip 1, named by -chku1:Clip

struct TrackCase {
    const char* name;
    uint32_t rate;
    int channels;
    std::vector<std::string> mux;  // ffmpeg's muxer options; empty: our builder lays out `layout`
    TrackLayout layout;
    std::vector<uint32_t> modes;
};

void PrintTo(const TrackCase& c, std::ostream* out) { *out << c.name; }

// Pieces of about one second: piece k ends where second k ends, counted in whole
// samples from the first, and holds one sample at least; a tail of fewer than
// three samples joins the piece before it.
std::vector<uint32_t> secondCut(uint32_t samples, uint32_t timescale, uint32_t delta) {
    std::vector<uint32_t> pieces;
    for (uint64_t k = 1, end = 0, start = 0; end < samples; ++k, start = end) {
        end = std::min<uint64_t>(std::max<uint64_t>(start + 1, k * timescale / delta), samples);
        if (samples - end < 3) end = samples;
        pieces.push_back(static_cast<uint32_t>(end - start));
    }
    return pieces;
}

uint32_t flagsOf(const Bytes& track, Box run) { return u32(track, run.at + 8) & 0xFFFFFF; }

// Packs the input in one mode and judges the music member.
void packAndJudge(const std::string& input, uint32_t mode) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    TempFolder folder;
    const Bytes in = readFile(input);
    writeFile(folder / "song.3g2", in);
    writeFile(folder / "config.txt", "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n" + std::string(kClipLine) + "\r\n");
    Run packer({"timeout", "60", TESSARYN_EXE, "song.3g2", "-o:song.kmf", "-mode:" + std::to_string(mode | 16), "-chku1:Clip"});
    packer.folder = folder.path();
    Ran packed = run(packer);
    ASSERT_EQ(packed.exitCode, 0) << packed.out;
    EXPECT_EQ(packerVerdict(TESSARYN_EXE, folder / "song.kmf"), "0 ok");
    Ran extracted = run(Run({"tar", "-xf", folder / "song.kmf", "-C", folder.path(), "music.3g2"}));
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    const std::string music = folder / "music.3g2";
    const Bytes out = readFile(music);

    std::string inError, outError;
    const Bytes inPcm = decodeToPcm(folder / "song.3g2", inError), outPcm = decodeToPcm(music, outError);
    EXPECT_FALSE(inPcm.empty()) << inError;
    EXPECT_EQ(outError, inError);
    EXPECT_TRUE(outPcm == inPcm) << "decoded to " << outPcm.size() << " bytes of PCM, the input to " << inPcm.size();
    const Bytes inPackets = audioPackets(folder / "song.3g2", inError), outPackets = audioPackets(music, outError);
    EXPECT_EQ(outError, inError);
    EXPECT_TRUE(outPackets == inPackets) << outPackets.size() << " bytes of packets, the input has " << inPackets.size();

    // The movie box's samples (every stts entry's) in one-second chunks, cut by the first entry's delta.
    const std::string stbl = "moov/trak/mdia/minf/stbl/";
    const Box stts = findBox(in, stbl + "stts");
    uint32_t held = 0, delta = 1024;
    for (uint32_t e = 0; e < u32(in, stts.at + 12); ++e) held += u32(in, stts.at + 16 + 8 * e);
    if (u32(in, stts.at + 12) != 0) delta = u32(in, stts.at + 20);
    const uint32_t timescale = u32(in, findBox(in, "moov/trak/mdia/mdhd").at + 20);
    const std::vector<uint32_t> chunks = secondCut(held, timescale, delta);
    EXPECT_EQ(chunkCounts(out), chunks);
    std::vector<uint32_t> sync = {static_cast<uint32_t>(chunks.size())};
    for (uint32_t first = 1, k = 0; k < chunks.size(); first += chunks[k++]) sync.push_back(first);
    const Box stss = findBox(out, stbl + "stss");
    for (std::size_t i = 0; i < sync.size(); ++i) EXPECT_EQ(u32(out, stss.at + 12 + 4 * i), sync[i]) << "stss word " << i;

    // Fragments of the plain layout (runs of flags 0x000201) are re-cut; the others keep their runs.
    std::vector<std::vector<uint32_t>> runs = runCounts(in);
    std::vector<bool> recut;
    for (std::size_t f = 0; f < runs.size(); ++f) {
        const std::vector<Box> truns = boxes(in, "traf/trun", boxes(in, "moof")[f]);
        recut.push_back((mode & REFRAG) && std::all_of(truns.begin(), truns.end(), [&](Box run) { return flagsOf(in, run) == 0x000201; }));
        uint32_t samples = 0;
        for (uint32_t count : runs[f]) samples += count;
        if (recut.back()) runs[f] = secondCut(samples, timescale, delta);
    }
    EXPECT_EQ(runCounts(out), runs);
    std::vector<RunEntry> index;
    const std::vector<Box> moofs = boxes(out, "moof");
    uint32_t time = held * delta;
    for (std::size_t f = 0; f < runs.size(); ++f) {
        for (uint32_t r = 0; r < runs[f].size(); time += runs[f][r++] * delta)
            if (recut[f]) index.push_back({time, static_cast<uint32_t>(moofs.at(f).at), r + 1});
    }
    const Bytes expectedIndex = fragmentIndex(index, 1);
    if ((mode & MFRA) && !index.empty()) {
        EXPECT_TRUE(Bytes(out.end() - static_cast<std::ptrdiff_t>(std::min(expectedIndex.size(), out.size())), out.end()) == expectedIndex);
    } else {
        EXPECT_FALSE(findBox(out, "mfra").found());
    }

    // Clip 1 starts at 1.5 s: its slot names the chunk or run that holds that sample.
    const std::vector<std::string> types = topLevelTypes(out);
    ASSERT_GE(types.size(), 3u);
    if (!(mode & IOED)) {
        EXPECT_NE(types[2], "uuid:ioed");
        return;
    }
    std::vector<std::pair<std::size_t, std::vector<uint32_t>>> pieces = {{findBox(out, "moov").at, chunks}};  // box, piece sizes
    for (std::size_t f = 0; f < runs.size(); ++f) pieces.emplace_back(moofs[f].at, runs[f]);
    uint32_t sample = timescale / delta + 500 * timescale / delta / 1000, boxAt = 0, piece = 0;
    for (std::size_t b = 0; b < pieces.size() && !piece; ++b) {
        for (uint32_t k = 0; k < pieces[b].second.size() && !piece; ++k) {
            if (sample >= pieces[b].second[k]) sample -= pieces[b].second[k];
            else boxAt = static_cast<uint32_t>(pieces[b].first), piece = k + 1;
        }
    }
    Bytes slot(51, 0);
    std::memcpy(slot.data(), "Clip", 4);
    putU32(slot, 32, boxAt), putU32(slot, 39, 1500 * timescale / delta / 1000), putU32(slot, 43, 1), putU32(slot, 47, 65);
    slot[36] = 1, slot[37] = static_cast<uint8_t>(piece), slot[38] = static_cast<uint8_t>(sample + 1);
    ASSERT_TRUE(piece != 0 && out.size() >= 72 + 41 + 51 && types[2] == "uuid:ioed");
    EXPECT_EQ(u32(out, 72), 194u);
    EXPECT_TRUE(Bytes(out.begin() + 72 + 41, out.begin() + 72 + 41 + 51) == slot) << "clip slot 1";
}

class Tracks : public testing::TestWithParam<TrackCase> {};

TEST_P(Tracks, SoundTheSameAndAreCutIntoSeconds) {
    const TrackCase& c = GetParam();
    std::string input;
    if (!c.mux.empty()) {
        input = ffmpegTone(c.rate, c.channels, 4, c.mux, TESSARYN_MEDIA_CACHE);
    } else {
        const double seconds = std::ceil((samplesUsed(c.layout) + 8.0) * 1024 / c.rate) + 1;
        input = TESSARYN_MEDIA_CACHE "/" + std::string(c.name) + ".3g2";
        writeFile(input, buildTrack(encodeTone(c.rate, seconds, TESSARYN_MEDIA_CACHE, c.channels), c.layout));
    }
    for (uint32_t mode : c.modes) packAndJudge(input, mode);
}

TrackLayout layoutOf(uint32_t moov, std::vector<std::vector<uint32_t>> fragments, void (*change)(TrackLayout&) = nullptr) {
    TrackLayout layout;
    layout.moovSamples = moov, layout.fragments = std::move(fragments);
    if (change) change(layout);
    return layout;
}

const std::vector<std::string> kFragmented = {"-movflags", "+frag_keyframe+empty_moov", "-frag_duration", "2000000", "-f", "mp4"};

INSTANTIATE_TEST_SUITE_P(
    Inputs, Tracks,
    testing::Values(
        TrackCase{"Plain3g2Mono22050", 22050, 1, {"-f", "3g2"}, {}, {MFRA | IOED | REFRAG, 0}},
        TrackCase{"Plain3g2Stereo44100", 44100, 2, {"-f", "3g2"}, {}, {MFRA | IOED | REFRAG, 0}},
        TrackCase{"Faststart3g2Mono8000", 8000, 1, {"-movflags", "+faststart", "-f", "3g2"}, {}, {MFRA | IOED | REFRAG}},
        TrackCase{"Faststart3g2Stereo48000", 48000, 2, {"-movflags", "+faststart", "-f", "3g2"}, {}, {MFRA | IOED | REFRAG}},
        TrackCase{"FragmentedMp4Mono16000", 16000, 1, kFragmented, {}, {MFRA | IOED | REFRAG, IOED | REFRAG, 0}},
        TrackCase{"FragmentedMp4WithMovieSamplesStereo32000", 32000, 2,
                  {"-movflags", "+frag_keyframe", "-frag_duration", "2000000", "-f", "mp4"}, {}, {MFRA | IOED | REFRAG, IOED}},
        TrackCase{"M4aMono11025", 11025, 1, {"-f", "ipod"}, {}, {MFRA | IOED | REFRAG}},
        TrackCase{"M4aFaststartStereo24000", 24000, 2, {"-movflags", "+faststart", "-f", "ipod"}, {}, {MFRA | IOED | REFRAG, IOED}},
        TrackCase{"BuilderMovieOnly22050", 22050, 1, {}, layoutOf(150, {}), {MFRA | IOED | REFRAG, 0}},
        TrackCase{"BuilderFragments44100", 44100, 1, {}, layoutOf(60, {{30, 20}, {50}}), {MFRA | IOED | REFRAG, IOED, IOED | REFRAG}},
        TrackCase{"BuilderEveryExtraStereo48000", 48000, 2, {},
                  layoutOf(90, {{44, 40}, {50, 3}}, [](TrackLayout& l) { l.foreignUuid = l.mediaDataFirst = l.mfraAtEnd = true; }),
                  {MFRA | IOED | REFRAG}},
        TrackCase{"BuilderFragmentsOnly8000", 8000, 1, {}, layoutOf(0, {{40}, {30, 20}}), {MFRA | IOED | REFRAG}},
        TrackCase{"BuilderShortLastFrame22050", 22050, 1, {}, layoutOf(100, {}, [](TrackLayout& l) { l.lastDelta = 512; }),
                  {MFRA | IOED | REFRAG}}),
    [](const testing::TestParamInfo<TrackCase>& param) { return std::string(param.param.name); });

// A song with lyrics (ffmpeg's mov_text, before or after the audio, media data before or after the movie box)
// and +faststart songs whose sample table can't be rebuilt or followed, muxed by ffmpeg here. Each packs to a
// track whose audio decodes to the same PCM and whose lyrics give the same cues, --inspect finds it sound, and
// the packer says what it kept.
TEST(Songs, WithLyricsOrUnusableTablesLoseNothing) {
    const std::string kept = "music chunks kept as they are: ";
    const struct { const char* name; bool lyrics, lyricsFirst, faststart; void (*edit)(Bytes&); std::string notice; } cases[] = {
        {"lyrics-after", true, false, false, nullptr, kept + "other data lies between the samples"},
        {"lyrics-after-faststart", true, false, true, nullptr, kept + "other data lies between the samples"},
        {"lyrics-first", true, true, false, nullptr, kept + "other data lies between the samples"},
        {"lyrics-first-faststart", true, true, true, nullptr, kept + "other data lies between the samples"},
        {"stts-one-sample-too-many", false, false, true,
         [](Bytes& b) { putU32(b, findBox(b, "moov/trak/mdia/minf/stbl/stts").at + 16, u32(b, findBox(b, "moov/trak/mdia/minf/stbl/stts").at + 16) + 1); },
         kept + "the sample tables can't be rebuilt"},
        {"chunk-past-the-end", false, false, true, [](Bytes& b) { putU32(b, findBox(b, "moov/trak/mdia/minf/stbl/stco").at + 16, 0xFFFFFF00); },
         "music track stored as it came: its chunk or run offsets can't be moved"},
    };
    const std::string cache = TESSARYN_MEDIA_CACHE;
    writeFile(cache + "/lyrics.srt", "1\n00:00:00,500 --> 00:00:01,500\nFirst line\n\n2\n00:00:02,000 --> 00:00:03,200\nSecond line\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string muxed = cache + "/song-" + c.name + ".3g2";
        std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                         "sine=frequency=440:beep_factor=3:sample_rate=22050:duration=4", "-i", cache + "/lyrics.srt"};
        const std::vector<std::string> audio = {"-map", "0:a"}, lyrics = {"-map", "1:s"};
        for (const auto* map : {c.lyricsFirst ? &lyrics : &audio, c.lyricsFirst ? &audio : &lyrics})
            if (map == &audio || c.lyrics) argv.insert(argv.end(), map->begin(), map->end());
        argv.insert(argv.end(), {"-c:a", "aac", "-b:a", "32k", "-c:s", "mov_text", "-fflags", "+bitexact", "-flags:a", "+bitexact"});
        if (c.faststart) argv.insert(argv.end(), {"-movflags", "+faststart"});
        argv.insert(argv.end(), {"-f", "3g2", muxed});
        const Ran made = run(testkit::Run(argv));
        ASSERT_EQ(made.exitCode, 0) << made.err;
        TempFolder folder;
        Bytes input = readFile(muxed);
        if (c.edit) c.edit(input);
        writeFile(folder / "song.3g2", input);
        testkit::Run packer({"timeout", "60", TESSARYN_EXE, "song.3g2", "-mode:27"});
        packer.folder = folder.path();
        const Ran packed = run(packer);
        EXPECT_NE(packed.out.find(" notice: " + c.notice + "\n"), std::string::npos) << packed.out;
        EXPECT_EQ(packerVerdict(TESSARYN_EXE, folder / "song.kmf"), "0 ok");
        ASSERT_EQ(run(testkit::Run({"tar", "-xf", folder / "song.kmf", "-C", folder.path(), "music.3g2"})).exitCode, 0);
        const std::string music = folder / "music.3g2";
        std::string inError, outError;
        EXPECT_TRUE(decodeToPcm(music, outError) == decodeToPcm(folder / "song.3g2", inError)) << outError;
        EXPECT_EQ(outError, c.edit ? outError : "");
        if (!c.lyrics) continue;
        auto cues = [](const std::string& path) { return run(testkit::Run({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:s", "-f", "srt", "-"})); };
        EXPECT_EQ(cues(music).out, cues(folder / "song.3g2").out);
        EXPECT_NE(cues(music).out.find("Second line"), std::string::npos);
    }
}

}  // namespace

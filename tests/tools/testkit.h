// What the tests stand on, one section a concern.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testkit {

using Bytes = std::vector<uint8_t>;

// ---- Files ----

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

Bytes readFile(const std::string& path);  // empty when there is no such file
bool exists(const std::string& path);     // a file, a folder or a device
void writeFile(const std::string& path, const Bytes& bytes);  // makes its folders; throws on failure
void writeFile(const std::string& path, const std::string& text);
Bytes bytesOf(const std::string& text);
uint32_t u32(const Bytes& bytes, std::size_t at);  // big-endian
void putU32(Bytes& bytes, std::size_t at, uint32_t value);

// ---- Other programs ----

struct Run {
    Run(std::vector<std::string> arguments = {}, std::string inFolder = {})
        : argv(std::move(arguments)), folder(std::move(inFolder)) {}
    std::vector<std::string> argv;
    std::vector<std::pair<std::string, std::string>> env;  // set on top of ours
    std::string folder;                                     // working folder (empty: ours)
    // Text: `text` written to a pipe that is then closed; SilentPipe: a pipe never written.
    enum class Input { DevNull, Closed, Text, SilentPipe } input = Input::DevNull;
    std::string text;
    long fileSizeLimit = -1;  // bytes it may write to a file (SIGXFSZ ignored); -1: no limit
};

struct Ran {
    int exitCode = -1;     // -1: could not start, or ended by a signal
    std::string out, err;  // standard output with the elapsed time masked, standard error
};

Ran run(const Run& what);
// What `packer --inspect package` ends with: its exit status, a blank and its last line, e.g. "0 ok" or "1 problem: ...".
std::string packerVerdict(const std::string& packer, const std::string& package);
// "completed. (x.yyysec)" written as "completed. (T)", so that reports compare whole.
std::string maskElapsed(const std::string& report);

// ---- Boxes ----

struct Box {
    std::size_t at = 0, size = 0;  // size 0: not found
    bool found() const { return size != 0; }
    std::size_t end() const { return at + size; }
};

// Every box at a path of types, e.g. "moov/trak/mdia/minf/stbl/stco" or "moof/traf/trun" (the runs of all fragments),
// from the top or from below `within`; "*" is any type. Sample entries are children of stsd, esds of mp4a.
std::vector<Box> boxes(const Bytes& track, const std::string& path, Box within = Box{});
Box findBox(const Bytes& track, const std::string& path);  // the first one
std::string typeOf(const Bytes& track, Box box);
std::vector<std::string> topLevelTypes(const Bytes& track);  // a uuid box as "uuid:" + its first four letters
// "" when the samples lie where the movie box's chunks and each fragment's first
// track fragment's runs say, with exactly the bytes of `frames`; else the first difference.
std::string sampleMismatch(const Bytes& track, const std::vector<Bytes>& frames);
std::vector<uint32_t> chunkCounts(const Bytes& track);            // samples of each chunk of the movie box
std::vector<std::vector<uint32_t>> runCounts(const Bytes& track);  // samples of each run, by fragment
std::vector<uint64_t> indexTimes(const Bytes& track);              // the time of each entry of the fragment index

// ---- Packages, as GNU tar reads them ----

struct Member {
    std::string name;
    std::string listing;  // tar's line for it: "-rw-rw-rw- root/ SIZE DATE TIME" (UTC)
    Bytes data;
};

// The members tar lists, index.txt first, with the bytes tar extracts into
// `scratch`; what tar complains of is appended to `problems`.
std::vector<Member> tarMembers(const std::string& package, const std::string& scratch, std::string& problems);

// ---- Tracks of our own making ----

struct AacStream {
    uint32_t rate = 22050;
    uint8_t channels = 1;
    Bytes config;               // AudioSpecificConfig
    std::vector<Bytes> frames;  // raw AAC frames
};

// A tone (lavfi sine) encoded by ffmpeg's AAC encoder and muxed by ffmpeg with `muxOptions`
// (e.g. {"-f", "3g2"}), other inputs (e.g. {"-i", "lyrics.srt"}) given after it; kept in `cacheDir`. Returns its path.
std::string ffmpegTone(uint32_t rate, int channels, double seconds, const std::vector<std::string>& muxOptions,
                       const std::string& cacheDir, const std::vector<std::string>& moreInputs = {});
AacStream encodeTone(uint32_t rate, double seconds, const std::string& cacheDir, int channels = 1);  // ADTS taken apart
AacStream fakeFrames(uint32_t rate, std::size_t count, uint32_t seed = 1);  // 40 to 399 bytes each

// How the fragments are laid out, as other muxers write them.
struct FragmentStyle {
    bool moofRelative = false;  // tfhd says default-base-is-moof and has no base data offset
    int tfdtVersion = -1;       // a tfdt of this version in each traf (-1: none), giving the decode time plus tfdtShift
    uint64_t tfdtShift = 0;
    uint32_t lastDelta = 0;     // not 0: runs give each sample's duration, each fragment's last lasting this long
    Bytes behindRuns;           // a box in each traf behind its runs
    bool segmentIndex = false;  // a sidx before the first moof naming each fragment (moof and mdat)
};

struct TrackLayout {
    uint32_t moovSamples = 0;                      // held by the movie box; their mdat follows it
    std::vector<std::vector<uint32_t>> fragments;  // one moof+mdat each: the sample counts of its runs
    uint32_t sampleDelta = 1024;
    uint32_t lastDelta = 0;       // not 0: the last movie box sample lasts this long (a second stts entry)
    bool ftyp = true;             // an ftyp box first
    bool foreignUuid = false;     // a uuid box of another type before the movie box
    bool ownIoed = false;         // the track's own ioed box before the movie box
    bool mediaDataFirst = false;  // the movie box's mdat in front of it
    bool mfraAtEnd = false;       // an index of the input's fragments at the end
    Bytes beforeMediaData, afterMediaData;  // boxes in front of and behind every mdat
    uint32_t textSamples = 0;     // not 0: a timed-text track beside the audio, its samples in an mdat of their own
    bool textFirst = false;       // the text track before the audio track
    uint32_t gapAfterSample = 0;  // not 0: 4 other bytes after this many movie box samples, which lie in two chunks
    Bytes esds;                   // not empty: the esds body after version and flags (default: 128000/32000 bps)
    FragmentStyle style;
};

// A layout of `moov` movie box samples and fragments of runs, changed further by `change`.
TrackLayout layoutOf(uint32_t moov, std::vector<std::vector<uint32_t>> fragments = {}, void (*change)(TrackLayout&) = nullptr);
uint32_t samplesUsed(const TrackLayout& layout);
Bytes buildTrack(const AacStream& stream, const TrackLayout& layout);  // throws when frames are short

// The fragment index a handset seeks by: one tfra entry per run (track fragment 1,
// sample 1, the run number `runBytes` wide), then mfro.
struct RunEntry { uint32_t time, moofOffset, run; };
Bytes fragmentIndex(const std::vector<RunEntry>& entries, uint32_t runBytes);

// ---- ffmpeg as a judge ----

Bytes decodeToPcm(const std::string& path, std::string& error);   // signed 16-bit PCM
Bytes audioPackets(const std::string& path, std::string& error);  // -map 0:a -c copy -f data

}  // namespace testkit

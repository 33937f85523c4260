#include "frontend/probes/music_probe.h"

#include <cinttypes>
#include <cstdio>

#include "common/box.h"
#include "common/fragment_samples.h"
#include "frontend/probes/file_window.h"

namespace {

constexpr uint32_t kWindowSize = 65536;
constexpr uint32_t kNotFound = UINT32_MAX;

uint32_t AddSaturating(uint32_t total, uint64_t more) {
    uint64_t sum = total + more;
    return sum > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(sum);
}

uint64_t AddSaturating64(uint64_t total, uint64_t more) { return more > UINT64_MAX - total ? UINT64_MAX : total + more; }

uint64_t MultiplySaturating(uint64_t a, uint64_t b) { return a != 0 && b > UINT64_MAX / a ? UINT64_MAX : a * b; }

// Bytes one read delivered, or the part of them a box covers, searched by type
// name or walked box by box. Any field that would run past them counts as missing.
class HeldBytes {
public:
    HeldBytes() = default;
    HeldBytes(const uint8_t* bytes, uint32_t count) : bytes_(bytes), count_(count) {}

    // The `size` bytes from `at`, as far as they are held.
    HeldBytes Within(uint32_t at, uint32_t size) const {
        if (at >= count_) return {};
        return HeldBytes(bytes_ + at, count_ - at < size ? count_ - at : size);
    }

    // The first `type` whose first byte lies after `after` and no later than 8
    // bytes before the end. Nothing checks which box holds the match.
    uint32_t Find(const char (&type)[5], uint32_t after) const {
        if (count_ < box::kHeaderSize) return kNotFound;
        for (uint32_t at = after + 1; at <= count_ - box::kHeaderSize; ++at) {
            if (bytes_[at] == static_cast<uint8_t>(type[0]) && box::TypeIs(bytes_ + at, type)) return at;
        }
        return kNotFound;
    }

    // The box whose type was found at `type`, as far as it is held; empty when
    // its size field is not held or is below a header's.
    HeldBytes BoxAtType(uint32_t type) const {
        uint32_t size = 0;
        if (type == kNotFound || type < 4 || !U32At(type - 4, size) || size < box::kHeaderSize) return {};
        return Within(type - 4, size);
    }

    bool TypeAt(uint32_t at, const char (&type)[5]) const {
        return at <= count_ && count_ - at >= 4 && box::TypeIs(bytes_ + at, type);
    }

    bool ByteAt(uint32_t at, uint8_t& value) const {
        if (at >= count_) return false;
        value = bytes_[at];
        return true;
    }

    bool U32At(uint32_t at, uint32_t& value) const {
        if (at > count_ || count_ - at < 4) return false;
        value = box::ReadU32(bytes_ + at);
        return true;
    }

    bool U64At(uint32_t at, uint64_t& value) const {
        uint32_t high = 0, low = 0;
        if (at > UINT32_MAX - 4 || !U32At(at, high) || !U32At(at + 4, low)) return false;
        value = (uint64_t{high} << 32) | low;
        return true;
    }

    uint32_t Count() const { return count_; }
    bool Empty() const { return count_ == 0; }

private:
    const uint8_t* bytes_ = nullptr;
    uint32_t count_ = 0;
};

// The children of a held box, from `firstChild` bytes into it. A child that
// runs past the held bytes is cut there and is the last one.
class HeldChildren {
public:
    HeldChildren(const HeldBytes& parent, uint32_t firstChild) : parent_(parent), next_(firstChild) {}

    bool Next() {
        uint32_t size = 0;
        if (!parent_.U32At(next_, size) || size < box::kHeaderSize || parent_.Count() - next_ < box::kHeaderSize) {
            return false;
        }
        current_ = parent_.Within(next_, size);
        next_ = size > parent_.Count() - next_ ? parent_.Count() : next_ + size;
        return true;
    }

    const HeldBytes& Current() const { return current_; }
    bool CurrentIs(const char (&type)[5]) const { return current_.TypeAt(4, type); }

private:
    const HeldBytes& parent_;
    uint32_t next_;
    HeldBytes current_;
};

// The first child of `type` of a held box; empty when there is none.
HeldBytes ChildBox(const HeldBytes& parent, const char (&type)[5], uint32_t firstChild = box::kHeaderSize) {
    HeldChildren children(parent, firstChild);
    while (children.Next()) {
        if (children.CurrentIs(type)) return children.Current();
    }
    return {};
}

constexpr uint32_t kTypeAt = 4;  // a box's type, after its size

// ---- Values below the movie box ----

void ReadTimescale(const HeldBytes& mdhd, MusicInfo& info) {
    uint8_t version = 0;
    if (!mdhd.ByteAt(FullBox::kVersion, version)) return;
    mdhd.U32At(version == 1 ? Mdhd::kTimescaleV1 : Mdhd::kTimescaleV0, info.timescale);
}

// Steps over up to three 0x80 bytes: the continuation bytes of a descriptor
// length written in more bytes than it needs.
uint32_t SkipContinuationBytes(const HeldBytes& esds, uint32_t at) {
    uint8_t value = 0;
    for (int i = 0; i < 3 && esds.ByteAt(at, value) && value == 0x80; ++i) ++at;
    return at;
}

// The elementary stream descriptor starts 8 bytes after the esds type (past
// version and flags) and is taken to have no optional fields.
void ReadAverageBitrate(const HeldBytes& esds, MusicInfo& info) {
    uint32_t at = SkipContinuationBytes(esds, kTypeAt + 9);  // the stream descriptor's length
    // Its last length byte, stream id and flags, then the decoder configuration's tag and length.
    at = SkipContinuationBytes(esds, at + 5);
    // Its last length byte, object type, stream type, buffer size and maximum bitrate.
    esds.U32At(at + 10, info.avgBitrate);
}

// The movie box's samples and their length: every entry's count, and count ×
// delta summed, so mixed deltas give the exact length. A table that does not
// fit the box as held (cut short, or claiming more entries than there is room
// for) gives its first entry alone, which is still better than no length.
void ReadSampleTiming(const HeldBytes& stts, MusicInfo& info) {
    uint32_t entries = 0;
    if (!stts.U32At(Stts::kEntryCount, entries) || entries == 0) return;
    const bool fits = stts.Count() >= Stts::kEntries && entries <= (stts.Count() - Stts::kEntries) / Stts::kEntrySize;
    const uint32_t read = fits ? entries : 1;
    uint64_t samples = 0;
    for (uint32_t i = 0; i < read; ++i) {
        const uint32_t entry = Stts::kEntries + i * Stts::kEntrySize;
        uint32_t count = 0, delta = 0;
        if (!stts.U32At(entry + Stts::kSampleCount, count) || !stts.U32At(entry + Stts::kSampleDelta, delta)) return;
        if (i == 0) info.sampleDelta = delta;
        samples += count;
        info.duration = AddSaturating64(info.duration, uint64_t{count} * delta);
    }
    info.sampleCount = AddSaturating(info.sampleCount, samples);
}

// Where the edit list starts playing the media: the media time of its first
// edit that is not empty. Encoders put the decoder's priming samples before it.
uint64_t ReadSkippedStart(const HeldBytes& elst) {
    uint8_t version = 0;
    uint32_t entries = 0;
    if (!elst.ByteAt(FullBox::kVersion, version) || !elst.U32At(Elst::kEntryCount, entries)) return 0;
    const uint32_t entrySize = version == 1 ? Elst::kEntrySizeV1 : Elst::kEntrySizeV0;
    for (uint32_t i = 0, at = Elst::kEntries; i < entries && at <= elst.Count(); ++i, at += entrySize) {
        uint64_t mediaTime = 0;
        uint32_t mediaTime32 = 0;
        const bool held = version == 1 ? elst.U64At(at + Elst::kMediaTimeV1, mediaTime)
                                       : elst.U32At(at + Elst::kMediaTimeV0, mediaTime32);
        if (!held) return 0;
        if (version != 1) mediaTime = mediaTime32 == UINT32_MAX ? UINT64_MAX : mediaTime32;
        if (mediaTime != UINT64_MAX) return mediaTime;  // -1 marks an empty edit
    }
    return 0;
}

// The music track: the first trak whose handler is soun and whose sample entry
// is mp4a, so a text or other track before it is passed over.
bool IsMusicTrack(const HeldBytes& trak) {
    const HeldBytes mdia = ChildBox(trak, "mdia");
    const HeldBytes stsd = ChildBox(ChildBox(ChildBox(mdia, "minf"), "stbl"), "stsd");
    return ChildBox(mdia, "hdlr").TypeAt(Hdlr::kHandlerType, "soun") && stsd.TypeAt(Stsd::kFirstEntryType, "mp4a");
}

HeldBytes FindMusicTrack(const HeldBytes& moov) {
    HeldChildren children(moov, box::kHeaderSize);
    while (children.Next()) {
        if (children.CurrentIs("trak") && IsMusicTrack(children.Current())) return children.Current();
    }
    return {};
}

// The music track's values, box by box. Returns the media time its edit list skips.
uint64_t ReadTrackValues(const HeldBytes& trak, MusicInfo& info) {
    const HeldBytes mdia = ChildBox(trak, "mdia");
    ReadTimescale(ChildBox(mdia, "mdhd"), info);
    const HeldBytes stbl = ChildBox(ChildBox(mdia, "minf"), "stbl");
    const HeldBytes stsd = ChildBox(stbl, "stsd");
    ReadAverageBitrate(stsd.BoxAtType(stsd.Find("esds", Stsd::kFirstEntry)), info);
    ReadSampleTiming(ChildBox(stbl, "stts"), info);
    return ReadSkippedStart(ChildBox(ChildBox(trak, "edts"), "elst"));
}

// Without a music track: the first mdhd, esds and stts anywhere in the held
// movie box, found by their type names.
void ScanMovieValues(const HeldBytes& moov, MusicInfo& info) {
    uint32_t mdhd = moov.Find("mdhd", 0);
    ReadTimescale(moov.BoxAtType(mdhd), info);
    ReadAverageBitrate(moov.BoxAtType(moov.Find("esds", mdhd != kNotFound ? mdhd : 0)), info);
    ReadSampleTiming(moov.BoxAtType(moov.Find("stts", 0)), info);
}

// Returns the media time the music track's edit list skips.
uint64_t ReadMovieValues(const HeldBytes& moov, MusicInfo& info) {
    const HeldBytes track = FindMusicTrack(moov);
    if (!track.Empty()) return ReadTrackValues(track, info);
    ScanMovieValues(moov, info);
    return 0;
}

// ---- The top-level walk ----

struct TopLevelBox {
    uint64_t position = 0;
    uint32_t size = 0;
    uint8_t type[4] = {};
    bool Is(const char (&name)[5]) const { return box::TypeIs(type, name); }
};

// False when the file ends before the box's 8-byte header does.
bool ReadTopLevelBox(FileWindow& window, uint64_t position, TopLevelBox& found) {
    if (!window.Bring(position, box::kHeaderSize)) return false;
    found.position = position;
    found.size = box::ReadU32(window.At(position));
    for (int i = 0; i < 4; ++i) found.type[i] = window.At(position)[4 + i];
    return true;
}

// Moves to the box after `current`. A size below a header's (0 "to the end",
// 1 "64-bit size" included) ends the walk like the end of the file does; the
// positions are 64-bit and only ever grow, so a crafted size can neither wrap
// nor lead back, and the walk always ends.
bool ReadNextTopLevelBox(FileWindow& window, TopLevelBox& current) {
    if (current.size < box::kHeaderSize) return false;
    return ReadTopLevelBox(window, current.position + current.size, current);
}

enum class MovieSearch { EmptyFile, NotFound, Found };

MovieSearch FindMovieBox(FileWindow& window, uint64_t& moovPosition) {
    if (window.Load(0) == 0) return MovieSearch::EmptyFile;
    TopLevelBox current;
    if (!ReadTopLevelBox(window, 0, current) || !current.Is("ftyp")) return MovieSearch::NotFound;
    while (ReadNextTopLevelBox(window, current)) {
        if (current.Is("moov")) {
            moovPosition = current.position;
            return MovieSearch::Found;
        }
    }
    return MovieSearch::NotFound;
}

// The sample count of every trun found in the first 64 KiB of the moof's body.
uint64_t CountRunSamples(FileWindow& window, const TopLevelBox& moof) {
    if (moof.size <= box::kHeaderSize) return 0;
    const uint32_t body = moof.size - box::kHeaderSize;
    const HeldBytes runs(window.Bytes(), window.Load(moof.position + box::kHeaderSize, body));
    uint64_t samples = 0;
    for (uint32_t trun = runs.Find("trun", 0); trun != kNotFound; trun = runs.Find("trun", trun)) {
        uint32_t count = 0;
        if (runs.U32At(trun + (Trun::kSampleCount - kTypeAt), count)) samples += count;
    }
    return samples;
}

struct FragmentTime {
    uint64_t samples = 0;
    uint64_t duration = 0;  // in timescale units
};

// The samples of every track fragment of a moof held whole, each as long as its
// run, its tfhd or the track's trex says (muxers that leave the movie box empty
// give durations only there), else `sampleDelta`. False when the moof is larger
// than the window or a track fragment can't be read.
bool TimeWholeFragment(FileWindow& window, const TopLevelBox& moof, const std::vector<TrackDefaults>& tracks,
                       uint32_t sampleDelta, FragmentTime& time) {
    if (moof.size < box::kHeaderSize || window.Load(moof.position, moof.size) != moof.size) return false;
    box::ChildWalk walk(window.Bytes(), box::Span{0, moof.size});
    while (walk.Next()) {
        if (!walk.CurrentIs("traf")) continue;
        TrackFragmentSamples read;
        if (!SamplesRead(ReadTrackFragment(window.Bytes(), walk.Current(), moof.position, tracks, sampleDelta, read)))
            return false;
        time.samples += read.samples.size();
        for (const FragmentSample& sample : read.samples) time.duration += sample.duration;
    }
    return true;
}

// A moof that can't be read box by box still counts the samples of its runs,
// each as long as `sampleDelta`.
FragmentTime TimeFragment(FileWindow& window, const TopLevelBox& moof, const std::vector<TrackDefaults>& tracks,
                          uint32_t sampleDelta) {
    FragmentTime time;
    if (TimeWholeFragment(window, moof, tracks, sampleDelta, time)) return time;
    time.samples = CountRunSamples(window, moof);
    time.duration = MultiplySaturating(time.samples, sampleDelta);
    return time;
}

// The second pass reads header by header and skips box bodies by seeking.
// Returns the samples of all fragments and how long they last.
FragmentTime TimeFragments(framework::File& file, FileWindow& window, const std::vector<TrackDefaults>& tracks,
                           MusicInfo& info) {
    FileWindow headers(file, box::kHeaderSize);
    TopLevelBox current;
    FragmentTime total;
    if (!ReadTopLevelBox(headers, 0, current)) return total;
    while (ReadNextTopLevelBox(headers, current)) {
        if (!current.Is("moof")) continue;
        info.fragmented = true;
        const FragmentTime time = TimeFragment(window, current, tracks, info.sampleDelta);
        total.samples = AddSaturating64(total.samples, time.samples);
        total.duration = AddSaturating64(total.duration, time.duration);
    }
    return total;
}

// The movie box's bytes as far as the window holds them. A size of 0 (to the
// end of the file) or 1 (a 64-bit size) covers all that is held.
HeldBytes HeldMovie(const FileWindow& window) {
    const HeldBytes held(window.Bytes(), window.Held());
    uint32_t moovSize = 0;
    held.U32At(0, moovSize);
    return moovSize < box::kHeaderSize ? held : held.Within(0, moovSize);
}

}  // namespace

MusicProbe ProbeMusicFile(framework::File& file) {
    MusicProbe probe;
    FileWindow window(file, kWindowSize);
    uint64_t moovPosition = 0;
    const MovieSearch search = FindMovieBox(window, moovPosition);
    probe.mayBeDamaged = search == MovieSearch::NotFound;
    if (search != MovieSearch::Found) return probe;
    MusicInfo& info = probe.info;
    // The values are looked for in the first 64 KiB of the movie box, read from
    // its own start: a movie box that begins just before a 64 KiB mark of the
    // file keeps its values.
    if (window.Start() != moovPosition) window.Load(moovPosition);
    const HeldBytes moov = HeldMovie(window);
    const uint64_t skipped = ReadMovieValues(moov, info);
    const std::vector<TrackDefaults> tracks = ReadTrackDefaults(window.Bytes(), box::Span{0, moov.Count()});
    const FragmentTime fragments = TimeFragments(file, window, tracks, info);
    info.sampleCount = AddSaturating(info.sampleCount, fragments.samples);
    info.duration = AddSaturating64(info.duration, fragments.duration);
    info.duration = info.duration > skipped ? info.duration - skipped : 0;
    return probe;
}

MusicTexts PresentMusicInfo(const MusicInfo& info) {
    MusicTexts texts;
    char text[64];
    std::snprintf(text, sizeof text, "%" PRIu32 "bps, %" PRIu32 "Hz", info.avgBitrate, info.timescale);
    texts.rate = text;
    if (info.timescale == 0) return texts;

    const uint64_t seconds = info.duration / info.timescale;
    const unsigned hundredths = static_cast<unsigned>(info.duration % info.timescale * 100 / info.timescale);
    std::snprintf(text, sizeof text, "%" PRIu64 ":%02u.%02u", seconds / 60, static_cast<unsigned>(seconds % 60),
                  hundredths);
    texts.length = text;
    return texts;
}

uint32_t PlaySeconds(const MusicInfo& info) {
    if (info.timescale == 0) return info.sampleCount;
    const uint64_t seconds = info.duration / info.timescale;
    return seconds > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(seconds);
}

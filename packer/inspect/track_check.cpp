#include "packer/inspect/track_check.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "common/box.h"
#include "packer/base/clip_names.h"
#include "packer/conditioner/conditioner.h"
#include "packer/conditioner/fixed_boxes.h"
#include "packer/conditioner/fragment_index.h"
#include "common/fragment_samples.h"
#include "packer/conditioner/music_track.h"
#include "packer/conditioner/segment_index.h"

using box::ChildWalk;
using box::ReadU32;
using box::ReadU64;
using box::Span;

namespace {

constexpr uint32_t kPrefixBytes = static_cast<uint32_t>(kPrefixSize);
constexpr std::size_t kNumbersListed = 32;
constexpr uint32_t kSmallestIndexBox = box::kHeaderSize + Mfro::kBoxSize;  // an mfra holding only its mfro
constexpr uint32_t kRunHeaderSize = Trun::kSampleCount + 4;

template <class... Parts>
std::string Join(const Parts&... parts) {
    return CheckReport::Join(parts...);
}

std::string Counted(uint64_t count, const char* one, const char* many) { return Join(count, " ", count == 1 ? one : many); }

uint32_t ReadNumber(const uint8_t* p, uint32_t width) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < width; ++i) value = value << 8 | p[i];
    return value;
}

// "21 22 21 ..." and the sum of all the numbers given.
class NumberList {
public:
    void Add(uint64_t number) {
        if (shown_ < kNumbersListed) text_ += Join(shown_++ ? " " : "", number);
        else if (shown_++ == kNumbersListed) text_ += " ...";
        total_ += number;
    }
    std::string Text() const { return shown_ ? text_ : "none"; }
    uint64_t Total() const { return total_; }
    bool Full() const { return shown_ > kNumbersListed; }

private:
    std::string text_;
    std::size_t shown_ = 0;
    uint64_t total_ = 0;
};

// What a clip slot or an index entry names.
struct Pointer {
    uint64_t boxAt = 0;
    uint32_t trackFragment = 0;
    uint32_t piece = 0;  // chunk (moov) or run (moof)
    uint32_t sample = 0;
};

// The chunk or run a pointer names and its samples; `missing` says why there
// is no such sample.
struct Resolved {
    std::string place;
    const char* pieceKind = "chunk";
    uint64_t samples = 0;
    std::optional<uint64_t> time;  // of a run's first sample, where its traf's tfdt and durations tell
    std::string missing;
};

// The first track of a movie box: its sample-to-chunk table and chunk count.
struct ChunkTable {
    uint32_t moovAt = 0;
    Span stsc;  // size 0: no sample table
    uint32_t chunks = 0;
};

// The runs of every track fragment, flattened so that the memory taken grows
// with the bytes read and not with the number of fragments.
struct FragmentRuns {
    uint32_t moofAt;
    uint32_t firstTraf;
    uint32_t trafs;
};
struct TrackFragmentRuns {
    uint32_t firstRun;
    uint32_t runs;
};

// Whole boxes from `from` up to `end`; returns where they stop.
uint32_t WalkBoxes(const uint8_t* data, uint32_t from, uint32_t end, std::vector<Span>* boxes) {
    uint32_t at = from;
    while (end - at >= box::kHeaderSize) {
        const uint32_t size = ReadU32(data + at);
        if (size < box::kHeaderSize || size > end - at) break;
        if (boxes) boxes->push_back(Span{at, size});
        at += size;
    }
    return at;
}

class TrackCheck {
public:
    TrackCheck(const std::vector<uint8_t>& track, CheckReport& report)
        : data_(track.data()), size_(static_cast<uint32_t>(track.size())), report_(report) {}

    bool Run() {
        if (!HasPrefixMark()) {
            report_.Line("track: stored as it came, without the prefix");
            return true;
        }
        return CheckPrefix() && WalkTopLevel() && CheckSegmentIndexes() && ReadPieces() && CheckClipBoxes() &&
               CheckFragmentIndexes();
    }

private:
    // ---- Prefix and top-level boxes ----

    // Either half of the prefix marks a conditioned track, even a damaged one.
    bool HasPrefixMark() const {
        return (size_ >= 12 && std::memcmp(data_ + 4, "ftypkddi", 8) == 0) ||
               (size_ >= 40 && std::memcmp(data_ + kPrefixFtypSize + 4, "uuidcpgd", 8) == 0);
    }

    bool CheckPrefix() {
        if (size_ < kPrefixBytes) return report_.Problem("track: ", size_, " bytes, shorter than the fixed 72-byte prefix");
        for (uint32_t at = 0; at < kPrefixBytes; ++at) {
            if (data_[at] != kPrefixTemplate[at])
                return report_.Problem("track: byte ", at, " of the fixed 72-byte prefix is ", HexByte(data_[at]),
                                       " where the packer writes ", HexByte(kPrefixTemplate[at]));
        }
        report_.Line("prefix: ftyp kddi, minor 0, compatible kddi 3g2a mp42; uuid cpgd");
        return true;
    }

    // Where an index the conditioner appended starts: the mfro at the very end
    // gives its size. Up to 7 loose bytes may stand before it.
    uint32_t TrailingIndexAt() const {
        if (size_ < kSmallestIndexBox) return size_;
        const uint32_t size = ReadU32(data_ + size_ - 4);
        if (size < kSmallestIndexBox || size > size_) return size_;
        const uint32_t at = size_ - size;
        return ReadU32(data_ + at) == size && box::TypeIs(data_ + at + 4, "mfra") ? at : size_;
    }

    bool WalkTopLevel() {
        uint32_t end = size_;
        const uint32_t stop = WalkBoxes(data_, 0, size_, nullptr);
        if (size_ - stop >= box::kHeaderSize) {
            end = TrailingIndexAt();
            if (end == size_ || end - WalkBoxes(data_, 0, end, nullptr) >= box::kHeaderSize) return ReportBrokenBox(stop);
        }
        const uint32_t looseAt = WalkBoxes(data_, 0, end, &boxes_);
        boxesEnd_ = looseAt;
        for (Span top : boxes_) ReportBox(top);
        if (looseAt < end) report_.Line("loose bytes at ", looseAt, ": ", end - looseAt);
        if (end < size_) {
            boxes_.push_back(Span{end, size_ - end});
            ReportBox(boxes_.back());
        }
        return true;
    }

    // A uuid box by its extended type's four letters, when the track holds them.
    std::string TypeOf(Span top) const {
        std::string type = Printable(data_ + top.offset + 4, 4);
        const bool lettersHeld = top.size >= 12 && size_ - top.offset >= 12;
        if (type == "uuid" && lettersHeld) type += " " + Printable(data_ + top.offset + 8, 4);
        return type;
    }

    void ReportBox(Span top) { report_.Line("box ", TypeOf(top), " at ", top.offset, ": ", top.size, " bytes"); }

    bool ReportBrokenBox(uint32_t at) {
        const uint32_t size = ReadU32(data_ + at);
        if (size < box::kHeaderSize)
            return report_.Problem("track: the box at ", at, " says it is ", size, " bytes, less than its 8-byte header");
        return report_.Problem("track: the box at ", at, " (", TypeOf(Span{at, size}), ") says it is ", size,
                               " bytes, past the end of the track (", size_, " bytes)");
    }

    bool IsTopLevel(Span top, const char (&type)[5]) const { return box::TypeIs(data_ + top.offset + 4, type); }

    // A sidx must name whole top-level boxes, or a reader lands in the middle of one.
    bool CheckSegmentIndexes() {
        std::vector<uint64_t> boundaries;
        for (Span top : boxes_) boundaries.push_back(top.offset);
        boundaries.insert(boundaries.end(), {boxesEnd_, size_});
        std::sort(boundaries.begin(), boundaries.end());
        if (SegmentIndexesNameWholeBoxes(data_, boxes_, boundaries)) return true;
        return report_.Problem("track: a sidx names bytes that don't start a top-level box");
    }

    bool ReadPieces() {
        for (Span top : boxes_) {
            if (IsTopLevel(top, "mdat")) mediaData_.push_back(top);
        }
        for (Span top : boxes_) {
            if (IsTopLevel(top, "moov") && (!ReadMovie(top) || !CheckChunkOffsets(top))) return false;
            if (IsTopLevel(top, "moof") && !ReadFragment(top)) return false;
        }
        return true;
    }

    // ---- Chunks of a movie box ----

    // The music track's, or the first track's when none is the music.
    Span SampleTableOf(Span moov) const {
        const TrackBoxes music = FindMusicTrack(data_, moov);
        return box::Found(music.trak) ? music.stbl : TrackBoxesOf(data_, box::FindChild(data_, moov, "trak")).stbl;
    }

    bool TableHasCount(Span table, uint32_t entriesAt) {
        if (table.size >= entriesAt) return true;
        return report_.Problem("track: the ", Printable(data_ + table.offset + 4, 4), " at ", table.offset, " is ",
                               table.size, " bytes, too short for its entry count");
    }

    // A table's entries must lie inside it before any of them is read.
    bool TableFits(Span table, uint32_t countAt, uint32_t entriesAt, uint32_t entrySize) {
        if (!TableHasCount(table, entriesAt)) return false;
        if (box::DeclaredEntriesFit(data_, table, countAt, entriesAt, entrySize)) return true;
        return report_.Problem("track: the ", Printable(data_ + table.offset + 4, 4), " at ", table.offset, " declares ",
                               ReadU32(data_ + table.offset + countAt), " entries but has room for ",
                               (table.size - entriesAt) / entrySize);
    }

    // One size per sample unless one size holds for all.
    bool SampleSizesFit(Span stsz) {
        if (!TableHasCount(stsz, Stsz::kEntries)) return false;
        const bool oneSizeForAll = ReadU32(data_ + stsz.offset + Stsz::kSampleSize) != 0;
        return oneSizeForAll || TableFits(stsz, Stsz::kSampleCount, Stsz::kEntries, Stsz::kEntrySize);
    }

    bool ReadMovie(Span moov) {
        ChunkTable table;
        table.moovAt = moov.offset;
        trackDefaults_ = ReadTrackDefaults(data_, moov);
        const Span stbl = SampleTableOf(moov);
        const Span stsc = box::Found(stbl) ? box::FindChild(data_, stbl, "stsc") : Span{};
        Span stco = box::Found(stbl) ? box::FindChild(data_, stbl, "stco") : Span{};
        uint32_t offsetSize = Stco::kEntrySize;
        if (box::Found(stbl) && !box::Found(stco)) {
            stco = box::FindChild(data_, stbl, "co64");
            offsetSize = Co64::kEntrySize;
        }
        const Span stsz = box::Found(stbl) ? box::FindChild(data_, stbl, "stsz") : Span{};
        if (!box::Found(stsc) || !box::Found(stco) || !box::Found(stsz)) {
            report_.Line("chunks of the moov at ", moov.offset, ": no sample table");
            movies_.push_back(table);
            return true;
        }
        if (!TableFits(stsc, Stsc::kEntryCount, Stsc::kEntries, Stsc::kEntrySize) ||
            !TableFits(stco, Stco::kEntryCount, Stco::kEntries, offsetSize) || !SampleSizesFit(stsz))
            return false;
        table.stsc = stsc;
        table.chunks = ReadU32(data_ + stco.offset + Stco::kEntryCount);
        if (!CheckChunkEntries(table)) return false;
        movies_.push_back(table);
        return ReportChunks(table, ReadU32(data_ + stsz.offset + Stsz::kSampleCount));
    }

    uint32_t EntryCount(const ChunkTable& table) const { return ReadU32(data_ + table.stsc.offset + Stsc::kEntryCount); }
    const uint8_t* StscEntry(const ChunkTable& table, uint32_t entry) const {
        return data_ + table.stsc.offset + Stsc::kEntries + Stsc::kEntrySize * entry;
    }
    uint32_t FirstChunkOf(const ChunkTable& table, uint32_t entry) const {
        return ReadU32(StscEntry(table, entry) + Stsc::kFirstChunk);
    }
    uint32_t SamplesPerChunkOf(const ChunkTable& table, uint32_t entry) const {
        return ReadU32(StscEntry(table, entry) + Stsc::kSamplesPerChunk);
    }
    // The chunk after the last that an entry covers.
    uint64_t ChunksEndOf(const ChunkTable& table, uint32_t entry) const {
        return entry + 1 < EntryCount(table) ? FirstChunkOf(table, entry + 1) : uint64_t{table.chunks} + 1;
    }

    // Entries start at chunk 1 and at ever later chunks, all of them chunks that exist.
    bool CheckChunkEntries(const ChunkTable& table) {
        const uint32_t entries = EntryCount(table);
        if (table.chunks != 0 && entries == 0)
            return report_.Problem("track: the moov at ", table.moovAt, " has ", Counted(table.chunks, "chunk", "chunks"),
                                   " but no sample-to-chunk entries");
        for (uint32_t entry = 0; entry < entries; ++entry) {
            const uint32_t first = FirstChunkOf(table, entry);
            const char* fault = entry == 0 && first != 1                          ? ", not at chunk 1"
                                : entry > 0 && first <= FirstChunkOf(table, entry - 1) ? ", not after the entry before it"
                                : first > table.chunks                            ? ", past the last chunk"
                                                                                  : nullptr;
            if (fault)
                return report_.Problem("track: stsc entry ", entry + 1, " of the moov at ", table.moovAt,
                                       " starts at chunk ", first, fault, " (", Counted(table.chunks, "chunk", "chunks"),
                                       ")");
        }
        return true;
    }

    bool ReportChunks(const ChunkTable& table, uint32_t samplesListed) {
        NumberList shown;
        uint64_t samples = 0;
        for (uint32_t entry = 0; entry < EntryCount(table); ++entry) {
            const uint64_t chunks = ChunksEndOf(table, entry) - FirstChunkOf(table, entry);
            samples += chunks * SamplesPerChunkOf(table, entry);
            for (uint64_t i = 0; i < chunks && !shown.Full(); ++i) shown.Add(SamplesPerChunkOf(table, entry));
        }
        if (samples != samplesListed)
            return report_.Problem("track: the chunks of the moov at ", table.moovAt, " hold ", samples,
                                   " samples, its stsz lists ", samplesListed);
        report_.Line("chunks of the moov at ", table.moovAt, ": ", shown.Text(), " (", samples, " samples in ",
                     Counted(table.chunks, "chunk", "chunks"), ")");
        return true;
    }

    // ---- Where chunks and runs start ----

    bool InsideMediaData(uint64_t position) const {
        auto after = std::upper_bound(mediaData_.begin(), mediaData_.end(), position,
                                      [](uint64_t at, Span mdat) { return at < mdat.offset; });
        return after != mediaData_.begin() && position >= (after - 1)->offset + uint64_t{box::kHeaderSize} &&
               position < (after - 1)->End();
    }

    // Every chunk of every track starts in the track's media data.
    bool CheckChunkOffsets(Span moov) {
        uint32_t trackNumber = 0;
        ChildWalk traks(data_, moov);
        while (traks.Next()) {
            if (!traks.CurrentIs("trak")) continue;
            ++trackNumber;
            ChildWalk tables(data_, TrackBoxesOf(data_, traks.Current()).stbl);
            while (tables.Next()) {
                const bool wide = tables.CurrentIs("co64");
                if (!wide && !tables.CurrentIs("stco")) continue;
                const uint32_t width = wide ? Co64::kEntrySize : Stco::kEntrySize;
                if (!CheckChunkStarts(moov, trackNumber, tables.Current(), width)) return false;
            }
        }
        return true;
    }

    bool CheckChunkStarts(Span moov, uint32_t trackNumber, Span table, uint32_t width) {
        if (!TableFits(table, Stco::kEntryCount, Stco::kEntries, width)) return false;
        for (uint32_t chunk = 0; chunk < ReadU32(data_ + table.offset + Stco::kEntryCount); ++chunk) {
            const uint8_t* entry = data_ + table.offset + Stco::kEntries + width * chunk;
            const uint64_t at = width == Co64::kEntrySize ? ReadU64(entry) : ReadU32(entry);
            if (!InsideMediaData(at))
                return report_.Problem("track: chunk ", chunk + 1, " of track ", trackNumber, " in the moov at ",
                                       moov.offset, " starts at ", at, ", outside the media data");
        }
        return true;
    }

    // What a track fragment's run data offsets count from: its base data offset,
    // or the moof for the first one and one that says so; none when they count
    // from the end of the data of the one before.
    std::optional<uint64_t> DataBaseOf(uint32_t moofAt, Span traf, uint32_t number) const {
        const Span tfhd = box::FindChild(data_, traf, "tfhd");
        const uint32_t flags = tfhd.size >= FullBox::kBody ? box::FlagsOf(data_, tfhd) : 0;
        if ((flags & Tfhd::kBaseDataOffsetPresent) && tfhd.size >= Tfhd::kBaseDataOffset + 8)
            return ReadU64(data_ + tfhd.offset + Tfhd::kBaseDataOffset);
        if (number == 1 || (flags & Tfhd::kDefaultBaseIsMoof)) return moofAt;
        return std::nullopt;
    }

    uint32_t SamplesInChunk(const ChunkTable& table, uint32_t chunk) const {
        uint32_t samples = 0;
        for (uint32_t entry = 0; entry < EntryCount(table) && FirstChunkOf(table, entry) <= chunk; ++entry)
            samples = SamplesPerChunkOf(table, entry);
        return samples;
    }

    // ---- Runs of a movie fragment ----

    bool ReadFragment(Span moof) {
        FragmentRuns fragment{moof.offset, static_cast<uint32_t>(trackFragments_.size()), 0};
        ChildWalk walk(data_, moof);
        while (walk.Next()) {
            if (walk.CurrentIs("traf") && !ReadTrackFragment(moof.offset, walk.Current(), ++fragment.trafs)) return false;
        }
        if (fragment.trafs == 0) report_.Line("runs of the moof at ", moof.offset, ": no traf");
        fragments_.push_back(fragment);
        return true;
    }

    bool ReadTrackFragment(uint32_t moofAt, Span traf, uint32_t number) {
        TrackFragmentRuns runs{static_cast<uint32_t>(runSamples_.size()), 0};
        AddRunTimes(moofAt, traf);
        NumberList shown;
        const std::optional<uint64_t> base = DataBaseOf(moofAt, traf, number);
        uint32_t outsideRun = 0;
        uint64_t outsideAt = 0;
        ChildWalk walk(data_, traf);
        while (walk.Next()) {
            if (!walk.CurrentIs("trun")) continue;
            uint32_t samples = 0;
            if (!ReadRun(walk.Current(), &samples)) return false;
            runSamples_.push_back(samples);
            ++runs.runs;
            shown.Add(samples);
            if (!base || !(box::FlagsOf(data_, walk.Current()) & Trun::kDataOffsetPresent) || outsideRun) continue;
            // readRun checked that the run holds the data offset its flags announce.
            const int32_t offset = static_cast<int32_t>(ReadU32(data_ + walk.Current().offset + Trun::kDataOffset));
            const uint64_t at = *base + static_cast<uint64_t>(int64_t{offset});
            if (!InsideMediaData(at)) outsideRun = runs.runs, outsideAt = at;
        }
        trackFragments_.push_back(runs);
        report_.Line("runs of the moof at ", moofAt, ", traf ", number, ": ", shown.Text(), " (", shown.Total(),
                     " samples in ", Counted(runs.runs, "run", "runs"), ")");
        if (outsideRun)
            return report_.Problem("track: trun ", outsideRun, " of traf ", number, " of the moof at ", moofAt, " starts at ",
                                   outsideAt, ", outside the media data");
        return true;
    }

    // The decode time of each run's first sample, from the traf's tfdt on,
    // where it has one and every sample's duration is known.
    void AddRunTimes(uint32_t moofAt, Span traf) {
        TrackFragmentSamples samples;
        const FragmentReading reading = ::ReadTrackFragment(data_, traf, moofAt, trackDefaults_, 0, samples);
        const bool timed = SamplesRead(reading) && samples.decodeTime && samples.durationsKnown;
        uint64_t time = samples.decodeTime.value_or(0);
        uint32_t taken = 0;
        ChildWalk walk(data_, traf);
        for (uint32_t run = 0; walk.Next();) {
            if (!walk.CurrentIs("trun")) continue;
            runTimes_.push_back(timed ? std::optional<uint64_t>(time) : std::nullopt);
            for (uint32_t i = 0; timed && i < samples.runSamples[run]; ++i) time += samples.samples[taken + i].duration;
            taken += timed ? samples.runSamples[run++] : 0;
        }
    }

    // The sample count, checked against the per-sample fields the flags announce.
    bool ReadRun(Span run, uint32_t* samples) {
        if (run.size < kRunHeaderSize)
            return report_.Problem("track: the trun at ", run.offset, " is ", run.size,
                                   " bytes, too short for its sample count");
        const uint32_t flags = box::FlagsOf(data_, run);
        const uint32_t header = kRunHeaderSize + (flags & Trun::kDataOffsetPresent ? 4 : 0) +
                                (flags & Trun::kFirstSampleFlagsPresent ? 4 : 0);
        uint32_t perSample = 0;
        for (uint32_t field = Trun::kSampleDurationsPresent; field <= Trun::kCompositionOffsetsPresent; field <<= 1)
            perSample += flags & field ? Trun::kPerSampleFieldSize : 0;
        if (run.size < header)
            return report_.Problem("track: the trun at ", run.offset, " is ", run.size,
                                   " bytes, too short for the fields its flags announce");
        *samples = ReadU32(data_ + run.offset + Trun::kSampleCount);
        if (perSample == 0 || uint64_t{*samples} * perSample <= run.size - header) return true;
        return report_.Problem("track: the trun at ", run.offset, " declares ", *samples, " samples but has room for ",
                               (run.size - header) / perSample);
    }

    // ---- What clip slots and index entries name ----

    template <class Record>
    const Record* RecordAt(const std::vector<Record>& records, uint32_t Record::*at, uint64_t offset) const {
        auto found = std::lower_bound(records.begin(), records.end(), offset,
                                      [at](const Record& record, uint64_t wanted) { return record.*at < wanted; });
        return found != records.end() && (*found).*at == offset ? &*found : nullptr;
    }

    Resolved Resolve(const Pointer& pointer, bool movieBoxToo) const {
        const ChunkTable* movie = RecordAt(movies_, &ChunkTable::moovAt, pointer.boxAt);
        const FragmentRuns* fragment = RecordAt(fragments_, &FragmentRuns::moofAt, pointer.boxAt);
        if (movie && movieBoxToo) return ResolveInMovie(*movie, pointer);
        if (fragment) return ResolveInFragment(*fragment, pointer);
        Resolved resolved;
        resolved.place = Join("box at ", pointer.boxAt, ", traf ", pointer.trackFragment, ", chunk or run ", pointer.piece,
                              ", sample ", pointer.sample);
        if (pointer.boxAt >= size_)
            resolved.missing = Join("a box at ", pointer.boxAt, ", past the end of the track (", size_, " bytes)");
        else if (movie)
            resolved.missing = Join("the moov at ", pointer.boxAt, ", not a moof");
        else
            resolved.missing = Join("the box at ", pointer.boxAt, ", where no ", movieBoxToo ? "moov or moof" : "moof", " starts");
        return resolved;
    }

    Resolved ResolveInMovie(const ChunkTable& table, const Pointer& pointer) const {
        Resolved resolved;
        const std::string moov = Join("the moov at ", table.moovAt);
        resolved.place = Join("moov at ", table.moovAt, ", chunk ", pointer.piece, ", sample ", pointer.sample);
        if (pointer.trackFragment != 1) {
            resolved.missing = Join("track fragment ", pointer.trackFragment, " in ", moov, ", where the packer writes 1");
        } else if (!box::Found(table.stsc)) {
            resolved.missing = Join(moov, ", which has no sample table");
        } else if (pointer.piece == 0 || pointer.piece > table.chunks) {
            resolved.missing = Join("chunk ", pointer.piece, " of ", moov, ", which has ", Counted(table.chunks, "chunk", "chunks"));
        } else {
            resolved.samples = SamplesInChunk(table, pointer.piece);
            if (pointer.sample == 0 || pointer.sample > resolved.samples)
                resolved.missing = Join("sample ", pointer.sample, " of chunk ", pointer.piece, " of ", moov,
                                        ", which holds ", Counted(resolved.samples, "sample", "samples"));
        }
        return resolved;
    }

    Resolved ResolveInFragment(const FragmentRuns& fragment, const Pointer& pointer) const {
        Resolved resolved;
        resolved.pieceKind = "run";
        const std::string traf = Join("traf ", pointer.trackFragment, " of the moof at ", fragment.moofAt);
        resolved.place = Join("moof at ", fragment.moofAt, ", traf ", pointer.trackFragment, ", trun ", pointer.piece,
                              ", sample ", pointer.sample);
        if (pointer.trackFragment == 0 || pointer.trackFragment > fragment.trafs) {
            resolved.missing = Join(traf, ", which has ", Counted(fragment.trafs, "traf", "trafs"));
            return resolved;
        }
        const TrackFragmentRuns& runs = trackFragments_[fragment.firstTraf + pointer.trackFragment - 1];
        if (pointer.piece == 0 || pointer.piece > runs.runs) {
            resolved.missing = Join("trun ", pointer.piece, " of ", traf, ", which has ", Counted(runs.runs, "run", "runs"));
            return resolved;
        }
        resolved.samples = runSamples_[runs.firstRun + pointer.piece - 1];
        resolved.time = runTimes_[runs.firstRun + pointer.piece - 1];
        if (pointer.sample == 0 || pointer.sample > resolved.samples)
            resolved.missing = Join("sample ", pointer.sample, " of trun ", pointer.piece, " of ", traf, ", which holds ",
                                    Counted(resolved.samples, "sample", "samples"));
        return resolved;
    }

    // ---- Clip slots ----

    bool CheckClipBoxes() {
        for (Span top : boxes_) {
            if (TypeOf(top) == "uuid ioed" && !CheckClipBox(top)) return false;
        }
        return true;
    }

    bool CheckClipBox(Span ioed) {
        if (ioed.size < Ioed::kPlainSize)
            return report_.Problem("track: the ioed box at ", ioed.offset, " is ", ioed.size,
                                   " bytes, shorter than the 41 bytes before its clip slots");
        const uint8_t* bytes = data_ + ioed.offset;
        const uint32_t slots = bytes[Ioed::kSlotCount];
        const uint32_t room = (ioed.size - Ioed::kFirstSlot) / ClipSlot::kSize;
        if (slots > room)
            return report_.Problem("track: the ioed box at ", ioed.offset, " counts ", slots,
                                   " clip slots but has room for ", room);
        report_.Line("ioed at ", ioed.offset, ": flag words ", ReadU32(bytes + Ioed::kFirstFlagWord), " ",
                     ReadU32(bytes + Ioed::kSecondFlagWord), ", ", Counted(slots, "slot", "slots"));
        for (uint32_t slot = 0; slot < slots; ++slot) {
            if (!CheckClipSlot(slot + 1, bytes + Ioed::kFirstSlot + slot * ClipSlot::kSize)) return false;
        }
        return true;
    }

    bool CheckClipSlot(uint32_t number, const uint8_t* slot) {
        uint8_t unused[ClipSlot::kSize];
        FillClipSlot(unused, nullptr);
        if (std::memcmp(slot, unused, sizeof unused) == 0) {
            report_.Line("ioed slot ", number, ": unused");
            return true;
        }
        const char* name = reinterpret_cast<const char*>(slot + ClipSlot::kName);
        const std::string clipName(name, strnlen(name, ClipSlot::kNameLength));
        Pointer pointer;
        pointer.boxAt = ReadU32(slot + ClipSlot::kBoxOffset);
        pointer.trackFragment = slot[ClipSlot::kTrackFragment];
        pointer.piece = slot[ClipSlot::kPiece];
        pointer.sample = slot[ClipSlot::kSample];
        const Resolved resolved = Resolve(pointer, true);
        const std::string told = Join("ioed slot ", number, ": ", QuotedClipName(clipName), ", ", resolved.place, ", ",
                                      Counted(ReadU32(slot + ClipSlot::kLength), "sample", "samples"), " long");
        return ReportResolved(told, Join("ioed slot ", number), resolved);
    }

    bool ReportResolved(const std::string& told, const std::string& who, const Resolved& resolved) {
        if (!resolved.missing.empty()) {
            report_.Line(told);
            return report_.Problem(who, " names ", resolved.missing);
        }
        report_.Line(told, " -> a ", resolved.pieceKind, " of ", Counted(resolved.samples, "sample", "samples"));
        return true;
    }

    // ---- The fragment index ----

    bool CheckFragmentIndexes() {
        for (Span top : boxes_) {
            if (IsTopLevel(top, "mfra") && !CheckFragmentIndex(top)) return false;
        }
        return true;
    }

    // The mfro that ends the mfra gives the mfra's size, so a reader finds the
    // index from the end of the track.
    bool CheckFragmentIndex(Span mfra) {
        Span last;
        ChildWalk walk(data_, mfra);
        while (walk.Next()) last = walk.Current();
        if (!box::Found(last) || last.End() != mfra.End() || !box::TypeIs(data_ + last.offset + 4, "mfro"))
            return report_.Problem("track: the mfra at ", mfra.offset, " does not end with an mfro box");
        if (last.size < Mfro::kBoxSize)
            return report_.Problem("track: the mfro at ", last.offset, " is ", last.size, " bytes, too short for the size it gives");
        const uint32_t given = ReadU32(data_ + last.offset + Mfro::kMfraSize);
        if (given != mfra.size)
            return report_.Problem("track: the mfro at ", last.offset, " gives ", given, " bytes, its mfra is ", mfra.size);
        report_.Line("mfra at ", mfra.offset, ": ", mfra.size, " bytes, mfro gives ", given);
        ChildWalk tables(data_, mfra);
        while (tables.Next()) {
            if (tables.CurrentIs("tfra") && !CheckTfra(tables.Current())) return false;
        }
        return true;
    }

    bool CheckTfra(Span tfra) {
        const uint8_t* bytes = data_ + tfra.offset;
        if (tfra.size < Tfra::kFirstEntry)
            return report_.Problem("track: the tfra at ", tfra.offset, " is ", tfra.size,
                                   " bytes, shorter than the 24 bytes before its entries");
        const uint32_t version = bytes[FullBox::kVersion];
        if (version > 1)
            return report_.Problem("track: the tfra at ", tfra.offset, " has version ", version, "; only 0 and 1 exist");
        const IndexNumberWidths widths = IndexNumberWidths::FromLengthSizeWord(ReadU32(bytes + Tfra::kLengthSizes));
        const uint32_t entrySize = widths.EntrySize(version);
        const uint32_t entries = ReadU32(bytes + Tfra::kEntryCount);
        const uint32_t room = (tfra.size - Tfra::kFirstEntry) / entrySize;
        if (entries > room)
            return report_.Problem("track: the tfra at ", tfra.offset, " declares ", entries, " entries but has room for ", room);
        report_.Line("tfra at ", tfra.offset, ": track ", ReadU32(bytes + Tfra::kTrackId), ", ",
                     Counted(entries, "entry", "entries"), ", numbers of ", widths.trackFragment, "/", widths.run, "/",
                     widths.sample, " bytes");
        for (uint32_t entry = 0; entry < entries; ++entry) {
            if (!CheckTfraEntry(entry + 1, bytes + Tfra::kFirstEntry + entry * entrySize, version, widths)) return false;
        }
        return true;
    }

    bool CheckTfraEntry(uint32_t number, const uint8_t* entry, uint32_t version, const IndexNumberWidths& widths) {
        const uint32_t wide = version == 1 ? 8 : 4;
        const uint64_t time = wide == 8 ? ReadU64(entry) : ReadU32(entry);
        Pointer pointer;
        pointer.boxAt = wide == 8 ? ReadU64(entry + wide) : ReadU32(entry + wide);
        const uint8_t* numbers = entry + 2 * wide;
        pointer.trackFragment = ReadNumber(numbers, widths.trackFragment);
        pointer.piece = ReadNumber(numbers + widths.trackFragment, widths.run);
        pointer.sample = ReadNumber(numbers + widths.trackFragment + widths.run, widths.sample);
        const std::string told = Join("tfra entry ", number, ": time ", time, ", moof at ", pointer.boxAt, ", traf ",
                                      pointer.trackFragment, ", trun ", pointer.piece, ", sample ", pointer.sample);
        const Resolved resolved = Resolve(pointer, false);
        if (resolved.missing.empty() && resolved.time && *resolved.time != time) {
            report_.Line(told);
            return report_.Problem("tfra entry ", number, " gives time ", time, ", its run starts at ", *resolved.time);
        }
        return ReportResolved(told, Join("tfra entry ", number), resolved);
    }

    const uint8_t* data_;
    uint32_t size_;
    CheckReport& report_;
    std::vector<Span> boxes_;
    uint32_t boxesEnd_ = 0;  // where the whole boxes before any loose bytes end
    std::vector<Span> mediaData_;  // the top-level mdat boxes
    std::vector<ChunkTable> movies_;
    std::vector<FragmentRuns> fragments_;
    std::vector<TrackFragmentRuns> trackFragments_;
    std::vector<uint32_t> runSamples_;
    std::vector<std::optional<uint64_t>> runTimes_;  // beside runSamples_
    std::vector<TrackDefaults> trackDefaults_;       // of the last moov
};

}  // namespace

bool CheckMusicTrack(const std::vector<uint8_t>& track, CheckReport& report) {
    return TrackCheck(track, report).Run();
}

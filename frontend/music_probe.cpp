#include "frontend/music_probe.h"

#include <cinttypes>
#include <cstdio>

#include "frontend/file_window.h"
#include "packer/conditioner/box.h"

namespace {

constexpr uint32_t kWindowSize = 65536;
constexpr uint32_t kNotFound = UINT32_MAX;

uint32_t addSaturating(uint32_t total, uint64_t more) {
    uint64_t sum = total + more;
    return sum > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(sum);
}

// The bytes one read delivered, searched by type name. Any field that would
// run past them counts as missing.
class HeldBytes {
public:
    HeldBytes(const uint8_t* bytes, uint32_t count) : bytes_(bytes), count_(count) {}

    // The first `type` whose first byte lies after `after` and no later than 8
    // bytes before the end. Nothing checks which box holds the match.
    uint32_t find(const char (&type)[5], uint32_t after) const {
        if (count_ < box::kHeaderSize) return kNotFound;
        for (uint32_t at = after + 1; at <= count_ - box::kHeaderSize; ++at) {
            if (bytes_[at] == static_cast<uint8_t>(type[0]) && box::typeIs(bytes_ + at, type)) return at;
        }
        return kNotFound;
    }

    bool byteAt(uint32_t at, uint8_t& value) const {
        if (at >= count_) return false;
        value = bytes_[at];
        return true;
    }

    bool u32At(uint32_t at, uint32_t& value) const {
        if (at > count_ || count_ - at < 4) return false;
        value = box::readU32(bytes_ + at);
        return true;
    }

    uint32_t count() const { return count_; }

private:
    const uint8_t* bytes_;
    uint32_t count_;
};

// ---- Values below the movie box ----

void readTimescale(const HeldBytes& moov, uint32_t mdhd, MusicInfo& info) {
    uint8_t version = 0;
    if (!moov.byteAt(mdhd + 4, version)) return;
    // After the type: version and flags, then creation and modification times
    // of 32 bits each (version 0) or 64 bits each (version 1).
    moov.u32At(mdhd + (version == 1 ? 24 : 16), info.timescale);
}

// Steps over up to three 0x80 bytes: the continuation bytes of a descriptor
// length written in more bytes than it needs.
uint32_t skipContinuationBytes(const HeldBytes& moov, uint32_t at) {
    uint8_t value = 0;
    for (int i = 0; i < 3 && moov.byteAt(at, value) && value == 0x80; ++i) ++at;
    return at;
}

// The elementary stream descriptor starts 8 bytes after the esds type (past
// version and flags) and is taken to have no optional fields.
void readAverageBitrate(const HeldBytes& moov, uint32_t esds, MusicInfo& info) {
    uint32_t at = skipContinuationBytes(moov, esds + 9);  // the stream descriptor's length
    // Its last length byte, stream id and flags, then the decoder configuration's tag and length.
    at = skipContinuationBytes(moov, at + 5);
    // Its last length byte, object type, stream type, buffer size and maximum bitrate.
    moov.u32At(at + 10, info.avgBitrate);
}

// Every stts entry's samples count; the first entry's delta stands for all.
// A table that runs past the held bytes counts as missing.
void readSampleTiming(const HeldBytes& moov, uint32_t stts, MusicInfo& info) {
    uint32_t entries = 0;
    if (!moov.u32At(stts + 8, entries) || entries == 0) return;
    const uint32_t table = stts + 12;
    if (table > moov.count() || entries > (moov.count() - table) / 8) return;
    uint64_t samples = 0;
    for (uint32_t i = 0; i < entries; ++i) {
        uint32_t count = 0;
        moov.u32At(table + i * 8, count);
        samples += count;
    }
    moov.u32At(table + 4, info.sampleDelta);
    info.sampleCount = addSaturating(info.sampleCount, samples);
}

void readMovieValues(const HeldBytes& moov, MusicInfo& info) {
    uint32_t mdhd = moov.find("mdhd", 0);
    if (mdhd != kNotFound) readTimescale(moov, mdhd, info);
    uint32_t esds = moov.find("esds", mdhd != kNotFound ? mdhd : 0);
    if (esds != kNotFound) readAverageBitrate(moov, esds, info);
    uint32_t stts = moov.find("stts", 0);
    if (stts != kNotFound) readSampleTiming(moov, stts, info);
}

// ---- The top-level walk ----

struct TopLevelBox {
    uint64_t position = 0;
    uint32_t size = 0;
    uint8_t type[4] = {};
    bool is(const char (&name)[5]) const { return box::typeIs(type, name); }
};

// False when the file ends before the box's 8-byte header does.
bool readTopLevelBox(FileWindow& window, uint64_t position, TopLevelBox& found) {
    if (!window.bring(position, box::kHeaderSize)) return false;
    found.position = position;
    found.size = box::readU32(window.at(position));
    for (int i = 0; i < 4; ++i) found.type[i] = window.at(position)[4 + i];
    return true;
}

// Moves to the box after `current`. A size below a header's (0 "to the end",
// 1 "64-bit size" included) ends the walk like the end of the file does; the
// positions are 64-bit and only ever grow, so a crafted size can neither wrap
// nor lead back, and the walk always ends.
bool readNextTopLevelBox(FileWindow& window, TopLevelBox& current) {
    if (current.size < box::kHeaderSize) return false;
    return readTopLevelBox(window, current.position + current.size, current);
}

enum class MovieSearch { EmptyFile, NotFound, Found };

MovieSearch findMovieBox(FileWindow& window, uint64_t& moovPosition) {
    if (window.load(0) == 0) return MovieSearch::EmptyFile;
    TopLevelBox current;
    if (!readTopLevelBox(window, 0, current) || !current.is("ftyp")) return MovieSearch::NotFound;
    while (readNextTopLevelBox(window, current)) {
        if (current.is("moov")) {
            moovPosition = current.position;
            return MovieSearch::Found;
        }
    }
    return MovieSearch::NotFound;
}

// Adds the sample count of every trun found in the first 64 KiB of the moof's body.
void addRunSamples(FileWindow& window, const TopLevelBox& moof, MusicInfo& info) {
    if (moof.size <= box::kHeaderSize) return;
    const uint32_t body = moof.size - box::kHeaderSize;
    const HeldBytes runs(window.bytes(), window.load(moof.position + box::kHeaderSize, body));
    for (uint32_t trun = runs.find("trun", 0); trun != kNotFound; trun = runs.find("trun", trun)) {
        uint32_t samples = 0;
        if (runs.u32At(trun + 8, samples)) info.sampleCount = addSaturating(info.sampleCount, samples);
    }
}

// The second pass reads header by header and skips box bodies by seeking.
void countFragmentSamples(framework::File& file, FileWindow& window, MusicInfo& info) {
    FileWindow headers(file, box::kHeaderSize);
    TopLevelBox current;
    if (!readTopLevelBox(headers, 0, current)) return;
    while (readNextTopLevelBox(headers, current)) {
        if (!current.is("moof")) continue;
        info.fragmented = 1;
        addRunSamples(window, current, info);
    }
}

}  // namespace

int ProbeMusicFile(framework::File& file, MusicInfo& info) {
    info = MusicInfo{};
    FileWindow window(file, kWindowSize);
    uint64_t moovPosition = 0;
    switch (findMovieBox(window, moovPosition)) {
        case MovieSearch::EmptyFile:
            return 0;
        case MovieSearch::NotFound:
            return 1;
        case MovieSearch::Found:
            break;
    }
    // The values are looked for in the first 64 KiB of the movie box, read from
    // its own start: a movie box that begins just before a 64 KiB mark of the
    // file keeps its values.
    if (window.start() != moovPosition) window.load(moovPosition);
    readMovieValues(HeldBytes(window.bytes(), window.held()), info);
    countFragmentSamples(file, window, info);
    return 0;
}

MusicTexts PresentMusicInfo(MusicInfo& info) {
    MusicTexts texts;
    char text[64];
    std::snprintf(text, sizeof text, "%" PRIu32 "bps, %" PRIu32 "Hz", info.avgBitrate, info.timescale);
    texts.rate = text;
    if (info.timescale == 0) return texts;

    const uint64_t ticks = uint64_t{info.sampleCount} * info.sampleDelta;
    const uint64_t seconds = ticks / info.timescale;
    const unsigned hundredths = static_cast<unsigned>(ticks % info.timescale * 100 / info.timescale);
    std::snprintf(text, sizeof text, "%" PRIu64 ":%02u.%02u", seconds / 60, static_cast<unsigned>(seconds % 60),
                  hundredths);
    texts.length = text;
    info.sampleCount = seconds > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(seconds);
    return texts;
}

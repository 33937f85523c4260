#include "packer/conditioner/music_track.h"

using box::readU32;
using box::Span;

namespace {

constexpr uint32_t kHandlerTypeAt = 16;    // hdlr: header, version and flags, pre_defined
constexpr uint32_t kFirstSampleEntry = 16;  // stsd: header, version and flags, entry count

bool HandlerIs(const uint8_t* buffer, Span mdia, const char (&type)[5]) {
    const Span hdlr = box::findChild(buffer, mdia, "hdlr");
    return hdlr.size >= kHandlerTypeAt + 4 && box::typeIs(buffer + hdlr.offset + kHandlerTypeAt, type);
}

bool FirstSampleEntryIs(const uint8_t* buffer, Span stbl, const char (&type)[5]) {
    const Span stsd = box::findChild(buffer, stbl, "stsd");
    if (stsd.size < kFirstSampleEntry + box::kHeaderSize) return false;
    const uint32_t entry = readU32(buffer + stsd.offset + kFirstSampleEntry);
    return entry >= box::kHeaderSize && entry <= stsd.size - kFirstSampleEntry &&
           box::typeIs(buffer + stsd.offset + kFirstSampleEntry + 4, type);
}

}  // namespace

TrackBoxes TrackBoxesOf(const uint8_t* buffer, Span trak) {
    TrackBoxes track{trak, {}, {}, {}};
    track.mdia = box::findChild(buffer, trak, "mdia");
    if (box::found(track.mdia)) track.minf = box::findChild(buffer, track.mdia, "minf");
    if (box::found(track.minf)) track.stbl = box::findChild(buffer, track.minf, "stbl");
    return track;
}

TrackBoxes FindMusicTrack(const uint8_t* buffer, Span moov) {
    box::ChildWalk traks(buffer, moov);
    while (traks.next()) {
        if (!traks.currentIs("trak")) continue;
        const TrackBoxes track = TrackBoxesOf(buffer, traks.current());
        if (box::found(track.stbl) && HandlerIs(buffer, track.mdia, "soun") && FirstSampleEntryIs(buffer, track.stbl, "mp4a"))
            return track;
    }
    return TrackBoxes{};
}

uint32_t TrackIdOf(const uint8_t* buffer, Span trak) {
    const Span tkhd = box::findChild(buffer, trak, "tkhd");
    if (tkhd.size < 24) return 0;
    const uint32_t at = buffer[tkhd.offset + 8] == 1 ? 28 : 20;  // version 1 has 64-bit times
    return tkhd.size >= at + 4 ? readU32(buffer + tkhd.offset + at) : 0;
}

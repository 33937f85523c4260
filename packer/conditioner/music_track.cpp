#include "packer/conditioner/music_track.h"

using box::ReadU32;
using box::Span;

namespace {

bool HandlerIs(const uint8_t* buffer, Span mdia, const char (&type)[5]) {
    const Span hdlr = box::FindChild(buffer, mdia, "hdlr");
    return hdlr.size >= Hdlr::kHandlerType + 4 && box::TypeIs(buffer + hdlr.offset + Hdlr::kHandlerType, type);
}

bool FirstSampleEntryIs(const uint8_t* buffer, Span stbl, const char (&type)[5]) {
    const Span stsd = box::FindChild(buffer, stbl, "stsd");
    if (stsd.size < Stsd::kFirstEntry + box::kHeaderSize) return false;
    const uint32_t entry = ReadU32(buffer + stsd.offset + Stsd::kFirstEntry);
    return entry >= box::kHeaderSize && entry <= stsd.size - Stsd::kFirstEntry &&
           box::TypeIs(buffer + stsd.offset + Stsd::kFirstEntryType, type);
}

}  // namespace

TrackBoxes TrackBoxesOf(const uint8_t* buffer, Span trak) {
    TrackBoxes track{trak, {}, {}, {}};
    track.mdia = box::FindChild(buffer, trak, "mdia");
    if (box::Found(track.mdia)) track.minf = box::FindChild(buffer, track.mdia, "minf");
    if (box::Found(track.minf)) track.stbl = box::FindChild(buffer, track.minf, "stbl");
    return track;
}

TrackBoxes FindMusicTrack(const uint8_t* buffer, Span moov) {
    box::ChildWalk traks(buffer, moov);
    while (traks.Next()) {
        if (!traks.CurrentIs("trak")) continue;
        const TrackBoxes track = TrackBoxesOf(buffer, traks.Current());
        if (box::Found(track.stbl) && HandlerIs(buffer, track.mdia, "soun") && FirstSampleEntryIs(buffer, track.stbl, "mp4a"))
            return track;
    }
    return TrackBoxes{};
}

uint32_t TrackIdOf(const uint8_t* buffer, Span trak) {
    const Span tkhd = box::FindChild(buffer, trak, "tkhd");
    if (tkhd.size < Tkhd::kTrackIdV0 + 4) return 0;
    const uint32_t at = buffer[tkhd.offset + FullBox::kVersion] == 1 ? Tkhd::kTrackIdV1 : Tkhd::kTrackIdV0;
    return tkhd.size >= at + 4 ? ReadU32(buffer + tkhd.offset + at) : 0;
}

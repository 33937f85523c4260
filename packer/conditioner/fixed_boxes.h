// The boxes whose bytes the handset fixes: the 72-byte prefix every conditioned
// track begins with (ftyp and uuid(cpgd)), and the layout of the uuid(ioed) box
// that describes the ring-tone clips. The conditioner writes them; the package
// check reads them back.
#pragma once

#include <cstdint>

#include "common/package_layout.h"
#include "packer/conditioner/context.h"

// The extended type shared by the handset's own uuid boxes, after their four letters.
constexpr uint8_t kUuidTail[12] = {0xA8, 0x8C, 0x11, 0xD4, 0x81, 0x97, 0x00, 0x90, 0x27, 0x08, 0x77, 0x03};

// ftyp (brand kddi, compatible kddi, 3g2a, mp42) and uuid(cpgd): the track's first 72 bytes.
constexpr uint8_t kPrefixTemplate[kPrefixSize] = {
    0, 0, 0, 28, 'f', 't', 'y', 'p', 'k', 'd', 'd', 'i', 0, 0, 0, 0, 'k', 'd', 'd', 'i', '3', 'g', '2', 'a',
    'm', 'p', '4', '2', 0, 0, 0, 44, 'u', 'u', 'i', 'd', 'c', 'p', 'g', 'd', 0xA8, 0x8C, 0x11, 0xD4, 0x81, 0x97,
    0x00, 0x90, 0x27, 0x08, 0x77, 0x03, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr uint32_t kPrefixFtypSize = 28;  // the uuid(cpgd) box follows the ftyp box

// One 51-byte clip slot of the ioed box.
namespace ClipSlot {
constexpr uint32_t kSize = 51;
constexpr uint32_t kName = 0, kNameLength = kClipNameFieldSize;  // the name's text, then zero bytes
// The moov or moof holding the clip's first sample; the track fragment (1 in a
// movie box; in a moof, the music track's traf); the 1-based chunk (moov) or
// run (moof) number and the sample's number within it; the clip's length in
// samples; the two constant words 1 and 65.
constexpr uint32_t kBoxOffset = 32, kTrackFragment = 36, kPiece = 37, kSample = 38, kLength = 39;
constexpr uint32_t kFirstConstant = 43, kSecondConstant = 47;
}  // namespace ClipSlot

// The ioed box: header and extended type, two flag words, eight zero bytes,
// the number of clip slots, then the slots.
namespace Ioed {
constexpr uint32_t kFirstFlagWord = 24, kSecondFlagWord = 28, kSlotCount = 40, kFirstSlot = 41;
constexpr uint32_t kPlainSize = kFirstSlot;  // no clip slots
constexpr uint32_t kSlotsWritten = kClipCount;
constexpr uint32_t kWithClipsSize = kFirstSlot + kSlotsWritten * ClipSlot::kSize;  // 194
}  // namespace Ioed

#include "packer/conditioner/bitrate_camouflage.h"

#include <cstdio>

using box::ReadU32;
using box::Span;
using box::WriteU32;

namespace {

// Where the esds box's type field stands inside stsd, or 0 when there is none.
uint32_t findEsdsType(const uint8_t* buffer, Span stsd) {
    for (uint32_t at = stsd.offset + box::kHeaderSize; at + 4 <= stsd.End(); ++at) {
        if (box::TypeIs(buffer + at, "esds")) return at;
    }
    return 0;
}

// Reads the descriptors of an esds box by their own rules, never past its end.
// Every step fails (returns false) on a layout it doesn't understand.
class DescriptorReader {
public:
    DescriptorReader(const uint8_t* buffer, uint32_t at, uint32_t end) : buffer_(buffer), at_(at), end_(end) {}

    // A descriptor's tag and its length of 1 to 4 bytes, 7 bits each, the high
    // bit saying that another byte follows.
    bool enter(uint8_t tag) {
        if (!has(1) || buffer_[at_++] != tag) return false;
        for (int i = 0; i < 4; ++i) {
            if (!has(1)) return false;
            if ((buffer_[at_++] & 0x80) == 0) return true;
        }
        return false;
    }

    bool skip(uint32_t count) {
        if (!has(count)) return false;
        at_ += count;
        return true;
    }

    bool readByte(uint8_t* value) {
        if (!has(1)) return false;
        *value = buffer_[at_++];
        return true;
    }

    uint32_t position() const { return at_; }
    bool has(uint32_t count) const { return at_ <= end_ && end_ - at_ >= count; }

private:
    const uint8_t* buffer_;
    uint32_t at_;
    uint32_t end_;
};

constexpr uint8_t kElementaryStreamTag = 0x03;
constexpr uint8_t kDecoderConfigTag = 0x04;
constexpr uint8_t kDependsOnStream = 0x80;
constexpr uint8_t kHasUrl = 0x40;
constexpr uint8_t kHasClockStream = 0x20;

// Steps over the stream descriptor's id, flags and the optional fields they announce.
bool skipStreamFields(DescriptorReader& reader) {
    uint8_t flags = 0;
    if (!reader.skip(2) || !reader.readByte(&flags)) return false;
    if ((flags & kDependsOnStream) && !reader.skip(2)) return false;
    uint8_t urlLength = 0;
    if ((flags & kHasUrl) && (!reader.readByte(&urlLength) || !reader.skip(urlLength))) return false;
    return !(flags & kHasClockStream) || reader.skip(2);
}

// Where the decoder configuration's maximum bitrate stands (the average
// follows it), or 0 when the esds box isn't laid out as understood here.
uint32_t findDeclaredBitrates(const uint8_t* buffer, Span stsd) {
    const uint32_t type = findEsdsType(buffer, stsd);
    if (type == 0) return 0;
    const uint32_t esds = type - 4;
    const uint32_t declared = ReadU32(buffer + esds);
    if (declared < FullBox::kBody || declared > stsd.End() - esds) return 0;
    DescriptorReader reader(buffer, esds + FullBox::kBody, esds + declared);
    // Object type, stream type and the three-byte buffer size come before the bitrates.
    if (!reader.enter(kElementaryStreamTag) || !skipStreamFields(reader) || !reader.enter(kDecoderConfigTag) ||
        !reader.skip(5) || !reader.has(8))
        return 0;
    return reader.position();
}

}  // namespace

void CamouflageBitrates(uint8_t* buffer, Span stsd, uint32_t cap) {
    if (cap == 0) return;
    const uint32_t at = findDeclaredBitrates(buffer, stsd);
    if (at == 0) return;
    uint8_t* maxBitrate = buffer + at;
    uint8_t* avgBitrate = buffer + at + 4;
    std::printf("max.%lubps ", static_cast<unsigned long>(ReadU32(maxBitrate)));
    if (ReadU32(maxBitrate) > cap) WriteU32(maxBitrate, cap);
    std::printf("typ.%lubps\n", static_cast<unsigned long>(ReadU32(avgBitrate)));
    if (ReadU32(avgBitrate) > cap) WriteU32(avgBitrate, cap);
}

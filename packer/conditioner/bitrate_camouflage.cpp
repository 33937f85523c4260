#include "packer/conditioner/bitrate_camouflage.h"

#include <algorithm>

using box::ReadU32;
using box::Span;
using box::WriteU32;

namespace {

// Where the esds box's type field stands inside stsd, or 0 when there is none.
uint32_t FindEsdsType(const uint8_t* buffer, Span stsd) {
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
    bool Enter(uint8_t tag) {
        if (!Has(1) || buffer_[at_++] != tag) return false;
        for (int i = 0; i < 4; ++i) {
            if (!Has(1)) return false;
            if ((buffer_[at_++] & 0x80) == 0) return true;
        }
        return false;
    }

    bool Skip(uint32_t count) {
        if (!Has(count)) return false;
        at_ += count;
        return true;
    }

    bool ReadByte(uint8_t* value) {
        if (!Has(1)) return false;
        *value = buffer_[at_++];
        return true;
    }

    uint32_t Position() const { return at_; }
    bool Has(uint32_t count) const { return at_ <= end_ && end_ - at_ >= count; }

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
bool SkipStreamFields(DescriptorReader& reader) {
    uint8_t flags = 0;
    if (!reader.Skip(2) || !reader.ReadByte(&flags)) return false;
    if ((flags & kDependsOnStream) && !reader.Skip(2)) return false;
    uint8_t urlLength = 0;
    if ((flags & kHasUrl) && (!reader.ReadByte(&urlLength) || !reader.Skip(urlLength))) return false;
    return !(flags & kHasClockStream) || reader.Skip(2);
}

// Where the decoder configuration's maximum bitrate stands (the average
// follows it), or 0 when the esds box isn't laid out as understood here.
uint32_t FindDeclaredBitrates(const uint8_t* buffer, Span stsd) {
    const uint32_t type = FindEsdsType(buffer, stsd);
    if (type == 0) return 0;
    const uint32_t esds = type - 4;
    const uint32_t declared = ReadU32(buffer + esds);
    if (declared < FullBox::kBody || declared > stsd.End() - esds) return 0;
    DescriptorReader reader(buffer, esds + FullBox::kBody, esds + declared);
    // Object type, stream type and the three-byte buffer size come before the bitrates.
    if (!reader.Enter(kElementaryStreamTag) || !SkipStreamFields(reader) || !reader.Enter(kDecoderConfigTag) ||
        !reader.Skip(5) || !reader.Has(8))
        return 0;
    return reader.Position();
}

}  // namespace

std::optional<DeclaredBitrates> CamouflageBitrates(uint8_t* buffer, Span stsd, uint32_t cap) {
    if (cap == 0) return std::nullopt;
    const uint32_t at = FindDeclaredBitrates(buffer, stsd);
    if (at == 0) return std::nullopt;
    const DeclaredBitrates declared{ReadU32(buffer + at), ReadU32(buffer + at + 4)};
    WriteU32(buffer + at, std::min(declared.maximum, cap));
    WriteU32(buffer + at + 4, std::min(declared.average, cap));
    return declared;
}

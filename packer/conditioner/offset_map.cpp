#include "packer/conditioner/offset_map.h"

#include <algorithm>

#include "common/box.h"

void OffsetMap::AddMediaData(uint64_t inputAt, uint64_t size, uint64_t outputAt) {
    stretches_.push_back(Stretch{inputAt, size, outputAt});
}

std::optional<uint64_t> OffsetMap::OutputOf(uint64_t inputPosition) const {
    auto after = std::upper_bound(stretches_.begin(), stretches_.end(), inputPosition,
                                  [](uint64_t position, const Stretch& stretch) { return position < stretch.inputAt; });
    if (after == stretches_.begin()) return std::nullopt;
    const Stretch& stretch = *(after - 1);
    if (inputPosition - stretch.inputAt >= stretch.size) return std::nullopt;
    return stretch.outputAt + (inputPosition - stretch.inputAt);
}

OffsetTarget TargetOf(const uint8_t* buffer, const OffsetField& field) {
    const uint8_t* p = buffer + field.at;
    int64_t value = 0;
    switch (field.width) {
        case FieldWidth::Unsigned32: value = box::ReadU32(p); break;
        case FieldWidth::Signed32: value = static_cast<int32_t>(box::ReadU32(p)); break;
        case FieldWidth::Unsigned64:
            // Beyond 2^62 no byte of a file can be named; keep the sum from overflowing.
            value = static_cast<int64_t>(std::min<uint64_t>(uint64_t{box::ReadU32(p)} << 32 | box::ReadU32(p + 4),
                                                            uint64_t{1} << 62));
            break;
    }
    return OffsetTarget{value + field.inputOrigin, field.outputOrigin, field.width};
}

std::optional<uint64_t> MovedValue(const OffsetTarget& target, const OffsetMap& map) {
    if (target.inputPosition < 0) return std::nullopt;
    const std::optional<uint64_t> output = map.OutputOf(static_cast<uint64_t>(target.inputPosition));
    if (!output || *output > INT64_MAX / 2) return std::nullopt;
    const int64_t value = static_cast<int64_t>(*output) - target.outputOrigin;
    switch (target.width) {
        case FieldWidth::Unsigned32:
            if (value < 0 || value > int64_t{UINT32_MAX}) return std::nullopt;
            break;
        case FieldWidth::Signed32:
            if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
            break;
        case FieldWidth::Unsigned64:
            if (value < 0) return std::nullopt;
            break;
    }
    return static_cast<uint64_t>(value);
}

bool MoveField(uint8_t* buffer, const OffsetField& field, const OffsetMap& map) {
    const std::optional<uint64_t> value = MovedValue(TargetOf(buffer, field), map);
    if (!value) return false;
    uint8_t* p = buffer + field.at;
    if (field.width == FieldWidth::Unsigned64) {
        box::WriteU32(p, static_cast<uint32_t>(*value >> 32));
        p += 4;
    }
    box::WriteU32(p, static_cast<uint32_t>(*value));
    return true;
}

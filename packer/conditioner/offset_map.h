// Where the media data of the input lands in the written track, and the offset
// fields (chunk offsets, run data offsets, base data offsets) that must follow
// it. The conditioner copies some top-level boxes as they are and drops or
// rebuilds the others, so a byte moves by what was inserted or removed in front
// of that byte, not in front of the box that names it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

class OffsetMap {
public:
    // The payload of an mdat box copied whole to `outputAt`; added in input order.
    void AddMediaData(uint64_t inputAt, uint64_t size, uint64_t outputAt);

    // Where a byte of media data lands; none for any other byte, which no chunk
    // or run may name.
    std::optional<uint64_t> OutputOf(uint64_t inputPosition) const;

private:
    struct Stretch {
        uint64_t inputAt, size, outputAt;
    };
    std::vector<Stretch> stretches_;
};

enum class FieldWidth : uint8_t { Unsigned32, Signed32, Unsigned64 };

// A field of the box in the WorkBuffer that names an input byte: its value plus
// `inputOrigin` is that byte's input position, and the field must hold its
// output position less `outputOrigin` (both 0 for an absolute position; the
// moof's positions for a run offset that counts from its moof).
struct OffsetField {
    uint32_t at = 0;
    FieldWidth width = FieldWidth::Unsigned32;
    int64_t inputOrigin = 0;
    int64_t outputOrigin = 0;
};

// What a field names, read before the whole map is known.
struct OffsetTarget {
    int64_t inputPosition = 0;
    int64_t outputOrigin = 0;
    FieldWidth width = FieldWidth::Unsigned32;
};

OffsetTarget TargetOf(const uint8_t* buffer, const OffsetField& field);

// The value the field must hold in the output; none when its byte has no place
// there or the value doesn't fit the field.
std::optional<uint64_t> MovedValue(const OffsetTarget& target, const OffsetMap& map);

// Writes the moved value into the field; false (field untouched) when it has none.
bool MoveField(uint8_t* buffer, const OffsetField& field, const OffsetMap& map);

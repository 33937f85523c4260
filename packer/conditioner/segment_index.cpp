#include "packer/conditioner/segment_index.h"

#include <algorithm>

#include "common/box.h"

using box::ReadU32;

namespace {

// Where a sidx keeps its first offset and its references; none when it is
// shorter than the references it counts.
struct SidxLayout {
    bool wide = false;  // version 1: a 64-bit first offset
    uint32_t firstOffsetAt = 0, referencesAt = 0, count = 0;
};

std::optional<SidxLayout> LayoutOf(const uint8_t* sidx, uint32_t size) {
    SidxLayout layout;
    if (size <= FullBox::kVersion || sidx[FullBox::kVersion] > 1) return std::nullopt;
    layout.wide = sidx[FullBox::kVersion] == 1;
    layout.firstOffsetAt = layout.wide ? Sidx::kFirstOffsetV1 : Sidx::kFirstOffsetV0;
    layout.referencesAt = layout.wide ? Sidx::kReferencesV1 : Sidx::kReferencesV0;
    if (size < layout.referencesAt) return std::nullopt;
    const uint8_t* count = sidx + (layout.wide ? Sidx::kReferenceCountV1 : Sidx::kReferenceCountV0);
    layout.count = uint32_t{count[0]} << 8 | count[1];
    if (uint64_t{layout.count} * Sidx::kReferenceSize > size - layout.referencesAt) return std::nullopt;
    return layout;
}

uint64_t FirstOffsetOf(const uint8_t* sidx, const SidxLayout& layout) {
    return layout.wide ? box::ReadU64(sidx + layout.firstOffsetAt) : ReadU32(sidx + layout.firstOffsetAt);
}

uint8_t* ReferenceOf(uint8_t* sidx, const SidxLayout& layout, uint32_t reference) {
    return sidx + layout.referencesAt + Sidx::kReferenceSize * reference;
}

// Calls visit(reference, from, to) with the input range of each reference.
template <class Visit>
void ForEachRange(const uint8_t* sidx, uint32_t size, uint64_t inputAt, const SidxLayout& layout, Visit visit) {
    uint64_t from = inputAt + size + std::min<uint64_t>(FirstOffsetOf(sidx, layout), UINT32_MAX);
    for (uint32_t reference = 0; reference < layout.count; ++reference) {
        const uint64_t to = from + (ReadU32(sidx + layout.referencesAt + Sidx::kReferenceSize * reference) & Sidx::kReferencedSizeMask);
        visit(reference, from, to);
        from = to;
    }
}

}  // namespace

void BoxPlaces::Add(uint64_t inputAt, uint64_t outputAt) {
    inputs_.push_back(inputAt);
    outputs_.push_back(outputAt);
}

std::optional<uint64_t> BoxPlaces::OutputOf(uint64_t inputAt) const {
    const auto found = std::lower_bound(inputs_.begin(), inputs_.end(), inputAt);
    if (found == inputs_.end() || *found != inputAt) return std::nullopt;
    return outputs_[static_cast<std::size_t>(found - inputs_.begin())];
}

bool SegmentIndexesNameWholeBoxes(const uint8_t* input, const std::vector<box::Span>& boxes,
                                  const std::vector<uint64_t>& boundaries) {
    auto isBoundary = [&boundaries](uint64_t at) { return std::binary_search(boundaries.begin(), boundaries.end(), at); };
    for (box::Span sidx : boxes) {
        if (!box::TypeIs(input + sidx.offset + 4, "sidx")) continue;
        const std::optional<SidxLayout> layout = LayoutOf(input + sidx.offset, sidx.size);
        bool whole = layout.has_value();
        if (whole) {
            ForEachRange(input + sidx.offset, sidx.size, sidx.offset, *layout,
                         [&](uint32_t, uint64_t from, uint64_t to) { whole = whole && isBoundary(from) && isBoundary(to); });
        }
        if (!whole) return false;
    }
    return true;
}

void MoveSegmentIndex(uint8_t* sidx, uint32_t size, uint64_t inputAt, uint64_t outputAt, const BoxPlaces& places) {
    const std::optional<SidxLayout> layout = LayoutOf(sidx, size);
    if (!layout) return;
    ForEachRange(sidx, size, inputAt, *layout, [&](uint32_t reference, uint64_t from, uint64_t to) {
        const uint64_t outputFrom = places.OutputOf(from).value_or(0), outputTo = places.OutputOf(to).value_or(0);
        if (reference == 0) {
            const uint64_t firstOffset = outputFrom - (outputAt + size);
            if (layout->wide) box::WriteU32(sidx + layout->firstOffsetAt, static_cast<uint32_t>(firstOffset >> 32));
            box::WriteU32(sidx + layout->firstOffsetAt + (layout->wide ? 4 : 0), static_cast<uint32_t>(firstOffset));
        }
        uint8_t* sizeField = ReferenceOf(sidx, *layout, reference);
        const uint32_t type = ReadU32(sizeField) & ~Sidx::kReferencedSizeMask;
        box::WriteU32(sizeField, type | static_cast<uint32_t>((outputTo - outputFrom) & Sidx::kReferencedSizeMask));
    });
}

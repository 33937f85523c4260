// The input's segment indexes (sidx). A sidx names consecutive byte ranges of
// the track by their sizes, counted from its own end; re-cut fragments, the
// ioed box and dropped boxes change those sizes. Where every range starts and
// ends at a top-level box, each new size follows from where those boxes land,
// and the sidx is brought up to date. A sidx that names bytes within a box
// can't be kept right that way, and a reader it sends into the middle of a box
// fails; since one sidx may name another, every sidx of such a track is dropped.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/box.h"

// Where the top-level boxes of the input start in the output, and where the
// last whole box ends.
class BoxPlaces {
public:
    void Add(uint64_t inputAt, uint64_t outputAt);  // in input order
    std::optional<uint64_t> OutputOf(uint64_t inputAt) const;  // none but at a box's start or the end

private:
    std::vector<uint64_t> inputs_, outputs_;
};

// Whether every sidx among the top-level `boxes` of `input` names whole boxes:
// each of its ranges starts and ends at one of the sorted `boundaries` (every
// box's start, and where the last whole box ends).
bool SegmentIndexesNameWholeBoxes(const uint8_t* input, const std::vector<box::Span>& boxes,
                                  const std::vector<uint64_t>& boundaries);

// Rewrites the sidx of `size` bytes in `sidx`, found at `inputAt` and written at
// `outputAt`, for its boxes' places in the output.
void MoveSegmentIndex(uint8_t* sidx, uint32_t size, uint64_t inputAt, uint64_t outputAt, const BoxPlaces& places);

// Box-level surgery on a built track, for layouts the track builder doesn't make:
// a box inserted as the last child of some box. Every box on the path to the
// insertion point grows, and every absolute offset behind it (chunk offsets,
// base data offsets) moves along, so the track stays valid.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace surgery {

// A path from the top: {{"moof", 2}, {"traf", 1}} is the first traf of the second moof.
using BoxPath = std::vector<std::pair<std::string, int>>;

// Inserts `box` as the last child of the innermost box of `path`.
std::vector<uint8_t> appendChild(std::vector<uint8_t> bytes, const BoxPath& path, const std::vector<uint8_t>& box);

// The types of the children of the innermost box of `path`.
std::vector<std::string> childTypes(const std::vector<uint8_t>& bytes, const BoxPath& path);

// A 16-byte free box.
extern const std::vector<uint8_t> kFreeBox;

}  // namespace surgery

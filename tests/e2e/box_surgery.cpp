#include "tests/e2e/box_surgery.h"

#include <stdexcept>

namespace surgery {
namespace {

uint32_t u32(const std::vector<uint8_t>& bytes, uint32_t at) {
    return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) | (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

void putU32(std::vector<uint8_t>& bytes, uint32_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<uint32_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

std::string typeAt(const std::vector<uint8_t>& bytes, uint32_t at) { return std::string(bytes.begin() + at + 4, bytes.begin() + at + 8); }

const std::vector<std::string> kContainers = {"moov", "trak", "mdia", "minf", "stbl", "mvex", "moof", "traf", "mfra"};

// Every box inside [begin, end), containers searched too: (offset, type).
void allBoxes(const std::vector<uint8_t>& bytes, uint32_t begin, uint32_t end, std::vector<std::pair<uint32_t, std::string>>& found) {
    for (uint32_t at = begin; at + 8 <= end && u32(bytes, at) >= 8 && u32(bytes, at) <= end - at; at += u32(bytes, at)) {
        std::string type = typeAt(bytes, at);
        found.emplace_back(at, type);
        for (const std::string& container : kContainers) {
            if (type == container) allBoxes(bytes, at + 8, at + u32(bytes, at), found);
        }
    }
}

// The child of the given type (the n-th one among siblings, from 1) inside [begin, end).
uint32_t childOf(const std::vector<uint8_t>& bytes, uint32_t begin, uint32_t end, const std::string& type, int nth = 1) {
    for (uint32_t at = begin; at + 8 <= end; at += u32(bytes, at)) {
        if (typeAt(bytes, at) == type && --nth == 0) return at;
        if (u32(bytes, at) < 8) break;
    }
    throw std::runtime_error("no " + type + " box");
}

// Offsets of the boxes along a path like {{"moof", 2}, {"traf", 1}}.
std::vector<uint32_t> pathOf(const std::vector<uint8_t>& bytes, const BoxPath& path) {
    std::vector<uint32_t> offsets;
    uint32_t begin = 0;
    uint32_t end = static_cast<uint32_t>(bytes.size());
    for (const auto& step : path) {
        uint32_t at = childOf(bytes, begin, end, step.first, step.second);
        offsets.push_back(at);
        begin = at + 8;
        end = at + u32(bytes, at);
    }
    return offsets;
}

}  // namespace

// Inserts `box` as the last child of the innermost box of `path`.
std::vector<uint8_t> appendChild(std::vector<uint8_t> bytes, const BoxPath& path, const std::vector<uint8_t>& box) {
    std::vector<uint32_t> parents = pathOf(bytes, path);
    const uint32_t at = parents.back() + u32(bytes, parents.back());
    const uint32_t grown = static_cast<uint32_t>(box.size());
    for (uint32_t parent : parents) putU32(bytes, parent, u32(bytes, parent) + grown);
    bytes.insert(bytes.begin() + at, box.begin(), box.end());

    std::vector<std::pair<uint32_t, std::string>> boxes;
    allBoxes(bytes, 0, static_cast<uint32_t>(bytes.size()), boxes);
    for (const auto& found : boxes) {
        if (found.second == "stco") {
            uint32_t count = u32(bytes, found.first + 12);
            for (uint32_t i = 0; i < count; ++i) {
                uint32_t entry = found.first + 16 + 4 * i;
                if (u32(bytes, entry) >= at) putU32(bytes, entry, u32(bytes, entry) + grown);
            }
        } else if (found.second == "tfhd" && (u32(bytes, found.first + 8) & 0x000001) != 0) {
            uint32_t low = found.first + 20;  // the base data offset's low 32 bits
            if (u32(bytes, low) >= at) putU32(bytes, low, u32(bytes, low) + grown);
        }
    }
    return bytes;
}

// The types of the children of the innermost box of `path`.
std::vector<std::string> childTypes(const std::vector<uint8_t>& bytes, const BoxPath& path) {
    uint32_t box = pathOf(bytes, path).back();
    std::vector<std::string> types;
    uint32_t end = box + u32(bytes, box);
    for (uint32_t at = box + 8; at + 8 <= end && u32(bytes, at) >= 8; at += u32(bytes, at)) types.push_back(typeAt(bytes, at));
    return types;
}

const std::vector<uint8_t> kFreeBox = {0, 0, 0, 16, 'f', 'r', 'e', 'e', 'k', 'e', 'p', 't', ' ', 'b', 'o', 'x'};

}  // namespace surgery

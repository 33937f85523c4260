#include "framework/temporary_name.h"

#include <algorithm>
#include <chrono>

namespace framework {

namespace {

constexpr std::size_t kLongestName = 12;
constexpr char kNameCharacters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr uint64_t kNameCharacterCount = sizeof kNameCharacters - 1;

// SplitMix64's finalizer: nearby inputs give unrelated outputs.
uint64_t Mixed(uint64_t value) {
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

}  // namespace

std::string TemporaryFileName(std::size_t targetNameLength, uint64_t processId, unsigned attempt) {
    const std::size_t length = std::min(targetNameLength, kLongestName);
    if (length == 0) return "";
    // The clock makes two calls of one process differ; the attempt, two tries of one call.
    const uint64_t now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    uint64_t draw = Mixed(Mixed(processId) ^ now ^ (uint64_t{attempt} << 48));
    std::string name = length > 1 ? "~" : "";
    while (name.size() < length) {
        name += kNameCharacters[draw % kNameCharacterCount];
        draw /= kNameCharacterCount;
        if (draw == 0) draw = Mixed(now + name.size());
    }
    return name;
}

}  // namespace framework

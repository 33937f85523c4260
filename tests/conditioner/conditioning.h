// Runs the conditioner on bytes held in memory, through real files, the way the
// driver calls it, and hands back what it wrote and printed.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "packer/run_state.h"

namespace conditioning {

struct Result {
    int32_t shift = 0;
    std::vector<uint8_t> track;  // the bytes written from the member's data position on
    std::string console;
};

// The run globals as the driver leaves them for a run with the default mode,
// a WorkBuffer and the bitrate cap of 48000.
void resetRun(uint32_t modeFlags = kDefaultModeFlags);

// Enables clip `number` (1 to 3) with a range in milliseconds, as config.txt would.
void enableClip(int number, const char* name, uint32_t startMs, uint32_t lengthMs);

Result condition(const std::vector<uint8_t>& input, uint32_t memberDataOffset = 2560);

// Offset of the first box of the given type found anywhere in the bytes (by its
// type field), or SIZE_MAX.
std::size_t findBox(const std::vector<uint8_t>& bytes, const char* type, std::size_t from = 0);

uint32_t u32At(const std::vector<uint8_t>& bytes, std::size_t at);
void putU32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value);

// A test name made of a case's `what` text.
template <class Case>
std::string nameOfCase(const testing::TestParamInfo<Case>& param) {
    std::string name = param.param.what;
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

}  // namespace conditioning

// What the frontend learns about the packer beside it, once at start-up: the
// packer's build date, read from the banner stored in its executable
// ("Tessaryn (yyyymmdd)"), and whether that packer is accepted and usable.
#pragma once

#include <cstdint>
#include <string>

#include "framework/file.h"

enum PackerState : int { kPackerNotRecognised = 0, kPackerTooOld = 1, kPackerUsable = 2 };

constexpr uint32_t kOldestAcceptedPacker = 20050831;
constexpr uint32_t kNewestAcceptedPacker = 20201231;
constexpr uint32_t kOldestUsablePacker = 20051012;

struct PackerVersion {
    uint32_t date = 0;  // the number after the first banner opening; 0 without one
    PackerState state = kPackerNotRecognised;
    std::string text;  // "Tessaryn 20051110", or the recognition error (CP932)
};

// The packer's path: the frontend's own path with its file name replaced by tessaryn.exe.
std::string PackerPathBeside(const std::string& frontendPath);

// The number after the first "Tessaryn (" in the file: its next eight
// characters read as a decimal held at 4294967295. 0 when there is no opening.
uint32_t ReadPackerBannerDate(framework::File& file);

// Accepted from 20050831 to 20201231, usable from 20051012 on.
PackerVersion ClassifyPackerDate(uint32_t date);

// What the frontend learns about the two programs' versions, once at start-up:
// its own, from its version resource, and the packer's beside it, from the
// banner stored in the packer's executable ("Tessaryn (yyyymmdd)"), with
// whether that packer is accepted and usable.
#pragma once

#include <cstdint>
#include <string>

#include "framework/file.h"

enum class PackerState : int { NotRecognised = 0, TooOld = 1, Usable = 2 };

constexpr uint32_t kOldestAcceptedPacker = 20050831;
constexpr uint32_t kNewestAcceptedPacker = 20201231;
constexpr uint32_t kOldestUsablePacker = 20051012;

struct PackerBeside {
    std::string path;  // tessaryn.exe beside the frontend; empty when it would not fit a path
    uint32_t version = 0;  // yyyymmdd from its banner; 0 when none was found
    PackerState state = PackerState::NotRecognised;
    std::string versionText;  // "Tessaryn 20051110", or the recognition error (CP932)
};

struct FrontendVersion {
    uint32_t version = 0;     // yyyymmdd
    std::string versionText;  // "Tessaryn Frontend 20051018"
};

// The number after the first "Tessaryn (" in the file: its next eight
// characters read as a decimal held at 4294967295. 0 when there is no opening.
uint32_t ReadPackerBannerDate(framework::File& file);

// The version, state and text of a packer of that date (the path stays empty):
// accepted from 20050831 to 20201231, usable from 20051012 on.
PackerBeside RecognisePacker(uint32_t date);

// Finds the packer beside the running frontend (its own path with the file name
// replaced by tessaryn.exe) and reads its build date.
PackerBeside ProbePackerVersion();

// The program's own version: its second and third parts are the year after
// 2000 and the month and day (0, 5, 1018, 0 is 20051018). Zero and empty when
// the program has no version resource.
FrontendVersion ReadFrontendVersion();

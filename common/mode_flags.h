// The packer's run options: the bits of the ModeFlags word that its -mode:
// option carries, which the frontend builds from its check boxes. Their names
// are also the keys of tessaryn.ini.
#pragma once

#include <cstdint>

namespace ModeFlag {
constexpr uint32_t ADD_MFRA = 0x01;          // append a fragment index to the track
constexpr uint32_t ADD_IOED = 0x02;          // insert the ioed clip box
constexpr uint32_t CHECK_HITKEY = 0x04;      // wait for a key at the end
constexpr uint32_t REFRAGMENT = 0x08;        // cut movie fragments anew into one-second runs
constexpr uint32_t NO_SETTINGS_FILE = 0x10;  // do not read tessaryn.ini
constexpr uint32_t FIXED_CAMOUFLAGE = 0x20;  // cap bitrates at 48000 whatever the settings say
}  // namespace ModeFlag

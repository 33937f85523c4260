// Names for the file a safe replace writes first, in the target's folder,
// before it takes the target's place. A name is never longer than the target's
// own, so wherever the target's path fits the path limit, so does its stand-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace framework {

// How many names a replace tries before it gives up: each is created
// exclusively, and one that exists already is passed over.
constexpr unsigned kTemporaryNameAttempts = 64;

// A name of `targetNameLength` bytes, at most 12, for try `attempt` of the
// process `processId`: "~" then lowercase letters and digits (one of those
// alone for a name of one byte), which every file system takes and with which
// no reserved device name begins. Empty when the target has no name.
std::string TemporaryFileName(std::size_t targetNameLength, uint64_t processId, unsigned attempt);

}  // namespace framework

// The packer's run: banner, command line, settings, and the copy of every member
// of the package behind its header, ending with index.txt at the front.
#pragma once

#include <cstddef>
#include <cstdint>

// The usual way to get the WorkBuffer: new[] that yields nullptr when memory is short.
uint8_t* allocateWorkBufferWithNew(std::size_t size);

// What a run's exit status tells a script.
namespace ExitStatus {
constexpr int kPackaged = 0;     // the package was written with its music track (or help was asked for)
constexpr int kNotPackaged = 1;  // no package, or one without the music track
constexpr int kNoMusicFile = 2;  // started without a music file: the usage text
}  // namespace ExitStatus

// One run of the packer over argv; returns its exit status. Everything a run
// changes is reset at its start. The allocator gives the WorkBuffer (released
// with delete[]); tests pass one that fails.
int runPacker(int argc, char* argv[], uint8_t* (*allocateWorkBuffer)(std::size_t) = allocateWorkBufferWithNew);

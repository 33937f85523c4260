// The packer's run: banner, command line, settings, and the copy of every member
// of the package behind its header, ending with index.txt at the front.
#pragma once

#include <cstddef>
#include <cstdint>

// The usual way to get the WorkBuffer: new[] that yields nullptr when memory is short.
uint8_t* AllocateWorkBufferWithNew(std::size_t size);

// What a run's exit status tells a script.
enum class ExitStatus {
    Packaged = 0,     // the package was written with its music track (or help was asked for)
    NotPackaged = 1,  // no package, or one without the music track
    NoMusicFile = 2,  // started without a music file: the usage text
};

// One run of the packer over argv; returns its exit status (--inspect's
// CheckStatus when it inspects). Nothing of an earlier run in the same process
// carries over. The allocator gives the WorkBuffer (released with delete[]);
// tests pass one that fails.
int RunPacker(int argc, char* argv[], uint8_t* (*allocateWorkBuffer)(std::size_t) = AllocateWorkBufferWithNew);

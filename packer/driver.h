// The packer's run: banner, command line, settings, and the copy of every member
// of the package behind its header, ending with index.txt at the front.
#pragma once

#include <cstddef>
#include <cstdint>

// The usual way to get the WorkBuffer: new[] that yields nullptr when memory is short.
uint8_t* allocateWorkBufferWithNew(std::size_t size);

// One run of the packer over argv; always returns 0. The allocator gives the
// WorkBuffer (released with delete[]); tests pass one that fails.
int runPacker(int argc, char* argv[], uint8_t* (*allocateWorkBuffer)(std::size_t) = allocateWorkBufferWithNew);

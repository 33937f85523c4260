// config.txt's clip lines: lines 4 to 6 give the time ranges of clips 1 to 3 as
// "start seconds.milliseconds,end seconds.milliseconds".
#pragma once

#include <cstdint>

// Fills start, length and state of the three clip records from the bytes of
// config.txt. Only the given count of bytes is read; the bytes are not changed.
void parseClipLines(uint8_t* bytes, uint32_t count);

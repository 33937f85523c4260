// The console services of the packer: the final key wait and the run's clock.
#pragma once

#include <cstdint>

// Flushes standard output, then waits for one key press without echo. When
// standard input is not a terminal, one plain read is made instead, which
// returns at the end of the input, so a run from a pipe or CI never hangs.
void WaitForKey();

// Milliseconds on a clock that only moves forward; for measuring a run.
uint64_t MillisecondClock();

// The text `tessaryn -h` prints: how to call the packer, its options and mode bits.
#pragma once

void printHelp();

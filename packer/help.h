// The text `tessaryn -h` shows: how to call the packer, its options and mode bits.
#pragma once

const char* HelpText();

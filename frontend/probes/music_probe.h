// A quick look into the chosen music file, made before the packer runs: its
// length, bitrate and sampling rate for the dialog, whether it is fragmented
// (re-fragmenting is offered only then), and a warning when it does not look
// like an ISO base media file at all. The top-level boxes are walked by their
// headers; within the first 64 KiB of the movie box the music track is found
// box by box, and the sample counts of the fragments by their type name.
#pragma once

#include <cstdint>
#include <string>

#include "framework/file.h"

// The values of the music track: the first track whose handler is soun with an
// mp4a sample entry (or, when the held bytes show none, the first mdhd, esds and
// stts of the movie box).
struct MusicInfo {
    uint32_t sampleDelta = 0;  // duration of one sample (the first stts entry's), in timescale units
    uint32_t sampleCount = 0;  // samples of the movie box and of every fragment
    uint32_t avgBitrate = 0;   // bit/s, from the esds decoder configuration
    uint32_t timescale = 0;    // the media's units per second (mdhd), shown as the sampling rate
    bool fragmented = false;   // the file has a top-level moof box
    // The length in timescale units: count × delta of every stts entry, and
    // each fragment sample's duration (its run's own, else the tfhd's or trex's
    // default, else sampleDelta), less the start its edit list skips.
    uint64_t duration = 0;
};

struct MusicProbe {
    MusicInfo info;             // as far as the file allows; every field starts at 0
    bool mayBeDamaged = false;  // its first box is not ftyp, or no top-level moov box comes before the end
};

// Probes the file from its start (an empty file is not called damaged); its
// position is left wherever the probe stopped.
MusicProbe ProbeMusicFile(framework::File& file);

struct MusicTexts {
    std::string rate;    // "64000bps, 48000Hz"
    std::string length;  // "1:04.02" (minutes, seconds, hundredths); empty without a timescale
};

// The two texts the dialog shows for a probed file, the length from `info.duration`.
MusicTexts PresentMusicInfo(const MusicInfo& info);

// The play length in whole seconds, which the description form starts from.
// Without a timescale the sample count stands in for it, as it always has.
uint32_t PlaySeconds(const MusicInfo& info);

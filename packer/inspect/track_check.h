// Reads a music track back as the conditioner writes it, for the package
// check. Its lines (positions count from the track's first byte; numbers of
// chunks, runs and samples are 1-based, as the boxes store them):
//
//   track: stored as it came, without the prefix                and nothing more
//   prefix: ftyp kddi, minor 0, compatible kddi 3g2a mp42; uuid cpgd
//   box TYPE at AT: SIZE bytes                   every top-level box; "uuid ioed" for a uuid box
//   loose bytes at AT: N                         fewer than a box header, copied from behind the source's last box
//   chunks of the moov at AT: N N N ... (S samples in K chunks)          its music track (else its first); "no sample table"
//   runs of the moof at AT, traf T: N N ... (S samples in R runs)        "no traf" when it has none
//   ioed at AT: flag words F F, N slots
//   ioed slot I: unused                          the template's bytes
//   ioed slot I: "NAME", moov at AT, chunk C, sample S, L samples long -> a chunk of N samples
//   ioed slot I: "NAME", moof at AT, traf T, trun R, sample S, L samples long -> a run of N samples
//   mfra at AT: SIZE bytes, mfro gives SIZE
//   tfra at AT: track ID, E entries, numbers of A/B/C bytes
//   tfra entry I: time T, moof at AT, traf T, trun R, sample S -> a run of N samples
//
// Lists of numbers show the first 32 and then "...". A clip slot and an index
// entry must name a sample that exists: a top-level moov (first track, chunk
// from its sample-to-chunk table) or moof (its traf, trun and that run's count).
// Every chunk of every track, and every run whose start can be told, must start
// inside a top-level mdat; an index entry must give its run's decode time where
// the traf's tfdt and its samples' durations tell it; a sidx must name whole
// top-level boxes.
#pragma once

#include <cstdint>
#include <vector>

#include "packer/inspect/check_report.h"

// Reports the track's layout; false after reporting its first problem.
bool CheckMusicTrack(const std::vector<uint8_t>& track, CheckReport& report);

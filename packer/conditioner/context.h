// The state of one conditioning pass, shared by the box loop, the movie box
// rebuild, the fragment rebuild and the fragment index.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/box.h"
#include "packer/base/clip_range.h"
#include "packer/base/options.h"
#include "common/fragment_samples.h"
#include "packer/conditioner/track_report.h"

// Size of the fixed ftyp + uuid(cpgd) prefix written in front of every track.
constexpr int32_t kPrefixSize = 72;

// Rebuilt sample tables are assembled in the second half of the WorkBuffer,
// while the movie box occupies the first half.
constexpr uint32_t kTableAreaOffset = 0x300000;

// The clock in force before a movie box gives the track's own.
constexpr TrackClock kDefaultClock{22050, 1024};

// One entry of the fragment index: where a re-cut run starts and when it plays.
struct IndexEntry {
    uint64_t time = 0;        // decode time of the run's first sample
    uint32_t moofOffset = 0;  // output offset of the run's moof
    uint32_t trackFragment = 1;
    uint32_t runNumber = 0;
    uint32_t sampleNumber = 1;
};

struct ConditionerContext {
    ConditionerContext(uint8_t* workBuffer, const PackerOptions& runOptions) : buffer(workBuffer), options(runOptions) {}

    int32_t shift = kPrefixSize;  // output bytes written minus input bytes consumed
    uint32_t inputOffset = 0;     // input offset of the current top-level box
    TrackClock clock = kDefaultClock;
    // The sample duration shown for a movie box whose music track holds no
    // samples: the first music fragment's, which only a look ahead tells.
    uint32_t emptyMovieSampleDelta = kDefaultClock.sampleDelta;
    uint64_t runningTime = 0;     // when the next fragment's samples begin, unless its tfdt says
    uint64_t samplesBefore = 0;   // the music samples of the movie box and the fragments so far
    uint32_t fragmentNumber = 0;  // of the current moof, from 1
    // The music track's ID from the movie box: none before a movie box is read
    // (a fragment's first track fragment is then the music), 0 when it has none.
    std::optional<uint32_t> musicTrackId;
    std::vector<TrackDefaults> trackDefaults;  // the trex boxes of the last movie box
    bool ioedPending = false;
    uint32_t ioedOffset = 0;  // output offset of the inserted ioed box; 0 = none
    ClipRanges clips{};       // in samples; located as the pieces are written
    std::vector<uint32_t> sampleSizes;
    std::vector<IndexEntry> index;
    std::vector<TrackEvent> events;
    std::vector<TrackNotice> notices;  // each reason once
    std::vector<KeptFragments> keptFragments;
    uint8_t* buffer;  // the WorkBuffer: the current top-level box from byte 0
    const PackerOptions& options;

    // Where the current top-level box lands in the output, before its own growth.
    uint32_t OutputOffset() const { return static_cast<uint32_t>(inputOffset + static_cast<uint32_t>(shift)); }

    void Notice(TrackNotice reason) {
        for (TrackNotice given : notices) {
            if (given == reason) return;
        }
        notices.push_back(reason);
    }

    // The current fragment is not re-cut; one line names a row of fragments kept for one reason.
    void KeepFragment(FragmentKept reason) {
        if (!keptFragments.empty() && keptFragments.back().reason == reason && keptFragments.back().last + 1 == fragmentNumber)
            keptFragments.back().last = fragmentNumber;
        else
            keptFragments.push_back(KeptFragments{fragmentNumber, fragmentNumber, reason});
    }
};

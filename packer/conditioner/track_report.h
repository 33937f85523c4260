// What the conditioner tells the driver about a track: how it ended, how much
// longer it became, and what it found on the way, in the order it found it.
// The conditioner says nothing itself; the driver turns this into lines.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

enum class TrackOutcome {
    Conditioned,   // written; `change` says how much longer than the input
    TooLarge,      // its top-level boxes can't be taken apart safely
    OffsetsStuck,  // a chunk or run offset can't be moved to where its byte lands
    Unreadable,    // reading the input failed
};

// Why the music track kept chunks of its own; each reason is given once.
enum class TrackNotice {
    NoMusicTrack,    // the movie box holds no AAC sound track
    TablesUnusable,  // its sample tables can't be rebuilt
    SamplesApart,    // other data lies between its samples
};

// Why a fragment of the music track was not re-cut into one-second runs.
enum class FragmentKept {
    SeveralTrackFragments,
    Encrypted,         // senc, saiz or saio: their offsets and sample counts would go stale
    OverWorkBuffer,    // re-cut, it would not fit the WorkBuffer
    RunsUnreadable,    // a tfhd or trun shorter than its fields, or samples of no known size
    BoxBetweenRuns,    // it would lose its place among the runs
    SamplesApart,      // other data lies between the runs' samples
};

// Fragments `first` to `last` (numbered from 1 in the track) kept for one reason.
struct KeptFragments {
    uint32_t first;
    uint32_t last;
    FragmentKept reason;
};

// The music track's media clock: its timescale and the duration of one
// sample (never 0), as a movie box gives them.
struct TrackClock {
    uint32_t timescale;
    uint32_t sampleDelta;
};

// The bitrates the decoder configuration declared, before they were capped.
struct DeclaredBitrates {
    uint32_t maximum;
    uint32_t average;
};

enum class PieceKind { Chunk, Run };

// A clip that starts where the ioed slot's one-byte numbers can't name it.
struct ClipOutOfReach {
    int clip;  // 1 to 3
    PieceKind kind;
    bool pastPiece255;  // else past sample 255 of its piece
};

using TrackEvent = std::variant<DeclaredBitrates, ClipOutOfReach, TrackClock>;

inline bool operator==(const TrackClock& a, const TrackClock& b) {
    return a.timescale == b.timescale && a.sampleDelta == b.sampleDelta;
}
inline bool operator==(const DeclaredBitrates& a, const DeclaredBitrates& b) {
    return a.maximum == b.maximum && a.average == b.average;
}
inline bool operator==(const KeptFragments& a, const KeptFragments& b) {
    return a.first == b.first && a.last == b.last && a.reason == b.reason;
}
inline bool operator==(const ClipOutOfReach& a, const ClipOutOfReach& b) {
    return a.clip == b.clip && a.kind == b.kind && a.pastPiece255 == b.pastPiece255;
}

struct TrackReport {
    TrackOutcome outcome = TrackOutcome::Conditioned;
    int32_t change = 0;
    std::vector<TrackEvent> events;
    bool freeToUse = false;  // the ioed box's flag words say the track may be used whole
    std::vector<TrackNotice> notices;
    std::vector<KeptFragments> keptFragments;  // with REFRAGMENT
};

#include "packer/conditioner/conditioner.h"

#include <cassert>
#include <cstring>
#include <optional>
#include <vector>

#include "packer/conditioner/context.h"
#include "packer/conditioner/fixed_boxes.h"
#include "packer/conditioner/fragment_index.h"
#include "packer/conditioner/fragments.h"
#include "packer/conditioner/movie_box.h"
#include "packer/conditioner/pieces.h"
#include "packer/conditioner/segment_index.h"

using box::ReadU32;
using box::WriteU32;

void FillClipSlot(uint8_t* slot, const ClipRange* clip) {
    std::memset(slot, 0, ClipSlot::kSize);
    if (clip) {
        std::memcpy(slot + ClipSlot::kName, clip->name, strnlen(clip->name, kMaxClipNameLength));
        WriteU32(slot + ClipSlot::kBoxOffset, clip->boxOffset);
        slot[ClipSlot::kTrackFragment] = clip->trackFragment;
        slot[ClipSlot::kPiece] = clip->runNumber;
        slot[ClipSlot::kSample] = clip->sampleNumber;
        WriteU32(slot + ClipSlot::kLength, clip->length);
    }
    WriteU32(slot + ClipSlot::kFirstConstant, 1);
    WriteU32(slot + ClipSlot::kSecondConstant, 65);
}

namespace {

// The ioed box, in the form the enabled clips and the free flag call for.
struct IoedBox {
    uint8_t bytes[Ioed::kWithClipsSize] = {};
    uint32_t size = Ioed::kPlainSize;
};

bool AnyClipEnabled(const ClipRanges& clips) {
    for (const ClipRange& clip : clips) {
        if (clip.state != ClipState::Unused) return true;
    }
    return false;
}

IoedBox MakeIoedBox(bool withClips, bool freeToUse) {
    IoedBox ioed;
    if (withClips) ioed.size = Ioed::kWithClipsSize;
    const uint32_t flagWord = freeToUse ? 0 : 1;
    uint8_t* b = ioed.bytes;
    uint8_t* extendedType = box::WriteHeader(b, ioed.size, "uuid");
    std::memcpy(extendedType, "ioed", 4);
    std::memcpy(extendedType + 4, kUuidTail, sizeof kUuidTail);
    WriteU32(b + Ioed::kFirstFlagWord, flagWord);
    WriteU32(b + Ioed::kSecondFlagWord, flagWord);
    if (withClips) {
        b[Ioed::kSlotCount] = Ioed::kSlotsWritten;
        for (uint32_t slot = 0; slot < Ioed::kSlotsWritten; ++slot)
            FillClipSlot(b + Ioed::kFirstSlot + slot * ClipSlot::kSize, nullptr);
    }
    return ioed;
}

// The whole input, mapped or read once: every box is taken from here, and
// the media data is written from here in one piece.
struct InputImage {
    const uint8_t* bytes;
    std::size_t length;
    const uint8_t* Data() const { return bytes; }
    std::size_t Size() const { return length; }
};

// The whole top-level boxes; none when they can't be taken apart: sizes below
// 8 (0 and 1 among them), sizes beyond the WorkBuffer, and boxes that run past
// the end of the input. Up to 7 trailing bytes are fine.
std::optional<std::vector<box::Span>> TopLevelBoxes(const InputImage& input) {
    std::vector<box::Span> boxes;
    auto sizeAt = [&input, &boxes](uint64_t position, uint32_t* size) {
        *size = ReadU32(input.Data() + position);
        boxes.push_back(box::Span{static_cast<uint32_t>(position), *size});
        return true;
    };
    if (!box::TopLevelBoxesFit(input.Size(), kLargestConditionedBox, sizeAt)) return std::nullopt;
    return boxes;
}

// Whether the input's segment indexes can be kept right: each names whole boxes.
bool SegmentIndexesHold(const InputImage& input, const std::vector<box::Span>& boxes) {
    std::vector<uint64_t> boundaries;
    for (box::Span top : boxes) boundaries.push_back(top.offset);
    boundaries.push_back(boxes.empty() ? 0 : boxes.back().End());
    return SegmentIndexesNameWholeBoxes(input.Data(), boxes, boundaries);
}

// A fragment as the planning pass planned it, for the writing pass to write.
struct PlannedFragment {
    FragmentPlan plan;
    std::vector<uint8_t> bytes;
};

// What the box loop does with a top-level box.
enum class Role { Dropped, Copied, MediaData, OwnIoed, Movie, Fragment, SegmentIndex };

// The first bytes of a box that the loop reads itself: its header and the
// first four letters of a uuid box's extended type.
constexpr uint32_t kLeadSize = 12;

// Our own ftyp replaces the input's, an input index names input positions, and
// of the uuid boxes only the input's own ioed box is kept (it stands instead of ours).
Role RoleOf(const uint8_t* lead, uint32_t size, bool keepSegmentIndexes) {
    const uint8_t* type = lead + 4;
    if (box::TypeIs(type, "ftyp") || box::TypeIs(type, "mfra")) return Role::Dropped;
    if (box::TypeIs(type, "uuid"))
        return size >= kLeadSize && std::memcmp(lead + box::kHeaderSize, "ioed", 4) == 0 ? Role::OwnIoed : Role::Dropped;
    if (box::TypeIs(type, "sidx")) return keepSegmentIndexes ? Role::SegmentIndex : Role::Dropped;
    if (box::TypeIs(type, "moov")) return Role::Movie;
    if (box::TypeIs(type, "moof")) return Role::Fragment;
    return box::TypeIs(type, "mdat") ? Role::MediaData : Role::Copied;
}

// How the box loop walks one input: which segment indexes it keeps.
struct TopLevelWalk {
    const InputImage& input;
    bool keepSegmentIndexes;
};

// Both passes walk the top-level boxes alike, so that the same boxes are
// dropped, copied or rebuilt and the ioed box stands before the same box. A
// pass handles each box and says how long it is written.
template <class Pass>
void WalkTopLevelBoxes(const TopLevelWalk& walk, ConditionerContext& context, uint32_t ioedSize, Pass& pass) {
    context.ioedPending = context.options.Has(ModeFlag::ADD_IOED);
    const uint64_t length = walk.input.Size();
    for (uint64_t at = 0;;) {
        context.inputOffset = static_cast<uint32_t>(at);
        const uint8_t* bytes = walk.input.Data() + at;
        if (length - at < box::kHeaderSize) return pass.LooseBytes(bytes, static_cast<uint32_t>(length - at));
        const uint32_t size = ReadU32(bytes);
        const Role role = RoleOf(bytes, size, walk.keepSegmentIndexes);
        if (role == Role::OwnIoed) context.ioedPending = false;
        if (role != Role::Dropped && context.ioedPending) {
            context.ioedOffset = context.OutputOffset();
            pass.InsertIoed();
            context.shift += static_cast<int32_t>(ioedSize);
            context.ioedPending = false;
        }
        if (role == Role::Fragment) ++context.fragmentNumber;
        const uint32_t written = pass.Handle(role, bytes, size);
        context.shift += static_cast<int32_t>(written - size);
        at += size;
    }
}

// The planning pass plans the movie boxes and fragments. It learns where the
// media data and every top-level box land and which input bytes their offsets
// name; the track can be written once each of those is a byte of media data.
class PlanningPass {
public:
    explicit PlanningPass(ConditionerContext& context) : context_(context) {}

    void InsertIoed() {}

    uint32_t Handle(Role role, const uint8_t* bytes, uint32_t size) {
        places_.Add(context_.inputOffset, context_.OutputOffset());
        switch (role) {
            case Role::Dropped: return 0;
            case Role::MediaData:
                map_.AddMediaData(uint64_t{context_.inputOffset} + box::kHeaderSize, size - box::kHeaderSize,
                                  uint64_t{context_.OutputOffset()} + box::kHeaderSize);
                return size;
            case Role::Copied:
            case Role::OwnIoed:
            case Role::SegmentIndex: return size;
            case Role::Movie: {
                std::memcpy(context_.buffer, bytes, size);
                const MovieBoxPlan plan = PlanMovieBox(context_, size);
                offsetsReadable_ = offsetsReadable_ && plan.offsetsReadable;
                NotePieces(plan.holdsPieces, context_.clock);
                AddTargets(plan.offsets);
                return plan.outputSize;
            }
            case Role::Fragment: {
                FragmentPlan plan = PlanMovieFragment(context_, bytes, size);
                NotePieces(plan.holdsPieces, plan.clock);
                if (plan.holdsPieces && !fragmentClock_) fragmentClock_ = plan.clock;
                AddTargets(plan.offsets);
                const uint32_t written = plan.outputSize;
                fragments_.push_back(PlannedFragment{std::move(plan), std::vector<uint8_t>(context_.buffer, context_.buffer + written)});
                return written;
            }
        }
        return size;
    }

    void LooseBytes(const uint8_t*, uint32_t) { places_.Add(context_.inputOffset, context_.OutputOffset()); }

    const OffsetMap& Map() const { return map_; }
    const BoxPlaces& Places() const { return places_; }

    // The plan of fragment `number` (from 1) and its bytes as planned.
    const PlannedFragment& Fragment(uint32_t number) const { return fragments_[number - 1]; }

    // The clock in force at the first chunk or run that clips are located in:
    // the one their milliseconds are turned into samples by.
    TrackClock ClipClock() const { return clipClock_.value_or(kDefaultClock); }

    // The first music fragment's usual sample duration, for a movie box that holds no samples to give one.
    uint32_t FragmentSampleDelta() const { return fragmentClock_ ? fragmentClock_->sampleDelta : kDefaultClock.sampleDelta; }

    bool OffsetsMove() const {
        for (const OffsetTarget& target : targets_) {
            if (!MovedValue(target, map_)) return false;
        }
        return offsetsReadable_;
    }

private:
    void NotePieces(bool holdsPieces, TrackClock clock) {
        if (holdsPieces && !clipClock_) clipClock_ = clock;
    }

    void AddTargets(const std::vector<OffsetField>& fields) {
        for (const OffsetField& field : fields) targets_.push_back(TargetOf(context_.buffer, field));
    }

    ConditionerContext& context_;
    OffsetMap map_;
    BoxPlaces places_;
    std::vector<OffsetTarget> targets_;
    bool offsetsReadable_ = true;
    std::optional<TrackClock> clipClock_, fragmentClock_;
    std::vector<PlannedFragment> fragments_;
};

// The writing pass writes the track, its offsets moved by the planned map.
class WritingPass {
public:
    WritingPass(OutputFile& output, ConditionerContext& context, const IoedBox& ioed, const PlanningPass& plan)
        : output_(output), context_(context), ioed_(ioed), plan_(plan) {}

    void InsertIoed() { output_.Write(ioed_.bytes, ioed_.size); }

    uint32_t Handle(Role role, const uint8_t* bytes, uint32_t size) {
        assert(plan_.Places().OutputOf(context_.inputOffset) == context_.OutputOffset() && "the writing strays from the plan");
        switch (role) {
            case Role::Dropped: return 0;
            case Role::Movie: {
                std::memcpy(context_.buffer, bytes, size);
                const MovieBoxPlan plan = PlanMovieBox(context_, size);
                WriteMovieBox(context_, output_, size, plan, plan_.Map());
                return plan.outputSize;
            }
            case Role::Fragment: {
                const PlannedFragment& planned = plan_.Fragment(context_.fragmentNumber);
                std::memcpy(context_.buffer, planned.bytes.data(), planned.bytes.size());
                WriteMovieFragment(context_, output_, planned.plan, plan_.Map());
                return planned.plan.outputSize;
            }
            case Role::SegmentIndex:
                std::memcpy(context_.buffer, bytes, size);
                MoveSegmentIndex(context_.buffer, size, context_.inputOffset, context_.OutputOffset(), plan_.Places());
                output_.Write(context_.buffer, size);
                return size;
            default: output_.Write(bytes, size); return size;
        }
    }

    void LooseBytes(const uint8_t* bytes, uint32_t count) { output_.Write(bytes, count); }

private:
    OutputFile& output_;
    ConditionerContext& context_;
    const IoedBox& ioed_;
    const PlanningPass& plan_;
};

// Plans the whole track before a byte is written, so that every offset can be
// moved to where its byte lands; a track whose offsets can't be moved is left
// to be stored as it came. Then writes it, its clips located in samples.
class TrackConditioner {
public:
    TrackConditioner(const PackerOptions& options, OutputFile& output, uint32_t memberDataOffset, uint8_t* workBuffer)
        : options_(options), output_(output), memberDataOffset_(memberDataOffset), workBuffer_(workBuffer) {}

    TrackReport Run(const InputImage& input, const std::vector<box::Span>& boxes, const ClipRanges& clips) {
        TrackReport report;
        report.freeToUse = options_.freeToUse || !AnyClipEnabled(clips);
        const IoedBox ioed = MakeIoedBox(AnyClipEnabled(clips), report.freeToUse);
        const TopLevelWalk walk{input, SegmentIndexesHold(input, boxes)};
        ConditionerContext planning(workBuffer_, options_);
        PlanningPass plan(planning);
        WalkTopLevelBoxes(walk, planning, ioed.size, plan);
        if (!plan.OffsetsMove()) {
            report.outcome = TrackOutcome::OffsetsStuck;
            return report;
        }
        ConditionerContext context(workBuffer_, options_);
        context.clips = ClipsInSamples(clips, plan.ClipClock());
        context.emptyMovieSampleDelta = plan.FragmentSampleDelta();
        output_.Write(kPrefixTemplate, sizeof kPrefixTemplate);
        WritingPass write(output_, context, ioed, plan);
        WalkTopLevelBoxes(walk, context, ioed.size, write);
        if (!context.index.empty() && options_.Has(ModeFlag::ADD_MFRA))
            context.shift += static_cast<int32_t>(WriteFragmentIndex(output_, context.index));
        if (context.ioedOffset != 0) WriteLocatedClips(context.ioedOffset, context.clips);
        report.change = context.shift;
        report.events = std::move(context.events);
        report.notices = std::move(context.notices);
        report.keptFragments = std::move(context.keptFragments);
        return report;
    }

private:
    // The located clips fill the ioed box's slots in clip order; the other slots
    // keep the template's bytes.
    void WriteLocatedClips(uint32_t ioedOffset, const ClipRanges& clips) {
        const uint64_t end = output_.Position();
        output_.Seek(uint64_t{memberDataOffset_} + ioedOffset + Ioed::kFirstSlot);
        for (const ClipRange& clip : clips) {
            if (clip.state != ClipState::Located) continue;
            uint8_t slot[ClipSlot::kSize];
            FillClipSlot(slot, &clip);
            output_.Write(slot, sizeof slot);
        }
        output_.Seek(end);
    }

    const PackerOptions& options_;
    OutputFile& output_;
    uint32_t memberDataOffset_;
    uint8_t* workBuffer_;
};

}  // namespace

TrackReport ConditionMusicTrack(const PackerOptions& options, const ClipRanges& clips, InputFile& input,
                                OutputFile& output, uint32_t memberDataOffset, uint8_t* workBuffer) {
    if (input.Length() > UINT32_MAX) return TrackReport{TrackOutcome::TooLarge, 0, {}, false, {}, {}};  // offsets are 32-bit
    const InputImage image{input.Whole(), static_cast<std::size_t>(input.Length())};
    if (!image.bytes) return TrackReport{TrackOutcome::Unreadable, 0, {}, false, {}, {}};
    const std::optional<std::vector<box::Span>> boxes = TopLevelBoxes(image);
    if (!boxes) return TrackReport{TrackOutcome::TooLarge, 0, {}, false, {}, {}};
    return TrackConditioner(options, output, memberDataOffset, workBuffer).Run(image, *boxes, clips);
}

#include "packer/conditioner/conditioner.h"

#include <cstring>

#include "packer/conditioner/context.h"
#include "packer/conditioner/fixed_boxes.h"
#include "packer/conditioner/fragment_index.h"
#include "packer/conditioner/fragments.h"
#include "packer/conditioner/movie_box.h"
#include "packer/conditioner/pieces.h"

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

// Checks every top-level box header before anything is written: sizes below 8
// (0 and 1 among them), sizes beyond the WorkBuffer, and boxes that run past the
// end of the input can't be conditioned. Up to 7 trailing bytes are fine.
bool TopLevelBoxesAreSound(InputFile& input) {
    auto sizeAt = [&input](uint64_t position, uint32_t* size) {
        uint8_t header[4];
        if (!input.Seek(position) || !input.Read(header, sizeof header)) return false;
        *size = ReadU32(header);
        return true;
    };
    return box::TopLevelBoxesFit(input.Length(), kLargestConditionedBox, sizeAt) && input.Seek(0);
}

// What the box loop does with a top-level box.
enum class Role { Dropped, Copied, MediaData, OwnIoed, Movie, Fragment };

// The first bytes of a box that the loop reads itself: its header and the
// first four letters of a uuid box's extended type.
constexpr uint32_t kLeadSize = 12;

// Our own ftyp replaces the input's, an input index names input positions, and
// of the uuid boxes only the input's own ioed box is kept (it stands instead of ours).
Role RoleOf(const uint8_t* lead, uint32_t size) {
    const uint8_t* type = lead + 4;
    if (box::TypeIs(type, "ftyp") || box::TypeIs(type, "mfra")) return Role::Dropped;
    if (box::TypeIs(type, "uuid"))
        return size >= kLeadSize && std::memcmp(lead + box::kHeaderSize, "ioed", 4) == 0 ? Role::OwnIoed : Role::Dropped;
    if (box::TypeIs(type, "moov")) return Role::Movie;
    if (box::TypeIs(type, "moof")) return Role::Fragment;
    return box::TypeIs(type, "mdat") ? Role::MediaData : Role::Copied;
}

// Both passes walk the top-level boxes alike, so that the same boxes are
// dropped, copied or rebuilt and the ioed box stands before the same box. A
// pass handles each box after its lead bytes were read into the WorkBuffer
// and says how long it is written; false on a read failure.
template <class Pass>
bool WalkTopLevelBoxes(InputFile& input, ConditionerContext& context, uint32_t ioedSize, Pass& pass) {
    context.ioedPending = context.options.Has(ModeFlag::ADD_IOED);
    for (uint64_t at = 0;;) {
        context.inputOffset = static_cast<uint32_t>(at);
        const uint64_t left = input.Length() - at;
        if (left < box::kHeaderSize) return pass.LooseBytes(static_cast<uint32_t>(left));
        uint8_t* lead = context.buffer;
        if (!input.Read(lead, box::kHeaderSize)) return false;
        const uint32_t size = ReadU32(lead);
        const uint32_t leadSize = size < kLeadSize ? size : kLeadSize;
        if (!input.Read(lead + box::kHeaderSize, leadSize - box::kHeaderSize)) return false;
        const Role role = RoleOf(lead, size);
        if (role == Role::OwnIoed) context.ioedPending = false;
        if (role != Role::Dropped && context.ioedPending) {
            context.ioedOffset = context.OutputOffset();
            pass.InsertIoed();
            context.shift += static_cast<int32_t>(ioedSize);
            context.ioedPending = false;
        }
        uint32_t written = 0;
        if (!pass.Handle(role, size, size - leadSize, &written)) return false;
        context.shift += static_cast<int32_t>(written - size);
        at += size;
    }
}

// The planning pass reads only the movie boxes and fragments. It learns where
// the media data lands and which input bytes their offsets name; the track can
// be written once each of those is a byte of media data.
class PlanningPass {
public:
    PlanningPass(InputFile& input, ConditionerContext& context) : input_(input), context_(context) {}

    void InsertIoed() {}

    bool Handle(Role role, uint32_t size, uint32_t rest, uint32_t* written) {
        switch (role) {
            case Role::Dropped: return input_.Skip(rest);
            case Role::MediaData:
                map_.AddMediaData(uint64_t{context_.inputOffset} + box::kHeaderSize, size - box::kHeaderSize,
                                  uint64_t{context_.OutputOffset()} + box::kHeaderSize);
                [[fallthrough]];
            case Role::Copied:
            case Role::OwnIoed:
                *written = size;
                return input_.Skip(rest);
            case Role::Movie: {
                if (!ReadRest(size, rest)) return false;
                const MovieBoxPlan plan = PlanMovieBox(context_, size);
                offsetsReadable_ = offsetsReadable_ && plan.offsetsReadable;
                NotePieces(plan.holdsPieces);
                AddTargets(plan.offsets);
                *written = plan.outputSize;
                return true;
            }
            case Role::Fragment: {
                if (!ReadRest(size, rest)) return false;
                const FragmentPlan plan = PlanMovieFragment(context_, size);
                NotePieces(plan.holdsPieces);
                AddTargets(plan.offsets);
                *written = plan.outputSize;
                return true;
            }
        }
        return false;
    }

    bool LooseBytes(uint32_t) { return true; }

    const OffsetMap& Map() const { return map_; }

    // The clock in force at the first chunk or run that clips are located in:
    // the one their milliseconds are turned into samples by.
    TrackClock ClipClock() const { return clipClock_.value_or(kDefaultClock); }

    bool OffsetsMove() const {
        for (const OffsetTarget& target : targets_) {
            if (!MovedValue(target, map_)) return false;
        }
        return offsetsReadable_;
    }

private:
    bool ReadRest(uint32_t size, uint32_t rest) { return input_.Read(context_.buffer + size - rest, rest); }

    void NotePieces(bool holdsPieces) {
        if (holdsPieces && !clipClock_) clipClock_ = context_.clock;
    }

    void AddTargets(const std::vector<OffsetField>& fields) {
        for (const OffsetField& field : fields) targets_.push_back(TargetOf(context_.buffer, field));
    }

    InputFile& input_;
    ConditionerContext& context_;
    OffsetMap map_;
    std::vector<OffsetTarget> targets_;
    bool offsetsReadable_ = true;
    std::optional<TrackClock> clipClock_;
};

// The writing pass writes the track, its offsets moved by the planned map.
class WritingPass {
public:
    WritingPass(InputFile& input, OutputFile& output, ConditionerContext& context, const IoedBox& ioed,
                const OffsetMap& map)
        : input_(input), output_(output), context_(context), ioed_(ioed), map_(map) {}

    void InsertIoed() { output_.Write(ioed_.bytes, ioed_.size); }

    bool Handle(Role role, uint32_t size, uint32_t rest, uint32_t* written) {
        if (role == Role::Dropped) return input_.Skip(rest);
        if (!input_.Read(context_.buffer + size - rest, rest)) return false;
        if (role == Role::Movie) {
            const MovieBoxPlan plan = PlanMovieBox(context_, size);
            WriteMovieBox(context_, output_, size, plan, map_);
            *written = plan.outputSize;
        } else if (role == Role::Fragment) {
            const FragmentPlan plan = PlanMovieFragment(context_, size);
            WriteMovieFragment(context_, output_, plan, map_);
            *written = plan.outputSize;
        } else {
            output_.Write(context_.buffer, size);
            *written = size;
        }
        return true;
    }

    bool LooseBytes(uint32_t count) {
        if (count != 0 && !input_.Read(context_.buffer, count)) return false;
        output_.Write(context_.buffer, count);
        return true;
    }

private:
    InputFile& input_;
    OutputFile& output_;
    ConditionerContext& context_;
    const IoedBox& ioed_;
    const OffsetMap& map_;
};

// Plans the whole track before a byte is written, so that every offset can be
// moved to where its byte lands; a track whose offsets can't be moved is left
// to be stored as it came. Then writes it, its clips located in samples.
class TrackConditioner {
public:
    TrackConditioner(const PackerOptions& options, InputFile& input, OutputFile& output, uint32_t memberDataOffset,
                     uint8_t* workBuffer)
        : options_(options), input_(input), output_(output), memberDataOffset_(memberDataOffset), workBuffer_(workBuffer) {}

    TrackReport Run(const ClipRanges& clips) {
        TrackReport report;
        report.freeToUse = options_.freeToUse || !AnyClipEnabled(clips);
        const IoedBox ioed = MakeIoedBox(AnyClipEnabled(clips), report.freeToUse);
        ConditionerContext planning(workBuffer_, options_);
        PlanningPass plan(input_, planning);
        if (!WalkTopLevelBoxes(input_, planning, ioed.size, plan) || !input_.Seek(0)) {
            report.outcome = TrackOutcome::Unreadable;
            return report;
        }
        if (!plan.OffsetsMove()) {
            report.outcome = TrackOutcome::OffsetsStuck;
            return report;
        }
        ConditionerContext context(workBuffer_, options_);
        context.clips = ClipsInSamples(clips, plan.ClipClock());
        output_.Write(kPrefixTemplate, sizeof kPrefixTemplate);
        WritingPass write(input_, output_, context, ioed, plan.Map());
        if (!WalkTopLevelBoxes(input_, context, ioed.size, write)) report.outcome = TrackOutcome::Unreadable;
        if (!context.index.empty() && options_.Has(ModeFlag::ADD_MFRA))
            context.shift += static_cast<int32_t>(WriteFragmentIndex(output_, context.index));
        if (context.ioedOffset != 0) WriteLocatedClips(context.ioedOffset, context.clips);
        report.change = context.shift;
        report.events = std::move(context.events);
        report.notices = std::move(context.notices);
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
    InputFile& input_;
    OutputFile& output_;
    uint32_t memberDataOffset_;
    uint8_t* workBuffer_;
};

}  // namespace

TrackReport ConditionMusicTrack(const PackerOptions& options, const ClipRanges& clips, InputFile& input,
                                OutputFile& output, uint32_t memberDataOffset, uint8_t* workBuffer) {
    if (!TopLevelBoxesAreSound(input)) return TrackReport{TrackOutcome::TooLarge, 0, {}, false, {}};
    return TrackConditioner(options, input, output, memberDataOffset, workBuffer).Run(clips);
}

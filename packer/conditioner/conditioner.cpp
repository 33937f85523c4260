#include "packer/conditioner/conditioner.h"

#include <cstring>

#include "packer/conditioner/context.h"
#include "packer/conditioner/fixed_boxes.h"
#include "packer/conditioner/fragment_index.h"
#include "packer/conditioner/fragments.h"
#include "packer/conditioner/movie_box.h"
#include "packer/run_state.h"

using box::readU32;
using box::writeU32;

void fillClipSlot(uint8_t* slot, const ClipRange* clip) {
    std::memset(slot, 0, ClipSlot::kSize);
    if (clip) {
        std::memcpy(slot + ClipSlot::kName, clip->name, strnlen(clip->name, kMaxNameLength));
        writeU32(slot + ClipSlot::kBoxOffset, clip->boxOffset);
        slot[ClipSlot::kTrackFragment] = 1;
        slot[ClipSlot::kPiece] = clip->runNumber;
        slot[ClipSlot::kSample] = clip->sampleNumber;
        writeU32(slot + ClipSlot::kLength, clip->length);
    }
    writeU32(slot + ClipSlot::kFirstConstant, 1);
    writeU32(slot + ClipSlot::kSecondConstant, 65);
}

namespace {

// The ioed box, in the form the enabled clips and -chkufr call for.
struct IoedBox {
    uint8_t bytes[Ioed::kWithClipsSize] = {};
    uint32_t size = Ioed::kPlainSize;
};

bool anyClipEnabled() {
    for (const ClipRange& clip : g_run.clips) {
        if (clip.state != ClipState::Unused) return true;
    }
    return false;
}

// Also sets -chkufr's flag when no clip is enabled: a track without clips is
// free to use whole.
IoedBox makeIoedBox() {
    IoedBox ioed;
    if (anyClipEnabled()) {
        ioed.size = Ioed::kWithClipsSize;
    } else {
        g_run.chkufrFlag |= 1;
    }
    const uint32_t flagWord = (g_run.chkufrFlag & 1) ? 0 : 1;
    uint8_t* b = ioed.bytes;
    std::memcpy(box::writeHeader(b, ioed.size, "uuid"), "ioed", 4);
    std::memcpy(b + 12, kUuidTail, sizeof kUuidTail);
    writeU32(b + Ioed::kFirstFlagWord, flagWord);
    writeU32(b + Ioed::kSecondFlagWord, flagWord);
    if (ioed.size == Ioed::kWithClipsSize) {
        b[Ioed::kSlotCount] = Ioed::kSlotsWritten;
        for (uint32_t slot = 0; slot < Ioed::kSlotsWritten; ++slot)
            fillClipSlot(b + Ioed::kFirstSlot + slot * ClipSlot::kSize, nullptr);
    }
    return ioed;
}

// Checks every top-level box header before anything is written: sizes below 8
// (0 and 1 among them), sizes beyond the WorkBuffer, and boxes that run past the
// end of the input can't be conditioned. Up to 7 trailing bytes are fine.
bool topLevelBoxesAreSound(InputFile& input) {
    auto sizeAt = [&input](uint64_t position, uint32_t* size) {
        uint8_t header[4];
        if (!input.seek(position) || !input.read(header, sizeof header)) return false;
        *size = readU32(header);
        return true;
    };
    return box::topLevelBoxesFit(input.length(), kLargestConditionedBox, sizeAt) && input.seek(0);
}

class TrackConditioner {
public:
    TrackConditioner(InputFile& input, OutputFile& output, uint32_t memberDataOffset)
        : input_(input), output_(output), memberDataOffset_(memberDataOffset), context_(g_run.workBuffer.get()) {}

    int32_t run() {
        ioed_ = makeIoedBox();
        context_.ioedPending = g_run.hasMode(ModeFlag::ADD_IOED);
        output_.write(kPrefixTemplate, sizeof kPrefixTemplate);
        conditionBoxes();
        if (!context_.index.empty() && g_run.hasMode(ModeFlag::ADD_MFRA))
            context_.shift += static_cast<int32_t>(WriteFragmentIndex(output_, context_.index));
        if (context_.ioedOffset != 0) writeLocatedClips();
        return context_.shift;
    }

private:
    void conditionBoxes() {
        uint32_t size = 0;
        for (;;) {
            context_.inputOffset += size;
            const uint64_t left = input_.length() - context_.inputOffset;
            if (left < box::kHeaderSize) {
                copyTrailingBytes(static_cast<uint32_t>(left));
                return;
            }
            uint8_t* header = context_.buffer;
            if (!input_.read(header, box::kHeaderSize)) return;
            size = readU32(header);
            if (!conditionBox(header, size)) return;
        }
    }

    // The box's 8-byte header is at the start of the WorkBuffer; false on a read failure.
    bool conditionBox(const uint8_t* header, uint32_t size) {
        const uint8_t* type = header + 4;
        if (box::typeIs(type, "ftyp") || box::typeIs(type, "mfra")) return dropBox(size);
        if (box::typeIs(type, "uuid")) return conditionUuidBox(size);
        insertIoedWhenPending();
        if (box::typeIs(type, "moov") || box::typeIs(type, "moof")) {
            if (!input_.read(context_.buffer + box::kHeaderSize, size - box::kHeaderSize)) return false;
            if (box::typeIs(type, "moov")) ConditionMovieBox(context_, output_, size);
            else ConditionMovieFragment(context_, output_, size);
            return true;
        }
        return copyBox(size);
    }

    // Our own ftyp replaces the input's; an input index names input positions.
    bool dropBox(uint32_t size) {
        context_.shift -= static_cast<int32_t>(size);
        return input_.skip(size - box::kHeaderSize);
    }

    // The input's own ioed box is kept and stands instead of ours; other uuid
    // boxes are dropped.
    bool conditionUuidBox(uint32_t size) {
        const uint32_t payload = size - box::kHeaderSize;
        uint8_t* buffer = context_.buffer;
        if (!input_.read(buffer + box::kHeaderSize, payload)) return false;
        if (payload >= 4 && std::memcmp(buffer + box::kHeaderSize, "ioed", 4) == 0) {
            context_.ioedPending = false;
            output_.write(buffer, size);
        } else {
            context_.shift -= static_cast<int32_t>(size);
        }
        return true;
    }

    bool copyBox(uint32_t size) {
        if (!input_.read(context_.buffer + box::kHeaderSize, size - box::kHeaderSize)) return false;
        output_.write(context_.buffer, size);
        return true;
    }

    void copyTrailingBytes(uint32_t count) {
        if (count != 0 && input_.read(context_.buffer, count)) output_.write(context_.buffer, count);
    }

    void insertIoedWhenPending() {
        if (!context_.ioedPending) return;
        context_.ioedOffset = context_.outputOffset();
        output_.write(ioed_.bytes, ioed_.size);
        context_.shift += static_cast<int32_t>(ioed_.size);
        context_.ioedPending = false;
    }

    // The located clips fill the ioed box's slots in clip order; the other slots
    // keep the template's bytes.
    void writeLocatedClips() {
        const uint64_t end = output_.position();
        output_.seek(uint64_t{memberDataOffset_} + context_.ioedOffset + Ioed::kFirstSlot);
        for (const ClipRange& clip : g_run.clips) {
            if (clip.state != ClipState::Located) continue;
            uint8_t slot[ClipSlot::kSize];
            fillClipSlot(slot, &clip);
            output_.write(slot, sizeof slot);
        }
        output_.seek(end);
    }

    InputFile& input_;
    OutputFile& output_;
    uint32_t memberDataOffset_;
    ConditionerContext context_;
    IoedBox ioed_;
};

}  // namespace

int32_t ConditionMusicTrack(InputFile& input, OutputFile& output, uint32_t memberDataOffset) {
    if (!topLevelBoxesAreSound(input)) return OVERSIZE_SENTINEL;
    return TrackConditioner(input, output, memberDataOffset).run();
}

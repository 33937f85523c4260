#include "frontend/probes/jpeg_probe.h"

#include "frontend/probes/file_window.h"

namespace {

constexpr uint32_t kChunkSize = 8192;
constexpr uint32_t kMarkerAndLength = 4;
constexpr uint32_t kFrameHeaderThroughWidth = 9;  // marker, length, precision, height, width

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

std::optional<ImageSize> ProbeJpegSize(framework::File& file) {
    FileWindow chunk(file, kChunkSize);
    chunk.Load(0);
    if (!chunk.Holds(0, 2) || chunk.At(0)[0] != 0xFF || chunk.At(0)[1] != 0xD8) return std::nullopt;  // no start of image

    // Segments are skipped by their length fields alone. The position is a file
    // position: a segment longer than the chunk (EXIF with its thumbnail, an ICC
    // profile) is stepped over by seeking, so the frame header found is the
    // image's own and not the one of a thumbnail inside EXIF.
    uint64_t position = 2;
    while (chunk.Bring(position, kMarkerAndLength)) {
        const uint8_t* marker = chunk.At(position);
        if (marker[0] == 0xFF && marker[1] == 0xC0) {
            if (!chunk.Bring(position, kFrameHeaderThroughWidth)) return std::nullopt;
            const uint8_t* frame = chunk.At(position);
            return ImageSize{ReadU16(frame + 7), ReadU16(frame + 5)};
        }
        position += 2u + ReadU16(marker + 2);
    }
    return std::nullopt;
}

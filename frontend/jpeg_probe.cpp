#include "frontend/jpeg_probe.h"

#include "frontend/file_window.h"

namespace {

constexpr uint32_t kChunkSize = 8192;
constexpr uint32_t kMarkerAndLength = 4;
constexpr uint32_t kFrameHeaderThroughWidth = 9;  // marker, length, precision, height, width

uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

void ProbeJpegSize(framework::File& file, uint16_t& width, uint16_t& height) {
    FileWindow chunk(file, kChunkSize);
    chunk.load(0);
    if (!chunk.holds(0, 2) || chunk.at(0)[0] != 0xFF || chunk.at(0)[1] != 0xD8) return;  // no start of image

    // Segments are skipped by their length fields alone. The position is a file
    // position: a segment longer than the chunk (EXIF with its thumbnail, an ICC
    // profile) is stepped over by seeking, so the frame header found is the
    // image's own and not the one of a thumbnail inside EXIF.
    uint64_t position = 2;
    while (chunk.bring(position, kMarkerAndLength)) {
        const uint8_t* marker = chunk.at(position);
        if (marker[0] == 0xFF && marker[1] == 0xC0) {
            if (!chunk.bring(position, kFrameHeaderThroughWidth)) return;
            const uint8_t* frame = chunk.at(position);
            height = readU16(frame + 5);
            width = readU16(frame + 7);
            return;
        }
        position += 2u + readU16(marker + 2);
    }
}

#include "frontend/packer_version.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "common/decimal.h"
#include "common/paths.h"
#include "frontend/file_window.h"

namespace {

constexpr uint32_t kChunkSize = 65536;
constexpr char kOpening[] = "Tessaryn (";
constexpr uint32_t kOpeningLength = sizeof kOpening - 1;
constexpr uint32_t kDateLength = 8;
constexpr uint32_t kBannerLength = kOpeningLength + kDateLength;

// This source is compiled with the CP932 execution character set.
constexpr char kRecognitionError[] = "Tessaryn 認識エラー";
#ifndef TESSARYN_TEXTS_LEFT_IN_UTF8
static_assert(sizeof kRecognitionError == 20, "the frontend's texts must be compiled to CP932 bytes");
#endif

bool matchesOpening(const uint8_t* at, uint32_t available) {
    return std::memcmp(at, kOpening, std::min(available, kOpeningLength)) == 0;
}

}  // namespace

std::string PackerPathBeside(const std::string& frontendPath) {
    return SiblingPath(frontendPath, "tessaryn.exe");
}

uint32_t ReadPackerBannerDate(framework::File& file) {
    FileWindow chunk(file, kChunkSize);
    for (uint64_t position = 0; chunk.load(position) > 0;) {
        const bool lastChunk = chunk.held() < kChunkSize;
        uint64_t next = position + chunk.held();
        for (uint32_t i = 0; i < chunk.held(); ++i) {
            const uint8_t* candidate = chunk.bytes() + i;
            const uint32_t available = chunk.held() - i;
            if (*candidate != 'T' || !matchesOpening(candidate, available)) continue;
            if (available < kBannerLength && !lastChunk) {
                next = position + i;  // the banner runs on into the next chunk: read it across
                break;
            }
            if (available < kOpeningLength) continue;  // the file ends inside the opening
            const char* date = reinterpret_cast<const char*>(candidate + kOpeningLength);
            return ReadDecimal(date, date + std::min(available - kOpeningLength, kDateLength), DecimalOverflow::Saturate).value;
        }
        position = next;
    }
    return 0;
}

PackerVersion ClassifyPackerDate(uint32_t date) {
    PackerVersion version;
    version.date = date;
    if (date < kOldestAcceptedPacker || date > kNewestAcceptedPacker) {
        version.text = kRecognitionError;
        return version;
    }
    version.state = date >= kOldestUsablePacker ? kPackerUsable : kPackerTooOld;
    char text[32];
    std::snprintf(text, sizeof text, "Tessaryn %08" PRIu32, date);
    version.text = text;
    return version;
}

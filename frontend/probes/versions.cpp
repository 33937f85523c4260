#include "frontend/probes/versions.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "common/decimal.h"
#include "common/paths.h"
#include "frontend/probes/file_window.h"
#include "framework/platform.h"

namespace {

constexpr uint32_t kChunkSize = 65536;
constexpr char kOpening[] = "Tessaryn (";
constexpr uint32_t kOpeningLength = sizeof kOpening - 1;
constexpr uint32_t kDateLength = 8;
constexpr uint32_t kBannerLength = kOpeningLength + kDateLength;
constexpr unsigned kFirstYear = 2000;  // the version's second part counts years from here

// This source is compiled with the CP932 execution character set.
constexpr char kRecognitionError[] = "Tessaryn 認識エラー";
#ifndef TESSARYN_TEXTS_LEFT_IN_UTF8
static_assert(sizeof kRecognitionError == 20, "the frontend's texts must be compiled to CP932 bytes");
#endif

bool MatchesOpening(const uint8_t* at, uint32_t available) {
    return std::memcmp(at, kOpening, std::min(available, kOpeningLength)) == 0;
}

}  // namespace

uint32_t ReadPackerBannerDate(framework::File& file) {
    FileWindow chunk(file, kChunkSize);
    for (uint64_t position = 0; chunk.Load(position) > 0;) {
        const bool lastChunk = chunk.Held() < kChunkSize;
        uint64_t next = position + chunk.Held();
        for (uint32_t i = 0; i < chunk.Held(); ++i) {
            const uint8_t* candidate = chunk.Bytes() + i;
            const uint32_t available = chunk.Held() - i;
            if (*candidate != 'T' || !MatchesOpening(candidate, available)) continue;
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

PackerBeside RecognisePacker(uint32_t date) {
    PackerBeside packer;
    packer.version = date;
    if (date < kOldestAcceptedPacker || date > kNewestAcceptedPacker) {
        packer.versionText = kRecognitionError;
        return packer;
    }
    packer.state = date >= kOldestUsablePacker ? PackerState::Usable : PackerState::TooOld;
    char text[32];
    std::snprintf(text, sizeof text, "Tessaryn %08" PRIu32, date);
    packer.versionText = text;
    return packer;
}

PackerBeside ProbePackerVersion() {
    std::string frontendPath;
    framework::GetModulePath(frontendPath);
    std::string path = SiblingPath(frontendPath, "tessaryn.exe");
    if (path.size() > framework::kMaxPathBytes) path.clear();  // a path that would not fit names no packer
    framework::DiskFile file(path);
    PackerBeside packer = RecognisePacker(file.isOpen() ? ReadPackerBannerDate(file) : 0);
    packer.path = path;
    return packer;
}

FrontendVersion ReadFrontendVersion() {
    FrontendVersion own;
    framework::FileVersion version{};
    if (!framework::GetOwnFileVersion(version)) return own;
    const unsigned year = kFirstYear + version.parts[1];
    const unsigned monthDay = version.parts[2];
    own.version = year * 10000u + monthDay;
    char text[48];
    std::snprintf(text, sizeof text, "Tessaryn Frontend %04u%04u", year, monthDay);
    own.versionText = text;
    return own;
}

#include "frontend/config_clips.h"

#include <cstring>

namespace {

constexpr uint32_t kReadSize = 4096;
constexpr int kLinesBeforeClips = 3;  // the magic line, the link, the wallpaper line

struct LineEnd {
    bool found;
    uint32_t position;  // of the line feed, or the end of the bytes
};

LineEnd findLineFeed(const char* text, uint32_t from, uint32_t count) {
    const void* feed = std::memchr(text + from, '\n', count - from);
    if (!feed) return LineEnd{false, count};
    return LineEnd{true, static_cast<uint32_t>(static_cast<const char*>(feed) - text)};
}

bool lineHasText(const char* text, uint32_t begin, uint32_t end) {
    if (end > begin && text[end - 1] == '\r') --end;
    return end > begin && text[begin] != '\0';
}

}  // namespace

int ProbeConfigClips(framework::File& file, int clipEnabled[kClipLineCount]) {
    for (int clip = 0; clip < kClipLineCount; ++clip) clipEnabled[clip] = 0;
    if (!file.isOpen()) return 1;

    char text[kReadSize];
    const uint32_t count = file.seekTo(0) ? file.read(text, kReadSize) : 0;
    uint32_t lineStart = 0;
    for (int line = 0; line < kLinesBeforeClips; ++line) {
        LineEnd end = findLineFeed(text, lineStart, count);
        if (!end.found) return 0;
        lineStart = end.position + 1;
    }
    for (int clip = 0; clip < kClipLineCount; ++clip) {
        LineEnd end = findLineFeed(text, lineStart, count);
        const bool lastLine = clip == kClipLineCount - 1;
        if (!end.found && !lastLine) return 0;
        clipEnabled[clip] = lineHasText(text, lineStart, end.position) ? 1 : 0;
        if (!end.found) return 0;
        lineStart = end.position + 1;
    }
    return 0;
}

#include "common/clip_lines.h"

#include <cstring>

#include "common/decimal.h"

namespace {

constexpr int kClipLinesStart = 3;  // line feeds before clip 1's line

struct LineEnd {
    bool found;
    uint32_t position;  // of the line feed, or the end of the bytes
};

LineEnd FindLineFeed(const uint8_t* bytes, uint32_t from, uint32_t count) {
    const void* feed = std::memchr(bytes + from, '\n', count - from);
    if (!feed) return LineEnd{false, count};
    return LineEnd{true, static_cast<uint32_t>(static_cast<const uint8_t*>(feed) - bytes)};
}

ClipLine LineBetween(const uint8_t* bytes, uint32_t begin, uint32_t end) {
    if (end > begin && bytes[end - 1] == '\r') --end;
    const void* zero = std::memchr(bytes + begin, '\0', end - begin);
    if (zero) end = static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - bytes);
    return ClipLine{true, begin, end - begin};
}

// Reads the numbers of "%u.%u,%u.%u" as the usual scanning rules do: each
// number is read as the packer reads every decimal, and each separator must
// follow where the pattern has it. Numbers past the first mismatch stay 0.
class RangeScanner {
public:
    RangeScanner(const uint8_t* bytes, ClipLine line)
        : at_(reinterpret_cast<const char*>(bytes + line.begin)), end_(at_ + line.length) {}

    bool Number(uint32_t* value) {
        const DecimalRead<uint32_t> read = ReadDecimal(at_, end_, DecimalOverflow::Wrap);
        if (!read.found) return false;
        *value = read.value;
        at_ = read.stop;
        return true;
    }

    bool Literal(char expected) {
        if (at_ >= end_ || *at_ != expected) return false;
        ++at_;
        return true;
    }

private:
    const char* at_;
    const char* end_;
};

}  // namespace

ClipLineNumbers ScanClipLine(const uint8_t* bytes, ClipLine line) {
    ClipLineNumbers numbers;
    RangeScanner scan(bytes, line);
    (void)(scan.Number(&numbers.startSeconds) && scan.Literal('.') && scan.Number(&numbers.startMilliseconds) &&
           scan.Literal(',') && scan.Number(&numbers.endSeconds) && scan.Literal('.') &&
           scan.Number(&numbers.endMilliseconds));
    return numbers;
}

std::array<ClipLine, kClipCount> FindClipLines(const uint8_t* bytes, uint32_t count) {
    std::array<ClipLine, kClipCount> lines{};
    uint32_t lineStart = 0;
    for (int i = 0; i < kClipLinesStart; ++i) {
        LineEnd end = FindLineFeed(bytes, lineStart, count);
        if (!end.found) return lines;
        lineStart = end.position + 1;
    }
    for (ClipLine& line : lines) {
        LineEnd end = FindLineFeed(bytes, lineStart, count);
        const bool lastLine = &line == &lines.back();
        // Clips 1 and 2 need their line feed; clip 3's line may end the file.
        if (!end.found && !lastLine) return lines;
        line = LineBetween(bytes, lineStart, end.position);
        if (!end.found) return lines;
        lineStart = end.position + 1;
    }
    return lines;
}

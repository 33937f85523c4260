// The report of a package check: one line per fact as it is read, then "ok",
// or "problem: ..." for the first problem found, after which nothing more is
// said. Bytes taken from the package are shown through printable(), so that
// every line stays one line of plain ASCII whatever the package holds (clip
// names excepted: POSIX builds show them in UTF-8, see quotedClipName).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

// Printable ASCII as it is; every other byte, the backslash and the double
// quote as \xNN.
inline std::string printable(const uint8_t* bytes, std::size_t count) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t byte = bytes[i];
        if (byte >= 0x20 && byte < 0x7F && byte != '\\' && byte != '"') {
            text += static_cast<char>(byte);
        } else {
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 0xF];
        }
    }
    return text;
}

inline std::string printable(const std::string& text) {
    return printable(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

inline std::string quoted(const std::string& text) { return "\"" + printable(text) + "\""; }

inline std::string hexByte(uint8_t byte) {
    static const char kHex[] = "0123456789ABCDEF";
    return std::string("0x") + kHex[byte >> 4] + kHex[byte & 0xF];
}

namespace report_text {
inline void append(std::string& text, const std::string& part) { text += part; }
inline void append(std::string& text, const char* part) { text += part; }
template <class Number, typename std::enable_if<std::is_integral<Number>::value, int>::type = 0>
void append(std::string& text, Number number) {
    text += std::to_string(number);
}
}  // namespace report_text

class CheckReport {
public:
    explicit CheckReport(std::FILE* out) : out_(out) {}

    // Texts and numbers, joined into one line.
    template <class... Parts>
    void line(const Parts&... parts) {
        if (!failed_) put(join(parts...));
    }

    // Reports the first problem; always false, so that a check can end with
    // `return report.problem(...)`.
    template <class... Parts>
    bool problem(const Parts&... parts) {
        if (!failed_) put("problem: " + join(parts...));
        failed_ = true;
        return false;
    }

    bool failed() const { return failed_; }

    // The last line: "ok" when no problem was reported.
    void finish() {
        if (!failed_) put("ok");
        std::fflush(out_);
    }

    template <class... Parts>
    static std::string join(const Parts&... parts) {
        std::string text;
        (report_text::append(text, parts), ...);
        return text;
    }

private:
    void put(const std::string& text) {
        std::fputs(text.c_str(), out_);
        std::fputc('\n', out_);
    }

    std::FILE* out_;
    bool failed_ = false;
};

// The report of a package check: one line per fact as it is read, then "ok",
// or "problem: ..." for the first problem found, after which nothing more is
// said. Bytes taken from the package are shown through Printable(), so that
// every line stays one line of plain ASCII whatever the package holds (clip
// names excepted: POSIX builds show them in UTF-8, see QuotedClipName).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

#include "packer/base/printable.h"

namespace report_text {
inline void Append(std::string& text, const std::string& part) { text += part; }
inline void Append(std::string& text, const char* part) { text += part; }
template <class Number, typename std::enable_if<std::is_integral<Number>::value, int>::type = 0>
void Append(std::string& text, Number number) {
    text += std::to_string(number);
}
}  // namespace report_text

class CheckReport {
public:
    explicit CheckReport(std::FILE* out) : out_(out) {}

    // Texts and numbers, joined into one line.
    template <class... Parts>
    void Line(const Parts&... parts) {
        if (!failed_) Put(Join(parts...));
    }

    // Reports the first problem; always false, so that a check can end with
    // `return report.Problem(...)`.
    template <class... Parts>
    bool Problem(const Parts&... parts) {
        if (!failed_) Put("problem: " + Join(parts...));
        failed_ = true;
        return false;
    }

    bool Failed() const { return failed_; }

    // The last line: "ok" when no problem was reported.
    void Finish() {
        if (!failed_) Put("ok");
        std::fflush(out_);
    }

    template <class... Parts>
    static std::string Join(const Parts&... parts) {
        std::string text;
        (report_text::Append(text, parts), ...);
        return text;
    }

private:
    void Put(const std::string& text) {
        std::fputs(text.c_str(), out_);
        std::fputc('\n', out_);
    }

    std::FILE* out_;
    bool failed_ = false;
};

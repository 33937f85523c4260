// CString: a narrow text (CP932 bytes, no conversion anywhere). Lengths count bytes.
#pragma once

#include <string>

#include "framework/win_types.h"

#if defined(__MINGW32__)
#define FRAMEWORK_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#elif defined(__GNUC__)
#define FRAMEWORK_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define FRAMEWORK_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

class CString {
public:
    CString() = default;
    CString(const char* text) : text_(text ? text : "") {}  // implicit, so "text" passes where a CString is taken

    CString& operator=(const char* text);

    int GetLength() const { return static_cast<int>(text_.size()); }
    BOOL IsEmpty() const { return text_.empty(); }
    void Empty() { text_.clear(); }
    operator const char*() const { return text_.c_str(); }

    CString& operator+=(const CString& text);
    CString& operator+=(const char* text);
    CString& operator+=(char character);

    // printf rules; CStrings are passed as (const char*).
    void Format(const char* format, ...) FRAMEWORK_PRINTF_FORMAT(2, 3);

    // The string resource `id`; FALSE, and an empty text, when there is none.
    BOOL LoadString(UINT id);

    friend bool operator==(const CString& a, const CString& b) { return a.text_ == b.text_; }
    friend bool operator==(const CString& a, const char* b) { return a.text_ == (b ? b : ""); }
    friend bool operator==(const char* a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const CString& b) { return !(b == a); }

private:
    std::string text_;
};

#include "framework/cstring.h"

#include <cstdarg>
#include <cstdio>

#include "framework/platform.h"

CString& CString::operator=(const char* text) {
    text_ = text ? text : "";
    return *this;
}

CString& CString::operator+=(const CString& text) {
    text_ += text.text_;
    return *this;
}

CString& CString::operator+=(const char* text) {
    if (text) text_ += text;
    return *this;
}

CString& CString::operator+=(char character) {
    text_ += character;
    return *this;
}

void CString::Format(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list measuring;
    va_copy(measuring, arguments);
    int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length < 0) {
        text_.clear();
    } else {
        std::string formatted(static_cast<std::size_t>(length) + 1, '\0');
        std::vsnprintf(&formatted[0], formatted.size(), format, arguments);
        formatted.resize(static_cast<std::size_t>(length));
        text_ = std::move(formatted);
    }
    va_end(arguments);
}

BOOL CString::LoadString(UINT id) {
    if (framework::LoadStringResource(id, text_)) return TRUE;
    text_.clear();
    return FALSE;
}

#include "common/shift_jis.h"

#ifdef _WIN32
#include <windows.h>
#endif

bool IsCp932LeadByte(unsigned char value) { return (value >= 0x81 && value <= 0x9F) || (value >= 0xE0 && value <= 0xFC); }

bool IsAnsiCodePageLeadByte(unsigned char value) {
#ifdef _WIN32
    return IsDBCSLeadByte(value) != FALSE;
#else
    return IsCp932LeadByte(value);
#endif
}

std::size_t LengthAtCharacterBoundary(const std::string& text, std::size_t limit) {
    std::size_t kept = 0;
    while (kept < text.size()) {
        std::size_t character = IsCp932LeadByte(static_cast<unsigned char>(text[kept])) ? 2 : 1;
        if (character > text.size() - kept) character = text.size() - kept;  // a lead byte ends the text
        if (kept + character > limit) break;
        kept += character;
    }
    return kept;
}

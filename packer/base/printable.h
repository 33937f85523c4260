// Bytes from outside shown as one line of plain ASCII, for the reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Printable ASCII as it is; every other byte, the backslash and the double
// quote as \xNN.
inline std::string Printable(const uint8_t* bytes, std::size_t count) {
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

inline std::string Printable(const std::string& text) {
    return Printable(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

inline std::string Quoted(const std::string& text) { return "\"" + Printable(text) + "\""; }

inline std::string HexByte(uint8_t byte) {
    static const char kHex[] = "0123456789ABCDEF";
    return std::string("0x") + kHex[byte >> 4] + kHex[byte & 0xF];
}

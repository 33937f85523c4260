#include "packer/clip_names.h"

#ifndef _WIN32
#include <iconv.h>

#include <vector>
#endif

namespace {

// Lead bytes of code page 932's double-byte characters; each takes one trail byte.
bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

#ifndef _WIN32
class Converter {
public:
    Converter() : handle_(iconv_open("CP932", "UTF-8")) {}
    ~Converter() {
        if (ok()) iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // The whole text converted, or false. Code page 932 never takes more bytes
    // than UTF-8 for the same characters, so one output buffer of the input's
    // length (plus room for the shift state's end) always suffices.
    bool convert(const std::string& text, std::string* out) {
        std::vector<char> input(text.begin(), text.end());
        std::vector<char> output(text.size() + 8);
        char* in = input.data();
        char* to = output.data();
        std::size_t inLeft = input.size();
        std::size_t outLeft = output.size();
        if (iconv(handle_, &in, &inLeft, &to, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return false;
        if (iconv(handle_, nullptr, nullptr, &to, &outLeft) == static_cast<std::size_t>(-1)) return false;
        out->assign(output.data(), to);
        return true;
    }

private:
    iconv_t handle_;
};
#endif

}  // namespace

bool toHandsetText(const std::string& name, std::string* converted) {
    *converted = name;
#ifdef _WIN32
    return true;
#else
    Converter converter;
    std::string result;
    if (!converter.ok() || !converter.convert(name, &result)) return false;
    *converted = result;
    return true;
#endif
}

std::size_t lengthAtCharacterBoundary(const std::string& text, std::size_t limit) {
    std::size_t kept = 0;
    while (kept < text.size()) {
        std::size_t character = isLeadByte(static_cast<unsigned char>(text[kept])) ? 2 : 1;
        if (character > text.size() - kept) character = text.size() - kept;  // a lead byte ends the text
        if (kept + character > limit) break;
        kept += character;
    }
    return kept;
}

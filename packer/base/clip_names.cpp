#include "packer/base/clip_names.h"

#include <cstdint>

#ifndef _WIN32
#include <iconv.h>

#include <vector>
#endif

#include "common/shift_jis.h"
#include "packer/base/printable.h"

namespace {

#ifndef _WIN32
class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (Ok()) iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // The whole text converted, or false. Between code page 932 and UTF-8 a
    // character never takes more than three times its bytes, so one output
    // buffer of four times the input (plus room for the shift state's end)
    // always suffices.
    bool Convert(const std::string& text, std::string* out) {
        std::vector<char> input(text.begin(), text.end());
        std::vector<char> output(text.size() * 4 + 8);
        char* in = input.data();
        char* to = output.data();
        std::size_t inLeft = input.size();
        std::size_t outLeft = output.size();
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // a failed call may have left a state behind
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

bool ToHandsetText(const std::string& name, std::string* converted) {
    *converted = name;
#ifdef _WIN32
    return true;
#else
    Converter converter("CP932", "UTF-8");
    std::string result;
    if (!converter.Ok() || !converter.Convert(name, &result)) return false;
    *converted = result;
    return true;
#endif
}

std::string QuotedClipName(const std::string& name) {
#ifdef _WIN32
    return Quoted(name);
#else
    Converter converter("UTF-8", "CP932");
    std::string text = "\"";
    for (std::size_t at = 0; at < name.size();) {
        const auto byte = static_cast<uint8_t>(name[at]);
        const std::size_t length = IsCp932LeadByte(byte) && at + 1 < name.size() ? 2 : 1;
        std::string character;
        if (byte >= 0x80 && converter.Ok() && converter.Convert(name.substr(at, length), &character)) {
            text += character;
            at += length;
        } else {
            text += Printable(&byte, 1);  // ASCII as the report shows it, or a byte that does not convert
            ++at;
        }
    }
    return text + "\"";
#endif
}

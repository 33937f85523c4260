#include "common/decimal.h"

#include <cstring>
#include <limits>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

template <class Unsigned>
DecimalRead<Unsigned> ReadDecimal(const char* at, const char* end, DecimalOverflow overflow) {
    constexpr Unsigned kLargest = std::numeric_limits<Unsigned>::max();
    DecimalRead<Unsigned> read;
    while (at < end && IsBlank(*at)) ++at;
    const bool negative = at < end && *at == '-';
    if (at < end && (*at == '-' || *at == '+')) ++at;
    Unsigned wrapped = 0;
    for (; at < end && IsDecimalDigit(*at); ++at) {
        const auto digit = static_cast<Unsigned>(*at - '0');
        read.overflowed = read.overflowed || wrapped > (kLargest - digit) / 10;
        wrapped = static_cast<Unsigned>(wrapped * 10u + digit);
        read.found = true;
    }
    read.stop = at;
    if (overflow == DecimalOverflow::Wrap) {
        read.value = negative ? static_cast<Unsigned>(0u - wrapped) : wrapped;
    } else {
        read.value = negative ? 0 : read.overflowed ? kLargest : wrapped;
    }
    return read;
}

template <class Unsigned>
DecimalRead<Unsigned> ReadDecimal(const char* text, DecimalOverflow overflow) {
    return ReadDecimal<Unsigned>(text, text + std::strlen(text), overflow);
}

template DecimalRead<uint32_t> ReadDecimal<uint32_t>(const char*, const char*, DecimalOverflow);
template DecimalRead<uint64_t> ReadDecimal<uint64_t>(const char*, const char*, DecimalOverflow);
template DecimalRead<uint32_t> ReadDecimal<uint32_t>(const char*, DecimalOverflow);
template DecimalRead<uint64_t> ReadDecimal<uint64_t>(const char*, DecimalOverflow);

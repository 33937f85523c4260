#include "frontend/decimal_reader.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

uint32_t ReadDecimalSaturating(const char* at, const char* end) {
    while (at < end && isBlank(*at)) ++at;
    bool negative = false;
    if (at < end && (*at == '+' || *at == '-')) negative = *at++ == '-';
    uint64_t value = 0;
    for (; at < end && isDigit(*at); ++at) {
        value = value * 10 + static_cast<uint64_t>(*at - '0');
        if (value > UINT32_MAX) value = uint64_t{UINT32_MAX} + 1;  // stays above the limit, never wraps
    }
    if (negative) return 0;
    return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

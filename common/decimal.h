// The one reader of decimal numbers in text, for the packer, the frontend and
// the framework: blanks skipped, an optional sign, then digits up to the first
// character that is not one. What a number too large for its type becomes is
// the caller's choice, as each program has always read its numbers its own way.
#pragma once

#include <cstdint>

enum class DecimalOverflow {
    Wrap,      // modulo 2^N, as unsigned arithmetic: "-1" is the largest value, "4294967296" is 0
    Saturate,  // held at the largest value; a negative number gives 0
};

template <class Unsigned>
struct DecimalRead {
    Unsigned value = 0;          // 0 when no digit was found
    bool found = false;          // a digit followed the blanks and the sign
    bool overflowed = false;     // the digits stood for more than Unsigned holds
    const char* stop = nullptr;  // the first character not read
};

inline bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the characters from `at` up to `end`, which need no terminator. The
// blanks skipped are space, tab, line feed, vertical tab, form feed and
// carriage return.
template <class Unsigned = uint32_t>
DecimalRead<Unsigned> ReadDecimal(const char* at, const char* end, DecimalOverflow overflow);

// The same over a zero-terminated text.
template <class Unsigned = uint32_t>
DecimalRead<Unsigned> ReadDecimal(const char* text, DecimalOverflow overflow);

extern template DecimalRead<uint32_t> ReadDecimal<uint32_t>(const char*, const char*, DecimalOverflow);
extern template DecimalRead<uint64_t> ReadDecimal<uint64_t>(const char*, const char*, DecimalOverflow);
extern template DecimalRead<uint32_t> ReadDecimal<uint32_t>(const char*, DecimalOverflow);
extern template DecimalRead<uint64_t> ReadDecimal<uint64_t>(const char*, DecimalOverflow);

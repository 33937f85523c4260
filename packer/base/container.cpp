#include "packer/base/container.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "common/decimal.h"

using namespace HeaderField;

namespace {

constexpr uint32_t kChecksumBase = 256;  // the eight checksum bytes counted as blanks

constexpr std::size_t kIndexLineBuffer = 64;

void PutText(MemberHeaderBlock& block, uint32_t offset, const char* text) {
    std::memcpy(block.data() + offset, text, std::strlen(text));
}

void PutOctal(MemberHeaderBlock& block, uint32_t offset, uint64_t value, int digits) {
    FormatOctal(reinterpret_cast<char*>(block.data() + offset), value, digits);
}

// Digits only and not empty; anything else does not count as a time.
bool ReadEpoch(const char* text, uint64_t* epoch) {
    if (!text || !IsDecimalDigit(*text)) return false;  // no blank, no sign
    const DecimalRead<uint64_t> number = ReadDecimal<uint64_t>(text, DecimalOverflow::Saturate);
    if (*number.stop != '\0') return false;
    *epoch = number.value;
    return true;
}

}  // namespace

void FormatOctal(char* field, uint64_t value, int digits) {
    uint64_t largest = (uint64_t{1} << (3 * digits)) - 1;
    value = std::min(value, largest);
    for (int i = digits - 1; i >= 0; --i) {
        field[i] = static_cast<char>('0' + (value & 7));
        value >>= 3;
    }
}

uint32_t MemberHeaderChecksum(const MemberHeaderBlock& block) {
    uint32_t sum = kChecksumBase;
    for (uint32_t i = 0; i < kBlockSize; ++i) {
        if (i < kChecksum || i >= kChecksum + kChecksumLength) sum += block[i];
    }
    return sum;
}

MemberHeaderBlock BuildMemberHeader(const std::string& name, uint32_t size, uint64_t time) {
    MemberHeaderBlock block{};
    std::memcpy(block.data() + kName, name.data(), std::min<std::size_t>(name.size(), kNameLength));
    PutText(block, kMode, "0100666");
    PutText(block, kOwner, "0000000");
    PutText(block, kGroup, "0000000");
    PutOctal(block, kSize, size, kNumberDigits);
    PutOctal(block, kTime, time, kNumberDigits);
    PutText(block, kMagic, "ustar  ");
    PutText(block, kOwnerName, "root");
    PutOctal(block, kChecksum, MemberHeaderChecksum(block), kChecksumDigits);
    return block;
}

uint64_t MemberHeaderTime() {
    uint64_t epoch = 0;
    if (ReadEpoch(std::getenv("SOURCE_DATE_EPOCH"), &epoch)) return epoch;
    std::time_t now = std::time(nullptr);
    return now > 0 ? static_cast<uint64_t>(now) : 0;
}

void WriteMemberHeader(OutputFile& output, const std::string& name, uint32_t pos, uint32_t size) {
    uint64_t time = pos == 0 ? kIndexHeaderTime : MemberHeaderTime();
    MemberHeaderBlock block = BuildMemberHeader(name, size, time);
    output.Seek(pos);
    output.Write(block.data(), block.size());
    output.Seek(uint64_t{pos} + kChecksum + kChecksumDigits);
}

std::string BuildIndexLine(const MemberSlot& member) {
    char line[kIndexLineBuffer];
    std::snprintf(line, sizeof line, "%s,%-8d,%d,%s\r\n", member.name.c_str(), static_cast<int>(member.offset),
                  static_cast<int>(member.size), member.mimeType.c_str());
    return line;
}

std::string BuildIndexText(const std::vector<MemberSlot>& members) {
    std::string text = kPackageMagicLine;
    for (const MemberSlot& member : members) {
        if (member.kind == MemberKind::End) break;
        if (member.size == 0) continue;
        std::string line = BuildIndexLine(member);
        if (text.size() + line.size() > kBlockSize) break;
        text += line;
    }
    return text;
}

// The package container: 512-byte tar-style member headers (the layout of the
// old GNU tar format) and the text of index.txt, the package's member directory.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/package_layout.h"
#include "packer/base/files.h"

constexpr uint64_t kIndexHeaderTime = 1112113152;  // 2005-03-29 16:19:12 UTC: index.txt's fixed time

// One row of the packer's member table; the table order is the package order.
struct MemberSlot {
    int32_t size = 0;    // data length in the package; 0 = absent
    int32_t offset = 0;  // header position minus 1024
    std::string sourcePath;
    std::string name;
    std::string mimeType;
    MemberKind kind = MemberKind::End;
};

using MemberHeaderBlock = std::array<uint8_t, kBlockSize>;

// Where the fields of a member header lie; every byte not named is zero.
namespace HeaderField {
constexpr uint32_t kName = 0, kNameLength = 100;
constexpr uint32_t kMode = 100, kOwner = 108, kGroup = 116;  // each "0100666" or "0000000" and a zero byte
constexpr uint32_t kSize = 124, kTime = 136, kNumberLength = 12;  // 11 octal digits and a zero byte
constexpr uint32_t kChecksum = 148, kChecksumLength = 8;           // 6 octal digits and two zero bytes
constexpr uint32_t kType = 156, kLinkName = 157, kMagic = 257, kOwnerName = 265, kGroupName = 297;
constexpr int kNumberDigits = 11, kChecksumDigits = 6;
}  // namespace HeaderField

// Writes `digits` octal digits with leading zeros into `field` (no terminator).
// A value too large for the digits is written as the largest one that fits.
void FormatOctal(char* field, uint64_t value, int digits);

// The tar checksum of a header: the sum of its bytes as unsigned numbers, the
// eight bytes of the checksum field counted as blanks.
uint32_t MemberHeaderChecksum(const MemberHeaderBlock& block);

// The complete header block for a member of `size` bytes modified at `time`,
// checksum included.
MemberHeaderBlock BuildMemberHeader(const std::string& name, uint32_t size, uint64_t time);

// The modification time of the member headers: SOURCE_DATE_EPOCH when it holds a
// decimal number, so that packages can be rebuilt byte for byte; otherwise now.
uint64_t MemberHeaderTime();

// Writes the header block of a member at `pos`. The header at position 0 is
// index.txt's and carries its fixed time. Afterwards the file position lies just
// after the checksum digits; callers position the file before writing data.
void WriteMemberHeader(OutputFile& output, const std::string& name, uint32_t pos, uint32_t size);

// The line of index.txt for a member: "name,offset,size,type" and CR LF, the
// offset filled with blanks to 8 characters; at most 63 characters.
std::string BuildIndexLine(const MemberSlot& member);

// kPackageMagicLine and one line per present member (size not 0), in table order.
// Never longer than the one block that holds it.
std::string BuildIndexText(const std::vector<MemberSlot>& members);

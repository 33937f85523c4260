#include "tests/tools/package_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace testpkg {
namespace {

constexpr uint32_t kIndexAreaEnd = 1024;
const char kIndexFirstLine[] = "KDDIMU01\r\n";

struct HeaderField {
    uint32_t offset;
    uint32_t length;
};
constexpr HeaderField kName{0, 100};
constexpr HeaderField kMode{100, 8};
constexpr HeaderField kOwner{108, 8};
constexpr HeaderField kGroup{116, 8};
constexpr HeaderField kSize{124, 12};
constexpr HeaderField kTime{136, 12};
constexpr HeaderField kChecksum{148, 8};
constexpr HeaderField kType{156, 1};
constexpr HeaderField kLinkName{157, 100};
constexpr HeaderField kMagic{257, 8};
constexpr HeaderField kOwnerName{265, 32};
constexpr HeaderField kRest{297, 215};
constexpr uint32_t kChecksummedBytes = 269;

std::string where(uint32_t headerOffset) { return "header at " + std::to_string(headerOffset) + ": "; }

std::string fieldBytes(const uint8_t* header, HeaderField field) {
    return std::string(reinterpret_cast<const char*>(header + field.offset), field.length);
}

bool allZero(const uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

// A field that must hold exactly these bytes and zeros after them.
void expectField(const uint8_t* header, HeaderField field, const std::string& expected, const std::string& fieldName,
                 uint32_t headerOffset, std::vector<std::string>& problems) {
    std::string want = expected;
    want.resize(field.length, '\0');
    if (fieldBytes(header, field) != want) problems.push_back(where(headerOffset) + fieldName + " field is not \"" + expected + "\"");
}

// digits octal digits followed by zero bytes up to the field's end; false when
// malformed or beyond 32 bits (no package member comes near that).
bool readOctal(const uint8_t* header, HeaderField field, uint32_t digits, uint32_t& value) {
    uint64_t wide = 0;
    for (uint32_t i = 0; i < digits; ++i) {
        uint8_t c = header[field.offset + i];
        if (c < '0' || c > '7') return false;
        wide = wide * 8 + static_cast<uint32_t>(c - '0');
    }
    value = static_cast<uint32_t>(wide);
    return wide <= UINT32_MAX && allZero(header + field.offset + digits, field.length - digits);
}

uint32_t checksumOf(const uint8_t* header) {
    uint32_t sum = 256;  // the eight checksum bytes counted as blanks
    for (uint32_t i = 0; i < kChecksummedBytes; ++i) {
        if (i >= kChecksum.offset && i < kChecksum.offset + kChecksum.length) continue;
        sum += header[i];
    }
    return sum;
}

void checkName(const uint8_t* header, Member& member, std::vector<std::string>& problems) {
    const char* name = reinterpret_cast<const char*>(header);
    std::size_t length = strnlen(name, kName.length);
    member.name.assign(name, length);
    if (length == 0) problems.push_back(where(member.headerOffset) + "empty member name");
    if (!allZero(header + length, kName.length - length)) problems.push_back(where(member.headerOffset) + "bytes after the name");
}

// Checks every field of one header block and fills name, size and time.
void checkHeader(const uint8_t* header, Member& member, std::vector<std::string>& problems) {
    checkName(header, member, problems);
    expectField(header, kMode, std::string("0100666"), "mode", member.headerOffset, problems);
    expectField(header, kOwner, std::string("0000000"), "owner id", member.headerOffset, problems);
    expectField(header, kGroup, std::string("0000000"), "group id", member.headerOffset, problems);
    if (!readOctal(header, kSize, 11, member.size)) problems.push_back(where(member.headerOffset) + "length field is not 11 octal digits");
    if (!readOctal(header, kTime, 11, member.modificationTime)) {
        problems.push_back(where(member.headerOffset) + "time field is not 11 octal digits");
    }
    uint32_t checksum = 0;
    if (!readOctal(header, kChecksum, 6, checksum)) {
        problems.push_back(where(member.headerOffset) + "checksum field is not 6 octal digits and two zero bytes");
    } else if (checksum != checksumOf(header)) {
        problems.push_back(where(member.headerOffset) + "checksum " + std::to_string(checksum) + " should be " +
                           std::to_string(checksumOf(header)));
    }
    if (header[kType.offset] != 0) problems.push_back(where(member.headerOffset) + "type byte is not zero");
    if (!allZero(header + kLinkName.offset, kLinkName.length)) problems.push_back(where(member.headerOffset) + "link name is not empty");
    expectField(header, kMagic, std::string("ustar  "), "magic", member.headerOffset, problems);
    expectField(header, kOwnerName, std::string("root"), "owner name", member.headerOffset, problems);
    if (!allZero(header + kRest.offset, kRest.length)) problems.push_back(where(member.headerOffset) + "bytes after the owner name");
}

uint64_t roundUpToBlock(uint32_t size) { return (uint64_t{size} + kBlockSize - 1) / kBlockSize * kBlockSize; }

// Reads the member at `pos`; returns the position of the next header, or 0 when the package is cut short.
uint32_t readMember(const std::vector<uint8_t>& bytes, uint32_t pos, Package& package) {
    Member member;
    member.headerOffset = pos;
    checkHeader(bytes.data() + pos, member, package.problems);
    uint64_t dataStart = uint64_t{pos} + kBlockSize;
    uint64_t next = dataStart + roundUpToBlock(member.size);
    if (next > bytes.size()) {
        package.problems.push_back(where(pos) + member.name + " runs past the end of the package");
        return 0;
    }
    member.data.assign(bytes.begin() + dataStart, bytes.begin() + dataStart + member.size);
    if (!allZero(bytes.data() + dataStart + member.size, next - dataStart - member.size)) {
        package.problems.push_back(member.name + ": the rest of its last block is not zero");
    }
    package.members.push_back(std::move(member));
    return static_cast<uint32_t>(next);
}

void checkEnd(const std::vector<uint8_t>& bytes, uint32_t pos, Package& package) {
    if (bytes.size() - pos < 2 * kBlockSize) {
        package.problems.push_back("the package ends at " + std::to_string(bytes.size()) + " without two zero blocks after " +
                                   std::to_string(pos));
    } else if (!allZero(bytes.data() + pos, 2 * kBlockSize)) {
        package.problems.push_back("the second end block at " + std::to_string(pos + kBlockSize) + " is not zero");
    } else if (bytes.size() != pos + 2 * kBlockSize) {
        package.problems.push_back(std::to_string(bytes.size() - pos - 2 * kBlockSize) + " bytes after the two end blocks");
    }
}

void walkMembers(const std::vector<uint8_t>& bytes, Package& package) {
    uint32_t pos = 0;
    while (true) {
        if (bytes.size() < kBlockSize || pos > bytes.size() - kBlockSize) {
            package.problems.push_back("the package ends at " + std::to_string(bytes.size()) + " where a header block is due");
            return;
        }
        if (allZero(bytes.data() + pos, kBlockSize)) {
            checkEnd(bytes, pos, package);
            return;
        }
        pos = readMember(bytes, pos, package);
        if (pos == 0) return;
    }
}

// Splits "name,offset   ,size,mime" and checks it is exactly what the packer's format gives.
bool parseIndexLine(const std::string& text, IndexLine& line) {
    std::size_t first = text.find(',');
    std::size_t second = first == std::string::npos ? first : text.find(',', first + 1);
    std::size_t third = second == std::string::npos ? second : text.find(',', second + 1);
    if (third == std::string::npos) return false;
    line.name = text.substr(0, first);
    line.offset = std::atoi(text.substr(first + 1, second - first - 1).c_str());
    line.size = std::atoi(text.substr(second + 1, third - second - 1).c_str());
    line.mimeType = text.substr(third + 1);
    return indexLineText(line) == text + "\r\n";
}

void parseIndex(const Member& indexMember, Package& package) {
    std::string text(indexMember.data.begin(), indexMember.data.end());
    if (text.compare(0, std::strlen(kIndexFirstLine), kIndexFirstLine) != 0) {
        package.problems.push_back("index.txt does not begin with KDDIMU01 CR LF");
        return;
    }
    std::size_t at = std::strlen(kIndexFirstLine);
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            package.problems.push_back("index.txt: last line has no CR LF: " + text.substr(at));
            return;
        }
        IndexLine line;
        std::string lineText = text.substr(at, end - at);
        if (!parseIndexLine(lineText, line)) package.problems.push_back("index.txt: malformed line \"" + lineText + "\"");
        package.index.push_back(line);
        at = end + 2;
    }
}

// Every member after index.txt with data must be listed, in order, with its true position and size.
void checkIndexAgainstMembers(Package& package) {
    std::vector<const Member*> listed;
    for (std::size_t i = 1; i < package.members.size(); ++i) {
        if (package.members[i].size != 0) listed.push_back(&package.members[i]);
    }
    if (listed.size() != package.index.size()) {
        package.problems.push_back("index.txt lists " + std::to_string(package.index.size()) + " members, the package holds " +
                                   std::to_string(listed.size()) + " with data");
    }
    for (std::size_t i = 0; i < listed.size() && i < package.index.size(); ++i) {
        const IndexLine& line = package.index[i];
        const Member& member = *listed[i];
        int64_t dataAt = int64_t{kIndexAreaEnd} + line.offset + kBlockSize;
        if (line.name != member.name) package.problems.push_back("index.txt line " + std::to_string(i + 2) + " names " + line.name + ", the member is " + member.name);
        if (dataAt != int64_t{member.headerOffset} + kBlockSize) {
            package.problems.push_back("index.txt: " + line.name + " data at " + std::to_string(dataAt) + ", really at " +
                                       std::to_string(member.headerOffset + kBlockSize));
        }
        if (line.size < 0 || static_cast<uint32_t>(line.size) != member.size) {
            package.problems.push_back("index.txt: " + line.name + " size " + std::to_string(line.size) + ", really " + std::to_string(member.size));
        }
    }
}

void checkIndexMember(Package& package) {
    if (package.members.empty()) {
        package.problems.push_back("the package holds no member");
        return;
    }
    const Member& first = package.members.front();
    if (first.name != "index.txt") package.problems.push_back("the first member is " + first.name + ", not index.txt");
    if (first.modificationTime != kIndexHeaderTime) package.problems.push_back("index.txt header time is not 10222300000");
    if (first.size > kBlockSize) package.problems.push_back("index.txt is longer than one block");
    if (package.members.size() > 1 && package.members[1].headerOffset != kIndexAreaEnd) {
        package.problems.push_back("the first member after index.txt is not at 1024");
    }
    parseIndex(first, package);
    checkIndexAgainstMembers(package);
}

}  // namespace

const Member* Package::find(const std::string& name) const {
    for (const Member& member : members) {
        if (member.name == name) return &member;
    }
    return nullptr;
}

std::vector<std::string> Package::memberNames() const {
    std::vector<std::string> names;
    for (std::size_t i = 1; i < members.size(); ++i) names.push_back(members[i].name);
    return names;
}

std::string Package::report() const {
    std::string text;
    for (const std::string& problem : problems) text += problem + "\n";
    return text;
}

std::string indexLineText(const IndexLine& line) {
    char text[160];
    std::snprintf(text, sizeof text, "%s,%-8d,%d,%s\r\n", line.name.c_str(), static_cast<int>(line.offset),
                  static_cast<int>(line.size), line.mimeType.c_str());
    return text;
}

Package readPackage(const std::vector<uint8_t>& bytes) {
    Package package;
    walkMembers(bytes, package);
    checkIndexMember(package);
    return package;
}

}  // namespace testpkg

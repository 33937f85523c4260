// The report of `tessaryn --inspect PACKAGE.kmf`, line by line (positions and
// sizes are decimal byte counts; bytes that are not printable ASCII show as \xNN,
// except that POSIX builds show clip names, which are Shift-JIS, in UTF-8):
//
//   package PATH: LENGTH bytes
//   member NAME: header at H, data at D, SIZE bytes    each member in package order, index.txt first
//   end blocks at E                                     the two zero blocks that close the package
//   index.txt line N: NAME, offset O, SIZE bytes, TYPE  each member line (line 1 is KDDIMU01)
//   track NAME: SIZE bytes at D; ...                    the music member, or "track: none"
//   ...                                                 the track's lines, see conditioner/track_check.h
//   ok                                                  or "problem: WHAT", the first problem found
//
// A member header must be byte for byte the one the packer writes for its name,
// size and time (index.txt's time is fixed), checksum included; the members
// must come in the packer's order; index.txt must list every member with data,
// in package order, with its offset, size and type, and nothing else.
#include "packer/package_check.h"

#include <cstring>
#include <vector>

#include "common/decimal.h"
#include "packer/check_report.h"
#include "packer/conditioner/track_check.h"
#include "packer/container.h"
#include "packer/file_io.h"

using namespace HeaderField;

namespace {

// Far above any track the packer writes from a source of at most 6,287,360
// bytes. The track is read whole, so this bounds what a check holds in memory.
constexpr uint64_t kLargestCheckedTrack = 0x2000000;
constexpr uint64_t kLargestMemberSize = INT32_MAX;  // a MemberSlot's size is a signed 32-bit number

const std::string kIndexMagic = kPackageMagicLine;

struct Member {
    std::string name;
    uint64_t header = 0;
    uint64_t size = 0;
    int row = -1;  // its row of kMemberRows; -1 for index.txt

    uint64_t dataAt() const { return header + kBlockSize; }
    uint64_t end() const { return dataAt() + RoundUpToBlock(size); }
    uint64_t indexOffset() const { return header - kIndexAreaSize; }
    std::string label() const { return "member " + printable(name); }
};

// The side files by their fixed names; any other name is the music track's.
int rowOf(const std::string& name) {
    int musicRow = 0;
    for (int row = 0; row < static_cast<int>(sizeof kMemberRows / sizeof kMemberRows[0]); ++row) {
        if (!kMemberRows[row].name) musicRow = row;
        else if (name == kMemberRows[row].name) return row;
    }
    return musicRow;
}

bool isMusic(const Member& member) { return member.row >= 0 && kMemberRows[member.row].kind == MemberKind::Music; }

bool isZero(const uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

std::string nameIn(const MemberHeaderBlock& block) {
    const char* name = reinterpret_cast<const char*>(block.data() + kName);
    std::size_t length = 0;
    while (length < kNameLength && name[length] != '\0') ++length;
    return std::string(name, length);
}

// `digits` octal digits, then zero bytes to the field's end, as the header writer leaves them.
bool readOctalField(const MemberHeaderBlock& block, uint32_t at, int digits, uint32_t length, uint64_t* value) {
    uint64_t read = 0;
    for (int i = 0; i < digits; ++i) {
        const uint8_t digit = block[at + i];
        if (digit < '0' || digit > '7') return false;
        read = read * 8 + static_cast<uint64_t>(digit - '0');
    }
    if (!isZero(block.data() + at + digits, length - static_cast<uint32_t>(digits))) return false;
    *value = read;
    return true;
}

std::string octal(uint64_t value, int digits) {
    std::string text(static_cast<std::size_t>(digits), '0');
    formatOctal(&text[0], value, digits);
    return text;
}

struct FieldSpan {
    uint32_t at;
    uint32_t length;
    const char* name;
};

const FieldSpan kFields[] = {
    {kName, kNameLength, "name"},
    {kMode, kOwner - kMode, "mode"},
    {kOwner, kGroup - kOwner, "owner id"},
    {kGroup, kSize - kGroup, "group id"},
    {kSize, kNumberLength, "size"},
    {kTime, kNumberLength, "time"},
    {kChecksum, kChecksumLength, "checksum"},
    {kType, kLinkName - kType, "type"},
    {kLinkName, kMagic - kLinkName, "link name"},
    {kMagic, kOwnerName - kMagic, "magic"},
    {kOwnerName, kGroupName - kOwnerName, "owner name"},
    {kGroupName, kBlockSize - kGroupName, "group name and after"},
};

const FieldSpan& fieldAt(uint32_t offset) {
    for (const FieldSpan& field : kFields) {
        if (offset < field.at + field.length) return field;
    }
    return kFields[sizeof kFields / sizeof kFields[0] - 1];
}

// A field's bytes in quotes, without the zero bytes that end it.
std::string fieldText(const MemberHeaderBlock& block, const FieldSpan& field) {
    uint32_t shown = field.length;
    while (shown > 0 && block[field.at + shown - 1] == 0) --shown;
    return "\"" + printable(block.data() + field.at, shown) + "\"";
}

// Digits, then blanks only where `blanksMayFollow`; at most ten digits.
bool readDecimalField(const std::string& text, bool blanksMayFollow, uint64_t* value) {
    if (text.empty() || !IsDecimalDigit(text[0])) return false;  // no blank, no sign
    const char* end = text.data() + text.size();
    const DecimalRead<uint64_t> number = ReadDecimal<uint64_t>(text.data(), end, DecimalOverflow::Saturate);
    if (number.stop - text.data() > 10) return false;
    for (const char* p = number.stop; p < end; ++p) {
        if (!blanksMayFollow || *p != ' ') return false;
    }
    *value = number.value;
    return true;
}

// "name,offset,size,type", taken apart from the right: a name may hold commas.
struct IndexLine {
    std::string name, type;
    uint64_t offset = 0, size = 0;
};

bool splitIndexLine(const std::string& line, IndexLine& fields) {
    std::size_t commas[3];
    std::size_t before = line.size();
    for (int i = 2; i >= 0; --i) {
        if (before == 0 || (commas[i] = line.rfind(',', before - 1)) == std::string::npos) return false;
        before = commas[i];
    }
    fields.name = line.substr(0, commas[0]);
    fields.type = line.substr(commas[2] + 1);
    return readDecimalField(line.substr(commas[0] + 1, commas[1] - commas[0] - 1), true, &fields.offset) &&
           readDecimalField(line.substr(commas[1] + 1, commas[2] - commas[1] - 1), false, &fields.size);
}

class PackageCheck {
public:
    PackageCheck(const std::string& path, CheckReport& report) : path_(path), report_(report) {}

    void run() {
        if (!open() || !readMembers() || !checkIndex()) return;
        checkTrack();
    }

private:
    // ---- The file ----

    bool open() {
        if (path_.empty()) return report_.problem("no package given: tessaryn --inspect PACKAGE.kmf");
        if (!isRegularFileAt(path_) || !file_.open(path_)) return report_.problem("can't open ", quoted(path_), " as a file");
        report_.line("package ", printable(path_), ": ", file_.length(), " bytes");
        return true;
    }

    bool readAt(uint64_t position, void* bytes, std::size_t count) {
        if (file_.seek(position) && file_.read(bytes, count)) return true;
        return report_.problem("reading ", quoted(path_), " failed at byte ", position);
    }

    bool readBlock(uint64_t position, MemberHeaderBlock& block) {
        const uint64_t length = file_.length();
        if (position == length)
            return report_.problem("the package ends at ", length, " without the two zero blocks that close it");
        if (length - position < kBlockSize)
            return report_.problem("the package is cut short: it ends at ", length, ", inside the block at ", position);
        return readAt(position, block.data(), block.size());
    }

    // ---- Members ----

    // Header after header until the zero blocks; the member order allows at
    // most six members, so the walk ends early on any file.
    bool readMembers() {
        uint64_t position = 0;
        for (;;) {
            MemberHeaderBlock block;
            if (!readBlock(position, block)) return false;
            if (isZero(block.data(), block.size())) return checkEndBlocks(position);
            Member member;
            member.header = position;
            if (!checkHeader(block, member) || !checkPlace(member) || !checkData(member)) return false;
            report_.line(member.label(), ": header at ", member.header, ", data at ", member.dataAt(), ", ",
                         member.size, " bytes");
            members_.push_back(member);
            position = member.end();
        }
    }

    bool checkHeader(const MemberHeaderBlock& block, Member& member) {
        member.name = nameIn(block);
        const std::string who =
            member.name.empty() ? "the header at " + std::to_string(member.header) : member.label();
        uint64_t checksum = 0, time = 0;
        if (!readOctalField(block, kChecksum, kChecksumDigits, kChecksumLength, &checksum))
            return report_.problem(who, ": checksum field reads ", fieldText(block, fieldAt(kChecksum)),
                                   " where the packer writes six octal digits and two zero bytes");
        const uint32_t sum = memberHeaderChecksum(block);
        if (checksum != sum)
            return report_.problem(who, ": header checksum ", octal(checksum, kChecksumDigits), " but the bytes sum to ",
                                   octal(sum, kChecksumDigits));
        if (member.name.empty()) return report_.problem(who, " names no member");
        if (!readOctalField(block, kSize, kNumberDigits, kNumberLength, &member.size) ||
            !readOctalField(block, kTime, kNumberDigits, kNumberLength, &time))
            return report_.problem(who, ": its size and time fields are not 11 octal digits and a zero byte each");
        if (member.size > kLargestMemberSize)
            return report_.problem(who, ": ", member.size, " bytes, more than a member of the packer can hold");
        return checkFieldsAsWritten(block, member, time);
    }

    // Everything but the name, size and time is fixed; index.txt's time too.
    bool checkFieldsAsWritten(const MemberHeaderBlock& block, const Member& member, uint64_t time) {
        const uint64_t writtenTime = member.header == 0 ? kIndexHeaderTime : time;
        const MemberHeaderBlock written =
            buildMemberHeader(member.name, static_cast<uint32_t>(member.size), writtenTime);
        for (uint32_t at = 0; at < kBlockSize; ++at) {
            if (block[at] == written[at]) continue;
            const FieldSpan& field = fieldAt(at);
            return report_.problem(member.label(), ": header field ", field.name, " reads ", fieldText(block, field),
                                   " where the packer writes ", fieldText(written, field));
        }
        return true;
    }

    // index.txt first, with its text in the one block after its header; then
    // config.txt, the music track, jacket.jpg, description.txt, wallpaper.jpg.
    bool checkPlace(Member& member) {
        if (members_.empty()) {
            if (member.name != kIndexName) return report_.problem("the first member is ", printable(member.name), ", not index.txt");
            if (member.size < kIndexMagic.size() || member.size > kBlockSize)
                return report_.problem("index.txt holds ", member.size,
                                       " bytes; the packer writes 10 to 512 bytes, in the one block after its header");
            return true;
        }
        if (member.name == kIndexName) return report_.problem("a second index.txt at ", member.header);
        member.row = rowOf(member.name);
        const Member& previous = members_.back();
        if (previous.row < 0 && kMemberRows[member.row].kind != MemberKind::Config)
            return report_.problem(member.label(), " comes first after index.txt; the packer always writes config.txt there");
        if (member.row <= previous.row)
            return report_.problem(member.label(), " follows ", previous.label(),
                                   "; the packer writes config.txt, the music track, jacket.jpg, description.txt and "
                                   "wallpaper.jpg in this order, each at most once");
        return true;
    }

    // The data lies inside the package and its last block is filled with zeros.
    bool checkData(const Member& member) {
        if (member.end() > file_.length())
            return report_.problem(member.label(), ": its ", member.size, " bytes of data at ", member.dataAt(),
                                   " run past the end of the package (", file_.length(), " bytes)");
        const uint64_t used = member.size % kBlockSize;
        if (used == 0) return true;
        uint8_t padding[kBlockSize];
        const uint64_t paddingAt = member.dataAt() + member.size;
        if (!readAt(paddingAt, padding, kBlockSize - used)) return false;
        if (isZero(padding, kBlockSize - used)) return true;
        return report_.problem(member.label(), ": the bytes from ", paddingAt, " to the end of its last block are not all zero");
    }

    bool checkEndBlocks(uint64_t position) {
        if (members_.empty()) return report_.problem("the package begins with a zero block, where index.txt's header belongs");
        const uint64_t second = position + kBlockSize;
        if (file_.length() - second < kBlockSize)
            return report_.problem("the package is cut short: it ends at ", file_.length(), ", inside the two zero blocks at ",
                                   position);
        MemberHeaderBlock block;
        if (!readAt(second, block.data(), block.size())) return false;
        if (!isZero(block.data(), block.size()))
            return report_.problem("the block at ", second, " is not zero, yet the one before it ends the package");
        if (file_.length() > second + kBlockSize)
            return report_.problem(file_.length() - second - kBlockSize, " bytes follow the two zero blocks at ", position,
                                   " that close the package");
        report_.line("end blocks at ", position);
        if (members_.size() < 2) return report_.problem("index.txt is the only member; the packer always writes config.txt");
        return true;
    }

    // ---- index.txt ----

    bool checkIndex() {
        const Member& index = members_.front();
        std::string text(static_cast<std::size_t>(index.size), '\0');
        if (!readAt(index.dataAt(), &text[0], text.size())) return false;
        if (text.compare(0, kIndexMagic.size(), kIndexMagic) != 0)
            return report_.problem("index.txt does not begin with KDDIMU01 and CR LF");
        std::vector<bool> listed(members_.size(), false);
        std::size_t lastListed = 0;
        int number = 1;
        for (std::size_t at = kIndexMagic.size(); at < text.size();) {
            const std::size_t end = text.find("\r\n", at);
            if (end == std::string::npos) return report_.problem("index.txt line ", ++number, " does not end with CR LF");
            if (!checkIndexLine(++number, text.substr(at, end - at), listed, lastListed)) return false;
            at = end + 2;
        }
        for (std::size_t i = 1; i < members_.size(); ++i) {
            if (members_[i].size != 0 && !listed[i])
                return report_.problem(members_[i].label(), " (", members_[i].size, " bytes) is not listed in index.txt");
        }
        return true;
    }

    std::size_t memberNamed(const std::string& name) const {
        for (std::size_t i = 1; i < members_.size(); ++i) {
            if (members_[i].name == name) return i;
        }
        return 0;
    }

    bool checkIndexLine(int number, const std::string& line, std::vector<bool>& listed, std::size_t& lastListed) {
        IndexLine fields;
        if (!splitIndexLine(line, fields))
            return report_.problem("index.txt line ", number, " ", quoted(line), " is not name,offset,size,type");
        const std::string name = printable(fields.name);
        const std::size_t i = memberNamed(fields.name);
        if (i == 0) return report_.problem("index.txt line ", number, " names ", name, ", which is not a member of the package");
        if (listed[i]) return report_.problem("index.txt lists ", name, " twice");
        if (i < lastListed) return report_.problem("index.txt line ", number, " lists ", name, " out of package order");
        if (!lineAgreesWithMember(number, line, fields, members_[i])) return false;
        report_.line("index.txt line ", number, ": ", name, ", offset ", fields.offset, ", ", fields.size, " bytes, ",
                     printable(fields.type));
        listed[i] = true;
        lastListed = i;
        return true;
    }

    bool lineAgreesWithMember(int number, const std::string& line, const IndexLine& fields, const Member& member) {
        const std::string name = printable(member.name);
        const char* type = kMemberRows[member.row].mimeType;
        if (member.size == 0)
            return report_.problem("index.txt line ", number, " lists the empty member ", name,
                                   "; the packer lists only members with data");
        if (fields.offset != member.indexOffset())
            return report_.problem("index.txt line ", number, " puts ", name, " at offset ", fields.offset,
                                   ", its header is at ", member.header, " (offset ", member.indexOffset(), ")");
        if (fields.size != member.size)
            return report_.problem("index.txt line ", number, " gives ", name, " ", fields.size, " bytes, its header ",
                                   member.size);
        if (fields.type != type)
            return report_.problem("index.txt line ", number, " gives ", name, " the type ", printable(fields.type),
                                   ", the packer writes ", type);
        MemberSlot slot;
        slot.size = static_cast<int32_t>(member.size);
        slot.offset = static_cast<int32_t>(member.indexOffset());
        slot.name = member.name;
        slot.mimeType = type;
        const std::string written = buildIndexLine(slot);
        if (written == line + "\r\n") return true;
        return report_.problem("index.txt line ", number, " ", quoted(line), " is not laid out as the packer writes it: ",
                               quoted(written.substr(0, written.find("\r\n"))));
    }

    // ---- The music track ----

    bool checkTrack() {
        for (const Member& member : members_) {
            if (isMusic(member) && member.size != 0) return checkTrackOf(member);
        }
        report_.line("track: none");
        return true;
    }

    bool checkTrackOf(const Member& member) {
        const std::string name = printable(member.name);
        if (member.size > kLargestCheckedTrack)
            return report_.problem("track ", name, ": ", member.size, " bytes, more than the ", kLargestCheckedTrack,
                                   " bytes a track is checked up to");
        std::vector<uint8_t> track(static_cast<std::size_t>(member.size));
        if (!readAt(member.dataAt(), track.data(), track.size())) return false;
        report_.line("track ", name, ": ", member.size, " bytes at ", member.dataAt(),
                     "; positions below count from its first byte");
        return CheckMusicTrack(track, report_);
    }

    std::string path_;
    CheckReport& report_;
    InputFile file_;
    std::vector<Member> members_;
};

}  // namespace

int CheckPackage(const std::string& path, std::FILE* out) {
    CheckReport report(out);
    PackageCheck(path, report).run();
    report.finish();
    return report.failed() ? CheckStatus::kProblem : CheckStatus::kSound;
}

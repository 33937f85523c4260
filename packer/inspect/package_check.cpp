// The report of `tessaryn --inspect PACKAGE.kmf`, line by line (positions and
// sizes are decimal byte counts; bytes that are not printable ASCII show as \xNN,
// except that POSIX builds show clip names, which are Shift-JIS, in UTF-8):
//
//   package PATH: LENGTH bytes
//   member NAME: header at H, data at D, SIZE bytes    each member in package order, index.txt first
//   end blocks at E                                     the two zero blocks that close the package
//   index.txt line N: NAME, offset O, SIZE bytes, TYPE  each member line (line 1 is KDDIMU01)
//   track NAME: SIZE bytes at D; ...                    the music member, or "track: none"
//   ...                                                 the track's lines, see track_check.h
//   ok                                                  or "problem: WHAT", the first problem found
//
// A member header must be byte for byte the one the packer writes for its name,
// size and time (index.txt's time is fixed), checksum included; the members
// must come in the packer's order; index.txt must list every member with data,
// in package order, with its offset, size and type, and nothing else.
#include "packer/inspect/package_check.h"

#include <cstring>
#include <vector>

#include "common/decimal.h"
#include "packer/base/container.h"
#include "packer/base/files.h"
#include "packer/inspect/check_report.h"
#include "packer/inspect/track_check.h"

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

    uint64_t DataAt() const { return header + kBlockSize; }
    uint64_t End() const { return DataAt() + RoundUpToBlock(size); }
    uint64_t IndexOffset() const { return header - kIndexAreaSize; }
    std::string Label() const { return "member " + Printable(name); }
};

// The side files by their fixed names; any other name is the music track's.
int RowOf(const std::string& name) {
    int musicRow = 0;
    for (int row = 0; row < static_cast<int>(sizeof kMemberRows / sizeof kMemberRows[0]); ++row) {
        if (!kMemberRows[row].name) musicRow = row;
        else if (name == kMemberRows[row].name) return row;
    }
    return musicRow;
}

bool IsMusic(const Member& member) { return member.row >= 0 && kMemberRows[member.row].kind == MemberKind::Music; }

bool IsZero(const uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

std::string NameIn(const MemberHeaderBlock& block) {
    const char* name = reinterpret_cast<const char*>(block.data() + kName);
    std::size_t length = 0;
    while (length < kNameLength && name[length] != '\0') ++length;
    return std::string(name, length);
}

// `digits` octal digits, then zero bytes to the field's end, as the header writer leaves them.
bool ReadOctalField(const MemberHeaderBlock& block, uint32_t at, int digits, uint32_t length, uint64_t* value) {
    uint64_t read = 0;
    for (int i = 0; i < digits; ++i) {
        const uint8_t digit = block[at + i];
        if (digit < '0' || digit > '7') return false;
        read = read * 8 + static_cast<uint64_t>(digit - '0');
    }
    if (!IsZero(block.data() + at + digits, length - static_cast<uint32_t>(digits))) return false;
    *value = read;
    return true;
}

std::string Octal(uint64_t value, int digits) {
    std::string text(static_cast<std::size_t>(digits), '0');
    FormatOctal(&text[0], value, digits);
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

const FieldSpan& FieldAt(uint32_t offset) {
    for (const FieldSpan& field : kFields) {
        if (offset < field.at + field.length) return field;
    }
    return kFields[sizeof kFields / sizeof kFields[0] - 1];
}

// A field's bytes in quotes, without the zero bytes that end it.
std::string FieldText(const MemberHeaderBlock& block, const FieldSpan& field) {
    uint32_t shown = field.length;
    while (shown > 0 && block[field.at + shown - 1] == 0) --shown;
    return "\"" + Printable(block.data() + field.at, shown) + "\"";
}

// Digits, then blanks only where `blanksMayFollow`; at most ten digits.
bool ReadDecimalField(const std::string& text, bool blanksMayFollow, uint64_t* value) {
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

bool SplitIndexLine(const std::string& line, IndexLine& fields) {
    std::size_t commas[3];
    std::size_t before = line.size();
    for (int i = 2; i >= 0; --i) {
        if (before == 0 || (commas[i] = line.rfind(',', before - 1)) == std::string::npos) return false;
        before = commas[i];
    }
    fields.name = line.substr(0, commas[0]);
    fields.type = line.substr(commas[2] + 1);
    return ReadDecimalField(line.substr(commas[0] + 1, commas[1] - commas[0] - 1), true, &fields.offset) &&
           ReadDecimalField(line.substr(commas[1] + 1, commas[2] - commas[1] - 1), false, &fields.size);
}

class PackageCheck {
public:
    PackageCheck(const std::string& path, CheckReport& report) : path_(path), report_(report) {}

    void Run() {
        if (!Open() || !ReadMembers() || !CheckIndex()) return;
        CheckTrack();
    }

private:
    // ---- The file ----

    bool Open() {
        if (path_.empty()) return report_.Problem("no package given: tessaryn --inspect PACKAGE.kmf");
        if (!IsRegularFileAt(path_) || !file_.Open(path_)) return report_.Problem("can't open ", Quoted(path_), " as a file");
        report_.Line("package ", Printable(path_), ": ", file_.Length(), " bytes");
        return true;
    }

    bool ReadAt(uint64_t position, void* bytes, std::size_t count) {
        if (file_.Seek(position) && file_.Read(bytes, count)) return true;
        return report_.Problem("reading ", Quoted(path_), " failed at byte ", position);
    }

    bool ReadBlock(uint64_t position, MemberHeaderBlock& block) {
        const uint64_t length = file_.Length();
        if (position == length)
            return report_.Problem("the package ends at ", length, " without the two zero blocks that close it");
        if (length - position < kBlockSize)
            return report_.Problem("the package is cut short: it ends at ", length, ", inside the block at ", position);
        return ReadAt(position, block.data(), block.size());
    }

    // ---- Members ----

    // Header after header until the zero blocks; the member order allows at
    // most six members, so the walk ends early on any file.
    bool ReadMembers() {
        uint64_t position = 0;
        for (;;) {
            MemberHeaderBlock block;
            if (!ReadBlock(position, block)) return false;
            if (IsZero(block.data(), block.size())) return CheckEndBlocks(position);
            Member member;
            member.header = position;
            if (!CheckHeader(block, member) || !CheckPlace(member) || !CheckData(member)) return false;
            report_.Line(member.Label(), ": header at ", member.header, ", data at ", member.DataAt(), ", ",
                         member.size, " bytes");
            members_.push_back(member);
            position = member.End();
        }
    }

    bool CheckHeader(const MemberHeaderBlock& block, Member& member) {
        member.name = NameIn(block);
        const std::string who =
            member.name.empty() ? "the header at " + std::to_string(member.header) : member.Label();
        uint64_t checksum = 0, time = 0;
        if (!ReadOctalField(block, kChecksum, kChecksumDigits, kChecksumLength, &checksum))
            return report_.Problem(who, ": checksum field reads ", FieldText(block, FieldAt(kChecksum)),
                                   " where the packer writes six octal digits and two zero bytes");
        const uint32_t sum = MemberHeaderChecksum(block);
        if (checksum != sum)
            return report_.Problem(who, ": header checksum ", Octal(checksum, kChecksumDigits), " but the bytes sum to ",
                                   Octal(sum, kChecksumDigits));
        if (member.name.empty()) return report_.Problem(who, " names no member");
        if (!ReadOctalField(block, kSize, kNumberDigits, kNumberLength, &member.size) ||
            !ReadOctalField(block, kTime, kNumberDigits, kNumberLength, &time))
            return report_.Problem(who, ": its size and time fields are not 11 octal digits and a zero byte each");
        if (member.size > kLargestMemberSize)
            return report_.Problem(who, ": ", member.size, " bytes, more than a member of the packer can hold");
        return CheckFieldsAsWritten(block, member, time);
    }

    // Everything but the name, size and time is fixed; index.txt's time too.
    bool CheckFieldsAsWritten(const MemberHeaderBlock& block, const Member& member, uint64_t time) {
        const uint64_t writtenTime = member.header == 0 ? kIndexHeaderTime : time;
        const MemberHeaderBlock written =
            BuildMemberHeader(member.name, static_cast<uint32_t>(member.size), writtenTime);
        for (uint32_t at = 0; at < kBlockSize; ++at) {
            if (block[at] == written[at]) continue;
            const FieldSpan& field = FieldAt(at);
            return report_.Problem(member.Label(), ": header field ", field.name, " reads ", FieldText(block, field),
                                   " where the packer writes ", FieldText(written, field));
        }
        return true;
    }

    // index.txt first, with its text in the one block after its header; then
    // config.txt, the music track, jacket.jpg, description.txt, wallpaper.jpg.
    bool CheckPlace(Member& member) {
        if (members_.empty()) {
            if (member.name != kIndexName) return report_.Problem("the first member is ", Printable(member.name), ", not index.txt");
            if (member.size < kIndexMagic.size() || member.size > kBlockSize)
                return report_.Problem("index.txt holds ", member.size,
                                       " bytes; the packer writes 10 to 512 bytes, in the one block after its header");
            return true;
        }
        if (member.name == kIndexName) return report_.Problem("a second index.txt at ", member.header);
        member.row = RowOf(member.name);
        const Member& previous = members_.back();
        if (previous.row < 0 && kMemberRows[member.row].kind != MemberKind::Config)
            return report_.Problem(member.Label(), " comes first after index.txt; the packer always writes config.txt there");
        if (member.row <= previous.row)
            return report_.Problem(member.Label(), " follows ", previous.Label(),
                                   "; the packer writes config.txt, the music track, jacket.jpg, description.txt and "
                                   "wallpaper.jpg in this order, each at most once");
        return true;
    }

    // The data lies inside the package and its last block is filled with zeros.
    bool CheckData(const Member& member) {
        if (member.End() > file_.Length())
            return report_.Problem(member.Label(), ": its ", member.size, " bytes of data at ", member.DataAt(),
                                   " run past the end of the package (", file_.Length(), " bytes)");
        const uint64_t used = member.size % kBlockSize;
        if (used == 0) return true;
        uint8_t padding[kBlockSize];
        const uint64_t paddingAt = member.DataAt() + member.size;
        if (!ReadAt(paddingAt, padding, kBlockSize - used)) return false;
        if (IsZero(padding, kBlockSize - used)) return true;
        return report_.Problem(member.Label(), ": the bytes from ", paddingAt, " to the end of its last block are not all zero");
    }

    bool CheckEndBlocks(uint64_t position) {
        if (members_.empty()) return report_.Problem("the package begins with a zero block, where index.txt's header belongs");
        const uint64_t second = position + kBlockSize;
        if (file_.Length() - second < kBlockSize)
            return report_.Problem("the package is cut short: it ends at ", file_.Length(), ", inside the two zero blocks at ",
                                   position);
        MemberHeaderBlock block;
        if (!ReadAt(second, block.data(), block.size())) return false;
        if (!IsZero(block.data(), block.size()))
            return report_.Problem("the block at ", second, " is not zero, yet the one before it ends the package");
        if (file_.Length() > second + kBlockSize)
            return report_.Problem(file_.Length() - second - kBlockSize, " bytes follow the two zero blocks at ", position,
                                   " that close the package");
        report_.Line("end blocks at ", position);
        if (members_.size() < 2) return report_.Problem("index.txt is the only member; the packer always writes config.txt");
        return true;
    }

    // ---- index.txt ----

    bool CheckIndex() {
        const Member& index = members_.front();
        std::string text(static_cast<std::size_t>(index.size), '\0');
        if (!ReadAt(index.DataAt(), &text[0], text.size())) return false;
        if (text.compare(0, kIndexMagic.size(), kIndexMagic) != 0)
            return report_.Problem("index.txt does not begin with KDDIMU01 and CR LF");
        std::vector<bool> listed(members_.size(), false);
        std::size_t lastListed = 0;
        int number = 1;
        for (std::size_t at = kIndexMagic.size(); at < text.size();) {
            const std::size_t end = text.find("\r\n", at);
            if (end == std::string::npos) return report_.Problem("index.txt line ", ++number, " does not end with CR LF");
            if (!CheckIndexLine(++number, text.substr(at, end - at), listed, lastListed)) return false;
            at = end + 2;
        }
        for (std::size_t i = 1; i < members_.size(); ++i) {
            if (members_[i].size != 0 && !listed[i])
                return report_.Problem(members_[i].Label(), " (", members_[i].size, " bytes) is not listed in index.txt");
        }
        return true;
    }

    std::size_t MemberNamed(const std::string& name) const {
        for (std::size_t i = 1; i < members_.size(); ++i) {
            if (members_[i].name == name) return i;
        }
        return 0;
    }

    bool CheckIndexLine(int number, const std::string& line, std::vector<bool>& listed, std::size_t& lastListed) {
        IndexLine fields;
        if (!SplitIndexLine(line, fields))
            return report_.Problem("index.txt line ", number, " ", Quoted(line), " is not name,offset,size,type");
        const std::string name = Printable(fields.name);
        const std::size_t i = MemberNamed(fields.name);
        if (i == 0) return report_.Problem("index.txt line ", number, " names ", name, ", which is not a member of the package");
        if (listed[i]) return report_.Problem("index.txt lists ", name, " twice");
        if (i < lastListed) return report_.Problem("index.txt line ", number, " lists ", name, " out of package order");
        if (!LineAgreesWithMember(number, line, fields, members_[i])) return false;
        report_.Line("index.txt line ", number, ": ", name, ", offset ", fields.offset, ", ", fields.size, " bytes, ",
                     Printable(fields.type));
        listed[i] = true;
        lastListed = i;
        return true;
    }

    bool LineAgreesWithMember(int number, const std::string& line, const IndexLine& fields, const Member& member) {
        const std::string name = Printable(member.name);
        const char* type = kMemberRows[member.row].mimeType;
        if (member.size == 0)
            return report_.Problem("index.txt line ", number, " lists the empty member ", name,
                                   "; the packer lists only members with data");
        if (fields.offset != member.IndexOffset())
            return report_.Problem("index.txt line ", number, " puts ", name, " at offset ", fields.offset,
                                   ", its header is at ", member.header, " (offset ", member.IndexOffset(), ")");
        if (fields.size != member.size)
            return report_.Problem("index.txt line ", number, " gives ", name, " ", fields.size, " bytes, its header ",
                                   member.size);
        if (fields.type != type)
            return report_.Problem("index.txt line ", number, " gives ", name, " the type ", Printable(fields.type),
                                   ", the packer writes ", type);
        MemberSlot slot;
        slot.size = static_cast<int32_t>(member.size);
        slot.offset = static_cast<int32_t>(member.IndexOffset());
        slot.name = member.name;
        slot.mimeType = type;
        const std::string written = BuildIndexLine(slot);
        if (written == line + "\r\n") return true;
        return report_.Problem("index.txt line ", number, " ", Quoted(line), " is not laid out as the packer writes it: ",
                               Quoted(written.substr(0, written.find("\r\n"))));
    }

    // ---- The music track ----

    bool CheckTrack() {
        for (const Member& member : members_) {
            if (IsMusic(member) && member.size != 0) return CheckTrackOf(member);
        }
        report_.Line("track: none");
        return true;
    }

    bool CheckTrackOf(const Member& member) {
        const std::string name = Printable(member.name);
        if (member.size > kLargestCheckedTrack)
            return report_.Problem("track ", name, ": ", member.size, " bytes, more than the ", kLargestCheckedTrack,
                                   " bytes a track is checked up to");
        std::vector<uint8_t> track(static_cast<std::size_t>(member.size));
        if (!ReadAt(member.DataAt(), track.data(), track.size())) return false;
        report_.Line("track ", name, ": ", member.size, " bytes at ", member.DataAt(),
                     "; positions below count from its first byte");
        return CheckMusicTrack(track, report_);
    }

    std::string path_;
    CheckReport& report_;
    InputFile file_;
    std::vector<Member> members_;
};

}  // namespace

CheckStatus CheckPackage(const std::string& path, std::FILE* out) {
    CheckReport report(out);
    PackageCheck(path, report).Run();
    report.Finish();
    return report.Failed() ? CheckStatus::Problem : CheckStatus::Sound;
}

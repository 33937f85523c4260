// Our own readers, written apart from the packer so that they can judge it: a
// view of a track's boxes and samples, and a package reader.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "tests/tools/testkit.h"

namespace testkit {
namespace {

std::vector<Box> children(const Bytes& bytes, Box parent, std::size_t header) {
    std::vector<Box> found;
    for (std::size_t at = parent.at + header, size; at + 8 <= parent.end(); at += size) {
        size = u32(bytes, at);
        if (size < 8 || size > parent.end() - at) break;
        found.push_back(Box{at, size});
    }
    return found;
}

// A box of the audio track's sample table: the first track whose handler is soun.
Box audioTable(const Bytes& track, const std::string& type) {
    for (Box trak : boxes(track, "moov/trak")) {
        const std::vector<Box> hdlr = boxes(track, "mdia/hdlr", trak), table = boxes(track, "mdia/minf/stbl/" + type, trak);
        if (!hdlr.empty() && typeOf(track, Box{hdlr[0].at + 12, 8}) == "soun") return table.empty() ? Box{} : table[0];
    }
    return Box{};
}

}  // namespace

// Each chunk takes the samples of the last stsc entry that starts at or before it.
std::vector<uint32_t> chunkCounts(const Bytes& track) {
    const Box stsc = audioTable(track, "stsc"), stco = audioTable(track, "stco");
    std::vector<uint32_t> counts;
    for (uint32_t chunk = 1; stsc.found() && stco.found() && chunk <= u32(track, stco.at + 12); ++chunk) {
        counts.push_back(0);
        for (uint32_t e = 0; e < u32(track, stsc.at + 12); ++e)
            if (u32(track, stsc.at + 16 + 12 * e) <= chunk) counts.back() = u32(track, stsc.at + 20 + 12 * e);
    }
    return counts;
}

namespace {

// Each sample's position and size: the movie box's chunks, then the runs of each
// fragment's first track fragment with the optional fields their flags announce.
std::vector<std::pair<uint64_t, uint32_t>> placeSamples(const Bytes& track) {
    std::vector<std::pair<uint64_t, uint32_t>> placed;
    const Box stsz = audioTable(track, "stsz"), stco = audioTable(track, "stco");
    const std::vector<uint32_t> chunks = chunkCounts(track);
    for (uint32_t chunk = 0, sample = 0; stsz.found() && chunk < chunks.size(); ++chunk) {
        uint64_t at = u32(track, stco.at + 16 + 4 * chunk);
        for (uint32_t i = 0; i < chunks[chunk] && sample < u32(track, stsz.at + 16); ++i, ++sample) {
            const uint32_t size = u32(track, stsz.at + 12) ? u32(track, stsz.at + 12) : u32(track, stsz.at + 20 + 4 * sample);
            placed.emplace_back(at, size);
            at += size;
        }
    }
    for (Box moof : boxes(track, "moof")) {
        const std::vector<Box> trafs = boxes(track, "traf", moof);
        if (trafs.empty()) continue;
        uint64_t base = moof.at, next;
        uint32_t defaultSize = 0;
        for (Box tfhd : boxes(track, "tfhd", trafs[0])) {
            const uint32_t flags = u32(track, tfhd.at + 8);
            std::size_t at = tfhd.at + 16;
            if (flags & 0x01) base = uint64_t{u32(track, at)} << 32 | u32(track, at + 4), at += 8;
            at += (flags & 0x02 ? 4 : 0) + (flags & 0x08 ? 4 : 0);
            if (flags & 0x10) defaultSize = u32(track, at);
        }
        next = base;
        for (Box run : boxes(track, "trun", trafs[0])) {
            const uint32_t flags = u32(track, run.at + 8), count = u32(track, run.at + 12);
            std::size_t at = run.at + 16;
            if (flags & 0x01) next = base + static_cast<uint64_t>(int64_t{static_cast<int32_t>(u32(track, at))}), at += 4;
            if (flags & 0x04) at += 4;
            for (uint32_t i = 0; i < count; ++i) {
                at += flags & 0x100 ? 4 : 0;
                const uint32_t size = flags & 0x200 ? u32(track, at) : defaultSize;
                at += (flags & 0x200 ? 4 : 0) + (flags & 0x400 ? 4 : 0) + (flags & 0x800 ? 4 : 0);
                placed.emplace_back(next, size);
                next += size;
            }
        }
    }
    return placed;
}

}  // namespace

std::string typeOf(const Bytes& track, Box at) { return std::string(track.begin() + at.at + 4, track.begin() + at.at + 8); }

std::vector<Box> boxes(const Bytes& track, const std::string& path, Box within) {
    std::vector<Box> level = {within.found() ? within : Box{0, track.size()}};
    bool top = !within.found();  // the file itself has no header
    for (std::size_t from = 0; from <= path.size(); top = false) {
        const std::size_t slash = std::min(path.find('/', from), path.size());
        const std::string type = path.substr(from, slash - from);
        std::vector<Box> next;
        for (Box parent : level) {
            const std::string kind = top ? "" : typeOf(track, parent);
            for (Box child : children(track, parent, top ? 0 : kind == "stsd" ? 16 : kind == "mp4a" ? 36 : 8))
                if (type == "*" || typeOf(track, child) == type) next.push_back(child);
        }
        level = next;
        from = slash + 1;
    }
    return level;
}

Box findBox(const Bytes& track, const std::string& path) {
    const std::vector<Box> found = boxes(track, path);
    return found.empty() ? Box{} : found[0];
}

std::vector<std::string> topLevelTypes(const Bytes& track) {
    std::vector<std::string> types;
    for (Box top : boxes(track, "*")) {
        types.push_back(typeOf(track, top));
        if (types.back() == "uuid" && top.size >= 12) types.back() += ":" + typeOf(track, Box{top.at + 4, 8});
    }
    return types;
}

std::string sampleMismatch(const Bytes& track, const std::vector<Bytes>& frames) {
    const std::vector<std::pair<uint64_t, uint32_t>> placed = placeSamples(track);
    for (std::size_t i = 0; i < placed.size() && i < frames.size(); ++i) {
        const uint64_t at = placed[i].first;
        if (at > track.size() || track.size() - at < placed[i].second) return "sample " + std::to_string(i) + " lies outside the track";
        if (frames[i].size() != placed[i].second || !std::equal(frames[i].begin(), frames[i].end(), track.begin() + at))
            return "sample " + std::to_string(i) + " differs from its frame";
    }
    if (placed.size() == frames.size()) return "";
    return std::to_string(placed.size()) + " samples for " + std::to_string(frames.size()) + " frames";
}

std::vector<std::vector<uint32_t>> runCounts(const Bytes& track) {
    std::vector<std::vector<uint32_t>> counts;
    for (Box moof : boxes(track, "moof")) {
        counts.emplace_back();
        const std::vector<Box> trafs = boxes(track, "traf", moof);
        for (Box run : trafs.empty() ? trafs : boxes(track, "trun", trafs[0])) counts.back().push_back(u32(track, run.at + 12));
    }
    return counts;
}

// ---- Packages: 512-byte blocks in the old GNU tar layout ----

namespace {

// The one header block a member of that name, size and time may have.
Bytes wellFormedHeader(const std::string& name, uint64_t size, uint64_t time) {
    char text[512] = {};
    std::snprintf(text, 100, "%s", name.c_str());
    std::snprintf(text + 100, 412, "0100666%c0000000%c0000000%c%011llo%c%011llo", 0, 0, 0, static_cast<unsigned long long>(size), 0,
                  static_cast<unsigned long long>(time));
    std::memcpy(text + 257, "ustar  \0root", 12);
    unsigned sum = 8 * ' ';
    for (char byte : text) sum += static_cast<uint8_t>(byte);
    std::snprintf(text + 148, 8, "%06o", sum);
    return Bytes(text, text + 512);
}

uint64_t octal(const uint8_t* digits) {
    uint64_t value = 0;
    for (int i = 0; i < 11; ++i) value = value * 8 + static_cast<uint64_t>(digits[i] - '0');
    return value;
}

}  // namespace

std::vector<Member> readPackage(const Bytes& package, std::string& problems) {
    auto problem = [&problems](const std::string& text) { problems += text + "\n"; };
    std::vector<Member> members;
    const Bytes zeros(1024, 0);
    std::size_t pos = 0;
    while (pos + 512 <= package.size() && std::memcmp(package.data() + pos, zeros.data(), 512) != 0) {
        const uint8_t* header = package.data() + pos;
        Member member{std::string(reinterpret_cast<const char*>(header), strnlen(reinterpret_cast<const char*>(header), 100)), pos,
                      octal(header + 136), {}};
        const uint64_t size = octal(header + 124), padded = (size + 511) / 512 * 512;
        const Bytes wanted = wellFormedHeader(member.name, size, member.time);
        const std::size_t differs = static_cast<std::size_t>(std::mismatch(wanted.begin(), wanted.end(), header).first - wanted.begin());
        if (differs < 512) problem(member.name + "'s header at " + std::to_string(pos) + " differs at byte " + std::to_string(differs));
        if (pos + 512 + padded > package.size()) return problem(member.name + " runs past the end"), members;
        member.data.assign(header + 512, header + 512 + size);
        if (std::memcmp(header + 512 + size, zeros.data(), padded - size) != 0) problem(member.name + " is not padded with zeros");
        members.push_back(member);
        pos += 512 + padded;
    }
    if (package.size() != pos + 1024 || std::memcmp(package.data() + pos, zeros.data(), 1024) != 0)
        problem("the package does not end with exactly two zero blocks at " + std::to_string(pos));
    if (members.empty() || members[0].name != "index.txt" || members[0].time != 1112113152 || members[0].data.size() > 512 ||
        (members.size() > 1 && members[1].header != 1024))
        return problem("index.txt (2005-03-29 16:19:12 UTC, one block) does not come first"), members;

    // "KDDIMU01", then "name,offset   ,size,mime" for each member with data, in package order.
    const std::string text(members[0].data.begin(), members[0].data.end());
    std::string listed = "KDDIMU01\r\n";
    for (std::size_t i = 1, at = listed.size(); i < members.size(); ++i) {
        if (members[i].data.empty()) continue;
        char line[160];
        std::snprintf(line, sizeof line, "%s,%-8d,%d,", members[i].name.c_str(), static_cast<int>(members[i].header - 1024),
                      static_cast<int>(members[i].data.size()));
        const std::size_t end = text.find("\r\n", at);
        if (text.compare(at, std::strlen(line), line) != 0 || end == std::string::npos) break;
        listed = text.substr(0, at = end + 2);
    }
    if (text.compare(0, 10, "KDDIMU01\r\n") != 0 || text != listed) problem("index.txt does not list each member where it lies: " + text);
    return members;
}

}  // namespace testkit

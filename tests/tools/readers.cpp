// Our own view of a track's boxes and samples, written apart from the packer so that it can judge it (only
// the bounded walk over a box's children is the one both programs use), and GNU tar's reading of a package.
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "common/box.h"
#include "tests/tools/testkit.h"

namespace testkit {
namespace {

// A box of the audio track's sample table: the first track whose handler is soun.
Box audioTable(const Bytes& track, const std::string& type) {
    for (Box trak : boxes(track, "moov/trak")) {
        const std::vector<Box> hdlr = boxes(track, "mdia/hdlr", trak), table = boxes(track, "mdia/minf/stbl/" + type, trak);
        if (!hdlr.empty() && typeOf(track, Box{hdlr[0].at + 12, 8}) == "soun") return table.empty() ? Box{} : table[0];
    }
    return Box{};
}

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
            const uint32_t header = top ? 0 : kind == "stsd" ? 16 : kind == "mp4a" ? 36 : 8;
            const box::Span span{static_cast<uint32_t>(parent.at), static_cast<uint32_t>(parent.size)};
            for (box::ChildWalk walk(track.data(), span, header); walk.Next();) {
                const Box child{walk.Current().offset, walk.Current().size};
                if (type == "*" || typeOf(track, child) == type) next.push_back(child);
            }
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

std::vector<uint64_t> indexTimes(const Bytes& track) {
    std::vector<uint64_t> times;
    const Box tfra = findBox(track, "mfra/tfra");
    const bool wide = tfra.found() && track[tfra.at + 8] == 1;
    const uint32_t widths = tfra.found() ? u32(track, tfra.at + 16) : 0;
    const std::size_t entrySize = (wide ? 16 : 8) + 3 + (widths >> 4 & 3) + (widths >> 2 & 3) + (widths & 3);
    for (uint32_t e = 0; tfra.found() && e < u32(track, tfra.at + 20); ++e) {
        const std::size_t entry = tfra.at + 24 + entrySize * e;
        times.push_back(wide ? uint64_t{u32(track, entry)} << 32 | u32(track, entry + 4) : u32(track, entry));
    }
    return times;
}

// ---- Packages ----

std::vector<Member> tarMembers(const std::string& package, const std::string& scratch, std::string& problems) {
    Run list({"tar", "-tvf", package});
    list.env = {{"TZ", "UTC"}, {"LC_ALL", "C"}};
    const Ran listed = run(list);
    std::filesystem::create_directories(scratch);
    const Ran extracted = run(Run({"tar", "-xf", package, "-C", scratch}));
    if (listed.exitCode != 0 || extracted.exitCode != 0 || !listed.err.empty() || !extracted.err.empty())
        problems += "tar: " + listed.err + extracted.err;
    std::vector<Member> members;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);) {
        std::string mode, owner, size, date, time, name;
        std::istringstream(line) >> mode >> owner >> size >> date >> time >> name;
        members.push_back({name, mode + " " + owner.substr(0, 5) + " " + size + " " + date + " " + time, readFile(scratch + "/" + name)});
    }
    return members;
}

}  // namespace testkit

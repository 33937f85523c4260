// Our own reader of a package (.kmf): walks its 512-byte member headers, checks
// every fixed field and checksum, the end blocks, and that index.txt tells the
// truth about where each member lies. Problems are collected, not thrown, so a
// test can print all of them at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testpkg {

constexpr uint32_t kBlockSize = 512;
// The fixed time of the index.txt header: 2005-03-29 16:19:12 UTC.
constexpr uint32_t kIndexHeaderTime = 1112113152;  // 10222300000 in octal

struct Member {
    std::string name;
    uint32_t headerOffset = 0;      // position of the member's header block
    uint32_t size = 0;              // data length from the header
    uint32_t modificationTime = 0;  // seconds since 1970 from the header
    std::vector<uint8_t> data;
};

struct IndexLine {
    std::string name;
    int32_t offset = 0;  // header position minus 1024
    int32_t size = 0;
    std::string mimeType;
};

struct Package {
    std::vector<Member> members;        // in package order, index.txt first
    std::vector<IndexLine> index;       // the lines of index.txt after "KDDIMU01"
    std::vector<std::string> problems;  // every failed check, in words

    bool ok() const { return problems.empty(); }
    // The member of that name, or nullptr.
    const Member* find(const std::string& name) const;
    // The member names after index.txt, in order.
    std::vector<std::string> memberNames() const;
    // All problems, one per line, for a test's failure message.
    std::string report() const;
};

Package readPackage(const std::vector<uint8_t>& bytes);

// The index.txt line the packer writes for a member ("%s,%-8d,%d,%s\r\n").
std::string indexLineText(const IndexLine& line);

}  // namespace testpkg

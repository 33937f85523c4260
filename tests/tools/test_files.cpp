#include "tests/tools/test_files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "tests/tools/process.h"

namespace testenv {

TempFolder::TempFolder(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder from " + pattern);
    path_ = name.data();
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

void makeFolders(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) throw std::runtime_error("cannot create folder " + path + ": " + error.message());
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) makeFolders(parent.string());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

void writeFile(const std::string& path, const std::string& text) { writeFile(path, bytesOf(text)); }

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

namespace {

std::string digestWith(const std::string& tool, const std::vector<uint8_t>& bytes) {
    TempFolder folder("tessaryn-digest");
    std::string input = folder.file("bytes");
    writeFile(input, bytes);
    ProcessOptions options;
    options.stdinPath = input;
    ProcessResult result = runProcess({tool}, options);
    std::size_t end = result.out.find(' ');
    if (result.exitCode != 0 || end == std::string::npos) throw std::runtime_error(tool + " failed: " + result.err);
    return result.out.substr(0, end);
}

}  // namespace

std::string sha256Hex(const std::vector<uint8_t>& bytes) { return digestWith("sha256sum", bytes); }
std::string md5Hex(const std::vector<uint8_t>& bytes) { return digestWith("md5sum", bytes); }

std::string firstDifference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual) {
    std::size_t common = std::min(expected.size(), actual.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (expected[i] != actual[i]) {
            std::ostringstream text;
            text << "first difference at byte " << i << " (0x" << std::hex << i << std::dec << "): expected "
                 << unsigned{expected[i]} << ", got " << unsigned{actual[i]};
            return text.str();
        }
    }
    if (expected.size() != actual.size()) {
        return "lengths differ: expected " + std::to_string(expected.size()) + " bytes, got " + std::to_string(actual.size());
    }
    return "";
}

}  // namespace testenv

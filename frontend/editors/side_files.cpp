#include "frontend/editors/side_files.h"

#include "framework/file.h"

namespace {

constexpr uint32_t kReadSize = 4096;

}  // namespace

std::string ReadSideFile(const std::string& path) {
    framework::DiskFile file(path);
    if (!file.isOpen()) return std::string();
    std::string text(kReadSize, '\0');
    text.resize(file.read(&text[0], kReadSize));
    return text;
}

void WriteSideFile(const std::string& path, const std::string& text) {
    (void)framework::ReplaceFileContents(path, text);
}

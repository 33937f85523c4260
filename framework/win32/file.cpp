// Files on Windows, opened by their CP932 path.
#include "framework/file.h"

#include <windows.h>

namespace framework {

namespace {

HANDLE handleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

std::intptr_t openForReading(const std::string& path) {
    if (path.size() > kMaxPathBytes) return -1;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    if (GetFileType(handle) != FILE_TYPE_DISK) {  // a pipe or device could stall the dialog
        CloseHandle(handle);
        return -1;
    }
    return reinterpret_cast<std::intptr_t>(handle);
}

}  // namespace

DiskFile::DiskFile(const std::string& path) : handle_(openForReading(path)) {}

DiskFile::~DiskFile() {
    if (isOpen()) CloseHandle(handleOf(handle_));
}

uint64_t DiskFile::size() const {
    LARGE_INTEGER size;
    if (!isOpen() || !GetFileSizeEx(handleOf(handle_), &size)) return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

uint32_t DiskFile::read(void* buffer, uint32_t count) {
    DWORD delivered = 0;
    if (!isOpen() || !ReadFile(handleOf(handle_), buffer, count, &delivered, nullptr)) return 0;
    return delivered;
}

bool PathExists(const std::string& path) {
    return path.size() <= kMaxPathBytes && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DiskFile::seekTo(uint64_t position) {
    if (!isOpen() || position > static_cast<uint64_t>(INT64_MAX)) return false;
    LARGE_INTEGER target;
    target.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(handleOf(handle_), target, nullptr, FILE_BEGIN) != 0;
}

}  // namespace framework

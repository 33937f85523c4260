// Files on Windows, opened by their CP932 path.
#include "framework/file.h"

#include "common/paths.h"
#include "framework/temporary_name.h"

#include <windows.h>

#include <algorithm>
#include <string>

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

bool writeWhole(HANDLE handle, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        DWORD put = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 20));
        if (!WriteFile(handle, bytes.data() + written, chunk, &put, nullptr) || put == 0) return false;
        written += put;
    }
    return true;
}

// A new file beside `path`, created exclusively, whose name is no longer than
// the file's own (GetTempFileNameA's 12-byte names are longer than config.txt).
HANDLE createTemporaryBeside(const std::string& path, std::string& temporary) {
    const std::size_t nameStart = FileNameStart(path, PathSeparators::WindowsAndDrive);
    for (unsigned attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::string name = TemporaryFileName(path.size() - nameStart, GetCurrentProcessId(), attempt);
        if (name.empty()) return INVALID_HANDLE_VALUE;
        temporary = path.substr(0, nameStart) + name;
        HANDLE handle = CreateFileA(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = GetLastError();
        if (handle != INVALID_HANDLE_VALUE || (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)) return handle;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& bytes) {
    if (path.size() > kMaxPathBytes) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        return false;
    }
    std::string temporary;
    HANDLE handle = createTemporaryBeside(path, temporary);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool written = writeWhole(handle, bytes) && FlushFileBuffers(handle);
    written = CloseHandle(handle) && written;
    if (written && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    DeleteFileA(temporary.c_str());
    return false;
}

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

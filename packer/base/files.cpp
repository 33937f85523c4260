#include "packer/base/files.h"

#include <sys/stat.h>

#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using StatBuffer = struct _stat64;
int StatOfFile(std::FILE* file, StatBuffer* st) { return _fstat64(_fileno(file), st); }
int SeekFile(std::FILE* file, uint64_t position) { return _fseeki64(file, static_cast<__int64>(position), SEEK_SET); }
int64_t TellFile(std::FILE* file) { return _ftelli64(file); }

std::optional<FileIdentity> IdentityOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return std::nullopt;
    FileIdentity identity;
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return identity;
}

std::optional<FileIdentity> IdentityOfFile(std::FILE* file) {
    return IdentityOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
}
#else
using StatBuffer = struct stat;
int StatOfFile(std::FILE* file, StatBuffer* st) { return fstat(fileno(file), st); }
int SeekFile(std::FILE* file, uint64_t position) { return fseeko(file, static_cast<off_t>(position), SEEK_SET); }
int64_t TellFile(std::FILE* file) { return ftello(file); }

std::optional<FileIdentity> IdentityOfFile(std::FILE* file) {
    struct stat st;
    if (fstat(fileno(file), &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}
#endif

// What an empty file holds.
constexpr uint8_t kNoBytes[1] = {0};

bool IsRegular(std::FILE* file, uint64_t* length) {
    StatBuffer st;
    if (StatOfFile(file, &st) != 0 || (st.st_mode & S_IFMT) != S_IFREG) return false;
    if (length) *length = static_cast<uint64_t>(st.st_size);
    return true;
}

}  // namespace

bool IsRegularFile(std::FILE* file) { return IsRegular(file, nullptr); }

bool IsRegularFileAt(const std::string& path) {
#ifdef _WIN32
    struct _stat64 st;
    if (_stat64(path.c_str(), &st) != 0) return false;
#else
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
#endif
    return (st.st_mode & S_IFMT) == S_IFREG;
}

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
#ifdef _WIN32
    HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<FileIdentity> identity = IdentityOfHandle(handle);
    CloseHandle(handle);
    return identity;
#else
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
#endif
}

bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

// ---- InputFile ----

InputFile::~InputFile() { Close(); }

bool InputFile::Fail() {
    failed_ = true;
    return false;
}

bool InputFile::Open(const std::string& path) {
    Close();
    failed_ = false;
    if (!IsRegularFileAt(path)) return false;  // opening a named pipe would wait for a writer
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return false;
    if (!IsRegular(file_, &length_)) {
        Close();
        return false;
    }
    return true;
}

bool InputFile::Seek(uint64_t position) {
    if (failed_ || !file_ || SeekFile(file_, position) != 0) return Fail();
    return true;
}

bool InputFile::Read(void* destination, std::size_t count) {
    if (failed_ || !file_) return false;
    if (count != 0 && std::fread(destination, 1, count, file_) != count) return Fail();
    return true;
}

bool InputFile::Skip(uint64_t count) {
    if (failed_ || !file_) return false;
    int64_t here = TellFile(file_);
    if (here < 0) return Fail();
    return Seek(static_cast<uint64_t>(here) + count);
}

const uint8_t* InputFile::Whole() {
    if (mapped_) return static_cast<const uint8_t*>(mapped_);
    if (failed_ || !file_) return nullptr;
    if (length_ == 0) return kNoBytes;
    if (!copy_.empty()) return copy_.data();
#ifndef _WIN32
#ifdef MAP_POPULATE
    const int populate = MAP_POPULATE;  // one call maps every page the system holds of the file
#else
    const int populate = 0;
#endif
    void* mapped = mmap(nullptr, static_cast<std::size_t>(length_), PROT_READ, MAP_PRIVATE | populate, fileno(file_), 0);
    if (mapped != MAP_FAILED) return static_cast<const uint8_t*>(mapped_ = mapped);
#endif
    copy_.resize(static_cast<std::size_t>(length_));
    if (!Seek(0) || !Read(copy_.data(), copy_.size())) {
        copy_ = std::vector<uint8_t>();
        return nullptr;
    }
    return copy_.data();
}

std::optional<FileIdentity> InputFile::Identity() const {
    if (!file_) return std::nullopt;
    return IdentityOfFile(file_);
}

void InputFile::Close() {
#ifndef _WIN32
    if (mapped_) munmap(mapped_, static_cast<std::size_t>(length_));
#endif
    mapped_ = nullptr;
    copy_ = std::vector<uint8_t>();
    if (file_) std::fclose(file_);
    file_ = nullptr;
    length_ = 0;
}

// ---- OutputFile ----

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Create(const std::string& path) {
    Close();
    failed_ = false;
    file_ = std::fopen(path.c_str(), "w+b");
    if (!file_) return false;
    buffer_.reset(new char[kOutputBufferSize]);
    std::setvbuf(file_, buffer_.get(), _IOFBF, kOutputBufferSize);
    return true;
}

bool OutputFile::Fail() {
    failed_ = true;
    return false;
}

bool OutputFile::Seek(uint64_t position) {
    if (failed_ || !file_) return false;
    if (SeekFile(file_, position) != 0) return Fail();
    return true;
}

uint64_t OutputFile::Position() {
    if (!file_) return 0;
    int64_t here = TellFile(file_);
    return here < 0 ? 0 : static_cast<uint64_t>(here);
}

bool OutputFile::Write(const void* source, std::size_t count) {
    if (failed_ || !file_) return false;
    if (count != 0 && std::fwrite(source, 1, count, file_) != count) return Fail();
    return true;
}

bool OutputFile::WriteZeros(std::size_t count) {
    static const unsigned char kZeros[4096] = {};
    while (count > 0) {
        std::size_t piece = count < sizeof kZeros ? count : sizeof kZeros;
        if (!Write(kZeros, piece)) return false;
        count -= piece;
    }
    return true;
}

bool OutputFile::Truncate(uint64_t length) {
    if (failed_ || !file_) return false;
    if (std::fflush(file_) != 0) return Fail();
#ifdef _WIN32
    if (_chsize_s(_fileno(file_), static_cast<__int64>(length)) != 0) return Fail();
#else
    if (ftruncate(fileno(file_), static_cast<off_t>(length)) != 0) return Fail();
#endif
    return true;
}

bool OutputFile::IsRegularFile() const { return file_ && IsRegular(file_, nullptr); }

std::optional<FileIdentity> OutputFile::Identity() const {
    if (!file_) return std::nullopt;
    return IdentityOfFile(file_);
}

bool OutputFile::Close() {
    if (!file_) return !failed_;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    buffer_.reset();
    return !failed_;
}

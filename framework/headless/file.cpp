// Files on POSIX systems, for the headless build the tests run.
#include "framework/file.h"

#include "common/paths.h"
#include "framework/temporary_name.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <limits>

namespace framework {

namespace {

int descriptorOf(std::intptr_t handle) { return static_cast<int>(handle); }

// Only regular files are read: a folder fails as it does on Windows, and a FIFO
// (opened without blocking) can never stall the dialog.
int openRegularFile(const std::string& path) {
    if (path.size() > kMaxPathBytes) return -1;
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) return -1;
    struct stat status;
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

bool writeWhole(int descriptor, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t put = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        written += static_cast<std::size_t>(put);
    }
    return true;
}

// A link is followed, so the file it names gets the new contents and the link stays.
std::string fileBehindLinks(const std::string& path) {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// A new file beside `path`, created exclusively, whose name is no longer than
// the file's own; -1 when none could be made.
int createTemporaryBeside(const std::string& path, std::string& temporary) {
    const std::size_t nameStart = FileNameStart(path);
    for (unsigned attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::string name = TemporaryFileName(path.size() - nameStart, static_cast<uint64_t>(::getpid()), attempt);
        if (name.empty()) return -1;
        temporary = path.substr(0, nameStart) + name;
        const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST) return descriptor;
    }
    return -1;
}

}  // namespace

bool ReplaceFileContents(const std::string& requestedPath, const std::string& bytes) {
    if (requestedPath.size() > kMaxPathBytes) return false;
    const std::string path = fileBehindLinks(requestedPath);
    struct stat old;
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && (!S_ISREG(old.st_mode) || ::access(path.c_str(), W_OK) != 0)) return false;

    std::string temporary;
    const int descriptor = createTemporaryBeside(path, temporary);
    if (descriptor < 0) return false;
    bool written = writeWhole(descriptor, bytes) && (!exists || ::fchmod(descriptor, old.st_mode & 07777) == 0) &&
                   ::fsync(descriptor) == 0;
    written = ::close(descriptor) == 0 && written;
    if (written && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

DiskFile::DiskFile(const std::string& path) : handle_(openRegularFile(path)) {}

DiskFile::~DiskFile() {
    if (isOpen()) ::close(descriptorOf(handle_));
}

uint64_t DiskFile::size() const {
    struct stat status;
    if (!isOpen() || ::fstat(descriptorOf(handle_), &status) != 0) return 0;
    return static_cast<uint64_t>(status.st_size);
}

uint32_t DiskFile::read(void* buffer, uint32_t count) {
    if (!isOpen()) return 0;
    uint32_t delivered = 0;
    while (delivered < count) {
        ssize_t got = ::read(descriptorOf(handle_), static_cast<char*>(buffer) + delivered, count - delivered);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        delivered += static_cast<uint32_t>(got);
    }
    return delivered;
}

bool PathExists(const std::string& path) {
    struct stat status;
    return path.size() <= kMaxPathBytes && ::stat(path.c_str(), &status) == 0;
}

bool DiskFile::seekTo(uint64_t position) {
    if (!isOpen() || position > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return false;
    return ::lseek(descriptorOf(handle_), static_cast<off_t>(position), SEEK_SET) >= 0;
}

}  // namespace framework

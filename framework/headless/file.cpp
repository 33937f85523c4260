// Files on POSIX systems, for the headless build the tests run.
#include "framework/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

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

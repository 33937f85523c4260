#include <cstring>

#include "framework/file.h"

namespace framework {

uint32_t MemoryFile::read(void* buffer, uint32_t count) {
    if (position_ >= bytes_.size()) return 0;
    uint64_t left = bytes_.size() - position_;
    uint32_t delivered = left < count ? static_cast<uint32_t>(left) : count;
    std::memcpy(buffer, bytes_.data() + position_, delivered);
    position_ += delivered;
    return delivered;
}

bool MemoryFile::seekTo(uint64_t position) {
    position_ = position;
    return true;
}

}  // namespace framework

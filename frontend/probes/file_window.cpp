#include "frontend/probes/file_window.h"

#if defined(__SANITIZE_ADDRESS__)
#define TESSARYN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSARYN_ASAN 1
#endif
#endif

#ifdef TESSARYN_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace {

// Under AddressSanitizer the bytes past what the last read delivered are made
// unreadable, so a probe that looks at stale bytes fails in the tests and the
// fuzzer instead of silently reading the previous window.
void MarkUnread(uint8_t* bytes, uint32_t held, uint32_t capacity) {
#ifdef TESSARYN_ASAN
    ASAN_UNPOISON_MEMORY_REGION(bytes, capacity);
    ASAN_POISON_MEMORY_REGION(bytes + held, capacity - held);
#else
    (void)bytes, (void)held, (void)capacity;
#endif
}

}  // namespace

FileWindow::FileWindow(framework::File& file, uint32_t capacity)
    : file_(file), bytes_(new uint8_t[capacity]), capacity_(capacity) {
    MarkUnread(bytes_.get(), 0, capacity_);
}

FileWindow::~FileWindow() { MarkUnread(bytes_.get(), capacity_, capacity_); }

uint32_t FileWindow::Load(uint64_t position, uint32_t count) {
    if (count == 0 || count > capacity_) count = capacity_;
    MarkUnread(bytes_.get(), capacity_, capacity_);
    start_ = position;
    held_ = file_.seekTo(position) ? file_.read(bytes_.get(), count) : 0;
    MarkUnread(bytes_.get(), held_, capacity_);
    return held_;
}

bool FileWindow::Holds(uint64_t position, uint32_t count) const {
    if (position < start_ || position - start_ > held_) return false;
    return held_ - (position - start_) >= count;
}

bool FileWindow::Bring(uint64_t position, uint32_t count) {
    if (Holds(position, count)) return true;
    Load(position);
    return Holds(position, count);
}

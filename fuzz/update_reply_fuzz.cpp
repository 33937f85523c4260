// Feeds arbitrary update-server replies to the About box's reply reader. The
// reader stops receiving once it calls the bytes held complete, so from then on
// more bytes must never change what it parses: every longer prefix is complete
// too and parses to the same numbers.
#include <cstdint>
#include <cstdlib>

#include "frontend/editors/update_check.h"

namespace {

constexpr size_t kReplyCapacity = 4096;  // the reader holds at most this much

bool SameParse(const char* reply, size_t size, const frontend::UpdateCheckResult& expected) {
    frontend::UpdateCheckResult parsed{0, 1, 2};
    parsed.error = frontend::ParseUpdateReply(reply, size, parsed);
    return parsed.error == expected.error && parsed.newestPacker == expected.newestPacker &&
           parsed.newestFrontend == expected.newestFrontend;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kReplyCapacity) return 0;
    const char* reply = reinterpret_cast<const char*>(data);
    size_t firstComplete = 0;
    while (firstComplete <= size && !frontend::UpdateReplyIsComplete(reply, firstComplete)) ++firstComplete;
    if (firstComplete > size) return 0;
    frontend::UpdateCheckResult settled{0, 1, 2};
    settled.error = frontend::ParseUpdateReply(reply, firstComplete, settled);
    if (settled.error != 0) std::abort();
    for (size_t longer = firstComplete + 1; longer <= size; ++longer) {
        if (!frontend::UpdateReplyIsComplete(reply, longer) || !SameParse(reply, longer, settled)) std::abort();
    }
    return 0;
}

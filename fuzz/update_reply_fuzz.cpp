// Feeds arbitrary update-server replies to the About box's reply reader. It
// stops receiving once it calls the bytes held complete, so more bytes must
// never change what it parses: every longer prefix is complete too and parses
// to the same numbers.
#include <cstdint>
#include <cstdlib>

#include "frontend/update/update_check.h"

namespace {

frontend::UpdateCheckResult Parsed(const char* reply, size_t size) {
    frontend::UpdateCheckResult parsed{frontend::UpdateError::None, 1, 2};
    parsed.error = frontend::ParseUpdateReply(reply, size, parsed);
    return parsed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;  // the reader holds at most this much
    const char* reply = reinterpret_cast<const char*>(data);
    size_t complete = 0;
    while (complete <= size && !frontend::UpdateReplyIsComplete(reply, complete)) ++complete;
    if (complete > size) return 0;
    const frontend::UpdateCheckResult settled = Parsed(reply, complete);
    for (size_t longer = complete; longer <= size; ++longer) {
        const frontend::UpdateCheckResult parsed = Parsed(reply, longer);
        if (!frontend::UpdateReplyIsComplete(reply, longer) || parsed.error != frontend::UpdateError::None ||
            parsed.newestPacker != settled.newestPacker || parsed.newestFrontend != settled.newestFrontend) {
            std::abort();
        }
    }
    return 0;
}

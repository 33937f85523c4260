#include "framework/message_map.h"

namespace framework {

namespace {

bool Matches(const MessageMapEntry& entry, UINT message, WPARAM wParam) {
    if (entry.message != message) return false;
    if (message != WM_COMMAND) return true;
    return entry.id == LOWORD(wParam) && entry.code == HIWORD(wParam);
}

}  // namespace

const MessageMapEntry* FindMessageHandler(const MessageMap* map, UINT message, WPARAM wParam) {
    for (; map != nullptr; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* entry = map->entries; entry->message != 0; ++entry) {
            if (Matches(*entry, message, wParam)) return entry;
        }
    }
    return nullptr;
}

}  // namespace framework

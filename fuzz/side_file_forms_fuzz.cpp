// Feeds arbitrary description.txt and config.txt bytes to the two forms'
// readers. What a form reads and then writes (when its checks on OK would let
// the values through) must read back as the same values, so confirming a form
// unchanged never changes the file's meaning.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "frontend/editors/config_dlg.h"
#include "frontend/editors/description_dlg.h"

namespace {

bool InRange(UINT value, UINT low, UINT high) { return value >= low && value <= high; }

std::string DescriptionValues(const CDescriptionDlg& form) {
    return std::string(form.m_strTitle) + '\n' + std::string(form.m_strArtist) + '\n' +
           std::string(form.m_strAlbumTitle) + '\n' + std::string(form.m_strAuthor) + '\n' +
           std::string(form.m_strPublisher) + '\n' + std::to_string(form.m_nTrack) + ' ' +
           std::to_string(form.m_nTrackTotal);
}

void CheckDescription(const std::string& text) {
    CDescriptionDlg read;
    read.ReadDescription(text);
    if (!InRange(read.m_nTrack, 1, 99) || !InRange(read.m_nTrackTotal, 1, 99)) return;  // refused on OK
    CDescriptionDlg again;
    again.ReadDescription(read.DescriptionText());
    if (DescriptionValues(again) != DescriptionValues(read)) std::abort();
}

std::string ConfigValues(const CConfigDlg& form) {
    std::string values = std::string(form.m_strLinkUrl);
    for (int slot = 0; slot < kClipLineCount; ++slot) {
        values += ' ' + std::to_string(form.m_bClipEnabled[slot]) + ':' + std::to_string(form.m_nClipStartSec[slot]) +
                  '.' + std::to_string(form.m_nClipStartMs[slot]) + ',' + std::to_string(form.m_nClipEndSec[slot]) +
                  '.' + std::to_string(form.m_nClipEndMs[slot]);
    }
    return values;
}

void CheckConfig(const std::string& text) {
    CConfigDlg read;
    read.ReadConfig(text);
    for (int slot = 0; slot < kClipLineCount; ++slot) {
        if (!InRange(read.m_nClipStartSec[slot], 0, 600) || !InRange(read.m_nClipEndSec[slot], 0, 600) ||
            !InRange(read.m_nClipStartMs[slot], 0, 999) || !InRange(read.m_nClipEndMs[slot], 0, 999)) {
            return;  // refused on OK
        }
    }
    CConfigDlg again;
    again.ReadConfig(read.ConfigText());
    if (ConfigValues(again) != ConfigValues(read)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;  // a side file is read in one piece of at most this much
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckDescription(text);
    CheckConfig(text);
    return 0;
}

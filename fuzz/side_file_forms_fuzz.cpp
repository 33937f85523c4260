// Feeds arbitrary description.txt and config.txt bytes to the two forms. What a
// form reads and then writes (when its checks on OK let the values through)
// must read back as the same values: written again, it gives the same text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "frontend/editors/config_dlg.h"
#include "frontend/editors/description_dlg.h"

namespace {

bool InRange(UINT value, UINT low, UINT high) { return value >= low && value <= high; }

bool Accepted(const CDescriptionDlg& form) { return InRange(form.m_nTrack, 1, 99) && InRange(form.m_nTrackTotal, 1, 99); }

bool Accepted(const CConfigDlg& form) {
    bool accepted = true;
    for (int slot = 0; slot < kClipCount; ++slot)
        accepted = accepted && InRange(form.m_nClipStartSec[slot], 0, 600) && InRange(form.m_nClipEndSec[slot], 0, 600) &&
                   InRange(form.m_nClipStartMs[slot], 0, 999) && InRange(form.m_nClipEndMs[slot], 0, 999);
    return accepted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;  // a side file is read in one piece of at most this much
    const std::string text(reinterpret_cast<const char*>(data), size);
    CDescriptionDlg description, descriptionAgain;
    description.ReadDescription(text);
    const std::string descriptionText = description.DescriptionText();
    descriptionAgain.ReadDescription(descriptionText);
    if (Accepted(description) && descriptionAgain.DescriptionText() != descriptionText) std::abort();
    CConfigDlg config, configAgain;
    config.ReadConfig(text);
    const std::string configText = config.ConfigText();
    configAgain.ReadConfig(configText);
    if (Accepted(config) && configAgain.ConfigText() != configText) std::abort();
    return 0;
}

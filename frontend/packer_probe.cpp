// The packer beside the frontend, looked at once at start-up: its path, and its
// build date from the banner in its executable, which decides whether 変換 may start it.
#include <cstring>

#include "frontend/frontend_dlg.h"
#include "frontend/packer_version.h"
#include "frontend/program_state.h"

void CFrontendDlg::ProbePackerVersion() {
    std::string frontendPath;
    framework::GetModulePath(frontendPath);
    const std::string packerPath = PackerPathBeside(frontendPath);
    // A path that would not fit stays empty and names no packer.
    g_szPackerPath[0] = '\0';
    if (packerPath.size() < kPathBufferSize) std::memcpy(g_szPackerPath, packerPath.c_str(), packerPath.size() + 1);

    PackerVersion found = ClassifyPackerDate(0);
    framework::DiskFile packer(g_szPackerPath);
    if (packer.isOpen()) found = ClassifyPackerDate(ReadPackerBannerDate(packer));
    g_dwPackerVersion = found.date;
    g_nPackerState = found.state;
    g_strPackerVersion = found.text.c_str();
}

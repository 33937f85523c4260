// The config.txt form and the main dialog's 編集 button that runs it.
#include "frontend/editors/config_dlg.h"

#include <cstdio>

#include "common/clip_lines.h"
#include "common/paths.h"
#include "frontend/editors/side_files.h"
#include "frontend/resources/resource.h"
#include "frontend/session/refusals.h"

namespace {

constexpr UINT kMaxSeconds = 600;
constexpr UINT kMaxMilliseconds = 999;
constexpr int kMaxUrlBytes = 192;
constexpr int kMaxNameBytes = kClipNameFieldSize;  // the packer keeps the first 31 bytes

struct SlotControls {
    int startSec, startMs, endSec, endMs, enable, name;
};
constexpr SlotControls kSlots[kClipCount] = {
    {IDC_CLIP1_START_SEC, IDC_CLIP1_START_MS, IDC_CLIP1_END_SEC, IDC_CLIP1_END_MS, IDC_CLIP1_ENABLE, IDC_CLIP1_NAME},
    {IDC_CLIP2_START_SEC, IDC_CLIP2_START_MS, IDC_CLIP2_END_SEC, IDC_CLIP2_END_MS, IDC_CLIP2_ENABLE, IDC_CLIP2_NAME},
    {IDC_CLIP3_START_SEC, IDC_CLIP3_START_MS, IDC_CLIP3_END_SEC, IDC_CLIP3_END_MS, IDC_CLIP3_ENABLE, IDC_CLIP3_NAME},
};

// A number of a clip's range, checked from 0 to `maximum`.
void ExchangeNumber(CDataExchange* pDX, int id, UINT& value, UINT maximum) {
    DDX_Text(pDX, id, value);
    DDV_MinMaxUInt(pDX, value, 0, maximum);
}

// Line 2, the URL: it counts only when a line feed ends it, which drops one CR
// before it; a zero byte ends it too. Line 1 is not looked at.
bool FindLinkUrl(const std::string& text, std::string& url) {
    const std::size_t lineStart = text.find('\n');
    if (lineStart == std::string::npos) return false;
    const std::size_t lineEnd = text.find('\n', lineStart + 1);
    if (lineEnd == std::string::npos) return false;
    url = text.substr(lineStart + 1, lineEnd - lineStart - 1);
    if (!url.empty() && url.back() == '\r') url.pop_back();
    url = url.substr(0, url.find('\0'));
    return true;
}

}  // namespace

CConfigDlg::CConfigDlg(bool freeClip) : CDialog(IDD_CONFIG_DIALOG), m_bFreeClip(freeClip ? BST_CHECKED : BST_UNCHECKED) {
    for (int slot = 0; slot < kClipCount; ++slot) {
        m_nClipStartSec[slot] = m_nClipEndSec[slot] = m_nClipStartMs[slot] = m_nClipEndMs[slot] = 0;
        m_bClipEnabled[slot] = 0;
    }
}

// The checks run in this order: the twelve numbers (seconds of slots 1 to 3,
// then milliseconds), the enable boxes, the URL, the free-clip box, the names.
// Disabled slots are checked too.
void CConfigDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    for (int slot = 0; slot < kClipCount; ++slot) {
        DDX_Control(pDX, kSlots[slot].startSec, m_editClipStartSec[slot]);
        DDX_Control(pDX, kSlots[slot].startMs, m_editClipStartMs[slot]);
        DDX_Control(pDX, kSlots[slot].endSec, m_editClipEndSec[slot]);
        DDX_Control(pDX, kSlots[slot].endMs, m_editClipEndMs[slot]);
    }
    for (int slot = 0; slot < kClipCount; ++slot) DDX_Control(pDX, kSlots[slot].name, m_editClipName[slot]);
    for (int slot = 0; slot < kClipCount; ++slot) {
        ExchangeNumber(pDX, kSlots[slot].startSec, m_nClipStartSec[slot], kMaxSeconds);
        ExchangeNumber(pDX, kSlots[slot].endSec, m_nClipEndSec[slot], kMaxSeconds);
    }
    for (int slot = 0; slot < kClipCount; ++slot) {
        ExchangeNumber(pDX, kSlots[slot].startMs, m_nClipStartMs[slot], kMaxMilliseconds);
        ExchangeNumber(pDX, kSlots[slot].endMs, m_nClipEndMs[slot], kMaxMilliseconds);
    }
    for (int slot = 0; slot < kClipCount; ++slot) DDX_Check(pDX, kSlots[slot].enable, m_bClipEnabled[slot]);
    DDX_Text(pDX, IDC_LINK_URL, m_strLinkUrl);
    DDV_MaxChars(pDX, m_strLinkUrl, kMaxUrlBytes);
    DDX_Check(pDX, IDC_FREE_CLIP, m_bFreeClip);
    for (int slot = 0; slot < kClipCount; ++slot) {
        DDX_Text(pDX, kSlots[slot].name, m_strClipName[slot]);
        DDV_MaxChars(pDX, m_strClipName[slot], kMaxNameBytes);
    }
}

BOOL CConfigDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    for (int slot = 0; slot < kClipCount; ++slot) EnableSlot(slot);
    return TRUE;
}

void CConfigDlg::EnableSlot(int slot) {
    const BOOL enable = m_bClipEnabled[slot] ? TRUE : FALSE;
    m_editClipStartSec[slot].EnableWindow(enable);
    m_editClipEndSec[slot].EnableWindow(enable);
    m_editClipStartMs[slot].EnableWindow(enable);
    m_editClipEndMs[slot].EnableWindow(enable);
    m_editClipName[slot].EnableWindow(enable);
}

// When a number is refused, the user is told and no enable state is taken: the
// slot's edits keep their state until a later exchange succeeds.
void CConfigDlg::FollowEnableBox(int slot) {
    (void)UpdateData(TRUE);
    EnableSlot(slot);
}

void CConfigDlg::OnClip1Enable() { FollowEnableBox(0); }
void CConfigDlg::OnClip2Enable() { FollowEnableBox(1); }
void CConfigDlg::OnClip3Enable() { FollowEnableBox(2); }

// Reading stops at the first line that has no line feed after it; what is not
// read keeps its initial value. The clip lines are found as the packer and the
// survey find them, so the form shows the clips the package will get: a clip
// line with nothing on it leaves its slot disabled. Numbers are checked on OK.
void CConfigDlg::ReadConfig(const std::string& text) {
    std::string url;
    if (!FindLinkUrl(text, url)) return;
    m_strLinkUrl = url.c_str();
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const std::array<ClipLine, kClipCount> lines = FindClipLines(bytes, static_cast<uint32_t>(text.size()));
    for (int slot = 0; slot < kClipCount; ++slot) {
        if (!lines[slot].present || lines[slot].length == 0) continue;
        const ClipLineNumbers numbers = ScanClipLine(bytes, lines[slot]);
        m_bClipEnabled[slot] = 1;
        m_nClipStartSec[slot] = numbers.startSeconds;
        m_nClipStartMs[slot] = numbers.startMilliseconds;
        m_nClipEndSec[slot] = numbers.endSeconds;
        m_nClipEndMs[slot] = numbers.endMilliseconds;
    }
}

std::string CConfigDlg::ConfigText() const {
    std::string text = ConfigHead(std::string(m_strLinkUrl));
    int lastEnabled = -1;
    for (int slot = 0; slot < kClipCount; ++slot) {
        if (m_bClipEnabled[slot]) lastEnabled = slot;
    }
    for (int slot = 0; slot <= lastEnabled; ++slot) {
        char line[64] = "";
        if (m_bClipEnabled[slot]) {
            std::snprintf(line, sizeof line, "%03u.%03u,%03u.%03u", m_nClipStartSec[slot], m_nClipStartMs[slot],
                          m_nClipEndSec[slot], m_nClipEndMs[slot]);
        }
        text += std::string(line) + "\r\n";
    }
    return text;
}

BEGIN_MESSAGE_MAP(CConfigDlg, CDialog)
    ON_BN_CLICKED(IDC_CLIP1_ENABLE, OnClip1Enable)
    ON_BN_CLICKED(IDC_CLIP2_ENABLE, OnClip2Enable)
    ON_BN_CLICKED(IDC_CLIP3_ENABLE, OnClip3Enable)
END_MESSAGE_MAP()

ClipFlags CConfigDlg::EnabledClips() const {
    ClipFlags enabled{};
    for (int slot = 0; slot < kClipCount; ++slot) enabled[slot] = m_bClipEnabled[slot] != BST_UNCHECKED;
    return enabled;
}

NextStep EditConfig(FrontendSession& session, const std::string& musicPath, CWnd& owner) {
    CConfigDlg form(session.freeClip);
    if (musicPath.empty()) {
        owner.MessageBox(kChooseMusicFileFirst, kErrorBeforeConversion, MB_OK);
        return NextStep::Nothing;
    }
    for (int slot = 0; slot < kClipCount; ++slot) form.m_strClipName[slot] = session.clipName[slot].c_str();
    const std::string path = SiblingPath(musicPath, kConfigName);
    form.ReadConfig(ReadSideFile(path));
    const ClipFlags asRead = form.EnabledClips();
    const bool confirmed = form.DoModal() == IDOK;  // not when cancelled, or when the form could not be shown
    session.clipEnabled = confirmed ? form.EnabledClips() : asRead;
    if (!confirmed) return NextStep::Nothing;
    for (int slot = 0; slot < kClipCount; ++slot) session.clipName[slot] = std::string(form.m_strClipName[slot]);
    session.freeClip = form.m_bFreeClip != BST_UNCHECKED;
    WriteSideFile(path, form.ConfigText());
    return NextStep::SurveyKeepingClips;
}

// The description.txt form and the main dialog's 編集 button that runs it.
#include "frontend/editors/description_dlg.h"

#include <algorithm>
#include <cstdio>

#include "common/decimal.h"
#include "common/package_layout.h"
#include "common/paths.h"
#include "frontend/editors/side_files.h"
#include "frontend/resources/resource.h"
#include "frontend/session/refusals.h"

namespace {

constexpr int kMaxTextBytes = 64;

// Where the line ending at `end` is followed by the next: after CR LF, or
// after a lone CR or LF, so files with LF-only or CR-only line ends lose nothing.
std::size_t NextLineStart(const std::string& text, std::size_t end) {
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') return end + 2;
    return std::min(end + 1, text.size());
}

}  // namespace

CDescriptionDlg::CDescriptionDlg() : CDialog(IDD_DESCRIPTION_DIALOG) { SetInitialValues(); }

void CDescriptionDlg::SetInitialValues() {
    m_strAlbumTitle.Empty();
    m_strArtist.Empty();
    m_strAuthor.Empty();
    m_strPublisher.Empty();
    m_strTitle.Empty();
    m_nMinutes = 0;
    m_nSeconds = 0;
    m_nTrack = 1;
    m_nTrackTotal = 1;
}

void CDescriptionDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_ALBUM_TITLE, m_strAlbumTitle);
    DDV_MaxChars(pDX, m_strAlbumTitle, kMaxTextBytes);
    DDX_Text(pDX, IDC_ARTIST, m_strArtist);
    DDV_MaxChars(pDX, m_strArtist, kMaxTextBytes);
    DDX_Text(pDX, IDC_AUTHOR, m_strAuthor);
    DDV_MaxChars(pDX, m_strAuthor, kMaxTextBytes);
    DDX_Text(pDX, IDC_MINUTES, m_nMinutes);
    DDV_MinMaxUInt(pDX, m_nMinutes, 0, 99);
    DDX_Text(pDX, IDC_SECONDS, m_nSeconds);
    DDV_MinMaxUInt(pDX, m_nSeconds, 0, 59);
    DDX_Text(pDX, IDC_PUBLISHER, m_strPublisher);
    DDV_MaxChars(pDX, m_strPublisher, kMaxTextBytes);
    DDX_Text(pDX, IDC_TITLE, m_strTitle);
    DDV_MaxChars(pDX, m_strTitle, kMaxTextBytes);
    DDX_Text(pDX, IDC_TRACK, m_nTrack);
    DDV_MinMaxUInt(pDX, m_nTrack, 1, 99);
    DDX_Text(pDX, IDC_TRACK_TOTAL, m_nTrackTotal);
    DDV_MinMaxUInt(pDX, m_nTrackTotal, 1, 99);
}

// Each line by itself, split at its first comma; a line without one is passed
// over. A zero byte ends its line's value, and the text where a line begins.
void CDescriptionDlg::ReadDescription(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && text[at] != '\0') {
        const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
        const std::string line = text.substr(at, std::min(end, text.find('\0', at)) - at);
        const std::size_t comma = line.find(',');
        if (comma != std::string::npos) TakeValue(line.substr(0, comma), line.substr(comma + 1));
        at = NextLineStart(text, end);
    }
}

void CDescriptionDlg::TakeValue(const std::string& key, const std::string& value) {
    if (key == "title") {
        m_strTitle = value.c_str();
    } else if (key == "artist") {
        m_strArtist = value.c_str();
    } else if (key == "album_title") {
        m_strAlbumTitle = value.c_str();
    } else if (key == "track_number") {
        // Track and total as two digits each (0312); a sign stays with both parts.
        const int32_t number = static_cast<int32_t>(ReadDecimal(value.c_str(), DecimalOverflow::Wrap).value);
        m_nTrack = static_cast<UINT>(number / 100 % 100);
        m_nTrackTotal = static_cast<UINT>(number % 100);
    } else if (key == "author") {
        m_strAuthor = value.c_str();
    } else if (key == "publisher") {
        m_strPublisher = value.c_str();
    }
}

// The single rights-holder field goes under author and again under copyright.
std::string CDescriptionDlg::DescriptionText() const {
    char numbers[2][32];
    std::snprintf(numbers[0], sizeof numbers[0], "%02u%02u", m_nTrack, m_nTrackTotal);
    std::snprintf(numbers[1], sizeof numbers[1], "%02u%02u", m_nMinutes, m_nSeconds);
    const std::string author(m_strAuthor);
    return "title," + std::string(m_strTitle) + "\r\n" +            //
           "artist," + std::string(m_strArtist) + "\r\n" +          //
           "album_title," + std::string(m_strAlbumTitle) + "\r\n" +  //
           "track_number," + numbers[0] + "\r\n" +                   //
           "time," + numbers[1] + "\r\n" +                           //
           "author," + author + "\r\n" +                             //
           "publisher," + std::string(m_strPublisher) + "\r\n" +    //
           "copyright," + author + "\r\n";
}

// The length fields go to 0 too, not back to the music's length.
void CDescriptionDlg::OnClear() {
    SetInitialValues();
    UpdateData(FALSE);
}

BEGIN_MESSAGE_MAP(CDescriptionDlg, CDialog)
    ON_BN_CLICKED(IDC_CLEAR, OnClear)
END_MESSAGE_MAP()

NextStep EditDescription(const FrontendSession& session, const std::string& musicPath, CWnd& owner) {
    CDescriptionDlg form;
    if (musicPath.empty()) {
        owner.MessageBox(kChooseMusicFileFirst, kErrorBeforeConversion, MB_OK);
        return NextStep::Nothing;
    }
    const std::string path = SiblingPath(musicPath, kDescriptionName);
    form.ReadDescription(ReadSideFile(path));
    const uint32_t seconds = PlaySeconds(session.musicInfo);
    form.m_nMinutes = seconds / 60;
    form.m_nSeconds = seconds % 60;
    if (form.DoModal() != IDOK) return NextStep::Nothing;  // cancelled, or the form could not be shown
    WriteSideFile(path, form.DescriptionText());
    return NextStep::Survey;
}

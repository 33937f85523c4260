// A program on the framework's win32 backend, run under Wine by
// tests/framework/win32_sample.sh as `framework_sample.exe REPORT`. It checks on
// real windows what the frontend's own Wine run does not: bound controls let
// go, the string table, dropped paths too long to take, and the update check's
// connection over Winsock against a silent loopback peer of its own. One line
// per check goes into REPORT, then "done".
#include <winsock2.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "framework/framework.h"
#include "framework/socket.h"
#include "sample_ids.h"

namespace {

std::FILE* g_report = nullptr;
int g_failures = 0;

void Check(bool passed, const std::string& what) {
    if (!passed) ++g_failures;
    std::fprintf(g_report, "%s %s\n", passed ? "ok" : "FAIL", what.c_str());
}

int Finish() {
    std::fprintf(g_report, "done\n");
    std::fclose(g_report);
    return g_failures == 0 ? 0 : 1;
}

// A dialog that ends as soon as it is up, its check box bound.
class CSampleDlg : public CDialog {
public:
    CSampleDlg() : CDialog(IDD_SAMPLE) {}
    CButton m_chkFlag;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_FLAG, m_chkFlag); }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        EndDialog(IDOK);
        return TRUE;
    }
};

void CheckDialogsAndStrings() {
    CSampleDlg dialog;
    Check(dialog.DoModal() == IDOK && dialog.m_chkFlag.m_hWnd == nullptr, "the dialog ran and let its bound check box go");
    CString greeting;
    Check(greeting.LoadString(IDS_GREETING) && greeting == "greeting from the string table", "string 101 loads");
    Check(!greeting.LoadString(999) && greeting.IsEmpty(), "a missing string loads as empty");
}

// A drop as the shell makes one: wide paths, each ending in a zero, and one more zero.
HDROP WideDrop(const std::string& path) {
    const int characters = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + (static_cast<std::size_t>(characters) + 1) * 2);
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, reinterpret_cast<WCHAR*>(drop + 1), characters);
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Paths of ソ: fewer characters than bytes, so only a count of bytes refuses the longer one.
void CheckLongDrops(const std::string& folder) {
    for (std::size_t bytes : {framework::kMaxPathBytes, framework::kMaxPathBytes + 1}) {
        std::string path = folder + "\\";
        while (path.size() + 2 <= bytes) path += "\x83\x5c";
        path.resize(bytes, 'a');
        std::string taken = "stale";
        const bool took = framework::TakeFirstDroppedFile(WideDrop(path), taken);
        Check(took == (bytes <= framework::kMaxPathBytes) && taken == (took ? path : ""),
              "a dropped path of " + std::to_string(bytes) + " bytes is taken whole or not at all");
    }
}

// The Winsock twins of the time-outs in tests/frontend/update_check_test.cpp (a
// refused connection is the frontend's own Wine run's: 通信エラー #1 at once).
void CheckConnections() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET silent = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);  // accepts, never reads or answers
    sockaddr_in address{};  // on a loopback port of the system's choosing
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    ::bind(silent, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(silent, 4);
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    framework::TcpConnection connection;
    Check(connection.connect("127.0.0.1", ntohs(address.sin_port), 5000), "a listener is reached");
    char reply[16];
    Check(connection.receive(reply, sizeof reply, 300) == -1, "a silent peer's receive times out");
    const std::string block(65536, 'x');
    bool sendFailed = false;  // once the peer's buffers are full
    for (int i = 0; i < 1024 && !sendFailed; ++i) sendFailed = !connection.sendAll(block.data(), block.size(), 300);
    Check(sendFailed, "a send to a peer that never reads times out");
    connection.close();
    ::closesocket(silent);
    ::WSACleanup();
}

class CSampleApp : public CWinApp {
public:
    BOOL InitInstance() override {
        if (__argc != 2 || (g_report = std::fopen(__argv[1], "wb")) == nullptr) return FALSE;
        const std::string reportPath = __argv[1];
        CheckDialogsAndStrings();
        CheckLongDrops(reportPath.substr(0, reportPath.rfind('\\')));  // an ASCII folder
        CheckConnections();
        exitCode_ = Finish();
        return FALSE;
    }

    int ExitInstance() override { return exitCode_; }

private:
    int exitCode_ = 2;
};

CSampleApp theApp;

}  // namespace

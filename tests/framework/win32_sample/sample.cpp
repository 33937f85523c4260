// A dialog program on the framework's win32 backend, run under Wine by
// tests/framework/win32_sample.sh:
//
//   framework_sample.exe REPORT CHILD_REPORT
//
// It opens its dialog and plays the user itself (types, clicks the check box,
// which opens a second dialog over the first, then presses OK), checks what the
// data exchange and the shims delivered, and writes one line per check into
// REPORT. It also starts itself as `--child CHILD_REPORT ARGUMENTS...` with a
// command line built by the framework; the child checks that the C runtime
// split it back into the same arguments. The exit code is 0 when all passed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/framework.h"
#include "sample_ids.h"

namespace {

// Arguments that a careless command line would split wrongly. CP932: ソ is 83 5C, 表 is 95 5C.
const std::vector<std::string> kTrickyArguments = {
    "two words", "quote\"inside", "trailing\\", "back\\\\\"quote", "\x83\x5c", "\x95\x5c\"end", "", "\x83\x5c\\",
};
const char kPrefixedFolder[] = "C:\\out dir\\";  // sent as -o: followed by the quoted folder
const char kTypedName[] = "typed \x83\x5c\x95\x5c";

class Report {
public:
    bool Open(const char* path) {
        file_ = std::fopen(path, "wb");
        return file_ != nullptr;
    }
    ~Report() {
        if (file_) std::fclose(file_);
    }
    void Check(bool passed, const std::string& what) {
        if (!passed) ++failures_;
        if (file_) std::fprintf(file_, "%s %s\n", passed ? "ok" : "FAIL", what.c_str());
    }
    void Note(const std::string& line) {
        if (file_) std::fprintf(file_, "%s\n", line.c_str());
    }
    int Failures() const { return failures_; }

private:
    std::FILE* file_ = nullptr;
    int failures_ = 0;
};

void CALLBACK GiveUp(HWND window, UINT, UINT_PTR, DWORD) { ::EndDialog(window, -2); }

class CSampleDlg : public CDialog {
public:
    explicit CSampleDlg(bool nested) : CDialog(IDD_SAMPLE), nested_(nested) {}

    CString m_strName = "from the member";
    int m_bFlag = 0;
    CButton m_chkFlag;

    CString pushedText;
    INT_PTR nestedResult = 0;
    bool ownerDisabledWhileNested = false;
    bool ownerEnabledAfterNested = false;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_FLAG, m_chkFlag);
        DDX_Text(pDX, IDC_NAME, m_strName);
        DDV_MaxChars(pDX, m_strName, 32);
        DDX_Check(pDX, IDC_FLAG, m_bFlag);
    }

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (!nested_) {
            ::SetTimer(m_hWnd, 1, 20000, &GiveUp);
            GetDlgItem(IDC_NAME)->GetWindowText(pushedText);
            GetDlgItem(IDC_NAME)->SetWindowText(kTypedName);
        }
        ::PostMessageA(m_chkFlag.m_hWnd, BM_CLICK, 0, 0);
        return TRUE;
    }

    afx_msg void OnFlag() {
        if (nested_) {
            ownerDisabledWhileNested = !AfxGetApp()->m_pMainWnd->IsWindowEnabled();
            EndDialog(7);
            return;
        }
        CSampleDlg over(true);
        nestedResult = over.DoModal();
        ownerDisabledWhileNested = over.ownerDisabledWhileNested;
        ownerEnabledAfterNested = IsWindowEnabled() != FALSE;
        ::PostMessageA(m_hWnd, WM_COMMAND, IDOK, 0);
    }

    DECLARE_MESSAGE_MAP()

private:
    bool nested_;
};

BEGIN_MESSAGE_MAP(CSampleDlg, CDialog)
    ON_BN_CLICKED(IDC_FLAG, OnFlag)
END_MESSAGE_MAP()

void CheckDialog(Report& report) {
    CSampleDlg dialog(false);
    AfxGetApp()->m_pMainWnd = &dialog;
    INT_PTR result = dialog.DoModal();
    report.Check(result == IDOK, "the dialog ended with OK");
    report.Check(dialog.pushedText == "from the member", "OnInitDialog pushed the member into the edit");
    report.Check(dialog.m_strName == kTypedName, "OK pulled the typed CP932 text into the member");
    report.Check(dialog.m_bFlag == BST_CHECKED, "the clicked check box was pulled as ticked");
    report.Check(dialog.nestedResult == 7, "the dialog over it returned its EndDialog value");
    report.Check(dialog.ownerDisabledWhileNested, "the main dialog was disabled while the other ran");
    report.Check(dialog.ownerEnabledAfterNested, "the main dialog was enabled again afterwards");
    report.Check(dialog.m_chkFlag.m_hWnd == nullptr, "the bound check box was let go with the window");
}

void CheckResources(Report& report) {
    framework::FileVersion version{};
    bool read = framework::GetOwnFileVersion(version);
    report.Check(read && version.parts[0] == 0 && version.parts[1] == 5 && version.parts[2] == 1018 &&
                     version.parts[3] == 0,
                 "the version resource reads 0,5,1018,0");
    CString greeting;
    report.Check(greeting.LoadString(IDS_GREETING) && greeting == "greeting from the string table",
                 "string 101 loads");
    report.Check(!greeting.LoadString(999) && greeting.IsEmpty(), "a missing string loads as empty");
    report.Check(std::strcmp(AfxGetApp()->m_pszAppName, "framework_sample") == 0, "the program name captions messages");
}

std::string ChildCommandLine(const std::string& program, const char* childReport) {
    std::vector<std::string> arguments = {program, "--child", childReport};
    arguments.insert(arguments.end(), kTrickyArguments.begin(), kTrickyArguments.end());
    return framework::BuildCommandLine(arguments) + " -o:" + framework::QuoteArgument(kPrefixedFolder);
}

void StartChild(Report& report, const char* childReport) {
    std::string program;
    report.Check(framework::GetModulePath(program), "the module path is known");
    report.Check(framework::StartDetachedProcess(program, ChildCommandLine(program, childReport)),
                 "the child was started");
}

// In the child: the arguments after the report path, as the C runtime split them.
int CheckChildArguments(int count, char** arguments, const char* reportPath) {
    Report report;
    if (!report.Open(reportPath)) return 2;
    std::vector<std::string> expected = kTrickyArguments;
    expected.push_back(std::string("-o:") + kPrefixedFolder);
    report.Check(count == static_cast<int>(expected.size()), "the child got " + std::to_string(count) + " arguments");
    for (int i = 0; i < count && i < static_cast<int>(expected.size()); ++i) {
        report.Check(expected[static_cast<std::size_t>(i)] == arguments[i], "argument " + std::to_string(i));
    }
    report.Note("done");
    return report.Failures() == 0 ? 0 : 1;
}

class CSampleApp : public CWinApp {
public:
    BOOL InitInstance() override {
        Enable3dControls();
        if (__argc >= 3 && std::strcmp(__argv[1], "--child") == 0) {
            exitCode_ = CheckChildArguments(__argc - 3, __argv + 3, __argv[2]);
            return FALSE;
        }
        Report report;
        if (__argc != 3 || !report.Open(__argv[1])) return FALSE;
        report.Note(std::string("command line: ") + m_lpCmdLine);
        CheckDialog(report);
        CheckResources(report);
        StartChild(report, __argv[2]);
        exitCode_ = report.Failures() == 0 ? 0 : 1;
        return FALSE;
    }

    int ExitInstance() override { return exitCode_; }

private:
    int exitCode_ = 2;
};

CSampleApp theApp;

}  // namespace

// Modal dialogs run by the test's script for their template.
#include "framework/headless/state.h"

namespace framework::headless {
namespace {

// While a dialog runs: its window exists and its owner is disabled. Both are
// undone when the run ends, however it ends.
class ModalRun {
public:
    explicit ModalRun(CDialog& dialog) : dialog_(dialog), window_(CreateDialogWindow(dialog)) {
        dialog_.m_hWnd = window_;
    }
    ~ModalRun() {
        DestroyRecord(window_);
        dialog_.DetachWindow();
        if (WindowRecord* owner = FindRecord(owner_)) owner->enabled = true;
    }
    ModalRun(const ModalRun&) = delete;
    ModalRun& operator=(const ModalRun&) = delete;

    // As the system does once the dialog is initialised: an owner that was enabled is disabled for the run.
    void DisableOwner(HWND owner) {
        WindowRecord* record = FindRecord(owner);
        if (record == nullptr || !record->enabled) return;
        record->enabled = false;
        owner_ = owner;
    }

    bool Ended() const { return FindRecord(window_)->ended; }
    int Result() const { return FindRecord(window_)->result; }

private:
    CDialog& dialog_;
    HWND window_;
    HWND owner_ = nullptr;
};

}  // namespace
}  // namespace framework::headless

INT_PTR CDialog::DoModal() {
    using namespace framework::headless;
    auto script = TheState().scripts.find(m_nIDTemplate);
    if (script == TheState().scripts.end()) return -1;
    DialogScript play = script->second;  // a copy: the script may install another for its own template

    ModalRun run(*this);
    OnInitDialog();
    run.DisableOwner(ModalOwner());
    if (!run.Ended()) play(*this);
    if (!run.Ended()) SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // Escape
    if (!run.Ended()) EndDialog(IDCANCEL);  // a dialog whose OnCancel refuses still ends
    return run.Result();
}

void CDialog::EndDialog(int result) {
    framework::headless::WindowRecord* window = framework::headless::FindRecord(m_hWnd);
    if (window == nullptr || window->dialog != this) return;
    window->ended = true;
    window->result = result;
}

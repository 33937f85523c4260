// The backend-neutral part of CWnd: data exchange, message routing and the
// objects that stand for controls. The rest is in each backend.
#include "framework/window.h"

#include "framework/app.h"
#include "framework/data_exchange.h"
#include "framework/platform.h"

CWnd::CWnd() = default;

CWnd::~CWnd() = default;

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return exchange.Failed() ? FALSE : TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
    if (caption == nullptr) caption = AfxGetApp() ? AfxGetApp()->m_pszAppName : "";
    return framework::ShowMessageBox(m_hWnd, text, caption, type);
}

LRESULT CWnd::Default() {
    defaultRequested_ = true;
    return 0;
}

const framework::MessageMap* CWnd::GetThisMessageMap() {
    static const framework::MessageMapEntry noEntries[] = {{0, 0, 0, nullptr}};
    static const framework::MessageMap map = {nullptr, noEntries};
    return &map;
}

const framework::MessageMap* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

bool CWnd::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const framework::MessageMapEntry* entry = framework::FindMessageHandler(GetMessageMap(), message, wParam);
    if (entry == nullptr) return false;
    bool outerRequest = defaultRequested_;  // a handler may send messages that are routed in turn
    defaultRequested_ = false;
    result = entry->handler(*this, wParam, lParam);
    bool wantsDefault = defaultRequested_;
    defaultRequested_ = outerRequest;
    return !wantsDefault;
}

CWnd* CWnd::ItemObject(int id, HWND item) const {
    std::unique_ptr<CWnd>& object = items_[id];
    if (!object) object = std::make_unique<CWnd>();
    object->m_hWnd = item;
    return object.get();
}

void CWnd::BindControl(CWnd& control, HWND item) {
    control.m_hWnd = item;
    boundControls_.push_back(&control);
}

void CWnd::DetachWindow() {
    for (CWnd* control : boundControls_) control->m_hWnd = nullptr;
    boundControls_.clear();
    items_.clear();
    systemMenu_.m_hMenu = nullptr;
    m_hWnd = nullptr;
}

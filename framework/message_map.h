// Message maps: a static table per class that binds button clicks (by control
// ID) and four window messages to member handlers. A class's table is searched
// first, then its base class's, so a derived class overrides an entry by naming
// the same control or message.
//
//   class CMyDlg : public CDialog { ... DECLARE_MESSAGE_MAP() };
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//       ON_BN_CLICKED(1001, OnConvert)
//       ON_WM_PAINT()
//   END_MESSAGE_MAP()
#pragma once

#include "framework/win_types.h"

class CWnd;

namespace framework {

using MessageHandler = LRESULT (*)(CWnd& window, WPARAM wParam, LPARAM lParam);

struct MessageMapEntry {
    UINT message;  // 0 ends the table
    UINT code;     // WM_COMMAND: the notification code (BN_CLICKED)
    UINT id;       // WM_COMMAND: the control ID
    MessageHandler handler;
};

struct MessageMap {
    const MessageMap* (*base)();  // null for the root of the hierarchy
    const MessageMapEntry* entries;
};

// The entry that takes `message` (for WM_COMMAND: the ID and code in wParam),
// searching `map` and then its bases; null when none does.
const MessageMapEntry* FindMessageHandler(const MessageMap* map, UINT message, WPARAM wParam);

}  // namespace framework

// Marks handler declarations, as the platform's headers do; means nothing.
#define afx_msg

#define DECLARE_MESSAGE_MAP()                                    \
protected:                                                       \
    static const framework::MessageMap* GetThisMessageMap();     \
    const framework::MessageMap* GetMessageMap() const override;

// The handlers are reached through lambdas written inside a member function of
// the class, so protected and private handlers can be bound.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                        \
    const framework::MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); }       \
    const framework::MessageMap* theClass::GetThisMessageMap() {                                      \
        using ThisClass = theClass;                                                                   \
        using TheBaseClass = baseClass;                                                               \
        static const framework::MessageMapEntry entries[] = {
#define END_MESSAGE_MAP()                                                                 \
            {0, 0, 0, nullptr}};                                                          \
        static const framework::MessageMap map = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                                                      \
    }

#define ON_BN_CLICKED(id, handler)                                                              \
    {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id), [](CWnd& window, WPARAM, LPARAM) -> LRESULT { \
         static_cast<ThisClass&>(window).handler();                                             \
         return 0;                                                                              \
     }},

// void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND()                                                              \
    {WM_SYSCOMMAND, 0, 0, [](CWnd& window, WPARAM wParam, LPARAM lParam) -> LRESULT {   \
         static_cast<ThisClass&>(window).OnSysCommand(static_cast<UINT>(wParam), lParam); \
         return 0;                                                                      \
     }},

// void OnPaint()
#define ON_WM_PAINT()                                                  \
    {WM_PAINT, 0, 0, [](CWnd& window, WPARAM, LPARAM) -> LRESULT {     \
         static_cast<ThisClass&>(window).OnPaint();                    \
         return 0;                                                     \
     }},

// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON()                                                             \
    {WM_QUERYDRAGICON, 0, 0, [](CWnd& window, WPARAM, LPARAM) -> LRESULT {                \
         return reinterpret_cast<LRESULT>(static_cast<ThisClass&>(window).OnQueryDragIcon()); \
     }},

// void OnDropFiles(HDROP hDropInfo)
#define ON_WM_DROPFILES()                                                           \
    {WM_DROPFILES, 0, 0, [](CWnd& window, WPARAM wParam, LPARAM) -> LRESULT {       \
         static_cast<ThisClass&>(window).OnDropFiles(reinterpret_cast<HDROP>(wParam)); \
         return 0;                                                                  \
     }},

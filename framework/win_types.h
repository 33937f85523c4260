// The Win32 types and constants the dialog framework and the frontend use.
// On Windows they are the real ones; elsewhere (the headless build) this header
// defines the same names with the same values.
#pragma once

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#else

#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using UINT = unsigned int;
using DWORD = uint32_t;  // 32 bits, as on Windows
using LONG = int32_t;
using UINT_PTR = uintptr_t;
using INT_PTR = intptr_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

struct HWND__;
struct HICON__;
struct HDC__;
struct HMENU__;
struct HDROP__;
using HWND = HWND__*;
using HICON = HICON__*;
using HCURSOR = HICON;
using HDC = HDC__*;
using HMENU = HMENU__*;
using HDROP = HDROP__*;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;

constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_ICONERASEBKGND = 0x0027;
constexpr UINT WM_QUERYDRAGICON = 0x0037;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_DROPFILES = 0x0233;
constexpr UINT EM_SETSEL = 0x00B1;

constexpr UINT BN_CLICKED = 0;
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;

constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_CLOSE = 0xF060;
constexpr UINT SC_RESTORE = 0xF120;

constexpr UINT MF_STRING = 0x00000000;
constexpr UINT MF_SEPARATOR = 0x00000800;

constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;

constexpr WORD LOWORD(uintptr_t value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return static_cast<WPARAM>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16)); }

// The size of a window icon: 32 by 32, as on Windows.
int GetSystemMetrics(int index);

#endif

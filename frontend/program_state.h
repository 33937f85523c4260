// The frontend's program-wide values: what the main window's parts and the
// forms share for the whole run. All start zero or empty when the program loads.
#pragma once

#include <cstddef>

#include "framework/framework.h"
#include "frontend/config_clips.h"
#include "frontend/music_probe.h"

// Room for a path of the longest length the frontend takes, and its terminating zero.
constexpr std::size_t kPathBufferSize = framework::kMaxPathBytes + 1;

// An image choice of a single space: no image of that kind, not even the one
// beside the music file. An empty choice means that one.
constexpr char kNoImage[] = " ";

extern char g_szPackerPath[kPathBufferSize];   // tessaryn.exe beside the frontend
extern CString g_strClipName[kClipCount];  // ring-tone clip names, passed with -chku1: to -chku3:
extern int g_bClipEnabled[kClipCount];     // clip k is present and goes to the packer
extern int g_bFreeClip;                        // pass -chkufr
extern CString g_strJacketPath;                // empty: jacket.jpg beside the music file; kNoImage: none
extern CString g_strWallpaperPath;             // empty: wallpaper.jpg beside the music file; kNoImage: none
extern MusicInfo g_musicInfo;                  // the last probe of the music file
extern int g_nPackerState;                     // a PackerState
extern DWORD g_dwFrontendVersion;              // yyyymmdd, from the version resource
extern DWORD g_dwPackerVersion;                // yyyymmdd from the packer's banner; 0 when none was found
extern CString g_strFrontendVersion;           // "Tessaryn Frontend yyyymmdd"
extern CString g_strPackerVersion;             // "Tessaryn yyyymmdd", or the recognition error

// Every value back to how the program starts (tests run the program many times in one process).
void ResetProgramState();

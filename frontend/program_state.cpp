#include "frontend/program_state.h"

#include "frontend/packer_version.h"

char g_szPackerPath[kPathBufferSize];
CString g_strClipName[kClipCount];
int g_bClipEnabled[kClipCount];
int g_bFreeClip;
CString g_strJacketPath;
CString g_strWallpaperPath;
MusicInfo g_musicInfo;
int g_nPackerState = kPackerNotRecognised;
DWORD g_dwFrontendVersion;
DWORD g_dwPackerVersion;
CString g_strFrontendVersion;
CString g_strPackerVersion;

void ResetProgramState() {
    g_szPackerPath[0] = '\0';
    for (int clip = 0; clip < kClipCount; ++clip) {
        g_strClipName[clip].Empty();
        g_bClipEnabled[clip] = 0;
    }
    g_bFreeClip = 0;
    g_strJacketPath.Empty();
    g_strWallpaperPath.Empty();
    g_musicInfo = MusicInfo{};
    g_nPackerState = kPackerNotRecognised;
    g_dwFrontendVersion = 0;
    g_dwPackerVersion = 0;
    g_strFrontendVersion.Empty();
    g_strPackerVersion.Empty();
}

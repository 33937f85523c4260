// The frontend's session: what the main dialog and the features it runs share
// for the whole run. The main dialog owns the one session and hands it to the
// feature that needs it; nothing else keeps a value from one action to the next.
#pragma once

#include <array>
#include <string>

#include "common/package_layout.h"
#include "frontend/probes/music_probe.h"
#include "frontend/probes/versions.h"

// An image choice of a single space: no image of that kind, not even the one
// beside the music file. An empty choice means that one.
constexpr char kNoImage[] = " ";

struct FrontendSession {
    PackerBeside packer;       // found once at start-up
    FrontendVersion frontend;  // read once at start-up
    std::array<std::string, kClipCount> clipName;  // ring-tone clip names, passed with -chku1: to -chku3:
    std::array<bool, kClipCount> clipEnabled{};    // clip k is present and goes to the packer
    bool freeClip = false;                         // pass -chkufr
    std::string jacketPath;     // empty: jacket.jpg beside the music file; kNoImage: none
    std::string wallpaperPath;  // empty: wallpaper.jpg beside the music file; kNoImage: none
    MusicInfo musicInfo;        // the last probe of the music file
};

// What the main dialog does once a feature has run.
enum class NextStep {
    Nothing,
    Survey,       // a plain survey: something on disk or an image choice changed
    ResetSurvey,  // a new music file
    // After the config.txt form: the clips the form enables stand, whatever the
    // file on disk now says (its write may have failed).
    SurveyKeepingClips,
};

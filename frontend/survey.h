// The survey: the music file and the side files the packer will take from its
// folder, looked at as they are on disk now. It returns what the main dialog
// shows (status texts, the expected package size, the length and rate, the
// options the song calls for) and what the session keeps (the song's values and
// the clips config.txt enables); it changes nothing itself.
#pragma once

#include <optional>
#include <string>

#include "frontend/probes/config_clips.h"
#include "frontend/probes/music_probe.h"
#include "frontend/session/session.h"

// A packer option as the song calls for it.
struct OptionOffer {
    bool offered = false;       // the box is enabled; when not, it is also unticked
    bool tickedByReset = false;  // a reset survey ticks it
};

struct SurveyResult {
    // The music file: false when it cannot be opened, and it is then
    // forgotten; the values below, the texts and the offers are left out.
    bool musicOpened = false;
    bool mayBeDamaged = false;  // the user is warned
    MusicInfo musicInfo;
    MusicTexts musicTexts;
    OptionOffer refragment;      // for a fragmented file
    OptionOffer rateCamouflage;  // above the packer's bitrate cap
    // The side files, and the expected size; all empty without a music path.
    std::string configStatus, jacketStatus, descriptionStatus, wallpaperStatus;
    std::string expectedSize;
    std::optional<ClipFlags> clipsInConfig;  // when config.txt was there to read
};

// A reset survey (for a new music file) looks at the default images, not the
// session's choices, which it will make the session forget; but only when the
// music file opens.
SurveyResult Survey(const FrontendSession& session, const std::string& musicPath, bool reset);

// What a survey leaves in the session: the song's values, the clips config.txt
// enables unless `step` keeps the session's, and after a reset survey of a music
// file that opens, no image choice and the free clip.
void KeepSurveyFindings(FrontendSession& session, const SurveyResult& found, NextStep step);

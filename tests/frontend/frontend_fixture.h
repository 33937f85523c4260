// The frontend over the headless backend: its features called with a session,
// and the whole program started as a user starts it where the main dialog
// itself is the subject. The program and its packer lie in one folder, songs
// and side files in another. Sources are UTF-8 compiled to CP932, so the texts
// compared are the bytes the program shows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "framework/headless/headless.h"
#include "frontend/frontend_app.h"
#include "frontend/frontend_dlg.h"
#include "frontend/resources/resource.h"
#include "tests/frontend/jpeg_bytes.h"
#include "tests/tools/testkit.h"

namespace headless = framework::headless;
using jpeg_bytes::Jpeg;
using testkit::Bytes;

// A track of our builder at 48000 Hz declaring `avgBitrate`: one sample of 1024
// in the movie box, then one fragment per entry (its runs' sample counts).
inline Bytes Track(uint32_t avgBitrate, const std::vector<std::vector<uint32_t>>& fragments = {}) {
    const testkit::TrackLayout layout = testkit::layoutOf(1, fragments);
    Bytes track = testkit::buildTrack(testkit::fakeFrames(48000, testkit::samplesUsed(layout)), layout);
    const Bytes declared = {0, 1, 0xF4, 0, 0, 0, 0x7D, 0};  // the builder's maximum and average: 128000, 32000
    const auto at = std::search(track.begin(), track.end(), declared.begin(), declared.end());
    testkit::putU32(track, std::size_t(at - track.begin()) + 4, avgBitrate);
    return track;
}

inline std::string Replaced(std::string text, const std::string& placeholder, const std::string& value) {
    for (auto at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
    return text;
}

inline std::string TextOf(const std::string& path) {
    const Bytes bytes = testkit::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

class FrontendTest : public ::testing::Test {
protected:
    void SetUp() override { Fresh(); }
    void TearDown() override { headless::Reset(); }

    // As before the program's first start: nothing shown or recorded, its
    // resources, a current packer beside it.
    void Fresh() {
        headless::Reset();
        headless::SetModulePath(Program("frontend.exe"));
        headless::SetFileVersion({{0, 5, 1018, 0}});
        headless::SetStringTable({{IDS_ABOUTBOX, "Tessaryn のﾊﾞｰｼﾞｮﾝ情報(&A)..."}});
        Write(Program("tessaryn.exe"), "MZ" + std::string(200, '\0') + "Tessaryn (20051110)" + std::string(16, '\0'));
    }

    std::string Program(const std::string& name) const { return folder_ / ("program/" + name); }
    std::string Song(const std::string& name) const { return folder_ / ("songs/" + name); }
    template <typename Content>
    void Write(const std::string& path, const Content& content) const { testkit::writeFile(path, content); }

    // Runs the program with its raw command line; `play` runs while the main dialog is up, and must.
    void Start(const std::string& commandLine, const std::function<void(CFrontendDlg&)>& play) {
        CFrontendApp app;
        WhileUp(IDD_FRONTEND_DIALOG, [&](CDialog& dlg) { play(static_cast<CFrontendDlg&>(dlg)); },
                [&] { framework::RunApplication(commandLine.c_str()); });
    }
    void StartWithSong(const std::string& song, const std::function<void(CFrontendDlg&)>& play) {
        Start("\"" + Song(song) + "\"", play);
    }

    static std::string Text(const CWnd& dlg, int id) { return headless::ControlText(dlg, id); }

    // Runs `dialog` (a form or the viewer) and `play` while it is up, which must happen.
    static void WhileUp(UINT dialog, const std::function<void(CDialog&)>& play, const std::function<void()>& open) {
        bool played = false;
        headless::OnDialog(dialog, [&](CDialog& shown) {
            played = true;
            play(shown);
        });
        open();
        EXPECT_TRUE(played) << "dialog " << dialog << " never came up";
    }

    static std::string ShownCommand(CFrontendDlg& dlg) {
        std::string shown;
        WhileUp(IDD_COMMAND_DIALOG, [&](CDialog& viewer) { shown = Text(viewer, IDC_COMMAND); },
                [&] { headless::Click(dlg, IDC_SHOW_COMMAND); });
        return shown;
    }

    // Each message box shown, as "title | text".
    static std::vector<std::string> Messages() {
        std::vector<std::string> shown;
        for (const auto& box : headless::MessageBoxes()) shown.push_back(box.caption + " | " + box.text);
        return shown;
    }

    CWnd owner_;  // what a feature shows its refusals over

private:
    testkit::TempFolder folder_;
};

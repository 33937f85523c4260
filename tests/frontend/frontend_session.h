// The frontend started as a user starts it, over the headless backend: the
// program and its packer in one folder, songs and side files in another, and
// the main dialog up while a test plays the user. Sources are UTF-8 compiled to
// CP932, so the texts compared are the bytes the program shows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "framework/headless/headless.h"
#include "frontend/frontend_app.h"
#include "frontend/frontend_dlg.h"
#include "frontend/program_state.h"
#include "frontend/resources/resource.h"
#include "tests/frontend/probe_inputs.h"
#include "tests/tools/testkit.h"

namespace headless = framework::headless;
using probe_inputs::Bytes;
using probe_inputs::operator+;

// A track of our builder at 48000 Hz declaring `avgBitrate`: one sample of 1024
// in the movie box, then one fragment per entry (its runs' sample counts).
inline Bytes Track(uint32_t avgBitrate, const std::vector<std::vector<uint32_t>>& fragments = {}) {
    testkit::TrackLayout layout;
    layout.moovSamples = 1;
    layout.fragments = fragments;
    Bytes track = testkit::buildTrack(testkit::fakeFrames(48000, testkit::samplesUsed(layout)), layout);
    const Bytes declared = probe_inputs::u32(128000) + probe_inputs::u32(32000);  // the builder's maximum and average
    auto at = std::search(track.begin(), track.end(), declared.begin(), declared.end());
    testkit::putU32(track, std::size_t(at - track.begin()) + 4, avgBitrate);
    return track;
}

// A baseline JPEG of `width` x `height`, padded by an APP0 segment to `total` bytes.
inline Bytes Jpeg(uint16_t width, uint16_t height, std::size_t total = 0) {
    const Bytes frame = probe_inputs::frameHeader(width, height) + probe_inputs::imageTail();
    return probe_inputs::startOfImage() + (total ? probe_inputs::paddingUpTo(total - frame.size()) : Bytes{}) + frame;
}

inline std::string Replaced(std::string text, const std::string& placeholder, const std::string& value) {
    for (auto at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
    return text;
}

class FrontendTest : public ::testing::Test {
protected:
    void SetUp() override { Fresh(); }
    void TearDown() override { headless::Reset(); }

    // As before the program's first start: nothing shown or recorded, the
    // program's values as it loads, its resources, a current packer beside it.
    void Fresh() {
        headless::Reset();
        ResetProgramState();
        headless::SetModulePath(Program("frontend.exe"));
        headless::SetFileVersion({{0, 5, 1018, 0}});
        headless::SetStringTable({{IDS_ABOUTBOX, "Tessaryn のﾊﾞｰｼﾞｮﾝ情報(&A)..."}});
        WritePacker("Tessaryn (20051110)");
    }

    std::string Program(const std::string& name) const { return folder_ / ("program/" + name); }
    std::string Song(const std::string& name) const { return folder_ / ("songs/" + name); }
    template <typename Content>
    void Write(const std::string& path, const Content& content) const { testkit::writeFile(path, content); }
    void WritePacker(const std::string& banner) const {
        Write(Program("tessaryn.exe"), "MZ" + std::string(200, '\0') + banner + std::string(16, '\0'));
    }

    // Runs the program with its raw command line; `play` runs while the main dialog is up.
    void Start(const std::string& commandLine, const std::function<void(CFrontendDlg&)>& play) {
        headless::OnDialog(IDD_FRONTEND_DIALOG, [&](CDialog& dlg) { play(static_cast<CFrontendDlg&>(dlg)); });
        ASSERT_EQ(AfxGetApp(), &theApp);
        framework::RunApplication(commandLine.c_str());
    }
    void StartWithSong(const std::string& song, const std::function<void(CFrontendDlg&)>& play) { Start("\"" + Song(song) + "\"", play); }

    static std::string Text(const CFrontendDlg& dlg, int id) { return headless::ControlText(dlg, id); }

    // Clicks コマンド表示 and reads the viewer.
    static std::string ShownCommand(CFrontendDlg& dlg) {
        std::string shown;
        headless::OnDialog(IDD_COMMAND_DIALOG,
                           [&](CDialog& viewer) { shown = headless::ControlText(viewer, IDC_COMMAND); });
        headless::Click(dlg, IDC_SHOW_COMMAND);
        return shown;
    }

    // Each message box shown, as "title | text".
    static std::vector<std::string> Messages() {
        std::vector<std::string> shown;
        for (const auto& box : headless::MessageBoxes()) shown.push_back(box.caption + " | " + box.text);
        return shown;
    }

private:
    testkit::TempFolder folder_;
};

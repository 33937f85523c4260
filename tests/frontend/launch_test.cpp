// The packer's command line built from a session, the refusals of every
// button that needs a song (and of 変換 without a usable packer), and the main
// dialog's 変換 starting exactly what its viewer shows.
#include <string>

#include "frontend/editors/config_dlg.h"
#include "frontend/editors/description_dlg.h"
#include "frontend/editors/text_editor.h"
#include "frontend/file_choosers.h"
#include "frontend/packer_launch.h"
#include "tests/frontend/frontend_fixture.h"

namespace {

using Launch = FrontendTest;

TEST_F(Launch, TheCommandLineCarriesTheSessionAndTheInputs) {
    const PackageInputs song{"D:\\m\\ソング.3g2", "D:\\m\\ソング.kmf", false, false};
    const std::string start = "\"C:\\T\\tessaryn.exe\" \"D:\\m\\ソング.3g2\" -o:\"D:\\m\\ソング.kmf\" -mode:";
    struct Row { const char* what; PackageInputs inputs; void (*set)(FrontendSession&); std::string command; };
    const Row rows[] = {
        {"a plain song", song, [](FrontendSession&) {}, start + "23 "},
        {"both options ticked", {song.musicPath, song.outputPath, true, true}, [](FrontendSession&) {}, start + "63 "},
        {"rate camouflage alone", {song.musicPath, song.outputPath, false, true}, [](FrontendSession&) {}, start + "55 "},
        {"no images, a folder as output, clips 1 and 3, the free clip", {song.musicPath, "D:\\out\\", false, false},
         [](FrontendSession& s) {
             s.jacketPath = s.wallpaperPath = kNoImage;
             s.clipEnabled = {true, false, true};
             s.clipName = {"say \"hi\"", "unused", ""};
             s.freeClip = true;
         },
         "\"C:\\T\\tessaryn.exe\" \"D:\\m\\ソング.3g2\" -o:\"D:\\out\\\\\" -mode:23 -jct:\" \" -wall:\" \" "
         "-chku1:\"say \\\"hi\\\"\" -chku3:\"\" -chkufr "},
        {"chosen images", song, [](FrontendSession& s) { s.jacketPath = "E:\\j.jpg", s.wallpaperPath = "w.jpg"; },
         start + "23 -jct:\"E:\\j.jpg\" -wall:\"w.jpg\" "},
        {"no song", {}, [](FrontendSession&) {}, "\"C:\\T\\tessaryn.exe\" \"\" -o:\"\" -mode:23 "},
    };
    for (const Row& row : rows) {
        FrontendSession session;
        session.packer.path = "C:\\T\\tessaryn.exe";
        row.set(session);
        std::string command;
        for (const std::string& arg : BuildCommandArgs(session, row.inputs)) command += arg + " ";
        EXPECT_EQ(command, row.command) << row.what;
    }
}

// Each button that needs a song refuses without one, in its own words, and does
// nothing more; 変換 also refuses without a usable packer.
TEST_F(Launch, RefusalsBeforeAnythingStarts) {
    const std::string error = "変換開始前のエラー | ", music = error + "最初に楽曲ファイルを選択してください";
    const std::string sound = error + "最初に音源ファイルを選択してください";
    FrontendSession session;
    session.packer.path = "tessaryn.exe";
    const auto convert = [&](PackerState state, const char* song) {
        session.packer.state = state;
        Convert(session, {song, "out.kmf", false, false}, owner_);
        return true;
    };
    struct Row { const char* what; std::function<bool()> act; std::string shown; };
    const Row rows[] = {
        {"変換 without a song", [&] { return convert(PackerState::Usable, ""); }, error + "ファイルを選択してください"},
        {"変換 with a packer not recognised", [&] { return convert(PackerState::NotRecognised, "song.3g2"); },
         error + "Tessarynを認識できません"},
        {"変換 with an old packer", [&] { return convert(PackerState::TooOld, "song.3g2"); },
         error + "古いバージョンのTessarynを認識しました\n最新のTessarynを入手してください"},
        {"変換 that starts", [&] { return convert(PackerState::Usable, "song.3g2"); }, ""},
        {"an image", [&] { return ChooseImage(ImageSlot::Jacket, session, "", owner_) == NextStep::Nothing; }, sound},
        {"the description form", [&] { return EditDescription(session, "", owner_) == NextStep::Nothing; }, music},
        {"the config form", [&] { return EditConfig(session, "", owner_) == NextStep::Nothing; }, music},
        {"開く description.txt", [&] { return !OpenInTextEditor(SideFile::Description, "", owner_); }, sound},
        {"開く config.txt", [&] { return !OpenInTextEditor(SideFile::Config, "", owner_); }, music},
    };
    for (const Row& row : rows) {
        Fresh();
        EXPECT_TRUE(row.act()) << row.what;
        EXPECT_EQ(Messages(), row.shown.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.shown}) << row.what;
        EXPECT_EQ(headless::StartedProcesses().size(), row.shown.empty() ? 1u : 0u) << row.what;
    }
}

// Through the dialog: the packer found beside the program, the options the
// song calls for, the clips config.txt defines (with the empty names of a new
// start) and the free clip of a new song. An output path too long for its box
// is refused before anything starts.
TEST_F(Launch, ConvertStartsExactlyTheCommandTheViewerShows) {
    Write(Song("song.3g2"), Track(49152, {{8}}));
    Write(Song("config.txt"), "KDDIMU01\r\n\r\n\r\n1.000,2.000\r\n\r\n3.000,4.000\r\n");
    std::string shown, longest;  // as many characters as the output path's box lets in: 3072 bytes
    for (int i = 0; i < 1536; ++i) longest += "ソ";
    StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
        shown = ShownCommand(dlg);
        headless::Click(dlg, IDC_CONVERT);
        headless::TypeText(dlg, IDC_OUTPUT_PATH, longest);
        headless::Click(dlg, IDC_CONVERT);
        EXPECT_EQ(headless::FocusedControl(dlg), IDC_OUTPUT_PATH);
    });
    EXPECT_EQ(shown, "\"" + Program("tessaryn.exe") + "\" \"" + Song("song.3g2") + "\" -o:\"" + Song("song.kmf") +
                         "\" -mode:63 -chku1:\"\" -chku3:\"\" -chkufr ");
    ASSERT_EQ(headless::StartedProcesses().size(), 1u);
    EXPECT_EQ(headless::StartedProcesses()[0].program + " < " + headless::StartedProcesses()[0].commandLine,
              Program("tessaryn.exe") + " < " + shown);
    EXPECT_EQ(Messages(), std::vector<std::string>{"frontend | 1536 文字以内で入力してください。"});
}

}  // namespace

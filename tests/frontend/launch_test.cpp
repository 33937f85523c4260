// The packer's command line built from a session, the refusals that keep a
// conversion from starting, and the main dialog's 変換 starting exactly what
// its viewer shows.
#include <string>

#include "frontend/packer_launch.h"
#include "tests/frontend/frontend_fixture.h"

namespace {

using Launch = FrontendTest;

std::string Joined(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args) line += arg + " ";
    return line;
}

TEST_F(Launch, TheCommandLineCarriesTheSessionAndTheInputs) {
    const PackageInputs song{"D:\\m\\ソング.3g2", "D:\\m\\ソング.kmf", false, false};
    const std::string start = "\"C:\\T\\tessaryn.exe\" \"D:\\m\\ソング.3g2\" -o:\"D:\\m\\ソング.kmf\" -mode:";
    struct Row { const char* what; PackageInputs inputs; void (*set)(FrontendSession&); std::string command; };
    const Row rows[] = {
        {"a plain song", song, [](FrontendSession&) {}, start + "23 "},
        {"both options ticked", {song.musicPath, song.outputPath, true, true}, [](FrontendSession&) {}, start + "63 "},
        {"re-fragmenting alone", {song.musicPath, song.outputPath, true, false}, [](FrontendSession&) {}, start + "31 "},
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
        EXPECT_EQ(Joined(BuildCommandArgs(session, row.inputs)), row.command) << row.what;
    }
}

TEST_F(Launch, RefusesWithoutASongOrAUsablePacker) {
    const std::string error = "変換開始前のエラー | ";
    struct Row { const char* song; PackerState state; std::string shown; };
    const Row rows[] = {
        {"", PackerState::Usable, error + "ファイルを選択してください"},
        {"song.3g2", PackerState::NotRecognised, error + "Tessarynを認識できません"},
        {"song.3g2", PackerState::TooOld, error + "古いバージョンのTessarynを認識しました\n最新のTessarynを入手してください"},
        {"song.3g2", PackerState::Usable, ""},
    };
    for (const Row& row : rows) {
        Fresh();
        FrontendSession session;
        session.packer.path = "tessaryn.exe";
        session.packer.state = row.state;
        Convert(session, {row.song, "out.kmf", false, false}, owner_);
        const std::vector<std::string> messages = Messages();
        EXPECT_EQ(messages.empty() ? "" : messages[0], row.shown);
        EXPECT_EQ(headless::StartedProcesses().size(), row.shown.empty() ? 1u : 0u) << row.shown;
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

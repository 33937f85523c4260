// The packer's command line as the viewer shows it and 変換 starts it, and the
// refusals that keep a conversion from starting.
#include <cstdio>
#include <string>

#include "tests/frontend/frontend_session.h"

namespace {

using Launch = FrontendTest;

TEST_F(Launch, StartsExactlyTheCommandTheViewerShows) {
    struct Row {
        const char* name;
        const char* song;  // in a folder of its own, {S}; empty: started without one
        Bytes track;
        bool clips;  // beside it a config.txt that defines clips 1 and 3
        void (*play)(CFrontendDlg&);
        const char* command;  // {P}: the packer's path
    };
    const auto nothing = [](CFrontendDlg&) {};
    const Row rows[] = {
        {"a plain song", "song.3g2", Track(48000), false, nothing,
         "\"{P}\" \"{S}song.3g2\" -o:\"{S}song.kmf\" -mode:23 -chkufr "},
        {"both options ticked", "song.3g2", Track(49152, {{8}}), false, nothing,
         "\"{P}\" \"{S}song.3g2\" -o:\"{S}song.kmf\" -mode:63 -chkufr "},
        {"rate camouflage alone", "song.3g2", Track(49152, {{8}}), false,
         [](CFrontendDlg& dlg) { headless::ClickCheckBox(dlg, IDC_REFRAGMENT); },
         "\"{P}\" \"{S}song.3g2\" -o:\"{S}song.kmf\" -mode:55 -chkufr "},
        {"re-fragmenting alone", "song.3g2", Track(49152, {{8}}), false,
         [](CFrontendDlg& dlg) { headless::ClickCheckBox(dlg, IDC_RATE_CAMOUFLAGE); },
         "\"{P}\" \"{S}song.3g2\" -o:\"{S}song.kmf\" -mode:31 -chkufr "},
        {"no images, a typed folder, clips from config.txt", "ソング.3g2", Track(48000), true,
         [](CFrontendDlg& dlg) {
             headless::Click(dlg, IDC_JACKET_NONE);
             headless::Click(dlg, IDC_WALLPAPER_NONE);
             headless::TypeText(dlg, IDC_OUTPUT_PATH, "D:\\out\\");
             g_strClipName[0] = "say \"hi\"";
         },
         "\"{P}\" \"{S}ソング.3g2\" -o:\"D:\\out\\\\\" -mode:23 -jct:\" \" -wall:\" \" -chku1:\"say \\\"hi\\\"\" "
         "-chku3:\"\" -chkufr "},
        {"no song", "", {}, false, nothing, "\"{P}\" \"\" -o:\"\" -mode:23 "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fresh();
        testkit::TempFolder songs;
        if (*row.song) Write(songs / row.song, row.track);
        if (row.clips) Write(songs / "config.txt", "KDDIMU01\r\n\r\n\r\n1.000,2.000\r\n\r\n3.000,4.000\r\n");
        const std::string command = Replaced(Replaced(row.command, "{P}", Program("tessaryn.exe")), "{S}", songs / "");
        Start(*row.song ? "\"" + songs / row.song + "\"" : "", [&](CFrontendDlg& dlg) {
            row.play(dlg);
            EXPECT_EQ(ShownCommand(dlg), command);
            headless::Click(dlg, IDC_CONVERT);
        });
        std::string started;
        for (const auto& process : headless::StartedProcesses())
            started += process.program + " < " + process.commandLine;
        EXPECT_EQ(started, *row.song ? Program("tessaryn.exe") + " < " + command : "");
    }
}

TEST_F(Launch, RefusesWithoutASongOrAUsablePacker) {
    struct Row {
        bool song;
        const char* packer;  // the packer's banner; null: no packer file
        int button;
        const char* message;
    };
    const Row rows[] = {
        {false, "Tessaryn (20051110)", IDC_CONVERT, "ファイルを選択してください"},
        {true, nullptr, IDC_CONVERT, "Tessarynを認識できません"},
        {true, "Tessaryn (21051110)", IDC_CONVERT, "Tessarynを認識できません"},
        {true, "Tessaryn (20051011)", IDC_CONVERT,
         "古いバージョンのTessarynを認識しました\n最新のTessarynを入手してください"},
        {false, "Tessaryn (20051110)", IDC_JACKET_BROWSE, "最初に音源ファイルを選択してください"},
        {false, "Tessaryn (20051110)", IDC_WALLPAPER_BROWSE, "最初に音源ファイルを選択してください"},
    };
    Write(Song("song.3g2"), Track(64000));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        Fresh();
        row.packer ? WritePacker(row.packer) : void(std::remove(Program("tessaryn.exe").c_str()));
        Start(row.song ? Song("song.3g2") : "", [&](CFrontendDlg& dlg) { headless::Click(dlg, row.button); });
        EXPECT_EQ(Messages(), std::vector<std::string>{std::string("変換開始前のエラー | ") + row.message});
        EXPECT_TRUE(headless::StartedProcesses().empty());
        EXPECT_TRUE(headless::FileDialogs().empty());
    }
}

TEST_F(Launch, RefusesAnOutputPathLongerThanAPathMayBe) {
    Write(Song("song.3g2"), Track(64000));
    StartWithSong("song.3g2", [](CFrontendDlg& dlg) {
        std::string typed;
        for (int i = 0; i < 1536; ++i) typed += "ソ";  // as many characters as the box lets in: 3072 bytes
        headless::TypeText(dlg, IDC_OUTPUT_PATH, typed);
        headless::Click(dlg, IDC_CONVERT);
        EXPECT_EQ(headless::FocusedControl(dlg), IDC_OUTPUT_PATH);
    });
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "1536 文字以内で入力してください。");
    EXPECT_TRUE(headless::StartedProcesses().empty());
}

}  // namespace

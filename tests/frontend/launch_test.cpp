// The packer's command line as the viewer shows it and 変換 starts it, and the
// refusals that keep a conversion from starting.
#include <cstdio>
#include <string>

#include "tests/frontend/frontend_session.h"

namespace {

using Launch = FrontendTest;

TEST_F(Launch, StartsExactlyTheCommandTheViewerShows) {
    // The song lies in a folder of its own, {S} (empty: started without one), with a
    // config.txt that defines clips 1 and 3 if `clips`. {P} is the packer's path.
    struct Row { const char* name; const char* song; Bytes track; bool clips; void (*play)(CFrontendDlg&); std::string command; };
    const auto nothing = [](CFrontendDlg&) {};
    const std::string song = "\"{P}\" \"{S}song.3g2\" -o:\"{S}song.kmf\" -mode:";
    const Row rows[] = {
        {"a plain song", "song.3g2", Track(48000), false, nothing, song + "23 -chkufr "},
        {"both options ticked", "song.3g2", Track(49152, {{8}}), false, nothing, song + "63 -chkufr "},
        {"rate camouflage alone", "song.3g2", Track(49152, {{8}}), false,
         [](CFrontendDlg& dlg) { headless::ClickCheckBox(dlg, IDC_REFRAGMENT); }, song + "55 -chkufr "},
        {"re-fragmenting alone", "song.3g2", Track(49152, {{8}}), false,
         [](CFrontendDlg& dlg) { headless::ClickCheckBox(dlg, IDC_RATE_CAMOUFLAGE); }, song + "31 -chkufr "},
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
        for (const auto& process : headless::StartedProcesses()) started += process.program + " < " + process.commandLine;
        EXPECT_EQ(started, *row.song ? Program("tessaryn.exe") + " < " + command : "");
    }
}

TEST_F(Launch, RefusesWithoutASongAUsablePackerOrAPathThatFits) {
    std::string longest;  // as many characters as the output path's box lets in: 3072 bytes
    for (int i = 0; i < 1536; ++i) longest += "ソ";
    const std::string error = "変換開始前のエラー | ";
    // packer null: no packer file; typed: into the output path first
    struct Row { bool song; const char* packer; std::string typed; int button; std::string shown; };
    const Row rows[] = {
        {false, "Tessaryn (20051110)", "", IDC_CONVERT, error + "ファイルを選択してください"},
        {true, nullptr, "", IDC_CONVERT, error + "Tessarynを認識できません"},
        {true, "Tessaryn (21051110)", "", IDC_CONVERT, error + "Tessarynを認識できません"},
        {true, "Tessaryn (20051011)", "", IDC_CONVERT,
         error + "古いバージョンのTessarynを認識しました\n最新のTessarynを入手してください"},
        {false, "Tessaryn (20051110)", "", IDC_JACKET_BROWSE, error + "最初に音源ファイルを選択してください"},
        {false, "Tessaryn (20051110)", "", IDC_WALLPAPER_BROWSE, error + "最初に音源ファイルを選択してください"},
        {true, "Tessaryn (20051110)", longest, IDC_CONVERT, "frontend | 1536 文字以内で入力してください。"},
    };
    Write(Song("song.3g2"), Track(64000));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.shown);
        Fresh();
        row.packer ? WritePacker(row.packer) : void(std::remove(Program("tessaryn.exe").c_str()));
        Start(row.song ? Song("song.3g2") : "", [&](CFrontendDlg& dlg) {
            if (!row.typed.empty()) headless::TypeText(dlg, IDC_OUTPUT_PATH, row.typed);
            headless::Click(dlg, row.button);
            if (!row.typed.empty()) {
                EXPECT_EQ(headless::FocusedControl(dlg), IDC_OUTPUT_PATH);
            }
        });
        EXPECT_EQ(Messages(), std::vector<std::string>{row.shown});
        EXPECT_TRUE(headless::StartedProcesses().empty());
        EXPECT_TRUE(headless::FileDialogs().empty());
    }
}

}  // namespace

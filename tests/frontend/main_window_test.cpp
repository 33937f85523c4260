// The main dialog itself: started with a song on the command line (and the
// damaged-file warning), its window menu and icon, and the survey shown. The
// survey's own findings are tested by calling it with a session.
#include <cstdio>
#include <string>

#include "frontend/survey.h"
#include "tests/frontend/frontend_fixture.h"

namespace {

using StartUp = FrontendTest;

TEST_F(StartUp, TakesTheRawCommandLineWholeAsTheSong) {
    struct Row { std::string commandLine, music, output; };  // {S}/ stands for the songs folder
    const Row rows[] = {
        {"\"{S}/My Music/song.3g2\"", "{S}/My Music/song.3g2", "{S}/My Music/song.kmf"},
        {"{S}/My Music/song.3g2", "{S}/My Music/song.3g2", "{S}/My Music/song.kmf"},
        {"", "", ""}, {"\"", "", ""},
        // Only the first and last characters go; no file has that name, so the survey empties it.
        {"\"{S}/a.3g2\" \"{S}/b.3g2\"", "", "{S}/a.3g2\" \"{S}/b.kmf"},
        {"{S}/" + std::string(1600, 'a') + ".3g2", "", ""},  // longer than a path may be
        {"{S}/broken.3g2", "{S}/broken.3g2", "{S}/broken.kmf"},  // no media file: kept, with a warning
    };
    for (const char* song : {"My Music/song.3g2", "a.3g2", "b.3g2"}) Write(Song(song), Track(64000));
    Write(Song("broken.3g2"), "not a box at all");
    const auto inSongs = [this](const std::string& text) { return Replaced(text, "{S}/", Song("")); };
    for (const Row& row : rows) {
        Start(inSongs(row.commandLine), [&](CFrontendDlg& dlg) {
            EXPECT_EQ(Text(dlg, IDC_MUSIC_PATH) + " | " + Text(dlg, IDC_OUTPUT_PATH), inSongs(row.music + " | " + row.output))
                << row.commandLine;
        });
    }
    EXPECT_EQ(Messages(), std::vector<std::string>{"変換開始前の警告 | 楽曲ファイルが壊れている可能性があります"});
}

// The window menu's entry and the icons, the minimized icon painted in the
// middle of the client area.
TEST_F(StartUp, TheWindowMenuAndTheIcon) {
    const HICON icon = framework::LoadIconResource(IDR_MAINFRAME);
    Start("", [&](CFrontendDlg& dlg) {
        const auto menu = headless::SystemMenuItems(dlg);
        ASSERT_EQ(menu.size(), 2u);
        EXPECT_EQ(menu[0].flags, MF_SEPARATOR);
        EXPECT_EQ(std::to_string(menu[1].id) + " " + menu[1].text, "16 Tessaryn のﾊﾞｰｼﾞｮﾝ情報(&A)...");
        const HICON dragged = reinterpret_cast<HICON>(dlg.SendMessage(WM_QUERYDRAGICON));
        EXPECT_EQ((std::vector<HICON>{headless::WindowIcon(dlg, true), headless::WindowIcon(dlg, false), dragged}),
                  std::vector<HICON>(3, icon));
        headless::SetClientSize(dlg, 101, 60);
        dlg.SendMessage(WM_PAINT);
        dlg.SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
        EXPECT_EQ(headless::DefaultProcessed().size(), 2u) << "painted and minimized by the system";
        dlg.SendMessage(WM_PAINT);
        ASSERT_EQ(headless::DrawnIcons().size(), 1u);
        const headless::DrawnIcon& drawn = headless::DrawnIcons()[0];
        EXPECT_EQ(std::to_string(drawn.x) + "," + std::to_string(drawn.y), "35,14");
        EXPECT_EQ(drawn.icon, icon);
        EXPECT_EQ(headless::DefaultProcessed().back().message, WM_ICONERASEBKGND);
    });
    headless::SetStringTable({});
    Start("", [](CFrontendDlg& dlg) { EXPECT_TRUE(headless::SystemMenuItems(dlg).empty()) << "no menu string"; });
}

using Survey = FrontendTest;

std::string Statuses(const SurveyResult& found) {
    return found.configStatus + "|" + found.jacketStatus + "|" + found.descriptionStatus + "|" + found.wallpaperStatus +
           "|" + found.expectedSize;
}

TEST_F(Survey, ShowsEachSideFileAndTheExpectedSize) {
    struct Row {
        const char* name;
        std::vector<std::pair<const char*, Bytes>> sideFiles;  // "name/inside" makes a folder of that name
        const char* statuses;
    };
    const Row rows[] = {
        {"nothing beside the song", {}, "自動生成|なし|なし|なし|294KB(予想)"},
        {"the worked example", {{"config.txt", Bytes(100, 'x')}, {"jacket.jpg", Jpeg(120, 90, 10000)}},
         "あり|10000ﾊﾞｲﾄ 120x90|なし|なし|306KB(予想)"},
        {"an empty config.txt", {{"config.txt", {}}}, "あり|なし|なし|なし|295KB(予想)"},
        {"a jacket that is no JPEG, description and wallpaper",
         {{"jacket.jpg", Bytes(5, 'x')}, {"description.txt", Bytes(1000, 'x')}, {"wallpaper.jpg", Jpeg(640, 480, 2000)}},
         "自動生成|5ﾊﾞｲﾄ 0x0|あり|2000ﾊﾞｲﾄ 640x480|299KB(予想)"},
        {"side files that can't be opened", {{"config.txt/inside", {}}, {"jacket.jpg/inside", {}}},
         "あり|0ﾊﾞｲﾄ 0x0|なし|なし|294KB(予想)"},
    };
    Bytes song = Track(64000);
    song.resize(300000);  // zero bytes after the last box, where the probe's walk ends
    for (const Row& row : rows) {
        testkit::TempFolder songs;
        Write(songs / "song.3g2", song);
        for (const auto& [name, bytes] : row.sideFiles) Write(songs / name, bytes);
        EXPECT_EQ(Statuses(::Survey(FrontendSession{}, songs / "song.3g2", false)), row.statuses) << row.name;
    }
}

// A reset survey looks at the images beside the song, not the ones chosen,
// but only for a song that opens; a missing song still has its side files looked for.
TEST_F(Survey, AResetSurveyForgetsTheChoicesOfASongThatOpens) {
    Write(Song("song.3g2"), Track(64000));
    Write(Song("jacket.jpg"), Jpeg(96, 96, 1000));
    Write(Song("config.txt"), "KDDIMU01\r\n\r\n\r\n\r\n001.000,002.000\r\n");
    // session: clip flags, free clip, a wallpaper chosen, the song's timescale
    struct Row { const char* song; NextStep step; const char* statuses; const char* session; };
    const Row rows[] = {
        {"song.3g2", NextStep::Survey, "あり|なし|なし|1000ﾊﾞｲﾄ 96x96|5KB(予想)", "010 0 1 48000"},
        {"song.3g2", NextStep::ResetSurvey, "あり|1000ﾊﾞｲﾄ 96x96|なし|なし|5KB(予想)", "010 1 0 48000"},
        {"song.3g2", NextStep::SurveyKeepingClips, "あり|なし|なし|1000ﾊﾞｲﾄ 96x96|5KB(予想)", "111 0 1 48000"},
        {"gone.3g2", NextStep::ResetSurvey, "あり|なし|なし|1000ﾊﾞｲﾄ 96x96|4KB(予想)", "010 0 1 0"},
    };
    for (const Row& row : rows) {
        FrontendSession session;
        session.jacketPath = kNoImage;
        session.wallpaperPath = Song("jacket.jpg");
        session.clipEnabled = {true, true, true};
        const SurveyResult found = ::Survey(session, Song(row.song), row.step == NextStep::ResetSurvey);
        KeepSurveyFindings(session, found, row.step);
        std::string kept;
        for (bool enabled : session.clipEnabled) kept += enabled ? "1" : "0";
        kept += " " + std::to_string(session.freeClip) + " " + std::to_string(!session.wallpaperPath.empty()) + " " +
                std::to_string(session.musicInfo.timescale);
        EXPECT_EQ(Statuses(found) + " " + kept, std::string(row.statuses) + " " + row.session) << row.song;
    }
}

// 再読込 finds side files written since, still looks beside a song that is gone,
// then blanks the statuses but keeps the length, the rate and the options.
TEST_F(Survey, ReloadFollowsTheDiskEvenWhenTheSongIsGone) {
    Write(Song("song.3g2"), Track(64000, {{2}}));
    StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
        Write(Song("description.txt"), "title");
        Write(Song("config.txt"), "KDDIMU01\r\n\r\n\r\n\r\n001.000,002.000\r\n");
        headless::Click(dlg, IDC_RELOAD);
        EXPECT_EQ(Text(dlg, IDC_DESCRIPTION_STATUS) + Text(dlg, IDC_CONFIG_STATUS), "ありあり");
        EXPECT_NE(ShownCommand(dlg).find(" -chku2:\"\" -chkufr "), std::string::npos) << "the clip config.txt defines";
        std::remove(Song("song.3g2").c_str());
        headless::Click(dlg, IDC_RELOAD);
        EXPECT_EQ(Text(dlg, IDC_MUSIC_PATH) + "|" + Text(dlg, IDC_DESCRIPTION_STATUS), "|あり");
        headless::Click(dlg, IDC_RELOAD);
        std::string shown;  // the statuses and the size blank; the length, the rate and the option kept
        for (int id : {IDC_CONFIG_STATUS, IDC_JACKET_STATUS, IDC_DESCRIPTION_STATUS, IDC_WALLPAPER_STATUS, IDC_EXPECTED_SIZE,
                       IDC_LENGTH, IDC_RATE})
            shown += Text(dlg, id) + "|";
        EXPECT_EQ(shown + std::to_string(headless::ControlCheck(dlg, IDC_REFRAGMENT)), "|||||0:00.06|64000bps, 48000Hz|1");
    });
}

// "ticked", "offered" or "not offered" (and then never ticked).
std::string Option(const CFrontendDlg& dlg, int id) {
    if (!headless::IsControlEnabled(dlg, id))
        return headless::ControlCheck(dlg, id) ? "ticked though not offered" : "not offered";
    return headless::ControlCheck(dlg, id) == BST_CHECKED ? "ticked" : "offered";
}

TEST_F(Survey, OffersTheOptionsTheSongCallsForAndTicksThemOnlyForANewSong) {
    struct Row { uint32_t bitrate; bool fragmented; const char *refragment, *camouflage, *camouflageAfterClickAndReload; };
    const Row rows[] = {
        {48000, false, "not offered", "not offered", "not offered"},
        {48001, true, "ticked", "offered", "ticked"},
        {49152, true, "ticked", "ticked", "offered"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bitrate);
        Write(Song("song.3g2"), Track(row.bitrate, std::vector<std::vector<uint32_t>>(row.fragmented ? 1 : 0, {4})));
        StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
            EXPECT_EQ(Option(dlg, IDC_REFRAGMENT), row.refragment);
            EXPECT_EQ(Option(dlg, IDC_RATE_CAMOUFLAGE), row.camouflage);
            headless::ClickCheckBox(dlg, IDC_RATE_CAMOUFLAGE);
            headless::Click(dlg, IDC_RELOAD);
            EXPECT_EQ(Option(dlg, IDC_RATE_CAMOUFLAGE), row.camouflageAfterClickAndReload);
            Write(Song("song.3g2"), Track(48000));  // the options go away, and their ticks with them
            headless::Click(dlg, IDC_RELOAD);
            EXPECT_EQ(Option(dlg, IDC_REFRAGMENT) + ", " + Option(dlg, IDC_RATE_CAMOUFLAGE), "not offered, not offered");
        });
    }
}

}  // namespace

// The main window as a user meets it: starting with a song on the command
// line, the window menu and icon, the statuses and expected size the survey
// shows, the option boxes a song calls for, and the damaged-file warning.
#include <cstdio>
#include <string>

#include "tests/frontend/frontend_session.h"

namespace {

using StartUp = FrontendTest;

TEST_F(StartUp, TakesTheRawCommandLineWholeAsTheSong) {
    struct Row {
        std::string commandLine, music, output;  // {S}/ stands for the songs folder
    };
    const Row rows[] = {
        {"\"{S}/My Music/song.3g2\"", "{S}/My Music/song.3g2", "{S}/My Music/song.kmf"},
        {"{S}/My Music/song.3g2", "{S}/My Music/song.3g2", "{S}/My Music/song.kmf"},
        {"", "", ""},
        {"\"", "", ""},
        // Only the first and last characters go; no file has that name, so the survey empties it.
        {"\"{S}/a.3g2\" \"{S}/b.3g2\"", "", "{S}/a.3g2\" \"{S}/b.kmf"},
        {"{S}/music/song", "", "{S}/music/song.kmf"},
        {"{S}/music.old/song", "", "{S}/music.kmf"},
        {"{S}/" + std::string(1600, 'a') + ".3g2", "", ""},  // longer than a path may be
    };
    for (const char* song : {"My Music/song.3g2", "a.3g2", "b.3g2"}) Write(Song(song), Track(64000));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.commandLine);
        Start(Replaced(row.commandLine, "{S}/", Song("")), [&](CFrontendDlg& dlg) {
            EXPECT_EQ(Text(dlg, IDC_MUSIC_PATH), Replaced(row.music, "{S}/", Song("")));
            EXPECT_EQ(Text(dlg, IDC_OUTPUT_PATH), Replaced(row.output, "{S}/", Song("")));
        });
    }
}

TEST_F(StartUp, PreparesTheWindowTheVersionsAndThePacker) {
    Write(Song("song.3g2"), Track(64000));
    Write(Song("config.txt"), "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n005.250,035.250\r\n\r\n040.000,050.000\r\n");
    for (CString& name : g_strClipName) name = "from before";
    const HICON icon = framework::LoadIconResource(IDR_MAINFRAME);
    StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
        const auto menu = headless::SystemMenuItems(dlg);
        ASSERT_EQ(menu.size(), 2u);
        EXPECT_EQ(menu[0].flags, MF_SEPARATOR);
        EXPECT_EQ(menu[1].id, 16u);
        EXPECT_EQ(menu[1].text, "Tessaryn のﾊﾞｰｼﾞｮﾝ情報(&A)...");
        EXPECT_EQ(headless::WindowIcon(dlg, true), icon);
        EXPECT_EQ(headless::WindowIcon(dlg, false), icon);
    });
    EXPECT_EQ(std::string(g_strFrontendVersion) + " " + std::to_string(g_dwFrontendVersion),
              "Tessaryn Frontend 20051018 20051018");
    EXPECT_EQ(std::string(g_szPackerPath), Program("tessaryn.exe"));
    EXPECT_EQ(std::string(g_strPackerVersion) + " " + std::to_string(g_dwPackerVersion), "Tessaryn 20051110 20051110");
    EXPECT_EQ(g_nPackerState, 2);
    // The survey's clip flags stay; the names start empty.
    EXPECT_EQ(std::vector<int>(g_bClipEnabled, g_bClipEnabled + 3), (std::vector<int>{1, 0, 1}));
    for (const CString& name : g_strClipName) EXPECT_EQ(name, "");
    EXPECT_EQ(g_bFreeClip, 1);
    EXPECT_TRUE(Messages().empty());

    headless::SetStringTable({});
    Start("", [](CFrontendDlg& dlg) { EXPECT_TRUE(headless::SystemMenuItems(dlg).empty()) << "no menu string"; });
}

TEST_F(StartUp, TheWindowMenuAndTheMinimizedIcon) {
    Start("", [](CFrontendDlg& dlg) {
        dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3);  // the low four bits don't count
        headless::Click(dlg, IDC_VERSION);
        EXPECT_TRUE(headless::DefaultProcessed().empty());
        headless::SetClientSize(dlg, 101, 60);
        dlg.SendMessage(WM_PAINT);
        dlg.SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
        EXPECT_EQ(headless::DefaultProcessed().size(), 2u) << "painted and minimized by the system";
        dlg.SendMessage(WM_PAINT);
        ASSERT_EQ(headless::DrawnIcons().size(), 1u);
        EXPECT_EQ(std::to_string(headless::DrawnIcons()[0].x) + "," + std::to_string(headless::DrawnIcons()[0].y),
                  "35,14");
        EXPECT_EQ(headless::DrawnIcons()[0].icon, framework::LoadIconResource(IDR_MAINFRAME));
        EXPECT_EQ(headless::DefaultProcessed().back().message, WM_ICONERASEBKGND);
        EXPECT_EQ(reinterpret_cast<HICON>(dlg.SendMessage(WM_QUERYDRAGICON)),
                  framework::LoadIconResource(IDR_MAINFRAME));
    });
}

using Survey = FrontendTest;

TEST_F(Survey, ShowsEachSideFileAndTheExpectedSize) {
    struct Row {
        const char* name;
        std::vector<std::pair<const char*, Bytes>> sideFiles;  // "name/inside" makes a folder of that name
        const char* shown;                                     // config, jacket, description, wallpaper, expected size
    };
    const Row rows[] = {
        {"nothing beside the song", {}, "自動生成|なし|なし|なし|294KB(予想)"},
        {"the worked example",
         {{"config.txt", Bytes(100, 'x')}, {"jacket.jpg", Jpeg(120, 90, 10000)}},
         "あり|10000ﾊﾞｲﾄ 120x90|なし|なし|306KB(予想)"},
        {"an empty config.txt", {{"config.txt", {}}}, "あり|なし|なし|なし|295KB(予想)"},
        {"a jacket that is no JPEG", {{"jacket.jpg", Bytes(5, 'x')}}, "自動生成|5ﾊﾞｲﾄ 0x0|なし|なし|295KB(予想)"},
        {"description and wallpaper",
         {{"description.txt", Bytes(1000, 'x')}, {"wallpaper.jpg", Jpeg(640, 480, 2000)}},
         "自動生成|なし|あり|2000ﾊﾞｲﾄ 640x480|299KB(予想)"},
        {"side files that can't be opened",
         {{"config.txt/inside", {}}, {"jacket.jpg/inside", {}}},
         "あり|0ﾊﾞｲﾄ 0x0|なし|なし|294KB(予想)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testkit::TempFolder songs;
        Write(songs / "song.3g2", PaddedTo(Track(64000), 300000));
        for (const auto& [name, bytes] : row.sideFiles) Write(songs / name, bytes);
        Start(songs / "song.3g2", [&](CFrontendDlg& dlg) {
            std::string shown;
            for (int id : {IDC_CONFIG_STATUS, IDC_JACKET_STATUS, IDC_DESCRIPTION_STATUS, IDC_WALLPAPER_STATUS}) {
                shown += Text(dlg, id) + "|";
            }
            EXPECT_EQ(shown + Text(dlg, IDC_EXPECTED_SIZE), row.shown);
        });
    }
}

TEST_F(Survey, ShowsTheSongsLengthAndRate) {
    Write(Song("song.3g2"), Track(64000, {{1000}, {1000}, {1000}}));
    StartWithSong("song.3g2", [](CFrontendDlg& dlg) {
        EXPECT_EQ(Text(dlg, IDC_LENGTH) + " " + Text(dlg, IDC_RATE), "1:04.02 64000bps, 48000Hz");
    });
    EXPECT_EQ(g_musicInfo.sampleCount, 64u) << "whole seconds, for the description form";
}

TEST_F(Survey, ASongThatIsGoneIsForgottenAndTheStatusesBlanked) {
    Write(Song("song.3g2"), Track(64000, {{2}}));
    Write(Song("description.txt"), "title");
    StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
        std::remove(Song("song.3g2").c_str());
        headless::Click(dlg, IDC_RELOAD);
        EXPECT_EQ(Text(dlg, IDC_MUSIC_PATH), "");
        EXPECT_EQ(Text(dlg, IDC_DESCRIPTION_STATUS), "あり") << "still looked for beside the missing song";
        headless::Click(dlg, IDC_RELOAD);
        for (int id :
             {IDC_CONFIG_STATUS, IDC_JACKET_STATUS, IDC_DESCRIPTION_STATUS, IDC_WALLPAPER_STATUS, IDC_EXPECTED_SIZE}) {
            EXPECT_EQ(Text(dlg, id), "") << id;
        }
        EXPECT_EQ(Text(dlg, IDC_LENGTH) + " " + Text(dlg, IDC_RATE), "0:00.06 64000bps, 48000Hz") << "kept";
        EXPECT_EQ(headless::ControlCheck(dlg, IDC_REFRAGMENT), BST_CHECKED) << "kept";
    });
}

TEST_F(Survey, WarnsOfAFileThatIsNoMediaFile) {
    Write(Song("song.3g2"), "not a box at all");
    StartWithSong("song.3g2", [&](CFrontendDlg& dlg) { EXPECT_EQ(Text(dlg, IDC_MUSIC_PATH), Song("song.3g2")); });
    EXPECT_EQ(Messages(), std::vector<std::string>{"変換開始前の警告 | 楽曲ファイルが壊れている可能性があります"});
}

// "ticked", "offered" or "not offered" (and then never ticked).
std::string Option(const CFrontendDlg& dlg, int id) {
    if (!headless::IsControlEnabled(dlg, id))
        return headless::ControlCheck(dlg, id) ? "ticked though not offered" : "not offered";
    return headless::ControlCheck(dlg, id) == BST_CHECKED ? "ticked" : "offered";
}

TEST_F(Survey, OffersTheOptionsTheSongCallsForAndTicksThemOnlyForANewSong) {
    struct Row {
        uint32_t bitrate;
        bool fragmented;
        const char *refragment, *camouflage, *camouflageAfterClickAndReload;
    };
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
            EXPECT_EQ(Option(dlg, IDC_REFRAGMENT) + ", " + Option(dlg, IDC_RATE_CAMOUFLAGE),
                      "not offered, not offered");
        });
    }
}

}  // namespace

// Choosing the inputs: files dropped on the dialog, the browse buttons with
// their file dialogs, the none buttons and the reload button.
#include <optional>
#include <string>

#include "tests/frontend/frontend_session.h"

namespace {

using Choosers = FrontendTest;

TEST_F(Choosers, ADropIsSortedByTheFirstFilesExtensionAndSize) {
    struct Row {
        const char* name;
        Bytes bytes;
        const char* taken;  // music, jacket, wallpaper or none
    };
    const Row rows[] = {
        // clang-format off
        {"song.M4A", Track(64000), "music"},
        {"square.jpg", Jpeg(160, 160), "jacket"},
        {"wide.JPEG", Jpeg(161, 120), "wallpaper"},
        {"tall.jfif", Jpeg(120, 161), "wallpaper"},
        {"unmeasured.jpe", Bytes(10, 'x'), "jacket"},
        {"other.kmf", Bytes(10, 'x'), "none"},
        {"dotted.folder/song", Track(64000), "none"},
        // clang-format on
    };
    Write(Song("first.3g2"), Track(64000));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Write(Song(row.name), row.bytes);
        StartWithSong("first.3g2", [&](CFrontendDlg& dlg) {
            headless::DropFiles(dlg, {Song(row.name), Song("first.3g2")});
            std::string taken = "none";
            if (Text(dlg, IDC_MUSIC_PATH) == Song(row.name)) taken = "music";
            if (g_strJacketPath == Song(row.name).c_str()) taken = "jacket";
            if (g_strWallpaperPath == Song(row.name).c_str()) taken = "wallpaper";
            EXPECT_EQ(taken, row.taken);
            EXPECT_EQ(Text(dlg, IDC_OUTPUT_PATH), Song(taken == "music" ? "song.kmf" : "first.kmf"));
            EXPECT_EQ(headless::UnreleasedDrops(), 0);
            EXPECT_EQ(headless::DefaultProcessed().back().message, WM_DROPFILES);
        });
    }
}

TEST_F(Choosers, ATypedOutputPathSurvivesAllButANewSong) {
    Write(Song("song.3g2"), Track(64000));
    Write(Song("other.3g2"), Track(64000));
    Write(Song("cover.jpg"), Jpeg(100, 100, 1000));
    StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
        headless::TypeText(dlg, IDC_OUTPUT_PATH, "typed.kmf");
        headless::DropFiles(dlg, {Song("cover.jpg")});
        EXPECT_EQ(Text(dlg, IDC_OUTPUT_PATH), "typed.kmf");
        EXPECT_EQ(Text(dlg, IDC_JACKET_STATUS), "1000ﾊﾞｲﾄ 100x100");
        headless::DropFiles(dlg, {Song("other.3g2")});
        EXPECT_EQ(Text(dlg, IDC_OUTPUT_PATH), Song("other.kmf"));
        EXPECT_EQ(g_strJacketPath, "") << "a new song forgets the images chosen for the last";
    });
}

// What a file dialog was asked for, in one line.
std::string Described(const headless::ShownFileDialog& shown) {
    const framework::FileDialogRequest& request = shown.request;
    std::string text = std::string(shown.save ? "save " : "open ") + request.title + " |";
    for (const framework::FileFilter& filter : request.filters) text += " " + filter.description + "=" + filter.pattern;
    if (request.mustExist) text += " | must exist";
    if (request.askBeforeOverwrite) text += " | asks before overwriting";
    if (!request.defaultExtension.empty()) text += " | ." + request.defaultExtension;
    return text + (request.keepCurrentFolder ? " | keeps the current folder" : "");
}

TEST_F(Choosers, EachBrowseButtonAsksWithItsOwnDialog) {
    struct Row {
        int button;
        std::optional<std::string> answer;  // in the songs folder; none: cancelled
        std::string dialog;
        const char* chosen;  // music | output | jacket | wallpaper, by file name
    };
    const std::string music = "3g2/3gp/MP4 Audio=*.3g2;*.3gp;*.mp4;*.m4a All Files(*.*)=*.*";
    const std::string image = "JPEG/JFIF Image=*.jpg;*.jpeg;*.jfif;*.jpe All Files(*.*)=*.*";
    const std::string open = " | must exist | keeps the current folder";
    const Row rows[] = {
        {IDC_BROWSE_MUSIC, "new.mp4", "open 楽曲ファイルを開く | " + music + open, "new.mp4|new.kmf||"},
        {IDC_BROWSE_MUSIC, std::nullopt, "open 楽曲ファイルを開く | " + music + open, "song.3g2|song.kmf||"},
        {IDC_BROWSE_OUTPUT, "out.kmf",
         "save KMFファイルの保存先 | KDDI Music File=*.kmf All Files(*.*)=*.* | asks before overwriting | .kmf | keeps "
         "the current folder",
         "song.3g2|out.kmf||"},
        {IDC_JACKET_BROWSE, "c.jpg", "open ジャケット画像を開く | " + image + open, "song.3g2|song.kmf|c.jpg|"},
        {IDC_WALLPAPER_BROWSE, "w.jpg", "open 静止画保存用画像を開く | " + image + open, "song.3g2|song.kmf||w.jpg"},
    };
    Write(Song("song.3g2"), Track(64000));
    Write(Song("new.mp4"), Track(64000));
    const auto name = [this](const std::string& path) { return path.empty() ? path : path.substr(Song("").size()); };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dialog);
        headless::AnswerFileDialog(row.answer ? std::optional<std::string>(Song(*row.answer)) : std::nullopt);
        StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
            headless::Click(dlg, row.button);
            EXPECT_EQ(headless::FileDialogs().back().owner, dlg.m_hWnd);
            EXPECT_EQ(Described(headless::FileDialogs().back()), row.dialog);
            EXPECT_EQ(name(Text(dlg, IDC_MUSIC_PATH)) + "|" + name(Text(dlg, IDC_OUTPUT_PATH)) + "|" +
                          name(std::string(g_strJacketPath)) + "|" + name(std::string(g_strWallpaperPath)),
                      row.chosen);
        });
    }
}

TEST_F(Choosers, NoneButtonsLeaveOutEvenTheImageBesideTheSong) {
    Write(Song("song.3g2"), Track(64000));
    Write(Song("jacket.jpg"), Jpeg(96, 96, 1000));
    Write(Song("wallpaper.jpg"), Jpeg(240, 320, 3000));
    StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
        headless::Click(dlg, IDC_JACKET_NONE);
        headless::Click(dlg, IDC_WALLPAPER_NONE);
        EXPECT_EQ(Text(dlg, IDC_JACKET_STATUS) + Text(dlg, IDC_WALLPAPER_STATUS), "なしなし");
        headless::AnswerFileDialog(Song("wallpaper.jpg"));
        headless::Click(dlg, IDC_WALLPAPER_BROWSE);
        EXPECT_EQ(Text(dlg, IDC_WALLPAPER_STATUS), "3000ﾊﾞｲﾄ 240x320");
        headless::DropFiles(dlg, {Song("song.3g2")});  // a new song: the images beside it again
        EXPECT_EQ(Text(dlg, IDC_JACKET_STATUS), "1000ﾊﾞｲﾄ 96x96");
        EXPECT_EQ(g_strWallpaperPath, "");
    });
}

TEST_F(Choosers, ReloadFindsWhatChangedOnDisk) {
    Write(Song("song.3g2"), Track(64000));
    StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
        Write(Song("description.txt"), "title");
        Write(Song("config.txt"), "KDDIMU01\r\n\r\n\r\n\r\n001.000,002.000\r\n");
        EXPECT_EQ(Text(dlg, IDC_DESCRIPTION_STATUS), "なし");
        headless::Click(dlg, IDC_RELOAD);
        EXPECT_EQ(Text(dlg, IDC_DESCRIPTION_STATUS) + Text(dlg, IDC_CONFIG_STATUS), "ありあり");
    });
    EXPECT_EQ(std::vector<int>(g_bClipEnabled, g_bClipEnabled + 3), (std::vector<int>{0, 1, 0}));
}

}  // namespace

// Choosing the inputs: files dropped on the dialog, the browse buttons with
// their file dialogs and the none buttons.
#include <optional>
#include <string>

#include "tests/frontend/frontend_session.h"

namespace {

class Choosers : public FrontendTest {
protected:
    // The music and output paths and the jacket and wallpaper chosen, by name in the songs folder.
    std::string Chosen(const CFrontendDlg& dlg) const {
        const auto name = [this](const std::string& path) { return path.empty() ? path : path.substr(Song("").size()); };
        return name(Text(dlg, IDC_MUSIC_PATH)) + "|" + name(Text(dlg, IDC_OUTPUT_PATH)) + "|" +
               name(std::string(g_strJacketPath)) + "|" + name(std::string(g_strWallpaperPath));
    }
};

TEST_F(Choosers, ADropIsSortedByTheFirstFilesExtensionAndSize) {
    struct Row { const char* name; Bytes bytes; const char* chosen; };
    const Row rows[] = {
        {"song.M4A", Track(64000), "song.M4A|song.kmf||"},
        {"square.jpg", Jpeg(160, 160), "first.3g2|first.kmf|square.jpg|"},
        {"wide.JPEG", Jpeg(161, 120), "first.3g2|first.kmf||wide.JPEG"},
        {"tall.jfif", Jpeg(120, 161), "first.3g2|first.kmf||tall.jfif"},
        {"unmeasured.jpe", Bytes(10, 'x'), "first.3g2|first.kmf|unmeasured.jpe|"},
        {"other.kmf", Bytes(10, 'x'), "first.3g2|first.kmf||"},
        {"dotted.folder/song", Track(64000), "first.3g2|first.kmf||"},
    };
    Write(Song("first.3g2"), Track(64000));
    for (const Row& row : rows) {
        Write(Song(row.name), row.bytes);
        StartWithSong("first.3g2", [&](CFrontendDlg& dlg) {
            headless::DropFiles(dlg, {Song(row.name), Song("first.3g2")});
            EXPECT_EQ(Chosen(dlg), row.chosen) << row.name;
            EXPECT_EQ(headless::UnreleasedDrops(), 0);
            EXPECT_EQ(headless::DefaultProcessed().back().message, WM_DROPFILES);
        });
    }
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
    // The answer is in the songs folder (none: cancelled); chosen: music|output|jacket|wallpaper, by file name.
    struct Row { int button; std::optional<std::string> answer; std::string dialog; const char* chosen; };
    const std::string music = "3g2/3gp/MP4 Audio=*.3g2;*.3gp;*.mp4;*.m4a All Files(*.*)=*.*";
    const std::string image = "JPEG/JFIF Image=*.jpg;*.jpeg;*.jfif;*.jpe All Files(*.*)=*.*";
    const std::string open = " | must exist | keeps the current folder";
    const Row rows[] = {
        {IDC_BROWSE_MUSIC, "new.mp4", "open 楽曲ファイルを開く | " + music + open, "new.mp4|new.kmf||"},
        {IDC_BROWSE_MUSIC, std::nullopt, "open 楽曲ファイルを開く | " + music + open, "song.3g2|song.kmf||"},
        {IDC_BROWSE_OUTPUT, "out.kmf", "save KMFファイルの保存先 | KDDI Music File=*.kmf All Files(*.*)=*.* | asks "
         "before overwriting | .kmf | keeps the current folder", "song.3g2|out.kmf||"},
        {IDC_JACKET_BROWSE, "c.jpg", "open ジャケット画像を開く | " + image + open, "song.3g2|song.kmf|c.jpg|"},
        {IDC_WALLPAPER_BROWSE, "w.jpg", "open 静止画保存用画像を開く | " + image + open, "song.3g2|song.kmf||w.jpg"},
    };
    Write(Song("song.3g2"), Track(64000));
    Write(Song("new.mp4"), Track(64000));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dialog);
        headless::AnswerFileDialog(row.answer ? std::optional<std::string>(Song(*row.answer)) : std::nullopt);
        StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
            headless::Click(dlg, row.button);
            EXPECT_EQ(headless::FileDialogs().back().owner, dlg.m_hWnd);
            EXPECT_EQ(Described(headless::FileDialogs().back()), row.dialog);
            EXPECT_EQ(Chosen(dlg), row.chosen);
        });
    }
}

// A typed output path survives the none buttons and images browsed or dropped;
// a new song brings its own output path and the images beside it, whatever was
// chosen (even none) for the last.
TEST_F(Choosers, ANewSongForgetsTheTypedOutputPathAndTheImagesChosen) {
    for (const char* song : {"song.3g2", "other.3g2"}) Write(Song(song), Track(64000));
    Write(Song("jacket.jpg"), Jpeg(96, 96, 1000));
    Write(Song("wallpaper.jpg"), Jpeg(240, 320, 3000));
    Write(Song("cover.jpg"), Jpeg(100, 100, 2000));
    StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
        headless::TypeText(dlg, IDC_OUTPUT_PATH, "typed.kmf");
        headless::Click(dlg, IDC_JACKET_NONE);
        headless::Click(dlg, IDC_WALLPAPER_NONE);
        EXPECT_EQ(Text(dlg, IDC_JACKET_STATUS) + Text(dlg, IDC_WALLPAPER_STATUS), "なしなし");
        headless::AnswerFileDialog(Song("wallpaper.jpg"));
        headless::Click(dlg, IDC_WALLPAPER_BROWSE);
        headless::DropFiles(dlg, {Song("cover.jpg")});
        EXPECT_EQ(Text(dlg, IDC_JACKET_STATUS) + ", " + Text(dlg, IDC_WALLPAPER_STATUS),
                  "2000ﾊﾞｲﾄ 100x100, 3000ﾊﾞｲﾄ 240x320");
        EXPECT_EQ(Text(dlg, IDC_OUTPUT_PATH), "typed.kmf");
        headless::DropFiles(dlg, {Song("other.3g2")});
        EXPECT_EQ(Text(dlg, IDC_OUTPUT_PATH), Song("other.kmf"));
        EXPECT_EQ(Text(dlg, IDC_JACKET_STATUS), "1000ﾊﾞｲﾄ 96x96");
        EXPECT_EQ(std::string(g_strJacketPath) + std::string(g_strWallpaperPath), "");
    });
}

}  // namespace

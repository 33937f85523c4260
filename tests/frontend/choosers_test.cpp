// Choosing the inputs: files dropped on the dialog, the browse buttons with
// their file dialogs and the none buttons.
#include <optional>
#include <string>

#include "frontend/file_choosers.h"
#include "tests/frontend/frontend_fixture.h"

namespace {

using Choosers = FrontendTest;

TEST_F(Choosers, ADropIsSortedByItsExtensionAndSize) {
    struct Row { const char* name; Bytes bytes; NextStep step; const char* chosen; };  // chosen: jacket|wallpaper
    const Row rows[] = {
        {"song.M4A", Track(64000), NextStep::ResetSurvey, "|"},
        {"square.jpg", Jpeg(160, 160), NextStep::Survey, "square.jpg|"},
        {"wide.JPEG", Jpeg(161, 120), NextStep::Survey, "|wide.JPEG"},
        {"tall.jfif", Jpeg(120, 161), NextStep::Survey, "|tall.jfif"},
        {"unmeasured.jpe", Bytes(10, 'x'), NextStep::Survey, "unmeasured.jpe|"},
        {"missing.jpg", {}, NextStep::Survey, "missing.jpg|"},
        {"other.kmf", Bytes(10, 'x'), NextStep::Survey, "|"},
        {"dotted.folder/song", Track(64000), NextStep::Survey, "|"},
    };
    for (const Row& row : rows) {
        if (!row.bytes.empty()) Write(Song(row.name), row.bytes);
        FrontendSession session;
        EXPECT_EQ(TakeDroppedFile(Song(row.name), session), row.step) << row.name;
        const auto name = [this](const std::string& path) { return path.empty() ? path : path.substr(Song("").size()); };
        EXPECT_EQ(name(session.jacketPath) + "|" + name(session.wallpaperPath), row.chosen) << row.name;
    }
}

std::string Described(const headless::ShownFileDialog& shown) {
    const framework::FileDialogRequest& request = shown.request;
    std::string text = std::string(shown.save ? "save " : "open ") + request.title + " |";
    for (const framework::FileFilter& filter : request.filters) text += " " + filter.description + "=" + filter.pattern;
    if (request.mustExist) text += " | must exist";
    if (request.askBeforeOverwrite) text += " | asks before overwriting";
    if (!request.defaultExtension.empty()) text += " | ." + request.defaultExtension;
    return text + (request.keepCurrentFolder ? " | keeps the current folder" : "");
}

// Each browse button of the main dialog, answered (or cancelled) in the songs
// folder; chosen: the music and output paths by name, the jacket and wallpaper statuses.
TEST_F(Choosers, EachBrowseButtonAsksWithItsOwnDialog) {
    struct Row { int button; std::optional<std::string> answer; std::string dialog; const char* chosen; };
    const std::string music = "3g2/3gp/MP4 Audio=*.3g2;*.3gp;*.mp4;*.m4a All Files(*.*)=*.*";
    const std::string image = "JPEG/JFIF Image=*.jpg;*.jpeg;*.jfif;*.jpe All Files(*.*)=*.*";
    const std::string open = " | must exist | keeps the current folder";
    const Row rows[] = {
        {IDC_BROWSE_MUSIC, "new.mp4", "open 楽曲ファイルを開く | " + music + open, "new.mp4|new.kmf|なし|なし"},
        {IDC_BROWSE_MUSIC, std::nullopt, "open 楽曲ファイルを開く | " + music + open, "song.3g2|song.kmf|なし|なし"},
        {IDC_BROWSE_OUTPUT, "out.kmf", "save KMFファイルの保存先 | KDDI Music File=*.kmf All Files(*.*)=*.* | asks "
         "before overwriting | .kmf | keeps the current folder", "song.3g2|out.kmf|なし|なし"},
        {IDC_JACKET_BROWSE, "c.jpg", "open ジャケット画像を開く | " + image + open, "song.3g2|song.kmf|500ﾊﾞｲﾄ 9x9|なし"},
        {IDC_WALLPAPER_BROWSE, "w.jpg", "open 静止画保存用画像を開く | " + image + open, "song.3g2|song.kmf|なし|700ﾊﾞｲﾄ 300x9"},
    };
    for (const char* song : {"song.3g2", "new.mp4"}) Write(Song(song), Track(64000));
    Write(Song("c.jpg"), Jpeg(9, 9, 500));
    Write(Song("w.jpg"), Jpeg(300, 9, 700));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dialog);
        headless::AnswerFileDialog(row.answer ? std::optional<std::string>(Song(*row.answer)) : std::nullopt);
        StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
            headless::Click(dlg, row.button);
            EXPECT_EQ(headless::FileDialogs().back().owner, dlg.m_hWnd);
            EXPECT_EQ(Described(headless::FileDialogs().back()), row.dialog);
            EXPECT_EQ(Replaced(Text(dlg, IDC_MUSIC_PATH) + "|" + Text(dlg, IDC_OUTPUT_PATH), Song(""), "") + "|" +
                          Text(dlg, IDC_JACKET_STATUS) + "|" + Text(dlg, IDC_WALLPAPER_STATUS),
                      row.chosen);
        });
    }
}

// The dialog around them: a typed output path survives the none buttons and
// images browsed or dropped; a new song brings its own output path and the
// images beside it, whatever was chosen (even none) for the last; the drop is
// released and handed on.
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
        headless::DropFiles(dlg, {Song("cover.jpg"), Song("other.3g2")});
        EXPECT_EQ(Text(dlg, IDC_JACKET_STATUS) + ", " + Text(dlg, IDC_WALLPAPER_STATUS), "2000ﾊﾞｲﾄ 100x100, 3000ﾊﾞｲﾄ 240x320");
        EXPECT_EQ(Text(dlg, IDC_OUTPUT_PATH), "typed.kmf");
        headless::DropFiles(dlg, {Song("other.3g2")});
        EXPECT_EQ(Text(dlg, IDC_MUSIC_PATH) + "|" + Text(dlg, IDC_OUTPUT_PATH), Song("other.3g2") + "|" + Song("other.kmf"));
        EXPECT_EQ(Text(dlg, IDC_JACKET_STATUS), "1000ﾊﾞｲﾄ 96x96");
        const std::string command = ShownCommand(dlg);
        EXPECT_EQ(command.find(" -jct:"), std::string::npos) << command;
        EXPECT_EQ(command.find(" -wall:"), std::string::npos) << command;
        EXPECT_EQ(headless::UnreleasedDrops(), 0);
        EXPECT_EQ(headless::DefaultProcessed().back().message, WM_DROPFILES);
    });
}

}  // namespace

// The two side-file forms as a user runs them from the main dialog's 編集
// buttons: what they read from description.txt and config.txt, the exact bytes
// they write, their refusals, and a write that fails leaving the old file.
#include <signal.h>
#include <sys/resource.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>

#include "frontend/editors/config_dlg.h"
#include "frontend/editors/description_dlg.h"
#include "tests/frontend/frontend_session.h"

namespace {

const char kSelectMusicFirst[] = "変換開始前のエラー | 最初に楽曲ファイルを選択してください";

// The form's text values in the order of the file's lines, then track/total.
std::string DescriptionValues(const CDescriptionDlg& form) {
    return std::string(form.m_strTitle) + "|" + std::string(form.m_strArtist) + "|" +
           std::string(form.m_strAlbumTitle) + "|" + std::string(form.m_strAuthor) + "|" +
           std::string(form.m_strPublisher) + "|" + std::to_string(form.m_nTrack) + "/" +
           std::to_string(form.m_nTrackTotal);
}

// The URL, then each slot as "-" (disabled) or its four numbers.
std::string ConfigValues(const CConfigDlg& form) {
    std::string values(form.m_strLinkUrl);
    for (int slot = 0; slot < kClipCount; ++slot) {
        values += form.m_bClipEnabled[slot] ? " " + std::to_string(form.m_nClipStartSec[slot]) + "." +
                                                  std::to_string(form.m_nClipStartMs[slot]) + "," +
                                                  std::to_string(form.m_nClipEndSec[slot]) + "." +
                                                  std::to_string(form.m_nClipEndMs[slot])
                                            : " -";
    }
    return values;
}

// Writes larger than `bytes` fail (EFBIG) while it lives, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

class Forms : public FrontendTest {
protected:
    void SetUp() override {
        FrontendTest::SetUp();
        Write(Song("song.3g2"), Track(32000, {{1000}, {1000}, {1000}}));  // 64 seconds
    }
    static std::string Read(const std::string& path) {
        const Bytes bytes = testkit::readFile(path);
        return std::string(bytes.begin(), bytes.end());
    }
    // Starts the program with the song and runs the form `formId` from `button`,
    // `play` playing the user while it is up; `afterwards` runs in the main dialog.
    void RunForm(int button, UINT formId, const std::function<void(CDialog&)>& play,
                 const std::function<void(CFrontendDlg&)>& afterwards = {}) {
        StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
            headless::OnDialog(formId, play);
            headless::Click(dlg, button);
            if (afterwards) afterwards(dlg);
        });
    }
    static void Confirm(CDialog& form) { headless::Click(form, IDOK); }
};

TEST_F(Forms, DescriptionIsReadLineByLine) {
    // values: title|artist|album|author|publisher|track/total
    struct Case { const char* what; std::string text; const char* values; };
    const Case cases[] = {
        {"as the form writes it",
         "title,星の歌\r\nartist,A\r\nalbum_title,B\r\ntrack_number,0312\r\ntime,0405\r\nauthor,C\r\n"
         "publisher,D\r\ncopyright,X\r\n",
         "星の歌|A|B|C|D|3/12"},
        {"a title holding commas", "title,a,b,,c\r\n", "a,b,,c|||||1/1"},
        {"track_number 12", "track_number,12", "|||||0/12"},
        {"track_number 12345", "track_number,12345\r\n", "|||||23/45"},
        {"a negative track_number", "track_number,-305\r\n", "|||||4294967293/4294967291"},
        {"LF-only line ends", "title,T\nartist,A\nalbum_title,B\nauthor,C\n", "T|A|B|C||1/1"},
        {"CR-only line ends", "title,T\rartist,A\ralbum_title,B\r", "T|A|B|||1/1"},
        {"a line without a comma loses only itself", "title,T\r\nno comma\r\nartist,A\r\n", "T|A||||1/1"},
        {"the last of a repeated key", "title,one\r\ntitle,two\r\n", "two|||||1/1"},
        {"copyright is not the rights holder", "copyright,X\r\nTitle,no\r\n", "|||||1/1"},
        {"blanks kept", "title, T \r\n", " T |||||1/1"},
        {"a zero byte where a line begins ends the text", std::string("title,T\r\n\0artist,A\r\n", 21),
         "T|||||1/1"},
        {"a zero byte ends its value", std::string("title,T\0x\r\nartist,A\r\n", 21), "T|A||||1/1"},
        {"empty", "", "|||||1/1"},
    };
    for (const Case& c : cases) {
        CDescriptionDlg form;
        form.ReadDescription(c.text);
        EXPECT_EQ(DescriptionValues(form), c.values) << c.what;
    }
}

TEST_F(Forms, DescriptionFormWritesEightLinesWithTheSongsLength) {
    Write(Song("description.txt"), "title,Old\r\nauthor,Me\r\nextra,dropped\r\ntime,9999\r\n");
    std::string shownLength;
    RunForm(IDC_EDIT_DESCRIPTION, IDD_DESCRIPTION_DIALOG, [&](CDialog& form) {
        shownLength = headless::ControlText(form, IDC_MINUTES) + ":" + headless::ControlText(form, IDC_SECONDS);
        EXPECT_EQ(headless::ControlText(form, IDC_TITLE), "Old");
        EXPECT_EQ(headless::ControlLimit(form, IDC_TITLE), 64u);
        headless::TypeText(form, IDC_ARTIST, "アーティスト");
        headless::TypeText(form, IDC_TRACK, "3");
        headless::TypeText(form, IDC_TRACK_TOTAL, "12");
        Confirm(form);
    });
    EXPECT_EQ(shownLength, "1:4") << "the length comes from the music, not the time line";
    EXPECT_EQ(Read(Song("description.txt")),
              "title,Old\r\nartist,アーティスト\r\nalbum_title,\r\ntrack_number,0312\r\ntime,0104\r\nauthor,Me\r\n"
              "publisher,\r\ncopyright,Me\r\n");

    // An untouched form for a song of 245 seconds.
    Write(Song("description.txt"), "");
    StartWithSong("song.3g2", [&](CFrontendDlg& dlg) {
        g_musicInfo.sampleCount = 245;
        headless::OnDialog(IDD_DESCRIPTION_DIALOG, Confirm);
        headless::Click(dlg, IDC_EDIT_DESCRIPTION);
    });
    EXPECT_EQ(Read(Song("description.txt")),
              "title,\r\nartist,\r\nalbum_title,\r\ntrack_number,0101\r\ntime,0405\r\nauthor,\r\npublisher,\r\n"
              "copyright,\r\n");  // side_file_forms_fuzz reads every written text back
}

TEST_F(Forms, DescriptionFormCancelledClearedOrWithoutASong) {
    Write(Song("description.txt"), "title,Kept\r\n");
    RunForm(IDC_EDIT_DESCRIPTION, IDD_DESCRIPTION_DIALOG, [&](CDialog& form) {
        headless::TypeText(form, IDC_TITLE, "changed");
        headless::Click(form, IDC_CLEAR);
        std::string shown;
        for (int id : {IDC_TITLE, IDC_ARTIST, IDC_MINUTES, IDC_SECONDS, IDC_TRACK, IDC_TRACK_TOTAL}) {
            shown += headless::ControlText(form, id) + "|";
        }
        EXPECT_EQ(shown, "||0|0|1|1|") << "cleared, the length too";
        headless::Click(form, IDCANCEL);
    });
    EXPECT_EQ(Read(Song("description.txt")), "title,Kept\r\n");

    Start("", [](CFrontendDlg& dlg) { headless::Click(dlg, IDC_EDIT_DESCRIPTION); });
    EXPECT_EQ(Messages(), std::vector<std::string>{kSelectMusicFirst});
}

TEST_F(Forms, RefusalsNameTheRuleAndTakeTheFocus) {
    struct Case { const char* what; UINT form; int button; int field; std::string typed; std::string message; };
    std::string japanese33;  // 66 bytes
    for (int i = 0; i < 33; ++i) japanese33 += "ア";
    const Case cases[] = {
        {"a title of 66 bytes", IDD_DESCRIPTION_DIALOG, IDC_EDIT_DESCRIPTION, IDC_TITLE, japanese33,
         "64 文字以内で入力してください。"},
        {"100 minutes", IDD_DESCRIPTION_DIALOG, IDC_EDIT_DESCRIPTION, IDC_MINUTES, "100",
         "0 から 99 までの整数を入力してください。"},
        {"60 seconds", IDD_DESCRIPTION_DIALOG, IDC_EDIT_DESCRIPTION, IDC_SECONDS, "60",
         "0 から 59 までの整数を入力してください。"},
        {"track 0", IDD_DESCRIPTION_DIALOG, IDC_EDIT_DESCRIPTION, IDC_TRACK, "0",
         "1 から 99 までの整数を入力してください。"},
        {"an empty total", IDD_DESCRIPTION_DIALOG, IDC_EDIT_DESCRIPTION, IDC_TRACK_TOTAL, "",
         "整数を入力してください。"},
        {"601 seconds in a disabled slot", IDD_CONFIG_DIALOG, IDC_EDIT_CONFIG, IDC_CLIP3_END_SEC, "601",
         "0 から 600 までの整数を入力してください。"},
        {"1000 milliseconds", IDD_CONFIG_DIALOG, IDC_EDIT_CONFIG, IDC_CLIP2_START_MS, "1000",
         "0 から 999 までの整数を入力してください。"},
        {"a name of 34 bytes", IDD_CONFIG_DIALOG, IDC_EDIT_CONFIG, IDC_CLIP1_NAME, japanese33.substr(0, 34),
         "32 文字以内で入力してください。"},
        {"a number too large", IDD_CONFIG_DIALOG, IDC_EDIT_CONFIG, IDC_CLIP1_START_SEC, "4294967296",
         "整数を入力してください。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fresh();
        Write(Song("song.3g2"), Track(32000, {{1000}}));
        int focus = 0;
        bool stayedOpen = false;
        RunForm(c.button, c.form, [&](CDialog& form) {
            headless::TypeText(form, c.field, c.typed);
            Confirm(form);
            focus = headless::FocusedControl(form);
            stayedOpen = form.IsWindowEnabled();
        });
        EXPECT_EQ(Messages(), std::vector<std::string>{"frontend | " + c.message});
        EXPECT_EQ(focus, c.field);
        EXPECT_TRUE(stayedOpen);
        EXPECT_FALSE(testkit::exists(Song(c.form == IDD_CONFIG_DIALOG ? "config.txt" : "description.txt")))
            << "a refused form writes nothing";
    }
}

TEST_F(Forms, ConfigIsReadAsThePackerReadsIt) {
    struct Case { const char* what; std::string text; const char* values; };
    const Case cases[] = {
        {"as the form writes it", "KDDIMU01\r\nhttp://a/\r\nwallpaper.jpg,\r\n001.500,030.000\r\n\r\n007.1,8.2\r\n",
         "http://a/ 1.500,30.0 - 7.1,8.2"},
        {"slot 3 without a line end", "X\nu\nw\n\n\n1.2,3.4", "u - - 1.2,3.4"},  // more lines and numbers: tests/common
        {"the URL without a line feed is not taken", "KDDIMU01\r\nhttp://a/", " - - -"},
        {"700 seconds is read, to be refused", "K\r\n\r\nw\r\n700.000,701.000\r\n", " 700.0,701.0 - -"},
        {"nothing", "", " - - -"},
    };
    for (const Case& c : cases) {
        CConfigDlg form;
        form.ReadConfig(c.text);
        EXPECT_EQ(ConfigValues(form), c.values) << c.what;
    }
}

TEST_F(Forms, ConfigLinesRunToTheLastEnabledSlot) {
    // slotNumbers: every slot's start s, ms, end s, ms
    struct Case { std::array<int, 3> enabled; std::array<UINT, 4> slotNumbers; const char* clipLines; };
    const Case cases[] = {
        {{0, 0, 0}, {1, 2, 3, 4}, ""},
        {{1, 0, 0}, {1, 500, 30, 0}, "001.500,030.000\r\n"},
        {{1, 0, 1}, {1, 500, 30, 0}, "001.500,030.000\r\n\r\n001.500,030.000\r\n"},
        {{0, 1, 0}, {600, 999, 600, 999}, "\r\n600.999,600.999\r\n"},
    };
    for (const Case& c : cases) {
        CConfigDlg form;
        form.m_strLinkUrl = "http://x/";
        for (int slot = 0; slot < kClipCount; ++slot) {
            form.m_bClipEnabled[slot] = c.enabled[slot];
            form.m_nClipStartSec[slot] = c.slotNumbers[0], form.m_nClipStartMs[slot] = c.slotNumbers[1];
            form.m_nClipEndSec[slot] = c.slotNumbers[2], form.m_nClipEndMs[slot] = c.slotNumbers[3];
        }
        const std::string text = form.ConfigText();
        EXPECT_EQ(text, std::string("KDDIMU01\r\nhttp://x/\r\nwallpaper.jpg,\r\n") + c.clipLines);
    }
}

TEST_F(Forms, ConfigFormEditsTheFileTheNamesAndTheFlags) {
    Write(Song("config.txt"), "KDDIMU01\r\nhttp://old/\r\nwallpaper.jpg,\r\n\r\n002.000,003.000\r\n");
    std::vector<std::string> seen;
    RunForm(
        IDC_EDIT_CONFIG, IDD_CONFIG_DIALOG,
        [&](CDialog& form) {
            auto slotState = [&](int enableBox, int edit) {
                return std::to_string(headless::ControlCheck(form, enableBox)) +
                       std::to_string(headless::IsControlEnabled(form, edit));
            };
            seen.push_back(slotState(IDC_CLIP1_ENABLE, IDC_CLIP1_NAME) + slotState(IDC_CLIP2_ENABLE, IDC_CLIP2_END_MS) +
                           " " + headless::ControlText(form, IDC_LINK_URL) + " " +
                           headless::ControlText(form, IDC_CLIP2_END_SEC));
            headless::ClickCheckBox(form, IDC_CLIP1_ENABLE);
            headless::TypeText(form, IDC_CLIP1_NAME, "イントロ");
            headless::TypeText(form, IDC_CLIP1_START_MS, "500");
            headless::TypeText(form, IDC_CLIP1_END_SEC, "30");
            headless::TypeText(form, IDC_CLIP2_START_SEC, "700");  // refused when slot 3 is ticked
            headless::ClickCheckBox(form, IDC_CLIP3_ENABLE);
            seen.push_back(slotState(IDC_CLIP1_ENABLE, IDC_CLIP1_START_SEC) +
                           slotState(IDC_CLIP3_ENABLE, IDC_CLIP3_NAME));
            headless::TypeText(form, IDC_CLIP2_START_SEC, "1");
            headless::ClickCheckBox(form, IDC_CLIP3_ENABLE);
            headless::ClickCheckBox(form, IDC_FREE_CLIP);
            headless::TypeText(form, IDC_LINK_URL, "");
            Confirm(form);
        },
        [&](CFrontendDlg& dlg) {
            seen.push_back(ShownCommand(dlg));
            // Run again and cancelled: the file and the names stay, the flags follow the file as read.
            Write(Song("config.txt"), "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n\r\n\r\n1.0,2.0\r\n");
            headless::OnDialog(IDD_CONFIG_DIALOG, [&](CDialog& form) {
                seen.push_back(headless::ControlText(form, IDC_CLIP1_NAME));
                headless::TypeText(form, IDC_CLIP1_NAME, "other");
                headless::Click(form, IDCANCEL);
            });
            headless::Click(dlg, IDC_EDIT_CONFIG);
            seen.push_back(ShownCommand(dlg));
        });
    EXPECT_EQ(seen[0], "00" "11" " http://old/ 3") << "slot 2 from the file, enabled";
    EXPECT_EQ(seen[1], "11" "10") << "the refused number keeps slot 3's edits disabled";
    EXPECT_EQ(Messages(), std::vector<std::string>{"frontend | 0 から 600 までの整数を入力してください。"});
    EXPECT_NE(seen[2].find(" -chku1:\"イントロ\" -chku2:\"\" "), std::string::npos) << seen[2];
    EXPECT_EQ(seen[2].find("-chku3:"), std::string::npos) << seen[2];
    EXPECT_EQ(seen[2].find("-chkufr"), std::string::npos) << "the free clip box was cleared";
    EXPECT_EQ(seen[3], "イントロ") << "the names are kept in memory";
    EXPECT_NE(seen[4].find(" -chku3:\"\" "), std::string::npos) << seen[4];
    EXPECT_EQ(seen[4].find("-chku1:"), std::string::npos) << seen[4];
    EXPECT_EQ(Read(Song("config.txt")), "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n\r\n\r\n1.0,2.0\r\n");
    EXPECT_EQ(g_strClipName[0], "イントロ");

    Fresh();
    Start("", [](CFrontendDlg& dlg) { headless::Click(dlg, IDC_EDIT_CONFIG); });
    EXPECT_EQ(Messages(), std::vector<std::string>{kSelectMusicFirst});
}

TEST_F(Forms, AFailedWriteLeavesTheOldFileAndStillSurveys) {
    struct Case { const char* what; int button; UINT form; const char* file; };
    const Case cases[] = {
        {"description.txt", IDC_EDIT_DESCRIPTION, IDD_DESCRIPTION_DIALOG, "description.txt"},
        {"config.txt", IDC_EDIT_CONFIG, IDD_CONFIG_DIALOG, "config.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fresh();
        Write(Song("song.3g2"), Track(32000, {{1000}}));
        const std::string old = "title,old\r\n";
        Write(Song(c.file), old);
        std::string status;
        {
            FileSizeLimit full(8);  // the new text is longer
            RunForm(c.button, c.form, Confirm, [&](CFrontendDlg& dlg) {
                status = Text(dlg, c.form == IDD_CONFIG_DIALOG ? IDC_CONFIG_STATUS : IDC_DESCRIPTION_STATUS);
            });
        }
        EXPECT_EQ(Read(Song(c.file)), old);
        EXPECT_EQ(status, "あり");
        EXPECT_TRUE(Messages().empty()) << "silent, as before";
        for (const auto& entry : std::filesystem::directory_iterator(Song(""))) {
            EXPECT_NE(entry.path().filename().string()[0], '~') << "a temporary file is left";
        }
    }
}

TEST_F(Forms, ASideFileIsReplacedWholeThroughLinksAndNeverWhenReadOnly) {
    const std::string target = Song("real/description.txt"), link = Song("description.txt");
    Write(target, "old");
    std::filesystem::create_symlink(target, link);
    EXPECT_TRUE(framework::ReplaceFileContents(link, "new"));
    EXPECT_EQ(Read(target), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link stays a link";

    std::filesystem::permissions(target, std::filesystem::perms::owner_read);
    if (access(target.c_str(), W_OK) != 0) {  // root may write anything
        EXPECT_FALSE(framework::ReplaceFileContents(target, "newer"));
        EXPECT_EQ(Read(target), "new");
    }
    EXPECT_FALSE(framework::ReplaceFileContents(Song("real"), "a folder"));
    EXPECT_TRUE(std::filesystem::is_directory(Song("real")));

    // The temporary file's name is never longer than the file's own: a name at
    // the file system's limit, and one byte, with every other one-byte name taken.
    for (char c = 'a'; c <= 'z'; ++c) Write(Song(std::string("short/") + c), "taken");
    for (const std::string& name : {std::string(255, 'n'), std::string("short/q")}) {
        Write(Song(name), "old");
        EXPECT_TRUE(framework::ReplaceFileContents(Song(name), "new")) << name.size();
        EXPECT_EQ(Read(Song(name)), "new");
    }
}

}  // namespace

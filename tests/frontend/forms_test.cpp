// The two side-file forms, run as the 編集 buttons run them with a session:
// what they read from description.txt and config.txt, the exact bytes they
// write, what they leave in the session, their refusals of a value, and a
// write that fails. (Their refusals without a song: launch_test.cpp.)
#include "frontend/editors/config_dlg.h"
#include "frontend/editors/description_dlg.h"
#include "tests/frontend/frontend_fixture.h"

namespace {

// The form's text values in the order of the file's lines, then track/total.
std::string DescriptionValues(const CDescriptionDlg& form) {
    return std::string(form.m_strTitle) + "|" + std::string(form.m_strArtist) + "|" + std::string(form.m_strAlbumTitle) +
           "|" + std::string(form.m_strAuthor) + "|" + std::string(form.m_strPublisher) + "|" +
           std::to_string(form.m_nTrack) + "/" + std::to_string(form.m_nTrackTotal);
}

std::string Clips(const FrontendSession& session) {
    std::string clips;
    for (int slot = 0; slot < kClipCount; ++slot) clips += (session.clipEnabled[slot] ? "+" : "-") + session.clipName[slot] + " ";
    return clips + (session.freeClip ? "free" : "not free");
}

class Forms : public FrontendTest {
protected:
    void SetUp() override {
        FrontendTest::SetUp();
        song_ = Song("song.3g2");
        session_.musicInfo.timescale = 48000;
        session_.musicInfo.duration = 64 * 48000 + 100;  // 64 seconds
    }
    // The form of template `form` run as its 編集 button runs it, `play` while it is up.
    NextStep Edit(UINT form, const std::function<void(CDialog&)>& play) {
        NextStep step = NextStep::Nothing;
        WhileUp(form, play, [&] {
            step = form == IDD_CONFIG_DIALOG ? EditConfig(session_, song_, owner_) : EditDescription(session_, song_, owner_);
        });
        return step;
    }
    static void Confirm(CDialog& form) { headless::Click(form, IDOK); }

    CWinApp app_{"frontend"};  // names the program in the captions of the forms' validation messages
    std::string song_;
    FrontendSession session_;
};

TEST_F(Forms, DescriptionIsReadLineByLine) {
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
        {"a zero byte where a line begins ends the text", std::string("title,T\r\n\0artist,A\r\n", 21), "T|||||1/1"},
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
    const NextStep step = Edit(IDD_DESCRIPTION_DIALOG, [&](CDialog& form) {
        EXPECT_EQ(Text(form, IDC_MINUTES) + ":" + Text(form, IDC_SECONDS), "1:4") << "from the music, not the time line";
        EXPECT_EQ(Text(form, IDC_TITLE), "Old");
        headless::TypeText(form, IDC_ARTIST, "アーティスト");
        headless::TypeText(form, IDC_TRACK, "3");
        headless::TypeText(form, IDC_TRACK_TOTAL, "12");
        Confirm(form);
    });
    EXPECT_EQ(step, NextStep::Survey);
    EXPECT_EQ(TextOf(Song("description.txt")),
              "title,Old\r\nartist,アーティスト\r\nalbum_title,\r\ntrack_number,0312\r\ntime,0104\r\nauthor,Me\r\n"
              "publisher,\r\ncopyright,Me\r\n");  // side_file_forms_fuzz reads every written text back
}

TEST_F(Forms, DescriptionFormClearedThenCancelled) {
    Write(Song("description.txt"), "title,Kept\r\n");
    const NextStep step = Edit(IDD_DESCRIPTION_DIALOG, [&](CDialog& form) {
        headless::TypeText(form, IDC_TITLE, "changed");
        headless::Click(form, IDC_CLEAR);
        std::string shown;
        for (int id : {IDC_TITLE, IDC_ARTIST, IDC_MINUTES, IDC_SECONDS, IDC_TRACK, IDC_TRACK_TOTAL}) shown += Text(form, id) + "|";
        EXPECT_EQ(shown, "||0|0|1|1|") << "cleared, the length too";
        headless::Click(form, IDCANCEL);
    });
    EXPECT_EQ(step, NextStep::Nothing);
    EXPECT_EQ(TextOf(Song("description.txt")), "title,Kept\r\n");
}

TEST_F(Forms, RefusalsNameTheRuleAndTakeTheFocus) {
    struct Case { const char* what; UINT form; int field; std::string typed; std::string message; };
    std::string japanese33;  // 66 bytes
    for (int i = 0; i < 33; ++i) japanese33 += "ア";
    const Case cases[] = {
        {"a title of 66 bytes", IDD_DESCRIPTION_DIALOG, IDC_TITLE, japanese33, "64 文字以内で入力してください。"},
        {"100 minutes", IDD_DESCRIPTION_DIALOG, IDC_MINUTES, "100", "0 から 99 までの整数を入力してください。"},
        {"60 seconds", IDD_DESCRIPTION_DIALOG, IDC_SECONDS, "60", "0 から 59 までの整数を入力してください。"},
        {"track 0", IDD_DESCRIPTION_DIALOG, IDC_TRACK, "0", "1 から 99 までの整数を入力してください。"},
        {"an empty total", IDD_DESCRIPTION_DIALOG, IDC_TRACK_TOTAL, "", "整数を入力してください。"},
        {"601 seconds in a disabled slot", IDD_CONFIG_DIALOG, IDC_CLIP3_END_SEC, "601", "0 から 600 までの整数を入力してください。"},
        {"1000 milliseconds", IDD_CONFIG_DIALOG, IDC_CLIP2_START_MS, "1000", "0 から 999 までの整数を入力してください。"},
        {"a name of 34 bytes", IDD_CONFIG_DIALOG, IDC_CLIP1_NAME, japanese33.substr(0, 34), "32 文字以内で入力してください。"},
        {"a number too large", IDD_CONFIG_DIALOG, IDC_CLIP1_START_SEC, "4294967296", "整数を入力してください。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fresh();
        int focus = 0;
        bool stayedOpen = false;
        Edit(c.form, [&](CDialog& form) {
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

// What the form reads from config.txt (the clip lines found as the packer finds
// them, tests/common; the URL is line 2) and writes back: clip lines up to the
// last enabled slot.
TEST_F(Forms, ConfigIsReadAsThePackerReadsItAndWrittenToTheLastEnabledSlot) {
    const std::string head = "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n";
    struct Case { const char* what; std::string text; const char* values; std::string written; };  // written: "" as read
    const Case cases[] = {
        {"slots 1 and 3", "KDDIMU01\r\nhttp://a/\r\nwallpaper.jpg,\r\n001.500,030.000\r\n\r\n600.999,600.999\r\n",
         "http://a/ 1.500,30.0 - 600.999,600.999", ""},
        {"slot 2 alone, numbers of any width", "K\r\n\r\nw\r\n\r\n7.1,8.2\r\n", " - 7.1,8.2 -", head + "\r\n007.001,008.002\r\n"},
        {"the URL without a line feed is not taken", "KDDIMU01\r\nhttp://a/", " - - -", head},
        {"700 seconds is read, to be refused", "K\r\n\r\nw\r\n700.000,701.000\r\n", " 700.0,701.0 - -", head + "700.000,701.000\r\n"},
    };
    for (const Case& c : cases) {
        CConfigDlg form;
        form.ReadConfig(c.text);
        std::string values(form.m_strLinkUrl);
        for (int slot = 0; slot < kClipCount; ++slot) {
            const auto at = [slot](const auto& numbers) { return std::to_string(numbers[slot]); };
            values += !form.m_bClipEnabled[slot] ? " -" : " " + at(form.m_nClipStartSec) + "." + at(form.m_nClipStartMs) + "," +
                                                           at(form.m_nClipEndSec) + "." + at(form.m_nClipEndMs);
        }
        EXPECT_EQ(values, c.values) << c.what;
        EXPECT_EQ(form.ConfigText(), c.written.empty() ? c.text : c.written) << c.what;
    }
}

TEST_F(Forms, ConfigFormEditsTheFileTheNamesAndTheFlags) {
    Write(Song("config.txt"), "KDDIMU01\r\nhttp://old/\r\nwallpaper.jpg,\r\n\r\n002.000,003.000\r\n");
    session_.freeClip = true;
    const NextStep step = Edit(IDD_CONFIG_DIALOG, [&](CDialog& form) {
        const auto slotState = [&](int enableBox, int edit) {
            return std::to_string(headless::ControlCheck(form, enableBox)) + std::to_string(headless::IsControlEnabled(form, edit));
        };
        EXPECT_EQ(slotState(IDC_CLIP1_ENABLE, IDC_CLIP1_NAME) + slotState(IDC_CLIP2_ENABLE, IDC_CLIP2_END_MS) + " " +
                      Text(form, IDC_LINK_URL) + " " + Text(form, IDC_CLIP2_END_SEC),
                  "0011 http://old/ 3") << "slot 2 from the file, enabled";
        EXPECT_EQ(headless::ControlCheck(form, IDC_FREE_CLIP), BST_CHECKED);
        headless::ClickCheckBox(form, IDC_CLIP1_ENABLE);
        headless::TypeText(form, IDC_CLIP1_NAME, "イントロ");
        headless::TypeText(form, IDC_CLIP1_START_MS, "500");
        headless::TypeText(form, IDC_CLIP1_END_SEC, "30");
        headless::TypeText(form, IDC_CLIP2_START_SEC, "700");  // refused when slot 3 is ticked
        headless::ClickCheckBox(form, IDC_CLIP3_ENABLE);
        EXPECT_EQ(slotState(IDC_CLIP1_ENABLE, IDC_CLIP1_START_SEC) + slotState(IDC_CLIP3_ENABLE, IDC_CLIP3_NAME), "1110")
            << "the refused number keeps slot 3's edits disabled";
        headless::TypeText(form, IDC_CLIP2_START_SEC, "1");
        headless::ClickCheckBox(form, IDC_CLIP3_ENABLE);
        headless::ClickCheckBox(form, IDC_FREE_CLIP);
        headless::TypeText(form, IDC_LINK_URL, "");
        Confirm(form);
    });
    EXPECT_EQ(step, NextStep::SurveyKeepingClips);
    EXPECT_EQ(Messages(), std::vector<std::string>{"frontend | 0 から 600 までの整数を入力してください。"});
    EXPECT_EQ(TextOf(Song("config.txt")), "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n000.500,030.000\r\n001.000,003.000\r\n");
    EXPECT_EQ(Clips(session_), "+イントロ + - not free");

    // Run again and cancelled: the file and the names stay, the flags follow the file as read.
    Write(Song("config.txt"), "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n\r\n\r\n1.0,2.0\r\n");
    const NextStep cancelled = Edit(IDD_CONFIG_DIALOG, [&](CDialog& form) {
        EXPECT_EQ(Text(form, IDC_CLIP1_NAME), "イントロ") << "the names are kept in memory";
        headless::TypeText(form, IDC_CLIP1_NAME, "other");
        headless::ClickCheckBox(form, IDC_CLIP1_ENABLE);
        headless::Click(form, IDCANCEL);
    });
    EXPECT_EQ(cancelled, NextStep::Nothing);
    EXPECT_EQ(TextOf(Song("config.txt")), "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n\r\n\r\n1.0,2.0\r\n");
    EXPECT_EQ(Clips(session_), "-イントロ - + not free");
}

// A file that can't be written (here: a folder of that name) is passed over
// silently; the survey still follows, and the config form's choices stand in
// the session. (A failed write never harms the old file: tests/framework.)
TEST_F(Forms, AFailedWriteStillSurveys) {
    testkit::writeFile(Song("description.txt/inside"), "");
    testkit::writeFile(Song("config.txt/inside"), "");
    EXPECT_EQ(Edit(IDD_DESCRIPTION_DIALOG, Confirm), NextStep::Survey);
    const NextStep step = Edit(IDD_CONFIG_DIALOG, [](CDialog& form) {
        headless::ClickCheckBox(form, IDC_CLIP2_ENABLE);
        Confirm(form);
    });
    EXPECT_EQ(step, NextStep::SurveyKeepingClips);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Clips(session_), "- + - not free");
}

}  // namespace

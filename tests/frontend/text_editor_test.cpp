// The 開く buttons: the side file's quoted path handed to the text editor, the
// status asking for a reload until the next survey, the refusals without a
// song, and on POSIX the editor really started from $VISUAL, $EDITOR or xdg-open.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/frontend/frontend_session.h"

namespace {

class TextEditor : public FrontendTest {
protected:
    void TearDown() override {
        unsetenv("VISUAL");
        unsetenv("EDITOR");
        FrontendTest::TearDown();
    }
};

TEST_F(TextEditor, OpensTheSideFileAndAsksForAReload) {
    struct Case { int button; int status; const char* file; const char* refusal; const char* statusOfNoFile; };
    const Case cases[] = {
        {IDC_OPEN_DESCRIPTION, IDC_DESCRIPTION_STATUS, "description.txt",
         "変換開始前のエラー | 最初に音源ファイルを選択してください", "なし"},
        {IDC_OPEN_CONFIG, IDC_CONFIG_STATUS, "config.txt", "変換開始前のエラー | 最初に楽曲ファイルを選択してください",
         "自動生成"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Fresh();
        setenv("VISUAL", "true", 1);
        Start("", [&](CFrontendDlg& dlg) { headless::Click(dlg, c.button); });
        EXPECT_EQ(Messages(), std::vector<std::string>{c.refusal});
        EXPECT_TRUE(headless::StartedProcesses().empty());

        Write(Song("My Music/song.3g2"), Track(32000));
        std::vector<std::string> statuses;
        StartWithSong("My Music/song.3g2", [&](CFrontendDlg& dlg) {
            headless::Click(dlg, c.button);
            statuses.push_back(Text(dlg, c.status));
            headless::Click(dlg, IDC_RELOAD);
            statuses.push_back(Text(dlg, c.status));
        });
        EXPECT_EQ(statuses, (std::vector<std::string>{"再読込してください", c.statusOfNoFile}))
            << "until a survey shows the file's state again";
        ASSERT_EQ(headless::StartedProcesses().size(), 1u);
        EXPECT_EQ(headless::StartedProcesses()[0].program, "notepad");
        EXPECT_EQ(headless::StartedProcesses()[0].commandLine, "notepad.exe \"" + Song("My Music/") + c.file + "\"");
    }
}

// The editor writes the argument it was given to a file, which the test waits for.
TEST_F(TextEditor, StartsVisualThenEditorThenXdgOpenWithThePathAsOneArgument) {
    // visual, editor: nullptr for unset; arguments: as the script saw them, all, then their count
    struct Case { const char* visual; const char* editor; const char* ran; std::string arguments; };
    const std::string file = Song("a b/config.txt");
    const Case cases[] = {
        {"visual-editor", "plain-editor", "visual-editor", file + "|1"},
        {"", "plain-editor --wait", "plain-editor", "--wait " + file + "|2"},
        {nullptr, nullptr, "xdg-open", file + "|1"},
    };
    const std::string bin = Program("bin");
    for (const char* name : {"visual-editor", "plain-editor", "xdg-open"}) {
        const std::string script = bin + "/" + name;
        Write(script, std::string("#!/bin/sh\nprintf '%s|%s' \"$*\" \"$#\" > \"$0.ran\"\n"));
        chmod(script.c_str(), 0755);
    }
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    setenv("PATH", (bin + ":" + path).c_str(), 1);
    Write(Song("a b/song.3g2"), Track(32000));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ran);
        Fresh();
        c.visual ? setenv("VISUAL", c.visual, 1) : unsetenv("VISUAL");
        c.editor ? setenv("EDITOR", c.editor, 1) : unsetenv("EDITOR");
        StartWithSong("a b/song.3g2", [](CFrontendDlg& dlg) { headless::Click(dlg, IDC_OPEN_CONFIG); });
        const std::string ran = bin + "/" + c.ran + ".ran";
        for (int wait = 0; wait < 500 && !testkit::exists(ran); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the write completes
        const Bytes got = testkit::readFile(ran);
        EXPECT_EQ(std::string(got.begin(), got.end()), c.arguments);
    }
    setenv("PATH", path.c_str(), 1);
}

}  // namespace

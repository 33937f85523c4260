// The 開く buttons: the side file's quoted path handed to the text editor, the
// status asking for a reload until the next survey, and on POSIX the editor
// really started from $VISUAL, $EDITOR or xdg-open.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/frontend/frontend_fixture.h"

namespace {

class TextEditor : public FrontendTest {
protected:
    void SetUp() override {
        FrontendTest::SetUp();
        setenv("VISUAL", "true", 1);  // no editor comes up
    }
    void TearDown() override {
        unsetenv("VISUAL");
        unsetenv("EDITOR");
        FrontendTest::TearDown();
    }
};

TEST_F(TextEditor, OpensTheSideFileAndAsksForAReloadUntilTheNextSurvey) {
    Write(Song("My Music/song.3g2"), Track(32000));
    std::string statuses;  // description.txt's, config.txt's
    StartWithSong("My Music/song.3g2", [&](CFrontendDlg& dlg) {
        for (int button : {IDC_OPEN_DESCRIPTION, IDC_OPEN_CONFIG, IDC_RELOAD}) {
            headless::Click(dlg, button);
            statuses += Text(dlg, IDC_DESCRIPTION_STATUS) + "," + Text(dlg, IDC_CONFIG_STATUS) + "|";
        }
    });
    EXPECT_EQ(statuses, "再読込してください,自動生成|再読込してください,再読込してください|なし,自動生成|");
    std::string started;
    for (const auto& process : headless::StartedProcesses()) started += process.program + " < " + process.commandLine + "|";
    EXPECT_EQ(started, "notepad < notepad.exe \"" + Song("My Music/description.txt") + "\"|notepad < notepad.exe \"" +
                           Song("My Music/config.txt") + "\"|");
}

// Each editor is a script that writes the arguments it was given to a file,
// whole: it moves the file into place once written, and the test waits for it.
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
        Write(script, std::string("#!/bin/sh\nprintf '%s|%s' \"$*\" \"$#\" > \"$0.part\" && mv \"$0.part\" \"$0.ran\"\n"));
        chmod(script.c_str(), 0755);
    }
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    setenv("PATH", (bin + ":" + path).c_str(), 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ran);
        c.visual ? setenv("VISUAL", c.visual, 1) : unsetenv("VISUAL");
        c.editor ? setenv("EDITOR", c.editor, 1) : unsetenv("EDITOR");
        EXPECT_TRUE(framework::StartTextEditor("\"" + file + "\""));
        const std::string ran = bin + "/" + c.ran + ".ran";
        for (int wait = 0; wait < 2000 && !testkit::exists(ran); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(TextOf(ran), c.arguments);
    }
    setenv("PATH", path.c_str(), 1);
}

}  // namespace

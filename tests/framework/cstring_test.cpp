// The operating-system shims as the headless backend answers them: no path
// longer than 1536 bytes gets through from any source, a drop is always
// released, and file dialogs and strings come from what the test set.
#include <functional>
#include <string>

#include "framework_test.h"

namespace {

constexpr UINT kTemplate = 102;

class DropDlg : public CDialog {
public:
    DropDlg() : CDialog(kTemplate) {}
    bool taken = false;
    std::string path;

protected:
    void OnDropFiles(HDROP hDropInfo) override { taken = framework::TakeFirstDroppedFile(hDropInfo, path); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DropDlg, CDialog)
    ON_WM_DROPFILES()
END_MESSAGE_MAP()

// A path of exactly `bytes` bytes, with double-byte characters in it.
std::string PathOfLength(std::size_t bytes) {
    std::string path = "D:\\ソ表\\";
    path.append(bytes - path.size() - 4, 'a');
    return path + ".3g2";
}

struct PathSource {
    const char* name;
    std::function<bool(const std::string& offered, std::string& received)> offer;
};

const PathSource kPathSources[] = {
    {"module path",
     [](const std::string& offered, std::string& received) {
         headless::SetModulePath(offered);
         return framework::GetModulePath(received);
     }},
    {"open dialog",
     [](const std::string& offered, std::string& received) {
         headless::AnswerFileDialog(offered);
         return framework::ChooseFileToOpen(nullptr, {}, received);
     }},
    {"save dialog",
     [](const std::string& offered, std::string& received) {
         headless::AnswerFileDialog(offered);
         return framework::ChooseFileToSave(nullptr, {}, received);
     }},
    {"drop",
     [](const std::string& offered, std::string& received) {
         DropDlg dialog;
         RunDialog(dialog, kTemplate, [&](DropDlg& shown) { headless::DropFiles(shown, {offered, "D:\\x.jpg"}); });
         EXPECT_EQ(headless::UnreleasedDrops(), 0) << "the drop is released either way";
         received = dialog.path;
         return dialog.taken;
     }},
};

class LongPaths : public HeadlessTest, public ::testing::WithParamInterface<PathSource> {};

TEST_P(LongPaths, AreRefusedNotCut) {
    for (std::size_t length : {std::size_t{1536}, std::size_t{1537}, std::size_t{4000}}) {
        SCOPED_TRACE(length);
        std::string received = "stale";
        bool accepted = GetParam().offer(PathOfLength(length), received);
        EXPECT_EQ(accepted, length <= framework::kMaxPathBytes);
        EXPECT_EQ(received, accepted ? PathOfLength(length) : "");
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, LongPaths, ::testing::ValuesIn(kPathSources), RowName());

using Shims = HeadlessTest;

TEST_F(Shims, FileDialogsAreRecordedAndAnsweredInOrder) {
    framework::FileDialogRequest music{"楽曲ファイルを開く", {{"3g2/3gp/MP4 Audio", "*.3g2;*.3gp;*.mp4;*.m4a"}}, true, false, ""};
    headless::AnswerFileDialog("D:\\ソ\\a.3g2");
    headless::AnswerFileDialog(std::nullopt);
    std::string first, second, third;
    EXPECT_TRUE(framework::ChooseFileToOpen(nullptr, music, first));
    EXPECT_FALSE(framework::ChooseFileToOpen(nullptr, music, second)) << "cancelled";
    EXPECT_FALSE(framework::ChooseFileToSave(nullptr, {}, third)) << "no answer left: cancelled";
    EXPECT_EQ(first, "D:\\ソ\\a.3g2");
    ASSERT_EQ(headless::FileDialogs().size(), 3u);
    EXPECT_EQ(headless::FileDialogs()[0].request.title, "楽曲ファイルを開く");
    EXPECT_TRUE(headless::FileDialogs()[0].request.mustExist);
    EXPECT_TRUE(headless::FileDialogs()[2].save);
}

TEST_F(Shims, StringsComeFromTheProgramsTable) {
    headless::SetStringTable({{101, "Tessaryn のﾊﾞｰｼﾞｮﾝ情報(&A)..."}});
    CString text = "stale";
    EXPECT_TRUE(text.LoadString(101));
    EXPECT_EQ(text, "Tessaryn のﾊﾞｰｼﾞｮﾝ情報(&A)...");
    EXPECT_FALSE(text.LoadString(102));
    EXPECT_TRUE(text.IsEmpty());
}

TEST_F(Shims, FormatWritesLongTextsWhole) {
    std::string path = PathOfLength(1536);
    CString text;
    text.Format("%s|%s|%lu:%02u", path.c_str(), path.c_str(), 4294967295ul, 7u);
    EXPECT_EQ(std::string(text), path + "|" + path + "|4294967295:07");
}

}  // namespace

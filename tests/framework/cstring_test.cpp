// CString's own work: a missing string resource leaves no stale text, and
// Format writes texts longer than any fixed buffer whole.
#include <string>

#include "framework_test.h"

namespace {

using CStringTest = HeadlessTest;

// (A string the table holds: tests/frontend, the window menu.)
TEST_F(CStringTest, AStringMissingFromTheTableLeavesNoStaleText) {
    CString text = "stale";
    EXPECT_FALSE(text.LoadString(102));
    EXPECT_TRUE(text.IsEmpty());
}

TEST_F(CStringTest, FormatWritesLongTextsWhole) {
    const std::string path = "D:\\ソ表\\" + std::string(1524, 'a') + ".3g2";  // 1536 bytes, the longest path
    CString text;
    text.Format("%s|%s|%lu:%02u", path.c_str(), path.c_str(), 4294967295ul, 7u);
    EXPECT_EQ(std::string(text), path + "|" + path + "|4294967295:07");
}

}  // namespace

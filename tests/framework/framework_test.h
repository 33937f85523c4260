// Shared by the framework's tests: every test starts from an empty headless
// backend. The sources are UTF-8 compiled to CP932, so "ソ" is the bytes 83 5C.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

#include "framework/framework.h"
#include "framework/headless/headless.h"

namespace headless = framework::headless;

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override { headless::Reset(); }
    void TearDown() override { headless::Reset(); }
};

// In the same unnamed namespace as each test file's table rows, so that
// GoogleTest finds the printer for them.
namespace {

// A table row prints as its description.
template <typename Row, typename = decltype(Row::name)>
std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << '"' << row.name << '"';
}

// A test name from a row's description: its ASCII words, capitalised and joined.
struct RowName {
    template <typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
        std::string name;
        bool wordStart = true;
        for (const char* p = info.param.name; *p; ++p) {
            unsigned char c = static_cast<unsigned char>(*p);
            if (c == '\'') continue;  // "base's" gives "Bases"
            if (c >= 0x80 || !std::isalnum(c)) {
                wordStart = true;
                continue;
            }
            name += wordStart ? static_cast<char>(std::toupper(c)) : static_cast<char>(c);
            wordStart = false;
        }
        return name;
    }
};

}  // namespace

// Runs `dialog` modally with `script` playing the user; returns DoModal's result.
template <typename Dialog, typename Script>
INT_PTR RunDialog(Dialog& dialog, UINT templateId, Script script) {
    headless::OnDialog(templateId, [script](CDialog& shown) { script(static_cast<Dialog&>(shown)); });
    return dialog.DoModal();
}

// Shared by the framework's tests: every test starts from an empty headless
// backend. The sources are UTF-8 compiled to CP932, so "ソ" is the bytes 83 5C.
#pragma once

#include <gtest/gtest.h>

#include "framework/framework.h"
#include "framework/headless/headless.h"

namespace headless = framework::headless;

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override { headless::Reset(); }
    void TearDown() override { headless::Reset(); }
};

// Runs `dialog` modally with `script` playing the user; returns DoModal's result.
template <typename Dialog, typename Script>
INT_PTR RunDialog(Dialog& dialog, UINT templateId, Script script) {
    headless::OnDialog(templateId, [script](CDialog& shown) { script(static_cast<Dialog&>(shown)); });
    return dialog.DoModal();
}

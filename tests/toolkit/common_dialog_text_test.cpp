// The common dialog texts: English defaults, replaced by a language file.
#include <gtest/gtest.h>

#include <string>

#include "base/language.h"
#include "support/test_support.h"
#include "toolkit/common_dialog_text.h"

using namespace WinLayer;
using RawLayer::RawString;

namespace {

std::string TextOf(const char* key) {
    const RawString text = WinCommonDialogText::Text(RawString::FromText(key)).As(RawLayer::KindUtf8);
    return std::string(text.Bytes(), text.Length());
}

}  // namespace

TEST(CommonDialogText, DefaultsAndALanguageFileReplacement) {
    EXPECT_EQ(TestSupport::S(WinCommonDialogText::Table()), "CommonDialog");
    const char* const expected[][2] = {
        {"FinishButton", "Finish"}, {"CancelButton", "Cancel"}, {"SelectButton", "Select"},
        {"CheckAllButton", "Check\r\nAll"}, {"UncheckAllButton", "Clear\r\nAll"}, {"HiddenButton", "Hidden"},
        {"OpenSide", "open"}, {"HintSide", "hint"}, {"InputTextPrompt", "Input text ?"},
    };
    for (const auto& pair : expected) EXPECT_EQ(TextOf(pair[0]), pair[1]) << pair[0];

    TestSupport::TempFolder temp;
    const std::wstring path = temp.Join(L"LanguageFile.ini");
    ASSERT_TRUE(TestSupport::WriteFileBytes(path, std::string("[Deutsch]\r\n"
                                                              "CommonDialog_CancelButton=Abbrechen\r\n"
                                                              "CommonDialog_CheckAllButton=Alle\\nw\xC3\xA4hlen\r\n")));
    RawLayer::LanguageTable& table = RawLayer::LanguageTable::Construct();
    table.SetFilePath(RawString::FromWideText(path.c_str()));
    ASSERT_TRUE(table.UseLanguage(RawString::FromText("Deutsch")));
    EXPECT_EQ(TextOf("CancelButton"), "Abbrechen");
    EXPECT_EQ(TextOf("CheckAllButton"), "Alle\r\nw\xC3\xA4hlen");
    EXPECT_EQ(TextOf("FinishButton"), "Finish");
    table.UseLanguage(RawString::FromText("Missing"));
    EXPECT_EQ(TextOf("CancelButton"), "Cancel");
}

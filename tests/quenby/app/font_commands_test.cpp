// Font steps over every height, a font change that makes the new font
// before the old one goes (and keeps the old when none can be made), and the
// saved section beside untouched ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/profile.h"
#include "quenby/app/font_commands.h"
#include "support/test_support.h"
#include "support/window_support.h"

using RawLayer::RawString;

TEST(FontCommands, StepsStayBetweenSixAndAThousandUnitsAndKeepTheSign) {
    EXPECT_FALSE([] { int32_t n = 0; return AppLayer::StepFontHeight(-6, -1, n); }());
    int32_t larger = 0;
    EXPECT_TRUE(AppLayer::StepFontHeight(-6, 1, larger));
    EXPECT_EQ(larger, -7);
    srand(7);
    for (int i = 0; i < 20000; ++i) {
        const int32_t height = rand() % 2401 - 1200;
        const int32_t step = (rand() & 1) ? 1 : -1;
        int32_t next = 12345;
        const bool taken = AppLayer::StepFontHeight(height, step, next);
        const int32_t expected = height < 0 ? height - step : height + step;
        const int32_t size = expected < 0 ? -expected : expected;
        const bool allowed = size >= 6 && size <= 1000 && ((height < 0) == (expected < 0));
        ASSERT_EQ(taken, allowed) << height << " " << step;
        ASSERT_EQ(next, taken ? expected : 12345);
    }
}

TEST(FontCommands, ANewFontIsMadeBeforeTheOldGoesAndAFailureKeepsTheOld) {
    DocLayer::StyleFont font(0, RawString::FromText("TextFont"), RawString::FromText("Height=-13"));
    font.description.lfHeight = -13;
    font.Recreate();
    const HFONT first = font.handle;
    ASSERT_NE(first, nullptr);

    LOGFONTW wanted = font.description;
    wanted.lfHeight = -20;
    {
        TestSupport::GdiHog hog(0);
        EXPECT_FALSE(AppLayer::ChangeStyleFont(font, wanted));
    }
    EXPECT_EQ(font.handle, first);
    EXPECT_EQ(font.description.lfHeight, -13);
    EXPECT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_FONT));

    ASSERT_TRUE(AppLayer::ChangeStyleFont(font, wanted));
    EXPECT_NE(font.handle, nullptr);
    EXPECT_EQ(GetObjectType(first), 0u);
    LOGFONTW made{};
    GetObjectW(font.handle, sizeof(made), &made);
    EXPECT_EQ(made.lfHeight, -20);
}

TEST(FontCommands, SaveWritesTheWholeSectionAndLeavesTheOthersByteIdentical) {
    TestSupport::TempFolder folder;
    const std::wstring path = folder.Join(L"Quenby.ini");
    const std::string before = "[Job]\r\nPageView=False\r\n\r\n[TextFont]\r\nHeight=-9\r\n\r\n[PrintFont]\r\nHeight=-40\r\n";
    ASSERT_TRUE(TestSupport::WriteFileBytes(path, before));
    DocLayer::StyleFont font(0, RawString::FromText("TextFont"), RawString::FromText("Height=-13"));
    font.profile = RawLayer::ProfileFileRef::FromPath(RawString::FromWideText(path.c_str()));
    font.description.lfHeight = -15;
    ASSERT_TRUE(AppLayer::SaveStyleFont(font));

    RawLayer::RawParameterList section;
    ASSERT_TRUE(section.ReadSection(font.profile, RawString::FromText("TextFont")));
    EXPECT_EQ(section.Count(), 14);
    EXPECT_EQ(section.Find(RawString::FromText("Height"))->value, RawString::FromText("-15"));
    const std::vector<uint8_t> bytes = TestSupport::ReadFileBytes(path);
    const std::string after(bytes.begin(), bytes.end());
    EXPECT_EQ(after.rfind("[Job]\r\nPageView=False\r\n", 0), 0u);
    EXPECT_NE(after.find("[PrintFont]\r\nHeight=-40\r\n"), std::string::npos);
}

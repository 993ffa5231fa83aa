// The command bar: the row of seventeen buttons with its gaps, the three
// areas the returned size frames, push buttons that give way on a narrow
// window and come back, captions from the language file, and a toggle that
// flips before its code is dispatched.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "tavrel/app/command_bar.h"
#include "tavrel/app/main_dialog.h"
#include "toolkit/environment.h"

using AppTest::AppRun;
using namespace AppLayer;

namespace {

std::string Caption(GuiButton& button) { return TestSupport::S(button.GetText()); }

RECT ClientOf(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return client;
}

void Resize(HWND window, LONG width) {
    RECT placed{};
    GetWindowRect(window, &placed);
    MoveWindow(window, placed.left, placed.top, width, placed.bottom - placed.top, TRUE);
    TestSupport::PumpUntilIdle();
}

}  // namespace

TEST(CommandBarTest, SeventeenButtonsInOrderWithTheirGapsAndTheAreasFramed) {
    AppRun run;
    run.WriteProfile();
    ASSERT_TRUE(run.Start(L""));
    GuiViewSet& v = run.Views();
    const LONG g = WinLayer::WinEnvironment::Instance().margin;
    ASSERT_EQ(g, 4);
    const int gapsAfter[] = {BtnReloadAll, BtnCopy2to1, BtnDeleteLine2, BtnOpenBackup,
                             BtnOpenConfig, BtnSavePairs, BtnEditable2, BtnSimple};
    EXPECT_EQ(v.buttons[BtnReloadTab].rect.left, g);
    EXPECT_EQ(v.buttons[BtnReloadTab].rect.top, g);
    for (int32_t i = 0; i + 1 < kButtonCount; ++i) {
        const bool gap = std::find(std::begin(gapsAfter), std::end(gapsAfter), i) != std::end(gapsAfter);
        // The toggles keep to the right edge: the push group may end further
        // left when the window is wider than the row.
        if (i == BtnSavePairs) {
            EXPECT_GE(v.buttons[i + 1].rect.left - v.buttons[i].rect.right, g);
            continue;
        }
        EXPECT_EQ(v.buttons[i + 1].rect.left - v.buttons[i].rect.right, gap ? g : 0) << i;
        EXPECT_EQ(v.buttons[i].Height(), v.buttons[BtnReloadTab].Height()) << i;
    }
    // The returned size frames the three areas with the spacing.
    const RECT client = ClientOf(run.Window());
    EXPECT_EQ(v.anchors[AnchorButtonArea].rect.top, g);
    EXPECT_EQ(v.anchors[AnchorViewArea].rect.top, v.anchors[AnchorButtonArea].rect.bottom + g);
    EXPECT_EQ(v.anchors[AnchorStatusArea].rect.top, v.anchors[AnchorViewArea].rect.bottom + g);
    EXPECT_EQ(client.bottom, v.anchors[AnchorStatusArea].rect.bottom + g);
    // The width is the areas' width plus the left spacing only.
    EXPECT_EQ(client.right, v.anchors[AnchorViewArea].rect.right);
    EXPECT_EQ(v.anchors[AnchorViewArea].rect.left, g);
    EXPECT_EQ(v.buttons[BtnOnly2].rect.right, v.anchors[AnchorButtonArea].rect.right);
}

TEST(CommandBarTest, PushButtonsGiveWayOnANarrowWindowAndComeBackWhenWidened) {
    AppRun run;
    run.WriteProfile();
    ASSERT_TRUE(run.Start(L""));
    GuiViewSet& v = run.Views();
    RECT placed{};
    GetWindowRect(run.Window(), &placed);
    const LONG wide = placed.right - placed.left;
    // Narrowed until "Editable1" reaches into "SaveFile".
    const LONG saveMiddle = (v.buttons[BtnSaveFile].rect.left + v.buttons[BtnSaveFile].rect.right) / 2;
    Resize(run.Window(), wide - (v.buttons[BtnEditable1].rect.left - saveMiddle));
    const LONG limit = v.buttons[BtnEditable1].rect.left;
    ASSERT_GT(limit, v.buttons[BtnSaveFile].rect.left);
    ASSERT_LT(limit, v.buttons[BtnSaveFile].rect.right);
    EXPECT_TRUE(IsWindowVisible(v.buttons[BtnSaveFile].window));
    EXPECT_FALSE(v.buttons[BtnSaveFile].ownEnabled);
    EXPECT_FALSE(IsWindowEnabled(v.buttons[BtnSaveFile].window));
    for (int32_t i = BtnOpenBackup; i < kPushButtonCount; ++i) EXPECT_FALSE(IsWindowVisible(v.buttons[i].window)) << i;
    for (int32_t i = 0; i < BtnSaveFile; ++i) EXPECT_TRUE(v.buttons[i].ownEnabled) << i;
    Resize(run.Window(), wide);
    for (int32_t i = 0; i < kPushButtonCount; ++i) {
        GuiButton& button = v.buttons[i];
        EXPECT_TRUE(IsWindowVisible(button.window)) << i;
        EXPECT_TRUE(button.ownEnabled) << i;
        EXPECT_EQ(IsWindowEnabled(button.window) != 0, button.stateEnabled) << i;
    }
}

TEST(CommandBarTest, ALanguageFileChangesOnlyTheCaptionItGives) {
    AppRun run;
    TestSupport::WriteFileBytes(run.folder.Join(L"Words.ini"),
                                "[LangMap]\r\nTestish=0x409\r\n[Testish]\r\nButton_ReloadTab=Again\r\n");
    TestSupport::WriteFileBytes(run.Profile(), "[Common]\r\nProgram=Tavrel\r\nLanguageFile=" +
                                                   TestSupport::Utf8(run.folder.Join(L"Words.ini")) +
                                                   "\r\n[UserSelection]\r\nLanguage=Testish\r\n[Option]\r\nBackupFolder=" +
                                                   TestSupport::Utf8(run.backups) + "\r\n");
    ASSERT_TRUE(run.Start(L""));
    GuiViewSet& v = run.Views();
    EXPECT_EQ(Caption(v.buttons[BtnReloadTab]), "Again");
    EXPECT_EQ(Caption(v.buttons[BtnReloadAll]), "All");
    EXPECT_EQ(Caption(v.buttons[BtnCopy1to2]), "Copy\r\n-->");
    EXPECT_EQ(Caption(v.buttons[BtnEditable1]), "Editable1");
    EXPECT_EQ(Caption(v.buttons[BtnEditable2]), "Editable2");
    // A toggle's check state has flipped when its code reaches the
    // dispatcher: the shown job takes the new state.
    GuiButton& simple = v.buttons[BtnSimple];
    const bool before = simple.checked;
    run.SendFrom(simple, 0);
    EXPECT_NE(simple.checked, before);
    ASSERT_NE(v.tabBar.CurrentJob(), nullptr);
    EXPECT_EQ(v.tabBar.CurrentJob()->edit.simple != 0, simple.checked);
}

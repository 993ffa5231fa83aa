// Start-up of the compare tool: the program profile, the usage box, the GUI
// profile path, the placement of the main window and unreadable key files.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app_fixture.h"
#include "tavrel/app/main_dialog.h"

using AppTest::AppRun;
using TestSupport::FileText;

namespace {

struct BoxSeen {
    bool found = false;
    std::wstring text;
};

// Finds the message box of this thread captioned "Tavrel", reads its text
// and presses its OK button (or Enter, as the user types it).
void AnswerMessageBox(BoxSeen& seen, bool byKey = false) {
    HWND box = AppTest::FindThreadWindow(L"#32770", L"Tavrel");
    if (!box) return;
    seen.found = true;
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    seen.text = text;
    if (byKey) {
        TestSupport::RealKey(VK_RETURN);
    } else {
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
}

RECT WindowRectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string RectKeys(const RECT& r) {
    return "WindowRect_L=" + std::to_string(r.left) + "\r\nWindowRect_T=" + std::to_string(r.top) +
           "\r\nWindowRect_R=" + std::to_string(r.right) + "\r\nWindowRect_B=" + std::to_string(r.bottom) + "\r\n";
}

// The window rectangle of a start with the given profile extra.
RECT StartedRect(const std::string& extra) {
    AppRun run;
    run.WriteProfile(extra);
    EXPECT_TRUE(run.Start(L""));
    return run.Window() ? WindowRectOf(run.Window()) : RECT{};
}

}  // namespace

TEST(StartUpTest, FirstRunWritesTheProfileAndStarts) {
    AppRun run;
    ASSERT_TRUE(run.Start(L""));
    const std::string profile = FileText(run.Profile());
    EXPECT_NE(profile.find("[Common]"), std::string::npos);
    EXPECT_NE(profile.find("Program=Tavrel"), std::string::npos);
}

TEST(StartUpTest, EmptyProgramValueShowsBadFormatAndWritesNothing) {
    AppRun run;
    const std::string original = "[Common]\r\nProgram=\r\nGuiProfile=x.ini\r\n";
    TestSupport::WriteFileBytes(run.Profile(), original);
    BoxSeen seen;
    TestSupport::ModalWatchdog watchdog(10000);
    TestSupport::WhenSystemDialogUp([&seen](HWND) { AnswerMessageBox(seen); });
    EXPECT_FALSE(run.Start(L""));
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(seen.text, L"Bad format profile !!");
    EXPECT_EQ(run.app->dialog, nullptr);
    EXPECT_EQ(FileText(run.Profile()), original);
}

TEST(StartUpTest, AnUnreadableKeyFileIsNamedAndTheProgramsOwnKeysStillAct) {
    AppRun run;
    // Random bytes where the configuration finds the bindings (named in
    // full: the configuration of an earlier start in this process still
    // holds its own resolved paths): no section can be read from them.
    const std::wstring keys = run.folder.Join(L"KeyBinding.ini");
    run.WriteProfile("VirtualKeyFile=" + TestSupport::Utf8(run.folder.Join(L"VirtualKey.ini")) +
                     "\r\nKeyBindingFile=" + TestSupport::Utf8(keys) + "\r\n");
    std::mt19937 random(20261209);
    std::string noise(4096, '\0');
    for (char& byte : noise) byte = static_cast<char>(random());
    ASSERT_TRUE(TestSupport::WriteFileBytes(keys, noise));
    const std::wstring one = run.folder.Join(L"1.txt"), two = run.folder.Join(L"2.txt");
    ASSERT_TRUE(TestSupport::WriteFileBytes(one, "abc\r\ndef\r\n"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(two, "abc\r\nxef\r\n"));
    BoxSeen seen;
    TestSupport::ModalWatchdog watchdog(10000);
    TestSupport::WhenSystemDialogUp([&seen](HWND) { AnswerMessageBox(seen, true); });
    ASSERT_TRUE(run.Start(AppTest::Quoted(one) + L" " + AppTest::Quoted(two)));
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(seen.text, L"Bad format profile !!\r\n" + keys);
    // F8 and End typed next, with nothing clicked after the message: the jump to the changed row makes side 1 current, and End
    // takes its caret to the line's end.
    AppLayer::GuiFolderBox& box = run.Views().folderBox;
    TestSupport::RealKey(VK_F8);
    TestSupport::PumpUntil([&box] { return box.Job()->side1.cursorRow == 1; }, 2000);
    EXPECT_EQ(box.CurrentSide(), 0u);
    EXPECT_EQ(box.Job()->side1.cursorRow, 1);
    TestSupport::RealKey(VK_END);
    TestSupport::PumpUntil([&box] { return box.Job()->side1.cursorColumn == 3; }, 2000);
    EXPECT_EQ(box.Job()->side1.cursorColumn, 3);
}

TEST(StartUpTest, LowerHShowsTheUsageAndUpperHStarts) {
    AppRun usage;
    BoxSeen seen;
    TestSupport::ModalWatchdog watchdog(30000);
    TestSupport::WhenSystemDialogUp([&seen](HWND) { AnswerMessageBox(seen); });
    EXPECT_FALSE(usage.Start(L"-h"));
    EXPECT_EQ(seen.text, L"Arguments = [-g GroupFile] [Path1 [Path2]]");
    EXPECT_FALSE(TestSupport::FileExists(usage.Profile()));

    AppRun upper;
    EXPECT_TRUE(upper.Start(L"-H x"));
}

TEST(StartUpTest, GuiProfileInTheUserFolderGetsTheRectangle) {
    wchar_t appData[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE));
    const std::wstring target = std::wstring(appData) + L"\\Tavrel\\g.ini";
    DeleteFileW(target.c_str());
    {
        AppRun run;
        run.WriteProfile("[Common]\r\nGuiProfile=$(User)\\g.ini\r\n");
        TestSupport::WriteFileBytes(run.Profile(), "[Common]\r\nProgram=Tavrel\r\nGuiProfile=$(User)\\g.ini\r\n");
        ASSERT_TRUE(run.Start(L""));
        EXPECT_TRUE(run.Close());
    }
    const std::string written = FileText(target);
    DeleteFileW(target.c_str());
    EXPECT_NE(written.find("[MainDialog]"), std::string::npos);
    EXPECT_NE(written.find("WindowRect_L="), std::string::npos);
    EXPECT_NE(written.find("FixRect=False"), std::string::npos);
}

TEST(StartUpTest, StoredRectangleIsUsedAndFixRectKeepsIt) {
    const RECT stored{100, 80, 900, 700};
    AppRun run;
    run.WriteProfile("[MainDialog]\r\n" + RectKeys(stored) + "FixRect=yes\r\n");
    ASSERT_TRUE(run.Start(L""));
    EXPECT_TRUE(SameRect(WindowRectOf(run.Window()), stored));
    MoveWindow(run.Window(), 200, 150, 700, 500, TRUE);
    TestSupport::PumpUntilIdle();
    ASSERT_TRUE(run.Close());
    ASSERT_TRUE(run.Start(L""));
    EXPECT_TRUE(SameRect(WindowRectOf(run.Window()), stored));
    EXPECT_NE(FileText(run.Profile()).find("FixRect=yes"), std::string::npos);
}

TEST(StartUpTest, BadRectanglesFallBackToTheCentredPlacement) {
    const RECT fallback = StartedRect("");
    ASSERT_GT(fallback.right - fallback.left, 0);
    // Inverted and zero-size rectangles give the centred default size.
    EXPECT_TRUE(SameRect(StartedRect("[MainDialog]\r\n" + RectKeys(RECT{900, 80, 100, 700})), fallback));
    EXPECT_TRUE(SameRect(StartedRect("[MainDialog]\r\n" + RectKeys(RECT{100, 80, 100, 80})), fallback));
    // On no monitor: centred with its own size.
    const RECT offScreen = StartedRect("[MainDialog]\r\n" + RectKeys(RECT{5000, 5000, 5700, 5500}));
    EXPECT_EQ(offScreen.right - offScreen.left, 700);
    EXPECT_EQ(offScreen.bottom - offScreen.top, 500);
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_EQ(offScreen.left, (area.right - area.left - 700) / 2 + area.left);

    // Without a readable "MainDialog" section the default is used and the
    // section is written at close, with "FixRect=False".
    AppRun run;
    run.WriteProfile("[MainDialogs]\r\nWindowRect_L=1\r\n");
    ASSERT_TRUE(run.Start(L""));
    EXPECT_TRUE(SameRect(WindowRectOf(run.Window()), fallback));
    ASSERT_TRUE(run.Close());
    const std::string profile = FileText(run.Profile());
    EXPECT_NE(profile.find("WindowRect_L=" + std::to_string(fallback.left)), std::string::npos);
    EXPECT_NE(profile.find("FixRect=False"), std::string::npos);
}

TEST(StartUpTest, PlacementShrinksToTheWorkAreaBeforeCentring) {
    const RECT area{0, 0, 1024, 700};
    RawLayer::RawParameterList stored;
    stored.SetText(RawLayer::RawString::FromText("WindowRect_L"), RawLayer::RawString::FromText("10"));
    stored.SetText(RawLayer::RawString::FromText("WindowRect_T"), RawLayer::RawString::FromText("-50"));
    stored.SetText(RawLayer::RawString::FromText("WindowRect_R"), RawLayer::RawString::FromText("1500"));
    stored.SetText(RawLayer::RawString::FromText("WindowRect_B"), RawLayer::RawString::FromText("1200"));
    const RECT placed = AppLayer::MainWindowPlacement(RECT{0, 0, 800, 600}, &stored, area);
    EXPECT_TRUE(SameRect(placed, area));
    const RECT big = AppLayer::MainWindowPlacement(RECT{-100, -300, 1400, 1100}, nullptr, area);
    EXPECT_TRUE(SameRect(big, area));
}

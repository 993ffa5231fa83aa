// The help viewer's title menu on a real window: the nine entries inserted
// once, the help submenu capped at 30, the language submenu, a language
// choice written and followed by the restart code (none when it cannot be
// written), moving onto the work area and the window font.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/language.h"
#include "quenby/app/title_menu.h"
#include "support/test_support.h"
#include "support/window_support.h"

using AppLayer::GuiTMenuExecution;
using RawLayer::RawString;
using TestSupport::TestDialog;

namespace {

RawString Wide(const std::wstring& text) { return RawString::FromWideText(text.c_str()); }

std::wstring MenuString(HMENU menu, UINT item, UINT by) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, item, text, 127, by);
    return text;
}

UINT StateAt(HMENU menu, UINT position) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
    GetMenuItemInfoW(menu, position, TRUE, &info);
    return info.fState;
}

UINT IdAt(HMENU menu, UINT position) { return GetMenuItemID(menu, static_cast<int>(position)); }

void UseLanguages(const std::wstring& path, const std::string& names) {
    ASSERT_TRUE(TestSupport::WriteFileBytes(path, names));
    RawLayer::LanguageTable& table = RawLayer::LanguageTable::Construct();
    table.SetFilePath(Wide(path));
    table.Load();
    RawLayer::LanguageTable::SetLanguage(RawString());
}

struct Window {
    explicit Window(const std::wstring& profile)
        : dialog("QvTitleMenu", L"Viewer", RECT{100, 100, 500, 400}), hook(dialog, Wide(profile)) {
        dialog.hooks.AddHook(&hook);
        dialog.Create();
    }
    std::vector<std::string> Commands() {
        TestSupport::PumpUntilIdle();
        std::vector<std::string> commands;
        for (const std::string& entry : dialog.journal)
            if (entry.rfind("command ", 0) == 0) commands.push_back(entry);
        dialog.journal.clear();
        return commands;
    }
    TestDialog dialog;
    GuiTMenuExecution hook;
};

}  // namespace

TEST(ViewerTitleMenu, NineEntriesOnceWithThirtyHelpDocumentsAndTheLanguages) {
    TestSupport::TempFolder folder;
    for (int i = 0; i < 31; ++i) {
        ASSERT_TRUE(TestSupport::WriteFileBytes(folder.Join(L"ReadMe_" + std::to_wstring(100 + i) + L".txt"), "x"));
    }
    UseLanguages(folder.Join(L"LanguageFile.ini"), "[LangMap]\r\nEnglish=1033\r\nDeutsch=1031\r\n");
    RawLayer::LanguageTable::SetLanguage(RawString::FromText("Deutsch"));
    Window window(folder.Join(L"gui.ini"));
    window.hook.help.programFolder = Wide(folder.Path());
    const HMENU menu = window.hook.systemMenu;
    ASSERT_NE(menu, nullptr);
    const int before = GetMenuItemCount(menu);
    SendMessageW(window.dialog.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    SendMessageW(window.dialog.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    EXPECT_EQ(GetMenuItemCount(menu), before + 9);

    EXPECT_EQ(IdAt(menu, 0), 4108u);
    EXPECT_EQ(MenuString(menu, 0, MF_BYPOSITION), L"Version 1.48.2024.0907");
    EXPECT_EQ(MenuString(menu, 2, MF_BYPOSITION), L"View help.");
    const HMENU helpMenu = GetSubMenu(menu, 2);
    ASSERT_NE(helpMenu, nullptr);
    EXPECT_EQ(GetMenuItemCount(helpMenu), 30);
    EXPECT_EQ(IdAt(helpMenu, 0), 4113u);
    EXPECT_EQ(IdAt(helpMenu, 29), 4142u);
    EXPECT_EQ(MenuString(helpMenu, 0, MF_BYPOSITION), L"ReadMe_100.txt");
    EXPECT_EQ(IdAt(menu, 3), 4110u);
    EXPECT_EQ(MenuString(menu, 3, MF_BYPOSITION), L"Move to primary screen.");
    const HMENU languages = GetSubMenu(menu, 5);
    ASSERT_NE(languages, nullptr);
    EXPECT_EQ(MenuString(menu, 5, MF_BYPOSITION), L"Select language.");
    EXPECT_EQ(GetMenuItemCount(languages), 3);
    EXPECT_EQ(MenuString(languages, 4144, MF_BYCOMMAND), L"(Auto)");
    EXPECT_EQ(GetMenuState(languages, 4146, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(languages, 4144, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(IdAt(menu, 6), 4111u);
    EXPECT_EQ(MenuString(menu, 6, MF_BYPOSITION), L"Open gui profile.");
    EXPECT_EQ(IdAt(menu, 7), 4112u);
    EXPECT_EQ(MenuString(menu, 7, MF_BYPOSITION), L"Select window font.");
    for (const UINT separator : {1u, 4u, 8u}) EXPECT_TRUE(GetMenuState(menu, separator, MF_BYPOSITION) & MF_SEPARATOR);
    for (const UINT position : {0u, 3u, 6u, 7u}) EXPECT_EQ(StateAt(menu, position) & MFS_DISABLED, 0u);

    // No help document and one language: two disabled entries.
    TestSupport::TempFolder empty;
    UseLanguages(empty.Join(L"LanguageFile.ini"), "[LangMap]\r\nEnglish=1033\r\n");
    Window plain(empty.Join(L"gui.ini"));
    plain.hook.help.programFolder = Wide(empty.Path());
    SendMessageW(plain.dialog.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(plain.hook.systemMenu), 0);
    EXPECT_EQ(IdAt(plain.hook.systemMenu, 2), 4109u);
    EXPECT_NE(StateAt(plain.hook.systemMenu, 2) & MF_DISABLED, 0u);
    EXPECT_EQ(IdAt(plain.hook.systemMenu, 5), 4144u);
    EXPECT_NE(StateAt(plain.hook.systemMenu, 5) & MF_DISABLED, 0u);
    RawLayer::LanguageTable::Construct().SetFilePath(RawString());
}

TEST(ViewerTitleMenu, ALanguageChoiceIsWrittenThenRestartsUnlessItCannotBeWritten) {
    TestSupport::TempFolder folder;
    UseLanguages(folder.Join(L"LanguageFile.ini"), "[LangMap]\r\nEnglish=1033\r\nDeutsch=1031\r\n");
    const std::wstring profile = folder.Join(L"gui.ini");
    ASSERT_TRUE(TestSupport::WriteFileBytes(profile, "[MainDialog]\r\nWindowRect_L=1\r\n"));
    Window window(profile);
    RawLayer::ProfileFileRef ref = RawLayer::ProfileFileRef::FromPath(Wide(profile));

    SendMessageW(window.dialog.window, WM_SYSCOMMAND, 4146, 0);
    EXPECT_EQ(ref.ReadValue(RawString::FromText("UserSelection"), RawString::FromText("Language")),
              RawString::FromText("Deutsch"));
    EXPECT_EQ(window.Commands(), std::vector<std::string>{"command 4353"});

    bool found = false;
    SendMessageW(window.dialog.window, WM_SYSCOMMAND, 4144, 0);
    EXPECT_TRUE(ref.ReadValue(RawString::FromText("UserSelection"), RawString::FromText("Language"), &found).IsEmpty());
    EXPECT_TRUE(found);
    EXPECT_EQ(window.Commands(), std::vector<std::string>{"command 4353"});

    // A read-only profile keeps the viewer as it is.
    const std::vector<uint8_t> kept = TestSupport::ReadFileBytes(profile);
    SetFileAttributesW(profile.c_str(), FILE_ATTRIBUTE_READONLY);
    SendMessageW(window.dialog.window, WM_SYSCOMMAND, 4145, 0);
    EXPECT_TRUE(window.Commands().empty());
    EXPECT_EQ(TestSupport::ReadFileBytes(profile), kept);
    SetFileAttributesW(profile.c_str(), FILE_ATTRIBUTE_NORMAL);
    RawLayer::LanguageTable::SetLanguage(RawString());
    RawLayer::LanguageTable::Construct().SetFilePath(RawString());
}

TEST(ViewerTitleMenu, MovesOnToTheWorkAreaAndTheWindowFontChangesOnlyTheProfile) {
    TestSupport::ModalWatchdog watchdog(30000);
    TestSupport::TempFolder folder;
    const std::wstring profile = folder.Join(L"gui.ini");
    ASSERT_TRUE(TestSupport::WriteFileBytes(profile, "[MainDialog]\r\nWindowRect_L=1\r\n"));
    Window window(profile);
    window.dialog.paintColour = RGB(10, 120, 30);

    SetWindowPos(window.dialog.window, nullptr, -5000, -4000, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(window.dialog.window, WM_SYSCOMMAND, 4110, 0);
    RECT place{}, area{};
    GetWindowRect(window.dialog.window, &place);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_GE(place.left, area.left);
    EXPECT_GE(place.top, area.top);
    EXPECT_LT(place.left, area.right);

    TestSupport::PumpUntilIdle();
    const TestSupport::DibCanvas before = TestSupport::DibCanvas::CaptureClient(window.dialog.window);
    const std::vector<uint8_t> original = TestSupport::ReadFileBytes(profile);
    for (const WPARAM button : {IDCANCEL, IDOK}) {
        TestSupport::AnswerSystemDialog(button);
        SendMessageW(window.dialog.window, WM_SYSCOMMAND, 4112, 0);
        if (button == IDCANCEL) {
            EXPECT_EQ(TestSupport::ReadFileBytes(profile), original);
            EXPECT_TRUE(window.Commands().empty());
        }
    }
    RawLayer::ProfileFileRef ref = RawLayer::ProfileFileRef::FromPath(Wide(profile));
    RawLayer::RawParameterList section;
    EXPECT_TRUE(section.ReadSection(ref, RawString::FromText("WindowFont")));
    EXPECT_EQ(section.Count(), 14);
    EXPECT_EQ(window.Commands(), std::vector<std::string>{"command 4354"});
    const TestSupport::DibCanvas after = TestSupport::DibCanvas::CaptureClient(window.dialog.window);
    EXPECT_TRUE(before.SameAs(after));
    EXPECT_FALSE(watchdog.Fired());
}

// The title menu of the main window: its entries, help documents,
// languages, moving onto the primary screen and the font choices.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>

#include "app_fixture.h"
#include "base/language.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/jobs/gui_profile.h"

using AppTest::AppRun;
using AppLayer::GuiTMenuExecution;

namespace {

struct MenuEntry {
    UINT id = 0;
    UINT type = 0;
    UINT state = 0;
    HMENU submenu = nullptr;
    std::wstring text;
};

MenuEntry EntryAt(HMENU menu, UINT position) {
    wchar_t text[128] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 127;
    MenuEntry entry;
    if (!GetMenuItemInfoW(menu, position, TRUE, &info)) return entry;
    entry.id = info.wID;
    entry.type = info.fType;
    entry.state = info.fState;
    entry.submenu = info.hSubMenu;
    entry.text = text;
    return entry;
}

// The system menu opened as the title bar opens it.
HMENU OpenSystemMenu(AppRun& run) {
    const HMENU menu = run.Dialog().titleMenu.systemMenu;
    SendMessageW(run.Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
    return menu;
}

// The title menu opened from the keyboard as a user opens it (Alt+Space),
// walked with the arrow keys and chosen with Enter. The keys wait in the
// queue, where the menu's own loop reads them once it runs.
void ChooseInTitleMenu(HWND window, std::initializer_list<UINT> keys) {
    for (const UINT key : keys) TestSupport::PostKey(window, key);
    TestSupport::PostKey(window, VK_RETURN);
    SendMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, ' ');
}

// A run whose configuration (the program profile) lists the manuals of a
// pattern.
struct ManualRun : AppRun {
    explicit ManualRun(const std::wstring& pattern) {
        CreateDirectoryW(folder.Join(L"docs").c_str(), nullptr);
        WriteProfile("[Manual]\r\nManual=" + TestSupport::Utf8(folder.Join(L"docs\\") + pattern) + "\r\n");
    }
};

BOOL CALLBACK FindFontDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Answers the font dialog when it is up: OK or Cancel.
void AnswerFontDialog(bool confirm, bool* seen) {
    TestSupport::RunLater(500, [confirm, seen] {
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindFontDialog, reinterpret_cast<LPARAM>(&dialog));
        *seen = dialog != nullptr;
        if (dialog) PostMessageW(dialog, WM_COMMAND, confirm ? IDOK : IDCANCEL, 0);
    });
}

// The command codes posted to the window and not yet taken.
std::vector<uint16_t> PostedCodes(HWND window) {
    std::vector<uint16_t> codes;
    MSG message;
    while (PeekMessageW(&message, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) codes.push_back(HIWORD(message.wParam));
    return codes;
}

std::string Joined(const RawLayer::RawParameterList& list) {
    std::string all;
    for (const RawLayer::RawParameterUnit& unit : list) all += TestSupport::S(unit.key) + "=" + TestSupport::S(unit.value) + ";";
    return all;
}

}  // namespace

TEST(TitleMenuTest, EntriesAreInsertedOnceWithThirtyManualsAtMost) {
    ManualRun run(L"*.txt");
    for (int i = 0; i < 31; ++i) {
        wchar_t name[32];
        wsprintfW(name, L"docs\\doc%02d.txt", i);
        TestSupport::WriteFileBytes(run.folder.Join(name), "doc");
    }
    ASSERT_TRUE(run.Start(L""));
    const int before = GetMenuItemCount(run.Dialog().titleMenu.systemMenu);
    const HMENU menu = OpenSystemMenu(run);
    OpenSystemMenu(run);
    ASSERT_EQ(GetMenuItemCount(menu), before + 12);

    const MenuEntry version = EntryAt(menu, 0);
    EXPECT_EQ(version.id, 4108u);
    EXPECT_EQ(version.text, L"Version 2.08.2026.0329");
    EXPECT_TRUE(EntryAt(menu, 1).type & MFT_SEPARATOR);
    const MenuEntry help = EntryAt(menu, 2);
    EXPECT_EQ(help.text, L"View help.");
    ASSERT_NE(help.submenu, nullptr);
    ASSERT_EQ(GetMenuItemCount(help.submenu), 30);
    EXPECT_EQ(EntryAt(help.submenu, 0).id, 4116u);
    EXPECT_EQ(EntryAt(help.submenu, 0).text, L"doc00.txt");
    EXPECT_EQ(EntryAt(help.submenu, 29).id, 4145u);
    EXPECT_EQ(EntryAt(help.submenu, 29).text, L"doc29.txt");
    const MenuEntry move = EntryAt(menu, 3);
    EXPECT_EQ(move.id, 4110u);
    EXPECT_EQ(move.text, L"Move to primary screen.");
    EXPECT_TRUE(EntryAt(menu, 4).type & MFT_SEPARATOR);
    const std::pair<UINT, const wchar_t*> rest[] = {{4111, L"Open gui profile."},
                                                    {4112, L"Select window font."},
                                                    {4113, L"Select path view font."},
                                                    {4114, L"Select text view font."},
                                                    {4115, L"Select binary view font."}};
    for (UINT i = 0; i < 5; ++i) {
        const MenuEntry entry = EntryAt(menu, 6 + i);
        EXPECT_EQ(entry.id, rest[i].first);
        EXPECT_EQ(entry.text, rest[i].second);
        EXPECT_FALSE(entry.state & MFS_DISABLED);
    }
    EXPECT_TRUE(EntryAt(menu, 11).type & MFT_SEPARATOR);
}

TEST(TitleMenuTest, ViewHelpBeforeTheMenuOpenedStartsTheFirstDocument) {
    ManualRun run(L"*.cmd");
    const std::wstring marker = run.folder.Join(L"marker.txt");
    TestSupport::WriteFileBytes(run.folder.Join(L"docs\\first.cmd"),
                                "@echo started> \"" + TestSupport::Utf8(marker) + "\"\r\n");
    ASSERT_TRUE(run.Start(L""));
    EXPECT_EQ(GetMenuItemCount(run.Dialog().titleMenu.systemMenu) > 0, true);
    SendMessageW(run.Window(), WM_SYSCOMMAND, GuiTMenuExecution::IdViewHelp, 0);
    EXPECT_TRUE(TestSupport::PumpUntil([&marker] { return TestSupport::FileExists(marker); }, 15000));
    // Only one document: a plain entry.
    const MenuEntry help = EntryAt(OpenSystemMenu(run), 2);
    EXPECT_EQ(help.id, 4109u);
    EXPECT_EQ(help.submenu, nullptr);
    EXPECT_FALSE(help.state & MFS_DISABLED);
}

TEST(TitleMenuTest, MoveToPrimaryScreenPutsALargeWindowAtTheWorkAreaCorner) {
    ManualRun run(L"*.none");
    ASSERT_TRUE(run.Start(L""));
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    SetWindowPos(run.Window(), nullptr, area.left + 50, area.top + 60, area.right - area.left + 100,
                 area.bottom - area.top + 80, SWP_NOZORDER);
    SendMessageW(run.Window(), WM_SYSCOMMAND, GuiTMenuExecution::IdMoveToPrimary, 0);
    RECT placed{};
    GetWindowRect(run.Window(), &placed);
    EXPECT_EQ(placed.left, area.left);
    EXPECT_EQ(placed.top, area.top);
    // No help document: the help entry is there and disabled.
    const MenuEntry help = EntryAt(OpenSystemMenu(run), 2);
    EXPECT_EQ(help.id, 4109u);
    EXPECT_TRUE(help.state & MFS_DISABLED);
}

TEST(TitleMenuTest, FontChoicesWriteTheirSectionOrNothing) {
    AppRun run;
    // A window font whose face is not installed here.
    run.WriteProfile("[WindowFont]\r\nHeight=-15\r\nFaceName=No Such Face Here\r\n");
    ASSERT_TRUE(run.Start(L""));
    TestSupport::PumpUntilIdle();
    PostedCodes(run.Window());
    const std::string before = TestSupport::FileText(run.Profile());

    bool seen = false;
    AnswerFontDialog(false, &seen);
    SendMessageW(run.Window(), WM_SYSCOMMAND, GuiTMenuExecution::IdPathViewFont, 0);
    EXPECT_TRUE(seen);
    EXPECT_EQ(TestSupport::FileText(run.Profile()), before);
    EXPECT_TRUE(PostedCodes(run.Window()).empty());

    seen = false;
    AnswerFontDialog(true, &seen);
    SendMessageW(run.Window(), WM_SYSCOMMAND, GuiTMenuExecution::IdWindowFont, 0);
    EXPECT_TRUE(seen);
    EXPECT_EQ(PostedCodes(run.Window()), std::vector<uint16_t>{AppLayer::CmdWindowFont});
    RawLayer::ProfileFileRef file = RawLayer::ProfileFileRef::FromPath(TestSupport::W(run.Profile()));
    RawLayer::RawParameterList chosen;
    ASSERT_TRUE(chosen.ReadSection(file, JobLayer::WindowFontSectionText()));
    EXPECT_GT(chosen.Count(), 0);
    // Confirmed untouched: the font as it was, not the dialog's first face.
    const RawLayer::RawParameterUnit* face = chosen.Find(RawLayer::RawString::FromText("FaceName"));
    const RawLayer::RawParameterUnit* height = chosen.Find(RawLayer::RawString::FromText("Height"));
    ASSERT_TRUE(face && height);
    EXPECT_EQ(TestSupport::S(face->value), "No Such Face Here");
    EXPECT_EQ(TestSupport::S(height->value), "-15");

    // Closing writes the window's place, and no older font over the chosen.
    ASSERT_TRUE(run.Close());
    RawLayer::RawParameterList after;
    ASSERT_TRUE(after.ReadSection(file, JobLayer::WindowFontSectionText()));
    EXPECT_EQ(Joined(after), Joined(chosen));
    EXPECT_NE(TestSupport::FileText(run.Profile()).find("[MainDialog]"), std::string::npos);
}

TEST(TitleMenuTest, LanguagesGiveASubmenuOnlyFromTwoAndAChoiceRestarts) {
    TestSupport::TempFolder folder;
    RawLayer::LanguageTable& table = RawLayer::LanguageTable::Construct();
    const std::wstring one = folder.Join(L"one.ini");
    const std::wstring two = folder.Join(L"two.ini");
    TestSupport::WriteFileBytes(one, "[LangMap]\r\nEnglish=1033\r\n");
    TestSupport::WriteFileBytes(two, "[LangMap]\r\nEnglish=1033\r\nDeutsch=1031\r\n");
    const std::wstring profile = folder.Join(L"gui.ini");
    TestSupport::WriteFileBytes(profile, "[UserSelection]\r\nLanguage=English\r\n");
    JobLayer::GuiProfileStore::Instance().file = RawLayer::ProfileFileRef::FromPath(TestSupport::W(profile));

    // A stand-in main window, so that the restart it is asked for is only
    // a posted code.
    auto menuOf = [&](const std::wstring& languageFile, const char* selected, auto&& check) {
        table.SetFilePath(TestSupport::W(languageFile));
        table.Load();
        RawLayer::LanguageTable::SetLanguage(RawLayer::RawString::FromText(selected));
        TestSupport::TestDialog window("Test_TitleMenuOwner", L"Stand-in", RECT{50, 50, 450, 350});
        window.style |= WS_SYSMENU;
        GuiTMenuExecution hook(window);
        window.hooks.AddHook(&hook);
        window.Create();
        SendMessageW(window.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hook.systemMenu), MAKELPARAM(0, TRUE));
        check(window, hook);
        DestroyWindow(window.window);
        window.hooks.RemoveHook(&hook);
        TestSupport::PumpUntilIdle(300);
        TestSupport::DrainQuit();
    };
    menuOf(one, "English", [](TestSupport::TestDialog&, GuiTMenuExecution& hook) {
        const MenuEntry language = EntryAt(hook.systemMenu, 5);
        EXPECT_EQ(language.id, 4147u);
        EXPECT_EQ(language.submenu, nullptr);
        EXPECT_TRUE(language.state & MFS_DISABLED);
    });
    menuOf(two, "Deutsch", [&](TestSupport::TestDialog& window, GuiTMenuExecution& hook) {
        const MenuEntry language = EntryAt(hook.systemMenu, 5);
        ASSERT_NE(language.submenu, nullptr);
        ASSERT_EQ(GetMenuItemCount(language.submenu), 3);
        const wchar_t* names[] = {L"(Auto)", L"English", L"Deutsch"};
        for (UINT i = 0; i < 3; ++i) {
            const MenuEntry entry = EntryAt(language.submenu, i);
            EXPECT_EQ(entry.id, 4147u + i);
            EXPECT_EQ(entry.text, names[i]);
            EXPECT_EQ((entry.state & MFS_CHECKED) != 0, i == 2) << i;
        }
        // The checked one chosen again still writes and restarts.
        window.journal.clear();
        SendMessageW(window.window, WM_SYSCOMMAND, 4149, 0);
        TestSupport::PumpUntilIdle(300);
        EXPECT_NE(TestSupport::FileText(profile).find("Language=Deutsch"), std::string::npos);
        EXPECT_EQ(std::count(window.journal.begin(), window.journal.end(), "command 4352"), 1);
        SendMessageW(window.window, WM_SYSCOMMAND, 4147, 0);
        TestSupport::PumpUntilIdle(300);
        EXPECT_NE(TestSupport::FileText(profile).find("Language=\r\n"), std::string::npos);
        EXPECT_EQ(std::count(window.journal.begin(), window.journal.end(), "command 4352"), 2);
    });
    RawLayer::LanguageTable::SetLanguage(RawLayer::RawString());
}

// Chosen through the real title menu of the main window: Wine's menu loop
// posts a choice in a submenu as a menu command, not a system command. The
// restart starts a stand-in program in Tavrel's place.
TEST(TitleMenuTest, ChoicesInTheRealSubmenusOpenTheManualAndRestartInTheLanguage) {
    TestSupport::ModalWatchdog watchdog(30000);
    AppRun run;
    const std::wstring languages = run.folder.Join(L"languages.ini");
    TestSupport::WriteFileBytes(languages, "[LangMap]\r\nEnglish=1033\r\nDeutsch=1031\r\n");
    CreateDirectoryW(run.folder.Join(L"docs").c_str(), nullptr);
    std::wstring markers[2];
    for (int i = 0; i < 2; ++i) {
        markers[i] = run.folder.Join(L"opened" + std::to_wstring(i) + L".txt");
        TestSupport::WriteFileBytes(run.folder.Join(L"docs\\manual" + std::to_wstring(i) + L".cmd"),
                                    "@echo opened> \"" + TestSupport::Utf8(markers[i]) + "\"\r\n");
    }
    TestSupport::WriteFileBytes(run.Profile(), "[Common]\r\nProgram=Tavrel\r\nLanguageFile=" +
                                                   TestSupport::Utf8(languages) +
                                                   "\r\n[UserSelection]\r\nLanguage=English\r\n[Manual]\r\nManual=" +
                                                   TestSupport::Utf8(run.folder.Join(L"docs\\*.cmd")) + "\r\n");
    ASSERT_TRUE(run.Start(L""));
    const std::wstring probe = run.folder.Join(L"probe.exe");
    std::wstring probeSource = TestSupport::ModulePath();
    probeSource.replace(probeSource.rfind(L'\\') + 1, std::wstring::npos, L"quenby_probe.exe");
    ASSERT_TRUE(CopyFileW(probeSource.c_str(), probe.c_str(), FALSE));
    run.Dialog().restartProgram = TestSupport::W(probe);
    const HWND window = run.Window();

    // The version line, then the help submenu: its second manual.
    ChooseInTitleMenu(window, {VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN});
    EXPECT_TRUE(TestSupport::PumpUntil([&markers] { return TestSupport::FileExists(markers[1]); }, 10000));
    TestSupport::PumpUntilIdle(500);
    EXPECT_FALSE(TestSupport::FileExists(markers[0]));

    // Past the help and moving entries, the language submenu: "(Auto)",
    // "English", "Deutsch".
    ChooseInTitleMenu(window, {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN});
    EXPECT_TRUE(TestSupport::PumpUntil([window] { return !IsWindow(window); }, 5000));
    const std::string profile = TestSupport::FileText(run.Profile());
    EXPECT_NE(profile.find("Language=Deutsch"), std::string::npos) << profile;
    const std::wstring record = run.folder.Join(L"command_line.txt");
    EXPECT_TRUE(TestSupport::PumpUntil([&record] { return TestSupport::FileExists(record); }, 5000));
    const std::vector<uint8_t> bytes = TestSupport::ReadFileBytes(record);
    const std::wstring line(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    EXPECT_NE(line.find(L" -g \""), std::wstring::npos) << TestSupport::Utf8(line);
    if (!run.Dialog().restartFile.IsEmpty()) DeleteFileW(TestSupport::Ws(run.Dialog().restartFile).c_str());
    EXPECT_FALSE(watchdog.Fired());
    RawLayer::LanguageTable::SetLanguage(RawLayer::RawString());
    RawLayer::LanguageTable::Construct().SetFilePath(RawLayer::RawString());
}

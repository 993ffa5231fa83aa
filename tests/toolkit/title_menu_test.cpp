// The title-menu hook on a real window, and its services on real folders:
// help files by pattern, the read-me variant, the viewer search, the
// language submenu and centring.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/api_text.h"
#include "base/language.h"
#include "support/test_support.h"
#include "support/window_support.h"
#include "toolkit/environment.h"
#include "toolkit/title_menu.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::TestDialog;

namespace {

RawString Wide(const std::wstring& text) { return RawString::FromWideText(text.c_str()); }

std::wstring WideOf(const RawString& text) {
    const RawString utf16 = text.As(RawLayer::KindUtf16);
    return std::wstring(reinterpret_cast<const wchar_t*>(utf16.Bytes()), utf16.Length());
}

class RecordingMenu : public WinTMenuExecution {
public:
    using WinTMenuExecution::WinTMenuExecution;
    void BuildMenu(HMENU menu) override { built = menu; }
    void InitMenu(HMENU) override {}
    void Execute(WPARAM command) override { commands.push_back(command); }
    HMENU built = nullptr;
    std::vector<WPARAM> commands;
};

void Touch(const std::wstring& path) { ASSERT_TRUE(TestSupport::WriteFileBytes(path, std::string("x"))); }

}  // namespace

TEST(TitleMenu, HookBuildsOnCreateAndSeesCommandsWhileCloseStillCloses) {
    TestDialog dialog("TkTitleMenu", L"Title menu", RECT{100, 100, 400, 300});
    RecordingMenu hook(dialog);
    dialog.hooks.AddHook(&hook);
    dialog.Create();
    ASSERT_TRUE(dialog.window);
    EXPECT_EQ(hook.built, GetSystemMenu(dialog.window, FALSE));
    EXPECT_EQ(hook.systemMenu, hook.built);
    const HWND window = dialog.window;
    SendMessageW(window, WM_SYSCOMMAND, 0x1230, 0);
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(hook.commands, (std::vector<WPARAM>{0x1230, SC_CLOSE}));
    EXPECT_FALSE(IsWindow(window));
    TestSupport::DrainQuit();
}

// A submenu at the end of the title menu, as the language entries have.
class SubmenuMenu : public RecordingMenu {
public:
    using RecordingMenu::RecordingMenu;
    void BuildMenu(HMENU menu) override {
        RecordingMenu::BuildMenu(menu);
        HMENU sub = CreatePopupMenu();
        AppendMenuW(sub, MF_STRING, 0x1031, L"First");
        AppendMenuW(sub, MF_STRING, 0x1032, L"Second");
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"Choices");
    }
};

TEST(TitleMenu, AChoiceInASubmenuArrivingAsAMenuCommandIsExecutedOnce) {
    TestDialog dialog("TkTitleSubmenu", L"Title submenu", RECT{100, 100, 400, 300});
    SubmenuMenu hook(dialog);
    dialog.hooks.AddHook(&hook);
    dialog.Create();
    ASSERT_TRUE(dialog.window);
    // What Wine's menu loop sends for the second choice of the submenu.
    SendMessageW(dialog.window, WM_COMMAND, 0x1032, 0);
    // A child's notification, an accelerator, or an id the menu does not
    // hold is no choice.
    SendMessageW(dialog.window, WM_COMMAND, MAKEWPARAM(0x1031, 1), 0);
    SendMessageW(dialog.window, WM_COMMAND, 0x1040, 0);
    SendMessageW(dialog.window, WM_COMMAND, 0x1031, reinterpret_cast<LPARAM>(dialog.window));
    SendMessageW(dialog.window, WM_SYSCOMMAND, 0x1031, 0);
    EXPECT_EQ(hook.commands, (std::vector<WPARAM>{0x1032, 0x1031}));
    DestroyWindow(dialog.window);
    TestSupport::PumpUntilIdle();
    TestSupport::DrainQuit();
}

TEST(TitleMenu, HelpFilesByPatternOnceEachSortedWithTheLanguageReadMe) {
    TestSupport::TempFolder folder;
    for (const wchar_t* name : {L"ReadMe_Tavrel.txt", L"README_A.TXT", L"ReadMe_b.md", L"x.pdf", L"other.txt"}) {
        Touch(folder.Join(name));
    }
    CreateDirectoryW(folder.Join(L"ReadMe_dir.txt").c_str(), nullptr);
    const std::wstring config = folder.Join(L"config.ini");
    ASSERT_TRUE(TestSupport::WriteFileBytes(config, std::string("[Manual]\r\nManual=ReadMe_*.txt, \"*.PDF\",readme_a.*\r\n")));

    HelpFileSet set;
    set.programFolder = Wide(folder.Path());
    WinTMenuExecution::ListHelpFiles(set, Wide(config), RawString::FromText("ReadMe_Tavrel.txt"));
    std::vector<std::wstring> files;
    for (const RawString& file : set.manualFiles) files.push_back(WideOf(file));
    EXPECT_EQ(files, (std::vector<std::wstring>{folder.Join(L"README_A.TXT"), folder.Join(L"ReadMe_Tavrel.txt"),
                                                folder.Join(L"x.pdf")}));
    EXPECT_EQ(set.viewerTypes.Count(), 2);
    EXPECT_EQ(WideOf(set.readMe), folder.Join(L"ReadMe_Tavrel.txt"));

    // With a language selected, its variant wins once it exists.
    RawLayer::LanguageTable::SetLanguage(RawString::FromText("Deutsch"));
    WinTMenuExecution::ListHelpFiles(set, Wide(config), RawString::FromText("ReadMe_Tavrel.txt"));
    EXPECT_EQ(WideOf(set.readMe), folder.Join(L"ReadMe_Tavrel.txt"));
    Touch(folder.Join(L"ReadMe_Tavrel_Deutsch.txt"));
    WinTMenuExecution::ListHelpFiles(set, Wide(config), RawString::FromText("ReadMe_Tavrel.txt"));
    EXPECT_EQ(WideOf(set.readMe), folder.Join(L"ReadMe_Tavrel_Deutsch.txt"));
    RawLayer::LanguageTable::SetLanguage(RawString());
}

TEST(TitleMenu, HelpViewerFoundInItsThreePlaces) {
    TestSupport::TempFolder folder;
    const std::wstring program = folder.Join(L"prog");
    CreateDirectoryW(program.c_str(), nullptr);
    CreateDirectoryW(folder.Join(L"Quenby").c_str(), nullptr);
    CreateDirectoryW((program + L"\\Quenby").c_str(), nullptr);
    EXPECT_TRUE(WinTMenuExecution::FindHelpViewer(Wide(program)).IsEmpty());
    Touch(folder.Join(L"Quenby\\Quenby.exe"));
    EXPECT_EQ(WideOf(WinTMenuExecution::FindHelpViewer(Wide(program))), folder.Join(L"Quenby\\Quenby.exe"));
    Touch(program + L"\\Quenby\\Quenby.exe");
    EXPECT_EQ(WideOf(WinTMenuExecution::FindHelpViewer(Wide(program))), program + L"\\Quenby\\Quenby.exe");
    Touch(program + L"\\Quenby.exe");
    EXPECT_EQ(WideOf(WinTMenuExecution::FindHelpViewer(Wide(program))), program + L"\\Quenby.exe");
}

TEST(TitleMenu, LanguageSubmenuShowsAmpersandsAsWrittenCappedWithTheCheck) {
    TestSupport::TempFolder folder;
    std::string file = "[LangMap]\r\nA&B=1033\r\n";
    for (int i = 1; i < 30; ++i) file += "L" + std::to_string(100 + i) + "=1041\r\n";
    const std::wstring path = folder.Join(L"LanguageFile.ini");
    ASSERT_TRUE(TestSupport::WriteFileBytes(path, file));
    RawLayer::LanguageTable& table = RawLayer::LanguageTable::Construct();
    table.SetFilePath(Wide(path));
    table.Load();
    RawLayer::LanguageTable::SetLanguage(RawString::FromText("L105"));

    WinPopupMenu menu;
    ASSERT_TRUE(WinTMenuExecution::BuildPopupMenu(menu, 4147));
    const HMENU handle = menu.Handle();
    EXPECT_EQ(GetMenuItemCount(handle), 30);
    wchar_t text[64] = {};
    GetMenuStringW(handle, 4148, text, 63, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(text), L"A&&B");
    EXPECT_EQ(GetMenuState(handle, 4153, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(handle, 4147, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuState(handle, 4177, MF_BYCOMMAND), static_cast<UINT>(-1));

    EXPECT_EQ(WideOf(WinTMenuExecution::SelectEntry(1)), L"A&B");
    EXPECT_TRUE(WinTMenuExecution::SelectEntry(0).IsEmpty());
    EXPECT_TRUE(table.SelectedLanguage().IsEmpty());
    table.SetFilePath(RawString());
}

TEST(TitleMenu, WindowLargerThanTheWorkAreaGoesToItsTopLeft) {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    TestDialog dialog("TkTitleCentre", L"Large", RECT{50, 50, 50 + area.right + 200, 50 + area.bottom + 100});
    dialog.Create();
    WinTMenuExecution::MoveToWorkArea(dialog.window);
    RECT place{};
    GetWindowRect(dialog.window, &place);
    EXPECT_EQ(place.left, area.left);
    EXPECT_EQ(place.top, area.top);
}

TEST(TitleMenu, FontChoiceCancelledIsEmptyConfirmedGivesTheFontKeys) {
    TestSupport::ModalWatchdog watchdog(20000);
    TestDialog owner("TkTitleFont", L"Font owner", RECT{100, 100, 400, 300});
    owner.Create();
    const WinFontParameter& font = WinEnvironment::Instance().font;
    for (const WPARAM button : {IDCANCEL, IDOK}) {
        bool seen = false;
        TestSupport::AnswerSystemDialog(button, &seen);
        const RawLayer::RawParameterList chosen = WinTMenuExecution::ChooseFont(owner, font);
        EXPECT_TRUE(seen);
        EXPECT_EQ(chosen.Count(), button == IDOK ? 14 : 0);
    }
    // Confirmed untouched, a font whose face is not installed (the dialog
    // cannot open on it) comes back as it went in, not as the dialog's
    // first face at its smallest size.
    WinFontParameter missing;
    missing.description = WinFontParameter::DefaultFont();
    RawLayer::CopyFaceName(missing.description, L"No Such Face Here");
    missing.description.lfHeight = -15;
    bool seen = false;
    TestSupport::AnswerSystemDialog(IDOK, &seen);
    const RawLayer::RawParameterList chosen = WinTMenuExecution::ChooseFont(owner, missing);
    EXPECT_TRUE(seen);
    LOGFONTW back{};
    WinFontParameter::Read(back, chosen);
    EXPECT_EQ(std::wstring(back.lfFaceName), L"No Such Face Here");
    EXPECT_EQ(back.lfHeight, -15);
    EXPECT_FALSE(watchdog.Fired());
}

// Confirmed untouched, the dialog gives the record back as it went in at
// every height: the dialog offers whole points only, and a face it lists
// under another name is not a change either.
TEST(TitleMenu, FontDialogConfirmedUntouchedKeepsEveryHeightAndFace) {
    TestSupport::ModalWatchdog watchdog(600000);
    TestDialog owner("TkTitleFontKeep", L"Font owner", RECT{100, 100, 400, 300});
    owner.Create();
    // The menu font's face, a face Wine maps to another, and two that exist
    // on some machines and not on others.
    const std::vector<std::wstring> faces = {WinFontParameter::DefaultFont().lfFaceName, L"MS Shell Dlg",
                                             L"DejaVu Sans", L"Liberation Sans"};
    std::vector<LONG> heights;
    for (LONG h = -8; h >= -30; --h) heights.push_back(h);
    for (LONG h : {-36, -40, 13, 19}) heights.push_back(h);
    for (const std::wstring& face : faces) {
        for (const LONG height : heights) {
            WinFontParameter font;
            font.description = WinFontParameter::DefaultFont();
            RawLayer::CopyFaceName(font.description, face.c_str());
            font.description.lfHeight = height;
            bool seen = false;
            TestSupport::AnswerSystemDialog(IDOK, &seen);
            const RawLayer::RawParameterList chosen = WinTMenuExecution::ChooseFont(owner, font);
            ASSERT_TRUE(seen);
            LOGFONTW back{};
            WinFontParameter::Read(back, chosen);
            EXPECT_EQ(std::wstring(back.lfFaceName), face) << height;
            EXPECT_EQ(back.lfHeight, height) << std::string(face.begin(), face.end());
            EXPECT_EQ(back.lfWeight, font.description.lfWeight);
            EXPECT_EQ(back.lfCharSet, font.description.lfCharSet);
        }
    }
    EXPECT_FALSE(watchdog.Fired());
}

// A record kept in printer pixels opens on the size it prints at, and the
// size chosen comes back in printer pixels.
TEST(TitleMenu, FontDialogShowsAndSetsAPrintersSizeInPoints) {
    TestSupport::ModalWatchdog watchdog(60000);
    TestDialog owner("TkTitleFontPrint", L"Font owner", RECT{100, 100, 400, 300});
    owner.Create();
    constexpr int kSizeBox = 0x472;  // the dialog's size field
    struct Case {
        int32_t perInch;
        LONG height;
        const wchar_t* shown;
        const wchar_t* typed;
        LONG chosen;
    };
    for (const Case& c : {Case{300, -64, L"15", L"12", -50}, Case{600, -64, L"8", L"20", -167},
                          Case{1200, -200, L"12", L"9", -150}}) {
        WinFontParameter font;
        font.description = WinFontParameter::DefaultFont();
        RawLayer::CopyFaceName(font.description, L"DejaVu Sans");
        font.description.lfHeight = c.height;
        for (const bool change : {false, true}) {
            std::wstring shown;
            TestSupport::WhenSystemDialogUp(
                [&shown, &c, change](HWND dialog) {
                    wchar_t text[32] = {};
                    GetDlgItemTextW(dialog, kSizeBox, text, 31);
                    shown = text;
                    if (change) {
                        // As a click on the size in the dialog's list.
                        const HWND box = GetDlgItem(dialog, kSizeBox);
                        SendMessageW(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(c.typed));
                        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kSizeBox, CBN_SELCHANGE),
                                     reinterpret_cast<LPARAM>(box));
                    }
                    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                },
                15000);
            const RawLayer::RawParameterList chosen = WinTMenuExecution::ChooseFont(owner, font, c.perInch);
            EXPECT_EQ(shown, c.shown) << c.perInch;
            LOGFONTW back{};
            WinFontParameter::Read(back, chosen);
            EXPECT_EQ(back.lfHeight, change ? c.chosen : c.height) << c.perInch;
        }
    }
    EXPECT_FALSE(watchdog.Fired());
}

TEST(TitleMenu, MarkdownStartsTheViewerWithTheQuotedPath) {
    TestSupport::TempFolder folder;
    std::wstring probe = TestSupport::ModulePath();
    probe.replace(probe.rfind(L'\\') + 1, std::wstring::npos, L"quenby_probe.exe");
    ASSERT_TRUE(CopyFileW(probe.c_str(), folder.Join(L"Quenby.exe").c_str(), FALSE));
    const std::wstring document = folder.Join(L"Manual.md");
    Touch(document);

    HelpFileSet set;
    set.programFolder = Wide(folder.Path());
    set.viewerTypes.Add(RawString::FromText("txt"));
    set.viewerTypes.Add(RawString::FromText("md"));
    EXPECT_FALSE(WinTMenuExecution::StartHelpViewer(set, RawString()));
    ASSERT_TRUE(WinTMenuExecution::StartHelpViewer(set, Wide(document)));
    const std::wstring record = folder.Join(L"command_line.txt");
    for (int i = 0; i < 200 && GetFileAttributesW(record.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    const std::vector<uint8_t> bytes = TestSupport::ReadFileBytes(record);
    const std::wstring line(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    const std::wstring quoted = L"\"" + document + L"\"";
    ASSERT_GE(line.size(), quoted.size());
    EXPECT_EQ(line.substr(line.size() - quoted.size()), quoted);
}

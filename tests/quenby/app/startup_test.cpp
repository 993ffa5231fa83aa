// Start-up of the help viewer: the program profile, the usage box, the
// language choice, the GUI profile path and a window that cannot be made.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <psapi.h>

#include <chrono>
#include <functional>
#include <memory>

#include "quenby/app/viewer_fixture.h"
#include "quenby/app/viewer_globals.h"
#include "quenby/document/document_options.h"
#include "quenby/document/document_reader.h"
#include "toolkit/info_dialog.h"
#include "toolkit/win_message.h"

using namespace ViewerTest;
using TestSupport::FileText;

namespace {

struct BoxSeen {
    std::wstring title;
    std::wstring text;
};

BOOL CALLBACK TakeStaticText(HWND child, LPARAM out) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (std::wstring(name) == L"Static") {
        std::wstring text = TestSupport::WindowTitle(child);
        if (!text.empty()) *reinterpret_cast<std::wstring*>(out) = text;
    }
    return TRUE;
}

struct ClassCount {
    const wchar_t* name;
    int n;
};

BOOL CALLBACK CountClass(HWND window, LPARAM data) {
    auto* c = reinterpret_cast<ClassCount*>(data);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wstring(name) == c->name) ++c->n;
    return TRUE;
}

// Answers the next message box of this thread and tells what it showed.
void AnswerMessageBox(BoxSeen& seen) {
    TestSupport::WhenSystemDialogUp([&seen](HWND box) {
        seen.title = TestSupport::WindowTitle(box);
        EnumChildWindows(box, TakeStaticText, reinterpret_cast<LPARAM>(&seen.text));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
}

int CountWindowsOfClass(const wchar_t* className) {
    ClassCount count{className, 0};
    EnumThreadWindows(GetCurrentThreadId(), CountClass, reinterpret_cast<LPARAM>(&count));
    return count.n;
}

}  // namespace

TEST(ViewerStartup, WithoutProfileWritesProgramAndShowsTheEmptyTab) {
    ViewerRun run;
    ASSERT_TRUE(run.Start(""));
    EXPECT_NE(FileText(run.profile).find("[Common]"), std::string::npos);
    EXPECT_NE(FileText(run.profile).find("Program=Quenby"), std::string::npos);
    EXPECT_EQ(TestSupport::WindowTitle(run.Window()), L"Quenby");
    EXPECT_EQ(run.TabLabels(), "*");
    EXPECT_EQ(TestSupport::S(AppLayer::LookUpViewText(AppLayer::MenuTextSection(),
                                                      RawLayer::RawString::FromText("ClipTOC"))),
              "Copy TOC to clipboard.");
}

TEST(ViewerStartup, EmptyProgramValueIsABadProfile) {
    ViewerRun run;
    const std::string profile = "[Common]\r\nProgram=\r\n";
    run.Write(L"Quenby.ini", profile);
    TestSupport::ModalWatchdog watchdog(20000);
    BoxSeen seen;
    AnswerMessageBox(seen);
    AppLayer::QuenbyStart start{TestSupport::W(run.folder.Join(L"Quenby.exe")), RawLayer::RawString()};
    EXPECT_EQ(AppLayer::QuenbyMainWith(GetModuleHandleW(nullptr), start), 0);
    EXPECT_EQ(seen.title, L"Quenby");
    EXPECT_EQ(seen.text, L"Bad format profile !!");
    EXPECT_EQ(CountWindowsOfClass(L"Quenby"), 0);
    EXPECT_EQ(FileText(run.profile), profile);
}

TEST(ViewerStartup, HelpSwitchShowsOnlyTheUsage) {
    ViewerRun run;
    run.Write(L"a.md", "# A\r\n");
    TestSupport::ModalWatchdog watchdog(20000);
    BoxSeen seen;
    AnswerMessageBox(seen);
    EXPECT_FALSE(run.Start("-h a.md"));
    EXPECT_EQ(seen.text, L"Arguments = [-h] [-p|-p-] [-l ListFile] [-i FileIndex] [file]");
    EXPECT_EQ(run.Window(), nullptr);
    EXPECT_FALSE(TestSupport::FileExists(run.profile));
}

TEST(ViewerStartup, AFolderNamedLikeTheProfileStillStarts) {
    ViewerRun run;
    ASSERT_TRUE(CreateDirectoryW(run.profile.c_str(), nullptr));
    ASSERT_TRUE(run.Start(""));
    EXPECT_EQ(run.TabLabels(), "*");
}

TEST(ViewerStartup, TheUsersLanguageChoiceOutranksCommon) {
    const std::string languages =
        "[Deutsch]\r\nItemLabels_ReloadButton=Neu laden\r\n"
        "[English]\r\nItemLabels_ReloadButton=Reload again\r\n";
    {
        ViewerRun run;
        run.Write(L"LanguageFile.ini", languages);
        run.Write(L"Quenby.ini", "[Common]\r\nProgram=Quenby\r\nLanguage=Deutsch\r\n");
        ASSERT_TRUE(run.Start(""));
        EXPECT_EQ(TestSupport::S(run.Dialog()->items.reload.text), "Neu laden");
    }
    {
        ViewerRun run;
        run.Write(L"LanguageFile.ini", languages);
        run.Write(L"Quenby.ini",
                  "[Common]\r\nProgram=Quenby\r\nLanguage=Deutsch\r\n[UserSelection]\r\nLanguage=English\r\n");
        ASSERT_TRUE(run.Start(""));
        EXPECT_EQ(TestSupport::S(run.Dialog()->items.reload.text), "Reload again");
    }
}

TEST(ViewerStartup, UserMacroInAnyCasePutsThePlacementUnderApplicationData) {
    wchar_t appData[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE));
    const std::wstring name = L"quenby_test_" + std::to_wstring(GetCurrentProcessId()) + L".ini";
    const std::wstring target = std::wstring(appData) + L"\\" + name;
    DeleteFileW(target.c_str());
    {
        ViewerRun run;
        run.Write(L"Quenby.ini", "[Common]\r\nProgram=Quenby\r\nGuiProfile=$(user)\\" + TestSupport::Utf8(name) + "\r\n");
        ASSERT_TRUE(run.Start(""));
    }
    const std::string written = FileText(target);
    DeleteFileW(target.c_str());
    EXPECT_NE(written.find("[MainDialog]"), std::string::npos);
    EXPECT_NE(written.find("WindowRect_L="), std::string::npos);
}

namespace {

HHOOK g_refuseHook = nullptr;

// Refuses every window of the class "Quenby".
LRESULT CALLBACK RefuseQuenbyWindows(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CBT_CREATEWNDW* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        const LPCWSTR name = create->lpcs->lpszClass;
        if (!IS_INTRESOURCE(name) && std::wstring(name) == L"Quenby") return 1;
    }
    return CallNextHookEx(g_refuseHook, code, wParam, lParam);
}

}  // namespace

TEST(ViewerStartup, AMainWindowThatCannotBeMadeEndsTheRunAtOnce) {
    ViewerRun run;
    g_refuseHook = SetWindowsHookExW(WH_CBT, RefuseQuenbyWindows, nullptr, GetCurrentThreadId());
    ASSERT_NE(g_refuseHook, nullptr);
    TestSupport::ModalWatchdog watchdog(10000);
    AppLayer::QuenbyStart start{TestSupport::W(run.folder.Join(L"Quenby.exe")), RawLayer::RawString()};
    const auto began = std::chrono::steady_clock::now();
    const int result = AppLayer::QuenbyMainWith(GetModuleHandleW(nullptr), start);
    const auto took = std::chrono::steady_clock::now() - began;
    UnhookWindowsHookEx(g_refuseHook);
    EXPECT_EQ(result, 0);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 2000);
}

namespace {

double CommittedBytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return static_cast<double>(counters.PagefileUsage);
}

// A help document of headings, paragraphs with marks and list items, cut to
// the size.
std::string HelpDocumentOfSize(uint64_t size) {
    const std::string block =
        "## Section\n\nSome words of a paragraph that runs on for a while, with *marks* and a [link](a.md).\n"
        "A second line of the same paragraph.\n\n- an item of a list\n- another item\n\n";
    std::string text;
    text.reserve(static_cast<size_t>(size));
    while (text.size() + block.size() <= size) text += block;
    text.append(static_cast<size_t>(size) - text.size(), 'x');
    return text;
}

// Opens the path as a dropped file or a followed link does; the text of the
// message box it showed, answered with OK (empty when none came).
std::string OpenAsDropped(ViewerRun& run, const std::wstring& path) {
    DocLayer::JobOptions& options = DocLayer::JobOptions::Instance();
    options.pending.Clear();
    options.pending.Add(TestSupport::W(path));
    return ReadAndAnswerMessage(
        [&run] {
            SendMessageW(run.Window(), WM_COMMAND, MAKEWPARAM(0, AppLayer::CmdOpenPending), 0);
            TestSupport::PumpUntilIdle();
        },
        600);
}

}  // namespace

// A document over the size limit is refused with a message naming it and the
// limit, and leaves the tabs and the memory as they were; one just below the
// limit opens and costs a bounded number of bytes per byte.
TEST(ViewerStartup, ADocumentOverTheLimitIsToldAndOneBelowItOpens) {
    ViewerRun run;
    const std::wstring small = run.Write(L"small.md", "# Small\n\ntext\n");
    const std::wstring big = run.Write(L"big.md", HelpDocumentOfSize(DocLayer::kMostDocumentBytes + 1));
    const uint64_t nearSize = DocLayer::kMostDocumentBytes - 4096;
    const std::wstring below = run.Write(L"near.md", HelpDocumentOfSize(nearSize));
    ASSERT_TRUE(run.Start("\"" + TestSupport::Utf8(small) + "\""));
    ASSERT_EQ("small.md", run.TabLabels());

    const double before = CommittedBytes();
    std::string told;
    {
        // Only the refusal runs a modal box; reading the other document
        // below keeps the thread busy for a while without one.
        TestSupport::ModalWatchdog watchdog(60000);
        told = OpenAsDropped(run, big);
        EXPECT_FALSE(watchdog.Fired());
    }
    EXPECT_NE(told.find("big.md"), std::string::npos) << told;
    EXPECT_NE(told.find(std::to_string(DocLayer::kMostDocumentBytes >> 20) + " MB"), std::string::npos) << told;
    EXPECT_EQ("small.md", run.TabLabels());
    EXPECT_EQ("small.md", run.CurrentLabel());
    EXPECT_EQ(1, run.Dialog()->items.documents.Count());
    EXPECT_LT(CommittedBytes() - before, 16.0 * (1 << 20));
    EXPECT_GT(run.Dialog()->items.view.Count(), 0);

    EXPECT_EQ("", OpenAsDropped(run, below));
    EXPECT_EQ("small.md|near.md", run.TabLabels());
    EXPECT_EQ("near.md", run.CurrentLabel());
    EXPECT_EQ(2, run.Dialog()->items.documents.Count());
    const double perByte = (CommittedBytes() - before) / static_cast<double>(nearSize);
    std::printf("memory %.1f bytes per input byte (read, laid out and shown)\n", perByte);
    // The 64-bit build's records are the larger: the 32-bit program holds
    // less than this, under 800 MB at the limit.
    EXPECT_LT(perByte, 48.0);
}

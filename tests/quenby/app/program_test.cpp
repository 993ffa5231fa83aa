// Quenby.exe end to end, copied with its profile into a temporary folder: a
// language chosen in the title menu restarts it translated with its
// documents, and closing it while a tip shows ends the process cleanly.
// USES_FOREGROUND: the program's windows take the foreground.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process_window.h"
#include "support/test_support.h"

namespace {

using TestSupport::BuildRoot;

struct Program {
    Program() {
        exe = folder.Join(L"Quenby.exe");
        EXPECT_TRUE(CopyFileW((BuildRoot() + L"Quenby.exe").c_str(), exe.c_str(), FALSE));
        temp = folder.Join(L"temp");
        CreateDirectoryW(temp.c_str(), nullptr);
    }
    ~Program() {
        for (PROCESS_INFORMATION& p : started) {
            if (WaitForSingleObject(p.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(p.hProcess, 1);
            CloseHandle(p.hProcess);
            CloseHandle(p.hThread);
        }
        // The viewer a restart started is no child of the test's.
        TestSupport::EndProcessesOf(exe);
        SetEnvironmentVariableW(L"TMP", oldTmp.c_str());
        SetEnvironmentVariableW(L"TEMP", oldTmp.c_str());
    }
    bool Start(const std::wstring& arguments) {
        wchar_t old[MAX_PATH] = {};
        GetEnvironmentVariableW(L"TMP", old, MAX_PATH);
        oldTmp = old;
        // The child (and the viewer it restarts) keeps its list file here.
        SetEnvironmentVariableW(L"TMP", temp.c_str());
        SetEnvironmentVariableW(L"TEMP", temp.c_str());
        std::wstring line = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.Path().c_str(), &startup,
                            &process)) {
            return false;
        }
        started.push_back(process);
        return true;
    }
    TestSupport::TempFolder folder;
    std::wstring exe;
    std::wstring temp;
    std::wstring oldTmp;
    std::vector<PROCESS_INFORMATION> started;
};

// The top-level window of a process (or of any other process) with a child
// showing the text; waits up to the limit.
HWND WaitForWindowWithChild(const wchar_t* text, DWORD process, DWORD notProcess, DWORD limitMs) {
    TestSupport::WindowQuery query;
    query.process = process;
    query.notProcess = notProcess;
    query.childText = text;
    return TestSupport::WaitProcessWindow(query, limitMs, 100);
}

// Whether the process ended within the limit with exit code 0.
bool EndsCleanly(HANDLE process, DWORD limitMs) {
    DWORD code = 1;
    return WaitForSingleObject(process, limitMs) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code) && code == 0;
}

}  // namespace

TEST(ViewerProgram, ALanguageChoiceRestartsTranslatedWithTheDocuments) {
    Program program;
    TestSupport::WriteFileBytes(program.folder.Join(L"Quenby.ini"), "[Common]\r\nProgram=Quenby\r\n");
    TestSupport::WriteFileBytes(program.folder.Join(L"LanguageFile.ini"),
                                "[LangMap]\r\nEnglish=1\r\nDeutsch=2\r\n[English]\r\n[Deutsch]\r\n"
                                "ItemLabels_ReloadButton=Neu laden\r\n");
    const std::wstring document = program.folder.Join(L"doc one.md");
    TestSupport::WriteFileBytes(document, "# Heading\r\n\r\nText.\r\n");
    ASSERT_TRUE(program.Start(L"\"" + document + L"\""));
    const DWORD first = program.started[0].dwProcessId;
    const HWND window = WaitForWindowWithChild(L"Reload", first, 0, 20000);
    ASSERT_NE(window, nullptr);

    // "(Auto)" is 4144, the first language 4145, the second 4146.
    PostMessageW(window, WM_SYSCOMMAND, 4146, 0);
    ASSERT_TRUE(EndsCleanly(program.started[0].hProcess, 30000));
    const HWND next = WaitForWindowWithChild(L"Neu laden", 0, first, 30000);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(TestSupport::FileText(program.temp + L"\\Quenby\\Quenby_ListFile.txt"),
              TestSupport::Utf8(document) + "\r\n");
    EXPECT_NE(TestSupport::FileText(program.folder.Join(L"Quenby.ini")).find("Language=Deutsch"), std::string::npos);

    DWORD nextProcess = 0;
    GetWindowThreadProcessId(next, &nextProcess);
    HANDLE handle = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, nextProcess);
    PostMessageW(next, WM_CLOSE, 0, 0);
    if (handle) {
        EXPECT_EQ(WaitForSingleObject(handle, 5000), WAIT_OBJECT_0);
        CloseHandle(handle);
    }
}

TEST(ViewerProgram, ClosedWithATipShownItEndsAtOnce) {
    Program program;
    TestSupport::WriteFileBytes(program.folder.Join(L"Quenby.ini"), "[Common]\r\nProgram=Quenby\r\n");
    const std::wstring document = program.folder.Join(L"doc.md");
    TestSupport::WriteFileBytes(document, "# First heading\r\n\r\nText.\r\n\r\n## Second heading\r\n\r\nText.\r\n");
    ASSERT_TRUE(program.Start(L"\"" + document + L"\""));
    const DWORD process = program.started[0].dwProcessId;
    const HWND window = WaitForWindowWithChild(L"Reload", process, 0, 20000);
    ASSERT_NE(window, nullptr);
    // The tree is the child after the fifteen buttons, the divider and the
    // tab bar.
    const HWND tree = GetDlgItem(window, 2517);
    ASSERT_NE(tree, nullptr);
    HWND tip = nullptr;
    for (int attempt = 0; attempt < 50 && !tip; ++attempt) {
        SendMessageW(tree, WM_MOUSEMOVE, 0, MAKELPARAM(12, 8));
        SendMessageW(tree, WM_MOUSEHOVER, 0, MAKELPARAM(12, 8));
        tip = FindWindowW(L"Class_TipDialog", nullptr);
        if (!tip) Sleep(100);
    }
    ASSERT_NE(tip, nullptr);
    DWORD tipProcess = 0;
    GetWindowThreadProcessId(tip, &tipProcess);
    EXPECT_EQ(tipProcess, process);

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(EndsCleanly(program.started[0].hProcess, 15000));
}

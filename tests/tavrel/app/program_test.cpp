// Tavrel.exe end to end: copied with the sample folders into a fresh folder,
// started as a process of its own, closed, and started again; restarted
// with a clip file shown.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "base/clipboard.h"
#include "support/process_window.h"
#include "support/test_support.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/jobs/pair_line.h"

using TestSupport::TempFolder;

namespace {

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return full;
}

std::wstring TestFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\'));
}

// The source tree, from the test data folder (a Unix path: drive Z:).
std::wstring SourceRoot() {
    const char* data = std::getenv("TAVREL_TEST_DATA");
    std::wstring path = TestSupport::Wide(data ? data : "");
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    if (!path.empty() && path[0] == L'\\') path = L"Z:" + path;
    return FullPath(path + L"\\..\\..");
}

void CopyTree(const std::wstring& from, const std::wstring& to, int depth = 0) {
    ASSERT_LT(depth, 8);
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CopyTree(from + L"\\" + name, to + L"\\" + name, depth + 1);
        } else {
            CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

std::set<std::wstring> Names(const std::wstring& pattern) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.insert(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

// This process's environment with TEMP and TMP replaced: the program's
// temporary and dump folders then lie where no other test writes.
std::wstring EnvironmentWithTemp(const std::wstring& temp) {
    std::wstring block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; entry && *entry; entry += lstrlenW(entry) + 1) {
        const std::wstring text = entry;
        if (_wcsnicmp(entry, L"TEMP=", 5) == 0 || _wcsnicmp(entry, L"TMP=", 4) == 0) continue;
        block += text;
        block.push_back(L'\0');
    }
    if (strings) FreeEnvironmentStringsW(strings);
    for (const wchar_t* name : {L"TEMP=", L"TMP="}) {
        block += name + temp;
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

// Sets the clipboard's text and posts a command code to a main window.
void ClipCommand(HWND window, const std::wstring& text, uint16_t code) {
    ASSERT_TRUE(RawLayer::ClipboardSetText(TestSupport::W(text)));
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(0, code), 0);
}

// A started Tavrel process and its main window.
struct Program {
    PROCESS_INFORMATION info{};
    HWND window = nullptr;

    bool Start(const std::wstring& exe, const std::wstring& folder, const std::wstring& arguments,
               std::wstring& environment) {
        std::wstring line = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                            &environment[0], folder.c_str(), &startup, &info)) {
            return false;
        }
        TestSupport::WindowQuery query;
        query.process = info.dwProcessId;
        query.title = L"Tavrel";
        window = TestSupport::WaitProcessWindow(query, 10000);
        return window != nullptr;
    }
    // The instance a restart of `before` started from the program file.
    bool Follow(const std::wstring& exe, const Program& before) {
        TestSupport::WindowQuery query;
        query.windowClass = L"Tavrel_Main";
        query.program = exe.c_str();
        query.notProcess = before.info.dwProcessId;
        window = TestSupport::WaitProcessWindow(query, 10000);
        if (!window) return false;
        GetWindowThreadProcessId(window, &info.dwProcessId);
        info.hProcess =
            OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, info.dwProcessId);
        return info.hProcess != nullptr;
    }
    // WM_CLOSE; the exit code, or -1 when it did not end within 5 s.
    long Close() {
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(info.hProcess, 5000) != WAIT_OBJECT_0) {
            TerminateProcess(info.hProcess, 1);
            return -1;
        }
        DWORD code = 1;
        GetExitCodeProcess(info.hProcess, &code);
        return static_cast<long>(code);
    }
    ~Program() {
        if (info.hProcess) {
            if (WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
            CloseHandle(info.hProcess);
            if (info.hThread) CloseHandle(info.hThread);
        }
    }
};

}  // namespace

TEST(ProgramTest, StartsOnTheSamplesClosesCleanlyAndReopensAtItsRectangle) {
    TempFolder folder;
    const std::wstring exe = folder.Join(L"Tavrel.exe");
    ASSERT_TRUE(CopyFileW(FullPath(TestFolder() + L"\\..\\Tavrel.exe").c_str(), exe.c_str(), FALSE));
    CopyTree(SourceRoot() + L"\\samples", folder.Join(L"samples"));
    ASSERT_TRUE(TestSupport::FileExists(folder.Join(L"samples\\left\\readme.txt")));
    const std::wstring temp = folder.Join(L"temp");
    CreateDirectoryW(temp.c_str(), nullptr);
    std::wstring environment = EnvironmentWithTemp(temp);

    RECT first{};
    {
        Program program;
        ASSERT_TRUE(program.Start(exe, folder.Path(), L"samples\\left samples\\right", environment));
        // The program's own temporary folder exists while it runs (it is
        // made just after the window shows).
        bool made = false;
        for (int i = 0; i < 100 && !made; ++i, Sleep(50)) made = Names(temp + L"\\Tavrel_Temp*").size() == 1;
        EXPECT_TRUE(made);
        GetWindowRect(program.window, &first);
        EXPECT_EQ(program.Close(), 0);
    }
    const std::string profile = TestSupport::FileText(folder.Join(L"Tavrel.ini"));
    for (const char* key : {"WindowRect_L=", "WindowRect_T=", "WindowRect_R=", "WindowRect_B=", "FixRect=False"})
        EXPECT_NE(profile.find(key), std::string::npos) << key << "\n" << profile;
    EXPECT_NE(profile.find("WindowRect_L=" + std::to_string(first.left)), std::string::npos) << profile;
    EXPECT_TRUE(Names(temp + L"\\Tavrel_Temp*").empty());
    EXPECT_TRUE(Names(temp + L"\\Dump\\Tavrel_Dump_*").empty());

    Program again;
    ASSERT_TRUE(again.Start(exe, folder.Path(), L"", environment));
    RECT second{};
    GetWindowRect(again.window, &second);
    EXPECT_EQ(second.left, first.left);
    EXPECT_EQ(second.top, first.top);
    EXPECT_EQ(second.right, first.right);
    EXPECT_EQ(second.bottom, first.bottom);
    EXPECT_EQ(again.Close(), 0);
}

TEST(ProgramTest, ARestartHandsItsClipFilesToTheNextInstanceWhichRemovesThemAtClose) {
    TempFolder folder;
    const std::wstring exe = folder.Join(L"Tavrel.exe");
    ASSERT_TRUE(CopyFileW(FullPath(TestFolder() + L"\\..\\Tavrel.exe").c_str(), exe.c_str(), FALSE));
    const std::wstring temp = folder.Join(L"temp");
    CreateDirectoryW(temp.c_str(), nullptr);
    std::wstring environment = EnvironmentWithTemp(temp);
    // The text files in the temporary folders of every instance.
    auto clipFiles = [&temp] {
        std::set<std::wstring> files;
        for (const std::wstring& name : Names(temp + L"\\Tavrel_Temp*")) {
            for (const std::wstring& file : Names(temp + L"\\" + name + L"\\*.txt"))
                files.insert(temp + L"\\" + name + L"\\" + file);
        }
        return files;
    };

    Program first;
    ASSERT_TRUE(first.Start(exe, folder.Path(), L"", environment));
    ClipCommand(first.window, L"clip \u00e9 text", AppLayer::CmdClipLoad1);
    std::set<std::wstring> before;
    for (int i = 0; i < 100 && before.empty(); ++i, Sleep(50)) before = clipFiles();
    ASSERT_EQ(before.size(), 1u);
    PostMessageW(first.window, WM_COMMAND, MAKEWPARAM(0, AppLayer::CmdRestart), 0);
    ASSERT_EQ(WaitForSingleObject(first.info.hProcess, 10000), WAIT_OBJECT_0);

    Program second;
    ASSERT_TRUE(second.Follow(exe, first));
    // The side shows the handed text from a file of the new instance's own
    // temporary folder: its pair line names it.
    PostMessageW(second.window, WM_COMMAND, MAKEWPARAM(0, AppLayer::CmdClipTab), 0);
    JobLayer::TabPairRecord pair;
    for (int i = 0; i < 100 && !pair.valid; ++i, Sleep(50))
        JobLayer::ParseTabPairLine(pair, RawLayer::ClipboardGetText(4096));
    ASSERT_TRUE(pair.valid);
    const std::wstring clip = TestSupport::Ws(pair.path1);
    EXPECT_EQ(clipFiles(), std::set<std::wstring>{clip});
    EXPECT_EQ(TestSupport::FileText(clip), "clip \xC3\xA9 text");
    EXPECT_TRUE(Names(temp + L"\\Tavrel_Restart_*").empty());
    // The adopted file is the instance's clip file: loading the clipboard
    // into its side overwrites it.
    ClipCommand(second.window, L"second", AppLayer::CmdClipLoad1);
    for (int i = 0; i < 100 && TestSupport::FileText(clip) != "second"; ++i) Sleep(50);
    EXPECT_EQ(TestSupport::FileText(clip), "second");
    EXPECT_EQ(second.Close(), 0);
    EXPECT_TRUE(Names(temp + L"\\Tavrel_Temp*").empty());
}

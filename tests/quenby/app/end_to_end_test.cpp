// Quenby.exe copied with the sample help into a fresh folder: it starts on
// the guide, shows its tab, ends with code 0 on WM_CLOSE and leaves its
// placement in its profile and no crash dump behind.
#include <gtest/gtest.h>

#include <string>

#include "support/process_window.h"
#include "support/test_support.h"

namespace {

std::wstring BuildFolder() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.erase(path.rfind(L'\\'));  // tests
    path.erase(path.rfind(L'\\'));  // the build folder
    return path;
}

std::wstring SampleFolder() {
    char data[MAX_PATH] = {};
    GetEnvironmentVariableA("TAVREL_TEST_DATA", data, MAX_PATH);
    std::wstring path = TestSupport::Wide(data);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    if (path.size() > 2 && path[1] != L':') path = L"Z:" + path;
    path.erase(path.rfind(L'\\'));  // data
    path.erase(path.rfind(L'\\'));  // tests
    return path + L"\\samples\\help";
}

int DumpCount() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((std::wstring(temp) + L"Dump\\*.dmp").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        ++count;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return count;
}

}  // namespace

TEST(ViewerEndToEnd, StartsOnTheGuideAndClosesCleanly) {
    TestSupport::TempFolder folder;
    ASSERT_TRUE(CopyFileW((BuildFolder() + L"\\Quenby.exe").c_str(), folder.Join(L"Quenby.exe").c_str(), FALSE));
    const std::wstring samples = SampleFolder();
    for (const wchar_t* name : {L"Quenby_Guide.md", L"Quenby_Second.md", L"quenby_picture.png"}) {
        ASSERT_TRUE(CopyFileW((samples + L"\\" + name).c_str(), folder.Join(name).c_str(), FALSE))
            << TestSupport::Utf8(samples);
    }
    const int dumpsBefore = DumpCount();
    std::wstring command = L"\"" + folder.Join(L"Quenby.exe") + L"\" \"" + folder.Join(L"Quenby_Guide.md") + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.Path().c_str(),
                               &startup, &process));
    TestSupport::WindowQuery main;
    main.process = process.dwProcessId;
    main.windowClass = L"Quenby";
    HWND found = nullptr;
    bool labelled = false;
    for (int i = 0; i < 200 && !labelled; ++i) {
        Sleep(50);
        found = TestSupport::FindProcessWindow(main);
        labelled = found && TestSupport::ChildWithText(found, L"Quenby_Guide.md");
    }
    EXPECT_NE(found, nullptr);
    EXPECT_TRUE(labelled);
    if (found) PostMessageW(found, WM_CLOSE, 0, 0);
    const DWORD waited = WaitForSingleObject(process.hProcess, found ? 5000 : 0);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(code, 0u);
    const std::string profile = TestSupport::FileText(folder.Join(L"Quenby.ini"));
    for (const char* key : {"Program=Quenby", "WindowRect_L=", "WindowRect_T=", "WindowRect_R=", "WindowRect_B=",
                            "DividerPoint_X=", "DividerPoint_Y="}) {
        EXPECT_NE(profile.find(key), std::string::npos) << key;
    }
    EXPECT_EQ(DumpCount(), dumpsBefore);
}

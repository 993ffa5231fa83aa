// Helpers of the restart tests: the recorder beside the test program, a
// file waited for, and the temporary folder moved into a folder with a
// blank while a test runs.
#pragma once

#include <windows.h>

#include <string>

#include "support/test_support.h"

namespace RestartTest {

// A file beside the running test program.
inline std::wstring BesideTest(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

// The file's text once it exists (10 s at most; empty when it never came).
inline std::string WaitForFile(const std::wstring& path) {
    for (int i = 0; i < 200 && !TestSupport::FileExists(path); ++i) Sleep(50);
    return TestSupport::FileText(path);
}

// TMP and TEMP inside a folder with a blank while it lives.
struct TempInBlankFolder {
    explicit TempInBlankFolder(const std::wstring& blankFolder) : folder(blankFolder) {
        CreateDirectoryW(folder.c_str(), nullptr);
        GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
        GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
        SetEnvironmentVariableW(L"TMP", folder.c_str());
        SetEnvironmentVariableW(L"TEMP", folder.c_str());
    }
    ~TempInBlankFolder() {
        SetEnvironmentVariableW(L"TMP", oldTmp);
        SetEnvironmentVariableW(L"TEMP", oldTemp);
    }
    TempInBlankFolder(const TempInBlankFolder&) = delete;
    TempInBlankFolder& operator=(const TempInBlankFolder&) = delete;
    std::wstring folder;
    wchar_t oldTmp[MAX_PATH] = {};
    wchar_t oldTemp[MAX_PATH] = {};
};

}  // namespace RestartTest

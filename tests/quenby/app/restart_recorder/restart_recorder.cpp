// Stands in for the viewer in restart tests: writes its own command line,
// as UTF-8, into the file named by QUENBY_RECORDER_OUT and ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t out[1024] = {};
    if (!GetEnvironmentVariableW(L"QUENBY_RECORDER_OUT", out, 1023)) return 1;
    const wchar_t* line = GetCommandLineW();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    std::string text(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, line, -1, &text[0], bytes, nullptr, nullptr);
    // Written beside, then renamed, so a reader never sees half a line.
    const std::wstring partial = std::wstring(out) + L".part";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(partial.c_str(), out, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

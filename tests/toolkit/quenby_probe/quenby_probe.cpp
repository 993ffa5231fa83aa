// A stand-in for the help viewer: copied as "Quenby.exe" by the title-menu
// tests, it writes the command line it was started with (UTF-16) into
// "command_line.txt" beside itself and ends.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash) return 1;
    lstrcpyW(slash + 1, L"command_line.tmp");
    const wchar_t* line = GetCommandLineW();
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line, static_cast<DWORD>(lstrlenW(line) * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    // The record appears whole or not at all.
    wchar_t done[MAX_PATH] = {};
    lstrcpyW(done, path);
    lstrcpyW(wcsrchr(done, L'\\') + 1, L"command_line.txt");
    return ok && MoveFileExW(path, done, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

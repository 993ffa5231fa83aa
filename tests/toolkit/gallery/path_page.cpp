// Gallery page of the path chooser: a small tree in the temporary folder
// with folders, files, a hidden file and a shortcut, listed with Hidden on
// and a partial name typed in the bar.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "base/raw_string.h"
#include "gallery.h"
#include "toolkit/path_dialog.h"

using namespace WinLayer;
using RawLayer::RawString;

namespace {

class PathOwner : public WinDialog {
public:
    PathOwner() {
        className = Text("Gallery_PathOwner");
        text = Text("Owner");
        style = WS_OVERLAPPEDWINDOW;
        rect = RECT{60, 60, 860, 700};
    }
};

void WriteSmallFile(const std::wstring& path, const char* content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
    CloseHandle(file);
}

void SaveShortcut(const std::wstring& target, const std::wstring& at) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->SetPath(target.c_str())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        file->Save(at.c_str(), TRUE);
        file->Release();
    }
    link->Release();
}

// The tree under the temporary folder; its root.
std::wstring MakeTree() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"tavrel_gallery_path";
    CreateDirectoryW(root.c_str(), nullptr);
    for (const wchar_t* folder : {L"\\Documents", L"\\Projects", L"\\Projects\\compare", L"\\Pictures"})
        CreateDirectoryW((root + folder).c_str(), nullptr);
    WriteSmallFile(root + L"\\notes.txt", "notes\r\n");
    WriteSmallFile(root + L"\\report.md", "# Report\r\n");
    WriteSmallFile(root + L"\\Projects\\compare\\left.txt", "left\r\n");
    const std::wstring hidden = root + L"\\settings.ini";
    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteSmallFile(hidden, "[Settings]\r\n");
    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    SaveShortcut(root + L"\\Projects\\compare\\left.txt", root + L"\\left.lnk");
    return root;
}

}  // namespace

int ShowPathPage() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring root = MakeTree();
    PathOwner owner;
    owner.Create();
    if (!owner.window) return 1;
    WinPathDialog chooser;
    chooser.options |= WinPathDialogInfo::OptionHiddenShown;
    RECT ownerRect;
    GetWindowRect(owner.window, &ownerRect);
    const RawString start = RawString::FromWideText((root + L"\\rep").c_str()).As(RawLayer::KindUtf8);
    chooser.Setup(ownerRect, Text("Choose a file"), start);
    StartPageTimers();
    chooser.RunModal(owner);
    CoUninitialize();
    return 0;
}

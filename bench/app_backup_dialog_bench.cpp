// The backup dialog: opening it over 10,000 loaded backups (fill, measure,
// first paint), and repainting an item dialog whose folder item holds a
// large tree, beside the state check each paint used to run.
//
//   app_backup_dialog_bench WORK [BACKUPS]
//
// WORK holds "src" and "copy", two equal trees made by the script; the item
// dialog's backup is made there with the store's own steps.
//
// The screenshot scene of the backup dialog uses two more modes:
//   app_backup_dialog_bench --scene-backups ROOT DATA
//       makes backups under ROOT of files in DATA by real saves, their
//       items left in every state;
//   app_backup_dialog_bench --press COMMAND [N]
//       drives a running Tavrel.exe: "open" (command 4387), "select" N
//       (the first N entries of the topmost backup dialog), "detail",
//       "restore", "close", "message-ok", "system-menu".

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_clock.h"
#include "tavrel/app/backup_dialog.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "toolkit/dialog.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

RawString Text(const std::string& text) { return RawString::FromText(text.c_str()); }

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) WinLayer::WinDialog::StepMessage(message);
    }
}

// Runs messages until the list painted its first entry.
bool PumpUntilPainted(AppLayer::GuiBackupBox& list, DWORD limitMs) {
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < limitMs) {
        const WinLayer::WinListBoxItemUnit* first = list.ItemAt(0);
        if (first && (first->flags & WinLayer::WinListBoxItemUnit::ItemPainted)) return true;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != WM_QUIT) WinLayer::WinDialog::StepMessage(message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return false;
}

struct Owner : WinLayer::WinDialog {
    Owner() {
        className = Text("Bench_BackupOwner");
        style = WS_OVERLAPPEDWINDOW;
        rect = RECT{0, 0, 1200, 900};
        Create();
    }
};

// Seconds from creating the dialog to its first painted entry.
double OpenOnce(JobBackupListLink& link, Owner& owner, int32_t* shown) {
    const LARGE_INTEGER start = Now();
    AppLayer::GuiBackupDialog dialog(link);
    dialog.Setup(owner, Text("Backupped list"));
    dialog.Create();
    const bool painted = PumpUntilPainted(dialog.list, 20000);
    const LARGE_INTEGER end = Now();
    *shown = painted ? dialog.list.Count() : -1;
    if (dialog.window) DestroyWindow(dialog.window);
    Pump();
    return Seconds(start, end);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// One save of files: the old file kept, the new text written, recorded.
void SceneSave(JobBackupList& store, SYSTEMTIME& when, const char* action,
               std::initializer_list<std::pair<std::string, std::string>> writes) {
    RawLayer::RawParameterList comment;
    comment.SetText(BackupActionKeyText(), Text(action));
    comment.SetText(BackupSide1KeyText(), Text(writes.begin()->first));
    comment.SetText(BackupSide2KeyText(), Text(writes.begin()->first));
    SetBackupCommentTime(comment, when);
    JobBackupUnit* backup = JobBackupUnit::Create(store, comment, when);
    for (const auto& write : writes) {
        JobBackupItemUnit* item = backup->AddItem(BackupInfoSaveFile, Text(write.first));
        if (!item || !JobBackupItemUnit::Store(*item)) continue;
        WriteBytes(write.first, write.second);
        JobBackupItemUnit::SetConsistency(*item);
    }
    JobBackupUnit::Write(*backup);
    AdvanceOneSecond(when);
}

int SceneBackups(const std::string& root, const std::string& data) {
    JobBackupList store;
    store.SetOptions(Text(root), 10, false);
    SYSTEMTIME when;
    GetLocalTime(&when);
    const std::string a = data + "\\report.txt", b = data + "\\notes.txt", c = data + "\\plan.txt",
                      d = data + "\\list.txt";
    for (const std::string& path : {a, b, c, d}) WriteBytes(path, "first version\r\n");
    SceneSave(store, when, "Save file Side1 (Text type)", {{a, "second version\r\n"}});
    SceneSave(store, when, "Copy selections 1 -> 2", {{b, "copied over\r\n"}, {c, "copied over\r\n"}});
    // Four items: as the save left it, changed since, equal to its copy,
    // and one whose copy went missing.
    JobBackupUnit* last = nullptr;
    SceneSave(store, when, "Save file Side2 (Text type)",
              {{a, "third version\r\n"}, {b, "saved\r\n"}, {c, "saved\r\n"}, {d, "saved\r\n"}});
    last = store.At(store.Count() - 1);
    WriteBytes(b, "changed outside\r\n");
    const RawString kept = last->ItemList().At(2)->KeptPath();
    CopyFileW(kept.As(RawLayer::KindUtf16).Wide(), Text(c).As(RawLayer::KindUtf16).Wide(), FALSE);
    DeleteFileW(last->ItemList().At(3)->KeptPath().As(RawLayer::KindUtf16).Wide());
    return 0;
}

// The window of a class on top (the nested dialog over the outer one).
HWND Top(const wchar_t* windowClass) { return FindWindowW(windowClass, nullptr); }

void PostCode(HWND dialog, int child, uint16_t code) {
    const HWND button = GetDlgItem(dialog, 2500 + child);
    if (button) PostMessageW(button, WM_COMMAND, MAKEWPARAM(2500 + child, code), 0);
}

int Press(const std::string& command, int n) {
    const HWND main = FindWindowW(nullptr, L"Tavrel");
    const HWND dialog = Top(L"Tavrel_Undo");
    // The item dialog has no Detail button: its Close and list move up.
    const bool nested = dialog && !GetDlgItem(dialog, 2506);
    const int closeIndex = nested ? 4 : 5;
    if (command == "open" && main) {
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(0, 4387), 0);
    } else if (command == "select" && dialog) {
        const HWND list = GetDlgItem(dialog, 2500 + closeIndex + 1);
        PostMessageW(list, WM_KEYDOWN, VK_HOME, 0);
        PostMessageW(list, WM_KEYUP, VK_HOME, 0);
        for (int i = 1; i < n; ++i) {
            // Shift+Down widens the selection.
            PostMessageW(list, WM_KEYDOWN, VK_SHIFT, 0);
            PostMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageW(list, WM_KEYUP, VK_DOWN, 0);
            PostMessageW(list, WM_KEYUP, VK_SHIFT, 0);
        }
    } else if (command == "detail" && dialog) {
        PostCode(dialog, 4, AppLayer::GuiBackupDialog::CodeDetail);
    } else if (command == "restore" && dialog) {
        PostCode(dialog, 0, AppLayer::GuiBackupDialog::CodeRestore);
    } else if (command == "close" && dialog) {
        PostCode(dialog, closeIndex, AppLayer::GuiBackupDialog::CodeClose);
    } else if (command == "redraw" && dialog) {
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN);
    } else if (command == "move" && dialog) {
        RECT r{};
        GetWindowRect(dialog, &r);
        SetWindowPos(dialog, nullptr, r.left + 1, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (command == "message-ok") {
        if (const HWND message = Top(L"Class_InfoDialog")) PostMessageW(message, WM_CLOSE, 0, 0);
    } else if (command == "system-menu" && main) {
        PostMessageW(main, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    } else {
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--scene-backups") return SceneBackups(argv[2], argv[3]);
    if (argc >= 3 && std::string(argv[1]) == "--press") return Press(argv[2], argc > 3 ? std::atoi(argv[3]) : 1);
    if (argc < 2) {
        std::fprintf(stderr, "usage: app_backup_dialog_bench WORK [BACKUPS]\n");
        return 2;
    }
    const std::string work = argv[1];
    const int backups = argc > 2 ? std::atoi(argv[2]) : 10000;
    Owner owner;

    // 10,000 backups as the loader lists them (state 2), oldest first.
    JobBackupList store;
    store.SetOptions(Text(work + "\\Backups"), 10, false);
    for (int i = 0; i < backups; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "2026%02d%02d_%06d", 1 + i / 2800 % 12, 1 + i / 100 % 28, i % 100);
        RawLayer::RawParameterList comment;
        comment.SetText(BackupActionKeyText(), Text("Save file Side2 (Text type)"));
        comment.SetText(BackupSide1KeyText(), Text("C:\\work\\left\\file" + std::to_string(i) + ".txt"));
        comment.SetText(BackupSide2KeyText(), Text("C:\\work\\right\\file" + std::to_string(i) + ".txt"));
        comment.SetText(BackupTimeKeyText(), Text("2026/03/29 12:00:00"));
        store.Add(new JobBackupUnit(&store, BackupStateLoaded, Text(work + "\\Backups\\" + name), comment));
    }
    double best = 1e9;
    int32_t shown = 0;
    for (int round = 0; round < 3; ++round) best = std::min(best, OpenOnce(store, owner, &shown));
    std::printf("open %.4f %d\n", best, shown);

    // The folder item: the tree moved into a backup, its copy put in place.
    JobBackupList items;
    items.SetOptions(Text(work + "\\ItemBackups"), 10, false);
    SYSTEMTIME now;
    GetLocalTime(&now);
    RawLayer::RawParameterList comment;
    comment.SetText(BackupActionKeyText(), Text("Copy selections 1 -> 2"));
    SetBackupCommentTime(comment, now);
    JobBackupUnit* backup = JobBackupUnit::Create(items, comment, now);
    const std::string source = work + "\\src";
    JobBackupItemUnit* item = backup->AddItem(BackupInfoCopyDirectory, Text(source));
    if (!item || !JobBackupItemUnit::Store(*item) || !MoveFileA((work + "\\copy").c_str(), source.c_str()) ||
        !JobBackupItemUnit::SetConsistency(*item)) {
        std::printf("the folder item could not be made\n");
        return 1;
    }
    LARGE_INTEGER start = Now();
    const uint32_t state = item->Check();
    const double check = Seconds(start, Now());

    AppLayer::GuiBackupDialog dialog(*backup->Items());
    dialog.Setup(owner, Text("items"));
    dialog.Create();
    PumpUntilPainted(dialog.list, 60000);
    const int repaints = 50;
    start = Now();
    for (int i = 0; i < repaints; ++i) {
        InvalidateRect(dialog.list.window, nullptr, FALSE);
        UpdateWindow(dialog.list.window);
    }
    const double repaint = Seconds(start, Now()) / repaints;
    std::printf("repaint %.6f check %.6f state %u\n", repaint, check, state);
    if (dialog.window) DestroyWindow(dialog.window);
    Pump();
    if (owner.window) DestroyWindow(owner.window);
    Pump();
    return 0;
}

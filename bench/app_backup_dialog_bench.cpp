// The backup dialog: opening it over 10,000 loaded backups (fill, measure,
// first paint), and repainting an item dialog whose folder item holds a
// large tree, beside the state check each paint used to run.
//
//   app_backup_dialog_bench WORK [BACKUPS]
//
// WORK holds "src" and "copy", two equal trees made by the script; the item
// dialog's backup is made there with the store's own steps.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_clock.h"
#include "tavrel/app/backup_dialog.h"
#include "tavrel/jobs/backup_store.h"
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

}  // namespace

int main(int argc, char** argv) {
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

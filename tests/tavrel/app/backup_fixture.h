// Backups made through the store by real saves of real files in a temporary
// folder, an owner window, and the backup dialog run modally over it with
// its nested dialogs and messages answered from timer callbacks.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "support/test_support.h"
#include "support/window_support.h"
#include "tavrel/app/backup_dialog.h"
#include "tavrel/jobs/backup/backup_loader.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "toolkit/dialog.h"

namespace BackupTest {

using JobLayer::JobBackupItemUnit;
using JobLayer::JobBackupList;
using JobLayer::JobBackupUnit;
using TestSupport::TempFolder;

// A store over a backup root in a temporary folder; files under "data".
struct Backups {
    Backups() : root(temp.Join(L"Backups")), data(temp.Join(L"data")) {
        CreateDirectoryW(data.c_str(), nullptr);
        store.SetOptions(TestSupport::W(root), 10, false);
        GetLocalTime(&now);
    }

    std::wstring Put(const std::wstring& name, const std::string& bytes) {
        const std::wstring path = data + L"\\" + name;
        TestSupport::WriteFileBytes(path, bytes);
        return path;
    }
    // One save of files as the text jobs save: the old file kept, the new
    // text written, the backup recorded. Names move on by a second per
    // backup of the same second.
    JobBackupUnit* Save(std::initializer_list<std::pair<std::wstring, std::string>> writes) {
        RawLayer::RawParameterList comment;
        comment.SetText(JobLayer::BackupActionKeyText(), RawLayer::RawString::FromText("Save file Side2 (Text type)"));
        comment.SetText(JobLayer::BackupSide1KeyText(), TestSupport::W(data + L"\\1"));
        comment.SetText(JobLayer::BackupSide2KeyText(), TestSupport::W(data + L"\\2"));
        JobLayer::SetBackupCommentTime(comment, now);
        JobBackupUnit* backup = JobBackupUnit::Create(*target, comment, now);
        for (const auto& write : writes) {
            JobBackupItemUnit* item = backup->AddItem(JobLayer::BackupInfoSaveFile, TestSupport::W(write.first));
            if (!item || !JobBackupItemUnit::Store(*item)) continue;
            TestSupport::WriteFileBytes(write.first, write.second);
            JobBackupItemUnit::SetConsistency(*item);
        }
        JobBackupUnit::Write(*backup);
        return backup;
    }

    TempFolder temp;
    std::wstring root;
    std::wstring data;
    JobBackupList store;
    // The store the saves go to.
    JobBackupList* target = &store;
    SYSTEMTIME now{};
};

// The texts of a window's children, joined by '|'.
inline BOOL CALLBACK CollectChildText(HWND window, LPARAM record) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    auto* all = reinterpret_cast<std::wstring*>(record);
    all->append(text);
    all->append(L"|");
    return TRUE;
}

inline std::wstring ChildTexts(HWND window) {
    std::wstring all;
    EnumChildWindows(window, CollectChildText, reinterpret_cast<LPARAM>(&all));
    return all;
}

struct MessageSearch {
    HWND found = nullptr;
};

inline BOOL CALLBACK MatchInfoDialog(HWND window, LPARAM record) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (lstrcmpW(name, L"Class_InfoDialog") != 0 || !IsWindowVisible(window)) return TRUE;
    reinterpret_cast<MessageSearch*>(record)->found = window;
    return FALSE;
}

// The message of this thread that is up, if any.
inline HWND OpenMessage() {
    MessageSearch search;
    EnumThreadWindows(GetCurrentThreadId(), MatchInfoDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ClassCount {
    const wchar_t* name;
    int count;
};

inline BOOL CALLBACK CountClass(HWND window, LPARAM data) {
    auto* r = reinterpret_cast<ClassCount*>(data);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (lstrcmpW(name, r->name) == 0 && IsWindowVisible(window)) ++r->count;
    return TRUE;
}

// The windows of this thread with the class that are up.
inline int CountThreadWindows(const wchar_t* windowClass) {
    ClassCount record{windowClass, 0};
    EnumThreadWindows(GetCurrentThreadId(), CountClass, reinterpret_cast<LPARAM>(&record));
    return record.count;
}

// A command as the view sends it: WM_COMMAND to its own window.
inline void Press(WinLayer::WinView& view, uint16_t code) {
    SendMessageW(view.window, WM_COMMAND, MAKEWPARAM(view.controlId, code), 0);
}

// Presses a button whose work shows a message; the message's texts are read
// and the message answered by a timer callback. Empty when none came.
inline std::wstring PressForMessage(WinLayer::WinView& button, uint16_t code, std::function<void()> whileOpen = {}) {
    std::wstring text;
    TestSupport::RunLater(150, [&text, whileOpen] {
        const HWND message = OpenMessage();
        if (!message) return;
        text = ChildTexts(message);
        if (whileOpen) whileOpen();
        PostMessageW(message, WM_CLOSE, 0, 0);
    });
    Press(button, code);
    return text;
}

inline bool Contains(const std::wstring& text, const char* part) {
    return text.find(TestSupport::Wide(part)) != std::wstring::npos;
}

// The owner window the dialog is centred on.
struct Owner {
    Owner() : window("Test_BackupOwner", L"Owner", RECT{40, 40, 840, 640}) { window.Create(); }
    ~Owner() {
        if (window.window) DestroyWindow(window.window);
        TestSupport::PumpUntilIdle(500);
        TestSupport::DrainQuit();
    }
    TestSupport::TestDialog window;
};

// Runs the dialog over a list link modally; `steps` runs once it is up,
// and the dialog is closed after them unless they closed it.
inline void RunDialog(JobLayer::JobBackupListLink& link, Owner& owner,
                      const std::function<void(AppLayer::GuiBackupDialog&)>& steps) {
    AppLayer::GuiBackupDialog dialog(link);
    dialog.Setup(owner.window, RawLayer::RawString::FromText("Backupped list"));
    TestSupport::RunLater(100, [&dialog, &steps] {
        if (!dialog.window) return;
        steps(dialog);
        if (dialog.window && !dialog.closing) {
            Press(dialog.buttons[AppLayer::GuiBackupDialog::ButtonClose], AppLayer::GuiBackupDialog::CodeClose);
        }
    });
    dialog.RunModal(owner.window);
}

// The colour an entry shows at the right end of its first line.
inline COLORREF EntryColour(AppLayer::GuiBackupBox& list, int32_t index) {
    InvalidateRect(list.window, nullptr, FALSE);
    UpdateWindow(list.window);
    TestSupport::DibCanvas canvas = TestSupport::DibCanvas::CaptureClient(list.window);
    const WinLayer::WinListBoxItemUnit* unit = list.ItemAt(index);
    if (!unit) return CLR_INVALID;
    const int y = unit->rect.top - list.scroll.y + list.marginTop + 2;
    return canvas.Pixel(canvas.Width() - 4, y);
}

}  // namespace BackupTest

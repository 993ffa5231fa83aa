// The backup dialog over backups made by real saves: order, colours,
// buttons, the nested item dialog, restore results, the wait for the
// loader, and modality.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include "backup_fixture.h"

namespace {

using AppLayer::GuiBackupBox;
using AppLayer::GuiBackupDialog;
using BackupTest::Backups;
using BackupTest::Contains;
using BackupTest::EntryColour;
using BackupTest::Owner;
using BackupTest::Press;
using BackupTest::PressForMessage;
using BackupTest::RunDialog;
using JobLayer::JobBackupList;
using JobLayer::JobBackupUnitLink;
using TestSupport::FileText;

bool Enabled(const WinLayer::WinView& view) { return view.window && IsWindowEnabled(view.window); }

struct NestedSearch {
    HWND outer;
    HWND found;
};

BOOL CALLBACK MatchNested(HWND window, LPARAM record) {
    auto* search = reinterpret_cast<NestedSearch*>(record);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (window == search->outer || lstrcmpW(name, L"Tavrel_Undo") != 0) return TRUE;
    search->found = window;
    return FALSE;
}

// The nested item dialog that is up (not the outer one).
GuiBackupDialog* NestedDialog(const GuiBackupDialog& outer) {
    NestedSearch search{outer.window, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchNested, reinterpret_cast<LPARAM>(&search));
    return dynamic_cast<GuiBackupDialog*>(WinLayer::WinWindowRegistry::Instance().FindByHandle(search.found));
}

// A restore of the entries selected by `select`, with the message's text.
std::wstring RestoreMessage(JobLayer::JobBackupListLink& link, const std::function<void(GuiBackupBox&)>& select,
                            bool force = false) {
    Owner owner;
    std::wstring text;
    RunDialog(link, owner, [&](GuiBackupDialog& dialog) {
        select(dialog.list);
        if (force) Press(dialog.buttons[GuiBackupDialog::ButtonForce], 0);
        text = PressForMessage(dialog.buttons[GuiBackupDialog::ButtonRestore], GuiBackupDialog::CodeRestore);
    });
    return text;
}

}  // namespace

TEST(BackupDialogTest, NewestFirstInStateColoursAndItemColours) {
    Backups b;
    const std::wstring kept = b.Put(L"kept.txt", "kept 0");
    const std::wstring changed = b.Put(L"changed.txt", "changed 0");
    const std::wstring other = b.Put(L"other.txt", "other 0");
    b.Save({{kept, "kept 1"}});
    b.Save({{kept, "kept 2"}});
    // A fresh store reads the two from disk (state 2), then makes one of
    // its own (state 1) and one with backups off (state 0).
    JobBackupList loaded;
    loaded.SetOptions(TestSupport::W(b.root), 10, false);
    loaded.Loader().LoadAndPurge();
    ASSERT_EQ(loaded.Count(), 2);
    b.target = &loaded;
    JobLayer::JobBackupUnit* fresh = b.Save({{kept, "kept 3"}, {changed, "changed 1"}});
    loaded.SetOptions(TestSupport::W(b.root), 10, true);
    b.Save({{other, "other 1"}});
    TestSupport::WriteFileBytes(changed, "changed by hand");

    Owner owner;
    RunDialog(loaded, owner, [&](GuiBackupDialog& dialog) {
        GuiBackupBox& list = dialog.list;
        ASSERT_EQ(list.Count(), 4);
        const std::vector<JobBackupUnitLink*> records = loaded.Records();
        for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(GuiBackupBox::ItemOf(*list.ItemAt(i)), records[3 - i]) << i;
        const COLORREF expected[] = {0xE0E0E0, 0xD0FFFF, 0xFFFFFF, 0xFFFFFF};
        for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(EntryColour(list, i), expected[i]) << i;

        // The backup of this run, opened by a double click: one item as the
        // save left it, one changed since.
        list.MoveCursorTo(1);
        TestSupport::RunLater(150, [&dialog] {
            GuiBackupDialog* items = NestedDialog(dialog);
            ASSERT_NE(items, nullptr);
            EXPECT_EQ(items->buttons[GuiBackupDialog::ButtonDetail].window, nullptr);
            ASSERT_EQ(items->list.Count(), 2);
            EXPECT_EQ(EntryColour(items->list, 0), static_cast<COLORREF>(0xE0FFE0));
            EXPECT_EQ(EntryColour(items->list, 1), static_cast<COLORREF>(0xE0E0FF));
            // A double click on an item opens nothing more.
            items->list.MoveCursorTo(0);
            SendMessageW(items->list.window, WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
            TestSupport::PumpUntilIdle(300);
            EXPECT_EQ(BackupTest::CountThreadWindows(L"Tavrel_Undo"), 2);
            Press(items->buttons[GuiBackupDialog::ButtonClose], GuiBackupDialog::CodeClose);
        });
        SendMessageW(list.window, WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
        EXPECT_EQ(BackupTest::CountThreadWindows(L"Tavrel_Undo"), 1);
    });
    EXPECT_EQ(fresh->StateValue(), 1);
}

// How far apart two colours are in lightness, 1 to 21 (relative luminance).
double Contrast(COLORREF a, COLORREF b) {
    auto luminance = [](COLORREF c) {
        auto channel = [](unsigned v) {
            const double x = v / 255.0;
            return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) + 0.0722 * channel(GetBValue(c));
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(BackupDialogTest, ALaterEntrysLongLabelWidensTheColumnAndSelectedLabelsRead) {
    Backups b;
    const std::string longKey = "SelectionOfNewFoldersAdded";
    RawLayer::RawParameterList comment;
    comment.SetText(JobLayer::BackupActionKeyText(), RawLayer::RawString::FromText("Copy"));
    comment.SetText(RawLayer::RawString::FromText(longKey.c_str()), RawLayer::RawString::FromText("added.h"));
    JobLayer::SetBackupCommentTime(comment, b.now);
    JobLayer::JobBackupUnit::Write(*JobLayer::JobBackupUnit::Create(b.store, comment, b.now));
    const std::wstring file = b.Put(L"a.txt", "0");
    b.Save({{file, "1"}});  // newer: shown first, with short labels only

    Owner owner;
    RunDialog(b.store, owner, [&](GuiBackupDialog& dialog) {
        GuiBackupBox& list = dialog.list;
        ASSERT_EQ(list.Count(), 2);
        list.MoveCursorTo(0);
        InvalidateRect(list.window, nullptr, FALSE);
        UpdateWindow(list.window);
        // The label column holds the long label of the second entry, so its
        // value starts clear of it.
        LONG labelWidth = 0;
        {
            TestSupport::DibCanvas probe(8, 8);
            const HGDIOBJ before = SelectObject(probe.Dc(), list.GetEffectiveFont().handle);
            RECT measured{0, 0, 32767, 32767};
            DrawTextA(probe.Dc(), longKey.c_str(), -1, &measured, DT_CALCRECT | DT_NOPREFIX);
            SelectObject(probe.Dc(), before);
            labelWidth = measured.right - measured.left;
        }
        ASSERT_GT(labelWidth, 0);
        EXPECT_GT(list.keyWidth, labelWidth);

        // The labels of the selected first entry read on its colour.
        const TestSupport::DibCanvas canvas = TestSupport::DibCanvas::CaptureClient(list.window);
        const WinLayer::WinListBoxItemUnit* first = list.ItemAt(0);
        ASSERT_NE(first, nullptr);
        const int top = first->rect.top - list.scroll.y + list.marginTop + 1;
        const COLORREF fill = canvas.Pixel(canvas.Width() - 4, top + 1);
        ASSERT_NE(fill, static_cast<COLORREF>(0xFFFFFF));  // the selection shows
        // Inside the cursor's frame along the entry's left edge.
        double best = 1;
        for (int y = top; y < top + list.rowHeight; ++y) {
            for (int x = list.marginLeft + 1; x < list.marginLeft + list.keyWidth - 3; ++x) {
                best = std::max(best, Contrast(canvas.Pixel(x, y), fill));
            }
        }
        EXPECT_GE(best, 4.5);
    });
}

TEST(BackupDialogTest, ButtonsFollowTheSelectionAndTheSizeHasAFloor) {
    Backups b;
    Owner owner;
    RunDialog(b.store, owner, [](GuiBackupDialog& dialog) {
        const bool expected[] = {false, true, false, false, false, true};
        for (int32_t i = 0; i < GuiBackupDialog::ButtonCount; ++i) EXPECT_EQ(Enabled(dialog.buttons[i]), expected[i]) << i;
    });

    const std::wstring file = b.Put(L"a.txt", "0");
    b.Save({{file, "1"}});
    b.Save({{file, "2"}});
    RunDialog(b.store, owner, [&owner](GuiBackupDialog& dialog) {
        dialog.list.MoveCursorTo(0);
        dialog.list.SelectIndex(1);
        const bool expected[] = {true, true, false, false, false, true};
        for (int32_t i = 0; i < GuiBackupDialog::ButtonCount; ++i) EXPECT_EQ(Enabled(dialog.buttons[i]), expected[i]) << i;
        dialog.list.MoveCursorTo(1);
        EXPECT_TRUE(Enabled(dialog.buttons[GuiBackupDialog::ButtonDetail]));

        // Placed over the owner at 4/5 of its width; never smaller than set up.
        RECT placed{}, over{};
        GetWindowRect(dialog.window, &placed);
        GetWindowRect(owner.window.window, &over);
        EXPECT_EQ(placed.right - placed.left, 4 * (over.right - over.left) / 5);
        RECT least = dialog.anchor.minimum;
        AdjustWindowRectEx(&least, GetWindowLongW(dialog.window, GWL_STYLE), FALSE,
                           GetWindowLongW(dialog.window, GWL_EXSTYLE));
        MINMAXINFO info{};
        SendMessageW(dialog.window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(info.ptMinTrackSize.x, least.right - least.left);
        EXPECT_EQ(info.ptMinTrackSize.y, least.bottom - least.top);
        RECT list{};
        GetClientRect(dialog.list.window, &list);
        EXPECT_GE(list.right, 100 - 2);
        EXPECT_GE(list.bottom, 50 - 2);
    });
}

TEST(BackupDialogTest, RestoreResultsAreOneMessageEach) {
    const auto first = [](GuiBackupBox& list) { list.MoveCursorTo(0); };
    {
        Backups b;
        const std::string old = "\xEF\xBB\xBFold \xC3\xA9\r\nline\r\n";
        const std::wstring file = b.Put(L"a.txt", old);
        b.Save({{file, "new"}});
        EXPECT_TRUE(Contains(RestoreMessage(b.store, first), "Restore is succeeded.  Please reload on main dialog."));
        EXPECT_EQ(FileText(file), old);
    }
    {
        Backups b;
        const std::wstring file = b.Put(L"a.txt", "same");
        JobLayer::JobBackupUnit* backup = b.Save({{file, "new"}});
        // The kept copy put back with its times: the item equals its copy.
        const RawLayer::RawString kept = backup->ItemList().At(0)->KeptPath();
        ASSERT_TRUE(CopyFileW(TestSupport::Ws(kept).c_str(), file.c_str(), FALSE));
        EXPECT_TRUE(Contains(RestoreMessage(b.store, first), "No action executed."));
    }
    {
        Backups b;
        const std::wstring file = b.Put(L"a.txt", "old");
        b.Save({{file, "new"}});
        TestSupport::WriteFileBytes(file, "changed since");
        EXPECT_TRUE(Contains(RestoreMessage(b.store, first), "Some items are skipped by inconsistent state."));
        EXPECT_EQ(FileText(file), "changed since");
    }
    {
        Backups b;
        const std::wstring free = b.Put(L"free.txt", "free old");
        const std::wstring locked = b.Put(L"locked.txt", "locked old");
        b.Save({{free, "free new"}, {locked, "locked new"}});
        const HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(hold, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(Contains(RestoreMessage(b.store, first), "Some items are failed to restore !"));
        CloseHandle(hold);
        EXPECT_EQ(FileText(free), "free old");
        EXPECT_EQ(FileText(locked), "locked new");
    }
}

TEST(BackupDialogTest, ForcedRestoreIsItselfRestorableAndChainsUnwindNewestFirst) {
    Backups b;
    const std::wstring file = b.Put(L"a.txt", "original");
    b.Save({{file, "edit"}});
    TestSupport::WriteFileBytes(file, "outside change");
    const auto first = [](GuiBackupBox& list) { list.MoveCursorTo(0); };
    EXPECT_TRUE(Contains(RestoreMessage(b.store, first, true), "Restore is succeeded."));
    EXPECT_EQ(FileText(file), "original");
    // The restore kept the outside change as the newest backup.
    EXPECT_TRUE(Contains(RestoreMessage(b.store, first), "Restore is succeeded."));
    EXPECT_EQ(FileText(file), "outside change");

    Backups chain;
    const std::wstring text = chain.Put(L"t.txt", "before both");
    chain.Save({{text, "after one"}});
    chain.Save({{text, "after two"}});
    const auto both = [](GuiBackupBox& list) { list.SelectAll(); };
    EXPECT_TRUE(Contains(RestoreMessage(chain.store, both), "Restore is succeeded."));
    EXPECT_EQ(FileText(text), "before both");
}

TEST(BackupDialogTest, ItemStatesAreReadAtFillAndAfterRestoreNotOnPaint) {
    Backups b;
    const std::wstring one = b.Put(L"1.txt", "one old");
    const std::wstring two = b.Put(L"2.txt", "two old");
    JobLayer::JobBackupUnit* backup = b.Save({{one, "one new"}, {two, "two new"}});
    Owner owner;
    RunDialog(*backup->Items(), owner, [&](GuiBackupDialog& dialog) {
        GuiBackupBox& list = dialog.list;
        EXPECT_EQ(EntryColour(list, 1), static_cast<COLORREF>(0xE0FFE0));
        TestSupport::WriteFileBytes(two, "changed while shown");
        InvalidateRect(list.window, nullptr, FALSE);
        EXPECT_EQ(EntryColour(list, 1), static_cast<COLORREF>(0xE0FFE0));
        list.MoveCursorTo(0);
        EXPECT_TRUE(Contains(PressForMessage(dialog.buttons[GuiBackupDialog::ButtonRestore], GuiBackupDialog::CodeRestore),
                             "Restore is succeeded."));
        list.ClearSelection();
        EXPECT_EQ(EntryColour(list, 1), static_cast<COLORREF>(0xE0E0FF));
        EXPECT_EQ(EntryColour(list, 0), static_cast<COLORREF>(0xFFFFFF));
    });
}

TEST(BackupDialogTest, NestedRunsLeaveTheOuterButtonsDeadAndADropIsReleased) {
    Backups b;
    const std::wstring file = b.Put(L"a.txt", "old");
    b.Save({{file, "new"}});
    b.Save({{file, "newer"}});
    Owner owner;
    bool stillOpen = false;
    int messages = 0;
    RunDialog(b.store, owner, [&](GuiBackupDialog& dialog) {
        dialog.list.MoveCursorTo(0);
        const std::wstring text =
            PressForMessage(dialog.buttons[GuiBackupDialog::ButtonRestore], GuiBackupDialog::CodeRestore, [&] {
                Press(dialog.buttons[GuiBackupDialog::ButtonRestore], GuiBackupDialog::CodeRestore);
                Press(dialog.buttons[GuiBackupDialog::ButtonClose], GuiBackupDialog::CodeClose);
                TestSupport::SendKey(dialog.list.window, VK_ESCAPE);
                TestSupport::PumpUntilIdle(300);
                messages = BackupTest::CountThreadWindows(L"Class_InfoDialog");
                stillOpen = IsWindow(dialog.window) && !dialog.closing;
            });
        EXPECT_TRUE(Contains(text, "Restore is succeeded."));
        EXPECT_EQ(FileText(file), "new");  // one restore, not two

        // A drop gives nothing to the list, and the drop handle goes back.
        const SIZE_T size = sizeof(DROPFILES) + 4 * sizeof(wchar_t);
        const HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
        auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        reinterpret_cast<wchar_t*>(files + 1)[0] = L'x';
        GlobalUnlock(drop);
        SendMessageW(dialog.list.window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        EXPECT_EQ(GlobalFlags(drop), static_cast<UINT>(GMEM_INVALID_HANDLE));
        EXPECT_EQ(dialog.list.Count(), 2);
    });
    EXPECT_EQ(messages, 1);
    EXPECT_TRUE(stillOpen);
}

TEST(BackupDialogTest, TheLoaderIsAwaitedWithinTheBound) {
    Backups b;
    const std::wstring file = b.Put(L"a.txt", "0");
    b.Save({{file, "1"}});
    b.Save({{file, "2"}});
    b.Save({{file, "3"}});
    Owner owner;
    TestSupport::ModalWatchdog watchdog(30000);

    // The loader held before listing: the dialog waits for the whole list.
    // The loader is started under the store's lock, so it cannot list
    // before the lock is let go.
    // The store is held until `release` is set or `ms` passed.
    auto hold = [](JobBackupList& store, DWORD ms, HANDLE started, HANDLE release) {
        return std::thread([&store, ms, started, release] {
            store.LockStore();
            store.StartLoader();
            SetEvent(started);
            WaitForSingleObject(release, ms);
            store.UnlockStore();
        });
    };
    const HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        JobBackupList store;
        store.SetOptions(TestSupport::W(b.root), 10, false);
        std::thread holder = hold(store, 1500, started, release);
        WaitForSingleObject(started, 5000);
        const DWORD start = GetTickCount();
        int32_t shown = -1;
        RunDialog(store, owner, [&shown](GuiBackupDialog& dialog) { shown = dialog.list.Count(); });
        holder.join();
        EXPECT_EQ(shown, 3);
        EXPECT_GE(GetTickCount() - start, 1000u);
        EXPECT_EQ(store.LastWaitResult(), static_cast<DWORD>(WAIT_OBJECT_0));

        // Loaded now: a second opening does not wait for the loader (whose
        // bound is ten seconds).
        const DWORD again = GetTickCount();
        RunDialog(store, owner, [&shown](GuiBackupDialog& dialog) { shown = dialog.list.Count(); });
        EXPECT_EQ(shown, 3);
        EXPECT_LT(GetTickCount() - again, JobLayer::JobBackupListLink::kLoadWaitMilliseconds / 2);
    }
    // A loader that never signals in time: the message, and no list read.
    // The store stays held until the dialog has given up, however long a
    // loaded machine makes that.
    ResetEvent(started);
    {
        JobBackupList store;
        store.SetOptions(TestSupport::W(b.root), 10, false);
        std::thread holder = hold(store, 120000, started, release);
        WaitForSingleObject(started, 5000);
        std::wstring text;
        TestSupport::RunLater(200, [&text] {
            if (const HWND message = BackupTest::OpenMessage()) {
                text = BackupTest::ChildTexts(message);
                PostMessageW(message, WM_CLOSE, 0, 0);
            }
        });
        const DWORD start = GetTickCount();
        AppLayer::GuiBackupDialog dialog(store);
        dialog.Setup(owner.window, RawLayer::RawString::FromText("Backupped list"));
        dialog.RunModal(owner.window);
        const DWORD took = GetTickCount() - start;
        SetEvent(release);
        EXPECT_LT(took, JobLayer::JobBackupListLink::kLoadWaitMilliseconds + 10000);
        EXPECT_GE(took, JobLayer::JobBackupListLink::kLoadWaitMilliseconds - 100);
        EXPECT_TRUE(Contains(text, "Backups are still being read."));
        EXPECT_TRUE(dialog.notLoaded);
        EXPECT_EQ(dialog.list.Count(), 0);
        holder.join();
    }
    CloseHandle(release);
    CloseHandle(started);
}

// The tab operations on real folders, files, the real clipboard and the
// real main window: pair files saved and opened again, group files, pairs
// and sides from the clipboard, clip files, a second instance, child and
// parent tabs. Names with blanks and letters outside the ANSI code page.
// RUN_UNDER_BOTH_CODE_PAGES
#include "tab_view_fixture.h"

#include <random>

#include <shellapi.h>
#include <shlobj.h>

#include "base/clipboard.h"
#include "support/process_window.h"
#include "tavrel/app/status_box.h"
#include "tavrel/app/tab_operations.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/text/line_unit.h"
#include "tavrel/jobs/gui_profile.h"
#include "tavrel/jobs/pair_line.h"
#include "tavrel/jobs/shell_commands.h"

namespace TabViewTest {
namespace {

using AppLayer::GuiTabBar;
using JobLayer::JobGroupList;
using RawLayer::RawString;

std::wstring BesideTest(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\') + 1) + name;
}

class TabOperationsTest : public MainWindowFixture {
protected:
    std::wstring Folder(const std::wstring& name) {
        const std::wstring path = temp.Join(name);
        CreateDirectoryW(path.c_str(), nullptr);
        return path;
    }
    std::wstring File(const std::wstring& name, const std::string& text = "text\r\n") {
        const std::wstring path = temp.Join(name);
        EXPECT_TRUE(WriteFileBytes(path, text));
        return path;
    }
    static RawString Line(const std::wstring& a, const std::wstring& b, uint16_t mask = JobLayer::StatusAll,
                          JobLayer::JobEditFlags edit = JobLayer::JobEditFlags()) {
        return JobLayer::FormatTabPairLine(W(a), W(b), mask, edit);
    }
    // Every tab's pair line, in strip order.
    std::vector<std::string> TabLines() {
        std::vector<std::string> lines;
        for (const WinLayer::WinTabBarItemUnit& tab : Views().tabBar.items) {
            const JobGroupUnit* job = GuiTabBar::JobOf(&tab);
            lines.push_back(job ? S(JobLayer::FormatTabPairLine(job->Path(0), job->Path(1), job->statusMask,
                                                                job->edit))
                                : std::string("-"));
        }
        return lines;
    }
    // Runs "SavePairs" on a start path; the chooser is accepted as it
    // stands, and a question that follows gets the key (0: none expected).
    // The question's text, empty when none came.
    std::string Save(const std::wstring& start, char answer) {
        JobLayer::GuiProfileStore::Instance().lastPairFile = W(start);
        WinLayer::WinPathDialog& chooser = Dialog().pairChooser;
        std::string asked;
        TestSupport::ModalWatchdog watchdog(10000);
        TestSupport::RunLater(250, [&] {
            TestSupport::PostKey(chooser.bar.window, VK_RETURN);
            TestSupport::RunLater(300, [&] {
                if (!IsWindow(chooser.question.window)) return;
                asked = S(chooser.question.textBox.GetText());
                TestSupport::PostKey(chooser.question.buttonRow.window, answer);
            });
        });
        Command(AppLayer::CmdSavePairs);
        PumpUntilIdle();
        EXPECT_FALSE(watchdog.Fired());
        return asked;
    }
    bool StatusHas(const std::string& start) {
        AppLayer::GuiStatusBox& box = Views().statusBox;
        box.ShowQueued();
        for (const WinLayer::WinListBoxItemUnit& unit : box.items) {
            const AppLayer::JobStatusUnit* line = AppLayer::GuiStatusBox::ItemOf(unit);
            if (line && S(line->text).compare(0, start.size(), start) == 0) return true;
        }
        return false;
    }
    // Three tabs: two folders with a blank and non-ASCII letters, a text
    // pair with filter Same+Only1 and Edit1, and a binary pair.
    std::vector<std::string> ThreeTabs() {
        const std::wstring left = Folder(L"left \u00e9\u3042"), right = Folder(L"right \u00fc");
        File(L"a.txt"), File(L"b.txt"), File(L"x.bin", "\x01\x02"), File(L"y.bin", "\x01\x03");
        JobLayer::JobEditFlags edit1;
        edit1.edit1 = 1;
        Open(L"");
        EXPECT_TRUE(AppLayer::OpenPairText(Views(), Line(left, right)));
        EXPECT_TRUE(AppLayer::OpenPairText(
            Views(), Line(temp.Join(L"a.txt"), temp.Join(L"b.txt"), JobLayer::StatusSame | JobLayer::StatusOnly1, edit1)));
        EXPECT_TRUE(AppLayer::OpenPairText(Views(), Line(temp.Join(L"x.bin"), temp.Join(L"y.bin"))));
        return TabLines();
    }
    std::string Joined(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) text += line + "\r\n";
        return text;
    }
    // Opens the clipboard text's pair line as a tab; the tab count after.
    int32_t OpenFromClipboard(const RawString& text) {
        EXPECT_TRUE(RawLayer::ClipboardSetText(text));
        Command(AppLayer::CmdOpenClipPaths);
        return Views().tabBar.Count();
    }
};

TEST_F(TabOperationsTest, SavedPairsOpenAgainFromTheCommandLineAndFromADrop) {
    const std::vector<std::string> lines = ThreeTabs();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find("<Opt>"), std::string::npos);
    EXPECT_EQ(Save(temp.Join(L"pairs"), 0), "");
    const std::wstring file = temp.Join(L"pairs.txt");
    EXPECT_EQ(FileText(file), "\xEF\xBB\xBF" + Joined(lines));
    EXPECT_EQ(Ws(JobLayer::GuiProfileStore::Instance().lastPairFile), file);
    // The line end in a UTF-16 file's own byte order.
    for (const uint8_t kind : {RawLayer::KindUtf16BE, RawLayer::KindUtf16LE}) {
        const std::wstring wide = temp.Join(L"wide.txt");
        {
            RawLayer::RawLineFile out(W(wide));
            out.SetTextKind(kind);
            ASSERT_TRUE(out.BeginWrite());
            AppLayer::GuiEnumTabKeep keep(out);
            keep.Apply(*Current());
            EXPECT_TRUE(out.Close());
        }
        const std::vector<uint8_t> bytes = ReadFileBytes(wide);
        ASSERT_GE(bytes.size(), 4u);
        const std::vector<uint8_t> end(bytes.end() - 4, bytes.end());
        EXPECT_EQ(end, kind == RawLayer::KindUtf16BE ? Bytes(std::string("\0\r\0\n", 4))
                                                     : Bytes(std::string("\r\0\n\0", 4)));
    }

    ASSERT_TRUE(run.Close());
    ASSERT_TRUE(run.Start(L"-g " + Quoted(file)));
    EXPECT_EQ(TabLines(), lines);
    ASSERT_TRUE(run.Close());
    ASSERT_TRUE(run.Start(L""));
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + (file.size() + 2) * sizeof(wchar_t));
    auto* record = static_cast<DROPFILES*>(GlobalLock(drop));
    record->pFiles = sizeof(DROPFILES);
    record->fWide = TRUE;
    std::copy(file.begin(), file.end(), reinterpret_cast<wchar_t*>(record + 1));
    GlobalUnlock(drop);
    PostMessageW(Views().tabBar.window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    PumpUntilIdle();
    EXPECT_EQ(TabLines(), lines);
}

TEST_F(TabOperationsTest, PairFilesReadBackAsWrittenWhateverTheirLetters) {
    // Random pairs written as a pair file and opened again by the group-file
    // reader: letters of many scripts, few of them in a short file, which an
    // unmarked file could have guessed as another encoding.
    Open(L"");
    const wchar_t pool[] = {L'a', L'Z', L'_', L' ', 0x00E9, 0x00A5, 0x0416, 0x2014, 0x2022,
                            0x3042, 0x30AB, 0x4E9C, 0xFF76, 0x00B7};
    std::mt19937 random(11);
    const std::wstring file = temp.Join(L"pairs.txt");
    for (int round = 0; round < 200; ++round) {
        std::wstring paths[2];
        for (std::wstring& path : paths) {
            path = L"C:\\";
            const int letters = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < letters; ++i) path += pool[random() % (sizeof(pool) / sizeof(pool[0]))];
            path += L"file.txt";
        }
        if (round == 0) paths[0] = L"C:\\\u2014file.txt";
        SCOPED_TRACE(Utf8(paths[0]) + " | " + Utf8(paths[1]));
        ASSERT_EQ(Views().tabBar.items.Count(), 1);
        Current()->content1.path = W(paths[0]);
        Current()->content2.path = W(paths[1]);
        ASSERT_TRUE(AppLayer::WriteTabPairFile(Views().tabBar, W(file)));
        ASSERT_TRUE(AppLayer::OpenGroupFile(Views(), W(file)));
        EXPECT_EQ(Ws(Current()->Path(0)), paths[0]);
        EXPECT_EQ(Ws(Current()->Path(1)), paths[1]);
        // The tab that was there before goes, the opened one stays.
        GuiTabBar& bar = Views().tabBar;
        if (bar.items.Count() > 1) bar.RemoveTab(bar.ItemAtIndex(0));
    }
}

// Which file a path names: its volume and file index; empty when it names
// none.
std::string FileIdentity(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL ok = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!ok) return std::string();
    return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
           std::to_string(info.nFileIndexLow);
}

TEST_F(TabOperationsTest, EveryWrittenPairLineNamesTheTabsOwnFilesOrIsLeftOutAndReported) {
    // Random names with commas, blanks, quotes, "@", and letters outside
    // the ANSI code page, in folders of such names, some of them missing.
    // Each writer of pair lines (the pair file, the restart's file, the
    // clipboard) gives a line whose paths name the very files of the tab,
    // or leaves the pair out and says so in the status box. A file that
    // has a short name free of "," is never left out.
    Open(L"");
    const wchar_t pool[] = {L'a', L'Z', L' ', L',', L',', L'\'', L'@', L';', L'-', 0x00E9, 0x3042, 0x0416};
    std::mt19937 random(7);
    auto name = [&] {
        std::wstring text;
        const int letters = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < letters; ++i) text += pool[random() % (sizeof(pool) / sizeof(pool[0]))];
        return text;
    };
    auto shortFree = [](const std::wstring& path) {
        wchar_t shortName[MAX_PATH] = {};
        const DWORD length = GetShortPathNameW(path.c_str(), shortName, MAX_PATH);
        return length > 0 && length < MAX_PATH && !wcschr(shortName, L',');
    };
    const std::wstring pairs = temp.Join(L"pairs.txt");
    int carried = 0, refused = 0;
    for (int round = 0; round < 60; ++round) {
        std::wstring paths[2];
        for (std::wstring& path : paths) {
            const std::wstring folder = Folder(L"d" + name() + L"x");
            path = folder + L"\\" + name() + L".txt";
            if (random() % 5 != 0) {
                ASSERT_TRUE(WriteFileBytes(path, "text\r\n"));
            }
        }
        if (round == 0) paths[0] = File(L"Smith, J.txt");
        SCOPED_TRACE(Utf8(paths[0]) + " | " + Utf8(paths[1]));
        const bool mustCarry = FileExists(paths[0]) && FileExists(paths[1]) && shortFree(paths[0]) &&
                               shortFree(paths[1]);
        Current()->content1.path = W(paths[0]);
        Current()->content2.path = W(paths[1]);
        // Each writer's line, or empty when it wrote none.
        std::vector<std::string> lines;
        ASSERT_TRUE(AppLayer::WriteTabPairFile(Views().tabBar, W(pairs)));
        lines.push_back(FileText(pairs).substr(3));
        const RawString restart = AppLayer::NewRestartFilePath();
        ASSERT_TRUE(AppLayer::WriteRestartFile(Views().tabBar, restart));
        const std::string restartText = FileText(Ws(restart));
        const size_t body = restartText.find("\r\n");
        lines.push_back(body == std::string::npos ? std::string() : restartText.substr(body + 2));
        AppLayer::DiscardRestartFile(restart);
        RawLayer::ClipboardSetText(W(L"none"));
        AppLayer::CopyPairPathsToClipboard(Views());
        const std::string clip = S(RawLayer::ClipboardGetText(4096));
        lines.push_back(clip == "none" ? std::string() : clip + "\r\n");
        for (const std::string& line : lines) {
            if (line.empty()) {
                EXPECT_FALSE(mustCarry);
                EXPECT_TRUE(StatusHas("NoPairLineError (" + Utf8(paths[0]) + " | " + Utf8(paths[1]) + ")"));
                ++refused;
                continue;
            }
            ASSERT_EQ(line.substr(line.size() - 2), "\r\n");
            JobLayer::TabPairRecord pair;
            ASSERT_TRUE(JobLayer::ParseTabPairLine(pair, W(Wide(line.substr(0, line.size() - 2)))));
            // The same file; a missing one by its very path.
            const std::wstring back[2] = {Ws(pair.path1), Ws(pair.path2)};
            for (int side = 0; side < 2; ++side) {
                if (FileExists(paths[side])) {
                    EXPECT_EQ(FileIdentity(back[side]), FileIdentity(paths[side])) << line;
                } else {
                    EXPECT_EQ(back[side], paths[side]) << line;
                }
            }
            ++carried;
        }
    }
    // Both outcomes were met.
    EXPECT_GT(carried, 0);
    EXPECT_GT(refused, 0);
}

TEST_F(TabOperationsTest, AnExistingFileIsReplacedOnlyWhenConfirmedAndAFailedSaveKeepsIt) {
    ThreeTabs();
    const std::wstring file = File(L"pairs.txt", "old pairs\r\n");
    // The name the user typed had no extension: the completed one is asked
    // about all the same.
    EXPECT_EQ(Save(temp.Join(L"pairs"), 'C').compare(0, 24, "Overwrite on this file ?"), 0);
    EXPECT_EQ(FileText(file), "old pairs\r\n");
    // A comma in a path without a short name (a missing one) and an empty
    // tab have no pair line.
    const std::wstring comma = temp.Join(L"x,y");
    Views().tabBar.InsertJob(nullptr, JobGroupList::Instance().FindOrOpenPair(W(comma), W(comma)));
    Views().tabBar.InsertJob(nullptr, JobGroupList::Instance().CreateUnit(JobLayer::JobKindType::FromKind(3)));
    std::vector<std::string> kept = TabLines();
    kept.erase(kept.begin() + 3, kept.end());
    EXPECT_EQ(Save(temp.Join(L"pairs"), 'O').compare(0, 24, "Overwrite on this file ?"), 0);
    EXPECT_EQ(FileText(file), "\xEF\xBB\xBF" + Joined(kept));
    EXPECT_TRUE(StatusHas("NoPairLineError"));

    // Read-only: no replacement, the failure reported, no temporary file.
    const std::vector<uint8_t> before = ReadFileBytes(file);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    Save(file, 'O');
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadFileBytes(file), before);
    EXPECT_TRUE(StatusHas("WriteError (" + Utf8(file) + ")"));
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(temp.Join(L"pairs.txt.tmp*").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    // A missing folder.
    Save(temp.Join(L"missing\\pairs.txt"), 'O');
    EXPECT_FALSE(FileExists(temp.Join(L"missing\\pairs.txt")));
    EXPECT_TRUE(StatusHas("WriteError (" + Utf8(temp.Join(L"missing\\pairs.txt")) + ")"));
}

TEST_F(TabOperationsTest, GroupFileOpensEveryGoodLineAndOnlyTheEmptyStartTabGivesWay) {
    const std::wstring folder = Folder(L"f"), a = File(L"a.txt"), b = File(L"b.txt");
    // A folder against a file opens as kind none and keeps its tab.
    const std::string odd = S(Line(folder, a)), good = S(Line(a, b));
    const std::wstring group = File(L"group.txt", odd + "\r\nnot a pair line\r\n" + good + "\r\n");
    Open(Quoted(File(L"c.txt")) + L" " + Quoted(File(L"d.txt")));
    const std::string first = TabLines()[0];
    ASSERT_TRUE(AppLayer::OpenGroupFile(Views(), W(group)));
    EXPECT_EQ(TabLines(), (std::vector<std::string>{first, odd, good}));
    ASSERT_TRUE(run.Close());
    ASSERT_TRUE(run.Start(L"-g " + Quoted(group)));
    EXPECT_EQ(TabLines(), (std::vector<std::string>{odd, good}));
    EXPECT_EQ(Ws(Views().tabBar.CurrentJob()->Path(1)), b);
}

TEST_F(TabOperationsTest, ImpossiblePairsSayWhyInTheStatusBox) {
    const std::wstring folder = Folder(L"f"), a = File(L"a.txt");
    const std::wstring gone1 = temp.Join(L"gone 1.txt"), gone2 = temp.Join(L"gone \u3042.txt");
    const std::wstring bytes = File(L"b.bin", std::string("\x01\x02\xFF", 3));
    // Two missing paths, a missing side, a file against a folder, a text
    // against a binary file: each opens its tab and says why in the status
    // box, without a question.
    OpenPair(gone1, gone2);
    EXPECT_TRUE(StatusHas("ReadOpenError (" + Utf8(gone1) + ")"));
    EXPECT_TRUE(StatusHas("ReadOpenError (" + Utf8(gone2) + ")"));
    const int32_t before = Views().statusBox.ReportedCount();
    ASSERT_TRUE(AppLayer::OpenPairText(Views(), Line(a, gone1)));
    EXPECT_EQ(Ws(Current()->Path(1)), gone1);
    EXPECT_EQ(Views().statusBox.ReportedCount(), before + 1);
    ASSERT_TRUE(AppLayer::OpenPairText(Views(), Line(folder, a)));
    EXPECT_TRUE(StatusHas("DifferentKindError (" + Utf8(folder) + ")"));
    EXPECT_TRUE(StatusHas("DifferentKindError (" + Utf8(a) + ")"));
    ASSERT_TRUE(AppLayer::OpenPairText(Views(), Line(a, bytes)));
    EXPECT_TRUE(StatusHas("DifferentKindError (" + Utf8(bytes) + ")"));
    EXPECT_EQ(AppTest::FindThreadWindow(L"Class_InfoDialog"), nullptr);
    // A pair that can be compared says nothing, nor does a folder compare
    // whose sub-folder exists on one side only.
    const std::wstring other = Folder(L"g");
    Folder(L"f\\only");
    const int32_t reported = Views().statusBox.ReportedCount();
    ASSERT_TRUE(AppLayer::OpenPairText(Views(), Line(a, File(L"c.txt"))));
    ASSERT_TRUE(AppLayer::OpenPairText(Views(), Line(folder, other)));
    EXPECT_EQ(Current()->rows.Count(), 1);
    EXPECT_EQ(Views().statusBox.ReportedCount(), reported);
}

TEST_F(TabOperationsTest, ClipboardPairsAreCleanedAndRefusedWhenAmbiguous) {
    const std::wstring a = File(L"a \u3042.txt"), b = File(L"b.txt");
    Open(Quoted(File(L"c.txt")) + L" " + Quoted(File(L"d.txt")));
    const RawString line = Line(a, b);
    EXPECT_EQ(OpenFromClipboard(line.Concat(RawString::FromText("\r\n"))), 2);
    EXPECT_EQ(Ws(Views().tabBar.CurrentJob()->Path(0)), a);
    const RawString two = RawString::ConcatMany(Line(b, a), RawString::FromText("\r\n"), Line(a, a));
    EXPECT_EQ(OpenFromClipboard(two), 2);
    std::string longText = S(Line(b, b)) + ",<Opt>";
    while (longText.size() < 5000) longText += ",Same";
    EXPECT_EQ(OpenFromClipboard(RawString::FromText(longText.c_str())), 2);
    EXPECT_EQ(AppLayer::CleanClipText(RawString::FromText(" \t\"C:\\x y\"\r\n")), RawString::FromText("C:\\x y"));

    // Copying: the current pair line; nothing for a comma without a short
    // name (a missing file) or an empty tab.
    Command(AppLayer::CmdClipTab);
    EXPECT_EQ(S(RawLayer::ClipboardGetText(5000).As(RawLayer::KindUtf8)), S(line));
    const std::wstring comma = temp.Join(L"e,f.txt");
    Views().tabBar.LoadPair(W(comma), W(b));
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(RawLayer::ClipboardSetText(RawString::FromText("kept")));
        Command(AppLayer::CmdClipTab);
        EXPECT_EQ(S(RawLayer::ClipboardGetText(100).As(RawLayer::KindUtf8)), "kept");
        Command(AppLayer::CmdDeleteTab);
        Views().tabBar.InsertJob(nullptr, JobGroupList::Instance().CreateUnit(JobLayer::JobKindType::FromKind(3)));
    }
}

TEST_F(TabOperationsTest, ClipboardSideTakesOnlyAnAbsolutePathThatExistsOrItsPairSide) {
    const std::wstring a = File(L"a.txt"), b = File(L"b \u00e9.txt"), c = File(L"c.txt");
    OpenPair(a, b);
    auto load = [&](const std::wstring& text, uint16_t code) {
        EXPECT_TRUE(RawLayer::ClipboardSetText(W(text)));
        Command(code);
        return Ws(Current()->Path(code == AppLayer::CmdLoadClipSide1 ? 0 : 1));
    };
    EXPECT_EQ(load(temp.Join(L"missing.txt"), AppLayer::CmdLoadClipSide1), a);
    SetCurrentDirectoryW(temp.Path().c_str());
    EXPECT_EQ(load(L"c.txt", AppLayer::CmdLoadClipSide1), a);
    EXPECT_EQ(load(L"\"" + c + L"\"\r\n", AppLayer::CmdLoadClipSide1), c);
    EXPECT_EQ(load(Ws(Line(a, b)), AppLayer::CmdLoadClipSide2), b);
    EXPECT_EQ(load(Ws(Line(b, a)), AppLayer::CmdLoadClipSide2), a);
}

// A file known by its short (8.3) name too: a pair line carries the short
// name of a path with a ",", and a path may be typed or passed in its short
// form. Whichever form opens the job, the job works on the file's own long
// name: the tab shows it, and an edited side saves and is backed up under
// it, with no other name appearing in the folder.
TEST_F(TabOperationsTest, AFileOpenedByItsShortNameIsSavedAndBackedUpUnderItsLongName) {
    const std::wstring folder = Folder(L"short");
    const std::wstring names[4] = {L"report, final.txt", L"report, old.txt", L"notes, first.txt",
                                   L"notes, second.txt"};
    std::wstring paths[4], shortPaths[4];
    for (int i = 0; i < 4; ++i) {
        paths[i] = folder + L"\\" + names[i];
        ASSERT_TRUE(WriteFileBytes(paths[i], "head\r\n" + Utf8(names[i]) + "\r\n"));
        wchar_t buffer[MAX_PATH] = {};
        const DWORD length = GetShortPathNameW(paths[i].c_str(), buffer, MAX_PATH);
        ASSERT_TRUE(length > 0 && length < MAX_PATH);
        shortPaths[i] = buffer;
        // The short form is another name of the same file.
        ASSERT_NE(shortPaths[i], paths[i]);
        ASSERT_EQ(FileText(shortPaths[i]), FileText(paths[i]));
    }
    JobLayer::JobBackupList& store = JobLayer::JobBackupList::Instance();
    // Edits side 1 of the current tab, which must show the two files by
    // their long names, and saves it: the first file holds the edit, the
    // folder holds nothing new, and the backup keeps the old text under the
    // long name.
    auto editAndSave = [&](int first, const char* text) {
        JobGroupUnit* job = Current();
        ASSERT_NE(job, nullptr);
        EXPECT_EQ(Ws(job->Path(0)), paths[first]);
        EXPECT_EQ(Ws(job->Path(1)), paths[first + 1]);
        ASSERT_EQ(job->kind.kind, JobLayer::KindText);
        const std::string before = FileText(paths[first]);
        const int32_t backups = store.Count();
        if (!job->edit.edit1) run.SendFrom(Views().buttons[AppLayer::BtnEditable1], 0);
        ASSERT_EQ(job->edit.edit1, 1);
        auto* line = dynamic_cast<JobLayer::JobLineUnit*>(job->Content(0).At(0));
        ASSERT_NE(line, nullptr);
        line->SetText(RawString::FromText(text).As(line->LineText().Kind()));
        job->Content(0).flags = static_cast<uint16_t>(job->Content(0).flags | JobLayer::ContentChanged);
        job->flags = static_cast<uint16_t>(job->flags | JobLayer::JobChanged);
        Command(AppLayer::CmdSaveSide1);
        EXPECT_EQ(FileText(paths[first]), std::string(text) + "\r\n" + Utf8(names[first]) + "\r\n");
        EXPECT_EQ(FolderNames(folder), std::set<std::wstring>(std::begin(names), std::end(names)));
        ASSERT_EQ(store.Count(), backups + 1);
        const JobLayer::JobBackupUnit* backup = store.At(store.Count() - 1);
        ASSERT_EQ(backup->ItemList().Count(), 1);
        const std::wstring kept = Ws(backup->ItemList().At(0)->KeptPath());
        EXPECT_EQ(kept.substr(kept.rfind(L'\\') + 1), names[first]);
        EXPECT_EQ(FileText(kept), before);
    };

    // "Copy tab pair paths" writes the short names; "Open tab by pair
    // paths" opens the tab of the same files.
    OpenPair(paths[0], paths[1]);
    Command(AppLayer::CmdClipTab);
    const std::wstring line = Wide(S(RawLayer::ClipboardGetText(4096)));
    ASSERT_NE(line.find(shortPaths[0].substr(shortPaths[0].rfind(L'\\') + 1)), std::wstring::npos) << Utf8(line);
    Command(AppLayer::CmdOpenClipPaths);
    editAndSave(0, "saved through the pair line");

    // Short paths given directly, as typed or passed: each side loaded from
    // the clipboard as a path.
    for (int side = 0; side < 2; ++side) {
        ASSERT_TRUE(RawLayer::ClipboardSetText(W(shortPaths[2 + side])));
        Command(side == 0 ? AppLayer::CmdLoadClipSide1 : AppLayer::CmdLoadClipSide2);
    }
    editAndSave(2, "saved through the short path");
}

TEST_F(TabOperationsTest, ClipFilesAreWrittenOnlyInsideTheTemporaryFolder) {
    const std::wstring real = File(L"real.txt", "real\r\n");
    Open(L"");
    // A window closed earlier in this process took the folder with it.
    JobLayer::ShellCommandStore& environment = JobLayer::ShellCommandStore::Instance();
    if (environment.tempFolder.IsEmpty()) environment.tempFolder = JobLayer::MakeTempFolder();
    const std::wstring tempFolder = Ws(environment.tempFolder);
    ASSERT_FALSE(tempFolder.empty());
    ASSERT_TRUE(RawLayer::ClipboardSetText(W(L"first \u3042")));
    Command(AppLayer::CmdClipLoad1);
    const std::wstring clip = Ws(Current()->Path(0));
    EXPECT_EQ(clip, tempFolder + L"\\Clip1.txt");
    EXPECT_EQ(FileText(clip), "first \xE3\x81\x82");
    ASSERT_TRUE(RawLayer::ClipboardSetText(W(L"second")));
    Command(AppLayer::CmdClipLoad1);
    EXPECT_EQ(Ws(Current()->Path(0)), clip);
    EXPECT_EQ(FileText(clip), "second");
    ASSERT_GT(Current()->content1.Count(), 0);
    EXPECT_EQ(S(Current()->content1.First()->Text()), "second");

    // A way out of the folder, and a real file elsewhere.
    const std::wstring victim = tempFolder.substr(0, tempFolder.rfind(L'\\')) + L"\\victim_tops.txt";
    ASSERT_TRUE(WriteFileBytes(victim, std::string("victim")));
    Views().tabBar.LoadSide(1, W(tempFolder + L"\\..\\victim_tops.txt"));
    Command(AppLayer::CmdClipLoad2);
    EXPECT_EQ(FileText(victim), "victim");
    DeleteFileW(victim.c_str());
    Views().tabBar.LoadSide(1, W(real));
    ShowCurrentTab(Views());
    ASSERT_TRUE(WriteFileBytes(real, std::string("changed on disk\r\n")));
    Command(AppLayer::CmdClipLoad2);
    EXPECT_EQ(FileText(real), "changed on disk\r\n");
    EXPECT_EQ(S(Current()->content2.First()->Text()), "real");
    // No clipboard text: nothing loaded, the failure reported.
    Views().tabBar.InsertJob(nullptr, JobGroupList::Instance().CreateUnit(JobLayer::JobKindType::FromKind(3)));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    Command(AppLayer::CmdClipLoad1);
    EXPECT_TRUE(Current()->Path(0).IsEmpty());
    EXPECT_TRUE(StatusHas("ClipboardError"));
    EXPECT_FALSE(AppLayer::PathInsideFolder(W(L"C:\\x\\y"), RawString()));
    EXPECT_TRUE(AppLayer::PathInsideFolder(W(L"c:/T/A/./b/../F.txt"), W(L"C:\\t\\a")));
    EXPECT_FALSE(AppLayer::PathInsideFolder(W(L"C:\\t\\ab\\f.txt"), W(L"C:\\t\\a")));
}

TEST_F(TabOperationsTest, ChildTabsTakeTheParentsOptionsAndParentTabsGoBack) {
    const std::wstring a = Folder(L"A \u00e9"), b = Folder(L"B");
    Folder(L"A \u00e9\\sub"), Folder(L"B\\sub"), Folder(L"A \u00e9\\only");
    JobLayer::JobEditFlags edit;
    edit.edit1 = 1;
    Open(L"");
    ASSERT_TRUE(AppLayer::OpenPairText(Views(), Line(a, b, JobLayer::StatusSame | JobLayer::StatusOnly1, edit)));
    JobGroupUnit* parent = Current();
    auto openChild = [&](uint32_t rowKind) {
        const int32_t index = ItemOfKind(rowKind);
        EXPECT_GE(index, 0);
        Box().SetCursor(index);
        Command(AppLayer::CmdOpenChildTab);
        return Current();
    };
    JobGroupUnit* both = openChild(JobLayer::RowSame);
    EXPECT_EQ(Ws(both->Path(0)), a + L"\\sub");
    EXPECT_EQ(Ws(both->Path(1)), b + L"\\sub");
    EXPECT_EQ(both->statusMask, JobLayer::StatusSame | JobLayer::StatusOnly1);
    EXPECT_EQ(both->edit.edit1, 1);
    EXPECT_EQ(both->parent, parent);
    // From the child, its parent's tab comes back.
    Command(AppLayer::CmdOpenParentTab);
    EXPECT_EQ(Current(), parent);
    JobGroupUnit* only = openChild(JobLayer::RowOnly1);
    EXPECT_EQ(Ws(only->Path(0)), a + L"\\only");
    EXPECT_EQ(Ws(only->Path(1)), b + L"\\only");
    EXPECT_EQ(only->kind.kind, JobLayer::KindPath);
    EXPECT_EQ(Views().tabBar.Count(), 3);

    const std::wstring x = Folder(L"X"), y = Folder(L"Y");
    OpenPair(Folder(L"X\\p"), Folder(L"Y\\q"));
    Command(AppLayer::CmdOpenParentTab);
    EXPECT_EQ(Ws(Current()->Path(0)), x);
    EXPECT_EQ(Ws(Current()->Path(1)), y);
    EXPECT_EQ(S(AppLayer::ParentFolderOf(W(L"C:\\x"))), "C:\\");
    EXPECT_EQ(S(AppLayer::ParentFolderOf(W(L"C:\\x\\y\\"))), "C:\\x");
    EXPECT_EQ(S(AppLayer::ParentFolderOf(W(L"C:\\"))), "");
    EXPECT_EQ(S(AppLayer::ParentFolderOf(W(L"\\\\server\\share"))), "");
    EXPECT_EQ(S(AppLayer::ParentFolderOf(W(L"\\\\server\\share\\x"))), "\\\\server\\share");
}

TEST_F(TabOperationsTest, NewInstanceGetsThePairLineAndOpensTheSameTab) {
    const std::wstring left = Folder(L"left \u00e9\u3042"), right = Folder(L"right side");
    JobLayer::JobEditFlags edit;
    edit.edit2 = 1;
    Open(L"");
    const std::wstring probe = temp.Join(L"probe.exe");
    ASSERT_TRUE(CopyFileW(BesideTest(L"quenby_probe.exe").c_str(), probe.c_str(), FALSE));
    Dialog().restartProgram = W(probe);
    const std::wstring record = temp.Join(L"command_line.txt");
    auto started = [&] {
        EXPECT_TRUE(PumpUntil([&record] { return FileExists(record); }, 10000));
        const std::vector<uint8_t> bytes = ReadFileBytes(record);
        DeleteFileW(record.c_str());
        std::wstring line(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        const size_t end = line[0] == L'"' ? line.find(L'"', 1) + 1 : line.find(L' ');
        return line.size() > end + 1 ? line.substr(end + 1) : std::wstring();
    };
    // From the empty tab: no parameter at all.
    Command(AppLayer::CmdNewDialog);
    EXPECT_EQ(started(), L"");
    ASSERT_TRUE(AppLayer::OpenPairText(Views(), Line(left, right, JobLayer::StatusOnly2, edit)));
    const std::string line = S(Line(left, right, JobLayer::StatusOnly2, edit));
    Command(AppLayer::CmdNewDialog);
    const std::wstring arguments = started();
    EXPECT_EQ(arguments, L"-t \"" + Wide(line) + L"\"");
    // The started program reads them into the same tab.
    ASSERT_TRUE(run.Close());
    ASSERT_TRUE(run.Start(arguments));
    EXPECT_EQ(TabLines(), std::vector<std::string>{line});
    EXPECT_EQ(S(Views().tabBar.current->text), "left \xC3\xA9\xE3\x81\x82/right side");
    // A comma in a path without a short name: the two plain paths.
    const std::wstring comma = temp.Join(L"c,d");
    Views().tabBar.LoadPair(W(comma), W(right));
    Dialog().restartProgram = W(probe);
    Command(AppLayer::CmdNewDialog);
    EXPECT_EQ(started(), Quoted(comma) + L" " + Quoted(right));
}

// The main window of a process started from the program file, when one
// is up: other tests may run the program at the same time.
HWND StartedMainWindow(const std::wstring& program) {
    TestSupport::WindowQuery query;
    query.windowClass = L"Tavrel_Main";
    query.program = program.c_str();
    return TestSupport::FindProcessWindow(query);
}

TEST_F(TabOperationsTest, TheRealProgramStartsOnThePairAndOnTheEmptyTabAndCloses) {
    const std::wstring left = Folder(L"left \u00e9"), right = Folder(L"right side");
    Open(L"");
    const std::wstring program = temp.Join(L"Tavrel.exe");
    const std::wstring built = BesideTest(L"..\\Tavrel.exe");
    ASSERT_TRUE(CopyFileW(built.c_str(), program.c_str(), FALSE));
    Dialog().restartProgram = W(program);
    for (bool pair : {true, false}) {
        if (pair) {
            ASSERT_TRUE(AppLayer::OpenPairText(Views(), Line(left, right)));
        } else {
            Command(AppLayer::CmdDeleteTab);
        }
        EXPECT_EQ(Current()->Path(0).IsEmpty(), !pair);
        Command(AppLayer::CmdNewDialog);
        HWND other = nullptr;
        EXPECT_TRUE(
            PumpUntil([&] { return (other = StartedMainWindow(program)) != nullptr; }, 30000));
        if (!other) continue;
        DWORD process = 0;
        GetWindowThreadProcessId(other, &process);
        HANDLE handle = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, process);
        PostMessageW(other, WM_CLOSE, 0, 0);
        const DWORD ended = WaitForSingleObject(handle, 20000);
        EXPECT_EQ(ended, WAIT_OBJECT_0);
        if (ended != WAIT_OBJECT_0) TerminateProcess(handle, 2);
        DWORD code = 1;
        GetExitCodeProcess(handle, &code);
        EXPECT_EQ(code, 0u);
        CloseHandle(handle);
    }
}

}  // namespace
}  // namespace TabViewTest

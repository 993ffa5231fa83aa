// The print run through the progress dialog and its worker, printing into an
// enhanced-metafile DC that stands in for the printer DC (the print loop
// takes any DC; no printer queue is needed): pagination and ranges, the
// progress text, Stop and Escape, failures, and paints during a job.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "quenby/app/main_dialog.h"
#include "quenby/app/viewer_fixture.h"
#include "toolkit/info_dialog.h"

using namespace ViewerTest;
using AppLayer::GuiMainItems;
using AppLayer::GuiViewBox;
using AppLayer::WinPageRange;
using AppLayer::WinPrintDialogRecord;
using AppLayer::WinPrintListBox;
using AppLayer::WinPrintProgressDialog;
using AppLayer::WinSelectionRecord;
using RawLayer::RawString;

namespace {

bool StartOn(ViewerRun& run, const std::wstring& path) {
    TestSupport::WriteFileBytes(run.profile, "[Common]\r\nProgram=Quenby\r\n[Overview]\r\nEnhanceForm=@%s\r\n"
                                             "PageHeadHeight=1000\r\nPageHeadColor=0x20C040\r\n");
    return run.Start("-p \"" + TestSupport::S(TestSupport::W(path)) + "\"");
}

const char* const kNumbers[] = {"one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten"};

// n pages split by page breaks, "Page <n>" headings, a footer with the
// page number and count.
std::string PagesDocument(int n) {
    std::string text = "@PrintFooter:Right:\"Page %p of %t\"\n\n";
    for (int i = 0; i < n; ++i) {
        if (i > 0) text += "@PageBreak\n\n";
        text += "# Page " + std::string(i < 10 ? kNumbers[i] : "more") + "\n\nSome text of this page.\n\n";
    }
    return text;
}

// The document calls of a metafile in the printer's place: pages counted,
// and the end of the document answered as the test wants.
std::atomic<int> docsStarted{0};
std::atomic<int> pagesStarted{0};
std::atomic<int> endDocAnswer{1};
int WINAPI MetaStartDoc(HDC, const DOCINFOW* doc) {
    ++docsStarted;
    return doc && doc->cbSize == sizeof(DOCINFOW) ? 1 : 0;
}
int WINAPI MetaStartPage(HDC) { return ++pagesStarted; }
int WINAPI MetaEndPage(HDC) { return 1; }
int WINAPI MetaEndDoc(HDC) { return endDocAnswer.load(); }
const WinPrintListBox::DocumentCalls kMetaCalls{&MetaStartDoc, &MetaStartPage, &MetaEndPage, &MetaEndDoc};

// A metafile DC in the printer's place; its records once closed.
struct MetafilePrinter {
    MetafilePrinter() : dc(CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr)) {
        previous = WinPrintListBox::SetDocumentCalls(&kMetaCalls);
        docsStarted = 0;
        pagesStarted = 0;
        endDocAnswer = 1;
    }
    ~MetafilePrinter() {
        WinPrintListBox::SetDocumentCalls(previous);
        if (dc) DeleteEnhMetaFile(CloseEnhMetaFile(dc));
    }
    const WinPrintListBox::DocumentCalls* previous;
    std::string Close() {
        HENHMETAFILE file = CloseEnhMetaFile(dc);
        dc = nullptr;
        std::string bytes(GetEnhMetaFileBits(file, 0, nullptr), '\0');
        GetEnhMetaFileBits(file, static_cast<UINT>(bytes.size()), reinterpret_cast<BYTE*>(&bytes[0]));
        DeleteEnhMetaFile(file);
        return bytes;
    }
    HDC dc;
};

// The main item set as Executer, watching the pages the dialog lets print.
class ProbeExecuter : public WinPrintProgressDialog::Executer, public WinPrintListBox::PageChecker {
public:
    explicit ProbeExecuter(GuiMainItems& items) : items_(items) {}
    WinPrintListBox::PrintOutcome PrintDocument(WinPrintDialogRecord& record,
                                                WinPrintListBox::PageChecker& checker) override {
        dialog = static_cast<WinPrintProgressDialog*>(&checker);
        return items_.PrintDocument(record, *this);
    }
    WinPageRange SelectedPageRange(const WinSelectionRecord& selection) override {
        return items_.SelectedPageRange(selection);
    }
    bool IsStopped() override { return dialog->IsStopped(); }
    bool IsPageWanted(int32_t k) override {
        const bool wanted = dialog->IsPageWanted(k);
        if (wanted) {
            printed.push_back(k);
            if (onPage) onPage(k);
        }
        return wanted;
    }
    void OnPageCount(int32_t count) override { dialog->OnPageCount(count); }

    WinPrintProgressDialog* dialog = nullptr;
    std::vector<int32_t> printed;
    std::function<void(int32_t)> onPage;

private:
    GuiMainItems& items_;
};

struct Job {
    explicit Job(ViewerRun& run) : run(run), probe(run.Dialog()->items) {
        record.dialog.lStructSize = sizeof(PRINTDLGW);
        record.dialog.hDC = printer.dc;
        record.dialog.nMaxPage = static_cast<WORD>(run.Dialog()->items.view.pageCount);
    }
    WinPrintListBox::PrintOutcome Print() {
        record.dialog.hDC = printer.dc;
        return AppLayer::RunPrintJob(*run.Dialog(), record, selection, probe);
    }
    ViewerRun& run;
    MetafilePrinter printer;
    WinPrintDialogRecord record;
    WinSelectionRecord selection;
    ProbeExecuter probe;
};

bool WaitFor(const std::function<bool()>& condition, DWORD limitMs = 3000) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > limitMs) return false;
        Sleep(2);
    }
    return true;
}

}  // namespace

TEST(PrintRunTest, PagesAreMarkedAndTheSelectionGivesItsPages) {
    ViewerRun run;
    ASSERT_TRUE(StartOn(run, run.Write(L"one.md", "# Only\n\ntext\n")));
    GuiViewBox& view = run.Dialog()->items.view;
    view.Refresh();
    EXPECT_EQ(view.pageCount, 1);
    for (int32_t i = 0; i < view.Count(); ++i) EXPECT_FALSE(view.LineAt(i)->flags & DocLayer::LinePageStart);
    const WinPageRange only = run.Dialog()->items.SelectedPageRange(WinSelectionRecord{1, 0, 0});
    EXPECT_EQ(only.first, 0);
    EXPECT_EQ(only.end, 1);
    run.Stop();

    ViewerRun second;
    ASSERT_TRUE(StartOn(second, second.Write(L"break.md", "@PageBreak\n\n# After\n\nSome text.\n")));
    GuiViewBox& broken = second.Dialog()->items.view;
    broken.Refresh();
    EXPECT_EQ(broken.pageCount, 2);
    // Page 0 holds nothing drawn: the heading is on page 1.
    for (int32_t i = 0; i < broken.Count(); ++i) {
        if (TestSupport::S(broken.LineAt(i)->rawText) == "# After") {
            EXPECT_GE(broken.items.At(i)->rect.top, broken.pageHeight);
        }
    }
    WinSelectionRecord selection;
    selection.count = 1;
    selection.first = selection.last = broken.Count() - 1;
    const WinPageRange last = second.Dialog()->items.SelectedPageRange(selection);
    EXPECT_EQ(last.first, 1);
    EXPECT_EQ(last.end, 2);
    AppLayer::WinPrintHeader band;
    band.page = 3;
    band.total = 7;
    EXPECT_EQ(TestSupport::S(band.ExpandText(RawString::FromText("%p %t %p"))), "3 7 %p");
}

TEST(PrintRunTest, ProgressCountsThePagesOfTheJobAndRangesChooseThem) {
    ViewerRun run;
    ASSERT_TRUE(StartOn(run, run.Write(L"five.md", PagesDocument(5))));
    GuiViewBox& view = run.Dialog()->items.view;
    view.Refresh();
    ASSERT_EQ(view.pageCount, 5);
    TestSupport::ModalWatchdog watchdog(20000);
    {
        Job job(run);
        // A stale count from before a re-pagination: the text shows the
        // count the job prints from.
        job.record.dialog.nMaxPage = 9;
        std::vector<std::string> texts;
        SIZE built{}, grown{};
        POINT least{};
        job.probe.onPage = [&](int32_t k) {
            const std::string wanted = "( " + std::to_string(k) + " / 5 )";
            EXPECT_TRUE(WaitFor([&] {
                return TestSupport::S(job.probe.dialog->ProgressText()).find(wanted) != std::string::npos;
            })) << wanted;
            texts.push_back(TestSupport::S(job.probe.dialog->ProgressText()));
            if (k != 0) return;
            // Made larger, the dialog may shrink back to its first size.
            const HWND window = job.probe.dialog->window;
            RECT r{};
            GetWindowRect(window, &r);
            built = SIZE{r.right - r.left, r.bottom - r.top};
            SetWindowPos(window, nullptr, 0, 0, built.cx + 120, built.cy + 60,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            GetWindowRect(window, &r);
            grown = SIZE{r.right - r.left, r.bottom - r.top};
            MINMAXINFO info{};
            SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
            least = info.ptMinTrackSize;
        };
        EXPECT_EQ(job.Print(), WinPrintListBox::PrintDone);
        EXPECT_GT(grown.cx, built.cx);
        EXPECT_EQ(least.x, built.cx);
        EXPECT_EQ(least.y, built.cy);
        ASSERT_EQ(texts.size(), 5u);
        EXPECT_EQ(texts.front(), "\n  Printng pages ( 0 / 5 ).  \n");
        EXPECT_NE(texts.back().find("( 4 / 5 )"), std::string::npos);
    }
    {
        Job job(run);
        job.record.dialog.Flags = PD_PAGENUMS;
        job.record.dialog.nFromPage = 2;
        job.record.dialog.nToPage = 3;
        EXPECT_EQ(job.Print(), WinPrintListBox::PrintDone);
        EXPECT_EQ(job.probe.printed, (std::vector<int32_t>{1, 2}));
        EXPECT_EQ(pagesStarted.load(), 2);
    }
    {
        Job job(run);
        int32_t first = -1, last = -1;
        for (int32_t i = 0; i < view.Count(); ++i) {
            const std::string raw = TestSupport::S(view.LineAt(i)->rawText);
            if (raw == "# Page three") first = i;
            if (first >= 0 && last < 0 && raw == "Some text of this page.") last = i;
        }
        ASSERT_GE(first, 0);
        job.selection = WinSelectionRecord{2, first, last};
        job.record.dialog.Flags = PD_SELECTION;
        EXPECT_EQ(job.Print(), WinPrintListBox::PrintDone);
        EXPECT_EQ(job.probe.printed, (std::vector<int32_t>{2}));
    }
    EXPECT_FALSE(watchdog.Fired());
}

// Page ranges as the print dialog hands them back over a five-page
// document: typed backwards, past the last page, of one page, and wholly
// past the end. A range with pages prints them in order; one without sends
// no document at all and says so, never a blank sheet reported as printed.
TEST(PrintRunTest, RangesBackwardsOrPastTheEndPrintTheirPagesInOrderOrSayThereAreNone) {
    ViewerRun run;
    ASSERT_TRUE(StartOn(run, run.Write(L"five.md", PagesDocument(5))));
    run.Dialog()->items.view.Refresh();
    ASSERT_EQ(run.Dialog()->items.view.pageCount, 5);
    TestSupport::ModalWatchdog watchdog(60000);
    struct Case {
        WORD from, to;
        std::vector<int32_t> pages;
    };
    // The message of a range without pages is looked for until it comes
    // (a modal run: the job waits for it), and closed.
    std::string told;
    int tries = 0;
    std::function<void()> closeMessage = [&] {
        HWND info = FindWindowW(L"Class_InfoDialog", nullptr);
        auto* dialog = info ? static_cast<WinLayer::WinInfoDialog*>(
                                  WinLayer::WinWindowRegistry::Instance().FindByHandle(info))
                            : nullptr;
        if (dialog) {
            told = TestSupport::S(dialog->textBox.GetText());
            PostMessageW(info, WM_CLOSE, 0, 0);
        } else if (++tries < 100) {
            TestSupport::RunLater(50, closeMessage);
        }
    };
    for (const Case& c : {Case{5, 3, {2, 3, 4}}, Case{3, 9, {2, 3, 4}}, Case{4, 4, {3}}, Case{9, 7, {}},
                          Case{7, 9, {}}}) {
        const std::string name = std::to_string(c.from) + " to " + std::to_string(c.to);
        Job job(run);
        job.record.dialog.Flags = PD_PAGENUMS;
        job.record.dialog.nFromPage = c.from;
        job.record.dialog.nToPage = c.to;
        told.clear();
        tries = 0;
        if (c.pages.empty()) TestSupport::RunLater(100, closeMessage);
        const WinPrintListBox::PrintOutcome outcome = job.Print();
        EXPECT_EQ(job.probe.printed, c.pages) << name;
        EXPECT_EQ(pagesStarted.load(), static_cast<int>(c.pages.size())) << name;
        if (c.pages.empty()) {
            EXPECT_EQ(outcome, WinPrintListBox::PrintNoPage) << name;
            EXPECT_EQ(docsStarted.load(), 0) << name;
            EXPECT_EQ(told, "No page of the document lies in the chosen range: nothing is printed.") << name;
        } else {
            EXPECT_EQ(outcome, WinPrintListBox::PrintDone) << name;
            EXPECT_EQ(docsStarted.load(), 1) << name;
            EXPECT_EQ(told, "") << name;
        }
        // Nothing is left open for the next case.
        TestSupport::PumpUntilIdle();
    }
    EXPECT_FALSE(watchdog.Fired());
}

TEST(PrintRunTest, StopEscapeAndTheRestartCodeEndTheJobWithinAPage) {
    ViewerRun run;
    ASSERT_TRUE(StartOn(run, run.Write(L"twenty.md", PagesDocument(20))));
    run.Dialog()->items.view.Refresh();
    ASSERT_EQ(run.Dialog()->items.view.pageCount, 20);
    TestSupport::ModalWatchdog watchdog(20000);
    // 4353 sent to the dialog's own window is Stop there: no restart.
    for (int way = 0; way < 2; ++way) {
        Job job(run);
        job.probe.onPage = [&](int32_t k) {
            if (k == 0) {
                if (way == 0) {
                    SendMessageTimeoutW(job.probe.dialog->window, WM_COMMAND, MAKEWPARAM(0, 4353), 0, SMTO_BLOCK,
                                        2000, nullptr);
                } else {
                    TestSupport::PostKey(job.probe.dialog->stopButton.window, VK_ESCAPE);
                    // The closing dialog waits for this worker and still
                    // answers a message the worker sends it.
                    EXPECT_TRUE(WaitFor([&] { return job.probe.dialog->IsStopped(); }));
                    DWORD_PTR answer = 0;
                    EXPECT_NE(SendMessageTimeoutW(job.probe.dialog->textBox.window, WM_GETTEXTLENGTH, 0, 0,
                                                  SMTO_BLOCK, 3000, &answer),
                              0);
                }
            }
            Sleep(100);
        };
        EXPECT_EQ(job.Print(), WinPrintListBox::PrintStopped) << way;
        // The page under way is finished, and no other.
        EXPECT_LE(job.probe.printed.size(), 2u) << way;
        EXPECT_TRUE(IsWindow(run.Window()));
    }
    EXPECT_FALSE(watchdog.Fired());
}

// A worker that cannot start.
class StillbornProgress : public WinPrintProgressDialog {
public:
    using WinPrintProgressDialog::WinPrintProgressDialog;

protected:
    bool StartWorker() override { return false; }
};

TEST(PrintRunTest, FailuresEndTheDialogAtOnceAndAreTold) {
    ViewerRun run;
    ASSERT_TRUE(StartOn(run, run.Write(L"three.md", PagesDocument(3))));
    run.Dialog()->items.view.Refresh();
    TestSupport::ModalWatchdog watchdog(60000);
    Job job(run);
    bool told = false;
    // The message is looked for until it comes: a loaded machine may take
    // a while to show it.
    int tries = 0;
    std::function<void()> closeMessage = [&] {
        HWND info = FindWindowW(L"Class_InfoDialog", nullptr);
        told = info != nullptr;
        if (info) {
            PostMessageW(info, WM_CLOSE, 0, 0);
        } else if (++tries < 300) {
            TestSupport::RunLater(50, closeMessage);
        }
    };
    // A queue that rejects the job answers only the end of the document
    // with 0.
    endDocAnswer = 0;
    TestSupport::RunLater(500, closeMessage);
    EXPECT_EQ(job.Print(), WinPrintListBox::PrintFailed);
    EXPECT_EQ(pagesStarted.load(), 3);
    EXPECT_TRUE(told);
    // A DC that takes no document: nothing prints.
    WinPrintListBox::SetDocumentCalls(nullptr);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    told = false;
    tries = 0;
    TestSupport::RunLater(500, closeMessage);
    job.record.dialog.hDC = memory;
    EXPECT_EQ(AppLayer::RunPrintJob(*run.Dialog(), job.record, job.selection, job.probe),
              WinPrintListBox::PrintFailed);
    EXPECT_TRUE(told);
    DeleteDC(memory);

    StillbornProgress progress(job.probe, job.record, job.selection);
    progress.Build(*run.Dialog(), RawString());
    const DWORD start = GetTickCount();
    EXPECT_EQ(progress.RunModal(*run.Dialog()), 1);
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(progress.Outcome(), WinPrintListBox::PrintFailed);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(PrintRunTest, PaintsDuringAJobLeaveThePrintedPagesAndTheViewIntact) {
    ViewerRun run;
    ASSERT_TRUE(StartOn(run, run.Write(L"ten.md", PagesDocument(10))));
    GuiViewBox& view = run.Dialog()->items.view;
    view.Refresh();
    ASSERT_EQ(view.pageCount, 10);
    InvalidateRect(view.window, nullptr, FALSE);
    UpdateWindow(view.window);
    TestSupport::DibCanvas before = TestSupport::DibCanvas::CaptureClient(view.window);
    TestSupport::ModalWatchdog watchdog(30000);
    std::string quiet;
    {
        Job job(run);
        ASSERT_EQ(job.Print(), WinPrintListBox::PrintDone);
        quiet = job.printer.Close();
    }
    std::string disturbed;
    {
        Job job(run);
        std::atomic<int> paints{0};
        job.probe.onPage = [&](int32_t k) {
            if (k == 0) WaitFor([&] { return paints.load() > 0; });
            if (k == 9) WaitFor([&] { return paints.load() >= 200; });
        };
        TestSupport::RunLater(50, [&] {
            for (int i = 0; i < 200; ++i) {
                for (HWND box : {view.window, run.Dialog()->items.tree.window}) {
                    InvalidateRect(box, nullptr, TRUE);
                    UpdateWindow(box);
                }
                paints.store(i + 1);
                Sleep(1);
            }
        });
        ASSERT_EQ(job.Print(), WinPrintListBox::PrintDone);
        EXPECT_EQ(paints.load(), 200);
        disturbed = job.printer.Close();
    }
    // The pages drawn: the same pixels, with text on them.
    auto draw = [](const std::string& bytes) {
        HENHMETAFILE file = SetEnhMetaFileBits(static_cast<UINT>(bytes.size()),
                                               reinterpret_cast<const BYTE*>(bytes.data()));
        ENHMETAHEADER header{};
        GetEnhMetaFileHeader(file, sizeof(header), &header);
        auto canvas = std::make_unique<TestSupport::DibCanvas>(400, 600);
        const RECT whole{0, 0, 400, 600};
        PlayEnhMetaFile(canvas->Dc(), file, &whole);
        DeleteEnhMetaFile(file);
        return canvas;
    };
    auto quietPages = draw(quiet);
    auto disturbedPages = draw(disturbed);
    EXPECT_LT(quietPages->CountColor(RGB(255, 255, 255)), 400 * 600);
    EXPECT_TRUE(quietPages->SameAs(*disturbedPages));
    TestSupport::PumpUntilIdle();
    InvalidateRect(view.window, nullptr, FALSE);
    UpdateWindow(view.window);
    TestSupport::DibCanvas after = TestSupport::DibCanvas::CaptureClient(view.window);
    EXPECT_TRUE(before.SameAs(after));
    EXPECT_FALSE(watchdog.Fired());
}

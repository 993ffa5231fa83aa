// Printing into the real "Quenby_PDF" queue (scripts/print-queue.sh makes
// it): the system print dialog answered by a timer (pages 2 to 3), the
// page-size question, the progress run and the worker on the printer DC.
// The PDFs are checked by scripts/print-check.sh, which runs this test.
// Without the queue the test fails and names the script.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <functional>

#include <string>
#include <vector>

#include "quenby/app/fallback_face.h"
#include "quenby/app/main_dialog.h"
#include "quenby/app/pass_support.h"
#include "quenby/app/viewer_fixture.h"
#include "toolkit/info_dialog.h"
#include "toolkit/win_message.h"

using namespace ViewerTest;
using AppLayer::GuiViewBox;
using RawLayer::RawString;

namespace {

// The printer names winspool knows; listing them also makes a queue added
// since the prefix last ran usable for CreateDC.
std::vector<std::wstring> Printers() {
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 16);
    std::vector<std::wstring> names;
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, buffer.data(),
                       static_cast<DWORD>(buffer.size()), &needed, &count)) {
        return names;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) names.push_back(info[i].pPrinterName);
    return names;
}

bool HasPrinter(const std::wstring& name) {
    for (const std::wstring& n : Printers())
        if (n == name) return true;
    return false;
}

struct Search {
    const wchar_t* name;
    HWND found;
};

BOOL CALLBACK MatchClass(HWND window, LPARAM data) {
    auto* s = reinterpret_cast<Search*>(data);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (IsWindowVisible(window) && wcscmp(name, s->name) == 0) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible dialog window of this thread with the class name.
HWND FindThreadDialog(const wchar_t* className) {
    Search search{className, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs the step with the dialog of the class once it shows (polled).
void WhenShown(const wchar_t* className, std::function<void(HWND)> step, int tries = 100) {
    TestSupport::RunLater(100, [=] {
        HWND dialog = FindThreadDialog(className);
        if (dialog) {
            step(dialog);
        } else if (tries > 0) {
            WhenShown(className, step, tries - 1);
        }
    });
}

void PressInfoButton(HWND question, const char* label) {
    RawLayer::RawParameterList press;
    press.SetText(RawString::FromText("Button"), RawString::FromText(label));
    WinLayer::WinMessage::SendPointer(question, WinLayer::WinMessage::PressButton, 0,
                                      reinterpret_cast<LPARAM>(&press));
}

void SetText(HWND dialog, int id, const wchar_t* text) { SetWindowTextW(GetDlgItem(dialog, id), text); }

// Chooses a queue in the print dialog's printer list, as a user's pick does.
void ChooseQueue(HWND print, const wchar_t* queue) {
    HWND printers = GetDlgItem(print, 0x473);
    SendMessageW(printers, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(queue));
    SendMessageW(print, WM_COMMAND, MAKEWPARAM(0x473, CBN_SELCHANGE), reinterpret_cast<LPARAM>(printers));
}

// A window colour other than white while it lives (the tests that use it
// run alone: the colour is the session's).
struct TintedWindowColour {
    TintedWindowColour() {
        const COLORREF tint = RGB(0xE0, 0xE8, 0xC8);
        SetSysColors(1, &element, &tint);
    }
    ~TintedWindowColour() { SetSysColors(1, &element, &previous); }
    const INT element = COLOR_WINDOW;
    const COLORREF previous = GetSysColor(COLOR_WINDOW);
};

// Prints the whole document on "Quenby_PDF" through the print dialog,
// confirming the question that follows; false when the run outlived the
// limit.
bool PrintAllToPdf(ViewerRun& run, DWORD limitMs) {
    TestSupport::ModalWatchdog watchdog(limitMs);
    WhenShown(L"#32770", [&](HWND print) {
        ChooseQueue(print, L"Quenby_PDF");
        WhenShown(L"Class_InfoDialog", [&](HWND question) { PressInfoButton(question, "OK"); });
        PostMessageW(print, WM_COMMAND, IDOK, 0);
    });
    AppLayer::DispatchMainCommand(*run.Dialog(), nullptr, AppLayer::CmdPrint);
    return !watchdog.Fired();
}

// Starts the viewer on the document under the profile, in page view ("-p ")
// or line view ("-p- "); its view laid out, or null when it did not start.
GuiViewBox* ShowDocument(ViewerRun& run, const std::wstring& doc, const std::string& profile,
                         const char* switches = "-p ") {
    TestSupport::WriteFileBytes(run.profile, profile);
    if (!run.Start(switches + ("\"" + TestSupport::S(TestSupport::W(doc)) + "\""))) return nullptr;
    GuiViewBox& view = run.Dialog()->items.view;
    view.Refresh();
    return &view;
}

// Five pages split by page breaks, headed "Page one" to "Page five", after
// the head.
std::string FivePages(const std::string& head) {
    const char* const numbers[] = {"one", "two", "three", "four", "five"};
    std::string text = head;
    for (int i = 0; i < 5; ++i) {
        if (i > 0) text += "@PageBreak\n\n";
        text += "# Page " + std::string(numbers[i]) + "\n\nSome text of this page.\n\n";
    }
    return text;
}

// Starts the viewer on the document in page view under the program style
// and prints it whole to "Quenby_PDF": one page.
void PrintOnOnePage(ViewerRun& run, const std::wstring& doc, const std::string& profile) {
    GuiViewBox* view = ShowDocument(run, doc, profile);
    ASSERT_TRUE(view);
    EXPECT_TRUE(PrintAllToPdf(run, 60000));
    EXPECT_EQ(view->pageCount, 1);
}

}  // namespace

TEST(PrintQueueTest, PagesTwoToThreeOfFivePrintToThePdfQueue) {
    ASSERT_TRUE(HasPrinter(L"Quenby_PDF")) << "no printer \"Quenby_PDF\": run scripts/print-queue.sh";
    ViewerRun run;
    const std::wstring doc = run.Write(L"QuenbyPrintCheck.md", FivePages("@PrintFooter:Right:\"Page %p of %t\"\n\n"));
    GuiViewBox* shown = ShowDocument(run, doc,
                                     "[Common]\r\nProgram=Quenby\r\n[Overview]\r\nEnhanceForm=@%s\r\n"
                                     "PageHeadHeight=1000\r\nPageHeadColor=0x20C040\r\n");
    ASSERT_TRUE(shown);
    GuiViewBox& view = *shown;
    ASSERT_EQ(view.pageCount, 5);
    TestSupport::ModalWatchdog watchdog(60000);
    bool asked = false;
    bool greyed = false;
    WhenShown(L"#32770", [&](HWND print) {
        greyed = !IsWindowEnabled(GetDlgItem(print, 0x421));
        ChooseQueue(print, L"Quenby_PDF");
        SendMessageW(GetDlgItem(print, 0x422), BM_CLICK, 0, 0);
        SetText(print, 0x480, L"2");
        SetText(print, 0x481, L"3");
        WhenShown(L"Class_InfoDialog", [&](HWND question) {
            asked = true;
            PressInfoButton(question, "OK");
        });
        PostMessageW(print, WM_COMMAND, IDOK, 0);
    });
    AppLayer::DispatchMainCommand(*run.Dialog(), nullptr, AppLayer::CmdPrint);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(greyed);
    const DocLayer::PrintImageSettings& image = view.CurrentStyle()->printImage;
    EXPECT_EQ(image.imageSize.cx, 2479);
    EXPECT_EQ(image.imageSize.cy, 3508);
    EXPECT_EQ(image.milliSize.cx, 209);
    EXPECT_EQ(image.milliSize.cy, 297);
    EXPECT_NE(TestSupport::FileText(run.folder.Join(L"Quenby.ini")).find("2479"), std::string::npos);

    // The same page again on the rejecting queue: no question, and the
    // failure is told.
    std::string told;
    WhenShown(L"#32770", [&](HWND print) {
        ChooseQueue(print, L"Quenby_Reject");
        WhenShown(L"Class_InfoDialog", [&](HWND message) {
            auto* info = static_cast<WinLayer::WinInfoDialog*>(WinLayer::WinWindowRegistry::Instance().FindByHandle(message));
            if (info) told = TestSupport::S(info->textBox.GetText());
            PressInfoButton(message, "OK");
        });
        PostMessageW(print, WM_COMMAND, IDOK, 0);
    });
    AppLayer::DispatchMainCommand(*run.Dialog(), nullptr, AppLayer::CmdPrint);
    EXPECT_EQ(told, "Printing failed.");

    // From the line view: the document is printed in pages all the same.
    view.SetPageView(false);
    run.Dialog()->items.page.checked = false;
    int32_t pages = 0;
    WhenShown(L"#32770", [&](HWND print) {
        ChooseQueue(print, L"Quenby_PDF");
        // The dialog offers the pages of the page view.
        pages = static_cast<int32_t>(GetDlgItemInt(print, 0x481, nullptr, FALSE));
        PostMessageW(print, WM_COMMAND, IDOK, 0);
    });
    AppLayer::DispatchMainCommand(*run.Dialog(), nullptr, AppLayer::CmdPrint);
    EXPECT_TRUE(view.PageView());
    EXPECT_TRUE(run.Dialog()->items.page.checked);
    EXPECT_EQ(view.pageCount, 5);
    EXPECT_EQ(pages, 5);
    EXPECT_FALSE(watchdog.Fired());
}

// Every kind of block on the real printer: pictures (a PNG with alpha and a
// JPEG), both list marks, a check box, code, a table and a paragraph that
// runs over several pages, under a window colour that is not white.
// scripts/print-check.sh reads the PDF back: the pictures at their printed
// size, each word of the paragraph once and in order, the list dots as dots
// on the page colour, and the code block's own fill colour.
TEST(PrintQueueTest, EveryBlockKindPrintsWhole) {
    ASSERT_TRUE(HasPrinter(L"Quenby_PDF")) << "no printer \"Quenby_PDF\": run scripts/print-queue.sh";
    ViewerRun run;
    ASSERT_TRUE(PassTest::WritePicture(run.folder.Join(L"alpha.png"), 160, 80, RGB(0x20, 0x80, 0xE0), L"image/png",
                                       true));
    ASSERT_TRUE(PassTest::WritePicture(run.folder.Join(L"photo.jpg"), 90, 120, RGB(0xC0, 0x40, 0x20), L"image/jpeg"));
    std::string text = "# Every block\n\n- a dash item\n* a star item\n- [x] a checked box\n\n"
                       "![alpha](alpha.png)\n\n![photo](photo.jpg)\n\n"
                       "    code line one\n    code line two\n\n"
                       "| Name | Value |\n|------|-------|\n| cellone | celltwo |\n\n";
    char word[16];
    for (int i = 1; i <= 2500; ++i) {
        snprintf(word, sizeof word, "w%04d ", i);
        text += word;
    }
    text += "\n";
    const std::wstring doc = run.Write(L"QuenbyPrintWhole.md", text);
    GuiViewBox* shown = ShowDocument(run, doc, "[Common]\r\nProgram=Quenby\r\n");
    ASSERT_TRUE(shown);
    GuiViewBox& view = *shown;
    TintedWindowColour tint;
    EXPECT_TRUE(PrintAllToPdf(run, 120000));
    // The printed pages hold every line to its end.
    ASSERT_GE(view.pageCount, 3);
    for (const WinLayer::WinListBoxItemUnit& unit : view.items)
        EXPECT_LE(unit.rect.bottom, static_cast<int64_t>(view.pageCount) * view.pageHeight);
}

// Japanese text and bold on the real printer, whose driver links no font
// to the Latin face: a paragraph of kana and kanji in italic (its own
// colour, so that the check finds it anywhere on the page), then the same
// Latin text bold and plain. scripts/print-check.sh reads the PDF back: a
// Japanese face is embedded, the italic characters are glyphs rather than
// the Latin face's empty boxes, and the bold line carries clearly more ink
// than the plain one.
TEST(PrintQueueTest, JapaneseAndBoldTextPrintReadably) {
    ASSERT_TRUE(HasPrinter(L"Quenby_PDF")) << "no printer \"Quenby_PDF\": run scripts/print-queue.sh";
    ViewerRun run;
    // Hiragana, katakana and kanji, none of them shaped like a box.
    const std::string text = "*\u3042\u3044\u3046\u3048\u304a\u304b\u304d\u304f\u3051\u3053 "
                             "\u30ab\u30bf\u30ab\u30ca \u5e73\u4eee\u540d\u3068\u6f22\u5b57*\n\n"
                             "**Weighty words side by side**\n\n"
                             "Weighty words side by side\n";
    const std::wstring doc = run.Write(L"QuenbyPrintJapanese.md", text);
    PrintOnOnePage(run, doc, "[Common]\r\nProgram=Quenby\r\n");
}

// Lines on the real printer, whose glyph advances are finer than the whole
// pixels the layout measures: each line alternates a filler letter with the
// glyph it ends in ("w", "." or ";"), blank between, at several lengths, so
// that any difference between the two has room to run up.
// scripts/print-check.sh reads the PDF back: the last glyph of every line
// has the ink and the width of the same glyph earlier in the line.
TEST(PrintQueueTest, PrintedLinesKeepTheirLastGlyphWhole) {
    ASSERT_TRUE(HasPrinter(L"Quenby_PDF")) << "no printer \"Quenby_PDF\": run scripts/print-queue.sh";
    ViewerRun run;
    std::string text;
    for (const char* last : {"w", ".", ";"}) {
        for (const char* filler : {"a", "e", "o", "n"}) {
            for (int pairs : {4, 8, 12}) {
                for (int i = 0; i < pairs; ++i) text += std::string(i ? " " : "") + filler + " " + last;
                text += "\n\n";
            }
        }
    }
    const std::wstring doc = run.Write(L"QuenbyPrintEdges.md", text);
    ASSERT_TRUE(ShowDocument(run, doc, "[Common]\r\nProgram=Quenby\r\n"));
    EXPECT_TRUE(PrintAllToPdf(run, 60000));
}

// Japanese page bands and a Japanese heading on the real printer, whose
// driver links no font to the Latin face and makes no bold of a face that
// has none: a header and a footer in their own colour, then a heading of the
// body text's size and the same text plain. scripts/print-check.sh reads the
// PDF back: the bands' characters are glyphs, not empty boxes, and the
// heading carries clearly more ink than the plain line.
TEST(PrintQueueTest, JapaneseBandsAndHeadingsPrintReadably) {
    ASSERT_TRUE(HasPrinter(L"Quenby_PDF")) << "no printer \"Quenby_PDF\": run scripts/print-queue.sh";
    ViewerRun run;
    const std::string words = "\u5e73\u4eee\u540d\u3068\u6f22\u5b57\u304b\u304d\u304f\u3051\u3053";
    const std::string text = "@PrintHeader:Left:\"\u3042\u3044\u3046\u3048\u304a \u304b\u304d\u304f\u3051\u3053\"\n"
                             "@PrintFooter:Right:\"\u30ab\u30bf\u30ab\u30ca \u5e73\u4eee\u540d\u3068\u6f22\u5b57\"\n\n"
                             "# " + words + "\n\n" + words + "\n";
    const std::wstring doc = run.Write(L"QuenbyPrintBands.md", text);
    // The heading as high as the text and without rules; the bands' texts in
    // a colour of their own, without rules.
    PrintOnOnePage(run, doc, "[Common]\r\nProgram=Quenby\r\n[Overview]\r\nEnhanceForm=@%s\r\n"
                             "[Headline_1]\r\nFontRatio=100\r\nOverline=0\r\nUnderline=0\r\n"
                             "[PrintHeader]\r\nTextColor=0x30A030\r\nLineHeight=0\r\n"
                             "[PrintFooter]\r\nTextColor=0x30A030\r\nLineHeight=0\r\n");
}

// Headings on the real printer in a print face that has no bold style of
// its own, chosen by a style file beside the document: the driver makes no
// bold of such a face. A Latin heading (part of it emphasised, so that its
// runs are drawn both alone and a row at a time), the same text plain, a
// Japanese heading and the same text plain, the headings as high as the
// text and without rules. scripts/print-check.sh reads the PDF back: the
// face is embedded, and each heading carries clearly more ink than its
// plain text.
TEST(PrintQueueTest, HeadingsPrintHeavierInAFaceWithoutBold) {
    ASSERT_TRUE(HasPrinter(L"Quenby_PDF")) << "no printer \"Quenby_PDF\": run scripts/print-queue.sh";
    // The installed face with kana and kanji draws both scripts by itself.
    const std::wstring face = AppLayer::InstalledFallbackFace();
    ASSERT_FALSE(face.empty()) << "no Japanese face installed";
    ASSERT_FALSE(AppLayer::FaceHasBoldStyle(face)) << TestSupport::Utf8(face) << " has a bold style";
    ViewerRun run;
    const std::string latin = "Weighty **words** side by side";
    const std::string japanese = "\u5e73\u4eee\u540d\u3068\u6f22\u5b57\u304b\u304d\u304f\u3051\u3053";
    const std::string text = "# " + latin + "\n\n" + latin + "\n\n# " + japanese + "\n\n" + japanese + "\n";
    const std::wstring folder = run.folder.Join(L"faced");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring doc = folder + L"\\QuenbyPrintFaceWithoutBold.md";
    TestSupport::WriteFileBytes(doc, text);
    TestSupport::WriteFileBytes(folder + L"\\Quenby.ini",
                                "[PrintFont]\r\nFaceName=" + TestSupport::Utf8(face) + "\r\nHeight=-64\r\n"
                                "[Headline_1]\r\nFontRatio=100\r\nOverline=0\r\nUnderline=0\r\n");
    PrintOnOnePage(run, doc, "[Common]\r\nProgram=Quenby\r\n");
}

// A table of eight columns far wider than the page on the real printer,
// each cell two words of its own: "Cell", the row's letter (A the title
// row, then B to D), the column's letter (A to H) and "word"; then "more"
// and the two letters. scripts/print-check.sh reads the PDF back: every
// cell's words are there whole, and no text stands past the page's right
// margin.
TEST(PrintQueueTest, ATableWiderThanThePagePrintsEveryCellInsideTheMargins) {
    ASSERT_TRUE(HasPrinter(L"Quenby_PDF")) << "no printer \"Quenby_PDF\": run scripts/print-queue.sh";
    ViewerRun run;
    std::string text = "# A wide table\n\n";
    for (const char row : std::string("ABCD")) {
        for (const char column : std::string("ABCDEFGH"))
            text += std::string("| Cell") + row + column + "word more" + row + column + " ";
        text += "|\n";
        if (row == 'A') text += "|---|---|---|---|---|---|---|---|\n";
    }
    text += "\nAfter the table.\n";
    const std::wstring doc = run.Write(L"QuenbyPrintWideTable.md", text);
    GuiViewBox* shown = ShowDocument(run, doc, "[Common]\r\nProgram=Quenby\r\n", "-p- ");
    ASSERT_TRUE(shown);
    GuiViewBox& view = *shown;
    // On the screen the table is as wide as its words: the line view
    // scrolls sideways to its last columns.
    const int32_t screenWidth = view.contentSize.cx;
    EXPECT_GT(screenWidth, view.clientRect.right - view.clientRect.left);
    EXPECT_TRUE(PrintAllToPdf(run, 60000));
    view.SetPageView(false);
    view.Refresh();
    EXPECT_EQ(view.contentSize.cx, screenWidth);
}

// Pages typed backwards in the print dialog, from 5 to 3, on the real
// printer: scripts/print-check.sh finds pages three to five in the PDF, in
// order.
TEST(PrintQueueTest, PagesFromFiveToThreePrintPagesThreeToFive) {
    ASSERT_TRUE(HasPrinter(L"Quenby_PDF")) << "no printer \"Quenby_PDF\": run scripts/print-queue.sh";
    ViewerRun run;
    const std::wstring doc = run.Write(L"QuenbyPrintBackwards.md", FivePages(""));
    GuiViewBox* shown = ShowDocument(run, doc, "[Common]\r\nProgram=Quenby\r\n[Overview]\r\nEnhanceForm=@%s\r\n");
    ASSERT_TRUE(shown);
    GuiViewBox& view = *shown;
    ASSERT_EQ(view.pageCount, 5);
    TestSupport::ModalWatchdog watchdog(60000);
    WhenShown(L"#32770", [&](HWND print) {
        ChooseQueue(print, L"Quenby_PDF");
        SendMessageW(GetDlgItem(print, 0x422), BM_CLICK, 0, 0);
        SetText(print, 0x480, L"5");
        SetText(print, 0x481, L"3");
        WhenShown(L"Class_InfoDialog", [&](HWND question) { PressInfoButton(question, "OK"); });
        PostMessageW(print, WM_COMMAND, IDOK, 0);
    });
    AppLayer::DispatchMainCommand(*run.Dialog(), nullptr, AppLayer::CmdPrint);
    EXPECT_EQ(view.pageCount, 5);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(PrintQueueTest, PrintSetupTakesThePrintersPageOnlyWhenConfirmed) {
    ASSERT_TRUE(HasPrinter(L"Quenby_PDF")) << "no printer \"Quenby_PDF\": run scripts/print-queue.sh";
    ViewerRun run;
    const std::wstring doc = run.Write(L"setup.md", "# Setup\n\ntext\n");
    GuiViewBox* shown = ShowDocument(run, doc, "[Common]\r\nProgram=Quenby\r\n");
    ASSERT_TRUE(shown);
    GuiViewBox& view = *shown;
    const std::string before = TestSupport::FileText(run.profile);
    TestSupport::ModalWatchdog watchdog(60000);
    WhenShown(L"#32770", [](HWND setup) { PostMessageW(setup, WM_COMMAND, IDCANCEL, 0); });
    AppLayer::DispatchMainCommand(*run.Dialog(), nullptr, AppLayer::CmdPrintSetup);
    EXPECT_EQ(TestSupport::FileText(run.profile), before);
    EXPECT_EQ(view.logicalWidth, 4961);
    WhenShown(L"#32770", [](HWND setup) { PostMessageW(setup, WM_COMMAND, IDOK, 0); });
    AppLayer::DispatchMainCommand(*run.Dialog(), nullptr, AppLayer::CmdPrintSetup);
    const DocLayer::PrintImageSettings& image = view.CurrentStyle()->printImage;
    EXPECT_EQ(image.imageSize.cx, 2479);
    EXPECT_EQ(image.imageSize.cy, 3508);
    EXPECT_EQ(image.milliSize.cx, 209);
    EXPECT_EQ(image.milliSize.cy, 297);
    EXPECT_EQ(view.logicalWidth, 2479);
    EXPECT_NE(TestSupport::FileText(run.profile).find("2479"), std::string::npos);
    EXPECT_FALSE(watchdog.Fired());
}

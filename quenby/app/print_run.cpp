// Printing from the main window: the print command with its page-size
// check and progress run, the print setup, and the main item set's side of
// the print worker.
#include <algorithm>
#include <memory>

#include "base/language.h"
#include "quenby/app/main_dialog.h"
#include "quenby/app/viewer_globals.h"
#include "toolkit/info_dialog.h"

namespace AppLayer {

using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(ProgressTitleKeyText, "ProgressTitle")
RAW_CONSTANT_TEXT(ImageSizeChangedKeyText, "ImageSizeChanged")
RAW_CONSTANT_TEXT(PrintFailedKeyText, "PrintFailed")
RAW_CONSTANT_TEXT(NoPageInRangeKeyText, "NoPageInRange")
RAW_CONSTANT_TEXT(OkText, "OK")
RAW_CONSTANT_TEXT(CancelText, "Cancel")

// Flags of the print dialog and of the print setup.
constexpr DWORD kPrintFlags = PD_NOWARNING | PD_RETURNDC | PD_DISABLEPRINTTOFILE | PD_HIDEPRINTTOFILE;
constexpr DWORD kSetupFlags =
    PD_PRINTSETUP | PD_NOWARNING | PD_RETURNIC | PD_DISABLEPRINTTOFILE | PD_HIDEPRINTTOFILE;
static_assert(kPrintFlags == 0x180180 && kSetupFlags == 0x1802C0, "print dialog flags");

// Releases what the system dialog handed back, on every way out.
class PrintRecordHolder {
public:
    PrintRecordHolder() : record_(std::make_unique<WinPrintDialogRecord>()) {
        record_->dialog.lStructSize = sizeof(PRINTDLGW);
    }
    ~PrintRecordHolder() {
        PRINTDLGW& d = record_->dialog;
        if (d.hDevMode) GlobalFree(d.hDevMode);
        if (d.hDevNames) GlobalFree(d.hDevNames);
        if (d.hDC) DeleteDC(d.hDC);
    }
    PrintRecordHolder(const PrintRecordHolder&) = delete;
    PrintRecordHolder& operator=(const PrintRecordHolder&) = delete;
    WinPrintDialogRecord& operator*() const { return *record_; }

    // Runs the dialog; after a confirmation the device's page is read, else
    // the dialog's error code is kept.
    bool Run() {
        WinPrintDialogRecord& r = *record_;
        if (!PrintDlgW(&r.dialog)) {
            r.error = CommDlgExtendedError();
            return false;
        }
        if (!r.dialog.hDC) return false;
        r.pageWidth = GetDeviceCaps(r.dialog.hDC, HORZRES);
        r.pageHeight = GetDeviceCaps(r.dialog.hDC, VERTRES);
        r.milliWidth = GetDeviceCaps(r.dialog.hDC, HORZSIZE);
        r.milliHeight = GetDeviceCaps(r.dialog.hDC, VERTSIZE);
        return true;
    }

private:
    std::unique_ptr<WinPrintDialogRecord> record_;
};

int32_t AskInfo(WinLayer::WinView& owner, const RawString& key, const RawLayer::RawLabelUnit* table) {
    const RawString section = LookUpViewTextIn(ViewTextSection(), ViewTexts);
    return ShowInfoText(owner, LookUpViewText(section, key), table);
}

// The printer's page becomes the page of the settings (margins kept), which
// are checked and saved; the view takes the new page size.
void TakePrinterPage(GuiMainDialog& dialog, DocLayer::PrintImageSettings& image, const WinPrintDialogRecord& r) {
    image.imageSize = SIZE{r.pageWidth, r.pageHeight};
    image.milliSize = SIZE{r.milliWidth, r.milliHeight};
    DocLayer::CheckPrintImageSettings(image);
    DocLayer::SavePrintImageSettings(image);
    GuiViewBox& view = dialog.items.view;
    view.SetPageView(view.PageView());
    if (view.window) {
        InvalidateRect(view.window, nullptr, FALSE);
        UpdateWindow(view.window);
    }
}

// The print dialog's page range over a document of `count` pages: a range
// typed backwards ("from 5 to 3") is the same pages in order; false when no
// page of the document lies in it.
bool TakePageRange(PRINTDLGW& d, int32_t count) {
    if (!(d.Flags & PD_PAGENUMS)) return true;
    if (d.nFromPage > d.nToPage) std::swap(d.nFromPage, d.nToPage);
    return std::max<int32_t>(d.nFromPage, 1) <= std::min<int32_t>(d.nToPage, count);
}

bool AskImageSizeChanged(GuiMainDialog& dialog) {
    static const RawLayer::RawLabelUnit table[] = {RawLayer::RawLabelUnit(OkText(), 1),
                                                   RawLayer::RawLabelUnit(CancelText(), 0),
                                                   RawLayer::RawLabelUnit(RawString(), 0)};
    return AskInfo(dialog, ImageSizeChangedKeyText(), table) == 1;
}

}  // namespace

int32_t ShowInfoText(WinLayer::WinView& owner, const RawString& text, const RawLayer::RawLabelUnit* table) {
    WinLayer::WinInfoDialog ask;
    RECT area{};
    if (owner.window) GetWindowRect(owner.window, &area);
    ask.Setup(area, ProgramNameString(), text, table, WinLayer::WinInfoDialog::IconAsterisk);
    return ask.RunModal(owner);
}

// ---- the worker's side --------------------------------------------------------------------

WinPrintListBox::PrintOutcome GuiMainItems::PrintDocument(WinPrintDialogRecord& record,
                                                          WinPrintListBox::PageChecker& checker) {
    HDC dc = record.dialog.hDC;
    RawString title(RawLayer::KindUtf16);
    if (currentDocument) title.Append(RawString(RawLayer::KindUtf16, currentDocument->title));
    DOCINFOW doc{};
    doc.cbSize = sizeof(DOCINFOW);
    doc.lpszDocName = title.Wide();
    // The loop leaves the DC's selections as it found them.
    const int saved = dc ? SaveDC(dc) : 0;
    const WinPrintListBox::PrintOutcome outcome = WinPrintListBox::Print(view, dc, doc, checker);
    if (saved) RestoreDC(dc, saved);
    return outcome;
}

WinPageRange GuiMainItems::SelectedPageRange(const WinSelectionRecord& selection) {
    WinPageRange range;
    int32_t index = 0;
    for (const WinLayer::WinListBoxItemUnit& unit : view.items) {
        // A line taller than a page ends on a later page than it begins.
        const int32_t first = view.PageOf(unit);
        const int32_t last = first + static_cast<const GuiListBoxItemUnit&>(unit).pagesOn;
        if (index == selection.first) range.first = first;
        if (index == selection.last) range.end = last + 1;
        ++index;
    }
    return range;
}

void GuiMainItems::SetPrintJob(bool on) {
    view.SetPrintJob(on);
    tree.SetPrintJob(on);
}

// ---- commands ---------------------------------------------------------------------------------

void RunPrintCommand(GuiMainDialog& dialog) {
    GuiMainItems& items = dialog.items;
    GuiViewBox& view = items.view;
    if (view.Count() < 1) return;
    // Pages exist only in page view: printing shows them.
    if (!view.PageView()) ShowPageView(dialog);
    WinSelectionRecord selection;
    selection.count = view.CountSelection(&selection.first, &selection.last);
    PrintRecordHolder holder;
    WinPrintDialogRecord& record = *holder;
    PRINTDLGW& d = record.dialog;
    const WORD pages = static_cast<WORD>(std::max<int32_t>(1, std::min<int32_t>(view.pageCount, 0xFFFF)));
    d.hwndOwner = dialog.window;
    d.Flags = kPrintFlags | (selection.count < 1 ? PD_NOSELECTION : 0);
    d.nFromPage = 1;
    d.nToPage = pages;
    d.nMinPage = 1;
    d.nMaxPage = pages;
    if (!holder.Run()) return;
    DocumentStyle* style = view.CurrentStyle();
    if (!style) return;
    DocLayer::PrintImageSettings& image = style->printImage;
    if (record.pageWidth != image.imageSize.cx || record.pageHeight != image.imageSize.cy) {
        TakePrinterPage(dialog, image, record);
        // The progress shows the count the job prints from.
        d.nMaxPage = static_cast<WORD>(std::max<int32_t>(1, std::min<int32_t>(view.pageCount, 0xFFFF)));
        if (!AskImageSizeChanged(dialog)) return;
    }
    RunPrintJob(dialog, record, selection, items);
    // Texts the print dialogs met for the first time go to the language file.
    RawLayer::LanguageTable::SaveChanges();
}

WinPrintListBox::PrintOutcome RunPrintJob(GuiMainDialog& dialog, WinPrintDialogRecord& record,
                                          const WinSelectionRecord& selection,
                                          WinPrintProgressDialog::Executer& executer) {
    GuiMainItems& items = dialog.items;
    // A job without pages would come out of the printer as a blank sheet:
    // the user is told instead, and nothing is sent.
    if (!TakePageRange(record.dialog, items.view.pageCount)) {
        AskInfo(dialog, NoPageInRangeKeyText(), WinLayer::OkButtonTable());
        return WinPrintListBox::PrintNoPage;
    }
    RawString title(CaptionPrefixText());
    title.Append(LookUpViewText(LookUpViewTextIn(ViewTextSection(), ViewTexts), ProgressTitleKeyText()));
    WinPrintListBox::PrintOutcome outcome = WinPrintListBox::PrintFailed;
    {
        WinPrintProgressDialog progress(executer, record, selection);
        progress.Build(dialog, title);
        items.SetPrintJob(true);
        progress.RunModal(dialog);
        progress.Wait();
        items.SetPrintJob(false);
        outcome = progress.Outcome();
    }
    if (outcome == WinPrintListBox::PrintFailed) AskInfo(dialog, PrintFailedKeyText(), WinLayer::OkButtonTable());
    if (outcome == WinPrintListBox::PrintNoPage) AskInfo(dialog, NoPageInRangeKeyText(), WinLayer::OkButtonTable());
    return outcome;
}

void RunPrintSetup(GuiMainDialog& dialog) {
    PrintRecordHolder holder;
    WinPrintDialogRecord& record = *holder;
    record.dialog.hwndOwner = dialog.window;
    record.dialog.Flags = kSetupFlags;
    if (!holder.Run()) return;
    if (record.pageWidth < 1 || record.pageHeight < 1) return;
    DocumentStyle* style = dialog.items.view.CurrentStyle();
    if (style) TakePrinterPage(dialog, style->printImage, record);
}

}  // namespace AppLayer

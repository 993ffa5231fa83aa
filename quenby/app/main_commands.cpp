// The main dispatcher of the help viewer and the start handler.
#include "quenby/app/main_dialog.h"

#include <algorithm>
#include <new>

#include "quenby/app/command_handlers.h"

#include "base/api_text.h"
#include "base/profile.h"
#include "quenby/app/viewer_globals.h"
#include "quenby/document/document_options.h"
#include "quenby/document/document_reader.h"
#include "toolkit/info_dialog.h"

namespace AppLayer {

namespace {

bool PageFlag(const GuiMainDialog& dialog) { return dialog.items.page.checked; }

void OnCursorMoved(GuiMainDialog& dialog, WinLayer::WinView* sender) {
    GuiMainItems& items = dialog.items;
    JobLineList* document = items.currentDocument;
    const bool fromTree = sender == &items.tree;
    GuiLineListBox& box = fromTree ? static_cast<GuiLineListBox&>(items.tree) : items.view;
    if (document && !(items.flagWord & GuiMainItems::FlagRestoring)) {
        (fromTree ? document->treeCursorLine : document->viewCursorLine) = box.cursor;
    }
    if (items.flagWord & GuiMainItems::FlagSynchronising) return;
    items.flagWord |= GuiMainItems::FlagSynchronising;
    if (fromTree) {
        if (box.cursor >= 0) items.view.SetCursor(box.cursor);
    } else {
        const int32_t heading = items.tree.HeadingAtOrBefore(box.cursor);
        if (heading >= 0) {
            items.tree.SetCursor(heading);
        } else if (items.tree.cursor != WinLayer::WinListBoxInfo::kNone) {
            // Above the first heading no heading is current.
            items.tree.MoveCursorTo(WinLayer::WinListBoxInfo::kNone);
        }
    }
    items.flagWord &= static_cast<uint16_t>(~GuiMainItems::FlagSynchronising);
}

void OnScrolled(GuiMainDialog& dialog, WinLayer::WinView* sender) {
    GuiMainItems& items = dialog.items;
    JobLineList* document = items.currentDocument;
    if (!document || (items.flagWord & GuiMainItems::FlagRestoring)) return;
    if (sender == &items.tree) document->treeTopLine = items.tree.TopLine();
    if (sender == &items.view) document->viewTopLine = items.view.TopLine();
}

void StepTab(GuiMainDialog& dialog, bool forward) {
    GuiTabBar& bar = dialog.items.tabBar;
    WinTabBarItemUnit* mark = bar.current;
    if (!mark) return;
    WinTabBarItemUnit* next = forward ? bar.items.Next(mark) : bar.items.Prev(mark);
    if (next) {
        bar.SelectTab(next);
        return;
    }
    if (forward && bar.window) {
        // No tab after the last: the strip scrolls back into range.
        RECT client{};
        GetClientRect(bar.window, &client);
        bar.UpdateGeometry(client);
        InvalidateRect(bar.window, nullptr, FALSE);
    }
}

// Both boxes take the current tab's document where the user left it.
void ShowDocumentIn(GuiMainDialog& dialog) {
    GuiMainItems& items = dialog.items;
    JobLineList* document = items.tabBar.CurrentDocument();
    document->ResetCellWidths();
    items.tree.CloseTip();
    ClampStoredPlaces(*document);
    items.flagWord |= GuiMainItems::FlagRestoring;
    items.currentDocument = document;
    items.currentStyle = document->Style();
    items.view.SetDocument(document);
    items.tree.SetDocument(document);
    SetDocumentPageView(dialog, *document, PageFlag(dialog));
    if (document->treeCursorLine >= 0) items.tree.SetCursor(document->treeCursorLine);
    if (document->viewCursorLine >= 0) items.view.SetCursor(document->viewCursorLine);
    items.tree.SetTopLine(document->treeTopLine);
    items.view.SetTopLine(document->viewTopLine);
    items.flagWord &= static_cast<uint16_t>(~GuiMainItems::FlagRestoring);
    items.tree.Refresh();
    items.view.Refresh();
    dialog.ShowPageButtons(PageFlag(dialog));
}

}  // namespace

void SetDocumentPageView(GuiMainDialog& dialog, JobLineList& document, bool pageView) {
    // The view box sets the style's page mode and lays the document out
    // again, in pages when the style has a page size.
    if (dialog.items.view.Document() == &document) dialog.items.view.SetPageView(pageView);
}

void ShowCurrentDocument(GuiMainDialog& dialog) {
    GuiMainItems& items = dialog.items;
    try {
        ShowDocumentIn(dialog);
        items.flagWord &= static_cast<uint16_t>(~GuiMainItems::FlagShowFailed);
    } catch (const std::bad_alloc&) {
        // The boxes let go of the half-laid-out lines; the opener takes the
        // tab away and tells the user.
        items.view.SetDocument(nullptr);
        items.tree.SetDocument(nullptr);
        items.flagWord = static_cast<uint16_t>((items.flagWord & ~GuiMainItems::FlagRestoring) |
                                               GuiMainItems::FlagShowFailed);
    }
}

void GuiMainDialog::OpenPendingDocuments() {
    // A copy: opening may not change the list it walks.
    const RawLayer::RawStringList pending = DocLayer::JobOptions::Instance().pending;
    for (const RawString& path : pending) {
        // A device's name is no document and never read: the opener says
        // so, as for any document that cannot be read.
        if (RawLayer::IsDevicePath(path) || RawLayer::FileExists(path)) OpenDocumentTab(path);
    }
}

bool GuiMainDialog::OpenDocumentTab(const RawString& path) {
    DocLayer::DocumentLoad read = DocLayer::DocumentLoad::NoMemory;
    try {
        read = items.tabBar.OpenDocument(path);
    } catch (const std::bad_alloc&) {
        // Told below as a document beyond the memory.
    }
    if (read == DocLayer::DocumentLoad::Read && (items.flagWord & GuiMainItems::FlagShowFailed)) {
        read = DocLayer::DocumentLoad::NoMemory;
        items.tabBar.CloseDocumentTab(items.tabBar.CurrentDocumentTab());
    }
    if (read == DocLayer::DocumentLoad::Read) return true;
    // A reload that ran out of memory left its document empty: its tab goes.
    if (read == DocLayer::DocumentLoad::NoMemory) {
        for (WinTabBarItemUnit& item : items.tabBar.items) {
            const JobLineList* document = GuiTabBar::DocumentOf(&item);
            if (document && document != &items.tabBar.EmptyDocument() &&
                document->Style()->documentPath.Equals(path)) {
                items.tabBar.CloseDocumentTab(&item);
                break;
            }
        }
    }
    const RawString section = LookUpViewTextIn(ViewTextSection(), ViewTexts);
    // A document that cannot be read (a reload of a file gone meanwhile)
    // keeps the lines it shows.
    const char* key = read == DocLayer::DocumentLoad::TooLarge     ? "DocumentTooLarge"
                      : read == DocLayer::DocumentLoad::Unreadable ? "DocumentUnreadable"
                                                                   : "DocumentNoMemory";
    const RawString form = LookUpViewText(section, RawString::FromText(key));
    RawString megabytes(RawLayer::KindUtf8);
    megabytes.AppendInt(static_cast<int32_t>(DocLayer::kMostDocumentBytes >> 20));
    RawString text(RawLayer::KindUtf8);
    // "%s" is the path, "%d" the limit in megabytes.
    for (int32_t i = 0; i < form.Length(); ++i) {
        const uint32_t next = i + 1 < form.Length() ? form.UnitAt(i + 1) : 0;
        if (form.UnitAt(i) == '%' && (next == 's' || next == 'd')) {
            text.Append(next == 's' ? path : megabytes);
            ++i;
        } else {
            text.AppendChar(form.UnitAt(i));
        }
    }
    ShowInfoText(*this, text, WinLayer::OkButtonTable());
    return false;
}

void GuiMainDialog::OpenStartDocuments() {
    DocLayer::JobOptions& options = DocLayer::JobOptions::Instance();
    items.page.checked = options.pageView;
    if (items.page.window) InvalidateRect(items.page.window, nullptr, FALSE);
    items.style.Read(options.configPath, items.view.window);
    items.tabBar.OpenDocument(RawString());
    OpenPendingDocuments();
    const int32_t index = options.firstIndex;
    // The view follows the mark; a tab shown already is not shown again.
    if (index >= 0 && index < items.tabBar.Count()) {
        WinTabBarItemUnit* marked = items.tabBar.ItemAtIndex(index);
        if (marked != items.tabBar.CurrentDocumentTab()) items.tabBar.SelectTab(marked);
    }
}

void DispatchMainCommand(GuiMainDialog& dialog, WinLayer::WinView* sender, uint16_t code) {
    GuiMainItems& items = dialog.items;
    switch (code) {
    case CmdShowCurrent:
        if (sender == &items.tree || sender == &items.view) {
            OnCursorMoved(dialog, sender);
        } else {
            ShowCurrentDocument(dialog);
        }
        break;
    case CmdScrolled:
        OnScrolled(dialog, sender);
        break;
    case CmdPageView:
        if (items.currentDocument) SetDocumentPageView(dialog, *items.currentDocument, PageFlag(dialog));
        dialog.ShowPageButtons(PageFlag(dialog));
        break;
    case CmdPrint:
        RunPrintCommand(dialog);
        break;
    case CmdPrintSetup:
        RunPrintSetup(dialog);
        break;
    case CmdMargin:
        RunMarginCommand(dialog);
        break;
    case CmdRestart:
        RestartViewer(dialog, false);
        break;
    case CmdReload:
        ReloadCurrentDocument(dialog);
        break;
    case CmdReboot:
        RestartViewer(dialog, true);
        break;
    case CmdClipToc:
        items.view.ClipTableOfContents();
        break;
    case CmdSearchPrevious:
        items.view.SearchPrevious();
        break;
    case CmdSearch:
        items.view.AskSearch();
        break;
    case CmdSearchNext:
        items.view.SearchNext();
        break;
    case CmdFont:
    case CmdFontSmaller:
    case CmdFontLarger:
    case CmdFontReset:
    case CmdFontSave:
        RunFontCommand(dialog, code);
        break;
    case CmdOpenPending:
        dialog.OpenPendingDocuments();
        break;
    case CmdPreviousTab:
        StepTab(dialog, false);
        break;
    case CmdNextTab:
        StepTab(dialog, true);
        break;
    case CmdCloseTab:
        items.tabBar.CloseDocumentTab(items.tabBar.CurrentDocumentTab());
        break;
    default:
        break;
    }
}

}  // namespace AppLayer

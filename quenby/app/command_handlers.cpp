// Font, reload and restart commands of the main window.
#include "quenby/app/command_handlers.h"

#include "quenby/app/font_commands.h"
#include "quenby/app/restart.h"
#include "quenby/document/document_reader.h"

namespace AppLayer {

namespace {

DocumentStyle* CurrentStyle(GuiMainDialog& dialog) {
    JobLineList* document = dialog.items.currentDocument;
    return document ? document->Style() : dialog.items.currentStyle;
}

DocLayer::StyleFont* CurrentFont(GuiMainDialog& dialog) {
    DocumentStyle* style = CurrentStyle(dialog);
    if (!style) return nullptr;
    return (style->flags & DocumentStyle::FlagPageMode) ? &style->printFont : &style->textFont;
}

// Both boxes measure every line again from their top, keeping the cursor
// in view.
void LayOutBoxesAgain(GuiMainDialog& dialog) {
    GuiMainItems& items = dialog.items;
    if (items.currentDocument) items.currentDocument->ResetCellWidths();
    if (items.currentDocument && items.currentDocument->Style()) items.currentDocument->Style()->UpdateMetrics();
    for (GuiLineListBox* box : {static_cast<GuiLineListBox*>(&items.tree), static_cast<GuiLineListBox*>(&items.view)}) {
        const int32_t top = box->PlaceToKeep();
        box->RefreshNoPaint();
        box->RestorePlace(top);
        if (box->window) InvalidateRect(box->window, nullptr, FALSE);
    }
}

}  // namespace

void RunFontCommand(GuiMainDialog& dialog, uint16_t code) {
    DocLayer::StyleFont* font = CurrentFont(dialog);
    if (!font) return;
    if (code == CmdFontSave) {
        SaveStyleFont(*font);
        return;
    }
    LOGFONTW wanted = font->description;
    switch (code) {
    case CmdFont: {
        // The print font is kept in the printer's pixels.
        const DocumentStyle* style = CurrentStyle(dialog);
        const int32_t perInch =
            style && font == &style->printFont ? DocLayer::PrintPixelsPerInch(style->printImage) : 0;
        if (!ChooseStyleFont(dialog, *font, wanted, perInch)) return;
        break;
    }
    case CmdFontSmaller:
    case CmdFontLarger: {
        int32_t height = 0;
        if (!StepFontHeight(font->description.lfHeight, code == CmdFontLarger ? 1 : -1, height)) return;
        wanted.lfHeight = height;
        break;
    }
    case CmdFontReset:
        wanted = font->defaultDescription;
        break;
    default:
        return;
    }
    if (!ChangeStyleFont(*font, wanted)) return;
    LayOutBoxesAgain(dialog);
}

void ClampStoredPlaces(JobLineList& document) {
    const int32_t count = document.Count();
    auto cursor = [count](int32_t& line) {
        if (line >= count || line < -1) line = -1;
    };
    auto top = [count](int32_t& line) {
        if (line >= count) line = count > 0 ? count - 1 : 0;
        if (line < 0) line = 0;
    };
    cursor(document.viewCursorLine);
    cursor(document.treeCursorLine);
    top(document.viewTopLine);
    top(document.treeTopLine);
}

void ReloadCurrentDocument(GuiMainDialog& dialog) {
    GuiTabBar& bar = dialog.items.tabBar;
    WinTabBarItemUnit* item = bar.CurrentDocumentTab();
    JobLineList* document = GuiTabBar::DocumentOf(item);
    if (!document || document == &bar.EmptyDocument()) return;
    // Read as any opened document (its tab selected again and shown); one
    // that cannot be read whole is told, and one whose file cannot be read
    // keeps the lines shown.
    const RawString path = document->Style()->documentPath;
    dialog.OpenDocumentTab(path);
}

void RestartViewer(GuiMainDialog& dialog, bool minimiseFirst) {
    if (dialog.destroyRequested || !dialog.window) return;
    GuiTabBar& bar = dialog.items.tabBar;
    RawLayer::RawStringList documents;
    int32_t index = 0;
    for (WinTabBarItemUnit& item : bar.items) {
        const JobLineList* document = GuiTabBar::DocumentOf(&item);
        const DocumentStyle* style = document ? document->Style() : nullptr;
        // The built-in empty document has no file to hand over.
        if (!style || document == &bar.EmptyDocument() || style->documentPath.IsEmpty()) continue;
        if (&item == bar.CurrentDocumentTab()) index = documents.Count();
        documents.Add(style->documentPath);
    }
    if (minimiseFirst) ShowWindow(dialog.window, SW_MINIMIZE);
    if (!RestartWithDocuments(dialog.items.page.checked, documents, index)) {
        // Nothing took over: the user keeps this window.
        if (minimiseFirst) ShowWindow(dialog.window, SW_RESTORE);
        return;
    }
    dialog.destroyRequested = true;
    DestroyWindow(dialog.window);
}

}  // namespace AppLayer

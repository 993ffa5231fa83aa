// The strip of open documents under the button bar: one tab per open
// Markdown or text document, or the built-in empty document ("*") when
// nothing else is open. Opens a path into a tab (reloading the tab of a
// document that is open already), labels, selects, moves and closes tabs,
// and takes dropped files.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "base/raw_string.h"
#include "quenby/app/command_codes.h"
#include "quenby/document/document_model.h"
#include "quenby/document/document_style.h"
#include "toolkit/tab_bar.h"

namespace AppLayer {

using DocLayer::DocumentStyle;
using DocLayer::JobFileList;
using DocLayer::JobLineList;
using RawLayer::RawString;
using WinLayer::WinTabBarItemUnit;

// The drop handler of the tab bar, the tree and the view: the pending
// document list becomes the dropped paths in drop order (as UTF-8), the open
// command is posted to the receiving view's owner, and the drop is finished.
// Nothing is tested here; missing files and folders are skipped on opening.
void HandleDroppedFiles(WinLayer::WinView& receiver, HDROP drop);

class GuiTabBar : public WinLayer::WinTabBar {
public:
    GuiTabBar();
    ~GuiTabBar() override;

    // Makes the view the documents' strip over the open-document list and
    // the program style that new documents copy.
    void Construct(JobFileList* openDocuments, const DocumentStyle* programStyle);

    // ---- documents -------------------------------------------------------------
    // Opens a path into a tab after the current one: an open document of the
    // same path is read again, any other is made and read. An empty path
    // shows the built-in empty document. A tab of the empty document that was
    // current goes. A document that cannot be read whole (too large, out of
    // memory) is not added: the tabs stay as they were, except that an open
    // document read again that ran out of memory is left empty.
    DocLayer::DocumentLoad OpenDocument(const RawString& path);
    // Finds or makes (label "*", before `insertBefore`, else at the end) the
    // tab of the document, labels and selects it.
    WinTabBarItemUnit* ShowDocumentTab(WinTabBarItemUnit* insertBefore, JobLineList* document);
    // The document's title, else its file name without folder and extension;
    // an empty one leaves the label.
    void SetTabLabel(WinTabBarItemUnit* item, const JobLineList* document);
    // Closes a tab while a document is open: a neighbour (or a new tab of the
    // empty document) becomes current first, the tab goes with notification
    // 0x1009 and its document is removed from the open documents.
    void CloseDocumentTab(WinTabBarItemUnit* item);

    // The document of the current document tab; the empty one without a tab.
    JobLineList* CurrentDocument() const;
    WinTabBarItemUnit* CurrentDocumentTab() const { return currentDocumentTab_; }
    JobLineList& EmptyDocument() { return emptyDocument_; }
    // The tab bar's document of an item.
    static JobLineList* DocumentOf(const WinTabBarItemUnit* item) {
        return item ? static_cast<JobLineList*>(item->data) : nullptr;
    }

    // ---- the toolkit bar's operations --------------------------------------------
    // Ctrl+W closes the current tab, dropped files are taken.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Current document tab and current mark together; notifies 0x1008.
    void SelectTab(WinTabBarItemUnit* item) override;
    // The close glyph and the remove requests close the document's tab.
    void RemoveTab(WinTabBarItemUnit* item) override;
    // A dragged tab goes before the tab it was dropped on.
    void Drop(int32_t dropEffect, int32_t targetIndex, int32_t sourceIndex) override;

private:
    // The bar's window text is the current tab's label (for tools that read
    // window texts); the bar never draws it.
    void ShowCurrentLabel();

    JobFileList* documents_ = nullptr;
    const DocumentStyle* programStyle_ = nullptr;
    DocumentStyle emptyStyle_;
    JobLineList emptyDocument_;
    WinTabBarItemUnit* currentDocumentTab_ = nullptr;
};

}  // namespace AppLayer

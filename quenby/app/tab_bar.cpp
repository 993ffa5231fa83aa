// The strip of open documents.
#include "quenby/app/tab_bar.h"

#include <memory>

#include "base/api_text.h"
#include "base/profile.h"
#include "quenby/document/document_options.h"
#include "quenby/document/document_reader.h"
#include "toolkit/dialog.h"
#include "toolkit/environment.h"
#include "toolkit/win_message.h"

namespace AppLayer {

using RawLayer::RawRange;

namespace {

RAW_CONSTANT_TEXT(EmptyTabLabel, "*")

// Ctrl+W.
constexpr WPARAM kCloseKey = 'W';
// More than this many dropped names are not read (a drop record is built by
// anyone).
constexpr UINT kMostDroppedFiles = 10000;

}  // namespace

void HandleDroppedFiles(WinLayer::WinView& receiver, HDROP drop) {
    if (!drop) return;
    DocLayer::JobOptions& options = DocLayer::JobOptions::Instance();
    options.pending.Clear();
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT index = 0; index < count && index < kMostDroppedFiles; ++index) {
        RawString path = RawLayer::ApiDragQueryFile(drop, index, RawLayer::KindUtf8);
        if (!path.IsEmpty()) options.pending.Add(path);
    }
    const HWND target = receiver.owner ? receiver.owner->window : receiver.window;
    if (target) {
        PostMessageA(target, WM_COMMAND, MAKEWPARAM(receiver.controlId, CmdOpenPending), 0);
    }
    DragFinish(drop);
}

GuiTabBar::GuiTabBar() : emptyDocument_(&emptyStyle_) {}

GuiTabBar::~GuiTabBar() {
    // The items point at documents that may go before the bar does.
    DetachWindow();
    items.Clear();
    current = nullptr;
    currentDocumentTab_ = nullptr;
}

void GuiTabBar::Construct(JobFileList* openDocuments, const DocumentStyle* programStyle) {
    WinTabBar::Construct();
    exStyle |= WS_EX_ACCEPTFILES;
    // A plain press drags a tab; the strip scrolls with the keys and on
    // selection.
    pansOnPress = false;
    documents_ = openDocuments;
    programStyle_ = programStyle;
}

JobLineList* GuiTabBar::CurrentDocument() const {
    JobLineList* document = DocumentOf(currentDocumentTab_);
    return document ? document : const_cast<JobLineList*>(&emptyDocument_);
}

DocLayer::DocumentLoad GuiTabBar::OpenDocument(const RawString& path) {
    if (path.IsEmpty()) {
        // The empty document reads and saves like any other: it takes the
        // program style as it stands now (read by start-up before this).
        if (programStyle_) emptyStyle_.Assign(*programStyle_);
        ShowDocumentTab(nullptr, &emptyDocument_);
        if (window) InvalidateRect(window, nullptr, FALSE);
        return DocLayer::DocumentLoad::Read;
    }
    WinTabBarItemUnit* previous = currentDocumentTab_;
    const bool previousWasEmpty = previous && previous->data == &emptyDocument_;
    WinTabBarItemUnit* insertBefore = previous ? NextItem(previous) : nullptr;
    JobLineList* document = nullptr;
    if (documents_) {
        for (DocLayer::JobFileUnit& open : *documents_) {
            if (open.style.documentPath.Equals(path)) {
                document = &open;
                break;
            }
        }
        if (document) {
            const DocLayer::DocumentLoad read = DocLayer::LoadDocumentLines(*document);
            if (read != DocLayer::DocumentLoad::Read) return read;
        } else {
            // Joins the open documents only once it is read whole.
            std::unique_ptr<DocLayer::JobFileUnit> made(new DocLayer::JobFileUnit());
            const DocLayer::DocumentLoad read = made->OpenFile(path, programStyle_ ? *programStyle_ : emptyStyle_);
            if (read != DocLayer::DocumentLoad::Read) return read;
            document = made.get();
            documents_->Add(made.get());
            made.release();
        }
    }
    if (!document) return DocLayer::DocumentLoad::Read;
    WinTabBarItemUnit* shown = ShowDocumentTab(insertBefore, document);
    if (previousWasEmpty && previous != shown) CloseDocumentTab(previous);
    if (window) InvalidateRect(window, nullptr, FALSE);
    return DocLayer::DocumentLoad::Read;
}

WinTabBarItemUnit* GuiTabBar::ShowDocumentTab(WinTabBarItemUnit* insertBefore, JobLineList* document) {
    WinTabBarItemUnit* item = FindItemByData(document);
    if (!item) {
        item = AddItem(EmptyTabLabel(), document);
        const int32_t target = insertBefore ? IndexOfItem(insertBefore) : -1;
        if (target >= 0) MoveItem(target, IndexOfItem(item));
    }
    SetTabLabel(item, document);
    SelectTab(item);
    return item;
}

void GuiTabBar::SetTabLabel(WinTabBarItemUnit* item, const JobLineList* document) {
    if (!item || !document) return;
    RawString label = document->title;
    if (label.IsEmpty()) label = RawLayer::RawFileTitle(document->Style()->documentPath);
    if (label.IsEmpty()) return;
    item->text = label;
    // The cached extent follows the new label.
    item->left = item->right = 0;
    if (item == currentDocumentTab_) ShowCurrentLabel();
}

void GuiTabBar::SelectTab(WinTabBarItemUnit* item) {
    if (item && !items.Contains(item)) return;
    currentDocumentTab_ = item;
    WinTabBar::SelectTab(item);
    ShowCurrentLabel();
}

void GuiTabBar::ShowCurrentLabel() {
    const RawString label = currentDocumentTab_ ? currentDocumentTab_->text : RawString();
    if (label.Equals(text)) return;
    SetText(label);
    UpdateWindowText();
}

void GuiTabBar::RemoveTab(WinTabBarItemUnit* item) { CloseDocumentTab(item); }

void GuiTabBar::CloseDocumentTab(WinTabBarItemUnit* item) {
    if (!item || !items.Contains(item) || !documents_ || documents_->Count() == 0) return;
    if (item == currentDocumentTab_) {
        if (Count() >= 2 && SelectNeighbour(item)) {
            SelectTab(current);
        } else {
            ShowDocumentTab(nullptr, &emptyDocument_);
            if (window) InvalidateRect(window, nullptr, FALSE);
        }
    }
    JobLineList* document = DocumentOf(item);
    WinTabBar::RemoveTab(item);
    if (!document || document == &emptyDocument_) return;
    const RawString path = document->Style()->documentPath;
    for (DocLayer::JobFileUnit& open : *documents_) {
        if (open.style.documentPath.Equals(path)) {
            documents_->Remove(&open);
            break;
        }
    }
}

void GuiTabBar::Drop(int32_t, int32_t targetIndex, int32_t sourceIndex) { MoveItem(targetIndex, sourceIndex); }

LRESULT GuiTabBar::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == kCloseKey && WinLayer::KeyHeld(VK_CONTROL)) {
            CloseDocumentTab(currentDocumentTab_);
            return 0;
        }
        break;
    case WM_DROPFILES:
        HandleDroppedFiles(*this, reinterpret_cast<HDROP>(wParam));
        return 0;
    default:
        break;
    }
    return WinTabBar::OnMessage(message, wParam, lParam);
}

}  // namespace AppLayer

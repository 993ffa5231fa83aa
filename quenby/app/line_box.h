// The common base of the page view and the table of contents: a list of a
// document's line records that knows the style sets the passes use, copies
// the selected lines, searches the source lines and builds the context menu.
//
// Search and copy follow what is drawn: the later source lines of a
// hard-wrapped paragraph are zero-high records, so a match in one of them
// moves the cursor to the drawn line that shows it, and copying a drawn line
// copies its joined source lines too.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "quenby/app/line_list_box.h"
#include "quenby/document/document_style.h"
#include "toolkit/environment.h"
#include "toolkit/popup_menu.h"

namespace AppLayer {

using DocLayer::DocumentStyle;
using RawLayer::RawString;

class GuiLineBox : public GuiLineListBox {
public:
    // Context menu ids.
    enum : UINT { MenuCopy = 1, MenuSearch = 2, MenuSearchPrevious = 3, MenuSearchNext = 4, MenuClipToc = 5 };

    GuiLineBox() = default;

    // The main dialog's style set (never null once built).
    DocumentStyle* style = nullptr;
    RawString searchText;

    // The document's own style set; null without a document.
    DocumentStyle* DocumentStyleOf() const;
    // The style set every pass uses.
    DocumentStyle* CurrentStyle() const;

    LRESULT OnMenuCommand(WPARAM command, LPARAM value) override;
    void OnContextMenu(POINT point, int32_t index) override;
    // Builds the menu, shows it at the client point and runs the choice.
    void ShowContextMenu(POINT point);

    virtual void CopySelection();
    // Asks for the search text in the text dialog, then searches onwards.
    virtual void AskSearch();
    virtual void SearchPrevious();
    virtual void SearchNext();
    virtual void ClipTableOfContents() {}
    virtual void BuildContextMenu(WinLayer::WinPopupMenu& menu);

    // The toolkit list's search keys.
    void OnCtrlF() override { AskSearch(); }
    void OnCtrlDOrF3() override { SearchNext(); }
    void OnCtrlSOrShiftF3() override { SearchPrevious(); }

    // The line at an index (null outside the list).
    JobLineUnit* LineAt(int32_t index);
    // The drawn item that shows the source line of a unit at an index: the
    // item itself or the nearest reachable one before it; -1 when none.
    int32_t DrawnIndex(RawLayer::RawListLink* link, int32_t index);
    // Whether the unit's line holds the search text.
    bool Matches(const WinLayer::WinListBoxItemUnit& unit);

protected:
    // Whether a Ctrl key is held (the keyboard state of the current message).
    static bool CtrlDown() { return WinLayer::KeyHeld(VK_CONTROL); }
    // Posts a command of the main window's dispatcher to the owner.
    void PostToOwner(uint16_t code);
    // Appends a menu entry, greyed when not enabled.
    static void AddMenuItem(WinLayer::WinPopupMenu& menu, const char* key, const char* defaultText, UINT id,
                            bool enabled);

private:
    // The search text in one line kind, converted once per kind.
    RawString searchAs_;
};

// The source lines joined into a drawn line after it: the zero-high
// records that follow a paragraph or list item and hold text of their own.
bool IsJoinedSourceLine(const JobLineUnit& drawn, const JobLineUnit& next);

}  // namespace AppLayer

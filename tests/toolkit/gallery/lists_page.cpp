// The "lists" page: a list box with a fixed header, a selection, the cursor
// and the end row; a single-line and a multi-line edit box with a selection
// and the caret; a password box.
#include <windows.h>

#include <string>
#include <vector>

#include "base/raw_string.h"
#include "gallery/gallery.h"
#include "toolkit/dialog.h"
#include "toolkit/edit_box.h"
#include "toolkit/list_box.h"

using namespace WinLayer;
using RawLayer::RawString;

namespace {

constexpr int kMargin = 12;
constexpr int kListWidth = 300;
constexpr int kListHeight = 220;
constexpr int kEditWidth = 320;
constexpr int kLineHeight = 26;
constexpr int kMultiHeight = 90;
constexpr int kRowGap = 12;
constexpr COLORREF kHeaderFill = RGB(0xE8, 0xE8, 0xF0);

// Rows of file names drawn with the list's item colour.
class NameList : public WinListBoxR<std::wstring> {
public:
    void DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit& unit,
                    std::wstring* name) override {
        FillBackground(dc, rect, ItemColor(unit));
        RECT text{rect.left + 4, rect.top, rect.right, rect.bottom};
        SetBkMode(dc.dc, TRANSPARENT);
        DrawTextW(dc.dc, name->c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    void MeasureItemOf(WinDrawContext&, RECT& size, int32_t, WinListBoxItemUnit&, std::wstring*) override {
        size.bottom = size.top + lineStep.cy + 4;
    }
    void DrawHeader(WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit&) override {
        FillBackground(dc, rect, kHeaderFill);
        RECT text{rect.left + 4, rect.top, rect.right, rect.bottom};
        SetBkMode(dc.dc, TRANSPARENT);
        DrawTextW(dc.dc, L"Name", -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    void DrawSpecialItem(WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit& unit) override {
        FillBackground(dc, rect, ItemColor(unit));
        RECT text{rect.left + 4, rect.top, rect.right, rect.bottom};
        SetBkMode(dc.dc, TRANSPARENT);
        SetTextColor(dc.dc, RGB(0x80, 0x80, 0x80));
        DrawTextW(dc.dc, L"(end)", -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
};

class ListsDialog : public WinDialog {
public:
    ListsDialog() {
        className = RawString::FromText("TavrelGalleryLists");
        text = RawString::FromText("Toolkit gallery - lists");
        style = WS_OVERLAPPEDWINDOW;
        rect = RECT{20, 20, 720, 340};
        for (int i = 0; i < 9; ++i) names.push_back(L"document " + std::to_wstring(i) + L".txt");
    }

    void CreateChildren() override {
        list.Construct();
        list.mode |= WinListBoxInfo::ModeMultiple;
        list.rect = RECT{kMargin, kMargin, kMargin + kListWidth, kMargin + kListHeight};
        list.header.rect = RECT{0, 0, 0, 20};
        list.endUnit.rect = RECT{0, 0, 0, 20};
        for (std::wstring& name : names) list.AddItem(&name);
        CreateChild(list);

        const int left = kMargin * 2 + kListWidth;
        int y = kMargin;
        single.Construct();
        single.rect = RECT{left, y, left + kEditWidth, y + kLineHeight};
        single.SetText(RawString::FromWideText(L"C:\\work\\compar\u00E9 notes.txt"));
        CreateChild(single);
        y += kLineHeight + kRowGap;
        multi.Construct();
        multi.options = WinEditBoxBasic::OptionMultiLine;
        multi.rect = RECT{left, y, left + kEditWidth, y + kMultiHeight};
        multi.SetText(RawString::FromWideText(L"First line of the note\r\nsecond line, wrapped when it grows "
                                              L"longer than the box is wide\r\nthird"));
        CreateChild(multi);
        y += kMultiHeight + kRowGap;
        secret.Construct();
        secret.options = WinEditBoxBasic::OptionPassword;
        secret.rect = RECT{left, y, left + kEditWidth, y + kLineHeight};
        secret.SetText(RawString::FromText("password"));
        CreateChild(secret);
    }

    void Arrange() {
        list.Refresh();
        list.MoveCursorTo(3);
        list.MarkRange(3, 5);
        single.SyncDisplayText();
        single.SetSelection(3, 7);
        multi.SyncDisplayText();
        multi.SetSelection(6, 10);
        // The multi-line box shows the focus look: selection, caret, frame.
        SetFocus(multi.window);
        multi.SetSelection(6, 10);
        secret.SyncDisplayText();
    }

    std::vector<std::wstring> names;
    NameList list;
    WinEditBox single;
    WinEditBox multi;
    WinEditBox secret;
};

}  // namespace

int ShowListsPage() {
    ListsDialog dialog;
    dialog.Create();
    if (!dialog.window) return 1;
    dialog.Arrange();
    StartPageTimers();
    dialog.MessageLoop();
    return 0;
}

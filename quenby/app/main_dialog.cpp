// The help viewer's main window: children, rows, placement.
#include "quenby/app/main_dialog.h"

#include <algorithm>

#include "base/language.h"
#include "base/numbered_key.h"
#include "quenby/app/viewer_globals.h"
#include "toolkit/environment.h"
#include "toolkit/layout.h"

namespace AppLayer {

using RawLayer::RawParameterList;
using WinLayer::WinButton;
using WinLayer::WinViewResize;

namespace {

RAW_CONSTANT_TEXT(MainDialogSection, "MainDialog")
RAW_CONSTANT_TEXT(WindowRectKey, "WindowRect")
RAW_CONSTANT_TEXT(DividerPointKey, "DividerPoint")

// The font reset button's icon and the size it is loaded at.
constexpr uint16_t kFontResetIcon = 132;
constexpr int32_t kFontResetIconSize = 128;
// The tree starts this high; tree and view start this wide.
constexpr int32_t kPaneStartHeight = 50;
constexpr int32_t kPaneStartWidth = 100;

// Anchor words of the children and the rows.
constexpr uint16_t kAnchorLeftButtons = 0x1121;
constexpr uint16_t kAnchorRightButtons = 0x1112;
constexpr uint16_t kAnchorStretch = 0x1111;
constexpr uint16_t kAnchorLeftPane = 0x1121;
constexpr uint16_t kAnchorRow = 0x2111;

// One button of the bar, in construction order.
struct ButtonSpec {
    const char* key;      // in "ItemLabels"; null for the icon button
    const char* caption;
    uint32_t face;
    uint16_t code;
};

const ButtonSpec kButtonSpecs[GuiMainItems::kButtonCount] = {
    {"FontSelect", "Font", 3, CmdFont},
    {"FontMinus", " - ", 0, CmdFontSmaller},
    {nullptr, "", 0, CmdFontReset},
    {"FontPlus", " + ", 0, CmdFontLarger},
    {"FontSave", "Save", 12, CmdFontSave},
    {"SearchButton", "Search", 0, CmdSearch},
    {"PrevButton", "<-", 3, CmdSearchPrevious},
    {"NextButton", "->", 12, CmdSearchNext},
    {"ResizeButton", "Resize", 3, CmdPrintSetup},
    {"MarginButton", "Margin", 12, CmdMargin},
    {"TocButton", "ClipTOC", 3, CmdClipToc},
    {"PrintButton", "Print", 12, CmdPrint},
    {"ReloadButton", "Reload", 3, CmdReload},
    {"RebootButton", "Reboot", 12, CmdReboot},
    {"PageButton", "Page", 0x10FF, CmdPageView},
};

// The default captions as a language table of section "ItemLabels".
const RawLayer::RawLocaleRecord kItemLabelTexts[] = {
    {"FontSelect", "Font"},       {"FontMinus", " - "},        {"FontPlus", " + "},
    {"FontSave", "Save"},         {"SearchButton", "Search"},  {"PrevButton", "<-"},
    {"NextButton", "->"},         {"ResizeButton", "Resize"},  {"MarginButton", "Margin"},
    {"TocButton", "ClipTOC"},     {"PrintButton", "Print"},    {"ReloadButton", "Reload"},
    {"RebootButton", "Reboot"},   {"PageButton", "Page"},      {nullptr, nullptr},
};

// The groups left to right, as construction indices; -1 ends a group.
const int32_t kButtonGroups[] = {0, 1, 2, 3, 4, -1, 6, 5, 7, -1, 8, 9, -1, 10, 11, -1, 12, 13, -1, 14, -1};

// The buttons that follow the right edge start here.
constexpr int32_t kFirstRightButton = GuiMainItems::ButtonReload;

void Place(WinViewResize& record, const RECT& rect, const RECT* parent, const RECT& parentNow, uint16_t anchors) {
    record.rect = rect;
    record.parent = parent;
    record.lastParent = parentNow;
    record.anchors = anchors;
}


}  // namespace

// ---- item set ----------------------------------------------------------------------------

GuiMainItems::GuiMainItems()
    : buttons_{&fontSelect, &fontMinus, &fontReset, &fontPlus, &fontSave, &search,    &searchPrevious, &searchNext,
               &resize,     &margin,    &clipToc,   &print,    &reload,   &reboot,    &page} {}

GuiMainItems::~GuiMainItems() { DestroyMainItems(*this); }


void CreateMainItems(GuiMainItems& items, GuiMainDialog& dialog) {
    (void)dialog;
    items.buttonRow.Init();
    items.tabRow.Init();
    items.treeViewArea.Init();
    items.divider.Construct(true, &items.tree, &items.view);
    for (int32_t i = 0; i < GuiMainItems::kButtonCount; ++i) items.Button(i).Construct();
    items.fontReset.LoadIconResource(kFontResetIcon, kFontResetIconSize);
    items.tabBar.Construct(&items.documents, &items.style);
    items.tree.Construct(0);
    // Wide content (tables, unwrapped code) is reached across.
    items.view.Construct(WS_HSCROLL);
    items.view.style = &items.style;
    items.tree.style = &items.style;
    items.currentDocument = &items.tabBar.EmptyDocument();
    items.currentStyle = items.currentDocument->Style();
    items.flagWord = 0;
}

void DestroyMainItems(GuiMainItems& items) {
    // The boxes and the bar let go of the documents before the list goes.
    items.view.SetDocument(nullptr);
    items.tree.SetDocument(nullptr);
    items.currentDocument = nullptr;
    items.currentStyle = nullptr;
}

// ---- the button bar and the rows ----------------------------------------------------------

SIZE BuildButtonBar(GuiMainDialog& dialog) {
    GuiMainItems& items = dialog.items;
    const RawString section = LookUpViewTextIn(ItemLabelsSection(), kItemLabelTexts);
    const int32_t s = GuiGlobals::Instance().margin;
    LONG height = 0;
    for (int32_t i = 0; i < GuiMainItems::kButtonCount; ++i) {
        const ButtonSpec& spec = kButtonSpecs[i];
        WinButton& button = items.Button(i);
        const RawString caption = spec.key ? LookUpViewText(section, RawString::FromText(spec.key)) : RawString();
        button.SetCaption(caption, spec.face, spec.code);
        button.FitToContent();
        height = std::max<LONG>(height, button.fittedHeight);
    }
    // Left to right in groups: the buttons of a group touch, groups stand s
    // apart.
    LONG x = s;
    bool groupOpen = false;
    for (int32_t index : kButtonGroups) {
        if (index < 0) {
            if (groupOpen) x += s;
            groupOpen = false;
            continue;
        }
        WinButton& button = items.Button(index);
        button.rect = RECT{x, s, x + button.fittedWidth, s + height};
        x += button.fittedWidth;
        groupOpen = true;
    }
    const LONG buttonsRight = x - s;

    items.tabBar.SetText(RawString::FromLiteral("*"));
    items.tabBar.FitToContent();
    items.tabBar.ClearText();
    const LONG tabHeight = std::max<LONG>(items.tabBar.fittedHeight, height);
    const LONG divider = GuiMainDialog::DividerWidth();
    const LONG rowWidth = std::max<LONG>(buttonsRight - s, 2 * kPaneStartWidth + divider);
    const LONG right = s + rowWidth;
    const RECT buttonRow{s, s, right, s + height};
    const RECT tabRow{s, buttonRow.bottom + s, right, buttonRow.bottom + s + tabHeight};
    const RECT area{s, tabRow.bottom + s, right, tabRow.bottom + s + kPaneStartHeight};
    const SIZE least{right + s, area.bottom + s};
    const RECT client{0, 0, least.cx, least.cy};

    Place(items.buttonRow, buttonRow, &dialog.anchor.rect, client, kAnchorRow);
    Place(items.tabRow, tabRow, &dialog.anchor.rect, client, kAnchorRow);
    Place(items.treeViewArea, area, &dialog.anchor.rect, client, kAnchorStretch);
    items.treeViewArea.minimum = RECT{0, 0, rowWidth, kPaneStartHeight};
    for (int32_t i = 0; i < GuiMainItems::kButtonCount; ++i) {
        WinButton& button = items.Button(i);
        Place(button, button.rect, &items.buttonRow.rect, buttonRow,
              i >= kFirstRightButton ? kAnchorRightButtons : kAnchorLeftButtons);
    }
    Place(items.tabBar, tabRow, &items.tabRow.rect, tabRow, kAnchorStretch);
    const RECT treeRect{area.left, area.top, area.left + kPaneStartWidth, area.bottom};
    const RECT dividerRect{treeRect.right, area.top, treeRect.right + divider, area.bottom};
    const RECT viewRect{dividerRect.right, area.top, area.right, area.bottom};
    Place(items.tree, treeRect, &items.treeViewArea.rect, area, kAnchorLeftPane);
    Place(items.divider, dividerRect, &items.treeViewArea.rect, area, kAnchorLeftPane);
    Place(items.view, viewRect, &items.treeViewArea.rect, area, kAnchorStretch);
    const RECT paneLeast{0, 0, GuiMainDialog::kPaneLeastWidth, GuiMainDialog::kPaneLeastHeight};
    items.tree.minimum = paneLeast;
    items.view.minimum = paneLeast;
    return least;
}

void SetUpMainDialog(GuiMainDialog& dialog) {
    const SIZE least = BuildButtonBar(dialog);
    dialog.SetText(ProgramNameString());
    dialog.style |= WS_OVERLAPPEDWINDOW;
    dialog.anchor.minimum = RECT{0, 0, least.cx, least.cy};
    RECT frame{0, 0, least.cx, least.cy};
    AdjustWindowRectEx(&frame, dialog.style, FALSE, dialog.exStyle);
    const LONG w = frame.right - frame.left, h = frame.bottom - frame.top;
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    // The first start: twice the least width, three times the least height.
    RECT start{0, 0, 2 * w, 3 * h};
    bool stored = false;
    RawParameterList section;
    if (section.ReadSection(GuiProfileParameters(), MainDialogSection())) {
        RECT saved{0, 0, w, h};
        RawLayer::NumberedKeyName key(WindowRectKey());
        const bool anyKey = section.Contains(key.ForText("L")) || section.Contains(key.ForText("T")) ||
                            section.Contains(key.ForText("R")) || section.Contains(key.ForText("B"));
        if (anyKey && WinLayer::WinWindowRect::Read(saved, WindowRectKey(), section)) {
            WinLayer::WinWindowRect::KeepOnScreen(saved);
            start = saved;
            stored = true;
        }
    }
    // A rectangle larger than the work area is shrunk to it and centred, so
    // the title bar is never above the screen.
    const LONG workW = work.right - work.left, workH = work.bottom - work.top;
    const bool tooLarge = (start.right - start.left) > workW || (start.bottom - start.top) > workH;
    if (!stored || tooLarge) {
        const LONG fitW = std::min(start.right - start.left, workW);
        const LONG fitH = std::min(start.bottom - start.top, workH);
        start = WinLayer::PlaceRectOnWorkArea(RECT{0, 0, fitW, fitH}, work, work);
    }
    dialog.rect = start;
}

// ---- dialog --------------------------------------------------------------------------------

int32_t GuiMainDialog::DividerWidth() {
    static const int32_t width = GetSystemMetrics(SM_CXVSCROLL) + 4;
    return width;
}

GuiMainDialog::GuiMainDialog() : titleMenu(*this) {
    hooks.AddHook(&titleMenu);
    CreateMainItems(items, *this);
}

GuiMainDialog::~GuiMainDialog() {
    // The window goes while the children and the hook still exist.
    if (window) DestroyWindow(window);
    hooks.RemoveHook(&titleMenu);
}

void GuiMainDialog::CreateChildren() {
    for (int32_t i = 0; i < GuiMainItems::kButtonCount; ++i) CreateChild(items.Button(i));
    CreateChild(items.divider);
    CreateChild(items.tabBar);
    CreateChild(items.tree);
    CreateChild(items.view);
}

LRESULT GuiMainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) || (message == WM_ACTIVATEAPP && !wParam)) {
        items.tree.CloseTip();
    }
    return WinDialog::OnMessage(message, wParam, lParam);
}

LRESULT GuiMainDialog::OnCommand(uint16_t code) {
    DispatchMainCommand(*this, nullptr, code);
    return 0;
}

void GuiMainDialog::OnCreated() {
    if (window) OpenStartDocuments();
}

LRESULT GuiMainDialog::OnChildCommand(WinLayer::WinView* sender, uint16_t code) {
    if (code == CmdToolkit) return 0;
    if (code == WinLayer::WinNotify::SelectionChanged) code = CmdShowCurrent;
    if (code == WinLayer::WinNotify::ScrollChanged) code = CmdScrolled;
    DispatchMainCommand(*this, sender, code);
    return 0;
}

bool GuiMainDialog::OnMinMaxSize(SIZE& shrink, SIZE&) {
    // The area can give up what the view has above its least size.
    const LONG spareX = items.view.Width() - items.view.minimum.right;
    const LONG spareY = items.treeViewArea.Height() - items.treeViewArea.minimum.bottom;
    shrink.cx = std::max<LONG>(0, std::min<LONG>(shrink.cx, spareX));
    shrink.cy = std::max<LONG>(0, std::min<LONG>(shrink.cy, spareY));
    // Never a least size beyond the work area.
    RECT work{};
    if (window && SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        shrink.cx = std::max<LONG>(shrink.cx, Width() - (work.right - work.left));
        shrink.cy = std::max<LONG>(shrink.cy, Height() - (work.bottom - work.top));
    }
    return true;
}

void GuiMainDialog::OnLayout() {
    items.buttonRow.Relayout();
    items.tabRow.Relayout();
    items.treeViewArea.Relayout();
    WinDialog::OnLayout();
}

void GuiMainDialog::SavePlacement(int32_t stateLeft, int32_t stateEntered) {
    if (stateEntered == ShowDestroying) {
        SaveWindowPlacement();
    } else if (stateLeft == ShowFirstSizing) {
        RestoreDivider();
    }
}

void GuiMainDialog::OnDestroying() { result = 0; }

void GuiMainDialog::SaveWindowPlacement() {
    if (!window) return;
    RECT placed{};
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if ((IsIconic(window) || IsZoomed(window)) && GetWindowPlacement(window, &placement)) {
        // The restored rectangle is kept in work-area coordinates.
        placed = placement.rcNormalPosition;
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
            OffsetRect(&placed, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
        }
    } else {
        GetWindowRect(window, &placed);
    }
    RawParameterList section;
    RawLayer::ProfileFileRef& profile = GuiProfileParameters();
    section.ReadSection(profile, MainDialogSection());
    WinLayer::WinWindowRect::Write(placed, WindowRectKey(), section);
    RawLayer::NumberedKeyName key(DividerPointKey());
    section.SetInt(key.ForText("X"), items.divider.rect.left);
    section.SetInt(key.ForText("Y"), items.divider.rect.top);
    section.WriteSection(profile, MainDialogSection());
}

void GuiMainDialog::RestoreDivider() {
    RawParameterList section;
    if (!section.ReadSection(GuiProfileParameters(), MainDialogSection())) return;
    RawLayer::NumberedKeyName key(DividerPointKey());
    const int32_t x = section.GetInt(key.ForText("X"), 0);
    const int32_t y = section.GetInt(key.ForText("Y"), 0);
    if (x == 0 && y == 0) return;
    MoveDividerTo(x);
}

void GuiMainDialog::MoveDividerTo(int32_t left) {
    WinLayer::WinDivider& divider = items.divider;
    const LONG low = items.tree.rect.left + kPaneLeastWidth;
    const LONG high = std::max(low, items.view.rect.right - kPaneLeastWidth - divider.Width());
    const LONG offset = DocLayer::ClampInt(left, low, high) - divider.rect.left;
    if (offset == 0) return;
    OffsetRect(&divider.rect, offset, 0);
    divider.startRect = divider.rect;
    items.tree.rect.right += offset;
    items.view.rect.left += offset;
    for (WinLayer::WinView* pane : {static_cast<WinLayer::WinView*>(&items.tree),
                                    static_cast<WinLayer::WinView*>(&divider),
                                    static_cast<WinLayer::WinView*>(&items.view)}) {
        if (pane->window) MoveWindow(pane->window, pane->rect.left, pane->rect.top, pane->Width(), pane->Height(), TRUE);
    }
}

void GuiMainDialog::ShowPageButtons(bool shown) {
    for (int32_t index : {GuiMainItems::ButtonResize, GuiMainItems::ButtonMargin, GuiMainItems::ButtonClipToc,
                          GuiMainItems::ButtonPrint}) {
        WinButton& button = items.Button(index);
        if (button.window) ShowWindow(button.window, shown ? SW_SHOWNA : SW_HIDE);
    }
}

}  // namespace AppLayer

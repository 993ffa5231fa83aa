// The command bar: button table, captions, the row and the three areas.
#include "tavrel/app/command_bar.h"

#include <algorithm>

#include "base/language.h"
#include "tavrel/app/command_codes.h"
#include "toolkit/environment.h"

namespace AppLayer {

using RawLayer::RawLocaleRecord;
using RawLayer::RawString;
using WinLayer::WinViewResize;

namespace {

// The least width of the view area, and the folder box's first height.
constexpr LONG kMinViewWidth = 640;
constexpr LONG kFolderBoxHeight = 320;
// Status lines shown at first.
constexpr LONG kStatusLines = 4;

struct ButtonRecord {
    const char* name;
    uint16_t code;
    uint32_t frame;
    uint16_t anchors;
};

// Frame flags: first, last or alone in a joined group (push buttons 3, 12,
// 15; toggles 0x10D3, 0x10EC, 0x10FF, a middle toggle 0x10C0).
constexpr ButtonRecord kButtons[kButtonCount] = {
    {"ReloadTab", CmdReloadTab, 3, 0x2121},       {"ReloadAll", CmdReloadAll, 12, 0x2121},
    {"Copy1to2", CmdCopy1to2, 3, 0x2121},         {"Copy2to1", CmdCopy2to1, 12, 0x2121},
    {"DeleteLine1", CmdDeleteLine1, 3, 0x2121},   {"DeleteLine2", CmdDeleteLine2, 12, 0x2121},
    {"SaveFile", CmdSaveFile, 3, 0x2121},         {"OpenBackup", CmdOpenBackup, 12, 0x2121},
    {"OpenConfig", CmdOpenConfig, 15, 0x2121},    {"SavePairs", CmdSavePairs, 15, 0x2121},
    {"Editable1", CmdEditable1, 0x10D3, 0x2112},  {"Editable2", CmdEditable2, 0x10EC, 0x2112},
    {"Simple", CmdSimple, 0x10FF, 0x2112},        {"Same", CmdFilter, 0x10D3, 0x2112},
    {"Different", CmdFilter, 0x10C0, 0x2112},     {"Only1", CmdFilter, 0x10C0, 0x2112},
    {"Only2", CmdFilter, 0x10EC, 0x2112},
};

// A gap of the window environment's spacing follows these buttons.
bool GapAfter(int32_t index) {
    switch (index) {
    case BtnReloadAll:
    case BtnCopy2to1:
    case BtnDeleteLine2:
    case BtnOpenBackup:
    case BtnOpenConfig:
    case BtnSavePairs:
    case BtnEditable2:
    case BtnSimple:
        return true;
    default:
        return false;
    }
}

// The English captions, section "Button". "Edit1" and "Edit2" name no
// button: "Editable1" and "Editable2" show their own names.
const RawLocaleRecord* ButtonTexts() {
    static const RawLocaleRecord table[] = {
        {"ReloadTab", "Reload\\nTab"},
        {"ReloadAll", "All"},
        {"Copy1to2", "Copy\\n-->"},
        {"Copy2to1", "Copy\\n<--"},
        {"DeleteLine1", "Delete\\nLine:1"},
        {"DeleteLine2", "Delete\\nLine:2"},
        {"SaveFile", "Save\\nFile"},
        {"OpenBackup", "Open\\nBackup"},
        {"OpenConfig", "Open\\nConfig"},
        {"SavePairs", "Save\\nPairs"},
        {"Edit1", "Edit1"},
        {"Edit2", "Edit2"},
        {"Simple", "Simple"},
        {"Same", "Same"},
        {"Different", "Different"},
        {"Only1", "Only1"},
        {"Only2", "Only2"},
        {"", ""},
    };
    return table;
}

RAW_CONSTANT_TEXT(ButtonSectionText, "Button")

void Place(WinLayer::WinView& view, const RECT& rect, uint16_t anchors, const WinViewResize& parent) {
    view.rect = rect;
    view.anchors = anchors;
    view.Follow(&parent.rect);
}

void PlaceRecord(WinViewResize& record, const RECT& rect, uint16_t anchors, const WinViewResize& parent) {
    record.rect = rect;
    record.anchors = anchors;
    record.Follow(&parent.rect);
}

// Captions from the language table, each button fitted to its caption.
void SetCaptions(GuiViewSet& views) {
    const RawString section = RawLayer::LanguageTable::Lookup(ButtonSectionText(), ButtonTexts());
    for (int32_t i = 0; i < kButtonCount; ++i) {
        GuiButton& button = views.buttons[i];
        const RawString name = RawString::FromText(kButtons[i].name);
        button.SetCaption(RawLayer::LanguageTable::Text(section, name), kButtons[i].frame, kButtons[i].code);
        button.FitToContent();
    }
}

}  // namespace

void GuiButton::SetStateEnabled(bool on) {
    stateEnabled = on;
    ApplyEnabled();
}

void GuiButton::SetOwnEnabled(bool on) {
    ownEnabled = on;
    ApplyEnabled();
}

void GuiButton::ApplyEnabled() {
    if (window) EnableWindow(window, (stateEnabled && ownEnabled) ? TRUE : FALSE);
}

RECT MainCommandButtons(GuiViewSet& views) {
    SetCaptions(views);
    const LONG g = WinLayer::WinEnvironment::Instance().margin;
    WinViewResize* anchors = views.anchors;

    // Area 1: the button row, every button as high as "ReloadTab".
    const LONG buttonHeight = views.buttons[BtnReloadTab].fittedHeight;
    LONG x = 0;
    LONG rowLeft[kButtonCount] = {};
    for (int32_t i = 0; i < kButtonCount; ++i) {
        rowLeft[i] = x;
        x += views.buttons[i].fittedWidth;
        if (GapAfter(i)) x += g;
    }
    const LONG rowWidth = rowLeft[BtnOnly2] + views.buttons[BtnOnly2].fittedWidth;
    const LONG width = std::max(rowWidth, kMinViewWidth);

    // Area 2: tab bar; folder box with the position bar at its right and the
    // twin scroll bar under it; the two detail boxes.
    views.tabBar.FitToContent();
    views.detail1.FitToContent();
    views.detail2.FitToContent();
    const LONG tabHeight = views.tabBar.fittedHeight;
    const LONG barThickness = GetSystemMetrics(SM_CYVSCROLL);
    const LONG twinHeight = GetSystemMetrics(SM_CYHSCROLL);
    const LONG detailHeight = views.detail1.fittedHeight;
    const LONG top2 = g + buttonHeight + g;
    const LONG folderTop = top2 + tabHeight;
    const LONG folderBottom = folderTop + kFolderBoxHeight;
    const LONG detailTop = folderBottom + twinHeight;
    const LONG bottom2 = detailTop + 2 * detailHeight;

    // Area 3: the status lines, the divider in the gap above them.
    views.statusBox.FitToContent();
    const LONG top3 = bottom2 + g;
    const LONG bottom3 = top3 + kStatusLines * std::max<LONG>(views.statusBox.fittedHeight, 1);

    const LONG left = g, right = g + width;
    anchors[AnchorButtonArea].rect = RECT{left, g, right, g + buttonHeight};
    anchors[AnchorViewArea].rect = RECT{left, top2, right, bottom2};
    anchors[AnchorStatusArea].rect = RECT{left, top3, right, bottom3};
    const WinViewResize& area1 = anchors[AnchorButtonArea];
    const WinViewResize& area2 = anchors[AnchorViewArea];

    const LONG pushRight = rowLeft[BtnSavePairs] + views.buttons[BtnSavePairs].fittedWidth;
    const LONG toggleShift = width - rowWidth;  // toggles keep to the right edge
    PlaceRecord(anchors[AnchorPushGroup], RECT{left, g, left + pushRight, g + buttonHeight}, 0x2121, area1);
    PlaceRecord(anchors[AnchorToggleGroup],
                RECT{left + rowLeft[BtnEditable1] + toggleShift, g, right, g + buttonHeight}, 0x2112, area1);
    for (int32_t i = 0; i < kButtonCount; ++i) {
        const LONG shift = i >= kPushButtonCount ? toggleShift : 0;
        const LONG bx = left + rowLeft[i] + shift;
        Place(views.buttons[i], RECT{bx, g, bx + views.buttons[i].fittedWidth, g + buttonHeight},
              kButtons[i].anchors, area1);
    }

    PlaceRecord(anchors[AnchorTabRow], RECT{left, top2, right, folderTop}, 0x2111, area2);
    PlaceRecord(anchors[AnchorFolderArea], RECT{left, folderTop, right, detailTop}, 0x1111, area2);
    PlaceRecord(anchors[AnchorDetailArea], RECT{left, detailTop, right, bottom2}, 0x1211, area2);
    const WinViewResize& folderArea = anchors[AnchorFolderArea];
    const WinViewResize& detailArea = anchors[AnchorDetailArea];
    Place(views.tabBar, RECT{left, top2, right, folderTop}, 0x1111, anchors[AnchorTabRow]);
    Place(views.folderBox, RECT{left, folderTop, right - barThickness, folderBottom}, 0x1111, folderArea);
    Place(views.twinBar, RECT{left, folderBottom, right - barThickness, detailTop}, 0x1211, folderArea);
    Place(views.positionBar, RECT{right - barThickness, folderTop, right, detailTop}, 0x1112, folderArea);
    Place(views.detail1, RECT{left, detailTop, right, detailTop + detailHeight}, 0x2111, detailArea);
    Place(views.detail2, RECT{left, detailTop + detailHeight, right, bottom2}, 0x2111, detailArea);
    Place(views.divider, RECT{left, bottom2, right, top3}, 0x1211, area2);
    Place(views.statusBox, RECT{left, top3, right, bottom3}, 0x1111, anchors[AnchorStatusArea]);
    return RECT{0, 0, width + g, bottom3 + g};
}

void UpdateButtonVisibility(GuiButton& button, LONG limitX) {
    if (button.window) ShowWindow(button.window, button.rect.left < limitX ? SW_SHOWNA : SW_HIDE);
    button.SetOwnEnabled(button.rect.right <= limitX);
}

}  // namespace AppLayer

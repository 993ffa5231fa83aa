// The view set of the main window: every child view with the anchor records
// that group them for the layout. The children are members, created in a
// fixed order and numbered from 2500 by the dialog.
#pragma once

#include <windows.h>

#include <cstdint>

#include "tavrel/app/detail_box.h"
#include "tavrel/app/folder_box.h"
#include "tavrel/app/status_box.h"
#include "tavrel/app/strip_view.h"
#include "tavrel/app/tab_bar.h"
#include "toolkit/button.h"
#include "toolkit/divider.h"

namespace AppLayer {

// The command buttons in row order.
enum ButtonIndex : int32_t {
    BtnReloadTab,
    BtnReloadAll,
    BtnCopy1to2,
    BtnCopy2to1,
    BtnDeleteLine1,
    BtnDeleteLine2,
    BtnSaveFile,
    BtnOpenBackup,
    BtnOpenConfig,
    BtnSavePairs,
    BtnEditable1,
    BtnEditable2,
    BtnSimple,
    BtnSame,
    BtnDifferent,
    BtnOnly1,
    BtnOnly2,
    kButtonCount,
    // The push buttons come first; the rest toggle.
    kPushButtonCount = BtnEditable1,
};

// A command button: its window is enabled when both its state (what the
// current job allows) and its own flag (whether it fits the row) agree.
class GuiButton : public WinLayer::WinButton {
public:
    void SetStateEnabled(bool on);
    void SetOwnEnabled(bool on);

    bool stateEnabled = true;
    bool ownEnabled = true;

private:
    void ApplyEnabled();
};

// The anchor records, each a group of children that moves as one.
enum AnchorIndex : int32_t {
    AnchorButtonArea,   // the command bar, along the top
    AnchorViewArea,     // tabs, folder box and details, taking the growth
    AnchorStatusArea,   // the status box, along the bottom
    AnchorPushGroup,    // the push buttons, at the left
    AnchorToggleGroup,  // the toggle buttons, at the right; the least width
    AnchorTabRow,       // the tab bar
    AnchorFolderArea,   // folder box, twin scroll bar and position bar
    AnchorDetailArea,   // the two detail boxes
    kAnchorCount,
};

struct GuiViewSet {
    // Constructs every child view and its texts; no window yet.
    GuiViewSet();
    GuiViewSet(const GuiViewSet&) = delete;
    GuiViewSet& operator=(const GuiViewSet&) = delete;

    // The four result-filter buttons, in the order Same, Different, Only1,
    // Only2.
    GuiButton& FilterButton(int32_t index) { return buttons[BtnSame + index]; }

    WinLayer::WinViewResize anchors[kAnchorCount];
    GuiTabBar tabBar;
    GuiTwinScrollBar twinBar;
    GuiFolderBox folderBox;
    GuiPositionBar positionBar;
    GuiButton buttons[kButtonCount];
    GuiDetailBox detail1;
    GuiDetailBox detail2;
    DetailBoxPair detailPair;
    // The row whose details an edit's refresh just showed: the cursor
    // notice of the same edit need not show them again (cleared by the
    // next display of details and at the end of the edit's cursor move).
    const JobLayer::JobReportUnit* freshDetailsRow = nullptr;
    WinLayer::WinDivider divider;
    GuiStatusBox statusBox;
};

}  // namespace AppLayer

// The command codes of the main window: the high word of a WM_COMMAND that
// a button, key action, menu item or view sends (the low word is the
// sender's control id). Codes that come in pairs name side 1 first.
#pragma once

#include <cstdint>

namespace AppLayer {

enum MainCommandCode : uint16_t {
    CmdRestart = 4352,
    CmdWindowFont = 4353,
    CmdPathViewFont = 4354,
    CmdTextViewFont = 4355,
    CmdBinaryViewFont = 4356,
    CmdRefreshButtons = 4357,
    CmdTabMenu = 4358,
    CmdListMenu = 4359,
    CmdViewHelp = 4360,
    CmdFolderBoxNotice = 4361,
    CmdCentreCursor = 4362,
    CmdTwinBarNotice = 4363,
    CmdDrawNotice = 4364,
    CmdFocusFolderBox = 4365,
    CmdReloadTab = 4366,
    CmdReloadAll = 4367,
    CmdReloadSide1 = 4368,
    CmdReloadSide2 = 4369,
    CmdDragConnect1 = 4370,
    CmdDragConnect2 = 4371,
    CmdDragFloat1 = 4372,
    CmdDragFloat2 = 4373,
    CmdDisconnect = 4374,
    CmdRecompare = 4375,
    CmdCopy1to2 = 4376,
    CmdCopy2to1 = 4377,
    CmdDeleteLine1 = 4378,
    CmdDeleteLine2 = 4379,
    CmdSaveFile = 4380,
    CmdSaveSide1 = 4381,
    CmdSaveSide2 = 4382,
    CmdClipLoad1 = 4383,
    CmdClipLoad2 = 4384,
    CmdPrevDifferent = 4385,
    CmdNextDifferent = 4386,
    CmdOpenBackup = 4387,
    CmdOpenConfig = 4388,
    CmdSavePairs = 4389,
    CmdOpenStartSource = 4390,
    CmdClipTab = 4391,
    CmdOpenClipPaths = 4392,
    CmdLoadClipSide1 = 4393,
    CmdLoadClipSide2 = 4394,
    CmdDeleteTab = 4395,
    CmdNewDialog = 4396,
    CmdOpenChildTab = 4397,
    CmdOpenParentTab = 4398,
    CmdEditable1 = 4399,
    CmdEditable2 = 4400,
    CmdShowEditable = 4401,
    CmdSimple = 4402,
    CmdFilter = 4403,
    CmdShowStatus = 4404,
    // The folder box shows its view font in another size: the detail boxes
    // take the same one.
    CmdViewFontFitted = 4405,
};

// Toolkit notifications the main window reacts to.
enum : uint16_t {
    NotifyIgnored = 4100,
    NotifySelectionChanged = 4104,
    NotifyItemRemoved = 4105,
    NotifyNewTabArea = 4107,
};

// The help item of the title menu.
constexpr uint16_t kHelpMenuItem = 4109;

}  // namespace AppLayer

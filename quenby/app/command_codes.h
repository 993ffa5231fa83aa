// The command codes of the help viewer's main window: the high word of a
// WM_COMMAND that reaches the main dispatcher.
#pragma once

#include <cstdint>

namespace AppLayer {

enum MainCommand : uint16_t {
    CmdToolkit = 4100,
    CmdShowCurrent = 4104,
    CmdScrolled = 4106,
    CmdRestart = 4353,
    // 4354 is the title menu's window-font code (GuiTMenuExecution), which
    // no command here takes.
    CmdReload = 4355,
    CmdReboot = 4356,
    CmdPageView = 4357,
    CmdPrint = 4358,
    CmdPrintSetup = 4359,
    CmdMargin = 4360,
    CmdClipToc = 4361,
    CmdSearchPrevious = 4362,
    CmdSearch = 4363,
    CmdSearchNext = 4364,
    CmdFont = 4365,
    CmdFontSmaller = 4366,
    CmdFontLarger = 4367,
    CmdFontReset = 4368,
    CmdFontSave = 4369,
    CmdOpenPending = 4370,
    CmdPreviousTab = 4371,
    CmdNextTab = 4372,
    CmdCloseTab = 4373,
};

}  // namespace AppLayer

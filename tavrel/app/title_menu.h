// The title-menu hook of the main window. Its entries (version, help,
// language, fonts) come with the title menu's own work; until then the hook
// adds nothing and the system menu keeps its own entries.
#pragma once

#include "toolkit/title_menu.h"

namespace AppLayer {

class GuiTMenuExecution : public WinLayer::WinTMenuExecution {
public:
    explicit GuiTMenuExecution(WinLayer::WinView& mainDialog) : WinTMenuExecution(mainDialog) {}
    void BuildMenu(HMENU menu) override;
    void InitMenu(HMENU menu) override;
    void Execute(WPARAM command) override;
};

}  // namespace AppLayer

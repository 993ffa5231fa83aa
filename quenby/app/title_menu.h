// The help viewer's title (system) menu hook.
#pragma once

#include <windows.h>

#include "toolkit/title_menu.h"

namespace AppLayer {

class GuiTMenuExecution : public WinLayer::WinTMenuExecution {
public:
    explicit GuiTMenuExecution(WinLayer::WinView& servedView) : WinTMenuExecution(servedView) {}
    void BuildMenu(HMENU menu) override;
    void InitMenu(HMENU menu) override;
    void Execute(WPARAM command) override;
};

}  // namespace AppLayer

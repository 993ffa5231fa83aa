// The help viewer's title menu hook: the system menu as the system makes it.
#include "quenby/app/title_menu.h"

namespace AppLayer {

void GuiTMenuExecution::BuildMenu(HMENU) {}
void GuiTMenuExecution::InitMenu(HMENU) {}
void GuiTMenuExecution::Execute(WPARAM) {}

}  // namespace AppLayer

// The title-menu hook of the main window.
#include "tavrel/app/title_menu.h"

namespace AppLayer {

void GuiTMenuExecution::BuildMenu(HMENU) {}
void GuiTMenuExecution::InitMenu(HMENU) {}
void GuiTMenuExecution::Execute(WPARAM) {}

}  // namespace AppLayer

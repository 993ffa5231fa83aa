// The margin dialog of the page view and the print run.
#include "quenby/app/main_dialog.h"

namespace AppLayer {

void RunMarginCommand(GuiMainDialog& dialog) { (void)dialog; }

}  // namespace AppLayer

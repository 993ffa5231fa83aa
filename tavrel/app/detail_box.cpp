// The detail boxes.
#include "tavrel/app/detail_box.h"

namespace AppLayer {

void GuiDetailBox::Construct() {
    WinEditBox::Construct();
    options = static_cast<uint16_t>(options | OptionReadOnly);
}

}  // namespace AppLayer

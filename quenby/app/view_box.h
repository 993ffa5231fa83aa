// The page view: the current document's lines.
#pragma once

#include "quenby/app/line_list_box.h"

namespace AppLayer {

class GuiViewBox : public GuiLineListBox {};

}  // namespace AppLayer

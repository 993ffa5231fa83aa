// The detail boxes under the folder box, one per side: read-only edit boxes
// that show the current row of the current job. The pair record holds both
// boxes and the line height the main window lays them out by.
#pragma once

#include <cstdint>

#include "toolkit/edit_box.h"

namespace AppLayer {

class GuiDetailBox : public WinLayer::WinEditBox {
public:
    // A read-only, single-line edit box.
    void Construct();
};

struct DetailBoxPair {
    GuiDetailBox* box1 = nullptr;
    GuiDetailBox* box2 = nullptr;
    // The height of one detail line; the main window moves its children by
    // the change of it.
    int32_t lineHeight = 0;
};

}  // namespace AppLayer

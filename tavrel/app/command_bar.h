// The command bar and the initial arrangement of the main window: the
// seventeen buttons with their captions (language section "Button"), the
// row they form, and the three stacked areas (buttons; tabs, folder box and
// details; status lines).
#pragma once

#include <windows.h>

#include <cstdint>

#include "tavrel/app/view_set.h"

namespace AppLayer {

// Sets every caption, lays the three areas out (each child's rectangle and
// anchors, each anchor record) and returns the whole client area
// (0, 0, width, height).
RECT MainCommandButtons(GuiViewSet& views);
// Shows a push button while its left edge lies left of the limit, and
// enables it (its own flag) only while it ends at or before the limit.
void UpdateButtonVisibility(GuiButton& button, LONG limitX);

}  // namespace AppLayer

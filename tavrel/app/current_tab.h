// Showing the current tab's job in the views, and the check states of the
// command buttons that mirror the job's pair options.
#pragma once

#include <cstdint>

#include "tavrel/app/view_set.h"

namespace AppLayer {

// The folder box shows the current tab's job; the buttons follow it.
void ShowCurrentTab(GuiViewSet& views);
// Rebuilds the folder box's rows from its job and repaints the strips.
void RefreshAfterJobChange(GuiViewSet& views);
// "Editable1"/"Editable2" from the current job's editable flags (both off
// without a job), "Simple" from its Simple byte.
void ShowEditableStates(GuiViewSet& views);
void ShowSimpleState(GuiViewSet& views);
// The four filter buttons from the job's filter word (15 without a job).
void ShowFilterStates(GuiViewSet& views);
// Stores a filter word in the current job and shows the rows it lets
// through.
void SetFilterWord(GuiViewSet& views, uint16_t word);
// The filter word of the four filter buttons' check states.
uint16_t FilterWordOfButtons(GuiViewSet& views);
// Checks or clears a toggle button and repaints it.
void SetButtonChecked(GuiButton& button, bool on);

}  // namespace AppLayer

// Showing the current tab's job in the views, the thin commands that run
// one kind operation on it under the wait cursor, and the check states of
// the command buttons that mirror the job's pair options.
#pragma once

#include <cstdint>

#include "tavrel/app/view_set.h"
#include "tavrel/jobs/job_kind_control.h"

namespace AppLayer {

// The wait cursor while a long job operation runs, the arrow after it; both
// loaded once.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Brings the folder box and the buttons in line with the current tab; the
// jobs closed meanwhile are destroyed once no view shows them.
void ShowCurrentTab(GuiViewSet& views);
// Rebuilds the folder box's rows from its job (keeping its scroll) and
// repaints the strips; the sides are measured again unless `measure` is
// false and the box measured them before.
void RefreshAfterJobChange(GuiViewSet& views, bool measure = true);
// The detail boxes from the cursor row (they draw details later).
void ShowCursorRowDetails(GuiViewSet& views);
// Moves the folder box, the strips and the detail boxes by a change d of
// the detail line height (old minus new): each box by d, the rest by 2d;
// a growth only as far as the folder box keeps half the height it shares
// with the detail boxes. The change made.
int32_t MoveByDetailChange(GuiViewSet& views, int32_t d);
// The detail boxes take the view font of a compare kind; the layout
// follows the change of their line height.
void ApplyDetailKindFont(GuiViewSet& views, uint32_t kind);
// After the folder box fitted the view font to a new height: the detail
// boxes, the columns and the rows follow the new size.
void FollowFittedViewFont(GuiViewSet& views);

// Kind operations on the current job, under the wait cursor; nothing
// without a job. Copy and delete act on the selected rows and do nothing
// (no wait cursor either) when none is selected.
void ReloadSide(GuiViewSet& views, uint32_t mode);
void CompareCurrent(GuiViewSet& views);
void SaveSide(GuiViewSet& views, uint32_t mode);
void CopyLines(GuiViewSet& views, JobLayer::JobViewEditor& editor, uint32_t direction);
void DeleteLines(GuiViewSet& views, JobLayer::JobViewEditor& editor, uint32_t side);

// "Editable1"/"Editable2" from the current job's editable flags (both off
// without a job), "Simple" from its Simple byte.
void ShowEditableStates(GuiViewSet& views);
void ShowSimpleState(GuiViewSet& views);
// The job's Simple byte from the button; the columns are measured again.
void ApplySimpleState(GuiViewSet& views);
// The four filter buttons from the job's filter word (15 without a job).
void ShowFilterStates(GuiViewSet& views);
// The filter word of the four buttons stored in the job and applied.
void ApplyFilterButtons(GuiViewSet& views);
// Stores a filter word in the current job and shows the rows it lets
// through.
void SetFilterWord(GuiViewSet& views, uint16_t word);
// The filter word of the four filter buttons' check states.
uint16_t FilterWordOfButtons(GuiViewSet& views);
// A view font of a kind changed (0 folder, 1 text, 2 binary): its jobs
// measure again before their next drawing, and the box takes the font
// when it shows one of them.
void ApplyViewFontChange(GuiViewSet& views, uint32_t kind);
// Checks or clears a toggle button and repaints it.
void SetButtonChecked(GuiButton& button, bool on);

}  // namespace AppLayer

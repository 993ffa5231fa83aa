// The detail boxes under the folder box, one per side: read-only edit boxes
// that show the current row of the current job, with the changed character
// segments of the pair and the kind's field bands painted under the text.
// The pair record holds both boxes and the line height the main window lays
// them out by.
#pragma once

#include <windows.h>

#include <cstdint>

#include "tavrel/jobs/job_dbox_draw.h"
#include "tavrel/jobs/job_detail.h"
#include "toolkit/edit_box.h"

namespace AppLayer {

class GuiDetailBox : public WinLayer::WinEditBox, public JobLayer::JobDetailBox {
public:
    GuiDetailBox();

    // A read-only, single-line edit box.
    void Construct();

    // ---- what the drawing strategies ask of the box ---------------------------------
    bool AllowsTyping() const override;
    void AttachIme(bool attach) override;
    void SetBackColor(COLORREF color) override;
    void SetTabWidth(int32_t characters) override;
    void SetDrawFlag(uint32_t flag, bool on) override;
    int32_t TextEndX() const override;
    int32_t ClientWidth() const override;
    int32_t TextWidth(const RawLayer::RawString& text) const override;
    int32_t CharX(int32_t index) const override;

    // The segments in the detail colours, then the field bands.
    void PaintUnderText(WinLayer::WinDrawContext& dc, const RECT& inner, POINT offset) override;
    // The kind's field bands (record.fields), over the segments' bands.
    void PaintFields(WinLayer::WinDrawContext& dc, const RECT& inner, POINT offset);

    JobLayer::DetailDrawRecord record;
    JobLayer::JobKindDBoxDraw* draw;
    // Shared with the pair.
    JobLayer::JobDetailList segments;
    uint32_t drawFlags = 0;
};

// The height of one line of a view in a font.
int32_t MeasureLineHeight(WinLayer::WinView& view, const WinLayer::WinFontParameter& font);

// Puts a drawing strategy and a text on a box: the strategy prepares the
// box, the text is laid out, the strategy adds its fields.
void ApplyDraw(GuiDetailBox& box, JobLayer::DetailDrawRecord& record, JobLayer::JobKindDBoxDraw& draw,
               const RawLayer::RawString& text, const JobLayer::JobDetailList& segments);

struct DetailBoxPair {
    // Fills both boxes from the records' job and row (set by InitWith).
    void ShowJob();
    // Both boxes empty with the default drawing.
    void Reset();
    // Both boxes take a font: the folder box's view font as it is fitted
    // there (null: the window font), and show their row again in it; old
    // line height minus new.
    int32_t ApplyFont(WinLayer::WinFontParameter* font);
    // Whether a box shows a row of the job.
    bool ShowsJob(const JobLayer::JobGroupUnit* job) const;

    GuiDetailBox* box1 = nullptr;
    GuiDetailBox* box2 = nullptr;
    JobLayer::JobDetailList segments;
    // The height of one detail line; the main window moves its children by
    // the change of it.
    int32_t lineHeight = 0;
};

}  // namespace AppLayer

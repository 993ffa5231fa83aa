// The drawing strategy of the two detail boxes under the compare box: one
// stateless object per kind tells what a box shows for the current row and
// how it is prepared. The boxes themselves belong to the main window; the
// strategy reaches a box only through the small JobDetailBox interface, so
// it needs nothing of the window toolkit.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "tavrel/jobs/job_report.h"

namespace JobLayer {

using RawLayer::RawString;

struct JobGroupUnit;

// What a detail box offers to the drawing strategy (implemented by the main
// window's detail box).
class JobDetailBox {
public:
    virtual ~JobDetailBox() {}
    // Whether the box's mode allows typing.
    virtual bool AllowsTyping() const = 0;
    // Associates (true) or detaches (false) the box's input-method context.
    virtual void AttachIme(bool attach) = 0;
    virtual void SetBackColor(COLORREF color) = 0;
    // Tab width in characters.
    virtual void SetTabWidth(int32_t characters) = 0;
    // Sets or clears a bit of the box's drawing flags.
    virtual void SetDrawFlag(uint32_t flag, bool on) = 0;
    // The x where the box's edit text ends: the sum of the widths of its
    // visible characters, counted from the first visible one.
    virtual int32_t TextEndX() const = 0;

    // What the folder kind lines its detail texts up with (0 when the box
    // cannot tell): the width of the box's text area, and the width of a
    // text in the box's font, tabs expanded at the box's tab stops.
    virtual int32_t ClientWidth() const { return 0; }
    virtual int32_t TextWidth(const RawString&) const { return 0; }
    // The x of a character index of the box's text, counted like TextEndX
    // from the first visible character; -1 when the box cannot tell.
    virtual int32_t CharX(int32_t index) const {
        (void)index;
        return -1;
    }
};

// Drawing flag of a box that the base strategy sets and the text kind clears.
enum : uint32_t { DetailBoxPlainFlag = 8 };

// The detail-draw record of one box: the box, the shown job and row, the
// side, and the box's coloured field bands.
struct DetailDrawRecord {
    DetailDrawRecord() : view(nullptr), job(nullptr), row(nullptr), side(0) {}
    // Init: no job, no row, an empty field list.
    void Init(JobDetailBox* box, uint32_t sideIndex);
    // InitWith: all four given, an empty field list.
    void InitWith(JobDetailBox* box, JobGroupUnit* shownJob, JobReportUnit* shownRow,
                  uint32_t sideIndex);

    JobDetailBox* view;
    JobGroupUnit* job;
    JobReportUnit* row;
    uint32_t side;
    JobDrawFieldList fields;
};

// The strategy interface, slots in order.
class JobKindDBoxDraw {
public:
    virtual ~JobKindDBoxDraw() {}
    // 1: prepares the box for the kind.
    virtual void PrepareBox(DetailDrawRecord& record) = 0;
    // 2: fills the box's field bands.
    virtual void FillFields(DetailDrawRecord& record) = 0;
    // 3: the text the box shows for a unit of the row.
    virtual RawString DetailText(DetailDrawRecord& record, JobContentUnit* unit) = 0;
    // 4: measures the two boxes so that they line up.
    virtual void MeasureBox(DetailDrawRecord& record1, DetailDrawRecord& record2) = 0;
    // 5: the segments of the row's two texts.
    virtual JobDetailList DetailList(const JobReportUnit* row, const RawString& text1,
                                     const RawString& text2) = 0;
};

// The defaults, used with no job, for a placeholder side and by kind 3:
// input method by the box's mode, button-face background, tab width 1, flag
// 8 set; no fields, no text, no segments.
class JobBaseDBoxDraw : public JobKindDBoxDraw {
public:
    // The function-local static instance.
    static JobBaseDBoxDraw& Shared();

    void PrepareBox(DetailDrawRecord& record) override;
    void FillFields(DetailDrawRecord& record) override;
    RawString DetailText(DetailDrawRecord& record, JobContentUnit* unit) override;
    void MeasureBox(DetailDrawRecord& record1, DetailDrawRecord& record2) override;
    JobDetailList DetailList(const JobReportUnit* row, const RawString& text1,
                             const RawString& text2) override;
};

// The text kind's strategy: the window colour, tab width "TabStop", flag 8
// cleared; one field from the end of the box's text to its right end in the
// button-face colour; the unit's line text; the character comparison of a
// changed row.
class JobLineDBoxDraw : public JobKindDBoxDraw {
public:
    static JobLineDBoxDraw& Shared();

    void PrepareBox(DetailDrawRecord& record) override;
    void FillFields(DetailDrawRecord& record) override;
    RawString DetailText(DetailDrawRecord& record, JobContentUnit* unit) override;
    void MeasureBox(DetailDrawRecord& record1, DetailDrawRecord& record2) override;
    JobDetailList DetailList(const JobReportUnit* row, const RawString& text1,
                             const RawString& text2) override;
};

// The binary kind's strategy: the window colour, tab width 1, flag 8 set;
// the detail line is the row's hex text, two spaces and its character text;
// fields in the button-face colour after the text and over the positions a
// short row lacks, and a grey line between hex and characters; the segments
// of both columns of the row.
class JobBinaryDBoxDraw : public JobKindDBoxDraw {
public:
    static JobBinaryDBoxDraw& Shared();

    void PrepareBox(DetailDrawRecord& record) override;
    void FillFields(DetailDrawRecord& record) override;
    RawString DetailText(DetailDrawRecord& record, JobContentUnit* unit) override;
    void MeasureBox(DetailDrawRecord& record1, DetailDrawRecord& record2) override;
    JobDetailList DetailList(const JobReportUnit* row, const RawString& text1,
                             const RawString& text2) override;
};

}  // namespace JobLayer

// The folder box: the central list of the main window, one item per result
// row of the job shown in the current tab, side 1 left of the dividing
// point and side 2 right of it. It always shows some job: before the first
// tab and while the window closes, the job list's spare job (kind none).
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "tavrel/app/strip_view.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/cursor.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/job_report.h"
#include "tavrel/jobs/key_binding.h"
#include "toolkit/ime_control.h"
#include "toolkit/list_box.h"

namespace AppLayer {

using JobLayer::JobGroupUnit;
using JobLayer::JobReportUnit;

class GuiFolderBox;

// A critical section held for a scope.
class SectionLock {
public:
    explicit SectionLock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
    ~SectionLock() { LeaveCriticalSection(&section_); }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

// The result filter bits of a job (`RowFilterBits`): which row kinds show.
enum RowFilterBits : uint16_t {
    FilterSame = 1,
    FilterDifferent = 2,
    FilterOnly1 = 4,
    FilterOnly2 = 8,
    FilterAll = 15,
};
// The filter bit that admits rows of a kind (0 same, 1 only 1, 2 only 2,
// 3 changed).
uint16_t FilterBitOf(uint32_t rowKind);

// The state every part of the box shares.
struct FolderBoxView {
    FolderBoxView();
    ~FolderBoxView();
    FolderBoxView(const FolderBoxView&) = delete;
    FolderBoxView& operator=(const FolderBoxView&) = delete;

    GuiFolderBox* box = nullptr;
    GuiTwinScrollBar* twinBar = nullptr;
    // Handed to every edit command; set by the main window.
    JobLayer::JobViewEditor* editor = nullptr;
    // Never null once constructed: the spare job until a tab is shown.
    JobGroupUnit* job = nullptr;
    int32_t kindMargin = 2;
    int32_t rowHeight = 0;
    int32_t viewWidth = 0;
    int32_t dividingPoint = 0;
    // Pixels of the box's height that the detail boxes hold while their
    // font is taller than the one the window was laid out for (below 0:
    // pixels they gave to the box). The view font is fitted to the height
    // with these counted in, which the detail boxes' changes leave as it is.
    int32_t heightLent = 0;
    // Guards the caret rectangle (all zero: no caret).
    CRITICAL_SECTION lock;
    RECT caret{};
};

// The last button-down point and its time, for the triple click.
struct FolderBoxClicks {
    POINT last{};
    uint64_t time = 0;
};

// The press-and-drag state of the box: the line drag's press and the
// divider drag.
struct LineDragState {
    enum : int32_t { Idle = 0, Pressed = 1, LineDrag = 2, SelectDrag = 3 };
    enum : int32_t { DividerIdle = 0, DividerHover = 1, DividerDrag = 2 };

    int32_t state = Idle;
    // 0 connect, 1 float.
    int32_t dragMode = 0;
    uint32_t side = 0;
    uint32_t otherSide = 1;
    POINT press{};
    POINT current{};
    bool dropAllowed = false;
    int32_t first = -1;
    int32_t last = -1;
    int32_t target = -1;
    JobLayer::JobContentUnit* unit = nullptr;
    // The cursor shown before the line drag began.
    HCURSOR dragKeptCursor = nullptr;
    HCURSOR noDropCursor = nullptr;
    HCURSOR dropCursor = nullptr;
    // The divider.
    int32_t divider = DividerIdle;
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t pressDividing = 0;
    POINT dividerPress{};
    HCURSOR sizeCursor = nullptr;
    HCURSOR keptCursor = nullptr;
};

// The painting of the box: rows in two cells, the title row, and what lies
// over them (the dividing zone, the focus frame, the caret).
class GuiFolderBoxDraw {
public:
    GuiFolderBoxDraw(GuiFolderBox& owner, FolderBoxView& shared) : box(owner), view(shared) {}
    ~GuiFolderBoxDraw();
    GuiFolderBoxDraw(const GuiFolderBoxDraw&) = delete;
    GuiFolderBoxDraw& operator=(const GuiFolderBoxDraw&) = delete;

    // One row's height from the view font; the header becomes one row.
    void MeasureRow(WinLayer::WinDrawContext& dc, SIZE& size);
    void MeasureItem(RECT& size);
    void DrawItem(HDC dc, const RECT& rect, int32_t index, const WinLayer::WinListBoxItemUnit& unit,
                  const JobReportUnit& row);
    void DrawEndItem(HDC dc, const RECT& rect);
    void DrawOverlay(HDC dc, const RECT& rect);
    // The target cell of a line drag, framed in red while a drop is allowed.
    void PaintDropTarget(HDC dc);
    // The fill of one cell of a row.
    COLORREF RowColor(const WinLayer::WinListBoxItemUnit& unit, const JobReportUnit& row, uint32_t side) const;
    // The title colour of a side: by its state, blended over the base.
    COLORREF TitleColor(uint32_t side, COLORREF base) const;
    // Selects the box's font into the DC, or a smaller copy of it when its
    // rows would leave no room for a few of them below the title row and a
    // line of each detail box under the box. True when the box's own font
    // is the one of the last call but the rows are drawn in another now.
    bool FitFont(HDC dc);

    GuiFolderBox& box;
    FolderBoxView& view;

private:
    void DrawMarks(HDC dc, const RECT& cell, int32_t index, const JobLayer::JobContentUnit& unit, uint32_t side);
    void DrawFocusFrame(HDC dc, const RECT& rect);
    void PlaceCaret();

    // The cursor row's rectangle when the paint reached it, and the line
    // drag's target row.
    RECT caretRow_{};
    RECT dropRow_{};
    // The smaller copy (owned) and the box's font it stands for.
    WinLayer::WinFontParameter fitted_{};
    WinLayer::WinFontParameter* fittedFrom_ = nullptr;
    // The box's own font at the last fitting, and the font the rows were
    // drawn in after it.
    const WinLayer::WinFontParameter* chosen_ = nullptr;
    const WinLayer::WinFontParameter* shown_ = nullptr;
    HFONT shownHandle_ = nullptr;
};

// The input method of the box: a context associated only while the current
// side is an editable text side; compositions become the side's edit
// commands 23-25.
class GuiFolderBoxImeControl : public WinLayer::WinImeControl {
public:
    explicit GuiFolderBoxImeControl(GuiFolderBox& owner);
    void OnStartComposition() override;
    void OnEndComposition() override;
    void OnComposition(const WinLayer::WinImeComposition& record) override;
    void OnOpenStatus(bool open) override;
    void QueryCharPosition(IMECHARPOSITION& position) override;
    bool PrepareReconversion() override { return false; }
    // Answers the character-position query, only for a whole record.
    LRESULT AnswerCharPosition(LPARAM record);
    // Associates or detaches the context by the current side.
    void UpdateImeState();

    GuiFolderBox& box;

private:
    // Runs an edit command on the current side with empty arguments.
    void RunCommand(uint32_t command);
};

class GuiFolderBox : public WinLayer::WinListBoxR<JobReportUnit> {
public:
    // Side codes of a point.
    enum : uint32_t { HitSide1 = 0, HitSide2 = 1, HitNone = 2, HitDivider = 4 };
    static constexpr UINT_PTR kCaretTimer = 1113;
    static constexpr UINT kCaretBlinkMs = 600;

    GuiFolderBox();
    ~GuiFolderBox() override;

    // Multiple selection of rows, the spare job, all rows shown.
    void Construct();

    // Shows the job (the spare job for null): scroll position, kind margin
    // and view font from it; the rows are rebuilt.
    void SetJob(JobGroupUnit* job);
    JobGroupUnit* Job() const { return view_.job; }
    // Items from the job's rows, filtered by its word; keeps the scroll.
    // The sides are measured again (their content may have changed), or,
    // with `measure` false, only when this box has not measured the job yet.
    void RebuildRows(bool measure = true);
    // The filter word over the existing items.
    void ApplyFilter();
    // Lets every job go (the window is closing): the spare job, no items,
    // no scroll, no selection.
    void ReleaseJob();
    // Copies the items' selection into the rows' selected flag, and back;
    // the number of selected rows.
    int32_t CopySelectionToRows();
    int32_t MarkSelectedRows() { return CopySelectionToRows(); }
    int32_t CopySelectionFromRows();
    // The height of one row; 0 before the first layout.
    int32_t RowHeight() const { return view_.rowHeight; }

    // ---- the dividing point and the columns ---------------------------------------
    int32_t GetDividingPoint() const { return view_.dividingPoint; }
    RECT GetClientRect() const;
    // The middle of the client area; both sides scrolled to their left end.
    void ResetDividingPoint();
    void SetDividingPoint(int32_t x);
    // Measures both sides' columns and lays them out at the dividing point.
    void RemeasureColumns();
    // Lays the measured columns out at the dividing point (the content is
    // as it was: a resize, a divider drag, a filter, the simple view).
    void LayoutColumns();
    // The job goes (or its rows were loaded again): its measurements and
    // scroll position are forgotten.
    void ForgetJob(const JobGroupUnit* job) {
        measured_.erase(job->serial);
        scrollTops_.erase(job->serial);
    }
    void MeasureSideColumns(HDC dc, uint32_t side);
    // Whether the items stand for the job's rows one for one, in order.
    bool ItemsHoldRows();
    // Gives a unit the row of its index, its filter flag, and notes it
    // among the differing rows.
    void PlaceRow(WinLayer::WinListBoxItemUnit& unit, JobReportUnit* row, int32_t index);
    // Gives only the rows an edit changed (the job's row changes) to their
    // units and lays out from there; false when the items cannot follow
    // that way (then every row is given anew).
    bool RebuildChangedRows();
    // The differing rows just collected belong to the shown job as it is.
    void NoteDifferingRows();
    // The text column's width: the widest line, found without measuring
    // the lines that cannot be the widest.
    // Lines measured are marked as measured for `side` (-1: none). Returns
    // how many lines stand at the width found (a very large count when the
    // title is as wide).
    static int64_t MeasureLongestLines(HDC dc, JobLayer::JobSideRecord& record, JobLayer::JobContentList& content,
                                    int32_t margin, int32_t side = -1);
    // The same from the side's last width and the lines changed since
    // (JobLineChangeLog), when that width still stands for the rest;
    // false when every line must be measured.
    bool MeasureChangedLines(HDC dc, uint32_t side, JobLayer::JobSideRecord& record,
                             JobLayer::JobContentList& content, int32_t margin);
    // Applies the twin scroll bar's last request to its side's horizontal
    // offset: a move to the target (step 0) or steps of the view width,
    // kept within the side's content.
    void ScrollFromTwinBar();
    // Copies a side's horizontal range to the twin scroll bar.
    void SyncTwinBarRange(uint32_t side);
    uint32_t HitSide(POINT point) const;
    // The current side of the shown job (2: none).
    uint32_t CurrentSide() const;
    void SetCurrentSide(uint32_t side);

    void InvalidateViews();
    void RefreshCaret();
    // Inverts the caret rectangle while the box has the focus.
    void CaretBlink();
    RECT CaretRect();

    // ---- messages -------------------------------------------------------------------
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCommand(uint16_t code) override;
    void OnCreated() override;
    void OnDestroying() override;
    void OnDropFiles(HDROP drop);
    // A typed character unit (UTF-16 for a Unicode window, else an ANSI or
    // double-byte unit); true when it went to the side as text.
    bool OnTypedUnit(WPARAM unit);
    // The characters of a typed unit: a UTF-16 unit (a high surrogate
    // waits in `pending` for its low half), or an ANSI byte (a lead byte
    // waits for its trail byte) converted from the ANSI code page. The
    // number of units written; 0 while waiting or for a stray half.
    static int32_t JoinTypedUnit(WPARAM typed, bool unicode, uint16_t& pending, wchar_t (&units)[2]);

    // ---- list box parts ---------------------------------------------------------------
    void DrawItemOf(WinLayer::WinDrawContext& dc, const RECT& rect, int32_t index, WinLayer::WinListBoxItemUnit& unit,
                    JobReportUnit* row) override;
    void MeasureItemOf(WinLayer::WinDrawContext& dc, RECT& size, int32_t index, WinLayer::WinListBoxItemUnit& unit,
                       JobReportUnit* row) override;
    void MeasureRow(WinLayer::WinDrawContext& dc, SIZE& size) override;
    void DrawHeader(WinLayer::WinDrawContext& dc, const RECT& rect, int32_t index,
                    WinLayer::WinListBoxItemUnit& unit) override;
    void DrawOverlay(WinLayer::WinDrawContext& dc, const RECT& rect, POINT origin) override;
    // The focus frame of the current side and the row colours show the
    // cursor and the focus: no list cursor frame, no focus line.
    void DrawCursorFrame(WinLayer::WinDrawContext&, const RECT&, int32_t) override {}
    void FillArea(WinLayer::WinDrawContext&, const RECT&) override {}

    // ---- key actions ----------------------------------------------------------------
    // Runs the action list bound to the key and the modifiers held now;
    // true when the key had a binding with at least one action.
    bool RunActionList(WPARAM keyCode);
    // Runs one action; false only for a name no action has (the rest of
    // the list is then skipped).
    bool ActionDispatch(const JobLayer::JobActionUnit& action);
    // Search, replace, go to and insert through the input dialog (16, 19-22).
    bool RunInputCommand(const JobLayer::JobActionUnit& action, uint32_t side, uint32_t command);
    // The remembered request of an input command, titled and tagged afresh.
    JobLayer::ActionArgs& InputParameters(uint32_t command);
    bool ReplaceEach(uint32_t side, JobLayer::ActionArgs& request);
    // The bindings, read when the window is made.
    JobLayer::JobBindingOwner& Bindings() { return bindings_; }

    // ---- cursor and scroll operations ----------------------------------------------------
    // Each takes the side and whether the selection grows; true when the
    // caret moved. On a folder job the horizontal ones scroll by a page.
    bool MoveCursorLeftOp(uint32_t side, bool extend);
    bool MoveCursorRightOp(uint32_t side, bool extend);
    bool MoveCursorToLineHeadOp(uint32_t side, bool extend);
    bool MoveCursorToLineFootOp(uint32_t side, bool extend);
    bool MoveCursorUpOp(uint32_t side, bool extend);
    bool MoveCursorDownOp(uint32_t side, bool extend);
    bool MoveCursorToFileHeadOp(uint32_t side, bool extend);
    bool MoveCursorToFileFootOp(uint32_t side, bool extend);
    void SelectSide(uint32_t side);
    int32_t FindNonSameRow(int32_t start, int32_t step);
    bool GotoNextNonSameRow();
    bool GotoPrevNonSameRow();
    bool GotoRow(int32_t row, bool clear = true);
    // Moves each side's cursor off a row the filter hid; the list cursor on
    // such a row is cleared.
    void EnsureCursorShown();
    // The first row from `from` on, a step of `step` (1 or -1) at a time,
    // that passes the test; -1 for none.
    template <typename Test>
    int32_t FirstRowFrom(int32_t from, int32_t step, Test test) {
        for (int32_t row = from; row >= 0 && row < Count(); row += step) {
            if (test(row)) return row;
        }
        return -1;
    }
    void ApplyCursorMove(const JobLayer::JobCursor& position, bool extend);
    void ScrollCaretIntoView();
    void UpdateCaretX();
    // Content width - visible width of a side (negative: it all shows).
    int32_t ScrollMax(uint32_t side) const;
    // Sets a side's horizontal offset, syncs the twin bar and repaints.
    void SetSideOffset(uint32_t side, int32_t offset);
    // Whether a row lies wholly in the visible part of the list.
    bool RowInView(int32_t index);
    // A row's rectangle on one side, in client coordinates.
    RECT SideRect(int32_t index, uint32_t side);

    // ---- clicks ----------------------------------------------------------------------
    // The list's press hook: triple click, the kind's click hook, the cursor.
    bool OnItemClick(POINT point, int32_t index) override;
    void PlaceCursor(POINT point, bool extend);
    void PlaceCaret(uint32_t side, POINT point, bool extend);
    void DragSelectTo(uint32_t side, POINT point);
    // ---- the line drag ------------------------------------------------------------
    // Commands 4370-4373: a drag of the selected rows of a side, by mode
    // (0 connect, 1 float), from where the mouse is.
    void StartDragByCommand(int32_t dragMode, uint32_t side);
    void BeginLineDrag();
    void TrackLineDrag(POINT point);
    bool CanDrop(POINT point);
    // Ends a line drag, connecting or floating the rows when `drop`; any
    // other press state just ends.
    void EndLineDrag(bool drop);
    void PaintDragFeedback(HDC dc);
    // The press and selection part of a mouse move.
    void OnLineDragMove(POINT point, WPARAM keys);
    // Whether some selected row has a real unit on the side.
    bool AnySelectedRealUnit(uint32_t side);
    // The side menu of a right click on a side.
    void OnContextMenu(POINT point, int32_t index) override;
    // The current side's menu from a key (4359): just inside the side, at
    // the cursor row's height (the top without a cursor row).
    void OpenCurrentSideMenu();
    LRESULT OnMenuCommand(WPARAM command, LPARAM value) override;
    // Runs a chosen side-menu id; true when handled.
    bool ExecuteSideMenu(uint32_t id, uint32_t side);

    FolderBoxView& View() { return view_; }
    // The font the rows are drawn in, fitted to the box now: the view font,
    // or its smaller copy (owned by the box, made again when the box's
    // height asks for another size; the owner window then gets
    // CmdViewFontFitted). The detail boxes show the same one. Null: the
    // window font.
    WinLayer::WinFontParameter* FittedViewFont();
    // The rows of the shown job that are not the same, noted at the last
    // rebuild (for the position bar).
    const DifferingRowIndex& RowsNotSame() const { return rowsNotSame_; }
    LineDragState& Drag() { return drag_; }
    GuiFolderBoxImeControl& Ime() { return ime_; }
    // The filter word of the box, read from the job at every rebuild.
    uint16_t filterWord = FilterAll;

private:
    void EndDividerDrag();
    void OnDividerMove(POINT point);
    void ApplyFilterFlags();

    FolderBoxView view_;
    FolderBoxClicks clicks_;
    LineDragState drag_;
    // The key bindings of the box, read when its window is made.
    JobLayer::JobBindingOwner bindings_;
    GuiFolderBoxImeControl ime_;
    // The key codes held down with a handled binding (at most 20).
    WPARAM heldKeys_[20] = {};
    int32_t heldCount_ = 0;
    GuiFolderBoxDraw draw_;
    // The argument records of the input dialog's commands, which keep what
    // was typed: search and replace, goto line, goto address, insert text.
    JobLayer::ActionArgs actionArgs_[4];
    // A typed high surrogate or ANSI lead byte waiting for its second unit.
    uint16_t pendingUnit_ = 0;
    // The jobs (by serial) whose side records hold this box's measurements:
    // measuring every line of a long text again at each tab switch or resize
    // would cost seconds.
    std::unordered_set<uint64_t> measured_;
    // What each side's text width was last taken from, and the width (-1
    // when it does not stand): an edit then measures only the lines it
    // changed.
    struct SideWidths {
        uint64_t job = 0;
        const void* content = nullptr;
        uint16_t revision = 0;
        int32_t tabStop = 0;
        int64_t extra = 0;
        int32_t title = 0;
        uint32_t epoch = 0;
        int64_t widest = -1;
        int64_t count = 0;  // lines known to stand at `widest`
    };
    SideWidths sideWidths_[2];
    // The indices of the shown rows that differ, for the job of that serial
    // with that many rows (see FindNonSameRow).
    std::vector<int32_t> differing_;
    DifferingRowIndex rowsNotSame_;
    uint64_t differingSerial_ = 0;
    int32_t differingCount_ = -1;
    // The vertical scroll position each job (by serial) had when another was
    // shown, so that a tab comes back where the user left it.
    std::unordered_map<uint64_t, LONG> scrollTops_;
};

// The content unit of a row on a side; null for no row, no unit or a
// placeholder.
JobLayer::JobContentUnit* RealUnit(const JobReportUnit* row, uint32_t side);
JobLayer::JobContentUnit* RealUnit(const JobGroupUnit& job, int32_t row, uint32_t side);

// A side's horizontal offset moved to `wanted`, kept between 0 and `most`
// (the content width beyond the visible width); a side whose content fits
// (`most` below 0) goes to `most`.
int32_t ClampSideOffset(int64_t wanted, int64_t most);

// The spare job of the job list (kind none), made on first use.
JobGroupUnit* SpareJob();

// The system time in FILETIME units; 0 when it cannot be converted.
uint64_t CurrentFileTime();
// The label of a floating line drag: "Float".
const RawLayer::RawString& FloatLabelText();

}  // namespace AppLayer

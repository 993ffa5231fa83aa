// The edit commands of a text side (LineEditExecute) and the primitives
// beneath them: text ranges and whole lines inserted and deleted, each
// change recorded on the side's undo list so that Undo and Redo can apply
// it back and forth; the search and replace commands; and the enable rules
// of the text kind.
//
// A side is edited only while it may be: its edit byte is on and its file
// was read whole (a side cut at the loading limit, unreadable or without a
// file never is). Text that the side's encoding cannot hold is refused and
// changes nothing, so a save never meets it.
#pragma once

#include <cstdint>
#include <vector>

#include "base/raw_string.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/cursor.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/side_edit.h"
#include "tavrel/jobs/text/text_kind.h"

namespace JobLayer {

// Operation codes of the text kind's undo records. Applying a record does
// its operation and turns it into the inverse one (1 and 2 swap, 4 and 5
// swap), so one record serves Undo and Redo.
enum : uint32_t {
    UndoInsertText = 1,  // insert the record's text at its start
    UndoDeleteText = 2,  // delete the record's range
    UndoInsertLine = 4,  // insert a line with the record's text before its start line
    UndoDeleteLine = 5   // delete the record's start line
};

// Input-method state of a side: a composition is under way.
constexpr uint16_t ImeComposing = 1;
// Contents bit of an input-method record: a result string was read.
constexpr uint16_t ImeResultRead = 4;

// The length of a line's text; 0 for none.
inline int32_t LineLength(const JobLineUnit* line) { return line ? line->LineText().Length() : 0; }

// The widths a run of lines had measured for a layout revision of their
// side, in line order (-1: not measured exactly). Lines brought back with
// the same texts take them instead of being measured again; and the line
// ends the lines had in their file (FileLineEnd...), which lines brought
// back take again, so that they are saved as the file had them. A whole
// line's record holds its one end and no widths.
struct JobLineWidths {
    uint16_t revision = 0;
    std::vector<int32_t> widths;
    std::vector<uint8_t> fileEnds;
};

// A range of a side's lines, start before end.
struct JobTextRange {
    JobTextPosition start;
    JobTextPosition end;
    bool IsEmpty() const { return start == end; }
};

// The state of one edit command on one side.
class LineEditContext {
public:
    LineEditContext(JobViewEditor& editor, JobGroupUnit& job, uint32_t side);

    JobViewEditor& editor;
    JobGroupUnit& job;
    uint32_t sideIndex;
    JobSideRecord& side;
    JobContentList& content;
    JobLineBaseData* data;  // null when the side was never loaded

    // Flags of the finishing steps.
    bool redraw = false;
    bool textChanged = false;
    bool reselect = false;
    // The filter was widened to show every row kind.
    bool prepared = false;
    // The rows this command marked edited, for the refresh; no longer kept
    // once they are so many that the refresh walks every row (editedMany).
    std::vector<JobReportUnit*> edited;
    bool editedMany = false;
    // The row of the line touched last: where searches for rows begin.
    int32_t rowHint = 0;

    // The kind of the side's line texts.
    uint8_t TextKind() const;
    // The line at an index; null outside the side.
    JobLineUnit* LineAt(int32_t line) const;
    // The index of a line of the side; -1 when it is not one.
    int32_t LineIndex(const JobContentUnit* line);
    // The row that shows a line (searched from rowHint); -1 when none.
    int32_t RowOfLine(const JobContentUnit* line);
    // A row's line on this side; null for a placeholder or outside.
    JobLineUnit* LineOfRow(int32_t row) const;
    // A display position as a line position: the line of the row or of the
    // first row after it that has one (column 0 then); past the last line,
    // the end of the last line. Line -1 when the side has no lines.
    JobTextPosition ToLinePosition(int32_t row, int32_t column);
    // The ordered selection as a line range.
    JobTextRange SelectionLines();
    // Collapses the cursor onto a line position; the job's current row
    // follows.
    void PlaceCursor(JobTextPosition at);
    // Selects from one line position to another.
    void Select(JobTextPosition anchor, JobTextPosition caret);
    // Marks a row edited for the refresh.
    void MarkEdited(JobReportUnit* row);
    void MarkEditedRow(int32_t row);
    // Notes rows that a line primitive already flagged edited.
    void NoteEditedRows(const std::vector<JobReportUnit*>& rows);
    // Whether the refresh walks every row rather than the rows noted.
    bool RefreshesEveryRow() const;
    // Makes the refresh walk every row (the rows are no longer listed).
    void RefreshEveryRow();
    // Shows every row kind before the first change of text.
    void Prepare();
};

// The enable rule of a command on a text side.
bool LineCanExecute(const JobGroupUnit& job, uint32_t side, uint32_t command);

// Runs a command (enabled or not: the controller asks first) and the
// finishing steps; true when it changed or found something.
bool LineEditExecute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, uint32_t command,
                     ActionArgs& args);
// The finishing steps: the refresh of edited rows, the cursor and view
// updates, the reselection of marked rows; returns `result`.
bool LineEditFinish(LineEditContext& context, bool result);

// ---- primitives ----------------------------------------------------------------
// Each takes text in the side's kind, records its inverse with the tag (0:
// no record), marks the side changed and the touched rows edited, and
// leaves the cursor collapsed at the end of an insertion or the start of a
// deletion. False (nothing changed) when the position or range is not one
// of the side.

// Inserts text at a line and column; CR LF, LF and CR start new lines.
bool InsertTextAt(LineEditContext& context, uint32_t tag, JobTextPosition at, const RawString& text,
                  JobTextPosition* end = nullptr);
// Deletes a range, joining its first line with the rest of its last.
bool DeleteRangeAt(LineEditContext& context, uint32_t tag, const JobTextRange& range);
// Inserts a whole line before a line index (at the end for the count).
bool InsertLineAt(LineEditContext& context, uint32_t tag, int32_t line, const RawString& text);
// Deletes a whole line.
bool DeleteLineAt(LineEditContext& context, uint32_t tag, int32_t line);
// Copies the line of the source side in a row into this side: replaces the
// text of this side's line there, or puts a new line into the row. False
// when the row has no source line, when this side already holds that text,
// or when this side's kind cannot hold it.
bool CopyLineFromOtherSide(LineEditContext& context, uint32_t tag, uint32_t source, int32_t row);
// CopyLineFromOtherSide over rows in display order under one tag, as one
// change of the side.
bool CopyLinesFromOtherSide(LineEditContext& context, uint32_t tag, uint32_t source, const std::vector<int32_t>& rows);
// Deletes the side's lines at ascending indexes at once (`texts` their
// texts, which move into the records; `row` the row of the first),
// recorded as deleting them one by one from the last up; the cursor goes
// where the first was.
bool DeleteLinesAt(LineEditContext& context, uint32_t tag, int32_t row, const std::vector<int32_t>& indexes,
                   std::vector<RawString>& texts);
// The text of a range: lines joined by CR LF, in the side's kind, built in
// one allocation.
RawString SelectionText(LineEditContext& context, const JobTextRange& range);
// Applies an undo record and turns it into its inverse.
bool ApplyUndoRecord(LineEditContext& context, JobUndoDataUnit& record);
// Undoes the side's last command (or redoes the next one); true when a
// record was applied.
bool UndoLineRecords(LineEditContext& context, bool undo);

// An input-method composition is shown in the text without an undo record
// (Update) until its result comes, which is one edit; Remove takes a shown
// composition out again, bringing back the text it replaced.
bool UpdateLineComposition(LineEditContext& context);
bool RemoveLineComposition(LineEditContext& context);

// The line and column a search command starts from (see the search
// commands); false when the side has no lines.
bool SearchStart(LineEditContext& context, ActionArgs& args, ExpressionSearch& search, bool forward,
                 int32_t& row, int32_t& column);

}  // namespace JobLayer

// The text kind: its controller (JobLineControl) loads each side of a job
// into line units, compares them line by line (LineMatcher), and lets the
// user connect and float lines; beneath the text edit commands lie the line
// primitives that insert and remove whole lines while keeping the result
// rows and the line numbers consistent.
//
// Lines keep the file's own encoding in memory (8-bit kinds as they stand,
// UTF-16 files as kind 7), each line keeps the line end it had in the file,
// and the side remembers the file's kind, its byte-order mark, the line end
// of its first line (which new lines take) and whether its last line had
// one, so that a save gives back every line the user did not edit byte for
// byte, whatever encoding the file was read in.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/line_file.h"
#include "base/raw_string.h"
#include "tavrel/jobs/cursor.h"
#include "tavrel/jobs/job_content.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/text/line_unit.h"

namespace JobLayer {

using RawLayer::RawLineFile;
using RawLayer::RawRange;
using RawLayer::RawString;

// The refresh code of a load or compare: every view is rebuilt.
enum : uint32_t { TextFullRefresh = 0xFFEF };

// A line start at or past 4 GiB always ends a load, whatever the option.
constexpr int64_t TextLoadingHardLimit = int64_t(1) << 32;

// A place in the lines of a side: line index and column, in code units.
struct JobTextPosition {
    int32_t line;
    int32_t column;
    bool operator==(const JobTextPosition& o) const { return line == o.line && column == o.column; }
    bool operator!=(const JobTextPosition& o) const { return !(*this == o); }
};

// The input-method composition a side shows in its text without an undo
// record: where it stands, the text it replaced and whether the side was
// changed before it came.
struct JobLineComposition {
    bool shown = false;
    JobTextPosition start = {0, 0};
    JobTextPosition end = {0, 0};
    RawString replaced;
    std::shared_ptr<const JobLineWidths> replacedLines;  // what `replaced`'s lines measured and ended with
    bool changedBefore = false;
};

// The kind data of a text side.
class JobLineBaseData : public JobColumnControl::KindData {
public:
    JobLineBaseData() {}
    ~JobLineBaseData() override {}
    JobLineBaseData(const JobLineBaseData&) = delete;
    JobLineBaseData& operator=(const JobLineBaseData&) = delete;

    // Takes the cell width, the "TabStop" option and the width of one tab
    // measured in the device context; a change of the tab stop or the tab
    // width raises the revision, so that every line lays itself out again.
    void UpdateMetrics(HDC dc, int32_t rowHeight, int32_t width) override;

    uint16_t revision = 1;   // +1 whenever the lines must lay out again
    uint32_t tabStop = 1;
    int32_t tabWidth = 0;    // pixels
    int32_t cellWidth = 0;   // pixels
    JobUndoDataList undo;    // the side's undo list
    JobLineComposition composition;

    // What the loader found, for writing the side back unchanged.
    uint8_t textKind = RawLayer::KindUtf8;  // kind of the line texts in memory
    uint8_t markKind = 0;                   // the byte-order mark's kind, 0 none
    bool lastLineEnded = true;              // the last line read had a line end
};

// The text kind's data of a side; null when the side has none (or another
// kind's).
JobLineBaseData* LineBaseData(JobSideRecord& side);

// CR LF in a kind.
RawString CrLfText(uint8_t kind);

// The kind of the line texts of a side whose file is of a kind: UTF-16
// files are held as kind 7, unknown kinds as UTF-8.
uint8_t LineTextKindOf(uint32_t fileKind);

// The text kind's header unit: a shared line unit (flags 2) whose column
// texts are the titles of the line number and text columns. The titles are
// filled at the first call (flag 4 then set).
class JobLineHeaderUnit : public JobSharedLineUnit {
public:
    JobLineHeaderUnit() : JobSharedLineUnit(UnitHeader) {}
    RawString ColumnText(int32_t column) const override;
    void FillTitles();

private:
    RawString titles_[2];
};
JobLineHeaderUnit& TextHeaderUnit();

// The controller of the text kind (one stateless object for every text job).
class JobLineControl : public JobKindControl {
public:
    static JobLineControl& Shared();

    // 1: discards the unsaved edits of the sides of the mode (through the
    // backup road), loads side 1 (mode 0 or 3) and side 2 (mode 1 or 3),
    // then compares. Returns the full refresh code.
    uint32_t Load(JobGroupUnit& job, uint32_t mode) override;
    // 2: every line of the side lays itself out again at the next layout.
    void InvalidateSide(JobGroupUnit& job, uint32_t side) override;
    // 3: saves the changed sides of the mode through the backup store: the
    // old file is kept in a dated backup folder, the new text goes to a
    // temporary file beside the target that then replaces it. True when
    // every changed side of the mode was saved; false when any failed or
    // none was changed.
    bool SaveFile(JobGroupUnit& job, uint32_t mode) override;
    // 4: writes the edited text of each changed side of the mode into the
    // backup store (so the dropped edits can be restored) and clears the
    // side's changed flag; the file itself is not touched.
    bool DiscardFile(JobGroupUnit& job, uint32_t mode) override;
    // 5: the line compare; sets the job's Same bit. Returns the full
    // refresh code.
    uint32_t Compare(JobGroupUnit& job) override;
    // 7: connects (mode 1) the line of the other side's cursor row with the
    // line of `side` in the first marked row, or floats (mode 2) the lines
    // of `side` in every marked row onto that line. Both selections
    // collapse. True when marks were set.
    bool ConnectLines(JobGroupUnit& job, int32_t row, uint32_t side, uint32_t mode) override;
    // 8: clears the marks of the lines in the marked rows (with every line
    // of their groups); true when any mark was cleared.
    bool DisconnectLines(JobGroupUnit& job) override;

    // 11: runs an edit command when it is enabled (LineEditExecute); beeps
    // through the editor and gives false otherwise.
    bool Execute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, uint32_t command,
                 ActionArgs& args) override;
    // 12: the enable rule of an edit command on a text side.
    bool CanExecute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, uint32_t command) override;

    // Loads one side (0 or 1) of the job: the lines, then the cursor at the
    // first row; a side that could not be read whole is not editable.
    static bool LoadSide(JobGroupUnit& job, uint32_t side);
};

// Loads a side's file into its content list (see the text kind's load
// rules); false when the side has no file, could not be read, or was cut at
// the loading limit. Failures are reported by key with the path; a file
// with text that gave no line at all reports "NoLinesReadError" and is left
// unreadable (never saved over).
bool LoadTextSide(JobSideRecord& side, JobContentList& content);

// Appends the lines of an open reader, from its current line on, to the
// content list, each numbered by its place in the list. Stops after the
// first line that starts at `limit` bytes or later, and after a line longer
// than the reader's bound (the reader hands out its cut start)
// ("TooLargeFile", content flag 32, false), and at a reader failure
// ("ReadError" unless told not to report it, content flag 64, false); true at
// the end of the file. The last line appended tells whether it had a line end;
// each line keeps the line end it had.
bool ReadLines(RawLineFile& reader, JobContentList& content, bool hasLine, int64_t limit,
               bool& lastLineEnded, bool reportReadError = true);

// Gives every line of the content list its number, 1, 2, 3, ...
void NumberLines(JobContentList& content);
// The index a line's number gives it when the line stands there; -1 when
// lines before it came or went since the last numbering.
int32_t NumberedIndex(const JobContentList& content, const JobLineUnit& line);

// ---- saving and discarding -----------------------------------------------------

// Writes the lines of a side to a path as the file was: in the file's kind,
// with its byte-order mark when it had one, the side's line end after every
// line but the last, and after the last one too unless the file ended
// without one. A side with its own line ends (JobLineBaseData) writes each
// line read from the file with the line end it had there, and a line that
// had none, when lines now follow it, with the side's. False when the file
// could not be written whole (a line that the file's kind cannot hold
// included); a file left behind is then incomplete and the caller drops it.
bool SaveTextSide(JobSideRecord& side, JobContentList& content, const RawString& path);

// ---- marks ---------------------------------------------------------------------

// Clears the group of a mark: every line of both sides whose serial equals
// the mark's serial gets mark kind 0 (the serial stays). False for a mark of
// kind 0.
bool ClearLineMark(JobGroupUnit& job, uint16_t markKind, uint32_t markSerial);
inline bool ClearLineMark(JobGroupUnit& job, const JobContentUnit& mark) {
    return ClearLineMark(job, mark.markKind, mark.markSerial);
}

// ---- line primitives -----------------------------------------------------------
// Each marks the side changed and its numbering pending (content flags 1 and
// 8); RefreshEditedRows afterwards recomputes the rows they marked edited
// (row flag 4) and renumbers the lines. Cursors are left to the caller.

// Inserts a new empty line before the line at `unitIndex` (at the end when
// the index is outside the side); returns the row that holds it.
int32_t InsertLineBefore(JobGroupUnit& job, int32_t unitIndex, uint32_t side);
// Inserts a new empty line right after `line`, in the row after `row` when
// that row has no line on the side, else in a new row right after `row`.
// Returns the new line; null (nothing done) when `line` is not a line of the
// side.
JobLineUnit* InsertLineAfter(JobGroupUnit& job, int32_t row, JobContentUnit* line, uint32_t side);
// Removes a line from the side and deletes it; its row goes when it held
// only this line, else it becomes a one-sided row of the other side. False
// when the unit is not a line of the side.
bool RemoveLine(JobGroupUnit& job, int32_t row, JobContentUnit* unit, uint32_t side);
// Inserts `count` new lines right after `line`, in order, as InsertLineAfter
// called for each in turn, after the line the one before made, would: the
// new lines take the rows after the line's row while those show only the
// other side, and the rest get one-sided rows of their own after the last
// row taken. Their texts are the ranges `pieces` of `source` (in the side's
// kind), the last one followed by `tail`; `widths`, unless null, are what
// the texts measure in the side's layout revision (-1: not known). Each
// list moves once. False (nothing done) when `line` is not a line of the
// side or stands in no row.
bool InsertLinesAfter(JobGroupUnit& job, int32_t row, JobContentUnit* line, uint32_t side, const RawString& source,
                      const RawRange* pieces, size_t count, const RawString& tail, const int32_t* widths = nullptr);
// Inserts new lines with the texts (each in the side's kind) so that line k
// ends up at index indexes[k], the indexes strictly ascending, as
// InsertLineBefore called for each in turn would (each new row goes right
// after the side's last line before it, taking that row when it holds no
// line of the side). The rows the new lines took (row flag 4) are given to
// `taken` in order (unless it is null: a caller that will walk every row
// needs no list of them), and `lastRow` receives the row of the last one. Each
// list moves once. False (nothing done) for an index outside the side or
// out of order, or when a line that a new one goes before stands in no row
// or out of the rows' order: InsertLineBefore then places each.
bool InsertLinesBefore(JobGroupUnit& job, uint32_t side, const std::vector<int32_t>& indexes,
                       const std::vector<RawString>& texts, std::vector<JobReportUnit*>* taken, int32_t& lastRow);
// Removes the side's lines at the given ascending indexes and deletes them,
// as RemoveLine would one by one: a row that held only such a line goes,
// one that shows the other side too keeps it alone. `row` is a hint, the
// row of the first line. The rows that held the lines are given to
// `touched` before any goes. Each list moves once. False (nothing done) for
// an index outside the side or out of order.
bool RemoveLines(JobGroupUnit& job, int32_t row, uint32_t side, const std::vector<int32_t>& indexes,
                 std::vector<JobReportUnit*>& touched);
// The row before which a row for a new line of the side, inserted before
// the line at `unitIndex` (or at the end for an index outside the side),
// goes.
int32_t InsertRowPosition(const JobGroupUnit& job, int32_t unitIndex, uint32_t side);
// Recomputes the rows marked edited (their kind and text detail), renumbers
// the sides whose numbering is pending and updates the job's flags.
void RefreshEditedRows(JobGroupUnit& job);
// The same for the rows given (those without the edited flag are left as
// they are), for an edit that knows the few rows it touched.
void RefreshEditedRows(JobGroupUnit& job, JobReportUnit* const* rows, size_t count);

}  // namespace JobLayer

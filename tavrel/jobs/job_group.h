// The compare job of one tab (JobGroupUnit), the list of all open jobs
// (JobGroupList), how a pair of paths becomes a job, and the extension table
// that tells text files from binary ones. Everything here runs on the GUI
// thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/profile.h"
#include "base/raw_list.h"
#include "base/raw_string.h"
#include "tavrel/jobs/job_content.h"
#include "tavrel/jobs/job_kind.h"
#include "tavrel/jobs/job_report.h"
#include "tavrel/jobs/pair_line.h"
#include "toolkit/ime_control.h"

namespace JobLayer {

using RawLayer::ProfileFileRef;
using RawLayer::RawParameterList;
using RawLayer::RawString;

class JobKindControl;
class JobKindServer;

// The job flag word.
enum : uint16_t {
    JobSame = 1,             // every row of the job is of kind 0
    JobChanged = 2,          // a side is edited and not saved
    JobLayoutStale = 4,      // the kind's view settings changed
    JobComparing = 16,       // the folder kind is loading and comparing
    JobTabStateChanged = 32, // the tab's state mark must be redrawn
    JobClosed = 64           // to be destroyed by PurgeClosed
};

// A composition text of the input method: the text, its clauses and one
// attribute byte per UTF-16 unit, the record the window toolkit reads.
using JobCompositionText = WinLayer::AttributedText;

// Anchor and cursor of a side as an ordered range.
struct JobSelectionRange {
    int32_t startRow;
    int32_t startColumn;
    int32_t endRow;
    int32_t endColumn;
};

// The state of one side of a job, owned by the job.
class JobSideRecord {
public:
    explicit JobSideRecord(uint32_t index = 0, const JobKindType& jobKind = JobKindType());
    ~JobSideRecord();
    JobSideRecord(const JobSideRecord&) = delete;
    JobSideRecord& operator=(const JobSideRecord&) = delete;

    // Columns of a side by the job's kind: path 3, text 2, binary 3, none 0.
    static uint32_t ColumnCountOf(uint32_t kind);
    // Replaces the kind data (the old one is deleted).
    void SetKindData(JobColumnControl::KindData* data) { kindData.reset(data); }

    uint32_t sideIndex;             // 0 side 1, 1 side 2
    uint32_t focusSide = 2;         // selection painted only when equal to sideIndex
    uint32_t columnCount;
    int32_t measuredWidth[3] = {0, 0, 0};
    int32_t layoutWidth[3] = {0, 0, 0};
    int32_t totalWidth = 0;
    int32_t lastColumnWidth = 0;        // after the latest layout
    int32_t lastColumnWidthBefore = 0;  // before it
    // Binary sides, after a layout: the width the hex and character columns
    // show (their widths plus the box's spare width, at least 0), and their
    // two widths.
    int32_t visibleTextWidth = 0;
    int32_t textColumnsWidth = 0;
    uint32_t wordBeforeAnchor = 0;
    int32_t anchorRow = -1;
    int32_t anchorColumn = -1;
    int32_t cursorRow = -1;
    int32_t cursorColumn = -1;
    int32_t preferredX = -1;
    // Binary sides: 1 while the first hex digit of a byte, typed at the
    // caret, waits for the second; 0 otherwise.
    uint32_t pendingHalfByte = 0;
    int32_t scrollX = 0;            // horizontal scroll offset in pixels
    // Binary sides: typing and pasting insert (1) or overwrite (0).
    uint8_t insertMode = 0;
    // Binary sides: the encoding kind of the character column.
    uint32_t encodingKind = 2;
    RawString encodingText;         // display name of the side file's encoding
    // Binary sides: the column that takes typing and clicks (1 hex, 2
    // characters), and where the column title shows the encoding text (box
    // window coordinates; set by the box's drawing code).
    uint32_t activeColumn = 1;
    RECT encodingRect = {0, 0, 0, 0};
    uint8_t viewState[17] = {};
    uint32_t viewMode = 7;
    uint16_t imeState = 0;          // bit 1: a composition is under way
    uint32_t lastWord = 0;
    // The input method's last record: what it read (1 composition, 2 its
    // reading, 4 result, 8 its reading), then the main and reading texts.
    uint16_t compositionContents = 0;
    JobCompositionText composition[2];
    JobKindType kind;               // the side's kind
    std::unique_ptr<JobColumnControl::KindData> kindData;  // null until loaded
};

// The rows an edit changed since the compare box last took a job's rows:
// those from `first` up to the row count less `tail`; the rows before and
// after are the same rows as then, unchanged. Known only while every
// change since noted its place (the text edits do); a refresh that follows
// an edit (`fromEdit`) may then take the changed rows only.
struct JobRowChanges {
    bool known = false;
    bool fromEdit = false;
    int32_t first = 0;
    int32_t tail = 0;
    // The box took all `count` rows: none changed since.
    void Reset(int32_t count) {
        known = true;
        fromEdit = false;
        first = tail = count;
    }
    void Forget() {
        known = false;
        fromEdit = false;
    }
    // Rows [at, at + removed) of `count` gave way to others (or changed in
    // place, removed as many as came).
    void Note(int32_t at, int32_t removed, int32_t count) {
        if (at < first) first = at < 0 ? 0 : at;
        const int32_t after = count - at - removed;
        if (after < tail) tail = after < 0 ? 0 : after;
    }
};

// The compare job of one tab.
struct JobGroupUnit {
    // Construct: kind, controller, both side records by the kind, flags 0,
    // no rows, no parent, empty content lists, use count 0, current row -1,
    // status mask 15, the three edit bytes 0.
    JobGroupUnit(const JobKindType& kindType, JobKindControl* control);
    ~JobGroupUnit();
    JobGroupUnit(const JobGroupUnit&) = delete;
    JobGroupUnit& operator=(const JobGroupUnit&) = delete;

    JobSideRecord& Side(uint32_t index) { return index == 0 ? side1 : side2; }
    JobContentList& Content(uint32_t index) { return index == 0 ? content1 : content2; }
    const JobContentList& Content(uint32_t index) const { return index == 0 ? content1 : content2; }
    const RawString& Path(uint32_t index) const { return Content(index).path; }
    bool IsClosed() const { return (flags & JobClosed) != 0; }

    JobKindType kind;
    JobKindControl* controller;  // stateless, not owned
    JobSideRecord side1;
    JobSideRecord side2;
    uint16_t flags;
    JobReportList rows;
    JobGroupUnit* parent;        // the job of the two parent folders; not owned
    JobContentList content1;
    JobContentList content2;
    int32_t useCount;            // how many tabs hold the job
    int32_t currentRow;
    uint16_t statusMask;         // the result filter
    JobRowChanges rowChanges;    // since the compare box took the rows
    JobEditFlags edit;           // "Simple", "Edit1", "Edit2"
    // Unique for the life of the process: a key that no later job shares,
    // even one made at the address of a freed job.
    const uint64_t serial;

    // ---- job tree -------------------------------------------------------------
    // Makes `parent` the job's parent unless that would close a cycle (the
    // job itself, or one of its descendants); false (nothing changed) then.
    static bool LinkParent(JobGroupUnit* job, JobGroupUnit* parent);
    // Whether `ancestor` stands on the parent chain of `job`.
    static bool IsAncestor(const JobGroupUnit* ancestor, const JobGroupUnit* job);
    // The job of a sub-folder pair during a folder compare (found or
    // opened in the list of all jobs); its parent becomes `parent`.
    static JobGroupUnit* ChildJob(JobGroupUnit* parent, const RawString& entry1,
                                  const RawString& entry2, bool compareNow);

    // ---- flag word --------------------------------------------------------------
    // Sets bit 32 and the Same bit, updates the parent's row of this job, and
    // re-evaluates the parent (and so on up) unless the parent is comparing.
    static void SetSame(JobGroupUnit* job, bool same);
    // Bit 2 from the sides' changed flags, then SetSame from the rows.
    static void RecheckFromRows(JobGroupUnit* job);
    // Bit 2 and the Same bit from the rows, bit 32 set, without touching the
    // parent; returns the flag word as it was, without bit 1.
    static uint16_t UpdateSideFlag(JobGroupUnit* job);
    // The parent's row that stands for this job gets a new kind from the
    // parent's controller and empty detail lists.
    static void UpdateParentRow(JobGroupUnit* job);
    // Whether every row is of kind 0 (an empty list counts as same).
    static bool AllRowsSame(const JobGroupUnit* job);

    // ---- paths, selection and row/unit mapping ---------------------------------------
    // entryPath when not empty, else the side's path joined with the name
    // part of `name`.
    static RawString EntryPath(const JobGroupUnit* job, uint32_t side, const RawString& entryPath,
                               const RawString& name);
    static JobSelectionRange SelectionRange(const JobGroupUnit* job, uint32_t side);
    static JobSelectionRange SelectionUnits(const JobGroupUnit* job, uint32_t side,
                                            const JobSelectionRange& range);
    static int32_t UnitOfRow(const JobGroupUnit* job, uint32_t side, int32_t row);
    // The row that shows a unit of the side (or the side's unit at an
    // index), searched near `hint` first; -1 when no row does.
    static int32_t RowOfUnit(const JobGroupUnit* job, uint32_t side, const JobContentUnit* unit, int32_t hint = 0);
    static int32_t RowOfUnit(const JobGroupUnit* job, uint32_t side, int32_t index, int32_t hint = 0);
    static int32_t NextRealRow(const JobGroupUnit* job, uint32_t side, int32_t row, bool skipStart);
    static int32_t PrevRealRow(const JobGroupUnit* job, uint32_t side, int32_t row, bool skipStart);
};

class JobGroupListAllocator : public RawLayer::RawListDeleteAllocator<JobGroupUnit> {};

// The list of all open jobs, in order of creation.
class JobGroupList : public RawLayer::RawListR<JobGroupListAllocator, JobGroupUnit> {
public:
    // The process-wide list, built on first use and destroyed at exit.
    static JobGroupList& Instance();

    JobGroupList();
    // Destroys every remaining job and the extra job.
    ~JobGroupList() override;
    JobGroupList(const JobGroupList&) = delete;
    JobGroupList& operator=(const JobGroupList&) = delete;

    // The factory of the kind controllers (set once by start-up).
    void SetKindPool(JobKindServer* pool) { kindPool_ = pool; }
    JobKindServer* KindPool() const { return kindPool_; }
    // A job the list deletes together with itself.
    void SetExtraJob(JobGroupUnit* job);
    JobGroupUnit* ExtraJob() const { return extraJob_; }

    // A new job of the kind, appended at the end. A kind whose controller is
    // not available from the pool becomes a job of kind 3 (none).
    JobGroupUnit* CreateUnit(const JobKindType& kindType);
    // A new job for two paths, loaded and compared.
    JobGroupUnit* OpenPair(const RawString& path1, const RawString& path2);
    // An open job of the two paths (without reloading it; its parent is
    // linked to an open job of the two folders), else OpenPair, reporting
    // given paths that name nothing and sides of different kinds. This is
    // where the user's paths enter (command line, pair lines, group files,
    // dropped and typed paths): each is taken in its long form
    // (RawLayer::LongPathForm), so a save, a backup or a restore writes the
    // file under its own name and the tab shows that name.
    JobGroupUnit* FindOrOpenPair(const RawString& path1, const RawString& path2);
    // The oldest job, not closed, whose paths equal the two (ASCII case
    // ignored); null when none. Served from an index keyed by the folded
    // path pair, so a folder compare that looks up every entry stays linear.
    // A job is indexed by the paths it has at the first lookup after its
    // creation; code that changes the paths of a job afterwards calls
    // Reindex.
    JobGroupUnit* FindByPaths(const RawString& path1, const RawString& path2) const;
    // Indexes the job again under its current paths.
    void Reindex(JobGroupUnit* job);
    // A tab lets the job go.
    void CloseJob(JobGroupUnit* job);
    // Destroys every closed job.
    void PurgeClosed();
    // Cuts the job's children loose; those shown nowhere are closed too,
    // with their own children.
    void DetachChildren(JobGroupUnit* job);

    // The kind of one side: 3 for an empty or missing path, 0 for a folder,
    // else the extension table's kind.
    static uint32_t SideKind(const RawString& path);

private:
    struct IndexEntry {
        uint64_t serial;  // order of creation
        JobGroupUnit* job;
    };
    void IndexPending() const;
    void Unindex(const JobGroupUnit* job) const;
    static std::wstring PathKey(const RawString& path1, const RawString& path2);

    JobKindServer* kindPool_ = nullptr;
    JobGroupUnit* extraJob_ = nullptr;
    uint64_t nextSerial_ = 0;
    // Jobs created and not yet indexed (their paths are set after creation).
    mutable std::vector<IndexEntry> pending_;
    mutable std::unordered_map<std::wstring, std::vector<IndexEntry>> index_;
    mutable std::unordered_map<const JobGroupUnit*, std::wstring> keyOf_;
};

// The extension table: section "Extension" of the configuration, keys the
// extensions (without the dot), values "Text" or "Binary".
class ExtensionKindTable {
public:
    // The process-wide table (the job environment's).
    static ExtensionKindTable& Shared();

    ExtensionKindTable();

    // Reads the section from the configuration file; an empty section is
    // filled with the defaults and written back.
    void Load(const ProfileFileRef& configuration);
    // 1 (text) when the path's extension is listed as "Text", else 2.
    uint32_t KindOfPath(const RawString& path) const;
    // Sets the kind of the path's extension and writes the section back.
    // False when the path has no extension or the section could not be
    // written.
    bool SetKind(const RawString& path, uint32_t kind);

    const RawParameterList& Table() const { return table_; }

    // The extension of the path's name, ASCII letters folded to lower case;
    // empty when there is none.
    static RawString LowerExtension(const RawString& path);

private:
    RawParameterList table_;
    ProfileFileRef file_;
};

// The result filter text of the job's kind: "PathOption", "TextOption",
// "BinaryOption" (empty for kind 3); "*" stands for
// "Same,Different,Only1,Only2".
RawString KindPairFilter(const JobGroupUnit* job);

}  // namespace JobLayer

// The units of a side (folder entries, text lines, binary rows) and the list
// that holds them, with the small interfaces that every kind's side data
// shares. Drawing takes plain GDI values (HDC, RECT) so that the jobs do not
// depend on the window toolkit.
#pragma once

#include <windows.h>

#include <climits>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/raw_array_list.h"
#include "base/raw_list.h"
#include "base/raw_string.h"
#include "base/small_block.h"

namespace JobLayer {

using RawLayer::RawString;

class JobDetailList;
class JobSideRecord;
struct JobReportUnit;

// Unit flags of every JobContentUnit; kinds add further bits.
enum : uint16_t {
    UnitPlaceholder = 1,   // stands for a missing side
    UnitHeader = 2,        // carries the column titles
    UnitTitlesFilled = 4,  // the header's titles are filled
    UnitPlaced = 8         // placed during a compare
};

// Content flags of a side's content list.
enum : uint16_t {
    ContentChanged = 1,       // edited and not saved
    ContentByteOrderMark = 2, // the file began with a byte-order mark
    ContentRead = 4,          // the file was opened and read
    ContentNumbering = 8,     // line numbering pending (inside a load)
    ContentNoFile = 16,       // empty path, or a path that does not exist
    ContentCut = 32,          // cut at the loading limit
    ContentUnreadable = 64,   // open failed, or a folder where a file was expected
    ContentKeepMask = 0xF000  // bits that survive a reload
};

// The file facts of a unit: last-write time as local time, then as the file
// system gives it (UTC).
struct JobFileInfo {
    SYSTEMTIME localTime;
    FILETIME writeTime;
};

// What the drawing and hit-testing operations of a unit need to know about
// the place they work in.
struct JobDrawContext {
    HDC dc = nullptr;
    RECT rect = {0, 0, 0, 0};               // the row's rectangle on this side
    JobSideRecord* side = nullptr;          // the side's record (widths, scroll, focus)
    int32_t row = -1;                       // the display row
    int32_t margin = 0;                     // left and right margin of a cell
    const JobReportUnit* report = nullptr;  // the row, with its detail lists
    bool hideFirstColumn = false;
};

// Side kind data and the drawing-position source of a row.
class JobColumnControl {
public:
    // Base of a side's kind data (owned by the side record).
    class KindData {
    public:
        virtual ~KindData() {}
        // Lets the data recompute its drawing metrics for a device context.
        virtual void UpdateMetrics(HDC dc, int32_t rowHeight, int32_t width);
    };
};

class JobDetailColumn {
public:
    // Gives the x offset of a character index inside a drawn text.
    class Viewer {
    public:
        virtual ~Viewer() {}
        virtual int32_t PositionX(int32_t index) const = 0;
        // The x stretches, left to right, over the glyphs of the characters
        // [from, to): by default the one from PositionX(from) to
        // PositionX(to); text the platform reorders may need several.
        virtual void Cells(int32_t from, int32_t to, std::vector<std::pair<int32_t, int32_t>>& cells) const {
            cells.clear();
            const int32_t left = PositionX(from), right = PositionX(to);
            if (right > left) cells.emplace_back(left, right);
        }
    };
};

// Base of every unit of a side. Fields: the unit flags, then three words
// that the kinds use (for text lines and folder entries: mark kind, mark
// serial, match id).
class JobContentUnit : public RawLayer::SmallBlockObject {
public:
    JobContentUnit() : flags(0), markKind(0), markSerial(0), matchId(0) {}
    explicit JobContentUnit(uint16_t unitFlags)
        : flags(unitFlags), markKind(0), markSerial(0), matchId(0) {}
    virtual ~JobContentUnit() {}
    JobContentUnit(const JobContentUnit&) = delete;
    JobContentUnit& operator=(const JobContentUnit&) = delete;

    bool IsPlaceholder() const { return (flags & UnitPlaceholder) != 0; }
    bool IsHeader() const { return (flags & UnitHeader) != 0; }

    // 1: the entry's path or the line's text; empty here.
    virtual RawString Name() const;
    // 2: the kind of the entry; 3 (none) here.
    virtual uint32_t EntryKind() const;
    // 3: re-derives the kind from the disk; true when it changed.
    virtual bool UpdateKind();
    // 4: the file facts; a shared zero record here.
    virtual const JobFileInfo& FileInfo() const;
    // 5: the text of a column; empty here.
    virtual RawString ColumnText(int32_t column) const;
    // 6: the unit's text; empty here.
    virtual RawString Text() const;
    // 7: lays the measured column widths out over an area.
    virtual void LayoutColumns(JobSideRecord& side, const RECT& area, bool hideFirstColumn);
    // 8-10: raise the side's measured column widths.
    virtual void MeasureColumns(JobSideRecord& side, HDC dc, int32_t margin);
    virtual void MeasureContent(JobSideRecord& side, HDC dc, int32_t margin);
    virtual void MeasureFirstColumn(JobSideRecord& side, HDC dc, int32_t margin);
    // 11: draws the unit into its row.
    virtual void Draw(const JobDrawContext& context);
    // 12: the index moved onto a character boundary; the index here.
    virtual int32_t FitCharIndex(int32_t index) const;
    // 13: the column under a device x; 3 (no column) here.
    virtual uint32_t ColumnAtX(const JobDrawContext& context, int32_t x) const;
    // 14: the character index under a device x; -1 here.
    virtual int32_t CharIndexAtX(const JobDrawContext& context, int32_t x) const;
    // 15: the caret rectangle before a character; empty here.
    virtual RECT CaretRect(const JobDrawContext& context, int32_t index) const;
    // 16: the rectangle of the text area; empty here.
    virtual RECT TextAreaRect(const JobDrawContext& context) const;
    // 17: computes the x positions of the characters.
    virtual void LayoutCharPositions(JobSideRecord& side, HDC dc);
    // 18: the middle x of a character; -1 here.
    virtual int32_t CharMidX(int32_t index) const;
    // 19: the character index at an x offset; -1 here.
    virtual int32_t CharIndexAtOffset(int32_t x) const;
    // 20, 21: the last and the end column; -1 here.
    virtual int32_t LastColumn() const;
    virtual int32_t EndColumn() const;
    // 22: the next column after an index; the index here.
    virtual int32_t NextColumn(int32_t index) const;
    // 23: switches the side's active column; false here.
    virtual bool ToggleColumn(JobSideRecord& side);
    // 24: sets the unit's number.
    virtual void SetNumber(int32_t number);
    // 25: deletes the unit through its destructor; shared static units do
    // nothing.
    virtual void Destroy() = 0;
    // 26: the detail segments of a column (0-2) of a changed row of this
    // unit (side 1) and `other` (side 2), for a kind whose rows do not keep
    // them because they follow from the two units alone; appended to `out`.
    // False here: the row keeps its own.
    virtual bool RowDetail(const JobContentUnit& other, int32_t column, JobDetailList& out) const;

    uint16_t flags;
    uint16_t markKind;
    uint32_t markSerial;
    uint32_t matchId;
};

// Whether a unit is a real one: there, and not a placeholder.
inline bool IsRealUnit(const JobContentUnit* unit) { return unit && !unit->IsPlaceholder(); }

// The header unit of every content list until a kind sets its own: one
// function-local static whose flag word is 2.
class JobNullHeaderUnit : public JobContentUnit {
public:
    static JobNullHeaderUnit& Shared();
    void Destroy() override {}

private:
    JobNullHeaderUnit() : JobContentUnit(UnitHeader) {}
};

// The allocator of a content list: a unit leaves through its Destroy.
class JobContentListAllocator : public RawLayer::RawListAllocator<JobContentUnit> {
public:
    void DeleteUnit(JobContentUnit* unit) override {
        if (unit) unit->Destroy();
    }
};

// While it stands, whole sides of units are let go (a job that closes):
// nothing is measured against their units again, so they need not tell
// what they were measured at. GUI thread only, like the jobs.
class JobContentRelease {
public:
    JobContentRelease() { ++Depth(); }
    ~JobContentRelease() { --Depth(); }
    JobContentRelease(const JobContentRelease&) = delete;
    JobContentRelease& operator=(const JobContentRelease&) = delete;
    static bool Active() { return Depth() > 0; }

private:
    static int& Depth() {
        static int depth = 0;
        return depth;
    }
};

// The units of one side, with the side's path and file facts.
class JobContentList : public RawLayer::RawArrayListR<JobContentListAllocator, JobContentUnit> {
public:
    JobContentList() : header(&JobNullHeaderUnit::Shared()) {}
    JobContentList(const JobContentList&) = delete;
    JobContentList& operator=(const JobContentList&) = delete;

    // Empties the list and keeps only the content flags that survive a
    // reload.
    void ResetForLoad() {
        Clear();
        flags = static_cast<uint16_t>(flags & ContentKeepMask);
        renumberFrom = INT32_MAX;
    }
    // Lines came or went at an index: the lines from there on are to be
    // numbered again (those before keep their numbers).
    void NoteRenumberFrom(int32_t index) {
        flags = static_cast<uint16_t>(flags | ContentNumbering);
        if (index < renumberFrom) renumberFrom = index < 0 ? 0 : index;
    }

    uint16_t flags = 0;            // content flags
    int32_t renumberFrom = INT32_MAX;  // see NoteRenumberFrom; INT32_MAX: none noted
    RawString path;                // the side's path as given (empty when none)
    uint64_t fileSize = 0;         // as read by the loader
    uint32_t encodingKind = 2;     // of the side file (UTF-8 when none found)
    RawString lineEnd;             // the line end of the first line read
    JobContentUnit* header;        // the unit carrying the column titles (not owned)
};

// Fills entries 1 and 2 of a record of three texts with "[", the path
// kind's title of column 1 (or 2), and "] "; entry 0 is left as it is. The
// folder loader uses them for its detail texts.
void BuildSideTitles(RawString (&titles)[3]);

}  // namespace JobLayer

// The folder kind: a job of two folders. Each side is loaded into a sorted
// list of folder entries (JobPathUnit); the two lists are merged into result
// rows, pairing entries of equal names (ASCII letters folded) and entries the
// user connected. A pair of sub-folders is compared as a child job of its
// own, whose Same bit decides the pair's row.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"
#include "tavrel/jobs/job_content.h"
#include "tavrel/jobs/job_kind_control.h"

namespace JobLayer {

struct JobGroupUnit;

// Flags of a folder entry, beside the unit flags of every content unit
// (1 placeholder, 2 header, 8 placed).
enum : uint16_t {
    PathUnitMissing = 16,  // not found on disk when last read
    PathUnitLink = 32      // a junction or symbolic link: never walked into
};

// Mark kinds of a folder entry.
enum : uint16_t {
    PathMarkNone = 0,
    PathMarkConnected = 1
};

// The refresh code of the folder controller: everything is redrawn.
enum : uint32_t { PathFullRefresh = 0xFFEF };

// One entry of a folder side.
class JobPathUnit : public JobContentUnit {
public:
    JobPathUnit();
    ~JobPathUnit() override {}

    // The shared placeholder (flags 1, entry kind 3) of a missing side.
    static JobPathUnit& Placeholder();
    // The shared column-header entry (flags 2) with the path kind's column
    // titles, filled on first use.
    static JobPathUnit& Header();

    // 1: the full path.
    RawString Name() const override;
    // 2: 0 folder, 1 text file, 2 binary file, 3 none.
    uint32_t EntryKind() const override;
    // 3: the kind from the disk, tested on the full path; true when it
    // changed.
    bool UpdateKind() override;
    // 4: the local time, then the write time.
    const JobFileInfo& FileInfo() const override;
    // 5: 0 the name, 1 the size text, 2 the date text.
    RawString ColumnText(int32_t column) const override;
    // 6: the name.
    RawString Text() const override;
    // 7: the size and date columns take their measured widths (0 when
    // hidden), the name column the rest of the area (never below 0).
    void LayoutColumns(JobSideRecord& side, const RECT& area, bool hideDetailColumns) override;
    // 8: raises each column's width to its text's (the name after its
    // icon) plus twice the margin.
    void MeasureColumns(JobSideRecord& side, HDC dc, int32_t margin) override;
    // 11: the red fill of a replaced entry, the kind icon and name, the
    // right-aligned size and the date, a separator after each column.
    void Draw(const JobDrawContext& context) override;
    // 13: always column 0 (the folder view has no per-column cursor).
    uint32_t ColumnAtX(const JobDrawContext& context, int32_t x) const override;
    // 25: deletes the entry; the two shared entries stay.
    void Destroy() override;

    // Looks the full path up again on disk: not found sets flag 16; found
    // clears it and refreshes size and times. False when not found.
    bool Reread();
    // Fills the entry from a folder listing's current entry.
    void FillFromFind(const RawString& fullPathOfEntry, const RawString& entryName, DWORD attributes,
                      uint64_t entrySize, const FILETIME& entryTime);
    bool IsMissing() const { return (flags & (UnitPlaceholder | PathUnitMissing)) != 0; }
    bool IsLink() const { return (flags & PathUnitLink) != 0; }

    // "N KB": (size + 500) / 1000, but 1 for 1..499 bytes.
    static RawString SizeText(uint64_t size);

    int32_t entryKind;
    mutable RawString columns[3];
    RawString fullPath;
    RawString name;
    uint64_t size;
    mutable SYSTEMTIME localTime;
    FILETIME writeTime;
    mutable uint32_t timeState;  // 0 no time, 1 system time converted, 2 local time ready
    uint8_t firstBytes[4];

private:
    struct StaticTag {};
    JobPathUnit(StaticTag, uint16_t unitFlags);
    void SetTime(const FILETIME& time);
    void EnsureLocalTime() const;
    bool shared_;
    mutable JobFileInfo info_;
};

// The folder entry a unit is; null for a unit of another kind.
inline JobPathUnit* AsPathUnit(JobContentUnit* unit) { return dynamic_cast<JobPathUnit*>(unit); }
// The folder entry a unit is when it stands for a real entry (neither the
// placeholder nor a header); null otherwise.
inline JobPathUnit* RealEntry(JobContentUnit* unit) {
    if (!unit || (unit->flags & (UnitPlaceholder | UnitHeader))) return nullptr;
    return AsPathUnit(unit);
}

// The side data of a folder side: the detail texts and their measures.
class JobPathBaseData : public JobColumnControl::KindData {
public:
    JobPathBaseData();
    // Measures one tab (at the detail boxes' tab stops) and the two texts
    // in the context's font, and keeps the row height for the icons.
    void UpdateMetrics(HDC dc, int32_t rowHeight, int32_t width) override;
    RawString texts[2];
    int32_t tabWidth = 0;
    int32_t textWidth[2] = {0, 0};
    int32_t extent[2] = {0, 0};
    int32_t tabCount[2] = {0, 0};
    int32_t rowHeight = 0;    // of the folder box's rows, for the icon size
};

// The side data of a side of a folder job; null for other kinds or a side
// not loaded yet.
JobPathBaseData* PathBaseData(JobSideRecord& side);

// The command codes a folder side sends the main window (in the high word
// of WM_COMMAND, the box's control id in the low word): open the row's pair
// in a tab of its own, open the backup dialog.
enum : uint16_t {
    PathOpenChildTabCode = 4397,
    PathOpenBackupCode = 4387
};

// The text that command 12 copies: the full path of every entry of this
// side in the selected rows, each ended by CR LF (placeholders left out);
// empty when the cursor is not set.
RawString PathSelectionText(const JobGroupUnit& job, uint32_t side);

// Code units one by one, ASCII a-z folded to A-Z (nothing else folded; the
// trail bytes of double-byte characters are never folded); a prefix first.
int NameCompareNoCase(const RawString& a, const RawString& b);

// The sort order of a folder side: folders first, then names by
// NameCompareNoCase.
class JobContentLoadingSort : public RawLayer::RawListSortR<JobContentUnit> {
public:
    int CompareTyped(const JobContentUnit& a, const JobContentUnit& b) const override;
    static int CompareEntries(const JobPathUnit& a, const JobPathUnit& b);
};

// Merges the two sorted sides of a folder job into its rows; true when
// every row is same. With reloadChildren the open child jobs are reloaded.
bool ComparePathSides(JobGroupUnit& job, bool reloadChildren);

// The controller of the folder kind.
class JobPathControl : public JobKindControl {
public:
    static JobPathControl& Shared();

    uint32_t Load(JobGroupUnit& job, uint32_t mode) override;
    uint32_t Compare(JobGroupUnit& job) override;
    bool ConnectLines(JobGroupUnit& job, int32_t row, uint32_t side, uint32_t mode) override;
    bool DisconnectLines(JobGroupUnit& job) override;
    uint32_t PairStatus(JobGroupUnit& job, JobContentUnit* unit1, JobContentUnit* unit2) override;
    // 11, 12: the edit commands of a folder side (1, 2, 4, 5, 12, 14, 15,
    // 17-20, 22); any other is never enabled. 17 and 18 are enabled on every
    // side and give false when refused or when nothing was copied or
    // deleted.
    bool Execute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, uint32_t command,
                 ActionArgs& args) override;
    bool CanExecute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, uint32_t command) override;

    // Loads one side (0 or 1) into its content list.
    static void LoadSide(JobGroupUnit& job, uint32_t side);
    // A one-sided row is about to be made for `entry` on `side`: an open job
    // of the pair of paths it stands for becomes a child of `job`, reloaded
    // when `reload` is set.
    static void LinkOneSided(JobGroupUnit& job, uint32_t side, const JobPathUnit& entry, bool reload);
    // The next serial of the process-wide connection counter.
    static uint32_t NextMarkSerial();
};

}  // namespace JobLayer

#include "tavrel/jobs/folder/folder_kind.h"

#include <new>
#include <vector>

#include "base/date_time.h"
#include "base/file_system.h"
#include "base/profile.h"
#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/folder/folder_equal.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_report.h"
#include "tavrel/jobs/shell_commands.h"

namespace JobLayer {

using RawLayer::RawFileFind;

namespace {

RAW_CONSTANT_TEXT(KiloByteSuffixText, " KB")
RAW_CONSTANT_TEXT(DefaultTimeFormText, "%Y/%m/%d %H:%M:%S")

void AddRow(JobGroupUnit& job, uint32_t kind, JobContentUnit* unit1, JobContentUnit* unit2) {
    job.rows.Add(NewCompareRow(kind, unit1, unit2));
}

// The entries of a side in list order, for indexed walking.
std::vector<JobPathUnit*> EntriesOf(JobContentList& content) {
    std::vector<JobPathUnit*> entries;
    entries.reserve(static_cast<size_t>(content.Count()));
    for (JobContentUnit& unit : content) {
        JobPathUnit* entry = AsPathUnit(&unit);
        if (entry) entries.push_back(entry);
    }
    return entries;
}

// The first unplaced entry at or after `from` with the serial, or -1.
int32_t FindPartner(const std::vector<JobPathUnit*>& entries, size_t from, uint32_t serial) {
    for (size_t i = from; i < entries.size(); ++i) {
        const JobPathUnit* e = entries[i];
        if (!(e->flags & UnitPlaced) && e->markKind == PathMarkConnected && e->markSerial == serial)
            return static_cast<int32_t>(i);
    }
    return -1;
}

// Clears the marks of every entry of both sides that shares `serial`.
void RemoveConnection(JobGroupUnit& job, uint32_t serial) {
    for (uint32_t side = 0; side < 2; ++side) {
        for (JobContentUnit& unit : job.Content(side)) {
            if (unit.markKind == PathMarkConnected && unit.markSerial == serial) {
                unit.markKind = PathMarkNone;
                unit.markSerial = 0;
            }
        }
    }
}

// Both times of the merge and the compare: the job's Same bit from the
// merge, with changes of child jobs held back while it runs.
void RunMerge(JobGroupUnit& job, bool reloadChildren) {
    job.flags = static_cast<uint16_t>(job.flags | JobComparing);
    try {
        bool same = ComparePathSides(job, reloadChildren);
        JobGroupUnit::SetSame(&job, same);
    } catch (const std::bad_alloc&) {
        DropRowsOutOfMemory(job);
    }
    job.flags = static_cast<uint16_t>(job.flags & ~JobComparing);
}

uint32_t FoldAscii(uint32_t unit) { return (unit >= 'a' && unit <= 'z') ? unit - ('a' - 'A') : unit; }

// Kinds whose trail units may fall into the ASCII range (Shift_JIS, and
// the ANSI code page where it is double-byte).
bool HasAsciiTrailUnits(uint8_t kind) { return kind == RawLayer::KindSjis || kind == 0; }

}  // namespace

// ---------------------------------------------------------------------------
// Folder entry
// ---------------------------------------------------------------------------

JobPathUnit::JobPathUnit()
    : entryKind(KindNone), size(0), localTime(), writeTime(), timeState(0), firstBytes(),
      shared_(false), info_() {}

JobPathUnit::JobPathUnit(StaticTag, uint16_t unitFlags) : JobPathUnit() {
    flags = unitFlags;
    shared_ = true;
}

JobPathUnit& JobPathUnit::Placeholder() {
    static JobPathUnit unit(StaticTag(), UnitPlaceholder);
    return unit;
}

JobPathUnit& JobPathUnit::Header() {
    static JobPathUnit unit(StaticTag(), UnitHeader);
    if (!(unit.flags & UnitTitlesFilled)) {
        for (int column = 0; column < 3; ++column)
            unit.columns[column] = ColumnTitles(KindPath, column);
        unit.flags = static_cast<uint16_t>(unit.flags | UnitTitlesFilled);
    }
    return unit;
}

RawString JobPathUnit::Name() const { return fullPath; }
uint32_t JobPathUnit::EntryKind() const { return static_cast<uint32_t>(entryKind); }

bool JobPathUnit::UpdateKind() {
    if (shared_) return false;
    int32_t before = entryKind;
    DWORD attributes =
        fullPath.IsEmpty() ? INVALID_FILE_ATTRIBUTES : RawLayer::ApiGetFileAttributes(fullPath);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        entryKind = KindNone;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        entryKind = KindPath;
    } else {
        entryKind = static_cast<int32_t>(ExtensionKindTable::Shared().KindOfPath(fullPath));
    }
    bool link = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    flags = static_cast<uint16_t>(link ? (flags | PathUnitLink) : (flags & ~PathUnitLink));
    return entryKind != before;
}

void JobPathUnit::EnsureLocalTime() const {
    if (timeState >= 2) return;
    SYSTEMTIME utc = {};
    if (!FileTimeToSystemTime(&writeTime, &utc)) return;
    localTime = utc;
    timeState = 1;
    TIME_ZONE_INFORMATION zone = RawLayer::TimeZoneInfo();
    SYSTEMTIME local = {};
    if (SystemTimeToTzSpecificLocalTime(&zone, &utc, &local)) {
        localTime = local;
        timeState = 2;
    }
}

const JobFileInfo& JobPathUnit::FileInfo() const {
    if (!shared_) EnsureLocalTime();
    info_.localTime = localTime;
    info_.writeTime = writeTime;
    return info_;
}

RawString JobPathUnit::ColumnText(int32_t column) const {
    if (column < 0 || column > 2) return RawString();
    // The date text is made when it is first shown: most entries of a large
    // tree are never drawn.
    if (column == 2 && columns[2].IsEmpty() && !shared_) {
        EnsureLocalTime();
        if (timeState >= 1) {
            RawString form = ConfigStore::Instance().timeForm;
            if (form.IsEmpty()) form = DefaultTimeFormText();
            columns[2] = RawLayer::FormatSystemTime(form, localTime);
        }
    }
    return columns[column];
}

RawString JobPathUnit::Text() const { return columns[0]; }
uint32_t JobPathUnit::ColumnAtX(const JobDrawContext&, int32_t) const { return 0; }

void JobPathUnit::Destroy() {
    if (!shared_) delete this;
}

RawString JobPathUnit::SizeText(uint64_t bytes) {
    uint64_t kilo = (bytes >= 1 && bytes <= 499) ? 1 : (bytes + 500) / 1000;
    RawString text;
    text.AppendUnsigned(kilo, 10);
    text.Append(KiloByteSuffixText());
    return text;
}

void JobPathUnit::SetTime(const FILETIME& time) {
    writeTime = time;
    timeState = 0;
    columns[2] = RawString();
}

void JobPathUnit::FillFromFind(const RawString& fullPathOfEntry, const RawString& entryName,
                               DWORD attributes, uint64_t entrySize, const FILETIME& entryTime) {
    name = entryName;
    columns[0] = entryName;
    fullPath = fullPathOfEntry;
    size = entrySize;
    columns[1] = SizeText(entrySize);
    SetTime(entryTime);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        entryKind = KindPath;
        // A junction or symbolic link to a folder is listed, but never walked
        // into: it may lead back up the tree, or anywhere.
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            flags = static_cast<uint16_t>(flags | PathUnitLink);
    } else {
        entryKind = static_cast<int32_t>(ExtensionKindTable::Shared().KindOfPath(entryName));
    }
}

bool JobPathUnit::Reread() {
    if (shared_) return false;
    RawFileFind find;
    if (!RawLayer::FindPathEntry(find, fullPath)) {
        flags = static_cast<uint16_t>(flags | PathUnitMissing);
        return false;
    }
    flags = static_cast<uint16_t>(flags & ~PathUnitMissing);
    size = find.Size();
    columns[1] = SizeText(size);
    SetTime(find.WriteTime());
    return true;
}

JobPathBaseData::JobPathBaseData() {
    RawString titles[3];
    BuildSideTitles(titles);
    texts[0] = titles[1];
    texts[1] = titles[2];
}

// ---------------------------------------------------------------------------
// Sort order
// ---------------------------------------------------------------------------

int NameCompareNoCase(const RawString& a, const RawString& b) {
    if (a.Kind() != b.Kind()) {
        bool ok = true;
        RawString converted = b.As(a.Kind(), &ok);
        if (ok) return NameCompareNoCase(a, converted);
        RawString wideA = a.As(RawLayer::KindUtf16);
        RawString wideB = b.As(RawLayer::KindUtf16);
        return NameCompareNoCase(wideA, wideB);
    }
    bool trails = HasAsciiTrailUnits(a.Kind());
    int32_t lengthA = a.Length();
    int32_t lengthB = b.Length();
    int32_t i = 0;
    while (i < lengthA && i < lengthB) {
        // A double-byte character is compared exactly: its trail byte may
        // look like an ASCII letter, but folding it would make two unlike
        // characters equal.
        int32_t trail = trails ? a.TrailUnits(i) : 0;
        uint32_t ua = FoldAscii(a.UnitAt(i));
        uint32_t ub = FoldAscii(b.UnitAt(i));
        if (ua != ub) return ua < ub ? -1 : 1;
        for (int32_t k = 1; k <= trail; ++k) {
            if (i + k >= lengthA || i + k >= lengthB) break;
            uint32_t ta = a.UnitAt(i + k);
            uint32_t tb = b.UnitAt(i + k);
            if (ta != tb) return ta < tb ? -1 : 1;
        }
        i += 1 + trail;
    }
    if (lengthA == lengthB) return 0;
    return lengthA < lengthB ? -1 : 1;
}

int JobContentLoadingSort::CompareEntries(const JobPathUnit& a, const JobPathUnit& b) {
    bool folderA = a.entryKind == static_cast<int32_t>(KindPath);
    bool folderB = b.entryKind == static_cast<int32_t>(KindPath);
    if (folderA != folderB) return folderA ? -1 : 1;
    return NameCompareNoCase(a.name, b.name);
}

int JobContentLoadingSort::CompareTyped(const JobContentUnit& a, const JobContentUnit& b) const {
    const JobPathUnit* pa = dynamic_cast<const JobPathUnit*>(&a);
    const JobPathUnit* pb = dynamic_cast<const JobPathUnit*>(&b);
    if (!pa || !pb) return pa ? -1 : (pb ? 1 : 0);
    return CompareEntries(*pa, *pb);
}

// ---------------------------------------------------------------------------
// Merge
// ---------------------------------------------------------------------------

bool ComparePathSides(JobGroupUnit& job, bool reloadChildren) {
    job.rows.Clear();
    bool allSame = true;
    std::vector<JobPathUnit*> side1 = EntriesOf(job.content1);
    std::vector<JobPathUnit*> side2 = EntriesOf(job.content2);
    for (JobPathUnit* e : side1) e->flags = static_cast<uint16_t>(e->flags & ~UnitPlaced);
    for (JobPathUnit* e : side2) e->flags = static_cast<uint16_t>(e->flags & ~UnitPlaced);
    JobPathUnit* placeholder = &JobPathUnit::Placeholder();

    auto place = [](JobPathUnit* e) { e->flags = static_cast<uint16_t>(e->flags | UnitPlaced); };
    auto pair = [&](JobPathUnit* e1, JobPathUnit* e2) {
        place(e1);
        place(e2);
        uint32_t kind = PathPairEqual(job, reloadChildren, *e1, *e2) ? RowSame : RowChanged;
        if (kind != RowSame) allSame = false;
        AddRow(job, kind, e1, e2);
    };
    auto onlyOne = [&](uint32_t side, JobPathUnit* e) {
        place(e);
        JobPathControl::LinkOneSided(job, side, *e, reloadChildren);
        allSame = false;
        if (side == 0)
            AddRow(job, RowOnly1, e, placeholder);
        else
            AddRow(job, RowOnly2, placeholder, e);
    };

    size_t i = 0;
    size_t j = 0;
    // Every pass places an entry or moves a cursor, so the walk ends.
    while (i < side1.size() && j < side2.size()) {
        JobPathUnit* e1 = side1[i];
        JobPathUnit* e2 = side2[j];
        if (e1->flags & UnitPlaced) {
            ++i;
            continue;
        }
        if (e2->flags & UnitPlaced) {
            ++j;
            continue;
        }
        if (e1->markKind == PathMarkConnected) {
            int32_t k = FindPartner(side2, j, e1->markSerial);
            if (k >= 0) {
                pair(e1, side2[static_cast<size_t>(k)]);
                ++i;
                continue;
            }
        }
        if (e2->markKind == PathMarkConnected) {
            int32_t k = FindPartner(side1, i, e2->markSerial);
            if (k >= 0) {
                pair(side1[static_cast<size_t>(k)], e2);
                ++j;
                continue;
            }
        }
        int order = JobContentLoadingSort::CompareEntries(*e1, *e2);
        if (order < 0) {
            onlyOne(0, e1);
            ++i;
        } else if (order > 0) {
            onlyOne(1, e2);
            ++j;
        } else {
            pair(e1, e2);
            ++i;
            ++j;
        }
    }
    for (; i < side1.size(); ++i)
        if (!(side1[i]->flags & UnitPlaced)) onlyOne(0, side1[i]);
    for (; j < side2.size(); ++j)
        if (!(side2[j]->flags & UnitPlaced)) onlyOne(1, side2[j]);
    return allSame;
}

// ---------------------------------------------------------------------------
// Controller
// ---------------------------------------------------------------------------

JobPathControl& JobPathControl::Shared() {
    static JobPathControl control;
    return control;
}

uint32_t JobPathControl::NextMarkSerial() {
    static uint32_t serial = 0;
    if (++serial == 0) ++serial;
    return serial;
}

void JobPathControl::LoadSide(JobGroupUnit& job, uint32_t side) {
    JobSideRecord& record = job.Side(side);
    if (!dynamic_cast<JobPathBaseData*>(record.kindData.get())) record.SetKindData(new JobPathBaseData());
    JobContentList& content = job.Content(side);
    content.ResetForLoad();
    content.header = &JobPathUnit::Header();
    content.flags = static_cast<uint16_t>(content.flags & ~ContentRead);
    const RawString& path = content.path;
    DWORD attributes = path.IsEmpty() ? INVALID_FILE_ATTRIBUTES : RawLayer::ApiGetFileAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        content.flags = static_cast<uint16_t>(content.flags | ContentNoFile);
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ReportError(DifferentKindErrorText(), path);
        content.flags = static_cast<uint16_t>(content.flags | ContentUnreadable);
        return;
    }
    content.flags = static_cast<uint16_t>(content.flags | ContentRead);

    RawFileFind find;
    find.Start(path);
    bool seenAny = false;
    DWORD error = ERROR_SUCCESS;
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        if (!find.Next(0)) {
            error = GetLastError();
            break;
        }
        seenAny = true;
        const RawString& name = find.Name();
        if (name.EqualsAscii(".") || name.EqualsAscii("..")) continue;
        JobPathUnit* entry = new JobPathUnit();
        entry->FillFromFind(find.FullPath(), name, find.Attributes(), find.Size(), find.WriteTime());
        content.Add(entry);
    }
    // An empty listing and the normal end of one are told apart from a
    // folder that cannot be listed: such a side is not an empty folder.
    bool normalEnd = error == ERROR_NO_MORE_FILES || error == ERROR_SUCCESS ||
                     (!seenAny && error == ERROR_FILE_NOT_FOUND);
    if (!normalEnd) {
        content.Clear();
        content.flags = static_cast<uint16_t>((content.flags & ~ContentRead) | ContentUnreadable);
        ReportError(ReadOpenErrorText(), path);
        return;
    }
    JobContentLoadingSort order;
    content.Sort(order);
}

void JobPathControl::LinkOneSided(JobGroupUnit& job, uint32_t side, const JobPathUnit& entry,
                                  bool reload) {
    uint32_t other = side == 0 ? 1 : 0;
    RawString paths[2];
    paths[side] = entry.fullPath;
    paths[other] = RawLayer::PathJoin(job.Path(other), entry.name);
    JobGroupUnit* found = JobGroupList::Instance().FindByPaths(paths[0], paths[1]);
    if (!found || found == &job) return;
    if (!JobGroupUnit::LinkParent(found, &job) || !reload) return;
    PathDepthGuard guard;
    if (guard.entered) found->controller->Load(*found, ModeBoth);
}

uint32_t JobPathControl::Load(JobGroupUnit& job, uint32_t mode) {
    // The rows point into the side lists that are about to be emptied.
    job.rows.Clear();
    for (uint32_t side = 0; side < 2; ++side) {
        if (!ModeNamesSide(mode, side)) continue;
        try {
            LoadSide(job, side);
        } catch (const std::bad_alloc&) {
            DropSideOutOfMemory(job, side);
        }
        JobSideRecord& record = job.Side(side);
        if (!job.Content(side).IsEmpty()) {
            record.anchorRow = 0;
            record.cursorRow = 0;
        }
        if (!(job.Content(side).flags & ContentRead)) {
            if (side == 0)
                job.edit.edit1 = 0;
            else
                job.edit.edit2 = 0;
        }
    }
    RunMerge(job, true);
    return PathFullRefresh;
}

uint32_t JobPathControl::Compare(JobGroupUnit& job) {
    RunMerge(job, false);
    return PathFullRefresh;
}

bool JobPathControl::ConnectLines(JobGroupUnit& job, int32_t row, uint32_t side, uint32_t mode) {
    if (mode != ConnectModeConnect) return false;
    if (row < 0 || row >= job.rows.Count()) return false;
    JobContentUnit* first = job.rows.At(row)->Unit(side == 0 ? 1 : 0);
    JobContentUnit* second = nullptr;
    for (JobReportUnit& r : job.rows) {
        if (r.flags & RowMarked) {
            second = r.Unit(side == 0 ? 0 : 1);
            break;
        }
    }
    if (!RealEntry(first) || !RealEntry(second) || first == second) return false;
    if (first->markKind == PathMarkConnected) RemoveConnection(job, first->markSerial);
    if (second->markKind == PathMarkConnected) RemoveConnection(job, second->markSerial);
    uint32_t serial = NextMarkSerial();
    first->markKind = PathMarkConnected;
    first->markSerial = serial;
    second->markKind = PathMarkConnected;
    second->markSerial = serial;
    return true;
}

bool JobPathControl::DisconnectLines(JobGroupUnit& job) {
    bool removed = false;
    for (JobReportUnit& r : job.rows) {
        if (!(r.flags & RowMarked)) continue;
        for (uint32_t side = 0; side < 2; ++side) {
            JobContentUnit* unit = r.Unit(side);
            if (!RealEntry(unit) || unit->markKind == PathMarkNone) continue;
            unit->markKind = PathMarkNone;
            unit->markSerial = 0;
            removed = true;
        }
    }
    return removed;
}

uint32_t JobPathControl::PairStatus(JobGroupUnit& job, JobContentUnit* unit1, JobContentUnit* unit2) {
    JobPathUnit* e1 = AsPathUnit(unit1);
    JobPathUnit* e2 = AsPathUnit(unit2);
    if (!e1 || !e2) return RowChanged;
    e1->Reread();
    e2->Reread();
    if (e1->IsMissing()) {
        if (!e2->IsMissing()) LinkOneSided(job, 1, *e2, false);
        return RowOnly2;
    }
    if (e2->IsMissing()) {
        LinkOneSided(job, 0, *e1, false);
        return RowOnly1;
    }
    return PathPairEqual(job, false, *e1, *e2) ? RowSame : RowChanged;
}

}  // namespace JobLayer

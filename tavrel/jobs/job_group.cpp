#include "tavrel/jobs/job_group.h"

#include <algorithm>
#include <atomic>
#include <unordered_set>
#include <vector>

#include "base/api_text.h"
#include "base/file_system.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/shell_commands.h"

namespace JobLayer {

using RawLayer::RawRange;
using RawLayer::RawStringList;

namespace {

RAW_CONSTANT_TEXT(ExtensionSectionText, "Extension")
RAW_CONSTANT_TEXT(DefaultFilterText, "Same,Different,Only1,Only2")

// The longest parent chain any walk follows. Parents are only linked
// through LinkParent, which refuses cycles; the bound keeps a walk finite
// even over a chain built by hand.
constexpr int32_t kMaxParentSteps = 1 << 20;

// Whole-path equality with ASCII letters folded, across encoding kinds.
bool PathsEqualNoCase(const RawString& a, const RawString& b) {
    if (a.Kind() == b.Kind()) return RawString::EqualsNoCase(a, b);
    bool ok = true;
    RawString converted = b.As(a.Kind(), &ok);
    return ok && RawString::EqualsNoCase(a, converted);
}

bool ContentChangedOnEitherSide(const JobGroupUnit* job) {
    return ((job->content1.flags | job->content2.flags) & ContentChanged) != 0;
}

void SetFlag(uint16_t& flags, uint16_t bit, bool on) {
    flags = static_cast<uint16_t>(on ? (flags | bit) : (flags & ~bit));
}

// Every job alive in the process. An index entry is followed only while
// its job is alive; the set is never destroyed, so jobs dying at exit in any
// order still find it.
std::unordered_set<const JobGroupUnit*>& LiveJobs() {
    static auto* jobs = new std::unordered_set<const JobGroupUnit*>();
    return *jobs;
}

RawString FolderPart(const RawString& path) {
    RawString folder;
    folder.AssignRange(path, RawLayer::PathFolderRange(path));
    return folder;
}

}  // namespace

// ---------------------------------------------------------------------------
// Side record and job
// ---------------------------------------------------------------------------

namespace {

uint64_t NextJobSerial() {
    // Jobs are also made on the loader threads.
    static std::atomic<uint64_t> next{0};
    return ++next;
}

}  // namespace

JobSideRecord::JobSideRecord(uint32_t index, const JobKindType& jobKind)
    : sideIndex(index), columnCount(ColumnCountOf(jobKind.kind)), kind(jobKind) {}

JobSideRecord::~JobSideRecord() {
    WinLayer::ClearAttributedText(composition[0]);
    WinLayer::ClearAttributedText(composition[1]);
}

uint32_t JobSideRecord::ColumnCountOf(uint32_t kind) {
    switch (kind) {
        case KindPath: return 3;
        case KindText: return 2;
        case KindBinary: return 3;
        default: return 0;
    }
}

JobGroupUnit::JobGroupUnit(const JobKindType& kindType, JobKindControl* control)
    : kind(kindType),
      controller(control ? control : &JobKindControl::NoneControl()),
      side1(0, kindType),
      side2(1, kindType),
      flags(0),
      parent(nullptr),
      useCount(0),
      currentRow(-1),
      statusMask(StatusAll),
      serial(NextJobSerial()) {
    LiveJobs().insert(this);
}

JobGroupUnit::~JobGroupUnit() {
    LiveJobs().erase(this);
    // The rows point into the content lists: drop them first.
    rows.Clear();
    // The sides' lines go with the job.
    JobContentRelease whole;
    content1.Clear();
    content2.Clear();
}

bool JobGroupUnit::IsAncestor(const JobGroupUnit* ancestor, const JobGroupUnit* job) {
    if (!ancestor || !job) return false;
    const JobGroupUnit* p = job->parent;
    for (int32_t steps = 0; p && steps < kMaxParentSteps; ++steps, p = p->parent)
        if (p == ancestor) return true;
    return false;
}

bool JobGroupUnit::LinkParent(JobGroupUnit* job, JobGroupUnit* newParent) {
    if (!job) return false;
    if (newParent && (newParent == job || IsAncestor(job, newParent))) return false;
    job->parent = newParent;
    return true;
}

JobGroupUnit* JobGroupUnit::ChildJob(JobGroupUnit* parentJob, const RawString& entry1,
                                     const RawString& entry2, bool compareNow) {
    RawString full1 = EntryPath(parentJob, 0, entry1, entry2);
    RawString full2 = EntryPath(parentJob, 1, entry2, entry1);
    JobGroupList& list = JobGroupList::Instance();
    JobGroupUnit* job = list.FindByPaths(full1, full2);
    if (job) {
        // A job that is the parent or one of its ancestors is never made a
        // child, nor reloaded from inside its own compare.
        if (LinkParent(job, parentJob) && compareNow) job->controller->Load(*job, ModeBoth);
        return job;
    }
    job = list.OpenPair(full1, full2);
    LinkParent(job, parentJob);
    return job;
}

bool JobGroupUnit::AllRowsSame(const JobGroupUnit* job) {
    for (const JobReportUnit& row : job->rows)
        if (row.kind != RowSame) return false;
    return true;
}

void JobGroupUnit::SetSame(JobGroupUnit* job, bool same) {
    // Walks up the parent chain instead of recursing: each step settles one
    // job and re-evaluates its parent from the parent's rows.
    JobGroupUnit* current = job;
    for (int32_t steps = 0; current && steps < kMaxParentSteps; ++steps) {
        current->flags = static_cast<uint16_t>(current->flags | JobTabStateChanged);
        SetFlag(current->flags, JobSame, same);
        UpdateParentRow(current);
        JobGroupUnit* up = current->parent;
        if (!up || (up->flags & JobComparing)) return;
        SetFlag(up->flags, JobChanged, ContentChangedOnEitherSide(up));
        same = AllRowsSame(up);
        current = up;
    }
}

void JobGroupUnit::RecheckFromRows(JobGroupUnit* job) {
    if (!job) return;
    SetFlag(job->flags, JobChanged, ContentChangedOnEitherSide(job));
    SetSame(job, AllRowsSame(job));
}

uint16_t JobGroupUnit::UpdateSideFlag(JobGroupUnit* job) {
    uint16_t before = static_cast<uint16_t>(job->flags & ~JobSame);
    SetFlag(job->flags, JobChanged, ContentChangedOnEitherSide(job));
    SetFlag(job->flags, JobSame, AllRowsSame(job));
    job->flags = static_cast<uint16_t>(job->flags | JobTabStateChanged);
    return before;
}

void JobGroupUnit::UpdateParentRow(JobGroupUnit* job) {
    JobGroupUnit* up = job ? job->parent : nullptr;
    if (!up || up->kind.kind != KindPath) return;
    for (JobReportUnit& row : up->rows) {
        if (!row.unit1 || !row.unit2) continue;
        if (!PathsEqualNoCase(row.unit1->Name(), job->Path(0))) continue;
        if (!PathsEqualNoCase(row.unit2->Name(), job->Path(1))) continue;
        row.kind = up->controller->PairStatus(*up, row.unit1, row.unit2);
        row.details.Clear();
        return;
    }
}

RawString JobGroupUnit::EntryPath(const JobGroupUnit* job, uint32_t side, const RawString& entryPath,
                                  const RawString& name) {
    if (!entryPath.IsEmpty()) return entryPath;
    RawString bare;
    bare.AssignRange(name, RawLayer::PathNameRange(name));
    return RawLayer::PathJoin(job->Path(side), bare);
}

JobSelectionRange JobGroupUnit::SelectionRange(const JobGroupUnit* job, uint32_t side) {
    const JobSideRecord& s = side == 0 ? job->side1 : job->side2;
    JobSelectionRange r = {s.anchorRow, s.anchorColumn, s.cursorRow, s.cursorColumn};
    if (r.startRow > r.endRow || (r.startRow == r.endRow && r.startColumn > r.endColumn)) {
        r = JobSelectionRange{s.cursorRow, s.cursorColumn, s.anchorRow, s.anchorColumn};
    }
    int32_t count = job->rows.Count();
    if (r.startColumn == -1 && r.startRow >= 0 && r.startRow < count) r.startColumn = 0;
    if (r.endColumn == -1 && r.endRow >= 0 && r.endRow < count) r.endColumn = 0;
    return r;
}

JobSelectionRange JobGroupUnit::SelectionUnits(const JobGroupUnit* job, uint32_t side,
                                               const JobSelectionRange& range) {
    auto convert = [&](int32_t row, int32_t column, int32_t& unitRow, int32_t& unitColumn) {
        int32_t real = NextRealRow(job, side, row, false);
        unitRow = UnitOfRow(job, side, real);
        unitColumn = (real >= 0 && real == row) ? column : 0;
    };
    JobSelectionRange out;
    convert(range.startRow, range.startColumn, out.startRow, out.startColumn);
    convert(range.endRow, range.endColumn, out.endRow, out.endColumn);
    return out;
}

int32_t JobGroupUnit::UnitOfRow(const JobGroupUnit* job, uint32_t side, int32_t row) {
    if (row < 0 || row >= job->rows.Count()) return -1;
    const JobContentUnit* unit = job->rows.At(row)->Unit(side);
    if (!unit || unit->IsPlaceholder()) return -1;
    return job->Content(side).IndexOf(unit);
}

int32_t JobGroupUnit::RowOfUnit(const JobGroupUnit* job, uint32_t side, const JobContentUnit* unit, int32_t hint) {
    const int32_t count = job->rows.Count();
    if (!unit || count == 0) return -1;
    hint = hint < 0 ? 0 : (hint >= count ? count - 1 : hint);
    // An edit's rows lie near the row it started from: a few rows around the
    // hint first, the nearest first on either side (an edit working up the
    // rows finds its next row one above), then everywhere else.
    const int32_t nearby = 64;
    for (int32_t d = 0; d < nearby; ++d) {
        if (hint + d < count && job->rows.At(hint + d)->Unit(side) == unit) return hint + d;
        if (hint - 1 - d >= 0 && job->rows.At(hint - 1 - d)->Unit(side) == unit) return hint - 1 - d;
    }
    auto scan = [&](int32_t from, int32_t to, int32_t step) {
        for (int32_t r = from; r != to; r += step)
            if (job->rows.At(r)->Unit(side) == unit) return r;
        return -1;
    };
    int32_t found = scan(std::min(count, hint + nearby), count, 1);
    if (found < 0) found = scan(std::max(-1, hint - 1 - nearby), -1, -1);
    return found;
}

int32_t JobGroupUnit::RowOfUnit(const JobGroupUnit* job, uint32_t side, int32_t index, int32_t hint) {
    const JobContentList& content = job->Content(side);
    if (index < 0 || index >= content.Count()) return -1;
    return RowOfUnit(job, side, content.At(index), hint);
}

int32_t JobGroupUnit::NextRealRow(const JobGroupUnit* job, uint32_t side, int32_t row,
                                  bool skipStart) {
    int32_t count = job->rows.Count();
    if (row < 0 || row >= count) return -1;
    for (int32_t i = skipStart ? row + 1 : row; i < count; ++i) {
        const JobContentUnit* unit = job->rows.At(i)->Unit(side);
        if (unit && !unit->IsPlaceholder()) return i;
    }
    return -1;
}

int32_t JobGroupUnit::PrevRealRow(const JobGroupUnit* job, uint32_t side, int32_t row,
                                  bool skipStart) {
    int32_t count = job->rows.Count();
    if (row < 0 || row >= count) return -1;
    for (int32_t i = skipStart ? row - 1 : row; i >= 0; --i) {
        const JobContentUnit* unit = job->rows.At(i)->Unit(side);
        if (unit && !unit->IsPlaceholder()) return i;
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Job list
// ---------------------------------------------------------------------------

JobGroupList& JobGroupList::Instance() {
    static JobGroupList list;
    return list;
}

JobGroupList::JobGroupList() {}

JobGroupList::~JobGroupList() {
    delete extraJob_;
    extraJob_ = nullptr;
    // Parents point between jobs of this list only; none is followed while
    // the list lets its jobs go.
}

void JobGroupList::SetExtraJob(JobGroupUnit* job) {
    if (job == extraJob_) return;
    delete extraJob_;
    extraJob_ = job;
}

JobGroupUnit* JobGroupList::CreateUnit(const JobKindType& kindType) {
    JobKindType kindOfJob = JobKindType::FromKind(kindType.kind);
    JobKindControl* control = nullptr;
    if (kindPool_) {
        if (!kindPool_->HasKind(kindOfJob)) kindOfJob = JobKindType::FromKind(KindNone);
        control = kindPool_->CreateControl(kindOfJob);
    } else {
        kindOfJob = JobKindType::FromKind(KindNone);
    }
    if (!control) control = &JobKindControl::NoneControl();
    JobGroupUnit* job = new JobGroupUnit(kindOfJob, control);
    Add(job);
    pending_.push_back(IndexEntry{nextSerial_++, job});
    return job;
}

uint32_t JobGroupList::SideKind(const RawString& path) {
    if (path.IsEmpty()) return KindNone;
    DWORD attributes = RawLayer::ApiGetFileAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // A device's name is a file's to the user: the side takes the kind
        // its name gives, and its loader reports that it cannot be read.
        return RawLayer::IsDevicePath(path) ? ExtensionKindTable::Shared().KindOfPath(path) : KindNone;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return KindPath;
    return ExtensionKindTable::Shared().KindOfPath(path);
}

namespace {

// Whether a path is given and names nothing at all (a path the system only
// refuses to tell about is the loaders' to report).
bool NamesNothing(const RawString& path) {
    if (path.IsEmpty() || RawLayer::IsDevicePath(path) ||
        RawLayer::ApiGetFileAttributes(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = GetLastError();
    return error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION;
}

// A pair opened by the user that cannot be compared as asked says why in
// the output instead of showing blank sides: each given path that names
// nothing, and both paths of two sides of different kinds. The loaders keep
// a missing side silent, since sub-folder pairs of a folder compare are
// opened with one side missing all the time.
void ReportImpossiblePair(const RawString& path1, const RawString& path2) {
    if (NamesNothing(path1)) ReportError(ReadOpenErrorText(), path1);
    if (NamesNothing(path2)) ReportError(ReadOpenErrorText(), path2);
    const uint32_t kind1 = JobGroupList::SideKind(path1), kind2 = JobGroupList::SideKind(path2);
    if (kind1 <= KindBinary && kind2 <= KindBinary && kind1 != kind2) {
        ReportError(DifferentKindErrorText(), path1);
        ReportError(DifferentKindErrorText(), path2);
    }
}

}  // namespace

JobGroupUnit* JobGroupList::OpenPair(const RawString& path1, const RawString& path2) {
    uint32_t kind2 = SideKind(path2);
    uint32_t kind1 = SideKind(path1);
    JobGroupUnit* job = CreateUnit(JobKindType::FromSideKinds(kind1, kind2));
    job->content1.path = path1;
    job->content2.path = path2;
    RawStringList words = RawStringList::FromCommaText(KindPairFilter(job), false);
    StatusMaskFromList(job->statusMask, words);
    EditFlagsFromList(job->edit, words);
    job->controller->Load(*job, ModeBoth);
    return job;
}

JobGroupUnit* JobGroupList::FindOrOpenPair(const RawString& givenPath1, const RawString& givenPath2) {
    const RawString path1 = RawLayer::LongPathForm(givenPath1);
    const RawString path2 = RawLayer::LongPathForm(givenPath2);
    JobGroupUnit* job = FindByPaths(path1, path2);
    if (!job) {
        ReportImpossiblePair(path1, path2);
        return OpenPair(path1, path2);
    }
    RawString folder1 = FolderPart(path1);
    RawString folder2 = FolderPart(path2);
    if (!folder1.IsEmpty() && !folder2.IsEmpty()) {
        JobGroupUnit* folders = FindByPaths(folder1, folder2);
        if (folders) JobGroupUnit::LinkParent(job, folders);
    }
    return job;
}

std::wstring JobGroupList::PathKey(const RawString& path1, const RawString& path2) {
    std::wstring key;
    for (const RawString* path : {&path1, &path2}) {
        RawString wide = path->As(RawLayer::KindUtf16);
        for (int32_t i = 0; i < wide.Length(); ++i) {
            wchar_t unit = wide.Wide()[i];
            key.push_back(unit >= L'a' && unit <= L'z' ? static_cast<wchar_t>(unit - 32) : unit);
        }
        key.push_back(L'\0');
    }
    return key;
}

void JobGroupList::Unindex(const JobGroupUnit* job) const {
    auto found = keyOf_.find(job);
    if (found == keyOf_.end()) return;
    auto bucket = index_.find(found->second);
    if (bucket != index_.end()) {
        std::vector<IndexEntry>& entries = bucket->second;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].job != job) continue;
            entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
        if (entries.empty()) index_.erase(bucket);
    }
    keyOf_.erase(found);
}

void JobGroupList::IndexPending() const {
    // A job whose paths are both still empty stays pending: its paths are
    // usually set right after it is created.
    std::vector<IndexEntry> still;
    for (const IndexEntry& entry : pending_) {
        if (!LiveJobs().count(entry.job)) continue;
        if (entry.job->content1.path.IsEmpty() && entry.job->content2.path.IsEmpty()) {
            still.push_back(entry);
            continue;
        }
        Unindex(entry.job);
        std::wstring key = PathKey(entry.job->content1.path, entry.job->content2.path);
        index_[key].push_back(entry);
        keyOf_[entry.job] = key;
    }
    pending_.swap(still);
}

void JobGroupList::Reindex(JobGroupUnit* job) {
    if (!job) return;
    uint64_t serial = nextSerial_++;
    auto found = keyOf_.find(job);
    if (found != keyOf_.end()) {
        for (const IndexEntry& entry : index_[found->second])
            if (entry.job == job) serial = entry.serial;
    }
    Unindex(job);
    pending_.push_back(IndexEntry{serial, job});
}

JobGroupUnit* JobGroupList::FindByPaths(const RawString& path1, const RawString& path2) const {
    IndexPending();
    JobGroupUnit* best = nullptr;
    uint64_t bestSerial = 0;
    auto check = [&](const IndexEntry& entry) {
        if (!LiveJobs().count(entry.job) || entry.job->IsClosed()) return;
        if (best && entry.serial >= bestSerial) return;
        if (!PathsEqualNoCase(entry.job->content1.path, path1) ||
            !PathsEqualNoCase(entry.job->content2.path, path2))
            return;
        best = entry.job;
        bestSerial = entry.serial;
    };
    auto bucket = index_.find(PathKey(path1, path2));
    if (bucket != index_.end())
        for (const IndexEntry& entry : bucket->second) check(entry);
    // Jobs with no paths yet are looked at one by one (an empty pair).
    for (const IndexEntry& entry : pending_) check(entry);
    return best;
}

void JobGroupList::CloseJob(JobGroupUnit* job) {
    // A job that is not (or no longer) open here is never touched: purging
    // may already have destroyed it.
    if (!job || !Contains(job) || job->IsClosed()) {
        PurgeClosed();
        return;
    }
    PurgeClosed();
    if (job->useCount > 0) return;
    uint32_t kind = job->kind.kind;
    if (kind == KindText || kind == KindBinary) {
        job->controller->DiscardFile(*job, ModeBoth);
    } else if (job->parent) {
        // Its parent's folder compare owns it; it goes with the parent.
        return;
    }
    job->flags = static_cast<uint16_t>(job->flags | JobClosed);
    DetachChildren(job);
}

void JobGroupList::DetachChildren(JobGroupUnit* job) {
    if (!job) return;
    // A work list instead of recursion: a job is cut loose from its parent
    // before it is queued, so it can never be found (and queued) again.
    std::vector<JobGroupUnit*> pending;
    pending.push_back(job);
    while (!pending.empty()) {
        JobGroupUnit* current = pending.back();
        pending.pop_back();
        for (JobGroupUnit& child : *this) {
            if (child.parent != current) continue;
            child.parent = nullptr;
            child.flags = static_cast<uint16_t>(child.flags | JobTabStateChanged);
            if (child.useCount <= 0) {
                child.flags = static_cast<uint16_t>(child.flags | JobClosed);
                pending.push_back(&child);
            }
        }
    }
}

void JobGroupList::PurgeClosed() {
    // No job that stays may keep a pointer to one that goes.
    for (JobGroupUnit& job : *this) {
        if (job.IsClosed() || !job.parent || !job.parent->IsClosed()) continue;
        job.parent = nullptr;
        job.flags = static_cast<uint16_t>(job.flags | JobTabStateChanged);
    }
    for (JobGroupUnit& job : *this)
        if (job.IsClosed()) Unindex(&job);
    RemoveIf([](const JobGroupUnit& job) { return job.IsClosed(); });
}

// ---------------------------------------------------------------------------
// Extension table
// ---------------------------------------------------------------------------

ExtensionKindTable& ExtensionKindTable::Shared() {
    static ExtensionKindTable table;
    return table;
}

ExtensionKindTable::ExtensionKindTable() : table_(false) {}

void ExtensionKindTable::Load(const ProfileFileRef& configuration) {
    file_ = configuration;
    table_.ReadSection(file_, ExtensionSectionText());
    if (!table_.IsEmpty()) return;
    static const char* const kDefaults[][2] = {
        {"txt", "Text"}, {"ini", "Text"}, {"bin", "Binary"}, {"cpp", "Text"},
        {"c", "Text"},   {"h", "Text"},   {"rc", "Text"},    {"rc2", "Text"},
    };
    for (const auto& entry : kDefaults)
        table_.Add(RawString::FromLiteral(entry[0]), RawString::FromLiteral(entry[1]));
    if (!file_.path.IsEmpty()) table_.WriteSection(file_, ExtensionSectionText());
}

RawString ExtensionKindTable::LowerExtension(const RawString& path) {
    RawString extension;
    extension.AssignRange(path, RawLayer::PathExtensionRange(path, false));
    for (int32_t i = 0; i < extension.Length(); ++i) {
        uint32_t unit = extension.UnitAt(i);
        if (unit >= 'A' && unit <= 'Z') extension.SetUnitAt(i, unit + ('a' - 'A'));
    }
    return extension;
}

uint32_t ExtensionKindTable::KindOfPath(const RawString& path) const {
    RawString extension = LowerExtension(path);
    if (extension.IsEmpty()) return KindBinary;
    const RawLayer::RawParameterUnit* entry = table_.Find(extension);
    if (!entry) return KindBinary;
    if (entry->value.Equals(TextKindNameText())) return KindText;
    return KindBinary;
}

bool ExtensionKindTable::SetKind(const RawString& path, uint32_t kind) {
    RawString extension = LowerExtension(path);
    if (extension.IsEmpty()) return false;
    RawString value = kind == KindText     ? TextKindNameText()
                      : kind == KindBinary ? BinaryKindNameText()
                                           : RawString();
    table_.SetText(extension, value);
    return !file_.path.IsEmpty() && table_.WriteSection(file_, ExtensionSectionText());
}

RawString KindPairFilter(const JobGroupUnit* job) {
    const ConfigStore& store = ConfigStore::Instance();
    RawString filter;
    switch (job->kind.kind) {
        case KindPath: filter = store.pathOption; break;
        case KindText: filter = store.textOption; break;
        case KindBinary: filter = store.binaryOption; break;
        default: break;
    }
    if (filter.Equals(WildcardAllText())) return DefaultFilterText();
    return filter;
}

}  // namespace JobLayer

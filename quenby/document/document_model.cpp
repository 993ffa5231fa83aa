// The document model: line records, their block records, links and
// parameters, and the document's neighbour searches.

#include "quenby/document/document_model.h"

#include <climits>
#include <new>

namespace DocLayer {

// ---------------------------------------------------------------------------
// Block records

JobBlockRecord* JobBlockRecord::New() {
    JobBlockRecord* record = static_cast<JobBlockRecord*>(RawLayer::SmallAllocate(sizeof(JobBlockRecord)));
    InitializeCriticalSection(&record->lock);
    record->holders = 0;
    record->Clear();
    return record;
}

JobBlockRecord* JobBlockRecord::Share() {
    EnterCriticalSection(&lock);
    ++holders;
    LeaveCriticalSection(&lock);
    return this;
}

void JobBlockRecord::Release() {
    EnterCriticalSection(&lock);
    if (holders > 0) {
        --holders;
        LeaveCriticalSection(&lock);
        return;
    }
    LeaveCriticalSection(&lock);
    DeleteCriticalSection(&lock);
    RawLayer::SmallRelease(this, sizeof(JobBlockRecord));
}

JobBlockRecord* JobBlockRef::Get() {
    if (!record_) record_ = JobBlockRecord::New();
    return record_;
}

void JobBlockRef::ShareFrom(JobBlockRef& other) {
    JobBlockRecord* shared = other.Get();
    if (shared == record_) return;
    shared->Share();
    Reset();
    record_ = shared;
}

void JobBlockRef::Reset() {
    if (record_) record_->Release();
    record_ = nullptr;
}

// ---------------------------------------------------------------------------
// Links and parameters

JobLinkDataUnit* JobLinkDataList::Append(const JobLinkDataUnit& unit) {
    JobLinkDataUnit* copy = AddNew(unit);
    copy->drawnSize = SIZE{0, 0};
    return copy;
}

const JobLinkDataUnit* JobLinkDataList::FindSerial(int32_t wanted) const {
    if (wanted <= 0) return nullptr;
    for (const JobLinkDataUnit& unit : *this)
        if (unit.serial == wanted) return &unit;
    return nullptr;
}

JobParamUnit JobParamList::Find(int32_t id) const {
    for (const JobParamUnit& unit : *this)
        if (unit.id == id) return unit;
    return JobParamUnit();
}

JobParamUnit& JobParamList::FindOrInsert(int32_t id) {
    for (JobParamUnit& unit : *this)
        if (unit.id == id) return unit;
    JobParamUnit* unit = AddNew();
    unit->id = id;
    return *unit;
}

int32_t JobParamList::FindInt(int32_t id) const {
    for (const JobParamUnit& unit : *this)
        if (unit.id == id) return ParseDecimal(unit.text);
    return 0;
}

// ---------------------------------------------------------------------------
// Line records and the document

JobLineUnit::JobLineUnit(Base* ownerBase)
    : owner(ownerBase), rawText(RawLayer::KindUtf8), text(RawLayer::KindUtf8),
      alignment(RawLayer::KindUtf8) {}

JobLineUnit* InitLineRecord(JobLineUnit::Base* owner) { return new JobLineUnit(owner); }

JobLineUnit* JobLineList::NextLine(const RawListLink* link) const {
    if (!link || IsEnd(link)) return nullptr;
    return UnitOf(link->next);
}

JobLineUnit* JobLineList::PreviousContentLine(const RawListLink* link) const {
    if (!link) return nullptr;
    for (const RawListLink* l = link->prev; !IsEnd(l); l = l->prev) {
        JobLineUnit* unit = UnitOf(l);
        if (IsContentKind(unit->kind)) return unit;
    }
    return nullptr;
}

void JobLineList::ResetCellWidths() {
    for (JobLineUnit& line : *this) {
        int32_t n = line.cellWidths.Count();
        if (n == 0) continue;
        int32_t* widths = line.cellWidths.WritableElements();
        for (int32_t i = 0; i < n; ++i) {
            if (!EnsureStepIndex(line.cellWidths, i)) break;
            widths[i] = 0;
        }
    }
}

// ---------------------------------------------------------------------------
// Marks

int32_t ReadMarkSerial(const RawString& text, int32_t pos, int32_t* end) {
    int32_t n = text.Length();
    int32_t i = pos + 2;  // past 0x1E and the code
    int64_t serial = 0;
    while (i < n) {
        uint32_t u = text.UnitAt(i);
        if (u < '0' || u > '9') break;
        if (serial < INT_MAX) serial = serial * 10 + (u - '0');
        ++i;
    }
    while (i < n && text.UnitAt(i) != MarkClose) ++i;
    if (end) *end = i < n ? i + 1 : n;
    return serial > INT_MAX ? INT_MAX : static_cast<int32_t>(serial);
}

RawString FindMarkerPair(const JobLineUnit& line) {
    const RawString& t = line.text;
    int32_t n = t.Length();
    for (int32_t i = 0; i + 1 < n; ++i) {
        if (t.UnitAt(i) != MarkOpen || t.UnitAt(i + 1) != 'l') continue;
        const JobLinkDataUnit* unit = line.links.FindSerial(ReadMarkSerial(t, i, nullptr));
        return unit ? unit->target : RawString();
    }
    return RawString();
}

// ---------------------------------------------------------------------------
// Small operations

const AlignmentName* AlignmentNames() {
    static const AlignmentName names[] = {{"Left", 2}, {"Center", 3}, {"Right", 4}, {"", 0}};
    return names;
}

int32_t AlignmentCode(const RawString& name) {
    for (const AlignmentName* a = AlignmentNames(); a->name[0] != 0; ++a)
        if (name.EqualsAscii(a->name)) return a->code;
    return 0;
}

bool EnsureStepIndex(RawArrayC<int32_t>& array, int32_t index) {
    int32_t capacity = array.Capacity();
    if (index < capacity) return true;
    int32_t step = array.Step() > 0 ? array.Step() : 1;
    int64_t over = static_cast<int64_t>(index) - capacity;
    int64_t grown = capacity + over - over % step + step;
    if (grown > INT32_MAX) return false;
    try {
        array.ReserveExact(static_cast<int32_t>(grown));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

int64_t ParseDecimal64(const RawString& text, RawRange range, int64_t limit) {
    RawLayer::RawNumberScan scan{};
    RawLayer::ParseNumber(text, range, scan);
    if (scan.radix != 10) return 0;
    const uint64_t magnitude = scan.overflow || scan.value > static_cast<uint64_t>(limit) ? limit : scan.value;
    const int64_t value = static_cast<int64_t>(magnitude);
    return scan.sign == '-' ? -value : value;
}

int32_t ParseDecimal(const RawString& text) {
    return ClampInt(ParseDecimal64(text, text.All(), int64_t{INT_MAX} + 1), INT_MIN, INT_MAX);
}

}  // namespace DocLayer

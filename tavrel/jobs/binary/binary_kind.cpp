#include "tavrel/jobs/binary/binary_kind.h"

#include <algorithm>
#include <new>
#include <string>

#include "base/api_text.h"
#include "base/encoding.h"
#include "base/file_system.h"
#include "tavrel/jobs/backup/side_file_flow.h"
#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/shell_commands.h"

namespace JobLayer {

namespace {

const char kHexDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// The largest block handed to one read call; a larger count is read in
// several blocks.
const DWORD kReadBlock = 0x1000000;

// A row that lives for the whole process; lists never delete it.
class JobSharedBinaryUnit : public JobBinaryUnit {
public:
    JobSharedBinaryUnit(uint16_t unitFlags, JobBinaryBaseData* sharedData)
        : JobBinaryUnit(unitFlags, sharedData) {}
    void Destroy() override {}
};

// The number of set bits of a 16-bit mask.
uint8_t BitCount(uint16_t mask) {
    uint32_t v = mask;
    v = v - ((v >> 1) & 0x5555u);
    v = (v & 0x3333u) + ((v >> 2) & 0x3333u);
    v = (v + (v >> 4)) & 0x0F0Fu;
    return static_cast<uint8_t>((v + (v >> 8)) & 0x1Fu);
}

// The byte of a buffer at an index, read fast from an 8-bit body.
inline uint32_t BufferByte(const RawString& bytes, const unsigned char* raw, uint32_t index) {
    if (raw) return index < static_cast<uint32_t>(bytes.Length()) ? raw[index] : 0;
    return bytes.UnitAt(static_cast<int32_t>(index)) & 0xFF;
}

inline const unsigned char* RawBytesOf(const RawString& bytes) {
    return bytes.Kind() == RawLayer::KindUtf16 ? nullptr
                                                : reinterpret_cast<const unsigned char*>(bytes.Bytes());
}

uint8_t& EditFlagOf(JobGroupUnit& job, uint32_t side) {
    return side == 0 ? job.edit.edit1 : job.edit.edit2;
}

// Appends the fresh rows of a side whose buffer holds `count` bytes, then
// the end row when the last row is full (or there is none).
void MakeRows(JobBinaryBaseData* data, JobContentList& content, uint32_t count) {
    content.Reserve(static_cast<int32_t>(count / 16 + 1));
    RawLayer::SmallBlockBatch blocks(sizeof(JobBinaryUnit));
    for (uint32_t offset = 0; offset < count; offset += 16) {
        uint32_t n = std::min<uint32_t>(16, count - offset);
        content.Add(::new (blocks.Next()) JobBinaryUnit(data, offset, n));
    }
    JobBinaryUnit* last = static_cast<JobBinaryUnit*>(content.Last());
    if (!last || last->extent >= 16) {
        uint32_t first = last ? last->firstIndex + last->byteCount : 0;
        content.Add(new JobBinaryUnit(data, first, 0));
    }
}

// Reads exactly `count` bytes into the side's buffer. A failed call, or a
// file that ends before the count, is a failure: the side is never shown
// shorter than the file it claims to be.
bool ReadWhole(RawLayer::RawFileHandle& file, RawString& bytes, uint32_t count) {
    bytes = RawString(RawLayer::KindAnsi);
    if (count == 0) return true;
    bytes.Reserve(static_cast<int32_t>(count));
    char* buffer = bytes.WritableBytes();
    uint32_t done = 0;
    while (done < count) {
        DWORD ask = std::min<DWORD>(kReadBlock, count - done);
        if (!file.Read(buffer + done, ask)) break;
        DWORD got = file.Transferred();
        if (got == 0) break;
        done += got;
    }
    if (done != count) {
        bytes = RawString(RawLayer::KindAnsi);
        return false;
    }
    bytes.SyncLength(static_cast<int32_t>(count));
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// JobBinaryBaseData

JobBinaryBaseData::JobBinaryBaseData() : bytes(RawLayer::KindAnsi) {}

uint32_t JobBinaryBaseData::ByteAt(int64_t index) const {
    if (index < 0 || index >= bytes.Length()) return 0;
    return bytes.UnitAt(static_cast<int32_t>(index)) & 0xFF;
}

void JobBinaryBaseData::UpdateMetrics(HDC, int32_t, int32_t width) {
    cellWidth = width > 0 ? width : 0;
}

// ---------------------------------------------------------------------------
// JobBinaryUnit

JobBinaryUnit::JobBinaryUnit(JobBinaryBaseData* data_, uint32_t first, uint32_t count)
    : JobContentUnit(BinaryTextsStale), data(data_), firstIndex(first) {
    if (count > 16) count = 16;
    byteCount = static_cast<uint8_t>(count);
    extent = static_cast<uint8_t>(count);
    mask = MaskOfCount(count);
}

JobBinaryUnit::JobBinaryUnit(uint16_t unitFlags, JobBinaryBaseData* sharedData)
    : JobContentUnit(unitFlags), data(sharedData), firstIndex(0), byteCount(0), extent(0), mask(0) {}

uint16_t JobBinaryUnit::MaskOfCount(uint32_t n) {
    if (n == 0) return 0;
    if (n >= 16) return 0xFFFF;
    return static_cast<uint16_t>(0xFFFFu << (16 - n));
}

int32_t JobBinaryUnit::PositionOfByte(uint32_t byteIndex) const {
    if (byteIndex < firstIndex || byteIndex - firstIndex >= byteCount) return 16;
    uint32_t k = byteIndex - firstIndex;
    for (int32_t p = 0; p < 16; ++p) {
        if (!HasByteAt(p)) continue;
        if (k == 0) return p;
        --k;
    }
    return 16;
}

void JobBinaryUnit::AppendBytes(RawString& cells, int32_t from, int32_t to) const {
    if (cells.Kind() != RawLayer::KindUtf16) {
        RawString wide(RawLayer::KindUtf16);
        for (int32_t i = 0; i < cells.Length(); ++i) wide.AppendChar(cells.UnitAt(i));
        cells = wide;
    }
    from = std::max<int32_t>(from, 0);
    to = std::min<int32_t>(to, 16);
    if (from >= to) return;
    // The buffer index of the first byte at or after `from`.
    uint32_t index = firstIndex;
    for (int32_t p = 0; p < from; ++p)
        if (HasByteAt(p)) ++index;
    for (int32_t p = from; p < to; ++p) {
        if (HasByteAt(p)) {
            cells.AppendChar(data ? data->ByteAt(index) : 0);
            ++index;
        } else {
            cells.AppendChar(BinaryEmptyCell);
        }
    }
}

void JobBinaryUnit::RecountBytes() { byteCount = BitCount(mask); }

void JobBinaryUnit::RefreshColumnTexts() { flags = static_cast<uint16_t>(flags & ~BinaryTextsStale); }

RawString JobBinaryUnit::ColumnText(int32_t column) const {
    // The empty row of a missing side shows nothing.
    if (IsPlaceholder()) return RawString();
    // Asked for, the texts are as fresh as the bytes.
    if (flags & BinaryTextsStale) const_cast<JobBinaryUnit*>(this)->RefreshColumnTexts();
    if (column == 0) {
        RawString address;
        address.AppendPadded(firstIndex, 16, 8);
        return address;
    }
    if (column != 1 && column != 2) return RawString();
    char hex[48];
    char chars[16];
    int32_t h = 0;
    uint32_t index = firstIndex;
    const RawString empty;
    const RawString& bytes = data ? data->bytes : empty;
    const unsigned char* raw = RawBytesOf(bytes);
    for (int32_t p = 0; p < 16; ++p) {
        if (HasByteAt(p)) {
            uint32_t b = BufferByte(bytes, raw, index++);
            hex[h++] = kHexDigits[b >> 4];
            hex[h++] = kHexDigits[b & 0x0F];
            hex[h++] = ' ';
            chars[p] = (b >= 32 && b <= 126) ? static_cast<char>(b) : (b < 128 ? '.' : '_');
        } else {
            hex[h++] = ' ';
            hex[h++] = ' ';
            hex[h++] = ' ';
            chars[p] = ' ';
        }
    }
    if (column == 1) return RawString::FromBytes(hex, h - 1, RawLayer::KindUtf8);
    return RawString::FromBytes(chars, 16, RawLayer::KindUtf8);
}

RawString JobBinaryUnit::Text() const {
    if (IsPlaceholder()) return RawString();
    return ColumnText(1).Concat(ColumnText(2));
}

bool JobBinaryUnit::RowDetail(const JobContentUnit& other, int32_t column, JobDetailList& out) const {
    const JobBinaryUnit* b = dynamic_cast<const JobBinaryUnit*>(&other);
    if (!b) return false;
    if (column == 0 || BinaryRowsSame(*this, *b)) return true;
    if (column == 1) CompareBinaryRows(out, *this, *b, 2, 1);
    if (column == 2) CompareBinaryRows(out, *this, *b, 1, 0);
    return true;
}

int32_t JobBinaryUnit::FitCharIndex(int32_t index) const {
    return index < extent ? index : static_cast<int32_t>(extent) - 1;
}

JobBinaryUnit& EmptyBinaryUnit() {
    static JobBinaryBaseData data;
    static JobSharedBinaryUnit unit(UnitPlaceholder, &data);
    return unit;
}

namespace {

class JobBinaryHeaderUnit : public JobSharedBinaryUnit {
public:
    explicit JobBinaryHeaderUnit(JobBinaryBaseData* sharedData)
        : JobSharedBinaryUnit(UnitHeader, sharedData) {
        for (int c = 0; c < 3; ++c) titles_[c] = ColumnTitles(KindBinary, c);
    }
    RawString ColumnText(int32_t column) const override {
        return (column >= 0 && column <= 2) ? titles_[column] : RawString();
    }
    RawString Text() const override { return titles_[1].Concat(titles_[2]); }

private:
    RawString titles_[3];
};

}  // namespace

JobBinaryUnit& BinaryHeaderUnit() {
    static JobBinaryBaseData data;
    static JobBinaryHeaderUnit unit(&data);
    return unit;
}

// ---------------------------------------------------------------------------
// Side data and loading

JobBinaryBaseData* BinaryDataOf(JobSideRecord& side) {
    return dynamic_cast<JobBinaryBaseData*>(side.kindData.get());
}

bool LoadBinarySide(JobSideRecord& side, JobContentList& content) {
    JobBinaryBaseData* data = BinaryDataOf(side);
    if (!data) {
        data = new JobBinaryBaseData();
        side.SetKindData(data);
    }
    content.ResetForLoad();
    content.header = &BinaryHeaderUnit();
    content.flags = static_cast<uint16_t>(content.flags & ~ContentRead);
    content.fileSize = 0;
    data->bytes = RawString(RawLayer::KindAnsi);
    data->undo.Reset();

    const RawString& path = content.path;
    if (path.IsEmpty()) {
        content.flags |= ContentNoFile;
        return false;
    }
    // A device is never opened, whether or not the folder holds a file of
    // its name.
    if (RawLayer::IsDevicePath(path)) {
        ReportError(ReadOpenErrorText(), path);
        content.flags |= ContentUnreadable;
        return false;
    }
    SetLastError(0);
    DWORD attributes = RawLayer::ApiGetFileAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            content.flags |= ContentNoFile;
            return false;
        }
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ReportError(DifferentKindErrorText(), path);
        content.flags |= ContentUnreadable;
        return false;
    }

    RawLayer::RawFileHandle file;
    if (!file.OpenRead(path)) {
        ReportError(ReadOpenErrorText(), path);
        content.flags |= ContentUnreadable;
        return false;
    }
    content.flags |= ContentRead;
    uint64_t size = 0;
    bool sized = file.Size(size);
    content.fileSize = size;
    // The store keeps the option within what the program can hold.
    const uint64_t limit = static_cast<uint64_t>(std::max<int32_t>(1, ConfigStore::Instance().maxBinaryLoading));
    const bool tooLarge = size > limit;
    const uint32_t count = static_cast<uint32_t>(tooLarge ? limit : size);
    if (!sized || !ReadWhole(file, data->bytes, count)) {
        file.Close();
        ReportError(ReadErrorText(), path);
        content.flags = static_cast<uint16_t>((content.flags & ~ContentRead) | ContentUnreadable);
        return false;
    }
    file.Close();

    MakeRows(data, content, count);
    side.encodingText = RawLayer::EncodingKindName(static_cast<uint8_t>(side.encodingKind), false);

    if (tooLarge) {
        ReportError(TooLargeFileText(), path);
        content.flags |= ContentCut;
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Comparing

bool BinaryRowsSame(const JobBinaryUnit& a, const JobBinaryUnit& b) {
    if (a.byteCount != b.byteCount || a.mask != b.mask) return false;
    const RawString empty;
    const RawString& bytesA = a.data ? a.data->bytes : empty;
    const RawString& bytesB = b.data ? b.data->bytes : empty;
    const unsigned char* rawA = RawBytesOf(bytesA);
    const unsigned char* rawB = RawBytesOf(bytesB);
    const uint32_t n = a.byteCount;
    if (rawA && rawB && a.firstIndex + n <= static_cast<uint32_t>(bytesA.Length()) &&
        b.firstIndex + n <= static_cast<uint32_t>(bytesB.Length()))
        return std::equal(rawA + a.firstIndex, rawA + a.firstIndex + n, rawB + b.firstIndex);
    for (uint32_t k = 0; k < n; ++k)
        if (BufferByte(bytesA, rawA, a.firstIndex + k) != BufferByte(bytesB, rawB, b.firstIndex + k))
            return false;
    return true;
}

void CompareBinaryRows(JobDetailList& segments, const JobBinaryUnit& a, const JobBinaryUnit& b,
                       int32_t w, int32_t g) {
    const RawString empty;
    const RawString& bytesA = a.data ? a.data->bytes : empty;
    const RawString& bytesB = b.data ? b.data->bytes : empty;
    const unsigned char* rawA = RawBytesOf(bytesA);
    const unsigned char* rawB = RawBytesOf(bytesB);
    uint32_t i = a.firstIndex;
    uint32_t j = b.firstIndex;
    for (int32_t p = 0; p < 16; ++p) {
        const bool hasA = a.HasByteAt(p);
        const bool hasB = b.HasByteAt(p);
        if (!hasA && hasB) {
            segments.AddMerged(SegmentOnly2, w, w);
            ++j;
        } else if (!hasA) {
            segments.AddMerged(SegmentSame, w, w);
        } else if (hasB) {
            bool equal = BufferByte(bytesA, rawA, i) == BufferByte(bytesB, rawB, j);
            segments.AddMerged(equal ? SegmentSame : SegmentChanged, w, w);
            ++i;
            ++j;
        } else {
            segments.AddMerged(SegmentOnly1, w, w);
            ++i;
        }
        if (p < 15 && g >= 1) segments.AddMerged(SegmentSame, g, g);
    }
}

uint32_t BinaryRowDetail(const JobBinaryUnit& a, const JobBinaryUnit& b, JobDetailList (&details)[3]) {
    if (BinaryRowsSame(a, b)) return RowSame;
    CompareBinaryRows(details[1], a, b, 2, 1);
    CompareBinaryRows(details[2], a, b, 1, 0);
    return RowChanged;
}

bool BinaryCompare(JobGroupUnit& job) {
    job.rows.Clear();
    const int32_t n1 = job.content1.Count();
    const int32_t n2 = job.content2.Count();
    job.rows.Reserve(n1 > n2 ? n1 : n2);
    RawLayer::SmallBlockBatch blocks(sizeof(JobReportUnit));
    bool allSame = true;
    int32_t i = 0;
    for (; i < n1 && i < n2; ++i) {
        JobBinaryUnit* a = static_cast<JobBinaryUnit*>(job.content1.At(i));
        JobBinaryUnit* b = static_cast<JobBinaryUnit*>(job.content2.At(i));
        const bool same = BinaryRowsSame(*a, *b);
        if (!same) allSame = false;
        job.rows.Add(NewCompareRow(same ? RowSame : RowChanged, a, b, &blocks));
    }
    for (int32_t k = i; k < n1; ++k) {
        job.rows.Add(NewCompareRow(RowOnly1, job.content1.At(k), &EmptyBinaryUnit(), &blocks));
        allSame = false;
    }
    for (int32_t k = i; k < n2; ++k) {
        job.rows.Add(NewCompareRow(RowOnly2, &EmptyBinaryUnit(), job.content2.At(k), &blocks));
        allSame = false;
    }
    return allSame;
}

void RecompareBinaryRows(JobGroupUnit& job, uint32_t side) {
    side = side == 0 ? 0 : 1;
    if (!job.rows.IsEmpty()) {
        for (JobContentUnit& unit : job.Content(side)) {
            if (unit.flags & BinaryTextsStale) static_cast<JobBinaryUnit&>(unit).RefreshColumnTexts();
        }
        for (JobReportUnit& row : job.rows) {
            JobContentUnit* mine = row.Unit(side);
            bool pending = (row.flags & RowEdited) != 0;
            bool changed = mine && (mine->flags & BinaryBytesChanged);
            if (!pending && !changed) continue;
            if (mine) mine->flags = static_cast<uint16_t>(mine->flags & ~BinaryBytesChanged);
            row.flags &= ~static_cast<uint32_t>(RowEdited);
            if (!row.unit1 || !row.unit2 || row.unit1->IsPlaceholder() || row.unit2->IsPlaceholder())
                continue;
            // The detail of a changed row follows from its units when read.
            row.kind = BinaryRowsSame(*static_cast<JobBinaryUnit*>(row.unit1),
                                      *static_cast<JobBinaryUnit*>(row.unit2))
                           ? RowSame
                           : RowChanged;
            row.details.Clear();
        }
    }
    JobGroupUnit::UpdateSideFlag(&job);
}

int32_t BinaryRowOfByte(const JobGroupUnit& job, uint32_t side, uint32_t byteIndex) {
    const JobContentList& content = job.Content(side == 0 ? 0 : 1);
    const int32_t count = content.Count();
    if (count == 0) return -1;
    // The first indexes never fall from one row to the next: the last row
    // that starts at or before the index holds it, when any row does.
    int32_t low = 0, high = count - 1;
    while (low < high) {
        const int32_t middle = low + (high - low + 1) / 2;
        if (static_cast<const JobBinaryUnit*>(content.At(middle))->firstIndex <= byteIndex)
            low = middle;
        else
            high = middle - 1;
    }
    const JobBinaryUnit* row = static_cast<const JobBinaryUnit*>(content.At(low));
    if (byteIndex >= row->firstIndex && byteIndex - row->firstIndex < row->byteCount) return low;
    return count - 1;
}

// ---------------------------------------------------------------------------
// JobBinaryControl

JobBinaryControl& JobBinaryControl::Shared() {
    static JobBinaryControl control;
    return control;
}

uint32_t JobBinaryControl::Load(JobGroupUnit& job, uint32_t mode) {
    if (mode != ModeSide1 && mode != ModeSide2 && mode != ModeBoth) return 0;
    DiscardFile(job, mode);
    // The rows point into the side lists that are about to be emptied; a
    // report made during the load may repaint them. The compare after the
    // load builds them again.
    job.rows.Clear();
    for (uint32_t s = 0; s < 2; ++s) {
        if (!ModeNamesSide(mode, s)) continue;
        JobSideRecord& side = job.Side(s);
        JobContentList& content = job.Content(s);
        // Still marked changed: its backup failed, and reading the file
        // again would throw the edits away with no copy.
        if (content.flags & ContentChanged) continue;
        try {
            LoadBinarySide(side, content);
        } catch (const std::bad_alloc&) {
            JobBinaryBaseData* data = BinaryDataOf(side);
            if (data) data->bytes = RawString();
            DropSideOutOfMemory(job, s);
        }
        if (!content.IsEmpty()) {
            side.anchorRow = 0;
            side.anchorColumn = 0;
            side.cursorRow = 0;
            side.cursorColumn = 0;
            BinaryPendingHalfByte(side) = 0;
            side.preferredX = 0;
            side.activeColumn = 1;
        }
        // Only a side read whole may be edited: a cut or failed side holds
        // less than the file, and writing it back would lose the rest.
        const uint16_t failed = ContentCut | ContentUnreadable | ContentNoFile;
        if (!(content.flags & ContentRead) || (content.flags & failed)) EditFlagOf(job, s) = 0;
    }
    Compare(job);
    return 0;
}

bool SaveBinarySide(JobSideRecord& side, const RawString& path) {
    JobBinaryBaseData* data = BinaryDataOf(side);
    if (!data || path.IsEmpty()) return false;
    const RawString& bytes = data->bytes;
    // A buffer of 16-bit units holds a byte in the low 8 bits of each unit.
    std::string narrow;
    const void* body = bytes.Data();
    int32_t count = bytes.Length();
    if (bytes.Kind() == RawLayer::KindUtf16) {
        narrow.resize(static_cast<size_t>(count));
        for (int32_t i = 0; i < count; ++i) narrow[static_cast<size_t>(i)] = static_cast<char>(data->ByteAt(i));
        body = narrow.data();
    }
    RawLayer::RawFileHandle file;
    if (!file.OpenWrite(path)) return false;
    bool ok = true;
    if (count > 0)
        ok = file.Write(body, static_cast<DWORD>(count)) &&
             file.Transferred() == static_cast<DWORD>(count);
    if (ok) ok = file.Flush();
    file.Close();
    return ok;
}

namespace {

bool WriteBinarySideOf(JobGroupUnit& job, uint32_t side, const RawString& path) {
    return SaveBinarySide(job.Side(side), path);
}

}  // namespace

bool JobBinaryControl::SaveFile(JobGroupUnit& job, uint32_t mode) {
    return RunSideFileFlow(job, mode, true, WriteBinarySideOf);
}

bool JobBinaryControl::DiscardFile(JobGroupUnit& job, uint32_t mode) {
    return RunSideFileFlow(job, mode, false, WriteBinarySideOf);
}

uint32_t JobBinaryControl::Compare(JobGroupUnit& job) {
    bool same;
    try {
        same = BinaryCompare(job);
    } catch (const std::bad_alloc&) {
        DropRowsOutOfMemory(job);
        return 0;
    }
    JobGroupUnit::SetSame(&job, same);
    return 0;
}

}  // namespace JobLayer

// The binary kind: rows of a loaded side, the row-by-row compare with its
// detail segments, the loading limit and failures, and the byte/position
// helpers that the edit commands build on. Real files in a temporary folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/shell_commands.h"
#include "tavrel/jobs/side_edit.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::ReadFileBytes;
using TestSupport::TempFolder;
using TestSupport::Utf8;
using TestSupport::WriteFileBytes;

namespace {

RawString PathOf(const std::wstring& path) { return RawString::FromWideText(path.c_str()); }

std::string Str(const RawString& text) {
    std::string out;
    for (int32_t i = 0; i < text.Length(); ++i) out += static_cast<char>(text.UnitAt(i));
    return out;
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 0) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

// Collects the lines handed to the job environment's output.
class Collector : public RawLayer::JobServerControl::Logger {
public:
    Collector() { ShellCommandStore::Instance().SetOutput(this); }
    ~Collector() override { ShellCommandStore::Instance().SetOutput(nullptr); }
    void Report(const RawString& line) override { lines.push_back(Str(line)); }
    bool Has(const std::string& key) const {
        for (const std::string& line : lines)
            if (line.rfind(key, 0) == 0) return true;
        return false;
    }
    std::vector<std::string> lines;
};

// Puts the loading limit back after a test that lowers it.
class LimitGuard {
public:
    explicit LimitGuard(int32_t limit) : old_(ConfigStore::Instance().maxBinaryLoading) {
        ConfigStore::Instance().maxBinaryLoading = limit;
    }
    ~LimitGuard() { ConfigStore::Instance().maxBinaryLoading = old_; }

private:
    int32_t old_;
};

struct Segment {
    uint32_t kind;
    int32_t l1;
    int32_t l2;
    bool operator==(const Segment& o) const { return kind == o.kind && l1 == o.l1 && l2 == o.l2; }
};
std::ostream& operator<<(std::ostream& out, const Segment& s) {
    return out << "(" << s.kind << ", " << s.l1 << ", " << s.l2 << ")";
}
std::vector<Segment> Segments(const JobDetailList& list) {
    std::vector<Segment> out;
    for (const JobDetailUnit& u : list) out.push_back({u.kind, u.length1, u.length2});
    return out;
}

JobBinaryUnit& Row(JobGroupUnit& job, uint32_t side, int32_t index) {
    return *static_cast<JobBinaryUnit*>(job.Content(side).At(index));
}

// A binary job over two paths, loaded and compared.
struct BinaryJob {
    BinaryJob(const RawString& path1, const RawString& path2, bool editable = false)
        : job(JobKindType::FromKind(KindBinary), &JobBinaryControl::Shared()) {
        job.content1.path = path1;
        job.content2.path = path2;
        job.edit.edit1 = job.edit.edit2 = editable ? 1 : 0;
        job.controller->Load(job, ModeBoth);
    }
    JobGroupUnit job;
};

}  // namespace

TEST(BinaryRows, SizesGiveRowsOfSixteenAndAnEndRowAfterAFullOne) {
    struct Case {
        size_t size;
        std::vector<int> counts;
    };
    const Case cases[] = {{0, {0}},         {1, {1}},          {15, {15}},
                          {16, {16, 0}},    {17, {16, 1}},     {32, {16, 16, 0}},
                          {40, {16, 16, 8}}};
    TempFolder folder;
    for (const Case& c : cases) {
        std::wstring path = folder.Join(L"f" + std::to_wstring(c.size) + L".bin");
        ASSERT_TRUE(WriteFileBytes(path, Pattern(c.size)));
        JobSideRecord side(0, JobKindType::FromKind(KindBinary));
        JobContentList content;
        content.path = PathOf(path);
        EXPECT_TRUE(LoadBinarySide(side, content)) << c.size;
        EXPECT_EQ(content.flags & (ContentRead | ContentCut | ContentUnreadable), ContentRead);
        EXPECT_EQ(content.fileSize, c.size);
        EXPECT_EQ(content.header, &BinaryHeaderUnit());
        ASSERT_EQ(content.Count(), static_cast<int32_t>(c.counts.size())) << c.size;
        uint32_t first = 0;
        for (size_t i = 0; i < c.counts.size(); ++i) {
            const JobBinaryUnit& row = *static_cast<JobBinaryUnit*>(content.At(static_cast<int32_t>(i)));
            EXPECT_EQ(row.byteCount, c.counts[i]) << c.size << " row " << i;
            EXPECT_EQ(row.extent, c.counts[i]);
            EXPECT_EQ(row.mask, JobBinaryUnit::MaskOfCount(c.counts[i]));
            EXPECT_EQ(row.firstIndex, first);
            EXPECT_TRUE(row.flags & BinaryTextsStale);
            first += static_cast<uint32_t>(c.counts[i]);
        }
        ASSERT_NE(BinaryDataOf(side), nullptr);
        EXPECT_EQ(BinaryDataOf(side)->Length(), static_cast<int32_t>(c.size));
    }
}

TEST(BinaryRows, ColumnTexts) {
    TempFolder folder;
    std::vector<uint8_t> bytes(20);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(0x41 + i);
    bytes[0] = 0x7F;
    bytes[1] = 0x80;
    bytes[2] = 0x0A;
    bytes[3] = 0xFF;
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"a.bin"), bytes));
    JobSideRecord side(0, JobKindType::FromKind(KindBinary));
    JobContentList content;
    content.path = PathOf(folder.Join(L"a.bin"));
    ASSERT_TRUE(LoadBinarySide(side, content));
    const JobBinaryUnit& row0 = *static_cast<JobBinaryUnit*>(content.At(0));
    EXPECT_EQ(Str(row0.ColumnText(0)), "00000000");
    EXPECT_EQ(Str(row0.ColumnText(1)), "7F 80 0A FF 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50");
    EXPECT_EQ(Str(row0.ColumnText(2)), "._._EFGHIJKLMNOP");
    EXPECT_FALSE(row0.flags & BinaryTextsStale);
    EXPECT_EQ(Str(row0.Text()), Str(row0.ColumnText(1)) + Str(row0.ColumnText(2)));
    const JobBinaryUnit& row1 = *static_cast<JobBinaryUnit*>(content.At(1));
    EXPECT_EQ(Str(row1.ColumnText(0)), "00000010");
    EXPECT_EQ(Str(row1.ColumnText(1)), "51 52 53 54" + std::string(36, ' '));
    EXPECT_EQ(row1.ColumnText(1).Length(), 47);
    EXPECT_EQ(Str(row1.ColumnText(2)), "QRST" + std::string(12, ' '));
    EXPECT_EQ(row1.LastColumn(), 3);
    EXPECT_EQ(row1.EndColumn(), 4);
    EXPECT_EQ(row1.FitCharIndex(2), 2);
    EXPECT_EQ(row1.FitCharIndex(9), 3);
    EXPECT_EQ(Str(BinaryHeaderUnit().ColumnText(1)), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
    EXPECT_EQ(BinaryHeaderUnit().flags, UnitHeader);
    EXPECT_EQ(EmptyBinaryUnit().flags, UnitPlaceholder);
}

TEST(BinaryCompare, OneChangedByteGivesHexAndCharacterDetails) {
    TempFolder folder;
    std::vector<uint8_t> a = Pattern(16), b = a;
    b[5] ^= 0x55;
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"a.bin"), a));
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"b.bin"), b));
    BinaryJob j(PathOf(folder.Join(L"a.bin")), PathOf(folder.Join(L"b.bin")));
    ASSERT_EQ(j.job.rows.Count(), 2);
    JobReportUnit* row = j.job.rows.At(0);
    EXPECT_EQ(row->kind, RowChanged);
    EXPECT_TRUE(row->details[0].IsEmpty());
    EXPECT_EQ(Segments(row->details[1]), (std::vector<Segment>{{0, 15, 15}, {3, 2, 2}, {0, 30, 30}}));
    EXPECT_EQ(Segments(row->details[2]), (std::vector<Segment>{{0, 5, 5}, {3, 1, 1}, {0, 10, 10}}));
    EXPECT_EQ(j.job.rows.At(1)->kind, RowSame);  // the two end rows
    EXPECT_FALSE(j.job.flags & JobSame);
    EXPECT_TRUE(j.job.flags & JobTabStateChanged);
}

TEST(BinaryCompare, EqualFilesGiveOnlySameRows) {
    TempFolder folder;
    for (size_t size : {0u, 16u, 100u}) {
        std::wstring a = folder.Join(L"a" + std::to_wstring(size));
        std::wstring b = folder.Join(L"b" + std::to_wstring(size));
        ASSERT_TRUE(WriteFileBytes(a, Pattern(size, 3)));
        ASSERT_TRUE(WriteFileBytes(b, Pattern(size, 3)));
        BinaryJob j(PathOf(a), PathOf(b));
        EXPECT_EQ(j.job.rows.Count(), static_cast<int32_t>(size / 16 + 1));
        for (const JobReportUnit& row : j.job.rows) {
            EXPECT_EQ(row.kind, RowSame);
            for (const JobDetailList& d : row.details) EXPECT_TRUE(d.IsEmpty());
        }
        EXPECT_TRUE(j.job.flags & JobSame) << size;
    }
}

TEST(BinaryCompare, ShortSideAgainstLongSide) {
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"a.bin"), Pattern(20)));
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"b.bin"), Pattern(40)));
    BinaryJob j(PathOf(folder.Join(L"a.bin")), PathOf(folder.Join(L"b.bin")));
    ASSERT_EQ(j.job.content1.Count(), 2);
    ASSERT_EQ(j.job.content2.Count(), 3);
    EXPECT_EQ(Row(j.job, 1, 2).byteCount, 8);  // 16, 16 and 8 bytes: no end row
    ASSERT_EQ(j.job.rows.Count(), 3);
    EXPECT_EQ(j.job.rows.At(0)->kind, RowSame);
    JobReportUnit* second = j.job.rows.At(1);
    EXPECT_EQ(second->kind, RowChanged);
    std::vector<Segment> hex = {{0, 12, 12}};
    for (int p = 4; p < 16; ++p) {
        hex.push_back({2, 2, 2});
        if (p < 15) hex.push_back({0, 1, 1});
    }
    EXPECT_EQ(Segments(second->details[1]), hex);
    EXPECT_EQ(Segments(second->details[2]), (std::vector<Segment>{{0, 4, 4}, {2, 12, 12}}));
    JobReportUnit* third = j.job.rows.At(2);
    EXPECT_EQ(third->kind, RowOnly2);
    EXPECT_EQ(third->unit1, &EmptyBinaryUnit());
    EXPECT_EQ(third->unit2, &Row(j.job, 1, 2));
    EXPECT_FALSE(j.job.flags & JobSame);
}

TEST(BinaryLoad, OverTheLimitShowsTheFirstPartAndCannotBeEditedOrSaved) {
    LimitGuard limit(32);
    Collector out;
    TempFolder folder;
    std::vector<uint8_t> big = Pattern(40);
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"big.bin"), big));
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"small.bin"), Pattern(8)));
    BinaryJob j(PathOf(folder.Join(L"big.bin")), PathOf(folder.Join(L"small.bin")), true);
    EXPECT_TRUE(out.Has("TooLargeFile")) << (out.lines.empty() ? "" : out.lines[0]);
    EXPECT_TRUE(j.job.content1.flags & ContentCut);
    EXPECT_TRUE(j.job.content1.flags & ContentRead);
    EXPECT_EQ(j.job.content1.fileSize, 40u);
    ASSERT_EQ(j.job.content1.Count(), 3);  // 16, 16, and the end row
    EXPECT_EQ(Row(j.job, 0, 1).byteCount, 16);
    EXPECT_EQ(Row(j.job, 0, 2).byteCount, 0);
    EXPECT_EQ(BinaryDataOf(j.job.side1)->Length(), 32);
    EXPECT_EQ(j.job.edit.edit1, 0);
    EXPECT_EQ(j.job.edit.edit2, 1);
    j.job.edit.edit1 = 1;  // switched on by hand: still refused
    EXPECT_FALSE(SideMayBeEdited(j.job, 0));
    EXPECT_TRUE(SideMayBeEdited(j.job, 1));

    j.job.content1.flags |= ContentChanged;
    out.lines.clear();
    EXPECT_FALSE(j.job.controller->SaveFile(j.job, ModeSide1));
    EXPECT_TRUE(out.Has("SaveError"));
    EXPECT_EQ(ReadFileBytes(folder.Join(L"big.bin")), big);
}

TEST(BinaryLoad, MissingFolderAndLockedSides) {
    Collector out;
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"a.bin"), Pattern(10)));
    {
        BinaryJob j(PathOf(folder.Join(L"a.bin")), PathOf(folder.Join(L"none.bin")), true);
        EXPECT_TRUE(out.lines.empty());
        EXPECT_TRUE(j.job.content2.flags & ContentNoFile);
        EXPECT_EQ(j.job.content2.Count(), 0);
        EXPECT_EQ(j.job.edit.edit2, 0);
        ASSERT_EQ(j.job.rows.Count(), 1);
        EXPECT_EQ(j.job.rows.At(0)->kind, RowOnly1);
        EXPECT_EQ(j.job.rows.At(0)->unit2, &EmptyBinaryUnit());
    }
    {
        BinaryJob j(PathOf(folder.Path()), PathOf(folder.Join(L"a.bin")));
        EXPECT_TRUE(out.Has("DifferentKindError"));
        EXPECT_TRUE(j.job.content1.flags & ContentUnreadable);
        EXPECT_EQ(j.job.content1.Count(), 0);
    }
    out.lines.clear();
    {
        HANDLE lock = CreateFileW(folder.Join(L"a.bin").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        BinaryJob j(PathOf(folder.Join(L"a.bin")), RawString());
        CloseHandle(lock);
        EXPECT_TRUE(out.Has("ReadOpenError"));
        EXPECT_TRUE(j.job.content1.flags & ContentUnreadable);
        EXPECT_FALSE(j.job.content1.flags & ContentRead);
        EXPECT_EQ(j.job.content1.Count(), 0);
    }
}

// A report made while a side loads may repaint the job's rows: at that
// moment no row may hold a unit that the load already freed.
class RowChecker : public RawLayer::JobServerControl::Logger {
public:
    explicit RowChecker(JobGroupUnit& job) : job_(job) { ShellCommandStore::Instance().SetOutput(this); }
    ~RowChecker() override { ShellCommandStore::Instance().SetOutput(nullptr); }
    void Report(const RawString&) override {
        ++reports;
        for (const JobReportUnit& row : job_.rows) {
            for (uint32_t side = 0; side < 2; ++side) {
                JobContentUnit* unit = row.Unit(side);
                JobContentList& content = job_.Content(side);
                if (unit != &EmptyBinaryUnit() && content.IndexOf(unit) < 0) ++stale;
            }
        }
    }
    int reports = 0;
    int stale = 0;

private:
    JobGroupUnit& job_;
};

TEST(BinaryLoad, AReportDuringAReloadSeesNoFreedRows) {
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"a.bin"), Pattern(40)));
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"b.bin"), Pattern(40, 1)));
    BinaryJob j(PathOf(folder.Join(L"a.bin")), PathOf(folder.Join(L"b.bin")));
    ASSERT_EQ(j.job.rows.Count(), 3);
    // Side 1 reloads first; side 2, now a folder, is reported.
    j.job.content2.path = PathOf(folder.Path());
    RowChecker checker(j.job);
    j.job.controller->Load(j.job, ModeBoth);
    EXPECT_EQ(checker.reports, 1);
    EXPECT_EQ(checker.stale, 0);
    EXPECT_EQ(j.job.rows.Count(), 3);
}

TEST(BinaryLoad, AFileShorterThanItsSizeIsAReadErrorNotAShortSide) {
    // A kernel attribute file claims a size of a page but reads a few bytes:
    // the side must not be shown as those few bytes.
    const wchar_t* path = L"Z:\\sys\\devices\\system\\cpu\\online";
    HANDLE probe = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) GTEST_SKIP() << "no kernel attribute file to read";
    LARGE_INTEGER size = {};
    GetFileSizeEx(probe, &size);
    char buffer[8192];
    DWORD got = 0;
    ReadFile(probe, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(probe);
    if (size.QuadPart <= static_cast<LONGLONG>(got)) GTEST_SKIP() << "the file reads whole";

    Collector out;
    JobSideRecord side(0, JobKindType::FromKind(KindBinary));
    JobContentList content;
    content.path = RawString::FromWideText(path);
    EXPECT_FALSE(LoadBinarySide(side, content));
    EXPECT_TRUE(out.Has("ReadError"));
    EXPECT_TRUE(content.flags & ContentUnreadable);
    EXPECT_FALSE(content.flags & ContentRead);
    EXPECT_EQ(content.Count(), 0);
    EXPECT_EQ(BinaryDataOf(side)->Length(), 0);

    // Such a side is never editable.
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"b.bin"), Pattern(4)));
    BinaryJob j(content.path, PathOf(folder.Join(L"b.bin")), true);
    EXPECT_TRUE(j.job.content1.flags & ContentUnreadable);
    EXPECT_EQ(j.job.edit.edit1, 0);
    EXPECT_FALSE(SideMayBeEdited(j.job, 0));
    EXPECT_TRUE(SideMayBeEdited(j.job, 1));
}

TEST(BinaryRowsBytes, AppendBytesPositionOfByteAndRowOfByteRoundTrip) {
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"a.bin"), Pattern(40)));
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"b.bin"), Pattern(40)));
    BinaryJob j(PathOf(folder.Join(L"a.bin")), PathOf(folder.Join(L"b.bin")));
    std::vector<uint8_t> bytes = Pattern(40);
    for (uint32_t index = 0; index < 40; ++index) {
        int32_t r = BinaryRowOfByte(j.job, 0, index);
        ASSERT_EQ(r, static_cast<int32_t>(index / 16));
        const JobBinaryUnit& row = Row(j.job, 0, r);
        int32_t p = row.PositionOfByte(index);
        ASSERT_EQ(p, static_cast<int32_t>(index % 16));
        RawString cells;
        row.AppendBytes(cells, p, p + 1);
        ASSERT_EQ(cells.Kind(), RawLayer::KindUtf16);
        ASSERT_EQ(cells.Length(), 1);
        EXPECT_EQ(cells.UnitAt(0), bytes[index]);
    }
    EXPECT_EQ(BinaryRowOfByte(j.job, 0, 40), 2);    // beyond: the last row
    EXPECT_EQ(BinaryRowOfByte(j.job, 0, 1000), 2);
    EXPECT_EQ(Row(j.job, 0, 0).PositionOfByte(16), 16);
    EXPECT_EQ(Row(j.job, 0, 1).PositionOfByte(3), 16);

    // A row with gaps: positions 1, 4 and 9 hold no byte.
    JobBinaryUnit& row = Row(j.job, 0, 0);
    row.mask = static_cast<uint16_t>(0xFFFF & ~(0x8000 >> 1) & ~(0x8000 >> 4) & ~(0x8000 >> 9));
    row.RecountBytes();
    EXPECT_EQ(row.byteCount, 13);
    RawString cells;
    row.AppendBytes(cells, 0, 6);
    row.AppendBytes(cells, 6, 20);  // clamped to 16 positions
    ASSERT_EQ(cells.Length(), 16);
    uint32_t next = 0;
    for (int32_t p = 0; p < 16; ++p) {
        if (p == 1 || p == 4 || p == 9) {
            EXPECT_EQ(cells.UnitAt(p), static_cast<uint32_t>(BinaryEmptyCell)) << p;
            continue;
        }
        EXPECT_EQ(cells.UnitAt(p), bytes[next]) << p;
        EXPECT_EQ(row.PositionOfByte(next), p);
        ++next;
    }
    EXPECT_EQ(row.PositionOfByte(13), 16);  // now the next row's first byte
}

TEST(BinaryCompare, RecompareAfterAnEditOfTheBuffer) {
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"a.bin"), Pattern(32)));
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"b.bin"), Pattern(32)));
    BinaryJob j(PathOf(folder.Join(L"a.bin")), PathOf(folder.Join(L"b.bin")), true);
    ASSERT_TRUE(j.job.flags & JobSame);
    // Change byte 18 of side 2 (row 1, position 2) as an edit would.
    JobBinaryBaseData* data = BinaryDataOf(j.job.side2);
    data->bytes.SetUnitAt(18, data->ByteAt(18) ^ 0xFF);
    JobBinaryUnit& row = Row(j.job, 1, 1);
    row.flags |= BinaryTextsStale | BinaryBytesChanged;
    j.job.content2.flags |= ContentChanged;
    RecompareBinaryRows(j.job, 1);
    EXPECT_FALSE(row.flags & (BinaryTextsStale | BinaryBytesChanged));
    EXPECT_EQ(j.job.rows.At(1)->kind, RowChanged);
    EXPECT_EQ(Segments(j.job.rows.At(1)->details[2]),
              (std::vector<Segment>{{0, 2, 2}, {3, 1, 1}, {0, 13, 13}}));
    EXPECT_EQ(j.job.rows.At(0)->kind, RowSame);
    EXPECT_FALSE(j.job.flags & JobSame);
    EXPECT_TRUE(j.job.flags & JobChanged);
    // Changed back, flagged through the row's pending bit this time.
    data->bytes.SetUnitAt(18, data->ByteAt(18) ^ 0xFF);
    j.job.rows.At(1)->flags |= RowEdited;
    RecompareBinaryRows(j.job, 1);
    EXPECT_EQ(j.job.rows.At(1)->kind, RowSame);
    EXPECT_TRUE(j.job.rows.At(1)->details[1].IsEmpty());
    EXPECT_FALSE(j.job.rows.At(1)->flags & RowEdited);
    EXPECT_TRUE(j.job.flags & JobSame);

    // Discarding a changed side keeps the dropped edits in a backup; after
    // that no side is changed, so a save has nothing to do.
    Collector out;
    TempFolder backups;
    JobBackupList::Instance().SetOptions(PathOf(backups.Join(L"Backups")), 10, false);
    EXPECT_TRUE(j.job.controller->DiscardFile(j.job, ModeSide2));
    EXPECT_FALSE(out.Has("BackupError"));
    EXPECT_FALSE(j.job.content2.flags & ContentChanged);
    EXPECT_FALSE(j.job.controller->SaveFile(j.job, ModeBoth));
    EXPECT_TRUE(out.lines.empty());
    j.job.controller->Load(j.job, ModeSide2);
    EXPECT_FALSE(j.job.content2.flags & ContentChanged);
    EXPECT_EQ(j.job.rows.Count(), 3);
}

TEST(BinaryKind, PoolOpensBinaryPairsWithTheBinaryController) {
    JobKindPool pool;
    EXPECT_TRUE(pool.HasKind(JobKindType::FromKind(KindBinary)));
    EXPECT_EQ(pool.CreateControl(JobKindType::FromKind(KindBinary)), &JobBinaryControl::Shared());
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"a.dat"), Pattern(17)));
    ASSERT_TRUE(WriteFileBytes(folder.Join(L"b.dat"), Pattern(17, 1)));
    JobGroupList& list = JobGroupList::Instance();
    JobKindServer* old = list.KindPool();
    list.SetKindPool(&pool);
    JobGroupUnit* job = list.OpenPair(PathOf(folder.Join(L"a.dat")), PathOf(folder.Join(L"b.dat")));
    list.SetKindPool(old);
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->kind.kind, KindBinary);
    EXPECT_EQ(job->rows.Count(), 2);
    EXPECT_EQ(job->rows.At(0)->kind, RowChanged);
    EXPECT_EQ(job->side1.cursorRow, 0);
    EXPECT_EQ(job->side1.cursorColumn, 0);
    EXPECT_FALSE(job->side1.encodingText.IsEmpty());
    list.CloseJob(job);
    list.PurgeClosed();
}

// Compare results pinned to a recorded reference: random text, binary and
// folder compares on fixed seeds, before and after edits, connects and
// reloads, each reduced to one digest of everything a view reads from a job
// (rows and their kinds, the units' texts and column texts, and the detail
// segments of all three columns). The digests were recorded from the
// compare as it stood (the line compare anchored on unique lines); a change
// of how rows, units and lists are held must give the very same results.
//
// After a deliberate change of the results, the new digests are printed by
// running this test with TAVREL_PRINT_REFERENCE=1 in the environment.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/small_block.h"
#include "support/job_support.h"
#include "support/test_support.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/text/line_matcher.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::PutFile;
using TestSupport::TempFolder;
using TestSupport::W;
using TestSupport::WriteFileBytes;

namespace {

// A small fixed random source (the same numbers on every platform).
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n - 1
    int32_t Below(int32_t n) { return n <= 0 ? 0 : static_cast<int32_t>(Next() % static_cast<uint64_t>(n)); }
    bool Chance(int32_t percent) { return Below(100) < percent; }

private:
    uint64_t state_;
};

// FNV-1a over everything fed in.
class Digest {
public:
    void Bytes(const void* data, size_t n) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < n; ++i) hash_ = (hash_ ^ p[i]) * 0x100000001B3ull;
    }
    void Number(int64_t v) { Bytes(&v, sizeof(v)); }
    void Text(const RawString& s) {
        Number(s.Kind() == RawLayer::KindUtf16 ? 7 : 1);
        Number(s.Length());
        for (int32_t i = 0; i < s.Length(); ++i) Number(s.UnitAt(i));
    }
    std::string Hex() const {
        char out[17];
        std::snprintf(out, sizeof(out), "%016llx", static_cast<unsigned long long>(hash_));
        return out;
    }

private:
    uint64_t hash_ = 0xCBF29CE484222325ull;
};

void FeedUnit(Digest& d, const std::unordered_map<const JobContentUnit*, int32_t>& index,
              const JobContentUnit* unit, int32_t columns) {
    if (!unit) {
        d.Number(-2);
        return;
    }
    auto found = index.find(unit);
    d.Number(found == index.end() ? -1 : found->second);
    d.Number(unit->flags & (UnitPlaceholder | UnitHeader));
    d.Number(unit->markKind);
    d.Text(unit->Text());
    for (int32_t c = 0; c < columns; ++c) d.Text(unit->ColumnText(c));
    if (const JobBinaryUnit* b = dynamic_cast<const JobBinaryUnit*>(unit)) {
        d.Number(b->firstIndex);
        d.Number(b->byteCount);
        d.Number(b->extent);
        d.Number(b->mask);
    }
}

// Everything a view reads from the job: the sides' units in order, the
// rows with their kinds, units and the detail segments of every column,
// and the job's Same bit. `columns` leaves out what depends on the machine
// (the date column of folder entries).
std::string JobDigest(const JobGroupUnit& job, int32_t columns) {
    Digest d;
    std::unordered_map<const JobContentUnit*, int32_t> index;
    for (uint32_t s = 0; s < 2; ++s) {
        const JobContentList& content = job.Content(s);
        d.Number(content.Count());
        d.Number(content.flags & ~ContentKeepMask);
        int32_t i = 0;
        for (const JobContentUnit& unit : content) index[&unit] = static_cast<int32_t>(s) * 1000000 + i++;
        for (const JobContentUnit& unit : content) FeedUnit(d, index, &unit, columns);
    }
    d.Number(job.rows.Count());
    for (const JobReportUnit& row : job.rows) {
        d.Number(row.kind);
        d.Number(row.flags);
        FeedUnit(d, index, row.unit1, columns);
        FeedUnit(d, index, row.unit2, columns);
        for (int c = 0; c < 3; ++c) {
            d.Number(row.details[c].Count());
            for (const JobDetailUnit& u : row.details[c]) {
                d.Number(u.kind);
                d.Number(u.length1);
                d.Number(u.length2);
            }
        }
    }
    d.Number(job.flags & JobSame);
    return d.Hex();
}

// The recorded digests, by case name.
const std::map<std::string, std::string>& Reference() {
    static const std::map<std::string, std::string> table = {
        {"text1 compare", "d9e08bc6d10fafad"},
        {"text1 edited", "3045738cfcb725cd"},
        {"text1 marked", "860499d1f9f5eef6"},
        {"text1 reloaded", "1a9750834fe903bc"},
        {"text2 compare", "6fbc33a29b4d4ae4"},
        {"text2 edited", "e8b5c72c78a85e7e"},
        {"text2 marked", "d803e8b4ee21fcd9"},
        {"text2 reloaded", "7a5021567d1c4dde"},
        {"text3 compare", "a22dff0d067743d6"},
        {"text3 edited", "f131c2306b068729"},
        {"text3 marked", "1225297465f14d9f"},
        {"text3 reloaded", "9abddb436a03ce89"},
        {"text4 compare", "aafd9adf53b05734"},
        {"text4 edited", "19c199cc22e70d9e"},
        {"text4 marked", "6fdbd161e0cc3d4e"},
        {"text4 reloaded", "938ce337e247491d"},
        {"text5 compare", "dc1bcb6dad70c100"},
        {"text5 edited", "9abd21e6512f376a"},
        {"text5 marked", "1c03cc7180d1bc83"},
        {"text5 reloaded", "7c2c9836fe7a226e"},
        {"text6 compare", "ad3ef68cd6785639"},
        {"text6 edited", "de7218ddc96a5224"},
        {"text6 marked", "fcda82560730e45b"},
        {"text6 reloaded", "b32e3bf481f0d03f"},
        {"text7 compare", "cc32179526bb2736"},
        {"text7 edited", "a8498fa1c06af9df"},
        {"text7 marked", "0877305f58493121"},
        {"text7 reloaded", "afa7071c0ffc7eb0"},
        {"text8 compare", "4f01a5bdab9e6553"},
        {"text8 edited", "5d6847138b0dcc86"},
        {"text8 marked", "304331936ec9edc9"},
        {"text8 reloaded", "91734ad96ad12da2"},
        {"text9 compare", "d60833e4a9e36ef7"},
        {"text9 edited", "4ca4d021ca876522"},
        {"text9 marked", "9808d6fa3d3e9589"},
        {"text9 reloaded", "566feeab379fb587"},
        {"text10 compare", "b7c71b4bc0f6559d"},
        {"text10 edited", "66c4d59882388dbb"},
        {"text10 marked", "cae431940e157759"},
        {"text10 reloaded", "81f2da74e7f41b49"},
        {"text11 compare", "2f54414398cabe55"},
        {"text11 edited", "0a3178e2be88afa8"},
        {"text11 marked", "6e7ca867d46c9b8a"},
        {"text11 reloaded", "414c16c33f9bbdfc"},
        {"text12 compare", "10e3cfb0753a4793"},
        {"text12 edited", "81a7deb2911c6ae5"},
        {"text12 marked", "9d9b08f343f706d5"},
        {"text12 reloaded", "e3741d1f1cac59dc"},
        {"binary1 compare", "6d0aff53b57aa247"},
        {"binary1 edited", "1112d5dcfac324cc"},
        {"binary1 reloaded", "34b96606b88f93b4"},
        {"binary2 compare", "cad2cb1d98f398f9"},
        {"binary2 edited", "2195cc23a7c102ce"},
        {"binary2 reloaded", "4eb3055df23df3cd"},
        {"binary3 compare", "91acb1a07e9558ea"},
        {"binary3 edited", "eb39b612266cd1b8"},
        {"binary3 reloaded", "3f059c1621bcbc04"},
        {"binary4 compare", "05dae64e95e44c01"},
        {"binary4 edited", "24afd7ec5d55461e"},
        {"binary4 reloaded", "a3092e2983b1b6a5"},
        {"binary5 compare", "04159073e18a70d4"},
        {"binary5 edited", "78f03de74995e9be"},
        {"binary5 reloaded", "249872a78584e684"},
        {"binary6 compare", "20ba20f67bd1808f"},
        {"binary6 edited", "614d240a662659f3"},
        {"binary6 reloaded", "0135800cb6b0a029"},
        {"folder1 compare", "e57e21c02a8ede81"},
        {"folder1 connected", "ca51c2eb014b2970"},
        {"folder2 compare", "6521cd8e16ea7ab8"},
        {"folder2 connected", "d9c7663b083107b9"},
        {"folder3 compare", "83e82f08efdfcf26"},
        {"folder3 connected", "cfb799bbce1d0e52"},
    };
    return table;
}

bool Printing() { return std::getenv("TAVREL_PRINT_REFERENCE") != nullptr; }

void Check(const std::string& name, const std::string& digest) {
    if (Printing()) {
        std::printf("        {\"%s\", \"%s\"},\n", name.c_str(), digest.c_str());
        return;
    }
    auto found = Reference().find(name);
    ASSERT_NE(found, Reference().end()) << name;
    EXPECT_EQ(digest, found->second) << name;
}

// ---------------------------------------------------------------------------
// Text

const char* const kWords[] = {"int", "value", "count", "index", "return", "if", "else", "for",
                              "while", "const", "struct", "void", "char", "{", "}", "(", ")",
                              ";", "=", "0", "1", "left", "right", "node", "list", "\xC3\xA9t\xC3\xA9",
                              "\xE6\x97\xA5\xE6\x9C\xAC", "na\xC3\xAFve", "x", "y"};

std::string RandomLine(Random& r) {
    std::string line(static_cast<size_t>(4 * r.Below(3)), ' ');
    int32_t words = r.Below(9);
    for (int32_t w = 0; w < words; ++w) {
        if (w) line += ' ';
        line += kWords[r.Below(static_cast<int32_t>(sizeof(kWords) / sizeof(kWords[0])))];
    }
    return line;
}

std::vector<std::string> RandomLines(Random& r, int32_t count) {
    std::vector<std::string> lines;
    for (int32_t i = 0; i < count; ++i) {
        // Repeated lines, as code has them, give the matcher equal texts to
        // choose between.
        if (i > 4 && r.Chance(15))
            lines.push_back(lines[static_cast<size_t>(i - 1 - r.Below(4))]);
        else
            lines.push_back(RandomLine(r));
    }
    return lines;
}

// A copy with lines changed, dropped, added and moved.
std::vector<std::string> Changed(Random& r, const std::vector<std::string>& lines, int32_t percent) {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        if (!r.Chance(percent)) {
            out.push_back(line);
            continue;
        }
        switch (r.Below(5)) {
            case 0: break;  // dropped
            case 1: out.push_back(line); out.push_back(RandomLine(r)); break;
            case 2: out.push_back(line + " " + kWords[r.Below(10)]); break;
            case 3: out.push_back(RandomLine(r)); break;
            default: {
                std::string s = line;
                if (!s.empty()) s[static_cast<size_t>(r.Below(static_cast<int32_t>(s.size())))] = '#';
                out.push_back(s);
            }
        }
    }
    return out;
}

// UTF-16 little-endian bytes of a UTF-8 text.
std::string Utf16Le(const std::string& utf8) {
    std::wstring w = TestSupport::Wide(utf8);
    std::string out;
    for (wchar_t c : w) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>((c >> 8) & 0xFF);
    }
    return out;
}

// The file of some lines: 0 UTF-8 with CR LF, 1 UTF-8 with a mark and LF,
// 2 UTF-16 little-endian with a mark and CR LF (the last line without an
// end).
std::string FileOf(const std::vector<std::string>& lines, int form) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (form == 1) text += "\n";
        else if (form == 0 || i + 1 < lines.size()) text += "\r\n";
    }
    if (form == 1) return "\xEF\xBB\xBF" + text;
    if (form == 2) return "\xFF\xFE" + Utf16Le(text);
    return text;
}

class ReferenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        static JobKindPool pool;
        JobGroupList::Instance().SetKindPool(&pool);
        ShellCommandStore::Instance().SetOutput(&logger);
    }
    void TearDown() override { ShellCommandStore::Instance().SetOutput(nullptr); }

    std::wstring File(const std::string& name, const std::string& bytes) {
        std::wstring path = folder.Join(TestSupport::Wide(name));
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    TempFolder folder;
    TestSupport::CaptureLogger logger;
};

// A text in the kind of a side's lines.
RawString LineText(const JobContentList& content, const std::string& utf8) {
    return RawString::FromBytes(utf8.data(), static_cast<int32_t>(utf8.size()), RawLayer::KindUtf8)
        .As(LineTextKindOf(content.encodingKind));
}

int32_t RowOfLine(const JobGroupUnit& job, const JobContentUnit* line, uint32_t side) {
    int32_t i = 0;
    for (const JobReportUnit& row : job.rows) {
        if (row.Unit(side) == line) return i;
        ++i;
    }
    return -1;
}

// Edits as the text edit commands make them out of the line primitives: a
// few lines inserted, removed and retyped, then the edited rows refreshed.
void EditText(JobGroupUnit& job, Random& r) {
    for (int step = 0; step < 8; ++step) {
        uint32_t side = static_cast<uint32_t>(r.Below(2));
        JobContentList& content = job.Content(side);
        int32_t rows = job.rows.Count();
        if (rows == 0) return;
        int32_t rowIndex = r.Below(rows);
        JobReportUnit* row = job.rows.At(rowIndex);
        JobContentUnit* unit = row->Unit(side);
        bool real = unit && !unit->IsPlaceholder();
        switch (r.Below(4)) {
            case 0:
                if (real) RemoveLine(job, rowIndex, unit, side);
                break;
            case 1: {
                int32_t at = content.IsEmpty() ? -1 : r.Below(content.Count() + 1);
                int32_t made = InsertLineBefore(job, at, side);
                JobReportUnit* holder = job.rows.At(made);
                JobLineUnit* line = holder ? dynamic_cast<JobLineUnit*>(holder->Unit(side)) : nullptr;
                if (line && !line->IsPlaceholder()) {
                    line->SetText(LineText(content, RandomLine(r)));
                    holder->flags |= RowEdited;
                }
                break;
            }
            case 2:
                if (real) {
                    JobLineUnit* fresh = InsertLineAfter(job, rowIndex, unit, side);
                    if (fresh) {
                        fresh->SetText(LineText(content, RandomLine(r)));
                        int32_t at = RowOfLine(job, fresh, side);
                        if (at >= 0) job.rows.At(at)->flags |= RowEdited;
                    }
                }
                break;
            default:
                if (real) {
                    static_cast<JobLineUnit*>(unit)->SetText(LineText(content, RandomLine(r)));
                    row->flags |= RowEdited;
                    content.flags |= ContentChanged;
                }
        }
    }
    RefreshEditedRows(job);
}

// Marks two rows and connects or floats their side-1 lines onto the side-2
// line of the cursor row, then compares again.
void MarkAndCompare(JobGroupUnit& job, Random& r) {
    int32_t rows = job.rows.Count();
    if (rows < 3) return;
    for (int k = 0; k < 2; ++k) job.rows.At(r.Below(rows))->flags |= RowMarked;
    job.side2.cursorRow = r.Below(rows);
    job.controller->ConnectLines(job, job.side2.cursorRow, 0,
                                 r.Chance(50) ? ConnectModeConnect : ConnectModeFloat);
    for (JobReportUnit& row : job.rows) row.flags &= ~static_cast<uint32_t>(RowMarked);
    job.controller->Compare(job);
}


// ---------------------------------------------------------------------------
// Binary

std::string RandomBytes(Random& r, int32_t n) {
    std::string bytes;
    for (int32_t i = 0; i < n; ++i) bytes += static_cast<char>(r.Below(256));
    return bytes;
}

// A copy with bytes changed, and its end cut or extended.
std::string ChangedBytes(Random& r, std::string bytes, int32_t percent) {
    for (char& b : bytes)
        if (r.Chance(percent)) b = static_cast<char>(r.Below(256));
    switch (r.Below(3)) {
        case 0: bytes.resize(bytes.size() - static_cast<size_t>(r.Below(static_cast<int32_t>(bytes.size()) / 3 + 1))); break;
        case 1: bytes += RandomBytes(r, r.Below(70)); break;
        default: break;
    }
    return bytes;
}

JobBinaryUnit* BinaryRow(JobGroupUnit& job, uint32_t side, int32_t index) {
    return static_cast<JobBinaryUnit*>(job.Content(side).At(index));
}

// Edits as the binary edit commands make them: bytes overwritten, and a
// byte deleted out of a row leaving a gap (the rows after it move down one
// byte in the buffer); then the rows are compared again.
void EditBinary(JobGroupUnit& job, Random& r) {
    for (uint32_t side = 0; side < 2; ++side) {
        JobBinaryBaseData* data = BinaryDataOf(job.Side(side));
        JobContentList& content = job.Content(side);
        if (!data || data->Length() == 0) continue;
        for (int k = 0; k < 5; ++k) {
            int32_t at = r.Below(data->Length());
            data->bytes.SetUnitAt(at, static_cast<uint32_t>(r.Below(256)));
            int32_t rowIndex = BinaryRowOfByte(job, side, static_cast<uint32_t>(at));
            BinaryRow(job, side, rowIndex)->flags |= BinaryTextsStale | BinaryBytesChanged;
        }
        int32_t rowIndex = r.Below(content.Count());
        JobBinaryUnit* row = BinaryRow(job, side, rowIndex);
        if (row->byteCount > 1) {
            int32_t p = 0;
            while (!row->HasByteAt(p)) ++p;
            p += r.Below(row->byteCount - 1) + 1;
            while (!row->HasByteAt(p)) ++p;
            uint32_t byteIndex = row->firstIndex;
            for (int32_t q = 0; q < p; ++q)
                if (row->HasByteAt(q)) ++byteIndex;
            data->bytes.Erase(static_cast<int32_t>(byteIndex), 1);
            row->mask = static_cast<uint16_t>(row->mask & ~JobBinaryUnit::PositionBit(p));
            row->RecountBytes();
            row->flags |= BinaryTextsStale | BinaryBytesChanged;
            for (int32_t i = rowIndex + 1; i < content.Count(); ++i) {
                JobBinaryUnit* later = BinaryRow(job, side, i);
                later->firstIndex -= 1;
                later->flags |= BinaryTextsStale;
            }
        }
        content.flags |= ContentChanged;
        RecompareBinaryRows(job, side);
    }
}

// A job of a kind over two paths, both sides editable, loaded and compared.
std::unique_ptr<JobGroupUnit> OpenJob(uint32_t kind, JobKindControl& control, const std::wstring& path1,
                                      const std::wstring& path2) {
    std::unique_ptr<JobGroupUnit> job(new JobGroupUnit(JobKindType::FromKind(kind), &control));
    job->content1.path = W(path1);
    job->content2.path = W(path2);
    job->edit.edit1 = job->edit.edit2 = 1;
    job->controller->Load(*job, ModeBoth);
    return job;
}

// Loads the sides of a mode again; the edits of both sides are dropped
// without a backup.
void Reload(JobGroupUnit& job, uint32_t mode) {
    job.content1.flags = static_cast<uint16_t>(job.content1.flags & ~ContentChanged);
    job.content2.flags = static_cast<uint16_t>(job.content2.flags & ~ContentChanged);
    job.controller->Load(job, mode);
}

}  // namespace

TEST_F(ReferenceTest, TextComparesEditsConnectsAndReloads) {
    for (uint64_t seed = 1; seed <= 12; ++seed) {
        Random r(seed);
        const int form = static_cast<int>(seed % 3);
        std::vector<std::string> one = RandomLines(r, 40 + r.Below(800));
        std::vector<std::string> two = Changed(r, one, static_cast<int32_t>(seed * 4));
        std::wstring path1 = File("a" + std::to_string(seed) + ".txt", FileOf(one, form));
        std::wstring path2 = File("b" + std::to_string(seed) + ".txt", FileOf(two, form));
        std::unique_ptr<JobGroupUnit> opened = OpenJob(KindText, JobLineControl::Shared(), path1, path2);
        JobGroupUnit& job = *opened;
        const std::string name = "text" + std::to_string(seed);
        Check(name + " compare", JobDigest(job, 2));
        EditText(job, r);
        Check(name + " edited", JobDigest(job, 2));
        MarkAndCompare(job, r);
        Check(name + " marked", JobDigest(job, 2));
        // The second side changes on disk and is loaded again.
        WriteFileBytes(path2, FileOf(Changed(r, one, 20), form));
        Reload(job, ModeSide2);
        Check(name + " reloaded", JobDigest(job, 2));
    }
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(ReferenceTest, BinaryComparesEditsAndReloads) {
    for (uint64_t seed = 1; seed <= 6; ++seed) {
        Random r(seed + 100);
        std::string one = RandomBytes(r, r.Below(3000));
        std::string two = seed == 3 ? one : ChangedBytes(r, one, static_cast<int32_t>(seed * 2));
        std::wstring path1 = File("a" + std::to_string(seed) + ".bin", one);
        std::wstring path2 = File("b" + std::to_string(seed) + ".bin", two);
        std::unique_ptr<JobGroupUnit> opened = OpenJob(KindBinary, JobBinaryControl::Shared(), path1, path2);
        JobGroupUnit& job = *opened;
        const std::string name = "binary" + std::to_string(seed);
        Check(name + " compare", JobDigest(job, 3));
        EditBinary(job, r);
        Check(name + " edited", JobDigest(job, 3));
        WriteFileBytes(path1, ChangedBytes(r, two, 5));
        Reload(job, ModeSide1);
        Check(name + " reloaded", JobDigest(job, 3));
    }
    EXPECT_TRUE(logger.lines.empty());
}

class FolderReferenceTest : public TestSupport::FolderJobFixture {};

TEST_F(FolderReferenceTest, FolderComparesAndConnects) {
    for (uint64_t seed = 1; seed <= 3; ++seed) {
        Random r(seed + 200);
        std::wstring tag = std::to_wstring(seed);
        std::wstring one = work.Join(L"one" + tag), two = work.Join(L"two" + tag);
        CreateDirectoryW(one.c_str(), nullptr);
        CreateDirectoryW(two.c_str(), nullptr);
        for (int32_t i = 0; i < 30; ++i) {
            std::wstring name = (r.Chance(30) ? L"Doc" : L"doc") + std::to_wstring(r.Below(40)) +
                                (r.Chance(50) ? L".txt" : L".bin");
            std::string bytes = RandomBytes(r, r.Below(2000));
            if (r.Chance(80)) PutFile(one + L"\\" + name, bytes);
            if (r.Chance(80)) PutFile(two + L"\\" + name, r.Chance(70) ? bytes : bytes + "x");
        }
        for (int32_t i = 0; i < 3; ++i) {
            std::wstring sub = L"sub" + std::to_wstring(i);
            if (r.Chance(80)) CreateDirectoryW((one + L"\\" + sub).c_str(), nullptr);
            if (r.Chance(80)) CreateDirectoryW((two + L"\\" + sub).c_str(), nullptr);
        }
        JobGroupUnit* job = JobGroupList::Instance().OpenPair(W(one), W(two));
        ASSERT_NE(job, nullptr);
        const std::string name = "folder" + std::to_string(seed);
        Check(name + " compare", JobDigest(*job, 2));
        // Two one-sided entries connected, then compared again.
        int32_t only1 = -1, only2 = -1, index = 0;
        for (const JobReportUnit& row : job->rows) {
            if (row.kind == RowOnly1 && only1 < 0) only1 = index;
            if (row.kind == RowOnly2 && only2 < 0) only2 = index;
            ++index;
        }
        if (only1 >= 0 && only2 >= 0) {
            job->rows.At(only1)->flags |= RowMarked;
            job->controller->ConnectLines(*job, only2, 0, ConnectModeConnect);
            job->rows.At(only1)->flags &= ~static_cast<uint32_t>(RowMarked);
            job->controller->Compare(*job);
        }
        Check(name + " connected", JobDigest(*job, 2));
        JobGroupList::Instance().CloseJob(job);
        JobGroupList::Instance().PurgeClosed();
    }
}

// A text and a binary job, loaded, compared, edited and reloaded, then
// freed: every block they took from the pool goes back, and what the pool
// keeps stays within its stated spare.
TEST_F(ReferenceTest, FreeingJobsGivesEveryBlockBack) {
    auto run = [&](uint64_t seed) {
        Random r(seed);
        std::vector<std::string> one = RandomLines(r, 6000);
        std::wstring path1 = File("m1.txt", FileOf(one, 0));
        std::wstring path2 = File("m2.txt", FileOf(Changed(r, one, 10), 2));
        std::unique_ptr<JobGroupUnit> text = OpenJob(KindText, JobLineControl::Shared(), path1, path2);
        EditText(*text, r);
        MarkAndCompare(*text, r);
        Reload(*text, ModeSide1);
        EXPECT_GT(text->rows.Count(), 6000);
        text.reset();

        std::string bytes = RandomBytes(r, 200000);
        std::wstring bin1 = File("m1.bin", bytes);
        std::wstring bin2 = File("m2.bin", ChangedBytes(r, bytes, 3));
        std::unique_ptr<JobGroupUnit> binary = OpenJob(KindBinary, JobBinaryControl::Shared(), bin1, bin2);
        EditBinary(*binary, r);
        // A changed row holds no lists: they are computed when read.
        int32_t changed = 0;
        for (const JobReportUnit& row : binary->rows) {
            if (row.kind != RowChanged) continue;
            ++changed;
            EXPECT_FALSE(row.details[1].IsEmpty());
            EXPECT_FALSE(row.details.IsStored());
        }
        EXPECT_GT(changed, 1000);
        binary.reset();
    };
    run(1);  // the process-wide shared units and tables are made here
    const RawLayer::SmallBlockCounts before = RawLayer::SmallBlockState();
    run(1);
    const RawLayer::SmallBlockCounts after = RawLayer::SmallBlockState();
    EXPECT_EQ(after.liveBlocks, before.liveBlocks);
    EXPECT_LE(after.spareChunks, 512u);
    EXPECT_LE(after.keptLargeBytes, size_t(32) << 20);
    EXPECT_TRUE(logger.lines.empty());
}

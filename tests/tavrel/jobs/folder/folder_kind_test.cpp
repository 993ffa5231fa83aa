// The folder kind on real folders: loading, the sort order, pairing and
// connecting, the equality tests with their options, child jobs and the
// failures that a side or a file can meet.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/file_system.h"
#include "support/job_support.h"
#include "support/test_support.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/folder/folder_equal.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/shell_commands.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::TempFolder;
using TestSupport::Utf8;
using TestSupport::WriteFileBytes;

using TestSupport::W;
using TestSupport::S;
using TestSupport::kBaseTime;
using TestSupport::PutFile;
using TestSupport::SetWriteTime;

namespace {

// The folder fixture, with the compare options put back after each test.
class FolderKindTest : public TestSupport::FolderJobFixture {
protected:
    void SetUp() override {
        FolderJobFixture::SetUp();
        ConfigStore& store = ConfigStore::Instance();
        saved = {store.compareTimeBySecond, store.compareTimeAsFatTime, store.compareSizeOnText,
                 store.compareTimeOnText,   store.compareByteOnText,    store.compareDataOnText,
                 store.compareSizeOnOther,  store.compareTimeOnOther,   store.compareByteOnOther,
                 store.compareDataOnOther};
    }
    void TearDown() override {
        FolderJobFixture::TearDown();
        ConfigStore& store = ConfigStore::Instance();
        store.compareTimeBySecond = saved[0];
        store.compareTimeAsFatTime = saved[1];
        store.compareSizeOnText = saved[2];
        store.compareTimeOnText = saved[3];
        store.compareByteOnText = saved[4];
        store.compareDataOnText = saved[5];
        store.compareSizeOnOther = saved[6];
        store.compareTimeOnOther = saved[7];
        store.compareByteOnOther = saved[8];
        store.compareDataOnOther = saved[9];
    }
    JobGroupUnit* Open() { return JobGroupList::Instance().OpenPair(W(left), W(right)); }

    std::vector<bool> saved;
};

}  // namespace

// ---- sort order and texts ------------------------------------------------------

TEST(FolderNameTest, NameCompareNoCaseFoldsAsciiOnly) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        int sign;
    } cases[] = {
        {L"abc", L"ABC", 0},        {L"a_b", L"A_B", 0},     {L"abc", L"abcd", -1},
        {L"abcd", L"abc", 1},       {L"a", L"[", -1},        {L"\u00e4x", L"\u00c4x", 1},
        {L"", L"", 0},              {L"Zeta", L"alpha", 1},  {L"A_B.bin", L"abc.txt", 1},
    };
    for (const Case& c : cases) {
        int r = NameCompareNoCase(W(c.a), W(c.b));
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << Utf8(c.a) << " / " << Utf8(c.b);
    }
}

TEST(FolderNameTest, ShiftJisTrailBytesAreNotFolded) {
    // Two katakana whose trail bytes are 'a' (0x61) and 'A' (0x41).
    const char one[] = {'\x83', '\x61'};
    const char two[] = {'\x83', '\x41'};
    RawString a = RawString::FromBytes(one, 2, RawLayer::KindSjis);
    RawString b = RawString::FromBytes(two, 2, RawLayer::KindSjis);
    EXPECT_GT(NameCompareNoCase(a, b), 0);
    const char lower[] = {'a', 'b'};
    const char upper[] = {'A', 'B'};
    EXPECT_EQ(NameCompareNoCase(RawString::FromBytes(lower, 2, RawLayer::KindSjis),
                                RawString::FromBytes(upper, 2, RawLayer::KindSjis)),
              0);
}

TEST(FolderNameTest, SizeTexts) {
    struct Case {
        uint64_t size;
        const char* text;
    } cases[] = {{0, "0 KB"},    {1, "1 KB"},    {499, "1 KB"},   {500, "1 KB"},
                 {1499, "1 KB"}, {1500, "2 KB"}, {999499, "999 KB"}, {5000000000ULL, "5000000 KB"}};
    for (const Case& c : cases) EXPECT_EQ(S(JobPathUnit::SizeText(c.size)), c.text) << c.size;
}

TEST(FolderNameTest, TimeRulesAtTheirBoundaries) {
    PathCompareOptions fat;
    PathCompareOptions second;
    second.timeAsFat = false;
    PathCompareOptions exact;
    exact.timeAsFat = false;
    exact.timeBySecond = false;
    const uint64_t t = kBaseTime;  // a whole second
    struct Case {
        const PathCompareOptions* options;
        uint64_t a, b;
        bool equal;
    } cases[] = {
        {&fat, t, t + 15000000, true},          {&fat, t, t + 25000000, false},
        {&fat, t, t + 20000000, true},          {&fat, t + 20000001, t, false},
        {&second, t + 9000000, t + 11000000, false}, {&second, t + 11000000, t + 19000000, true},
        {&second, t, t + 9999999, true},        {&second, t, t + 10000000, false},
        {&exact, t, t + 1, false},              {&exact, t + 5, t + 5, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PathTimesEqual(c.a, c.b, *c.options), c.equal) << c.a - t << " " << c.b - t;
}

// ---- loading and pairing ---------------------------------------------------------

TEST_F(FolderKindTest, PairsByAsciiCaseWithFoldersFirst) {
    PutFile(left + L"\\abc.txt", "same");
    PutFile(left + L"\\A_B.bin", "bin");
    ASSERT_TRUE(CreateDirectoryW((left + L"\\zeta").c_str(), nullptr));
    PutFile(left + L"\\alpha.txt", "alpha");
    PutFile(left + L"\\\u00e4x.txt", "u");
    PutFile(right + L"\\ABC.TXT", "same");
    PutFile(right + L"\\a_b.bin", "bin");
    PutFile(right + L"\\alpha.txt", "alpha");
    PutFile(right + L"\\zeta", "a file");
    PutFile(right + L"\\\u00c4x.txt", "u");
    JobGroupUnit* job = Open();
    ASSERT_EQ(job->kind.kind, KindPath);
    EXPECT_EQ(RowText(job),
              "1:zeta| 0:abc.txt|ABC.TXT 0:alpha.txt|alpha.txt 0:A_B.bin|a_b.bin 2:|zeta "
              "2:|\u00c4x.txt 1:\u00e4x.txt| ");
    EXPECT_FALSE(job->flags & JobSame);
    EXPECT_EQ(job->content1.flags & (ContentRead | ContentNoFile | ContentUnreadable), ContentRead);
    EXPECT_EQ(job->content1.header, &JobPathUnit::Header());
    EXPECT_EQ(job->side1.cursorRow, 0);
    // The placeholder stands for the missing side.
    EXPECT_TRUE(job->rows.At(0)->unit2->IsPlaceholder());
    EXPECT_EQ(job->rows.At(0)->unit2->EntryKind(), KindNone);
    EXPECT_EQ(job->rows.At(0)->unit1->EntryKind(), KindPath);
}

TEST_F(FolderKindTest, EmptyAndMissingSides) {
    JobGroupUnit* job = Open();
    EXPECT_EQ(job->rows.Count(), 0);
    EXPECT_TRUE(job->flags & JobSame);
    PutFile(left + L"\\a.txt", "x");
    TestSupport::RemoveTree(right);
    // The job of a folder against a missing path is of the folder kind.
    JobGroupUnit* other = JobGroupList::Instance().OpenPair(W(left), W(right));
    ASSERT_EQ(other->kind.kind, KindPath);
    EXPECT_EQ(other->content2.flags & ContentNoFile, ContentNoFile);
    EXPECT_EQ(RowText(other), "1:a.txt| ");
    EXPECT_FALSE(other->flags & JobSame);
    EXPECT_TRUE(output.lines.empty());
}

TEST_F(FolderKindTest, FileWhereFolderExpectedReports) {
    PutFile(work.Join(L"plain.txt"), "x");
    JobGroupUnit* job = JobGroupList::Instance().CreateUnit(JobKindType::FromKind(KindPath));
    job->content1.path = W(left);
    job->content2.path = W(work.Join(L"plain.txt"));
    job->controller->Load(*job, ModeBoth);
    EXPECT_EQ(job->content2.flags & ContentUnreadable, ContentUnreadable);
    EXPECT_TRUE(output.Has("DifferentKindError"));
}

TEST_F(FolderKindTest, UnreadableFolderReportsInsteadOfComparingAsEmpty) {
    // A folder that exists but cannot be listed, even by the superuser.
    const wchar_t* locked = L"Z:\\proc\\1\\map_files";
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(L"Z:\\proc\\1\\map_files\\*", &data);
    if (h != INVALID_HANDLE_VALUE) {
        FindClose(h);
        GTEST_SKIP() << "no unreadable folder on this machine";
    }
    if (GetFileAttributesW(locked) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no such folder";
    JobGroupUnit* job = JobGroupList::Instance().OpenPair(W(locked), W(right));
    EXPECT_EQ(job->content1.flags & (ContentUnreadable | ContentRead), ContentUnreadable);
    EXPECT_TRUE(output.Has("ReadOpenError"));
    EXPECT_FALSE(job->flags & JobSame);  // both sides read as empty would be same
}

TEST_F(FolderKindTest, ConnectPairsUnlikeNames) {
    PutFile(left + L"\\old.txt", "t");
    PutFile(right + L"\\new.txt", "t");
    PutFile(left + L"\\m.txt", "m");
    PutFile(right + L"\\m.txt", "m");
    JobGroupUnit* job = Open();
    ASSERT_EQ(RowText(job), "0:m.txt|m.txt 2:|new.txt 1:old.txt| ");
    JobKindControl* control = job->controller;
    EXPECT_FALSE(control->ConnectLines(*job, 1, 0, ConnectModeFloat));
    // Nothing marked yet: no second entry.
    EXPECT_FALSE(control->ConnectLines(*job, 1, 0, ConnectModeConnect));
    job->rows.At(2)->flags |= RowMarked;  // old.txt on side 1
    EXPECT_TRUE(control->ConnectLines(*job, 1, 0, ConnectModeConnect));
    control->Compare(*job);
    EXPECT_EQ(RowText(job), "0:m.txt|m.txt 0:old.txt|new.txt ");
    EXPECT_TRUE(job->flags & JobSame);
    // Marks survive a compare, not a reload.
    job->rows.At(1)->flags |= RowMarked;
    EXPECT_TRUE(control->DisconnectLines(*job));
    EXPECT_FALSE(control->DisconnectLines(*job));
    control->Compare(*job);
    EXPECT_EQ(RowText(job), "0:m.txt|m.txt 2:|new.txt 1:old.txt| ");
}

TEST_F(FolderKindTest, UpdateKindUsesTheFullPath) {
    PutFile(left + L"\\e.txt", "t");
    JobGroupUnit* job = Open();
    ASSERT_EQ(job->content1.Count(), 1);
    JobContentUnit* entry = job->content1.At(0);
    EXPECT_EQ(entry->EntryKind(), KindText);
    EXPECT_FALSE(entry->UpdateKind());
    ASSERT_TRUE(DeleteFileW((left + L"\\e.txt").c_str()));
    ASSERT_TRUE(CreateDirectoryW((left + L"\\e.txt").c_str(), nullptr));
    EXPECT_TRUE(entry->UpdateKind());
    EXPECT_EQ(entry->EntryKind(), KindPath);
    ASSERT_TRUE(RemoveDirectoryW((left + L"\\e.txt").c_str()));
    EXPECT_TRUE(entry->UpdateKind());
    EXPECT_EQ(entry->EntryKind(), KindNone);
}

// ---- equality options -------------------------------------------------------------

TEST_F(FolderKindTest, TimeRulesOnRealFiles) {
    struct Case {
        bool fat, second;
        uint64_t offset1, offset2;
        uint32_t row;
    } cases[] = {
        {true, true, 0, 15000000, RowSame},        {true, true, 0, 25000000, RowChanged},
        {true, true, 0, 20000000, RowSame},        {true, true, 0, 20000010, RowChanged},
        {false, true, 9000000, 11000000, RowChanged}, {false, true, 11000000, 19000000, RowSame},
        {false, false, 11000000, 11000000, RowSame},  {false, false, 11000000, 11000010, RowChanged},
    };
    for (const Case& c : cases) {
        ConfigStore::Instance().compareTimeAsFatTime = c.fat;
        ConfigStore::Instance().compareTimeBySecond = c.second;
        PutFile(left + L"\\f.bin", "data", kBaseTime + c.offset1);
        PutFile(right + L"\\f.bin", "data", kBaseTime + c.offset2);
        JobGroupUnit* job = Open();
        ASSERT_EQ(job->rows.Count(), 1);
        EXPECT_EQ(job->rows.At(0)->kind, c.row) << c.fat << c.second << " " << c.offset2;
        CloseAll();
    }
}

TEST_F(FolderKindTest, ContentComparisonOnAndOff) {
    PutFile(left + L"\\t.txt", "abcd");
    PutFile(right + L"\\t.txt", "abXd");
    PutFile(left + L"\\e.txt", "", kBaseTime);
    PutFile(right + L"\\e.txt", "", kBaseTime + 990000000);
    ConfigStore& store = ConfigStore::Instance();
    // Defaults: time and size only.
    JobGroupUnit* job = Open();
    EXPECT_EQ(RowText(job), "3:e.txt|e.txt 0:t.txt|t.txt ");
    CloseAll();
    // Content only: the times do not matter, the bytes do.
    store.compareTimeOnText = false;
    store.compareSizeOnText = false;
    store.compareDataOnText = true;
    job = Open();
    EXPECT_EQ(RowText(job), "0:e.txt|e.txt 3:t.txt|t.txt ");
    CloseAll();
    // A large file differing in its last byte only.
    std::string big(10000, 'q');
    PutFile(left + L"\\t.txt", big + "1");
    PutFile(right + L"\\t.txt", big + "2");
    job = Open();
    EXPECT_EQ(job->rows.At(1)->kind, RowChanged);
    CloseAll();
    PutFile(right + L"\\t.txt", big + "1");
    job = Open();
    EXPECT_EQ(job->rows.At(1)->kind, RowSame);
    // The binary set is apart: a binary pair ignores the text switches.
    CloseAll();
    PutFile(left + L"\\b.bin", "1", kBaseTime);
    PutFile(right + L"\\b.bin", "2", kBaseTime);
    job = Open();
    EXPECT_EQ(RowText(job), "0:b.bin|b.bin 0:e.txt|e.txt 0:t.txt|t.txt ");
    EXPECT_TRUE(output.lines.empty());
}

TEST_F(FolderKindTest, FirstBytesCompareCountsAndContent) {
    ConfigStore& store = ConfigStore::Instance();
    store.compareTimeOnOther = false;
    store.compareSizeOnOther = false;
    store.compareByteOnOther = true;
    PutFile(left + L"\\a.bin", "abcdX");
    PutFile(right + L"\\a.bin", "abcdY");
    PutFile(left + L"\\b.bin", "abXd");
    PutFile(right + L"\\b.bin", "abcd");
    // A short file against one with a zero byte where the first ends.
    PutFile(left + L"\\c.bin", std::string("ab", 2));
    PutFile(right + L"\\c.bin", std::string("ab\0", 3));
    JobGroupUnit* job = Open();
    EXPECT_EQ(RowText(job), "0:a.bin|a.bin 3:b.bin|b.bin 3:c.bin|c.bin ");
}

TEST_F(FolderKindTest, TextAgainstBinaryOfOneNameIsChanged) {
    ConfigStore& store = ConfigStore::Instance();
    store.compareTimeOnText = store.compareSizeOnText = false;
    store.compareTimeOnOther = store.compareSizeOnOther = false;
    JobPathUnit text;
    JobPathUnit binary;
    text.entryKind = KindText;
    binary.entryKind = KindBinary;
    JobGroupUnit* job = Open();
    EXPECT_FALSE(PathPairEqual(*job, false, text, binary));
    binary.entryKind = KindText;
    EXPECT_TRUE(PathPairEqual(*job, false, text, binary));  // every test off
}

TEST_F(FolderKindTest, FilesThatFailToReadAreUnequalAndReport) {
    // Reading this file fails at once (nothing is mapped at address 0).
    JobPathUnit a;
    JobPathUnit b;
    a.entryKind = b.entryKind = KindBinary;
    a.fullPath = b.fullPath = W(L"Z:\\proc\\self\\mem");
    RawLayer::RawFileHandle probe;
    uint8_t buffer[16];
    if (!probe.OpenRead(a.fullPath) || probe.Read(buffer, sizeof buffer))
        GTEST_SKIP() << "no file that fails to read";
    probe.Close();
    PathCompareOptions data;
    data.time = data.size = false;
    data.data = true;
    EXPECT_FALSE(PathFilesEqual(a, b, data));
    EXPECT_TRUE(output.Has("ReadError"));
    // Files that cannot be opened (folders) are unequal too.
    output.lines.clear();
    a.fullPath = W(left);
    b.fullPath = W(right);
    EXPECT_FALSE(PathFilesEqual(a, b, data));
    EXPECT_TRUE(output.Has("ReadOpenError"));
}

// ---- child jobs ---------------------------------------------------------------------

TEST_F(FolderKindTest, ChangeThreeLevelsDeepReachesTheRoot) {
    for (const std::wstring& side : {left, right}) {
        ASSERT_TRUE(CreateDirectoryW((side + L"\\a").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((side + L"\\a\\b").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((side + L"\\a\\b\\c").c_str(), nullptr));
        PutFile(side + L"\\top.txt", "t");
    }
    PutFile(left + L"\\a\\b\\c\\deep.txt", "one");
    PutFile(right + L"\\a\\b\\c\\deep.txt", "two!");
    JobGroupUnit* root = Open();
    EXPECT_EQ(RowText(root), "3:a|a 0:top.txt|top.txt ");
    EXPECT_FALSE(root->flags & JobSame);
    JobGroupList& list = JobGroupList::Instance();
    JobGroupUnit* deep = list.FindByPaths(W(left + L"\\a\\b\\c"), W(right + L"\\a\\b\\c"));
    ASSERT_NE(deep, nullptr);
    JobGroupUnit* middle = list.FindByPaths(W(left + L"\\a\\b"), W(right + L"\\a\\b"));
    ASSERT_NE(middle, nullptr);
    EXPECT_EQ(deep->parent, middle);
    EXPECT_EQ(middle->parent->parent, root);
    // The deepest pair is made equal and its job reloaded: the change flows
    // up through every ancestor to the root's row and Same bit.
    PutFile(right + L"\\a\\b\\c\\deep.txt", "one");
    deep->controller->Load(*deep, ModeBoth);
    EXPECT_TRUE(deep->flags & JobSame);
    EXPECT_TRUE(middle->flags & JobSame);
    EXPECT_TRUE(root->flags & JobSame);
    EXPECT_EQ(RowText(root), "0:a|a 0:top.txt|top.txt ");
    // A reload of the root reloads the open children (no new jobs).
    int32_t jobs = list.Count();
    PutFile(left + L"\\a\\b\\c\\deep.txt", "three");
    root->controller->Load(*root, ModeBoth);
    EXPECT_EQ(list.Count(), jobs);
    EXPECT_FALSE(root->flags & JobSame);
    EXPECT_FALSE(deep->flags & JobSame);
}

TEST_F(FolderKindTest, PairStatusRereadsEntries) {
    PutFile(left + L"\\x.txt", "1");
    PutFile(right + L"\\x.txt", "1");
    JobGroupUnit* job = Open();
    JobReportUnit* row = job->rows.At(0);
    EXPECT_EQ(job->controller->PairStatus(*job, row->unit1, row->unit2), RowSame);
    ASSERT_TRUE(DeleteFileW((right + L"\\x.txt").c_str()));
    EXPECT_EQ(job->controller->PairStatus(*job, row->unit1, row->unit2), RowOnly1);
    EXPECT_TRUE(row->unit2->flags & PathUnitMissing);
    PutFile(right + L"\\x.txt", "22");
    EXPECT_EQ(job->controller->PairStatus(*job, row->unit1, row->unit2), RowChanged);
    EXPECT_FALSE(row->unit2->flags & PathUnitMissing);
}

TEST_F(FolderKindTest, OneSidedRowAdoptsAnOpenJob) {
    PutFile(left + L"\\only.txt", "1");
    JobGroupList& list = JobGroupList::Instance();
    JobGroupUnit* single = list.OpenPair(W(left + L"\\only.txt"), W(right + L"\\only.txt"));
    JobGroupUnit* job = Open();
    EXPECT_EQ(RowText(job), "1:only.txt| ");
    EXPECT_EQ(single->parent, job);
}

TEST_F(FolderKindTest, FolderLinksAreNotWalked) {
    // A link that points back at its own folder: walking it would never end.
    std::wstring link = left + L"\\loop";
    std::wstring link2 = right + L"\\loop";
    if (!CreateSymbolicLinkW(link.c_str(), L"..\\L", SYMBOLIC_LINK_FLAG_DIRECTORY) ||
        GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no symbolic links to folders here";
    ASSERT_TRUE(CreateSymbolicLinkW(link2.c_str(), L"..\\R", SYMBOLIC_LINK_FLAG_DIRECTORY));
    JobGroupUnit* job = Open();
    ASSERT_EQ(job->rows.Count(), 1) << GetFileAttributesW(link.c_str()) << " " << job->content1.flags;
    JobPathUnit* entry = dynamic_cast<JobPathUnit*>(job->rows.At(0)->unit1);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->IsLink());
    EXPECT_EQ(JobGroupList::Instance().Count(), 1);  // no child job was opened
    RemoveDirectoryW(link.c_str());
    RemoveDirectoryW(link2.c_str());
}

// ---- the index of open jobs ----------------------------------------------------------

TEST_F(FolderKindTest, FindByPathsIndexKeepsTheListRules) {
    JobGroupList& list = JobGroupList::Instance();
    auto make = [&](const char* a, const char* b) {
        JobGroupUnit* job = list.CreateUnit(JobKindType::FromKind(KindNone));
        job->content1.path = RawString::FromText(a);
        job->content2.path = RawString::FromText(b);
        return job;
    };
    JobGroupUnit* first = make("C:\\Left\\x", "D:\\Right\\x");
    JobGroupUnit* second = make("c:\\LEFT\\X", "d:\\right\\x");
    JobGroupUnit* other = make("C:\\Left\\y", "D:\\Right\\y");
    // ASCII case folded, the oldest first, across encoding kinds.
    EXPECT_EQ(list.FindByPaths(W(L"c:\\left\\X"), W(L"D:\\RIGHT\\X")), first);
    EXPECT_EQ(list.FindByPaths(RawString::FromText("C:\\Left\\y"), RawString::FromText("D:\\Right\\y")),
              other);
    EXPECT_EQ(list.FindByPaths(RawString::FromText("D:\\Right\\x"), RawString::FromText("C:\\Left\\x")),
              nullptr);
    // A closed job is skipped; a purged one is gone for good.
    first->flags |= JobClosed;
    EXPECT_EQ(list.FindByPaths(W(L"C:\\Left\\x"), W(L"D:\\Right\\x")), second);
    list.PurgeClosed();
    EXPECT_EQ(list.FindByPaths(W(L"C:\\Left\\x"), W(L"D:\\Right\\x")), second);
    // Paths changed after indexing are found again after Reindex.
    second->content1.path = RawString::FromText("E:\\moved");
    EXPECT_EQ(list.FindByPaths(W(L"C:\\Left\\x"), W(L"D:\\Right\\x")), nullptr);
    list.Reindex(second);
    EXPECT_EQ(list.FindByPaths(RawString::FromText("e:\\MOVED"), W(L"D:\\Right\\x")), second);
    // A job whose paths are still empty is found by the empty pair.
    JobGroupUnit* empty = list.CreateUnit(JobKindType::FromKind(KindNone));
    EXPECT_EQ(list.FindByPaths(RawString(), RawString()), empty);
    // Many jobs: every one is found by its own pair.
    std::vector<JobGroupUnit*> many;
    for (int i = 0; i < 3000; ++i) {
        std::string a = "C:\\many\\" + std::to_string(i);
        many.push_back(make(a.c_str(), "D:\\many"));
    }
    for (int i = 0; i < 3000; i += 7) {
        std::string a = "c:\\MANY\\" + std::to_string(i);
        EXPECT_EQ(list.FindByPaths(RawString::FromText(a.c_str()), RawString::FromText("d:\\many")),
                  many[static_cast<size_t>(i)]);
    }
}

// The job model: kinds, the extension table on real files, opening and
// reusing pairs, parents, closing and purging, the Same bit and the
// row/unit mapping.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_dbox_draw.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::ReadFileBytes;
using TestSupport::S;
using TestSupport::W;
using TestSupport::TempFolder;
using TestSupport::Utf8;
using TestSupport::WriteFileBytes;

namespace {

RawString T(const char* text) { return RawString::FromText(text); }

// A unit standing for a folder entry: its name is its full path.
class PathEntry : public JobContentUnit {
public:
    explicit PathEntry(const RawString& p, uint16_t unitFlags = 0) : JobContentUnit(unitFlags), path(p) {}
    RawString Name() const override { return path; }
    void Destroy() override { delete this; }
    RawString path;
};

PathEntry& Placeholder() {
    static PathEntry unit(RawString(), UnitPlaceholder);
    return unit;
}

// Side data that counts how many of its kind were destroyed.
struct CountingData : JobColumnControl::KindData {
    static int destroyed;
    ~CountingData() override { ++destroyed; }
};
int CountingData::destroyed = 0;

// A folder-like kind for these tests: it counts its loads and discards and
// answers a pair's status from the open job of the two entries, as the
// folder kind does from its child jobs.
class TreeControl : public JobKindControl {
public:
    JobGroupList* list = nullptr;
    int loads = 0;
    int discards = 0;
    uint32_t Load(JobGroupUnit&, uint32_t) override {
        ++loads;
        return 0;
    }
    bool DiscardFile(JobGroupUnit&, uint32_t) override {
        ++discards;
        return true;
    }
    uint32_t PairStatus(JobGroupUnit&, JobContentUnit* u1, JobContentUnit* u2) override {
        JobGroupUnit* child = list ? list->FindByPaths(u1->Name(), u2->Name()) : nullptr;
        return child && (child->flags & JobSame) ? RowSame : RowChanged;
    }
};

class TreeServer : public JobKindServer {
public:
    TreeControl control;
    JobKindControl* CreateControl(const JobKindType& k) override {
        return k.kind == KindNone ? &JobKindControl::NoneControl() : &control;
    }
    JobKindDBoxDraw* CreateDraw(const JobKindType&) override { return &JobBaseDBoxDraw::Shared(); }
    bool HasKind(const JobKindType&) const override { return true; }
};

// A job of a kind with two paths and counting side data, appended to a list.
JobGroupUnit* MakeJob(JobGroupList& list, uint32_t kind, const RawString& p1, const RawString& p2) {
    JobGroupUnit* job = list.CreateUnit(JobKindType::FromKind(kind));
    job->content1.path = p1;
    job->content2.path = p2;
    job->side1.SetKindData(new CountingData());
    return job;
}

// Appends a row for two entries; a null name puts the placeholder there.
JobReportUnit* AddRow(JobGroupUnit* job, const char* name1, const char* name2, uint32_t kind) {
    JobContentUnit* u1 = &Placeholder();
    JobContentUnit* u2 = &Placeholder();
    if (name1) u1 = job->content1.Add(new PathEntry(T(name1)));
    if (name2) u2 = job->content2.Add(new PathEntry(T(name2)));
    JobDetailList empty;
    JobReportUnit* row = CreateCompareRow(kind, u1, u2, empty, empty, empty);
    job->rows.Add(row);
    return row;
}

// A configuration with the default extension table, loaded into the
// process-wide table.
struct SharedExtensions {
    TempFolder folder;
    SharedExtensions() {
        std::wstring path = folder.Join(L"Tavrel.ini");
        WriteFileBytes(path, "[Common]\r\nProgram=Tavrel\r\n");
        ExtensionKindTable::Shared().Load(RawLayer::ProfileFileRef::FromPath(W(path)));
    }
};

}  // namespace

// ---- kinds ------------------------------------------------------------------------

TEST(JobKindTypeTest, FromKindAndSideKinds) {
    EXPECT_EQ(JobKindType::FromKind(0).kind, 0u);
    EXPECT_EQ(JobKindType::FromKind(2).kind, 2u);
    EXPECT_EQ(JobKindType::FromKind(3).kind, 3u);
    EXPECT_EQ(JobKindType::FromKind(17).kind, 3u);
    struct Case {
        uint32_t a, b, pair;
    } cases[] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {0, 1, 3}, {1, 2, 3}, {2, 0, 3},
                 {1, 3, 1}, {3, 2, 2}, {3, 0, 0}, {3, 3, 3}, {9, 1, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(JobKindType::FromSideKinds(c.a, c.b).kind, c.pair) << c.a << "," << c.b;
}

TEST(ExtensionTableTest, EmptySectionGetsDefaultsWrittenBack) {
    TempFolder folder;
    std::wstring path = folder.Join(L"c.ini");
    WriteFileBytes(path, "[Option]\r\nTabStop=8\r\n");
    ExtensionKindTable table;
    table.Load(RawLayer::ProfileFileRef::FromPath(W(path)));
    EXPECT_EQ(table.Table().Count(), 8);
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("[Option]\r\nTabStop=8\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Extension]\r\ntxt=Text\r\nini=Text\r\nbin=Binary\r\ncpp=Text\r\nc=Text\r\n"
                        "h=Text\r\nrc=Text\r\nrc2=Text\r\n"),
              std::string::npos)
        << text;
}

TEST(ExtensionTableTest, KindOfPathAndSetKind) {
    TempFolder folder;
    std::wstring path = folder.Join(L"c.ini");
    WriteFileBytes(path, "[Extension]\r\nTXT=Text\r\ndat=Binary\r\nlog=text\r\nmd=Texts\r\n");
    ExtensionKindTable table;
    table.Load(RawLayer::ProfileFileRef::FromPath(W(path)));
    struct Case {
        const char* path;
        uint32_t kind;
    } cases[] = {
        {"C:\\x\\readme.TXT", 1}, {"C:\\x\\a.txt", 1}, {"a.Txt", 1},
        {"C:\\x\\noext", 2},      {"a.dat", 2},        {"a.unknown", 2},
        {"a.log", 2},             // "text" is not the kind name "Text"
        {"a.md", 2},              {"C:\\dir.txt\\file", 2}, {"a.", 2},
    };
    for (const Case& c : cases) EXPECT_EQ(table.KindOfPath(T(c.path)), c.kind) << c.path;

    EXPECT_FALSE(table.SetKind(T("C:\\x\\noext"), 1));
    EXPECT_TRUE(table.SetKind(T("C:\\x\\y.LOG"), 1));
    EXPECT_EQ(table.KindOfPath(T("z.log")), 1u);
    EXPECT_TRUE(table.SetKind(T("new.Abc"), 2));
    EXPECT_EQ(table.KindOfPath(T("q.abc")), 2u);

    // The file now holds the changed table; a fresh table reads it back.
    ExtensionKindTable again;
    again.Load(RawLayer::ProfileFileRef::FromPath(W(path)));
    EXPECT_EQ(again.KindOfPath(T("q.log")), 1u);
    EXPECT_EQ(again.KindOfPath(T("q.ABC")), 2u);
    EXPECT_EQ(again.Table().Count(), 5);
}

TEST(SideKindTest, RealFilesAndFolders) {
    SharedExtensions config;
    TempFolder folder;
    WriteFileBytes(folder.Join(L"a.TXT"), "text\r\n");
    WriteFileBytes(folder.Join(L"b.bin"), "\x01\x02");
    WriteFileBytes(folder.Join(L"c"), "none");
    CreateDirectoryW(folder.Join(L"d.txt").c_str(), nullptr);
    RawString textFile = W(folder.Join(L"a.TXT"));
    RawString sub = W(folder.Join(L"d.txt"));
    EXPECT_EQ(JobGroupList::SideKind(textFile), 1u);
    EXPECT_EQ(JobGroupList::SideKind(W(folder.Join(L"b.bin"))), 2u);
    EXPECT_EQ(JobGroupList::SideKind(W(folder.Join(L"c"))), 2u);
    EXPECT_EQ(JobGroupList::SideKind(sub), 0u);  // a folder, whatever its name
    EXPECT_EQ(JobGroupList::SideKind(W(folder.Join(L"missing.txt"))), 3u);
    EXPECT_EQ(JobGroupList::SideKind(RawString()), 3u);
    // A folder against a file gives none; a file against a missing path
    // takes the file's kind.
    EXPECT_EQ(JobKindType::FromSideKinds(JobGroupList::SideKind(sub),
                                         JobGroupList::SideKind(textFile)).kind, 3u);
    EXPECT_EQ(JobKindType::FromSideKinds(JobGroupList::SideKind(textFile),
                                         JobGroupList::SideKind(W(folder.Join(L"gone")))).kind, 1u);
}

// ---- opening pairs -----------------------------------------------------------------

TEST(JobGroupListTest, OpenPairWithTheProgramPoolGivesEachKindItsController) {
    SharedExtensions config;
    TempFolder folder;
    WriteFileBytes(folder.Join(L"a.txt"), "x\r\n");
    JobKindPool pool;
    JobGroupList list;
    list.SetKindPool(&pool);
    JobGroupUnit* folders = list.OpenPair(W(folder.Path()), W(folder.Path()));
    EXPECT_EQ(folders->kind.kind, uint32_t(KindPath));
    EXPECT_EQ(folders->controller, &JobPathControl::Shared());
    // "txt" is a text extension by default; a missing second side leaves
    // the pair a text pair.
    JobGroupUnit* file = list.OpenPair(W(folder.Join(L"a.txt")), RawString());
    EXPECT_EQ(file->kind.kind, uint32_t(KindText));
    EXPECT_EQ(file->controller, &JobLineControl::Shared());
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.First(), folders);  // in order of creation
}

TEST(JobGroupListTest, SamePairInOtherCaseIsReusedWithoutReload) {
    SharedExtensions config;
    TempFolder folder;
    CreateDirectoryW(folder.Join(L"Left").c_str(), nullptr);
    CreateDirectoryW(folder.Join(L"Right").c_str(), nullptr);
    TreeServer server;
    JobGroupList list;
    server.control.list = &list;
    list.SetKindPool(&server);
    RawString left = W(folder.Join(L"Left"));
    RawString right = W(folder.Join(L"Right"));
    JobGroupUnit* job = list.FindOrOpenPair(left, right);
    EXPECT_EQ(job->kind.kind, 0u);
    EXPECT_EQ(server.control.loads, 1);
    // "PathOption" is "*": every row kind shown, no edit byte.
    EXPECT_EQ(job->statusMask, StatusAll);
    EXPECT_TRUE(job->edit == JobEditFlags());
    EXPECT_EQ(job->side1.columnCount, 3u);
    EXPECT_EQ(job->currentRow, -1);

    RawString upper = W(folder.Join(L"LEFT"));
    RawString lower = W(folder.Join(L"right"));
    EXPECT_EQ(list.FindOrOpenPair(upper, lower), job);
    EXPECT_EQ(server.control.loads, 1);
    EXPECT_EQ(list.Count(), 1);
    // Swapped sides are another pair.
    EXPECT_NE(list.FindOrOpenPair(right, left), job);
    EXPECT_EQ(server.control.loads, 2);
    // A closed job is never found again.
    job->flags |= JobClosed;
    EXPECT_EQ(list.FindByPaths(left, right), nullptr);
}

TEST(JobGroupListTest, FindOrOpenPairLinksTheFolderJobButNoEmptyFolder) {
    TreeServer server;
    JobGroupList list;
    server.control.list = &list;
    list.SetKindPool(&server);
    JobGroupUnit* empty = list.CreateUnit(JobKindType::FromKind(KindNone));  // the first tab
    JobGroupUnit* folders = MakeJob(list, 0, T("C:\\a"), T("D:\\b"));
    JobGroupUnit* child = MakeJob(list, 0, T("C:\\a\\s"), T("D:\\b\\s"));
    EXPECT_EQ(list.FindOrOpenPair(T("c:\\A\\S"), T("d:\\B\\s")), child);
    EXPECT_EQ(child->parent, folders);

    JobGroupUnit* relative = MakeJob(list, 3, T("x"), T("y"));
    EXPECT_EQ(list.FindOrOpenPair(T("x"), T("y")), relative);
    EXPECT_EQ(relative->parent, nullptr);  // "" and "" is the empty tab, not a folder pair
    JobGroupUnit* half = MakeJob(list, 3, T("x"), T("D:\\b\\x"));
    EXPECT_EQ(list.FindOrOpenPair(T("x"), T("D:\\b\\x")), half);
    EXPECT_EQ(half->parent, nullptr);
    (void)empty;
}

TEST(JobGroupUnitTest, ParentLinksNeverCloseACycle) {
    TreeServer server;
    JobGroupList list;
    list.SetKindPool(&server);
    JobGroupUnit* a = MakeJob(list, 0, T("a"), T("a"));
    JobGroupUnit* b = MakeJob(list, 0, T("a\\b"), T("a\\b"));
    JobGroupUnit* c = MakeJob(list, 0, T("a\\b\\c"), T("a\\b\\c"));
    EXPECT_FALSE(JobGroupUnit::LinkParent(a, a));
    EXPECT_TRUE(JobGroupUnit::LinkParent(b, a));
    EXPECT_TRUE(JobGroupUnit::LinkParent(c, b));
    EXPECT_TRUE(JobGroupUnit::IsAncestor(a, c));
    EXPECT_FALSE(JobGroupUnit::LinkParent(a, c));  // a would become its grandchild's child
    EXPECT_EQ(a->parent, nullptr);
    EXPECT_FALSE(JobGroupUnit::LinkParent(b, c));
    EXPECT_EQ(b->parent, a);
    // Same-bit propagation over that chain ends at the root.
    JobGroupUnit::SetSame(c, true);
    EXPECT_TRUE(a->flags & JobSame);
}

TEST(JobGroupUnitTest, ChildJobFindsOrOpensAndLinks) {
    SharedExtensions config;
    TempFolder folder;
    CreateDirectoryW(folder.Join(L"L").c_str(), nullptr);
    CreateDirectoryW(folder.Join(L"R").c_str(), nullptr);
    CreateDirectoryW(folder.Join(L"L\\sub").c_str(), nullptr);
    TreeServer server;
    JobGroupList& list = JobGroupList::Instance();
    server.control.list = &list;
    JobKindServer* before = list.KindPool();
    list.SetKindPool(&server);

    JobGroupUnit* parent = list.OpenPair(W(folder.Join(L"L")), W(folder.Join(L"R")));
    // An entry missing on side 2 takes side 1's name there.
    JobGroupUnit* child = JobGroupUnit::ChildJob(parent, W(folder.Join(L"L\\sub")), RawString(), false);
    EXPECT_EQ(child->parent, parent);
    EXPECT_EQ(S(child->Path(0)), Utf8(folder.Join(L"L\\sub")));
    EXPECT_EQ(S(child->Path(1)), Utf8(folder.Join(L"R\\sub")));
    EXPECT_EQ(child->kind.kind, 0u);  // side 2 missing: the folder's kind
    int loads = server.control.loads;
    EXPECT_EQ(JobGroupUnit::ChildJob(parent, W(folder.Join(L"L\\SUB")), RawString(), true), child);
    EXPECT_EQ(server.control.loads, loads + 1);
    EXPECT_EQ(JobGroupUnit::ChildJob(parent, W(folder.Join(L"L\\sub")), RawString(), false), child);
    EXPECT_EQ(server.control.loads, loads + 1);
    // The parent itself is never made its own child (nor reloaded).
    EXPECT_EQ(JobGroupUnit::ChildJob(child, W(folder.Join(L"L")), W(folder.Join(L"R")), true), parent);
    EXPECT_EQ(parent->parent, nullptr);
    EXPECT_EQ(server.control.loads, loads + 1);

    EXPECT_EQ(S(JobGroupUnit::EntryPath(parent, 1, RawString(), T("C:\\other\\name.txt"))),
              Utf8(folder.Join(L"R\\name.txt")));
    // The child is destroyed with its parent: keep its paths, not the job.
    RawString childPath1 = child->Path(0);
    RawString childPath2 = child->Path(1);
    parent->useCount = 0;
    list.CloseJob(parent);
    list.PurgeClosed();
    EXPECT_EQ(list.FindByPaths(childPath1, childPath2), nullptr);
    list.SetKindPool(before);
}

// ---- closing and purging --------------------------------------------------------------

TEST(JobGroupListTest, CloseAndPurgeLeaveNoDanglingParents) {
    TreeServer server;
    JobGroupList list;
    list.SetKindPool(&server);
    JobGroupUnit* root = MakeJob(list, 0, T("r1"), T("r2"));
    JobGroupUnit* child = MakeJob(list, 0, T("r1\\c"), T("r2\\c"));
    JobGroupUnit* grandchild = MakeJob(list, 0, T("r1\\c\\g"), T("r2\\c\\g"));
    JobGroupUnit* shown = MakeJob(list, 0, T("r1\\s"), T("r2\\s"));
    JobGroupUnit* shownsChild = MakeJob(list, 0, T("r1\\s\\t"), T("r2\\s\\t"));
    JobGroupUnit* other = MakeJob(list, 0, T("o1"), T("o2"));
    JobGroupUnit::LinkParent(child, root);
    JobGroupUnit::LinkParent(grandchild, child);
    JobGroupUnit::LinkParent(shown, root);
    JobGroupUnit::LinkParent(shownsChild, shown);
    root->useCount = 1;
    shown->useCount = 1;

    // A tab of a child that its parent still lists: the job stays.
    list.CloseJob(child);
    EXPECT_FALSE(child->IsClosed());
    // Still shown in another tab: nothing happens.
    list.CloseJob(root);
    EXPECT_FALSE(root->IsClosed());

    int destroyedBefore = CountingData::destroyed;
    root->useCount = 0;
    list.CloseJob(root);
    EXPECT_TRUE(root->IsClosed());
    EXPECT_TRUE(child->IsClosed());
    EXPECT_TRUE(grandchild->IsClosed());
    EXPECT_FALSE(shown->IsClosed());        // shown elsewhere: lives on
    EXPECT_EQ(shown->parent, nullptr);
    EXPECT_TRUE(shown->flags & JobTabStateChanged);
    EXPECT_EQ(shownsChild->parent, shown);  // its own subtree is untouched
    EXPECT_EQ(list.Count(), 6);

    list.PurgeClosed();
    EXPECT_EQ(CountingData::destroyed - destroyedBefore, 3);
    EXPECT_EQ(list.Count(), 3);
    for (const JobGroupUnit& job : list) {
        EXPECT_FALSE(job.IsClosed());
        EXPECT_TRUE(job.parent == nullptr || list.Contains(job.parent));
    }
    EXPECT_TRUE(list.Contains(other));

    // Closing the shown child later takes its own child with it.
    shown->useCount = 0;
    list.CloseJob(shown);
    list.PurgeClosed();
    EXPECT_EQ(CountingData::destroyed - destroyedBefore, 5);
    EXPECT_EQ(list.Count(), 1);
    // A job that is gone is not touched again.
    list.CloseJob(shown);
    EXPECT_EQ(list.Count(), 1);
}

TEST(JobGroupListTest, ClosingATextJobDiscardsAndDetachesItsChildren) {
    TreeServer server;
    JobGroupList list;
    list.SetKindPool(&server);
    JobGroupUnit* text = MakeJob(list, 1, T("a.txt"), T("b.txt"));
    JobGroupUnit* hidden = MakeJob(list, 0, T("a.txt\\x"), T("b.txt\\x"));
    JobGroupUnit* shown = MakeJob(list, 0, T("a.txt\\y"), T("b.txt\\y"));
    JobGroupUnit::LinkParent(hidden, text);
    JobGroupUnit::LinkParent(shown, text);
    shown->useCount = 1;
    int destroyedBefore = CountingData::destroyed;
    list.CloseJob(text);
    EXPECT_EQ(server.control.discards, 1);
    EXPECT_TRUE(text->IsClosed());
    EXPECT_TRUE(hidden->IsClosed());
    EXPECT_EQ(shown->parent, nullptr);
    list.PurgeClosed();
    EXPECT_EQ(CountingData::destroyed - destroyedBefore, 2);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.First(), shown);
}

TEST(JobGroupListTest, PurgeCutsLinksToJobsClosedByHand) {
    TreeServer server;
    JobGroupList list;
    list.SetKindPool(&server);
    JobGroupUnit* parent = MakeJob(list, 0, T("p"), T("p"));
    JobGroupUnit* child = MakeJob(list, 0, T("p\\c"), T("p\\c"));
    JobGroupUnit::LinkParent(child, parent);
    parent->flags |= JobClosed;
    list.PurgeClosed();
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(child->parent, nullptr);
    EXPECT_TRUE(child->flags & JobTabStateChanged);
}

// ---- the Same bit ----------------------------------------------------------------------

TEST(JobGroupUnitTest, SameBitPropagatesOverThreeLevels) {
    TreeServer server;
    JobGroupList list;
    server.control.list = &list;
    list.SetKindPool(&server);
    JobGroupUnit* top = MakeJob(list, 0, T("A"), T("B"));
    JobGroupUnit* mid = MakeJob(list, 0, T("A\\m"), T("B\\m"));
    JobGroupUnit* low = MakeJob(list, 0, T("A\\m\\l"), T("B\\m\\l"));
    JobGroupUnit::LinkParent(mid, top);
    JobGroupUnit::LinkParent(low, mid);
    JobReportUnit* topRow = AddRow(top, "a\\M", "b\\M", RowChanged);  // names compare without case
    AddRow(top, "A\\same.txt", "B\\same.txt", RowSame);
    JobReportUnit* midRow = AddRow(mid, "A\\m\\l", "B\\m\\l", RowChanged);
    midRow->details[1].Add(SegmentChanged, 1, 1);

    JobGroupUnit::SetSame(low, true);
    EXPECT_EQ(midRow->kind, RowSame);
    EXPECT_TRUE(midRow->details[1].IsEmpty());
    EXPECT_TRUE(mid->flags & JobSame);
    EXPECT_EQ(topRow->kind, RowSame);
    EXPECT_TRUE(top->flags & JobSame);
    EXPECT_TRUE(top->flags & JobTabStateChanged);

    // While the middle job compares, a change below updates its row but
    // does not re-evaluate it or anything above it.
    mid->flags |= JobComparing;
    JobGroupUnit::SetSame(low, false);
    EXPECT_EQ(midRow->kind, RowChanged);
    EXPECT_TRUE(mid->flags & JobSame);
    EXPECT_TRUE(top->flags & JobSame);
    mid->flags &= ~JobComparing;
    JobGroupUnit::RecheckFromRows(mid);
    EXPECT_FALSE(mid->flags & JobSame);
    EXPECT_EQ(topRow->kind, RowChanged);
    EXPECT_FALSE(top->flags & JobSame);

    // A parent of another kind keeps its rows.
    top->kind = JobKindType::FromKind(KindText);
    JobGroupUnit::SetSame(mid, true);
    EXPECT_EQ(topRow->kind, RowChanged);
}

TEST(JobGroupUnitTest, FlagWordFromRowsAndSides) {
    TreeServer server;
    JobGroupList list;
    list.SetKindPool(&server);
    JobGroupUnit* job = MakeJob(list, 1, T("a"), T("b"));
    JobGroupUnit::RecheckFromRows(job);  // no rows: same
    EXPECT_EQ(job->flags, JobSame | JobTabStateChanged);
    AddRow(job, "x", nullptr, RowOnly1);
    job->content2.flags |= ContentChanged;
    job->flags = JobLayoutStale | JobSame;
    uint16_t before = JobGroupUnit::UpdateSideFlag(job);
    EXPECT_EQ(before, JobLayoutStale);
    EXPECT_EQ(job->flags, JobLayoutStale | JobChanged | JobTabStateChanged);
}

// ---- selection and rows/units -------------------------------------------------------------

TEST(JobGroupUnitTest, SelectionAndRowUnitMapping) {
    TreeServer server;
    JobGroupList list;
    list.SetKindPool(&server);
    JobGroupUnit* job = MakeJob(list, 0, T("a"), T("b"));
    // Rows: 0 both, 1 only side 2, 2 only side 1, 3 both, 4 only side 2.
    AddRow(job, "a0", "b0", RowSame);
    AddRow(job, nullptr, "b1", RowOnly2);
    AddRow(job, "a2", nullptr, RowOnly1);
    AddRow(job, "a3", "b3", RowChanged);
    AddRow(job, nullptr, "b4", RowOnly2);

    JobSideRecord& s = job->side1;
    s.anchorRow = 3;
    s.anchorColumn = 7;
    s.cursorRow = 3;
    s.cursorColumn = 2;
    JobSelectionRange r = JobGroupUnit::SelectionRange(job, 0);
    EXPECT_EQ(r.startRow, 3);
    EXPECT_EQ(r.startColumn, 2);
    EXPECT_EQ(r.endRow, 3);
    EXPECT_EQ(r.endColumn, 7);
    s.anchorRow = -1;
    s.anchorColumn = -1;
    s.cursorRow = 3;
    s.cursorColumn = -1;
    r = JobGroupUnit::SelectionRange(job, 0);
    EXPECT_EQ(r.startRow, -1);
    EXPECT_EQ(r.startColumn, -1);
    EXPECT_EQ(r.endRow, 3);
    EXPECT_EQ(r.endColumn, 0);

    EXPECT_EQ(JobGroupUnit::UnitOfRow(job, 0, 0), 0);
    EXPECT_EQ(JobGroupUnit::UnitOfRow(job, 0, 1), -1);  // placeholder
    EXPECT_EQ(JobGroupUnit::UnitOfRow(job, 0, 3), 2);
    EXPECT_EQ(JobGroupUnit::UnitOfRow(job, 1, 4), 3);
    EXPECT_EQ(JobGroupUnit::UnitOfRow(job, 0, 5), -1);
    EXPECT_EQ(JobGroupUnit::RowOfUnit(job, 0, 1), 2);
    EXPECT_EQ(JobGroupUnit::RowOfUnit(job, 1, 3), 4);
    EXPECT_EQ(JobGroupUnit::RowOfUnit(job, 1, 4), -1);
    EXPECT_EQ(JobGroupUnit::NextRealRow(job, 0, 1, false), 2);
    EXPECT_EQ(JobGroupUnit::NextRealRow(job, 0, 0, true), 2);
    EXPECT_EQ(JobGroupUnit::NextRealRow(job, 0, 4, false), -1);
    EXPECT_EQ(JobGroupUnit::NextRealRow(job, 0, -1, false), -1);
    EXPECT_EQ(JobGroupUnit::PrevRealRow(job, 1, 2, false), 1);
    EXPECT_EQ(JobGroupUnit::PrevRealRow(job, 0, 2, true), 0);
    EXPECT_EQ(JobGroupUnit::PrevRealRow(job, 1, 7, false), -1);

    JobSelectionRange rows = {1, 5, 3, 4};
    JobSelectionRange units = JobGroupUnit::SelectionUnits(job, 0, rows);
    EXPECT_EQ(units.startRow, 1);     // row 1 is a placeholder: row 2's unit
    EXPECT_EQ(units.startColumn, 0);
    EXPECT_EQ(units.endRow, 2);
    EXPECT_EQ(units.endColumn, 4);
}

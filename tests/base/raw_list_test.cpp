// Lists: ownership, shared bodies, sorting, index access, string, label and
// range lists, and the copy-on-write arrays.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "base/raw_array.h"
#include "base/raw_list.h"

using namespace RawLayer;

namespace {

// A unit that counts its deaths, per identity, so a double delete shows.
struct CountedUnit {
    static std::map<int, int>& Deaths() {
        static std::map<int, int> deaths;
        return deaths;
    }
    CountedUnit(int id_, int key_ = 0) : id(id_), key(key_) {}
    ~CountedUnit() { ++Deaths()[id]; }
    int id;
    int key;
};

class CountedListAllocator : public RawListDeleteAllocator<CountedUnit> {};
class CountedList : public RawListR<CountedListAllocator, CountedUnit> {
public:
    const RawListProperty::Allocator* AllocatorPointer() const { return allocator_; }
    const RawListProperty::Allocator* Self() const {
        return static_cast<const RawListProperty::Allocator*>(this);
    }
};
class CountedRefList : public RawListP<RawListKeepAllocator<CountedUnit>, CountedUnit> {};

int DeathsOf(int id) {
    auto it = CountedUnit::Deaths().find(id);
    return it == CountedUnit::Deaths().end() ? 0 : it->second;
}

RawString T(const char* s) { return RawString::FromText(s); }

std::vector<int> Ids(const CountedList& list) {
    std::vector<int> ids;
    for (const CountedUnit& u : list) ids.push_back(u.id);
    return ids;
}

}  // namespace

TEST(RawListOwnership, OwningListDeletesEachUnitOnce) {
    CountedUnit::Deaths().clear();
    {
        CountedList list;
        for (int i = 0; i < 50; ++i) list.AddNew(i);
        EXPECT_EQ(list.Count(), 50);
        EXPECT_TRUE(list.Remove(list.At(10)));  // deleted now
        EXPECT_EQ(DeathsOf(10), 1);
        EXPECT_TRUE(list.RemoveAt(0));
        EXPECT_EQ(DeathsOf(0), 1);
        CountedUnit* taken = list.TakeAt(0);  // id 1, ours now
        ASSERT_NE(taken, nullptr);
        EXPECT_EQ(taken->id, 1);
        EXPECT_EQ(list.Count(), 47);
        delete taken;
    }
    for (int i = 0; i < 50; ++i) EXPECT_EQ(DeathsOf(i), 1) << "unit " << i;
}

TEST(RawListOwnership, NonOwningListDeletesNone) {
    CountedUnit::Deaths().clear();
    std::vector<CountedUnit> units;
    units.reserve(10);
    for (int i = 0; i < 10; ++i) units.emplace_back(i);
    {
        CountedRefList refs;
        for (CountedUnit& u : units) refs.Add(&u);
        refs.Remove(&units[3]);
        refs.SetAt(0, &units[9]);
        refs.Clear();
        for (CountedUnit& u : units) refs.Add(&u);
    }
    for (int i = 0; i < 10; ++i) EXPECT_EQ(DeathsOf(i), 0);
}

// A unit whose destructor takes itself out of its list (as a child view does
// with its parent's list).
class SelfList;
struct SelfRemoving {
    SelfList* list;
    int* deaths;
    ~SelfRemoving();
};
class SelfListAllocator : public RawListDeleteAllocator<SelfRemoving> {};
class SelfList : public RawListR<SelfListAllocator, SelfRemoving> {};
SelfRemoving::~SelfRemoving() {
    EXPECT_FALSE(list->Contains(this));
    EXPECT_FALSE(list->Remove(this));
    ++*deaths;
}

TEST(RawListOwnership, UnitThatRemovesItselfWhileTheListDies) {
    int deaths = 0;
    {
        SelfList list;
        for (int i = 0; i < 5; ++i) list.Add(new SelfRemoving{&list, &deaths});
    }
    EXPECT_EQ(deaths, 5);
}

TEST(RawListSharing, CopySharesAndLastHolderFrees) {
    CountedUnit::Deaths().clear();
    auto* a = new CountedList;
    a->AddNew(1);
    auto* b = new CountedList(*a);
    EXPECT_TRUE(a->SharesBodyWith(*b));
    EXPECT_EQ(a->ShareCount(), 1u);
    b->AddNew(2);  // one list, seen by both holders
    EXPECT_EQ(a->Count(), 2);
    CountedList c;
    c.AddNew(3);
    c = *a;  // c lets go of its own body (unit 3 dies) and shares a's
    EXPECT_EQ(DeathsOf(3), 1);
    EXPECT_EQ(a->ShareCount(), 2u);
    delete a;
    EXPECT_EQ(DeathsOf(1), 0);
    delete b;
    EXPECT_EQ(DeathsOf(1), 0);
    EXPECT_EQ(c.ShareCount(), 0u);
    EXPECT_EQ(Ids(c), (std::vector<int>{1, 2}));
    c.Clear();
    EXPECT_EQ(DeathsOf(1), 1);
    EXPECT_EQ(DeathsOf(2), 1);
    EXPECT_TRUE(c.IsEmpty());
}

TEST(RawListSharing, ClearOfASharedListLeavesTheOtherHolder) {
    CountedUnit::Deaths().clear();
    CountedList a;
    a.AddNew(7);
    CountedList b(a);
    a.Clear();
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(b.Count(), 1);
    EXPECT_EQ(DeathsOf(7), 0);
    EXPECT_FALSE(a.SharesBodyWith(b));
}

TEST(RawListSharing, CopiesAndMovesUseTheirOwnAllocator) {
    CountedUnit::Deaths().clear();
    auto* source = new CountedList;
    source->AddNew(1);
    EXPECT_EQ(source->AllocatorPointer(), source->Self());
    CountedList copy(*source);
    EXPECT_EQ(copy.AllocatorPointer(), copy.Self());
    CountedList assigned;
    assigned = *source;
    EXPECT_EQ(assigned.AllocatorPointer(), assigned.Self());
    CountedList moved(std::move(*source));
    EXPECT_EQ(moved.AllocatorPointer(), moved.Self());
    EXPECT_TRUE(source->IsEmpty());  // usable, empty
    source->AddNew(2);
    delete source;  // the others must not call into the dead object
    EXPECT_EQ(DeathsOf(2), 1);
    EXPECT_EQ(DeathsOf(1), 0);
    copy.Clear();
    assigned.Clear();
    EXPECT_EQ(DeathsOf(1), 0);
    moved.Clear();
    EXPECT_EQ(DeathsOf(1), 1);
}

TEST(RawListSharing, ThreadsCopyingOneList) {
    CountedUnit::Deaths().clear();
    {
        CountedList list;
        for (int i = 0; i < 20; ++i) list.AddNew(i);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&list] {
                for (int k = 0; k < 20000; ++k) {
                    CountedList copy(list);
                    (void)copy.Count();
                }
            });
        for (auto& th : threads) th.join();
        EXPECT_EQ(list.ShareCount(), 0u);
        EXPECT_EQ(list.Count(), 20);
        EXPECT_EQ(DeathsOf(0), 0);
    }
    for (int i = 0; i < 20; ++i) EXPECT_EQ(DeathsOf(i), 1);
}

TEST(RawListIndex, SetAtAndInsertBounds) {
    CountedUnit::Deaths().clear();
    CountedList list;
    for (int i = 0; i < 3; ++i) list.AddNew(i);
    EXPECT_FALSE(list.SetAt(-1, new CountedUnit(100)));
    EXPECT_FALSE(list.SetAt(3, new CountedUnit(101)));  // one past the end
    EXPECT_EQ(DeathsOf(100), 1);  // a refused unit is not leaked
    EXPECT_EQ(DeathsOf(101), 1);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_TRUE(list.SetAt(1, new CountedUnit(102)));
    EXPECT_EQ(DeathsOf(1), 1);
    EXPECT_EQ(Ids(list), (std::vector<int>{0, 102, 2}));

    EXPECT_EQ(list.Insert(4, new CountedUnit(103)), nullptr);
    EXPECT_EQ(list.Insert(-1, new CountedUnit(104)), nullptr);
    EXPECT_EQ(DeathsOf(103), 1);
    EXPECT_NE(list.Insert(3, new CountedUnit(105)), nullptr);
    EXPECT_NE(list.Insert(0, new CountedUnit(106)), nullptr);
    EXPECT_EQ(Ids(list), (std::vector<int>{106, 0, 102, 2, 105}));
    EXPECT_EQ(list.At(5), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);
}

TEST(RawListIndex, AtFollowsChangesInBothDirections) {
    CountedList list;
    std::vector<int> model;
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) {
        list.AddNew(i);
        model.push_back(i);
    }
    for (int round = 0; round < 200; ++round) {
        // Read in ascending and descending order, then change the ring.
        for (int i = 0; i < list.Count(); i += 7) ASSERT_EQ(list.At(i)->id, model[i]);
        for (int i = list.Count() - 1; i >= 0; i -= 5) ASSERT_EQ(list.At(i)->id, model[i]);
        int pos = static_cast<int>(rng() % (model.size() + 1));
        if (round % 3 == 0 && !model.empty() && pos < static_cast<int>(model.size())) {
            list.RemoveAt(pos);
            model.erase(model.begin() + pos);
        } else {
            list.Insert(pos, new CountedUnit(1000 + round));
            model.insert(model.begin() + pos, 1000 + round);
        }
        ASSERT_EQ(list.IndexOf(list.At(pos < list.Count() ? pos : 0)),
                  pos < list.Count() ? pos : 0);
    }
    EXPECT_EQ(Ids(list), model);
}

TEST(RawListIndex, AtAfterTheListTookAnotherBody) {
    // Two bodies changed the same number of times carry the same version: a
    // position remembered on one must not be used on the other.
    CountedList a, b, c;
    for (int i = 0; i < 40; ++i) {
        a.AddNew(2000 + i);
        b.AddNew(3000 + i);
        c.AddNew(4000 + i);
    }
    EXPECT_EQ(a.At(20)->id, 2020);
    a = b;  // shares b's body
    EXPECT_EQ(a.At(21)->id, 3021);
    EXPECT_EQ(a.At(20)->id, 3020);
    a = std::move(c);  // takes c's body
    EXPECT_EQ(a.At(19)->id, 4019);
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(c.At(19), nullptr);
    CountedList d(std::move(a));  // a starts over empty
    EXPECT_EQ(d.At(18)->id, 4018);
    EXPECT_EQ(a.Count(), 0);
    a.AddNew(5000);
    EXPECT_EQ(a.At(0)->id, 5000);
    a.Clear();
    for (int i = 0; i < 40; ++i) a.AddNew(6000 + i);
    EXPECT_EQ(a.At(18)->id, 6018);
}

TEST(RawListSortTest, MergeSortEqualsStableSort) {
    std::mt19937 rng(12345);
    for (int n = 0; n <= 1000; ++n) {
        CountedList list;
        std::vector<std::pair<int, int>> model;  // (key, id)
        int keys = 1 + n / 8;  // many equal keys
        for (int i = 0; i < n; ++i) {
            int key = static_cast<int>(rng() % keys);
            list.AddNew(i, key);
            model.emplace_back(key, i);
        }
        list.SortBy([](const CountedUnit& a, const CountedUnit& b) {
            return a.key < b.key ? -1 : (a.key > b.key ? 1 : 0);
        });
        std::stable_sort(model.begin(), model.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        ASSERT_EQ(list.Count(), n);
        std::vector<int> got = Ids(list);
        std::vector<int> want;
        for (auto& p : model) want.push_back(p.second);
        ASSERT_EQ(got, want) << "size " << n;
        // The ring is whole in both directions.
        int back = 0;
        for (RawListLink* l = list.LastLink(); !list.IsEnd(l); l = l->prev) ++back;
        ASSERT_EQ(back, n);
    }
}

TEST(RawListSortTest, MergeSortOfARunLeavesTheRestInPlace) {
    CountedList list;
    int ids[] = {9, 5, 4, 3, 2, 1, 0};
    for (int id : ids) list.AddNew(id, id);
    struct ByKey : RawListSortR<CountedUnit> {
        int CompareTyped(const CountedUnit& a, const CountedUnit& b) const override {
            return a.key - b.key;
        }
    } byKey;
    // Sort links 1..4 (5 4 3 2) only.
    RawListLink* first = RawListSort::MergeSort(byKey, list.LinkAt(1), 4);
    EXPECT_EQ(list.UnitOf(first)->id, 2);
    EXPECT_EQ(Ids(list), (std::vector<int>{9, 2, 3, 4, 5, 1, 0}));
    // A count past the end stops at the sentinel.
    RawListSort::MergeSort(byKey, list.LinkAt(4), 100);
    EXPECT_EQ(Ids(list), (std::vector<int>{9, 2, 3, 4, 0, 1, 5}));
}

TEST(RawStringListTest, SortByUnitsPrefixFirst) {
    RawStringList list;
    const char* words[] = {"b", "ab", "a", "B", "\xC3\xA9", "abc", ""};
    for (const char* w : words) list.Add(T(w));
    list.Sort(RawStringListSort());
    std::vector<std::string> got;
    for (const RawString& s : list) got.emplace_back(s.Bytes(), s.Length());
    EXPECT_EQ(got, (std::vector<std::string>{"", "B", "a", "ab", "abc", "b", "\xC3\xA9"}));
}

TEST(RawStringListTest, FindExactAndCaseFolded) {
    RawStringList exact;  // the default compares exactly
    exact.Add(T("Side1"));
    exact.Add(T("\xC3\x89t\xC3\xA9"));  // "Été"
    exact.Add(T("side1"));
    EXPECT_TRUE(exact.ExactCase());
    EXPECT_EQ(exact.FindIndex(T("side1")), 2);
    EXPECT_EQ(exact.FindIndex(T("SIDE1")), -1);
    EXPECT_EQ(exact.Find(T("Side1")), exact.At(0));

    RawStringList folded(false);
    folded.Add(T("Side1"));
    folded.Add(T("\xC3\x89t\xC3\xA9"));
    EXPECT_EQ(folded.FindIndex(T("SIDE1")), 0);
    EXPECT_TRUE(folded.Contains(T("sIdE1")));
    EXPECT_EQ(folded.FindIndex(T("\xC3\x89T\xC3\xA9")), 1);  // ASCII t folds
    EXPECT_EQ(folded.FindIndex(T("\xC3\xA9t\xC3\xA9")), -1);  // é is not É
    // Units compare by value across kinds.
    EXPECT_EQ(folded.FindIndex(RawString::FromWideText(L"side1")), 0);

    RawString* again = folded.FindOrAppend(T("SIDE1"));
    EXPECT_EQ(again, folded.At(0));
    RawString* added = folded.FindOrAppend(T("Side2"));
    EXPECT_EQ(folded.Count(), 3);
    EXPECT_EQ(added, folded.Last());
}

TEST(RawStringListTest, SplitToList) {
    struct Case {
        const char* text;
        std::vector<std::string> items;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a, b ,\t c", {"a", "b", "c"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a"}},
        {" \"x, y\" ,z", {"\"x, y\"", "z"}},
        {"Edit1,Edit2,Same,Different,Only1,Only2",
         {"Edit1", "Edit2", "Same", "Different", "Only1", "Only2"}},
    };
    for (const Case& c : cases) {
        RawStringList list;
        RawString text = T(c.text);
        text.SplitToList(list, text.All());
        std::vector<std::string> got;
        for (const RawString& s : list) {
            EXPECT_EQ(s.Kind(), KindUtf8);
            got.emplace_back(s.Bytes(), s.Length());
        }
        EXPECT_EQ(got, c.items) << c.text;
        RawStringList fromComma = RawStringList::FromCommaText(text);
        EXPECT_EQ(fromComma.Count(), static_cast<int32_t>(c.items.size()));
    }
    // A range of the text, and UTF-16 text keeps its kind.
    RawString wide = RawString::FromWideText(L"\u65e5\u672c, x ,y");
    RawStringList list;
    wide.SplitToList(list, RawRange{0, 6});
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(0)->Kind(), KindUtf16);
    EXPECT_TRUE(list.At(0)->Equals(RawString::FromWideText(L"\u65e5\u672c")));
    EXPECT_TRUE(list.At(1)->Equals(T("x")));
    // Appends to what the list holds.
    T("q").SplitToList(list, RawRange{0, 1});
    EXPECT_EQ(list.Count(), 3);
}

TEST(RawLabelListTest, ValueFindAndCopy) {
    RawLabelList labels(false);
    labels.Add(T("Same"), 1);
    labels.Add(T("Changed"), 2);
    labels.Add(T("same"), 3);
    EXPECT_EQ(labels.Value(T("SAME")), 1u);  // the first one wins
    EXPECT_EQ(labels.Value(T("Missing")), 0u);
    EXPECT_EQ(labels.FindLabel(T("changed"))->value, 2u);
    EXPECT_TRUE(labels.IsEnd(labels.FindLink(T("nope"))));

    RawLabelList exact;
    exact.CopyFrom(labels);
    EXPECT_FALSE(exact.ExactCase());  // the flag is copied
    EXPECT_FALSE(exact.SharesBodyWith(labels));
    exact.FindLabel(T("Same"))->value = 99;
    EXPECT_EQ(labels.Value(T("Same")), 1u);  // an independent copy
    EXPECT_EQ(exact.Count(), 3);
    exact.CopyFrom(exact);  // copying itself keeps its units
    EXPECT_EQ(exact.Count(), 3);
    EXPECT_EQ(exact.Value(T("same")), 99u);

    RawLabelList cased;
    cased.Add(T("Same"), 1);
    EXPECT_EQ(cased.Value(T("same")), 0u);
}

TEST(RawRangeListTest, SetAt) {
    RawRangeList ranges;
    EXPECT_TRUE(ranges.SetAt(3, RawRange{5, 9}));
    ASSERT_EQ(ranges.Count(), 4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ranges.RangeAt(i).start, 0);
        EXPECT_EQ(ranges.RangeAt(i).end, 0);
    }
    EXPECT_EQ(ranges.RangeAt(3).start, 5);
    EXPECT_EQ(ranges.RangeAt(3).end, 9);
    EXPECT_TRUE(ranges.SetAt(4, RawRange{1, 2}));  // at the count: appended
    EXPECT_EQ(ranges.Count(), 5);
    EXPECT_TRUE(ranges.SetAt(0, RawRange{7, 8}));  // below: replaced
    EXPECT_EQ(ranges.RangeAt(0).start, 7);
    EXPECT_EQ(ranges.Count(), 5);
    EXPECT_FALSE(ranges.SetAt(-1, RawRange{1, 1}));
    EXPECT_FALSE(ranges.SetAt(INT32_MAX, RawRange{1, 1}));  // no runaway padding
    EXPECT_EQ(ranges.Count(), 5);
    EXPECT_EQ(ranges.RangeAt(99).end, 0);
}

TEST(RawArrayCTest, CopyOnWrite) {
    struct Size {
        int32_t cx, cy;
    };
    RawArrayC<Size> a;
    EXPECT_EQ(a.Step(), 10);
    for (int i = 0; i < 25; ++i) a.Append(Size{i, -i});
    EXPECT_EQ(a.Count(), 25);
    RawArrayC<Size> b(a);
    EXPECT_TRUE(a.SharesBodyWith(b));
    EXPECT_EQ(a.ShareCount(), 1u);
    EXPECT_TRUE(b.SetAt(3, Size{100, 100}));  // b gets its own body
    EXPECT_FALSE(a.SharesBodyWith(b));
    EXPECT_EQ(a[3].cx, 3);
    EXPECT_EQ(b[3].cx, 100);
    EXPECT_EQ(a.ShareCount(), 0u);
    EXPECT_EQ(b.Step(), 10);  // the copy keeps the step
    EXPECT_FALSE(b.SetAt(-1, Size{}));
    EXPECT_FALSE(b.SetAt(25, Size{}));

    RawArrayC<Size> c = a;
    c.SetSize(30);  // new elements are zero
    EXPECT_EQ(c.Count(), 30);
    EXPECT_EQ(c[29].cx, 0);
    EXPECT_EQ(c[29].cy, 0);
    EXPECT_EQ(a.Count(), 25);
    c.RemoveAt(0, 2);
    EXPECT_EQ(c[0].cx, 2);
    EXPECT_TRUE(c.Insert(0, c[5]));  // inserting an element of itself
    EXPECT_EQ(c[0].cx, 7);
    EXPECT_FALSE(c.Insert(-1, Size{}));
    Size out{};
    EXPECT_FALSE(c.GetAt(100, out));
    EXPECT_TRUE(c.GetAt(1, out));
    EXPECT_EQ(out.cx, 2);
    c.Clear();
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(a.Count(), 25);

    // Arrays that never wrote share nothing, and the first write of one
    // leaves the other empty.
    RawArrayC<Size> d, e;
    EXPECT_FALSE(d.SharesBodyWith(e));
    EXPECT_TRUE(d.SharesBodyWith(d));
    RawArrayC<Size> f(d);
    f.Append(Size{1, 2});
    EXPECT_EQ(1, f.Count());
    EXPECT_EQ(0, d.Count());
    EXPECT_EQ(0u, d.ShareCount());
    EXPECT_EQ(10, d.Step());
}

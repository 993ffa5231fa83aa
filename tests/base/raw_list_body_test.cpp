// List bodies made on demand and links kept in blocks of the body: an empty
// list behaves as one with a body of its own in every way a holder can see.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "base/raw_list.h"

using namespace RawLayer;

namespace {

struct Item {
    explicit Item(int v) : value(v) {}
    int value;
};

class ItemListAllocator : public RawListDeleteAllocator<Item> {};
class ItemList : public RawListR<ItemListAllocator, Item> {};

std::vector<int> Values(const ItemList& list) {
    std::vector<int> out;
    for (const Item& item : list) out.push_back(item.value);
    return out;
}

}  // namespace

TEST(RawListLazyBody, CopiesOfAnEmptyListSeeLaterUnits) {
    // Copy construction, copy assignment, and the source adding or the copy.
    ItemList a;
    ItemList b(a);
    EXPECT_TRUE(a.SharesBodyWith(b));
    EXPECT_EQ(1u, a.ShareCount());
    a.AddNew(1);
    b.AddNew(2);
    EXPECT_EQ((std::vector<int>{1, 2}), Values(a));
    EXPECT_EQ((std::vector<int>{1, 2}), Values(b));

    ItemList c;
    ItemList d;
    d = c;
    EXPECT_TRUE(c.SharesBodyWith(d));
    d.Insert(0, new Item(7));
    EXPECT_EQ((std::vector<int>{7}), Values(c));
}

TEST(RawListLazyBody, EmptyListsShareNothingButThemselves) {
    ItemList a;
    ItemList b;
    EXPECT_FALSE(a.SharesBodyWith(b));
    EXPECT_TRUE(a.SharesBodyWith(a));
    EXPECT_EQ(0u, a.ShareCount());
    EXPECT_EQ(0, a.Count());
    EXPECT_EQ(nullptr, a.First());
    EXPECT_EQ(nullptr, a.At(0));
    EXPECT_TRUE(a.IsEnd(a.FirstLink()));
    EXPECT_FALSE(a.RemoveAt(0));
    EXPECT_EQ(nullptr, a.TakeLink(a.FirstLink()));
    // Adding to one leaves the other empty.
    a.AddNew(1);
    EXPECT_EQ(0, b.Count());
    EXPECT_FALSE(a.SharesBodyWith(b));
}

TEST(RawListLazyBody, LockClearMoveAndInsertAtTheEnds) {
    ItemList a;
    {
        RawListLockGuard guard(a);  // an empty list can be locked and unlocked
        a.AddNew(1);
    }
    a.Clear();
    EXPECT_TRUE(a.IsEmpty());
    a.InsertAfter(a.Sentinel(), new Item(2));  // the sentinel of an empty list
    a.Prepend(new Item(1));
    a.InsertBefore(a.Sentinel(), new Item(3));
    EXPECT_EQ((std::vector<int>{1, 2, 3}), Values(a));

    ItemList moved(std::move(a));
    EXPECT_EQ((std::vector<int>{1, 2, 3}), Values(moved));
    EXPECT_TRUE(a.IsEmpty());
    a.AddNew(4);
    EXPECT_EQ(3, moved.Count());

    ItemList empty1;
    ItemList empty2;
    empty1 = std::move(empty2);  // both without a body
    EXPECT_TRUE(empty1.IsEmpty());
    EXPECT_TRUE(empty2.IsEmpty());
    empty2.AddNew(5);
    EXPECT_TRUE(empty1.IsEmpty());
}

TEST(RawListLinkBlocks, LinksAreReusedAndTheOrderHoldsOverManyChanges) {
    // Many adds and removes across block sizes; the ring stays in order and
    // every index reaches the right unit.
    ItemList list;
    std::vector<int> model;
    for (int i = 0; i < 10000; ++i) {
        list.AddNew(i);
        model.push_back(i);
    }
    int removed = list.RemoveIf([](const Item& item) { return item.value % 3 != 0; });
    EXPECT_EQ(6666, removed);
    std::vector<int> kept;
    for (int v : model)
        if (v % 3 == 0) kept.push_back(v);
    for (int i = 0; i < 5000; ++i) {
        list.Insert(i * 2 % (list.Count() + 1), new Item(-i));
        kept.insert(kept.begin() + (i * 2 % static_cast<int>(kept.size() + 1)), -i);
    }
    EXPECT_EQ(kept, Values(list));
    for (int i = 0; i < static_cast<int>(kept.size()); i += 997) EXPECT_EQ(kept[i], list.At(i)->value);
    list.SortBy([](const Item& x, const Item& y) { return x.value < y.value ? -1 : x.value > y.value; });
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, Values(list));
    Item* taken = list.TakeAt(0);
    ASSERT_NE(nullptr, taken);
    EXPECT_EQ(kept[0], taken->value);
    delete taken;
    EXPECT_EQ(static_cast<int>(kept.size()) - 1, list.Count());
}

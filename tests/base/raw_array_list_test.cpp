// Array lists against a plain model: every operation of the lists (count,
// index, iterate, add, insert, remove, take, replace, share, sort) over
// random steps gives the model's order, and every unit dies exactly once.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "base/raw_array_list.h"

using namespace RawLayer;

namespace {

struct Item {
    static std::map<int, int>& Deaths() {
        static std::map<int, int> deaths;
        return deaths;
    }
    Item(int id_, int key_) : id(id_), key(key_) {}
    ~Item() { ++Deaths()[id]; }
    int id;
    int key;
};

class ItemListAllocator : public RawListDeleteAllocator<Item> {};
class ItemList : public RawArrayListR<ItemListAllocator, Item> {};

struct Model {
    std::vector<std::pair<int, int>> items;  // (id, key)
};

std::vector<std::pair<int, int>> Items(const ItemList& list) {
    std::vector<std::pair<int, int>> out;
    for (const Item& item : list) out.push_back({item.id, item.key});
    return out;
}

}  // namespace

TEST(RawArrayListTest, RandomStepsFollowTheModelAndUnitsDieOnce) {
    Item::Deaths().clear();
    uint32_t seed = 77;
    auto next = [&](uint32_t n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
    int made = 0;
    {
        ItemList list;
        Model model;
        std::vector<int> taken;
        for (int step = 0; step < 4000; ++step) {
            const int32_t count = list.Count();
            ASSERT_EQ(count, static_cast<int32_t>(model.items.size()));
            switch (next(12)) {
                case 0:
                case 1: {
                    int id = made++;
                    int key = static_cast<int>(next(8));
                    ASSERT_EQ(list.Add(new Item(id, key))->id, id);
                    model.items.push_back({id, key});
                    break;
                }
                case 2: {
                    int id = made++;
                    int key = static_cast<int>(next(8));
                    int32_t at = static_cast<int32_t>(next(static_cast<uint32_t>(count) + 3)) - 1;
                    Item* got = list.Insert(at, new Item(id, key));
                    if (at < 0 || at > count) {
                        // Refused: the unit is released at once.
                        EXPECT_EQ(got, nullptr);
                        EXPECT_EQ(Item::Deaths()[id], 1);
                    } else {
                        model.items.insert(model.items.begin() + at, {id, key});
                    }
                    break;
                }
                case 3:
                    if (count > 0) {
                        int32_t at = static_cast<int32_t>(next(static_cast<uint32_t>(count)));
                        EXPECT_TRUE(list.RemoveAt(at));
                        model.items.erase(model.items.begin() + at);
                    } else {
                        EXPECT_FALSE(list.RemoveAt(0));
                    }
                    break;
                case 4:
                    if (count > 0) {
                        int32_t at = static_cast<int32_t>(next(static_cast<uint32_t>(count)));
                        Item* unit = list.At(at);
                        EXPECT_EQ(list.IndexOf(unit), at);
                        EXPECT_EQ(list.Next(unit), list.At(at + 1));
                        EXPECT_EQ(list.Prev(unit), list.At(at - 1));
                        Item* took = next(2) ? list.Take(unit) : list.TakeAt(at);
                        EXPECT_EQ(took, unit);
                        EXPECT_FALSE(list.Contains(unit));
                        taken.push_back(took->id);
                        delete took;
                        model.items.erase(model.items.begin() + at);
                    }
                    break;
                case 5:
                    if (count > 0) {
                        int32_t at = static_cast<int32_t>(next(static_cast<uint32_t>(count)));
                        int id = made++;
                        EXPECT_TRUE(list.SetAt(at, new Item(id, 3)));
                        model.items[static_cast<size_t>(at)] = {id, 3};
                    }
                    break;
                case 6: {
                    int key = static_cast<int>(next(8));
                    int32_t gone = list.RemoveIf([&](const Item& item) { return item.key == key; });
                    auto end = std::remove_if(model.items.begin(), model.items.end(),
                                              [&](const std::pair<int, int>& p) { return p.second == key; });
                    EXPECT_EQ(gone, static_cast<int32_t>(model.items.end() - end));
                    model.items.erase(end, model.items.end());
                    break;
                }
                case 7:
                    list.SortBy([](const Item& a, const Item& b) { return a.key - b.key; });
                    std::stable_sort(model.items.begin(), model.items.end(),
                                     [](const std::pair<int, int>& a, const std::pair<int, int>& b) {
                                         return a.second < b.second;
                                     });
                    break;
                case 8: {
                    // A copy shares: what one adds the other sees; when the
                    // copy goes the units stay with the list.
                    ItemList copy(list);
                    EXPECT_TRUE(copy.SharesBodyWith(list));
                    EXPECT_EQ(list.ShareCount(), 1u);
                    int id = made++;
                    copy.Add(new Item(id, 1));
                    model.items.push_back({id, 1});
                    EXPECT_EQ(Items(copy), Items(list));
                    break;
                }
                case 9:
                    if (next(8) == 0) {
                        list.Clear();
                        model.items.clear();
                    } else {
                        list.ShrinkToFit();
                    }
                    break;
                case 10:
                    list.Reserve(count + static_cast<int32_t>(next(100)));
                    break;
                default:
                    if (count > 0) {
                        int32_t at = static_cast<int32_t>(next(static_cast<uint32_t>(count)));
                        EXPECT_EQ(list.At(at)->id, model.items[static_cast<size_t>(at)].first);
                    }
                    EXPECT_EQ(list.At(count), nullptr);
                    EXPECT_EQ(list.At(-1), nullptr);
            }
            ASSERT_EQ(Items(list), model.items) << "step " << step;
        }
        // A list moved away leaves an empty one that still works.
        ItemList moved(std::move(list));
        EXPECT_TRUE(list.IsEmpty());
        list.Add(new Item(made++, 0));
        EXPECT_EQ(Items(moved), model.items);
        for (int id : taken) EXPECT_EQ(Item::Deaths()[id], 1);
    }
    ASSERT_GT(made, 1000);
    for (int id = 0; id < made; ++id) EXPECT_EQ(Item::Deaths()[id], 1) << id;
}

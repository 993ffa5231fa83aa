// The viewer's library routines: the range sort on hostile orders with a
// small stack, the folder scan of names outside the code page, borrowed
// bytes at the end of readable memory, 64-bit numbers, range views, file
// titles and the area fit over a zero size.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/profile.h"
#include "base/raw_list.h"
#include "base/raw_string.h"
#include "support/test_support.h"
#include "toolkit/size_parameter.h"

using RawLayer::RawString;

namespace {

struct KeyUnit {
    int32_t key;
    int32_t serial;
};
class KeyListAllocator : public RawLayer::RawListDeleteAllocator<KeyUnit> {};
class KeyList : public RawLayer::RawListR<KeyListAllocator, KeyUnit> {};
class KeyOrder final : public RawLayer::RawListSortR<KeyUnit> {
public:
    int CompareTyped(const KeyUnit& a, const KeyUnit& b) const override {
        ++comparisons;
        return a.key < b.key ? -1 : (a.key > b.key ? 1 : 0);
    }
    mutable int64_t comparisons = 0;
};

// n, then the order before it reversed: 4 2 1 3, 5 3 1 2 4 (every front
// block led by its maximum again).
std::vector<int32_t> CraftedOrder(int32_t n) {
    std::deque<int32_t> d;
    bool reversed = false;
    for (int32_t k = 1; k <= n; ++k) {
        reversed = !reversed;
        if (reversed) {
            d.push_back(k);
        } else {
            d.push_front(k);
        }
    }
    std::vector<int32_t> order(d.begin(), d.end());
    if (reversed) std::reverse(order.begin(), order.end());
    return order;
}

struct SortJob {
    std::vector<int32_t> keys;
    bool sorted = false;
    int64_t comparisons = 0;
    double seconds = 0;
};

DWORD WINAPI RunSort(void* data) {
    SortJob& job = *static_cast<SortJob*>(data);
    KeyList list;
    for (size_t i = 0; i < job.keys.size(); ++i) list.AddNew(KeyUnit{job.keys[i], static_cast<int32_t>(i)});
    KeyOrder order;
    const auto began = std::chrono::steady_clock::now();
    RawLayer::RawListSort::SortRange(order, list.FirstLink(), list.Sentinel());
    job.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    job.comparisons = order.comparisons;
    std::vector<std::pair<int32_t, int32_t>> expected;
    for (size_t i = 0; i < job.keys.size(); ++i) expected.emplace_back(job.keys[i], static_cast<int32_t>(i));
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    size_t i = 0;
    bool same = list.Count() == static_cast<int32_t>(expected.size());
    for (const KeyUnit& unit : list) {
        if (!same) break;
        same = unit.key == expected[i].first && unit.serial == expected[i].second;
        ++i;
    }
    job.sorted = same;
    return 0;
}

}  // namespace

TEST(ViewerLibrary, RangeSortIsFastAndShallowOnEveryOrder) {
    constexpr int32_t n = 100000;
    std::mt19937 random(7);
    std::vector<std::vector<int32_t>> orders(5);
    for (int32_t i = 0; i < n; ++i) {
        orders[0].push_back(static_cast<int32_t>(random() % 1000));
        orders[1].push_back(i);
        orders[2].push_back(n - i);
        orders[3].push_back(42);
    }
    orders[4] = CraftedOrder(n);
    EXPECT_EQ(CraftedOrder(5), (std::vector<int32_t>{5, 3, 1, 2, 4}));
    for (size_t k = 0; k < orders.size(); ++k) {
        SCOPED_TRACE(k);
        SortJob job;
        job.keys = orders[k];
        HANDLE thread = CreateThread(nullptr, 256 * 1024, RunSort, &job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        ASSERT_NE(thread, nullptr);
        ASSERT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        EXPECT_EQ(code, 0u);
        EXPECT_TRUE(job.sorted);
        EXPECT_LT(job.comparisons, int64_t{n} * 20);
    }
}

TEST(ViewerLibrary, FolderScanGivesExactNamesThatOpen) {
    TestSupport::TempFolder folder;
    const std::set<std::string> names = {"\xE6\x97\xA5\xE6\x9C\xAC.md", "\xC3\xA4.md"};
    for (const std::string& name : names) {
        ASSERT_TRUE(TestSupport::WriteFileBytes(folder.Join(TestSupport::Wide(name)), name));
    }
    RawLayer::RawFolderScan scan;
    const RawString pattern = RawLayer::PathJoin(TestSupport::W(folder.Path()), RawString::FromText("*.md"));
    std::set<std::string> found;
    for (int guard = 0; guard < 10 && scan.Next(pattern); ++guard) {
        found.insert(TestSupport::S(scan.name));
        RawLayer::RawFileHandle file;
        EXPECT_TRUE(file.OpenRead(scan.fullPath)) << TestSupport::S(scan.fullPath);
        EXPECT_EQ(scan.size, TestSupport::S(scan.name).size());
    }
    EXPECT_EQ(found, names);
}

TEST(ViewerLibrary, BorrowedBytesAtTheEndOfReadableMemoryAreCopiedExactly) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const DWORD page = info.dwPageSize;
    char* block = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(block, nullptr);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(block + page, page, PAGE_NOACCESS, &old));
    char* bytes = block + page - 5;
    memcpy(bytes, "h\xC3\xA9l!", 5);
    const RawString copy = RawString::FromBorrowedUtf8(bytes, 5);
    VirtualFree(block, 0, MEM_RELEASE);
    EXPECT_EQ(copy.Kind(), RawLayer::KindUtf8);
    EXPECT_EQ(TestSupport::S(copy), "h\xC3\xA9l!");
    EXPECT_EQ(copy.Length(), 5);
    EXPECT_TRUE(RawString::FromBorrowedUtf8(nullptr, 3).IsEmpty());
}

TEST(ViewerLibrary, SixtyFourBitNumbersKeepEveryValue) {
    EXPECT_EQ(TestSupport::S(RawString::FromInt64(0, 0x80000000u)), "-9223372036854775808");
    std::mt19937_64 random(11);
    for (int i = 0; i < 2000; ++i) {
        const int64_t value = static_cast<int64_t>(random()) >> (random() % 64);
        const uint64_t bits = static_cast<uint64_t>(value);
        EXPECT_EQ(TestSupport::S(RawString::FromInt64(static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32))),
                  std::to_string(value));
    }
}

TEST(ViewerLibrary, ARangeViewEndsAtATerminator) {
    const RawString source = RawString::FromText("alpha beta gamma");
    RawString tail;
    RawString::ViewRange(tail, source, RawLayer::RawRange{11, 16});
    EXPECT_EQ(tail.Ownership(), RawLayer::OwnView);
    EXPECT_EQ(TestSupport::S(tail), "gamma");
    RawString middle;
    RawString::ViewRange(middle, source, RawLayer::RawRange{6, 10});
    EXPECT_NE(middle.Ownership(), RawLayer::OwnView);
    EXPECT_EQ(TestSupport::S(middle), "beta");
    EXPECT_EQ(middle.Bytes()[middle.Length()], '\0');
}

TEST(ViewerLibrary, FileTitlesAndUserMacros) {
    EXPECT_EQ(TestSupport::S(RawLayer::RawFileTitle(RawString::FromText("C:\\a.b\\c"))), "c");
    EXPECT_EQ(TestSupport::S(RawLayer::RawFileTitle(RawString::FromText("x.tar.gz"))), "x.tar");
    EXPECT_EQ(RawLayer::FindUserMacro(RawString::FromText("ab$(USER)\\x")), 2);
    EXPECT_EQ(RawLayer::FindUserMacro(RawString::FromText("ab$(Use)")), 8);
}

TEST(ViewerLibrary, AreaFitOverAZeroSizeNeverDivides) {
    RECT rect{10, 20, 30, 40};
    EXPECT_FALSE(WinLayer::WinRectParameter::FitToArea(rect, SIZE{0, 0}, RECT{0, 0, 100, 100}));
    const RECT zero{0, 0, 0, 0};
    EXPECT_TRUE(EqualRect(&rect, &zero));
    RECT big{INT32_MAX, 0, INT32_MAX, 50};
    EXPECT_TRUE(WinLayer::WinRectParameter::FitToArea(big, SIZE{1000, 100}, RECT{0, 0, 100, 100}));
    EXPECT_EQ(big.left, static_cast<LONG>(int64_t{INT32_MAX} * 100 / 1000));
    EXPECT_EQ(big.bottom, 50);
}

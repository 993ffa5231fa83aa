#include "base/small_block.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

using namespace RawLayer;

namespace {

struct Block {
    unsigned char* p;
    size_t bytes;
    unsigned char fill;
};

void Fill(const Block& b) { std::memset(b.p, b.fill, b.bytes); }

bool Intact(const Block& b) {
    for (size_t i = 0; i < b.bytes; ++i)
        if (b.p[i] != b.fill) return false;
    return true;
}

}  // namespace

TEST(SmallBlockTest, EverySizeIsAlignedWritableAndComesBack) {
    SmallBlockCounts before = SmallBlockState();
    std::vector<Block> blocks;
    for (size_t bytes = 0; bytes <= SmallBlockLimit + 64; ++bytes) {
        Block b{static_cast<unsigned char*>(SmallAllocate(bytes)), bytes,
                static_cast<unsigned char>(bytes * 7 + 1)};
        ASSERT_NE(b.p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b.p) % 16, 0u) << bytes;
        Fill(b);
        blocks.push_back(b);
    }
    // No block overlaps another: each still holds its own pattern.
    for (const Block& b : blocks) EXPECT_TRUE(Intact(b)) << b.bytes;
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks + (SmallBlockLimit + 1));
    for (const Block& b : blocks) SmallRelease(b.p, b.bytes);
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks);
    SmallRelease(nullptr, 16);
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks);
}

TEST(SmallBlockTest, ManyChunksWithInterleavedReleases) {
    SmallBlockCounts before = SmallBlockState();
    const size_t sizes[] = {16, 48, 80, 200, 512};
    std::vector<Block> blocks;
    uint32_t seed = 12345;
    auto next = [&]() { return seed = seed * 1103515245u + 12345u; };
    // Several chunks' worth of every size, with every third block given back
    // at once so that free lists and fresh blocks are used in turn.
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 6000; ++i) {
            size_t bytes = sizes[next() % 5];
            Block b{static_cast<unsigned char*>(SmallAllocate(bytes)), bytes,
                    static_cast<unsigned char>(next() >> 24)};
            Fill(b);
            blocks.push_back(b);
            if (next() % 3 == 0) {
                size_t at = next() % blocks.size();
                ASSERT_TRUE(Intact(blocks[at]));
                SmallRelease(blocks[at].p, blocks[at].bytes);
                blocks[at] = blocks.back();
                blocks.pop_back();
            }
        }
    }
    for (const Block& b : blocks) ASSERT_TRUE(Intact(b));
    EXPECT_GT(SmallBlockState().chunks, before.chunks);
    for (const Block& b : blocks) SmallRelease(b.p, b.bytes);
    SmallBlockCounts after = SmallBlockState();
    EXPECT_EQ(after.liveBlocks, before.liveBlocks);
    // Emptied chunks are kept, one per class plus a bounded spare stock; the
    // rest went back to the system.
    EXPECT_LE(after.chunks, before.chunks + SmallBlockLimit / 16);
    EXPECT_LE(after.spareChunks, 512u);
}

TEST(SmallBlockTest, LargeBlocksUseTheHeap) {
    SmallBlockCounts before = SmallBlockState();
    void* p = SmallAllocate(SmallBlockLimit + 1);
    void* q = SmallAllocate(1 << 20);
    std::memset(p, 1, SmallBlockLimit + 1);
    std::memset(q, 2, 1 << 20);
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks);
    SmallRelease(p, SmallBlockLimit + 1);
    SmallRelease(q, 1 << 20);
}

TEST(SmallBlockTest, ThreadsShareThePool) {
    SmallBlockCounts before = SmallBlockState();
    bool failed[4] = {false, false, false, false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failed]() {
            std::vector<Block> mine;
            uint32_t seed = 77u + static_cast<uint32_t>(t);
            for (int i = 0; i < 40000; ++i) {
                seed = seed * 1103515245u + 12345u;
                if (mine.size() < 500 && (seed >> 16) % 4 != 0) {
                    size_t bytes = 16 + (seed >> 8) % 200;
                    Block b{static_cast<unsigned char*>(SmallAllocate(bytes)), bytes,
                            static_cast<unsigned char>(t * 50 + i)};
                    Fill(b);
                    mine.push_back(b);
                } else if (!mine.empty()) {
                    Block b = mine[(seed >> 4) % mine.size()];
                    if (!Intact(b)) failed[t] = true;
                    SmallRelease(b.p, b.bytes);
                    for (Block& m : mine)
                        if (m.p == b.p) {
                            m = mine.back();
                            break;
                        }
                    mine.pop_back();
                }
            }
            for (const Block& b : mine) {
                if (!Intact(b)) failed[t] = true;
                SmallRelease(b.p, b.bytes);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (bool f : failed) EXPECT_FALSE(f);
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks);
}

namespace {

struct PooledBase : SmallBlockObject {
    virtual ~PooledBase() {}
    int32_t a = 1;
};

struct PooledDerived : PooledBase {
    char payload[100] = {0};
};

}  // namespace

TEST(SmallBlockTest, DeleteThroughTheBaseReturnsTheBlockToItsOwnSize) {
    SmallBlockCounts before = SmallBlockState();
    PooledBase* first = new PooledDerived();
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks + 1);
    void* address = first;
    delete first;
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks);
    // The block went back to the size of the derived class: the next object
    // of that size gets it again, one of the base's size does not.
    PooledBase* small = new PooledBase();
    EXPECT_NE(static_cast<void*>(small), address);
    PooledBase* again = new PooledDerived();
    EXPECT_EQ(static_cast<void*>(again), address);
    delete again;
    delete small;
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks);
}

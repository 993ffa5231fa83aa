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
        // 16 for a multiple of 16 (and every larger block), else 8.
        size_t alignment = (bytes % 16 == 0 || bytes > 128) ? 16 : 8;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b.p) % alignment, 0u) << bytes;
        EXPECT_GE(SmallBlockSize(bytes), bytes);
        // Steps of 8 up to 128 bytes, of 16 up to the limit.
        if (bytes <= SmallBlockLimit) {
            EXPECT_LT(SmallBlockSize(bytes), (bytes < 16 ? 16 : bytes) + (bytes > 128 ? 16 : 8)) << bytes;
        }
        Fill(b);
        blocks.push_back(b);
    }
    // No block overlaps another: each still holds its own pattern.
    for (const Block& b : blocks) EXPECT_TRUE(Intact(b)) << b.bytes;
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks + (SmallBlockLimit + 65));
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

TEST(SmallBlockTest, MediumBlocksFillTheirWholeSize) {
    SmallBlockCounts before = SmallBlockState();
    const size_t largest = SmallBlockLargest();
    EXPECT_GT(largest, SmallChunkBytes / 2);
    EXPECT_LT(largest, SmallChunkBytes);
    std::vector<Block> blocks;
    // Sizes on both sides of every medium class boundary, each written over
    // its whole block size.
    for (size_t bytes = SmallBlockLimit + 1; bytes <= largest; bytes = bytes * 2 - 15) {
        for (size_t b : {bytes, SmallBlockSize(bytes), SmallBlockSize(bytes) + 1}) {
            if (b > largest) continue;
            size_t usable = SmallBlockSize(b);
            EXPECT_GE(usable, b);
            EXPECT_EQ(SmallBlockSize(usable), usable);
            for (int k = 0; k < 3; ++k) {
                Block block{static_cast<unsigned char*>(SmallAllocate(b)), usable,
                            static_cast<unsigned char>(blocks.size() * 13 + 1)};
                Fill(block);
                blocks.push_back(block);
            }
        }
    }
    for (const Block& b : blocks) EXPECT_TRUE(Intact(b)) << b.bytes;
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks + blocks.size());
    // Given back with the size asked for or with the size of the block.
    for (size_t i = 0; i < blocks.size(); ++i)
        SmallRelease(blocks[i].p, i % 2 ? blocks[i].bytes : blocks[i].bytes - (i % 3));
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks);
}

TEST(SmallBlockTest, LargeBlocksAreRegionsKeptForTheNextOfTheirSize) {
    SmallBlockCounts before = SmallBlockState();
    const size_t over = SmallBlockLargest() + 1;
    EXPECT_EQ(SmallBlockSize(over), over);
    void* p = SmallAllocate(over);
    void* q = SmallAllocate(1 << 20);
    std::memset(p, 1, over);
    std::memset(q, 2, 1 << 20);
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks);
    SmallRelease(p, over);
    SmallRelease(q, 1 << 20);
    EXPECT_GE(SmallBlockState().keptLargeBytes, before.keptLargeBytes + (1 << 20));
    // The next block of that size gets the kept region, whole and writable.
    void* again = SmallAllocate(1 << 20);
    EXPECT_EQ(again, q);
    std::memset(again, 3, 1 << 20);
    SmallRelease(again, 1 << 20);

    // Many large blocks given back: no more than 32 MiB is kept.
    std::vector<void*> blocks;
    for (int i = 0; i < 12; ++i) blocks.push_back(SmallAllocate((4 << 20) + 1));
    for (void* b : blocks) SmallRelease(b, (4 << 20) + 1);
    EXPECT_LE(SmallBlockState().keptLargeBytes, size_t(32) << 20);
    // A size no kept region has is a new region.
    void* odd = SmallAllocate((3 << 20) + 7);
    static_cast<char*>(odd)[(3 << 20) + 6] = 1;
    SmallRelease(odd, (3 << 20) + 7);
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

TEST(SmallBlockTest, BatchesHandOutDistinctBlocksAndGiveBackTheRest) {
    // Blocks taken many at a time across several chunks (and a partly used
    // chunk first), each given back on its own; a batch ended early gives
    // back what it did not hand out.
    SmallBlockCounts before = SmallBlockState();
    for (size_t bytes : {size_t(24), size_t(40), size_t(200)}) {
        std::vector<Block> blocks;
        blocks.push_back(Block{static_cast<unsigned char*>(SmallAllocate(bytes)), bytes, 1});
        {
            SmallBlockBatch batch(bytes);
            const size_t count = 3 * SmallChunkBytes / bytes + 7;
            for (size_t k = 0; k < count; ++k)
                blocks.push_back(Block{static_cast<unsigned char*>(batch.Next()), bytes,
                                       static_cast<unsigned char>(k * 13 + 2)});
            for (const Block& b : blocks) {
                EXPECT_EQ(reinterpret_cast<uintptr_t>(b.p) % 8, 0u);
                Fill(b);
            }
            EXPECT_GT(SmallBlockState().liveBlocks, before.liveBlocks + count);
        }
        EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks + blocks.size()) << bytes;
        for (const Block& b : blocks) EXPECT_TRUE(Intact(b)) << bytes;
        for (size_t k = 0; k < blocks.size(); k += 2) SmallRelease(blocks[k].p, bytes);
        for (size_t k = 1; k < blocks.size(); k += 2) SmallRelease(blocks[k].p, bytes);
        EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks) << bytes;
    }
    // Blocks of every size from one set of batches (the large ones straight
    // from the pool), each given back with the size it was asked with.
    std::vector<Block> blocks;
    {
        SmallBlockBatches batches;
        for (size_t round = 0; round < 3; ++round)
            for (size_t bytes = 0; bytes <= SmallBlockLimit + 600; bytes += 5)
                blocks.push_back(Block{static_cast<unsigned char*>(batches.Next(bytes)), bytes,
                                       static_cast<unsigned char>(bytes + round)});
        for (const Block& b : blocks) Fill(b);
    }
    for (const Block& b : blocks) EXPECT_TRUE(Intact(b)) << b.bytes;
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks + blocks.size());
    for (const Block& b : blocks) SmallRelease(b.p, b.bytes);
    EXPECT_EQ(SmallBlockState().liveBlocks, before.liveBlocks);
}

// A pool for the small heap blocks that a load or a compare makes by the
// hundred thousand (line units, rows, detail segments, short string bodies).
//
// The system heap costs some 0.2 us a block under Wine, which is more than
// reading and comparing a line together, and it gives freed memory back to
// the system at once, so the next load pays a page fault for every page
// again. The pool hands out blocks of size classes 8 bytes apart up to 128
// bytes and 16 apart up to SmallBlockLimit, and above that of a 64th, 32nd,
// ... up to a whole of a
// 64 KiB chunk (SmallBlockLargest), from 64 KiB chunks. A chunk whose blocks
// are all free again stays with its class when the class has no other empty
// one; else it waits, up to 32 MiB of them, for any class that needs a chunk,
// and beyond that goes back to the system. Blocks of more than
// SmallBlockLargest bytes are regions of their own; a few given back (up to
// 32 MiB) wait for the next request of their size. A caller never has to
// care which road a size took, as long as it gives back the size it asked
// for.
//
// Safe for every thread: each size class has its own lock.
#pragma once

#include <cstddef>
#include <cstdint>

namespace RawLayer {

constexpr size_t SmallBlockLimit = 512;
constexpr size_t SmallChunkBytes = 64 * 1024;

// The largest size the pool serves itself (a little under a chunk).
size_t SmallBlockLargest();
// The bytes of the block SmallAllocate gives for a size: its class's size
// (at least `bytes`), or `bytes` when the heap serves it. A caller may use
// the whole block, and gives back either size.
size_t SmallBlockSize(size_t bytes);

// A block of at least `bytes` bytes, aligned to 16 bytes when `bytes` is a
// multiple of 16 or above 128 and to 8 otherwise (an object's size is a
// multiple of its alignment); throws std::bad_alloc when no memory is left.
// A size of 0 gives a block of 16 bytes.
void* SmallAllocate(size_t bytes);
// Gives back a block of SmallAllocate; `bytes` is the size it was asked
// with. A null pointer is ignored.
void SmallRelease(void* block, size_t bytes) noexcept;

// Up to `count` blocks as SmallAllocate(bytes) gives them, taken under one
// lock (a load that makes objects by the hundred thousand would otherwise
// pay a locked exchange for each); each is given back on its own with
// SmallRelease. Returns how many were put into `blocks`: at least one, or it
// throws std::bad_alloc. Sizes above SmallBlockLargest() get one block.
size_t SmallAllocateMany(size_t bytes, void** blocks, size_t count);

// Hands out blocks of one size that it takes from the pool a few dozen at a
// time; the blocks not handed out go back when it ends. Objects of a
// SmallBlockObject class of that size are made in them with `::new (block)`
// and deleted as usual.
class SmallBlockBatch {
public:
    explicit SmallBlockBatch(size_t bytes) : bytes_(bytes) {}
    ~SmallBlockBatch() {
        while (next_ < filled_) SmallRelease(blocks_[next_++], bytes_);
    }
    SmallBlockBatch(const SmallBlockBatch&) = delete;
    SmallBlockBatch& operator=(const SmallBlockBatch&) = delete;

    void* Next() {
        if (next_ == filled_) {
            filled_ = SmallAllocateMany(bytes_, blocks_, kBatch);
            next_ = 0;
        }
        return blocks_[next_++];
    }

private:
    static constexpr size_t kBatch = 64;
    size_t bytes_;
    size_t next_ = 0;
    size_t filled_ = 0;
    void* blocks_[kBatch];
};

// Blocks of any size as SmallAllocate gives them, those of the small sizes
// from one batch per size (a load that makes records of many sizes by the
// hundred thousand); each is given back on its own with SmallRelease and
// the size it was asked with.
class SmallBlockBatches {
public:
    SmallBlockBatches() = default;
    ~SmallBlockBatches() {
        for (SmallBlockBatch*& batch : batches_) delete batch;
    }
    SmallBlockBatches(const SmallBlockBatches&) = delete;
    SmallBlockBatches& operator=(const SmallBlockBatches&) = delete;

    void* Next(size_t bytes) {
        const size_t size = SmallBlockSize(bytes);
        if (size > SmallBlockLimit) return SmallAllocate(bytes);
        SmallBlockBatch*& batch = batches_[size / 8];
        if (!batch) batch = new SmallBlockBatch(size);
        return batch->Next();
    }

private:
    SmallBlockBatch* batches_[SmallBlockLimit / 8 + 1] = {};
};

// For tests of what a load does when memory runs out: from now on the pool
// refuses (std::bad_alloc) any request that would bring the memory in use
// (the chunks of the size classes and the large blocks handed out) above
// `bytes`, as if the address space were full; memory given back makes room
// again, as it would there. 0 lifts the limit. Returns the bytes in use now,
// so that a test can set a limit above them.
size_t SetSmallBlockTestLimit(size_t bytes);

// What the pool holds, for tests and benchmarks.
struct SmallBlockCounts {
    size_t liveBlocks;  // handed out and not given back
    size_t chunks;      // chunks held by the size classes (in use or kept empty)
    size_t spareChunks; // unused chunks kept for any class
    size_t keptLargeBytes; // given back large blocks kept for reuse
};
SmallBlockCounts SmallBlockState();

// Derive a class from this to take its objects from the pool. The sized
// delete gets the size of the object's own class through its virtual
// destructor, when it has one.
struct SmallBlockObject {
    static void* operator new(size_t bytes) { return SmallAllocate(bytes); }
    static void operator delete(void* block, size_t bytes) noexcept { SmallRelease(block, bytes); }
};

}  // namespace RawLayer

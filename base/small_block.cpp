#include "base/small_block.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace RawLayer {

namespace {

// Blocks up to kFineLimit come in steps of 8 bytes, larger ones in steps of
// 16: the records a load makes by the hundred thousand (a line, a row, a
// short text) are a few words long, and a 16-byte step wastes a third of
// some of them. A class whose size is a multiple of 16 keeps 16-byte
// alignment.
constexpr size_t kGranule = 16;
constexpr size_t kFineGranule = 8;
constexpr size_t kFineLimit = 128;
constexpr size_t kFineClasses = kFineLimit / kFineGranule - 1;  // 16, 24, ... 128
constexpr size_t kSmallClasses = kFineClasses + (SmallBlockLimit - kFineLimit) / kGranule;
// Above SmallBlockLimit: blocks of a 64th, 32nd, ... of a chunk, and a whole
// chunk (what list link blocks grow to).
constexpr size_t kMediumClasses = 7;
constexpr size_t kClassCount = kSmallClasses + kMediumClasses;
// VirtualAlloc hands out regions on 64 KiB boundaries: the chunk of a block
// is found by masking its address.
constexpr size_t kChunkBytes = SmallChunkBytes;

struct Chunk {
    Chunk* prev;       // in the class's list of chunks with free blocks
    Chunk* next;
    void* freeBlocks;  // given back blocks, chained through their first word
    uint32_t live;     // blocks handed out
    uint32_t capacity; // blocks the chunk holds
    uint32_t blockBytes;
    char* nextFresh;   // the first never handed out block
    bool listed;       // in the list of chunks with free blocks
};

constexpr size_t kChunkHeader = (sizeof(Chunk) + kGranule - 1) & ~(kGranule - 1);
constexpr size_t kChunkRoom = kChunkBytes - kChunkHeader;

// Bytes of the blocks of a class.
constexpr size_t ClassBytes(size_t index) {
    return index < kFineClasses    ? (index + 2) * kFineGranule
           : index < kSmallClasses ? kFineLimit + (index - kFineClasses + 1) * kGranule
                                   : (kChunkRoom >> (kMediumClasses - 1 - (index - kSmallClasses))) &
                                         ~(kGranule - 1);
}

static_assert(ClassBytes(0) == 16 && ClassBytes(kFineClasses - 1) == kFineLimit &&
                  ClassBytes(kFineClasses) == kFineLimit + kGranule &&
                  ClassBytes(kSmallClasses - 1) == SmallBlockLimit,
              "small classes run from 16 to the limit");
static_assert(ClassBytes(kSmallClasses) > SmallBlockLimit, "medium blocks are larger than small ones");
static_assert(ClassBytes(kClassCount - 1) == (kChunkRoom & ~(kGranule - 1)), "the largest is a chunk");

// A lock held for a few instructions. Wine's slim reader/writer lock wakes
// waiters through a shared table on every release, which cost more than the
// rest of an allocation; this one is an exchange to take and a store to give
// back, and a waiter spins briefly, then yields. Zero is unlocked.
struct SpinLock {
    std::atomic<uint32_t> state;

    void Lock() {
        for (uint32_t round = 0; state.exchange(1, std::memory_order_acquire) != 0; ++round) {
            while (state.load(std::memory_order_relaxed) != 0) {
                if (round < 64) YieldProcessor();
                else SwitchToThread();
                ++round;
            }
        }
    }
    void Unlock() { state.store(0, std::memory_order_release); }
};

// Plain data, all zero at start: the pool works before any constructor of
// the program has run.
struct SizeClass {
    SpinLock lock;
    Chunk* open;   // chunks with free blocks (full ones are in no list)
    uint32_t emptyChunks;
    size_t live;
    size_t chunks;
};

SizeClass g_classes[kClassCount];

// The memory in use (chunks of the classes, large blocks handed out) and the
// test limit on it (0: none). Both change only where the pool takes or gives
// back whole chunks and regions, never on the way of a single small block.
std::atomic<size_t> g_bytesInUse;
std::atomic<size_t> g_testLimit;

// Counts `bytes` more in use; false (nothing counted) above the test limit.
bool ClaimInUse(size_t bytes) {
    const size_t total = g_bytesInUse.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    const size_t limit = g_testLimit.load(std::memory_order_relaxed);
    if (limit == 0 || total <= limit) return true;
    g_bytesInUse.fetch_sub(bytes, std::memory_order_relaxed);
    return false;
}

void DropInUse(size_t bytes) { g_bytesInUse.fetch_sub(bytes, std::memory_order_relaxed); }

// The class of a size up to SmallBlockLargest.
inline size_t ClassOf(size_t bytes) {
    if (bytes <= kFineLimit) return bytes <= 2 * kFineGranule ? 0 : (bytes - 1) / kFineGranule - 1;
    if (bytes <= SmallBlockLimit) return kFineClasses + (bytes - kFineLimit - 1) / kGranule;
    size_t index = kSmallClasses;
    while (ClassBytes(index) < bytes) ++index;
    return index;
}

inline Chunk* ChunkOf(void* block) {
    return reinterpret_cast<Chunk*>(reinterpret_cast<uintptr_t>(block) & ~(uintptr_t(kChunkBytes) - 1));
}

void Unlink(SizeClass& c, Chunk* chunk) {
    if (chunk->prev) chunk->prev->next = chunk->next;
    else c.open = chunk->next;
    if (chunk->next) chunk->next->prev = chunk->prev;
    chunk->prev = chunk->next = nullptr;
    chunk->listed = false;
}

void LinkFront(SizeClass& c, Chunk* chunk) {
    chunk->prev = nullptr;
    chunk->next = c.open;
    if (c.open) c.open->prev = chunk;
    c.open = chunk;
    chunk->listed = true;
}

// Chunks that no class uses any more wait here for the next class that
// needs one, up to kSpareLimit of them: giving memory back to the system and
// asking for it again costs far more than keeping it (every first touch of a
// page is a fault, and a release is a system call).
constexpr size_t kSpareLimit = 512;  // 32 MiB

// Plain data, zero at start, like the classes.
struct SpareChunks {
    SpinLock lock;
    Chunk* first;  // chained through `next`
    size_t count;
};

SpareChunks g_spares;

Chunk* TakeSpare() {
    g_spares.lock.Lock();
    Chunk* chunk = g_spares.first;
    if (chunk) {
        g_spares.first = chunk->next;
        --g_spares.count;
    }
    g_spares.lock.Unlock();
    return chunk;
}

// Keeps an unused chunk for later, or gives it back when enough are kept.
void PutSpare(Chunk* chunk) {
    DropInUse(kChunkBytes);
    g_spares.lock.Lock();
    bool keep = g_spares.count < kSpareLimit;
    if (keep) {
        chunk->next = g_spares.first;
        g_spares.first = chunk;
        ++g_spares.count;
    }
    g_spares.lock.Unlock();
    if (!keep) VirtualFree(chunk, 0, MEM_RELEASE);
}

// Brings the pages of fresh memory in with one call instead of one fault
// per page at first touch (several microseconds each in a virtual machine):
// locking them makes the system supply them all at once; they are unlocked
// at once, so nothing stays pinned. Where the lock is refused (a quota),
// the pages come in at first touch as always.
void BringIn(void* memory, size_t bytes) {
    if (VirtualLock(memory, bytes)) VirtualUnlock(memory, bytes);
}

Chunk* NewChunk(size_t blockBytes) {
    if (!ClaimInUse(kChunkBytes)) return nullptr;
    void* memory = TakeSpare();
    if (!memory) {
        memory = VirtualAlloc(nullptr, kChunkBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        // A block finds its chunk by its address: a region off the 64 KiB
        // grid would break that, so it is not used.
        if (memory && (reinterpret_cast<uintptr_t>(memory) & (kChunkBytes - 1))) {
            VirtualFree(memory, 0, MEM_RELEASE);
            memory = nullptr;
        }
        if (!memory) {
            DropInUse(kChunkBytes);
            return nullptr;
        }
        BringIn(memory, kChunkBytes);
    }
    Chunk* chunk = static_cast<Chunk*>(memory);
    chunk->prev = chunk->next = nullptr;
    chunk->freeBlocks = nullptr;
    chunk->live = 0;
    chunk->capacity = static_cast<uint32_t>((kChunkBytes - kChunkHeader) / blockBytes);
    chunk->blockBytes = static_cast<uint32_t>(blockBytes);
    chunk->nextFresh = static_cast<char*>(memory) + kChunkHeader;
    chunk->listed = false;
    return chunk;
}

// Large blocks (above SmallBlockLargest): whole regions of the system, in
// 64 KiB steps. A few given back wait for a request of their size (a
// reload, the next pair of files), up to kLargeKeptBytes together.
constexpr size_t kLargeKept = 4;
constexpr size_t kLargeKeptBytes = 32 * 1024 * 1024;
constexpr size_t kLargeBringInBytes = 8 * 1024 * 1024;

struct LargeRegion {
    void* memory;
    size_t bytes;
};

struct LargeCache {
    SpinLock lock;
    LargeRegion kept[kLargeKept];  // memory null: an empty place
    size_t bytes;
};

LargeCache g_large;

inline size_t RegionBytes(size_t bytes) { return (bytes + kChunkBytes - 1) & ~(kChunkBytes - 1); }

void* LargeAllocate(size_t bytes) {
    const size_t region = RegionBytes(bytes);
    if (region < bytes) throw std::bad_alloc();  // wrapped around
    if (!ClaimInUse(region)) throw std::bad_alloc();
    void* memory = nullptr;
    g_large.lock.Lock();
    // A kept region of the same size (a block is given back with the size
    // it was asked with, so a region is only ever reused at its own size).
    for (LargeRegion& r : g_large.kept) {
        if (r.memory && r.bytes == region) {
            memory = r.memory;
            g_large.bytes -= r.bytes;
            r.memory = nullptr;
            break;
        }
    }
    g_large.lock.Unlock();
    if (!memory) {
        memory = VirtualAlloc(nullptr, region, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        // Only moderate regions: a large one may be used only in part (a
        // text grown to twice its need), and its pages come in as used.
        if (memory && region <= kLargeBringInBytes) BringIn(memory, region);
    }
    if (!memory) {
        DropInUse(region);
        throw std::bad_alloc();
    }
    return memory;
}

void LargeRelease(void* memory, size_t bytes) {
    const size_t region = RegionBytes(bytes);
    DropInUse(region);
    bool kept = false;
    g_large.lock.Lock();
    if (g_large.bytes + region <= kLargeKeptBytes) {
        for (LargeRegion& r : g_large.kept) {
            if (!r.memory) {
                r.memory = memory;
                r.bytes = region;
                g_large.bytes += region;
                kept = true;
                break;
            }
        }
    }
    g_large.lock.Unlock();
    if (!kept) VirtualFree(memory, 0, MEM_RELEASE);
}

// A block of a chunk that has room: a freed one first, else a fresh one.
// The caller holds the class lock and counts the block.
inline void* TakeBlock(Chunk* chunk) {
    void* block = chunk->freeBlocks;
    if (block) {
        chunk->freeBlocks = *static_cast<void**>(block);
        return block;
    }
    block = chunk->nextFresh;
    chunk->nextFresh += chunk->blockBytes;
    return block;
}

}  // namespace

size_t SetSmallBlockTestLimit(size_t bytes) {
    g_testLimit.store(bytes, std::memory_order_relaxed);
    return g_bytesInUse.load(std::memory_order_relaxed);
}

size_t SmallBlockLargest() { return ClassBytes(kClassCount - 1); }

size_t SmallBlockSize(size_t bytes) {
    return bytes > SmallBlockLargest() ? bytes : ClassBytes(ClassOf(bytes));
}

void* SmallAllocate(size_t bytes) {
    if (bytes > SmallBlockLargest()) return LargeAllocate(bytes);
    size_t index = ClassOf(bytes);
    SizeClass& c = g_classes[index];
    c.lock.Lock();
    Chunk* chunk = c.open;
    if (!chunk) {
        chunk = NewChunk(ClassBytes(index));
        if (!chunk) {
            c.lock.Unlock();
            throw std::bad_alloc();
        }
        ++c.chunks;
        ++c.emptyChunks;
        LinkFront(c, chunk);
    }
    void* block = TakeBlock(chunk);
    if (chunk->live++ == 0) --c.emptyChunks;
    if (chunk->live == chunk->capacity) Unlink(c, chunk);
    ++c.live;
    c.lock.Unlock();
    return block;
}

size_t SmallAllocateMany(size_t bytes, void** blocks, size_t count) {
    if (count == 0) return 0;
    if (bytes > SmallBlockLargest()) {
        blocks[0] = LargeAllocate(bytes);
        return 1;
    }
    size_t index = ClassOf(bytes);
    SizeClass& c = g_classes[index];
    size_t got = 0;
    c.lock.Lock();
    while (got < count) {
        Chunk* chunk = c.open;
        if (!chunk) {
            chunk = NewChunk(ClassBytes(index));
            if (!chunk) break;
            ++c.chunks;
            ++c.emptyChunks;
            LinkFront(c, chunk);
        }
        if (chunk->live == 0) --c.emptyChunks;
        while (got < count && chunk->live < chunk->capacity) {
            blocks[got++] = TakeBlock(chunk);
            ++chunk->live;
            ++c.live;
        }
        if (chunk->live == chunk->capacity) Unlink(c, chunk);
    }
    c.lock.Unlock();
    if (got == 0) throw std::bad_alloc();
    return got;
}

void SmallRelease(void* block, size_t bytes) noexcept {
    if (!block) return;
    if (bytes > SmallBlockLargest()) {
        LargeRelease(block, bytes);
        return;
    }
    SizeClass& c = g_classes[ClassOf(bytes)];
    Chunk* chunk = ChunkOf(block);
    c.lock.Lock();
    *static_cast<void**>(block) = chunk->freeBlocks;
    chunk->freeBlocks = block;
    --c.live;
    if (!chunk->listed) LinkFront(c, chunk);
    bool release = false;
    if (--chunk->live == 0) {
        // One empty chunk waits for the next load; more go back.
        if (c.emptyChunks > 0) {
            Unlink(c, chunk);
            --c.chunks;
            release = true;
        } else {
            ++c.emptyChunks;
        }
    }
    c.lock.Unlock();
    if (release) PutSpare(chunk);
}

SmallBlockCounts SmallBlockState() {
    SmallBlockCounts counts{0, 0, 0, 0};
    for (SizeClass& c : g_classes) {
        c.lock.Lock();
        counts.liveBlocks += c.live;
        counts.chunks += c.chunks;
        c.lock.Unlock();
    }
    g_spares.lock.Lock();
    counts.spareChunks = g_spares.count;
    g_spares.lock.Unlock();
    g_large.lock.Lock();
    counts.keptLargeBytes = g_large.bytes;
    g_large.lock.Unlock();
    return counts;
}

}  // namespace RawLayer

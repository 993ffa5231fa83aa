// Cost of one short string per text line: creates and copies 1,000,000 short
// strings with RawString (the atomic share count is the body's only
// synchronisation) and runs the same loop over an emulated body that carries
// a critical section and takes it for every share and release, so the
// choice of lock is measured rather than assumed.

#include <windows.h>

#include "bench/bench_clock.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/raw_string.h"

using RawLayer::RawString;

namespace {

const int kCount = 1000000;
const int kRounds = 3;

// A short line text that differs per iteration, like lines of a file.
int MakeLine(char* out, int i) {
    return std::snprintf(out, 32, "line %d of the text", i);
}

// A string body with its own critical section guarding the share count.
struct LockedBody {
    CRITICAL_SECTION lock;
    uint32_t shareCount;
    char* buffer;
    int32_t length;
    int32_t capacity;
};

LockedBody* LockedCreate(const char* text, int32_t length) {
    LockedBody* b = new LockedBody;
    InitializeCriticalSection(&b->lock);
    b->shareCount = 0;
    b->buffer = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    std::memcpy(b->buffer, text, static_cast<size_t>(length));
    b->buffer[length] = 0;
    b->length = length;
    b->capacity = length;
    return b;
}

LockedBody* LockedShare(LockedBody* b) {
    EnterCriticalSection(&b->lock);
    ++b->shareCount;
    LeaveCriticalSection(&b->lock);
    return b;
}

void LockedRelease(LockedBody* b) {
    EnterCriticalSection(&b->lock);
    bool last = b->shareCount == 0;
    if (!last) --b->shareCount;
    LeaveCriticalSection(&b->lock);
    if (last) {
        DeleteCriticalSection(&b->lock);
        std::free(b->buffer);
        delete b;
    }
}

double RunRawString(int64_t& check) {
    char line[32];
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < kCount; ++i) {
        int n = MakeLine(line, i);
        RawString s = RawString::FromBytes(line, n, RawLayer::KindUtf8);
        RawString a(s);
        RawString b;
        b = a;
        check += b.Length() + static_cast<int64_t>(a.ShareCount()) - 1;
    }
    QueryPerformanceCounter(&t1);
    return Seconds(t0, t1);
}

double RunLocked(int64_t& check) {
    char line[32];
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < kCount; ++i) {
        int n = MakeLine(line, i);
        LockedBody* s = LockedCreate(line, n);
        LockedBody* a = LockedShare(s);
        LockedBody* b = LockedShare(a);
        check += b->length + static_cast<int64_t>(b->shareCount - 1);
        LockedRelease(b);
        LockedRelease(a);
        LockedRelease(s);
    }
    QueryPerformanceCounter(&t1);
    return Seconds(t0, t1);
}

}  // namespace

int main() {
    double bestRaw = 1e30, bestLocked = 1e30;
    int64_t checkRaw = 0, checkLocked = 0;
    for (int round = 0; round < kRounds; ++round) {
        int64_t c1 = 0, c2 = 0;
        double r = RunRawString(c1);
        double l = RunLocked(c2);
        if (r < bestRaw) bestRaw = r;
        if (l < bestLocked) bestLocked = l;
        checkRaw = c1;
        checkLocked = c2;
    }
    std::printf("strings: %d short strings created, copied twice, released (best of %d)\n", kCount,
                kRounds);
    std::printf("atomic share count:          %.3f s\n", bestRaw);
    std::printf("critical section per body:   %.3f s\n", bestLocked);
    std::printf("ratio (critical section / atomic): %.2f\n", bestLocked / bestRaw);
    if (checkRaw != checkLocked) {
        std::printf("check mismatch: %lld vs %lld\n", static_cast<long long>(checkRaw),
                    static_cast<long long>(checkLocked));
        return 1;
    }
    return 0;
}

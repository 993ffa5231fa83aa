// How the encoding guess reads short texts: each text of a pack is written to
// a file and read as a text side is, and the encoding kind the side ends up
// with is printed beside the text's label.
//
//   encoding_guess_bench PACK FILE
//
// PACK holds records of a 32-bit little-endian label length, the label, a
// 32-bit little-endian byte count and the bytes; FILE is the scratch file
// each text is written to. Prints one line "label<TAB>kind" a record, then
// "records N" and "seconds S".
#include <windows.h>

#include "bench/bench_clock.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/raw_string.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;

namespace {

bool ReadAll(const char* path, std::vector<uint8_t>& out) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    uint8_t block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof(block), f)) > 0) out.insert(out.end(), block, block + got);
    std::fclose(f);
    return true;
}

bool WriteAll(const char* path, const uint8_t* bytes, size_t count) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes, 1, count, f) == count;
    return std::fclose(f) == 0 && ok;
}

// A 32-bit little-endian count at `at`, when the pack holds one there.
bool Count(const std::vector<uint8_t>& pack, size_t at, uint32_t& n) {
    if (pack.size() < 4 || at > pack.size() - 4) return false;
    n = uint32_t(pack[at]) | uint32_t(pack[at + 1]) << 8 | uint32_t(pack[at + 2]) << 16 | uint32_t(pack[at + 3]) << 24;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: encoding_guess_bench PACK FILE\n");
        return 2;
    }
    std::vector<uint8_t> pack;
    if (!ReadAll(argv[1], pack)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    JobGroupUnit job(JobKindType::FromKind(KindText), &JobLineControl::Shared());
    job.content1.path = RawString::FromText(argv[2]);
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    size_t at = 0;
    int64_t records = 0;
    while (at < pack.size()) {
        uint32_t labelLength = 0, byteCount = 0;
        if (!Count(pack, at, labelLength) || labelLength > pack.size() - at - 4) break;
        const std::string label(pack.begin() + at + 4, pack.begin() + at + 4 + labelLength);
        at += 4 + labelLength;
        if (!Count(pack, at, byteCount) || byteCount > pack.size() - at - 4) break;
        if (!WriteAll(argv[2], pack.data() + at + 4, byteCount)) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
        at += 4 + byteCount;
        LoadTextSide(job.side1, job.content1);
        std::printf("%s\t%u\n", label.c_str(), static_cast<unsigned>(job.content1.encodingKind));
        ++records;
    }
    QueryPerformanceCounter(&t1);
    if (at != pack.size()) {
        std::fprintf(stderr, "the pack is cut after %lld records\n", static_cast<long long>(records));
        return 1;
    }
    std::printf("records %lld\nseconds %.3f\n", static_cast<long long>(records), Seconds(t0, t1));
    return 0;
}

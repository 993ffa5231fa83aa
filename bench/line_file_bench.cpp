// Line reading speed: a UTF-8 file read line by line with RawLineFile, the
// way every text side and profile is read.
//
//   line_file_bench FILE [ROUNDS]
//
// Prints the line count, the bytes of text handed out and the best time of
// the rounds, once with the lines in the file's own kind (no conversion) and
// once converted to UTF-16. The line "seconds S" is the own-kind time.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/line_file.h"
#include "base/raw_string.h"

using RawLayer::RawLineFile;
using RawLayer::RawString;

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

struct Pass {
    bool ok = false;
    int64_t lines = 0;
    int64_t units = 0;
    double seconds = 0;
};

Pass ReadOnce(const RawString& path, uint8_t kind) {
    Pass pass;
    double start = Now();
    RawLineFile file(path);
    file.SetTextKind(kind);
    if (!file.Open()) return pass;
    while (file.ReadLine()) {
        ++pass.lines;
        pass.units += file.Line().text.Length();
    }
    pass.ok = file.State() == RawLayer::LineStateEnd;
    file.Close();
    pass.seconds = Now() - start;
    return pass;
}

Pass Best(const RawString& path, uint8_t kind, int rounds) {
    Pass best;
    for (int i = 0; i < rounds; ++i) {
        Pass p = ReadOnce(path, kind);
        if (!p.ok) return p;
        if (i == 0 || p.seconds < best.seconds) best = p;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: line_file_bench FILE [ROUNDS]\n");
        return 2;
    }
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (rounds < 1) rounds = 1;
    RawString path = RawString::FromText(argv[1]);
    Pass own = Best(path, RawLayer::LineKindOwn, rounds);
    if (!own.ok) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    Pass wide = Best(path, RawLayer::KindUtf16, rounds);
    std::printf("lines %lld\n", static_cast<long long>(own.lines));
    std::printf("bytes %lld\n", static_cast<long long>(own.units));
    std::printf("utf16 seconds %.4f (%lld units)\n", wide.seconds,
                static_cast<long long>(wide.units));
    std::printf("seconds %.4f\n", own.seconds);
    return wide.ok && wide.lines == own.lines ? 0 : 1;
}

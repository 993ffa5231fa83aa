// Markdown load speed: a help document read from disk into its line
// records, classified and given its display texts and links, the way the
// viewer opens a document.
//
//   markdown_load_bench FILE [ROUNDS]
//
// Prints the line and link counts and the time of the first load of the
// process ("seconds S"), and the best of the further rounds.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/raw_string.h"
#include "bench/bench_clock.h"
#include "quenby/document/document_model.h"
#include "quenby/document/document_reader.h"

namespace {

struct Pass {
    int64_t lines = 0;
    int64_t links = 0;
    double seconds = 0;
};

Pass LoadOnce(DocLayer::JobFileUnit& doc) {
    Pass pass;
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    DocLayer::LoadDocumentLines(doc);
    QueryPerformanceCounter(&to);
    pass.seconds = Seconds(from, to);
    for (const DocLayer::JobLineUnit& line : doc) {
        ++pass.lines;
        pass.links += line.links.Count();
    }
    return pass;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: markdown_load_bench FILE [ROUNDS]\n");
        return 2;
    }
    int rounds = argc > 2 ? std::atoi(argv[2]) : 1;
    if (rounds < 1) rounds = 1;
    DocLayer::JobFileUnit doc;
    doc.style.documentPath = RawLayer::RawString::FromText(argv[1]);
    doc.style.overview.SetEnhanceForm(RawLayer::RawString::FromLiteral("@%s"));
    Pass first = LoadOnce(doc);
    if (first.lines == 0) {
        std::fprintf(stderr, "nothing loaded from %s\n", argv[1]);
        return 1;
    }
    double best = 0;
    for (int i = 1; i < rounds; ++i) {
        Pass again = LoadOnce(doc);
        if (i == 1 || again.seconds < best) best = again.seconds;
    }
    std::printf("lines %lld links %lld\n", static_cast<long long>(first.lines),
                static_cast<long long>(first.links));
    if (rounds > 1) std::printf("again %.4f\n", best);
    std::printf("seconds %.4f\n", first.seconds);
    return 0;
}

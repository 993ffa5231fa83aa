// Start-up of the help viewer with one large document: the time from
// building the main window to its first paint (the document opened in its
// tab, both boxes filled and painted), or the load of the same document
// alone in the same kind of process.
//
//   quenby_startup_bench window FILE
//   quenby_startup_bench load FILE
//
// Prints the document's line count and "seconds S".

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/raw_string.h"
#include "bench/bench_clock.h"
#include "bench/quenby_bench.h"
#include "quenby/app/quenby_main.h"
#include "quenby/document/document_model.h"
#include "quenby/document/document_reader.h"

namespace {

using QuenbyBench::ProgramBeside;
using QuenbyBench::Utf8;

int TimeWindow(const char* document) {
    AppLayer::QuenbyStart start{ProgramBeside(document), Utf8(("\"" + std::string(document) + "\"").c_str())};
    AppLayer::QuenbyRun run(GetModuleHandleW(nullptr), start);
    if (!run.Prepare()) {
        std::fprintf(stderr, "the start-up settings failed\n");
        return 1;
    }
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    if (!run.BuildWindow()) {
        std::fprintf(stderr, "the main window was not made\n");
        return 1;
    }
    AppLayer::GuiMainDialog& dialog = *run.Dialog();
    RedrawWindow(dialog.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    QueryPerformanceCounter(&to);
    const DocLayer::JobLineList* shown = dialog.items.view.Document();
    std::printf("lines %d\n", shown ? shown->Count() : 0);
    std::printf("seconds %.4f\n", Seconds(from, to));
    return shown && shown->Count() > 0 ? 0 : 1;
}

int TimeLoad(const char* document) {
    DocLayer::JobFileUnit doc;
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    doc.style.documentPath = Utf8(document);
    DocLayer::LoadDocumentLines(doc);
    QueryPerformanceCounter(&to);
    std::printf("lines %d\n", doc.Count());
    std::printf("seconds %.4f\n", Seconds(from, to));
    return doc.Count() > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (std::strcmp(argv[1], "window") != 0 && std::strcmp(argv[1], "load") != 0)) {
        std::fprintf(stderr, "usage: quenby_startup_bench window|load FILE\n");
        return 2;
    }
    return std::strcmp(argv[1], "window") == 0 ? TimeWindow(argv[2]) : TimeLoad(argv[2]);
}

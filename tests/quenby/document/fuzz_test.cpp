// Random and extreme documents load without a crash, on a thread with a
// small stack (so that a recursion that grows with nesting fails here), and
// every record keeps the model's invariants. Files that are neither UTF-8,
// EUC-JP nor Shift_JIS are read in the ANSI code page.
// RUN_UNDER_BOTH_CODE_PAGES
#include "quenby/document/document_reader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/quenby/document/document_support.h"

using namespace DocLayer;
using DocumentTest::Lines;

namespace {

// The invariants of a loaded document; the first few faults are described
// in `faults`.
void CheckInvariants(JobFileUnit& doc, const std::string& name, std::vector<std::string>& faults) {
    auto fault = [&](const std::string& what) {
        if (faults.size() < 20) faults.push_back(name + ": " + what);
    };
    const JobLineUnit* tableStart = nullptr;
    int index = 0;
    for (JobLineUnit& line : doc) {
        std::string at = "line " + std::to_string(index++) + ": ";
        bool known = (line.kind >= 0 && line.kind <= 9) || (line.kind >= 11 && line.kind <= 15);
        if (!known) fault(at + "kind " + std::to_string(line.kind));
        if (line.kind == KindHeading && (line.level < 1 || line.level > 6)) fault(at + "heading level");
        if (line.kind == KindToc && (line.level < 1 || line.level > 6)) fault(at + "TOC level");
        if ((line.flags & LineConsumed) && line.kind != KindHidden) fault(at + "consumed line drawn");
        if (line.kind == KindTableRow) {
            if (line.flags & LineFirst) tableStart = &line;
            if (!tableStart || line.tableWidths != &tableStart->cellWidths)
                fault(at + "table widths not the first row's");
        }
        for (const std::string& f : DocumentTest::MarkFaults(line)) fault(at + f);
    }
}

// Runs the work on a thread whose stack is 256 KiB.
void OnSmallStack(const std::function<void()>& work) {
    struct Call {
        static DWORD WINAPI Run(void* p) {
            (*static_cast<const std::function<void()>*>(p))();
            return 0;
        }
    };
    HANDLE thread = CreateThread(nullptr, 256 * 1024, &Call::Run, const_cast<std::function<void()>*>(&work),
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(nullptr, thread);
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 1;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    EXPECT_EQ(0u, code);
}

std::string Utf16(const std::string& utf8, bool bigEndian, std::mt19937& random) {
    std::wstring wide = TestSupport::Wide(utf8);
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (size_t k = 0; k <= wide.size(); ++k) {
        uint16_t units[2] = {k < wide.size() ? static_cast<uint16_t>(wide[k]) : uint16_t(0), 0};
        int n = k < wide.size() ? 1 : 0;
        if (random() % 16 == 0) units[n++] = random() % 2 ? 0xD800 : 0xDC00;  // a lone surrogate
        for (int u = 0; u < n; ++u) {
            char hi = static_cast<char>(units[u] >> 8), lo = static_cast<char>(units[u] & 0xFF);
            out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
        }
    }
    return out;
}

}  // namespace

TEST(DocumentFuzzTest, RandomDocumentsAndTheirCuts) {
    const std::string fragments[] = {
        "# ", "###### ", "####### ", "#", "- ", "* ", "+ ", "1. ", "12.", "3.14", "---", "***", "___", "- - -",
        "> ", ">", ">     ", "    ", "\t", "```", "~~~", "~", "`", "|", "| a | b |", "|-|-|", "|:-:|", "| x",
        "[", "]", "(", ")", "![", "](", "\\", "\"", "<br>", "<em>", "</em>", "<img src=\"a.png\" width=\"9%\">",
        "<div class=\"pagebreak\"></div>", "@TOC:", "@TOC:9:1:t", "@Align:Left", "@FontRatio:50", "@PrintHeader:Left:",
        "@PageBreak", "@", ":", "\x1E", "\x1F", std::string(1, '\0'), "\r", "\n", "\n", "\n", "\n", "\r\n", "日本",
        "text", "==", "--", "[x](y.md)", "**", "*", "_", "__", "~~", "\xFF", "\xC3", "\xE6\x97", "\x80",
        "- [ ] ", "- [x] ", "  ", "...", "<strong>", "</strong>"};
    const int kinds = sizeof(fragments) / sizeof(fragments[0]);
    TestSupport::TempFolder folder;
    std::wstring path = folder.Join(L"fuzz.md");
    std::vector<std::string> faults;
    int loads = 0;
    OnSmallStack([&] {
        std::mt19937 random(4242);
        auto doc = DocumentTest::NewDocument(path);
        doc->style.overview.underscoreEmphasis = true;
        for (int round = 0; round < 1500; ++round) {
            std::string text;
            int count = 1 + static_cast<int>(random() % 60);
            for (int k = 0; k < count; ++k) text += fragments[random() % kinds];
            if (round % 5 == 3) text = Utf16(text, round % 2 == 0, random);
            std::vector<std::string> versions{text};
            for (int cut = 0; cut < 2 && !text.empty(); ++cut) versions.push_back(text.substr(0, random() % text.size()));
            for (const std::string& v : versions) {
                if (!TestSupport::WriteFileBytes(path, v)) {
                    faults.push_back("cannot write");
                    return;
                }
                LoadDocumentLines(*doc);
                ++loads;
                CheckInvariants(*doc, "round " + std::to_string(round), faults);
            }
        }
    });
    EXPECT_GT(loads, 4000);
    for (const std::string& f : faults) ADD_FAILURE() << f;
}

TEST(DocumentFuzzTest, Extremes) {
    TestSupport::TempFolder folder;
    std::mt19937 random(99);
    std::string mixed;
    const char* pieces[] = {"**b** ", "*i* ", "[l](x.md) ", "![p](p.png) ", "~~s~~ ", "<em>e</em> ", "t ",
                            "\"q\" ", "\\[ ", "<br> ", "__u__ ", "[a [b] c](d) ", "| "};
    while (mixed.size() < (1u << 20)) mixed += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
    std::string nested;
    for (int i = 0; i < 10000; ++i) nested += std::string(i / 100, '\t') + std::string(i % 100, ' ') + "- x\n";
    std::string aligns;
    for (int i = 0; i < 200000; ++i) aligns += "@Align:Left\n";
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"quote markers", std::string(100000, '>') + " deep\n"},
        {"nested lists", nested},
        {"brackets, stars, tags",
         std::string(100000, '[') + "\n" + std::string(100000, '*') + "\n" + [] {
             std::string s;
             for (int i = 0; i < 100000; ++i) s += "<em>";
             return s;
         }()},
        {"a 1 MB line", mixed},
        {"empty lines", "One paragraph.\n" + std::string(500000, '\n')},
        {"align lines", aligns + "text\n"},
        {"open fence", "text\n```\ncode\n    more"},
        {"nested links", [] {
             std::string s = std::string(3000, '[') + "x";
             for (int i = 0; i < 3000; ++i) s += "](y)";
             return s;
         }()},
    };
    std::vector<std::string> faults;
    OnSmallStack([&] {
        for (const Case& c : cases) {
            std::wstring path = folder.Join(L"extreme.md");
            if (!TestSupport::WriteFileBytes(path, c.text)) {
                faults.push_back("cannot write");
                return;
            }
            auto doc = DocumentTest::NewDocument(path);
            doc->style.overview.tabStop = 100;
            DWORD start = GetTickCount();
            LoadDocumentLines(*doc);
            DWORD took = GetTickCount() - start;
            if (took > 10000) faults.push_back(std::string(c.name) + " took " + std::to_string(took) + " ms");
            CheckInvariants(*doc, c.name, faults);
            if (std::string(c.name) == "nested lists") {
                if (doc->Count() != 10000 || doc->Last()->level != 10000) faults.push_back("nested levels");
            } else if (std::string(c.name) == "quote markers") {
                if (doc->First()->quoteDepth != 100000) faults.push_back("quote depth");
            } else if (std::string(c.name) == "align lines") {
                if (doc->Last()->params.Find(ParamAlign).text.EqualsAscii("2") == false) faults.push_back("align");
            } else if (std::string(c.name) == "nested links") {
                if (doc->First()->links.Count() != 3000) faults.push_back("nested links");
                for (const JobLinkDataUnit& unit : doc->First()->links)
                    if (unit.text.Length() > 4096) faults.push_back("a link text without bound");
            } else if (std::string(c.name) == "open fence") {
                if (doc->Last()->kind != KindFencedCode || !doc->style.FenceOpen()) faults.push_back("open fence");
            }
        }
    });
    for (const std::string& f : faults) ADD_FAILURE() << f;
}

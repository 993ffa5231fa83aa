// How the encoding guess reads short texts, and what a save then makes of
// them: each text of a pack is written to a file and read as a text side is;
// one character is typed at the end of its first line and the side is saved
// to a second file, which must be the text with the typed character's bytes
// at one place and every other byte unchanged.
//
//   encoding_guess_bench PACK FILE SAVED
//
// PACK holds records of a 32-bit little-endian label length, the label, a
// 32-bit little-endian byte count and the bytes; FILE is the scratch file
// each text is written to and SAVED the one the edited side is saved to.
// Prints one line "label<TAB>kind<TAB>save" a record, where save is 0 for a
// save that kept every byte but the typed ones, 1 for a damaged one and 2
// when the side could not be edited and saved; then "records N" and
// "seconds S".
#include <windows.h>

#include "bench/bench_clock.h"
#include "bench/quiet_editor.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/raw_string.h"
#include "tavrel/jobs/action_args.h"
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

// Whether `saved` is `original` with `typed` put in at one place.
bool OnlyTypedAdded(const uint8_t* original, size_t count, const std::vector<uint8_t>& saved,
                    const std::string& typed) {
    if (saved.size() != count + typed.size()) return false;
    size_t head = 0;
    while (head < count && original[head] == saved[head]) ++head;
    size_t tail = 0;
    while (tail < count && original[count - 1 - tail] == saved[saved.size() - 1 - tail]) ++tail;
    // The insertion starts at some place p with count - tail <= p <= head.
    for (size_t p = count > tail ? count - tail : 0; p <= head; ++p)
        if (std::equal(typed.begin(), typed.end(), saved.begin() + static_cast<std::ptrdiff_t>(p),
                       [](char t, uint8_t s) { return static_cast<uint8_t>(t) == s; }))
            return true;
    return false;
}

// Types "x" at the end of the first line of side 1 and saves the side to
// `savedPath`: 0 when only the typed bytes came in, 1 when other bytes
// changed, 2 when the side could not be edited or saved.
int TypeAndSave(JobGroupUnit& job, QuietEditor& editor, const uint8_t* original, size_t count,
                const char* savedPath) {
    JobContentList& content = job.content1;
    if (content.Count() == 0 || job.rows.Count() == 0) return 2;
    int32_t row = 0;
    while (row < job.rows.Count() && job.rows.At(row)->unit1 != content.At(0)) ++row;
    if (row >= job.rows.Count()) return 2;
    JobSideRecord& side = job.side1;
    side.anchorRow = side.cursorRow = row;
    side.anchorColumn = side.cursorColumn = content.At(0)->Text().Length();
    ActionArgs args;
    args.operands[0] = RawString::FromText("x");
    if (!job.controller->Execute(editor, job, 0, CommandInsertTypedText, args)) return 2;
    DeleteFileA(savedPath);
    const bool saved = SaveTextSide(side, content, RawString::FromText(savedPath));
    // The side is not saved to its own file: nothing is left to discard.
    content.flags = static_cast<uint16_t>(content.flags & ~ContentChanged);
    std::vector<uint8_t> bytes;
    if (!saved || !ReadAll(savedPath, bytes)) return 2;
    // The typed character in the side's encoding.
    std::string typed = "x";
    if (content.encodingKind == RawLayer::KindUtf16LE) typed = std::string("x\0", 2);
    if (content.encodingKind == RawLayer::KindUtf16BE) typed = std::string("\0x", 2);
    return OnlyTypedAdded(original, count, bytes, typed) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: encoding_guess_bench PACK FILE SAVED\n");
        return 2;
    }
    std::vector<uint8_t> pack;
    if (!ReadAll(argv[1], pack)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    JobGroupUnit job(JobKindType::FromKind(KindText), &JobLineControl::Shared());
    job.content1.path = RawString::FromText(argv[2]);
    QuietEditor editor;
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
        const uint8_t* bytes = pack.data() + at + 4;
        if (!WriteAll(argv[2], bytes, byteCount)) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
        at += 4 + byteCount;
        job.edit.edit1 = 1;
        JobLineControl::LoadSide(job, 0);
        job.controller->Compare(job);
        const uint32_t kind = job.content1.encodingKind;
        const int save = TypeAndSave(job, editor, bytes, byteCount, argv[3]);
        std::printf("%s\t%u\t%d\n", label.c_str(), static_cast<unsigned>(kind), save);
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

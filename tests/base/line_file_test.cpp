// Line files: reading every encoding with every chunk size, line ends across
// chunk edges, long lines, error states, and the writer with its mark.
// RUN_UNDER_BOTH_CODE_PAGES
#include "base/line_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/encoding.h"
#include "support/test_support.h"

using namespace RawLayer;
using TestSupport::ReadFileBytes;
using TestSupport::TempFolder;
using TestSupport::WriteFileBytes;

namespace {

using Bytes = std::vector<uint8_t>;

RawString PathOf(const std::wstring& path) {
    return RawString::FromWideText(path.c_str(), int32_t(path.size()));
}

Bytes Encode(const std::wstring& text, int codePage) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(UINT(codePage), 0, text.c_str(), int(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(UINT(codePage), 0, text.c_str(), int(text.size()), &out[0], n, nullptr,
                        nullptr);
    return Bytes(out.begin(), out.end());
}

Bytes Utf16Bytes(const std::wstring& text, bool bigEndian) {
    Bytes out;
    for (wchar_t c : text) {
        uint16_t u = uint16_t(c);
        if (bigEndian) {
            out.push_back(uint8_t(u >> 8));
            out.push_back(uint8_t(u & 0xFF));
        } else {
            out.push_back(uint8_t(u & 0xFF));
            out.push_back(uint8_t(u >> 8));
        }
    }
    return out;
}

// The bytes of a text in an encoding kind (no mark).
Bytes EncodeKind(const std::wstring& text, uint8_t kind) {
    if (kind == KindUtf16LE) return Utf16Bytes(text, false);
    if (kind == KindUtf16BE) return Utf16Bytes(text, true);
    return Encode(text, KindCodePage(kind));
}

std::wstring WideOf(const RawString& s) {
    RawString w = s.As(KindUtf16);
    return std::wstring(w.Wide(), size_t(w.Length()));
}

Bytes BytesOf(const RawString& s) {
    const uint8_t* p = static_cast<const uint8_t*>(s.Data());
    return Bytes(p, p + s.Length() * UnitWidth(s.Kind()));
}

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

struct ReadResult {
    std::vector<RawString> lines;  // private copies
    std::vector<int> ends;         // line-end kinds: 0 none, 1 LF, 2 CR, 3 CR LF
    std::vector<int64_t> positions;
    int32_t state = -1;
    uint8_t fileKind = 0;
    bool mark = false;
};

ReadResult ReadAll(const std::wstring& path, int32_t chunk, uint8_t textKind,
                   uint8_t fileKind = 0, int32_t maxLine = 0, uint32_t options = 0) {
    ReadResult r;
    RawLineFile file(PathOf(path), chunk);
    file.SetOptions(file.Options() | options);
    file.SetTextKind(textKind);
    file.SetFileKind(fileKind);
    if (maxLine > 0) file.SetMaxLineLength(maxLine);
    file.Open();
    for (int guard = 0; guard < 1000000 && file.ReadLine(); ++guard) {
        const RawLineRecord& line = file.Line();
        r.lines.push_back(RawString(line.text));
        int end = 0;
        if (line.lineEndCount == 2) end = 3;
        else if (line.lineEndCount == 1) end = line.lineEnd[0] == 0x0A ? 1 : 2;
        r.ends.push_back(end);
        r.positions.push_back(line.position);
    }
    r.state = file.State();
    r.fileKind = file.FileKind();
    r.mark = file.HasMark();
    file.Close();
    return r;
}

// Chunk sizes: every size from 4 to 64, then a spread up to 8192.
std::vector<int32_t> ChunkSizes() {
    std::vector<int32_t> sizes;
    for (int32_t n = 4; n <= 64; ++n) sizes.push_back(n);
    for (int32_t n : {65, 97, 127, 128, 129, 200, 255, 256, 333, 511, 512, 777, 1000, 1023, 1024,
                      2047, 2048, 3001, 4095, 4096, 4097, 6000, 8191, 8192})
        sizes.push_back(n);
    return sizes;
}

// Lines with multibyte characters of every width; the Japanese set exists
// in Shift_JIS and EUC-JP as well.
const std::vector<std::wstring> kJapaneseLines = {
    L"plain ascii line",
    L"\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8",  // 日本語のテキスト
    L"",
    L"\uff76\uff80\uff76\uff85 half-width kana \uff71\uff72",
    L"x\u8868\u793a\\path\u30bd\u30d5\u30c8",  // 表示 and ソフト: 0x5C trail bytes in Shift_JIS
    L"last line \u3042\u3044\u3046",
};
const std::vector<std::wstring> kUnicodeLines = {
    L"caf\u00e9 na\u00efve \u00fc",
    L"\u4e2d\u6587 \u0440\u0443\u0441\u0441\u043a\u0438\u0439",
    L"emoji \U0001F600 and \U0001F4A9 pairs",
    L"",
    L"\u65e5\u672c\u8a9e with \u20ac",
    L"the end",
};

// The line ends used between lines, cyclically; the last line has none.
const int kEnds[] = {3, 1, 2, 3, 2, 1, 3};

Bytes LineEndBytes(int end, uint8_t kind) {
    std::wstring e = end == 3 ? L"\r\n" : end == 1 ? L"\n" : L"\r";
    return EncodeKind(e, kind);
}

Bytes BuildFile(const std::vector<std::wstring>& lines, uint8_t kind, bool mark,
                std::vector<int>* ends) {
    Bytes out;
    if (mark) {
        int32_t n = 0;
        const uint8_t* m = BomBytes(kind, &n);
        out.assign(m, m + n);
    }
    ends->clear();
    for (size_t i = 0; i < lines.size(); ++i) {
        Append(out, EncodeKind(lines[i], kind));
        int end = i + 1 < lines.size() ? kEnds[i % 7] : 0;
        // A CR before an empty line ended by LF would read as one CR LF.
        if (end == 2 && lines[i + 1].empty()) end = 3;
        ends->push_back(end);
        if (end) Append(out, LineEndBytes(end, kind));
    }
    return out;
}

struct EncodingCase {
    const char* name;
    uint8_t kind;
    bool mark;
    bool japaneseOnly;
    uint8_t givenKind;  // 0: found by mark or guess
};

const EncodingCase kCases[] = {
    {"UTF-8", KindUtf8, false, false, 0},
    {"UTF-8 BOM", KindUtf8, true, false, 0},
    {"Shift_JIS", KindSjis, false, true, 0},
    {"EUC-JP", KindEucJp, false, true, KindEucJp},
    {"UTF-16LE BOM", KindUtf16LE, true, false, 0},
    {"UTF-16BE BOM", KindUtf16BE, true, false, 0},
    {"UTF-16LE", KindUtf16LE, false, false, 0},
};

}  // namespace

TEST(LineFileRead, SameLinesInEveryEncodingAndChunkSize) {
    TempFolder folder;
    for (const EncodingCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto& lines = c.japaneseOnly ? kJapaneseLines : kUnicodeLines;
        // Repeat the set so that lines and chunk edges meet at every offset.
        std::vector<std::wstring> all;
        for (int r = 0; r < 5; ++r) all.insert(all.end(), lines.begin(), lines.end());
        std::vector<int> ends;
        Bytes content = BuildFile(all, c.kind, c.mark, &ends);
        std::wstring path = folder.Join(L"enc.txt");
        ASSERT_TRUE(WriteFileBytes(path, content));
        uint8_t own = (c.kind == KindUtf16LE || c.kind == KindUtf16BE) ? uint8_t(KindUtf16) : c.kind;
        for (int32_t chunk : ChunkSizes()) {
            SCOPED_TRACE(chunk);
            // Converted to UTF-16.
            ReadResult wide = ReadAll(path, chunk, KindUtf16, c.givenKind);
            ASSERT_EQ(wide.state, LineStateEnd);
            EXPECT_EQ(wide.fileKind, c.kind);
            EXPECT_EQ(wide.mark, c.mark && c.givenKind == 0);
            for (size_t i = 0; i < all.size() && i < wide.lines.size(); ++i) {
                ASSERT_EQ(wide.lines[i].Kind(), KindUtf16);
                ASSERT_EQ(WideOf(wide.lines[i]), all[i]) << "line " << i;
                ASSERT_EQ(wide.ends[i], ends[i]) << "line " << i;
            }
            ASSERT_EQ(wide.lines.size(), all.size());
            // In the file's own kind: the same bytes as in the file.
            ReadResult raw = ReadAll(path, chunk, LineKindOwn, c.givenKind);
            ASSERT_EQ(raw.state, LineStateEnd);
            ASSERT_EQ(raw.lines.size(), all.size());
            for (size_t i = 0; i < all.size(); ++i) {
                ASSERT_EQ(raw.lines[i].Kind(), own);
                Bytes expected = own == KindUtf16 ? Utf16Bytes(all[i], false) : EncodeKind(all[i], c.kind);
                ASSERT_EQ(BytesOf(raw.lines[i]), expected) << "line " << i;
            }
            // Lines handed out as views of the read buffer: the same texts,
            // line ends and positions, and copies that outlive the file.
            ReadResult viewed = ReadAll(path, chunk, LineKindOwn, c.givenKind, 0, LineFileViewText);
            ASSERT_EQ(viewed.state, LineStateEnd);
            ASSERT_EQ(viewed.lines.size(), raw.lines.size());
            EXPECT_EQ(viewed.ends, raw.ends);
            EXPECT_EQ(viewed.positions, raw.positions);
            for (size_t i = 0; i < raw.lines.size(); ++i) {
                ASSERT_EQ(viewed.lines[i].Kind(), own);
                ASSERT_TRUE(viewed.lines[i].Equals(raw.lines[i])) << "line " << i;
            }
        }
    }
}

TEST(LineFileRead, UtfEightLinesConvertToShiftJisAndBack) {
    TempFolder folder;
    std::vector<int> ends;
    std::wstring path = folder.Join(L"sj.txt");
    ASSERT_TRUE(WriteFileBytes(path, BuildFile(kJapaneseLines, KindUtf8, false, &ends)));
    for (int32_t chunk : {4, 5, 7, 13, 8192}) {
        ReadResult r = ReadAll(path, chunk, KindSjis);
        ASSERT_EQ(r.state, LineStateEnd);
        ASSERT_EQ(r.lines.size(), kJapaneseLines.size());
        for (size_t i = 0; i < r.lines.size(); ++i) {
            EXPECT_EQ(r.lines[i].Kind(), KindSjis);
            EXPECT_EQ(BytesOf(r.lines[i]), Encode(kJapaneseLines[i], 932));
        }
    }
}

TEST(LineFileRead, LineEndsAcrossChunkEdges) {
    TempFolder folder;
    struct Case {
        const char* bytes;
        std::vector<std::string> lines;
        std::vector<int> ends;
    } cases[] = {
        {"A\r\nB\rC", {"A", "B", "C"}, {3, 2, 0}},
        {"A\r\r\nB\n", {"A", "", "B"}, {2, 3, 1}},
        {"\n\n", {"", ""}, {1, 1}},
        {"x\r", {"x"}, {2}},
        {"abc\r\ndef\r\n", {"abc", "def"}, {3, 3}},
        {"", {}, {}},
        {"\r\n\r", {"", ""}, {3, 2}},
    };
    std::wstring path = folder.Join(L"ends.txt");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        ASSERT_TRUE(WriteFileBytes(path, std::string(c.bytes)));
        for (int32_t chunk = 4; chunk <= 12; ++chunk) {
            ReadResult r = ReadAll(path, chunk, KindUtf8);
            EXPECT_EQ(r.state, LineStateEnd);
            ASSERT_EQ(r.lines.size(), c.lines.size()) << "chunk " << chunk;
            for (size_t i = 0; i < c.lines.size(); ++i) {
                EXPECT_TRUE(r.lines[i].EqualsAscii(c.lines[i].c_str()));
                EXPECT_EQ(r.ends[i], c.ends[i]);
            }
        }
    }
    // A CR that ends one chunk and the LF that starts the next are one line
    // end: with chunk 4 the bytes "abc\r" and "\ndef" meet at the edge.
    ASSERT_TRUE(WriteFileBytes(path, std::string("abc\r\ndef")));
    ReadResult r = ReadAll(path, 4, KindUtf8);
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.ends[0], 3);
    EXPECT_EQ(r.positions[1], 5);
}

TEST(LineFileRead, Utf16MarkIsNotPartOfTheText) {
    TempFolder folder;
    std::wstring path = folder.Join(L"le.txt");
    ASSERT_TRUE(WriteFileBytes(path, Bytes{0xFF, 0xFE, 'A', 0, 0x0D, 0, 0x0A, 0}));
    ReadResult r = ReadAll(path, 8192, LineKindOwn);
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(WideOf(r.lines[0]), L"A");
    EXPECT_EQ(r.ends[0], 3);
    EXPECT_EQ(r.positions[0], 2);
    EXPECT_TRUE(r.mark);
    EXPECT_EQ(r.fileKind, KindUtf16LE);
}

TEST(LineFileRead, PositionsCountFileBytes) {
    TempFolder folder;
    std::wstring path = folder.Join(L"pos.txt");
    // Mark, then a line of 3 two-byte characters converted to UTF-16.
    Bytes content{0xEF, 0xBB, 0xBF};
    Append(content, Encode(L"\u00e9\u00e9\u00e9\r\nx\ny", 65001));
    ASSERT_TRUE(WriteFileBytes(path, content));
    RawLineFile file(PathOf(path), 5);
    file.SetTextKind(KindUtf16);
    ASSERT_TRUE(file.Open());
    ASSERT_TRUE(file.ReadLine());
    EXPECT_EQ(file.Line().number, 1);
    EXPECT_EQ(file.Line().position, 3);
    EXPECT_EQ(file.Line().nextPosition, 11);
    EXPECT_EQ(file.Line().text.Length(), 3);
    ASSERT_TRUE(file.ReadLine());
    EXPECT_EQ(file.Line().position, 11);
    EXPECT_EQ(file.Line().nextPosition, 13);
    // The same line again, then on.
    file.UnreadLine();
    ASSERT_TRUE(file.ReadLine());
    EXPECT_EQ(file.Line().number, 2);
    EXPECT_TRUE(file.Line().text.EqualsAscii("x"));
    ASSERT_TRUE(file.ReadLine());
    EXPECT_TRUE(file.Line().text.EqualsAscii("y"));
    EXPECT_EQ(file.Line().lineEndCount, 0);
    EXPECT_FALSE(file.ReadLine());
    EXPECT_EQ(file.State(), LineStateEnd);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(file.State(), LineStateClosed);
}

TEST(LineFileRead, LongLinesAreReadWholeUpToTheBound) {
    TempFolder folder;
    std::wstring path = folder.Join(L"long.txt");
    std::string line(100 * 1024, 'q');
    for (size_t i = 0; i < line.size(); i += 1000) line[i] = char('a' + (i / 1000) % 26);
    ASSERT_TRUE(WriteFileBytes(path, line + "\r\nshort\r\n"));
    for (int32_t chunk : {4, 1000, 8192}) {
        ReadResult r = ReadAll(path, chunk, KindUtf8);
        ASSERT_EQ(r.state, LineStateEnd);
        ASSERT_EQ(r.lines.size(), 2u);
        EXPECT_EQ(r.lines[0].Length(), int32_t(line.size()));
        EXPECT_EQ(std::string(r.lines[0].Bytes(), size_t(r.lines[0].Length())), line);
        EXPECT_TRUE(r.lines[1].EqualsAscii("short"));
    }
    // Past the caller's bound reading stops in state 12, not at "the end".
    ReadResult cut = ReadAll(path, 8192, KindUtf8, 0, 64 * 1024);
    EXPECT_EQ(cut.state, LineStateTooLong);
    EXPECT_TRUE(cut.lines.empty());

    // 8200 bytes without a line end and a bound of one chunk.
    ASSERT_TRUE(WriteFileBytes(path, "ok\n" + std::string(8200, 'z')));
    ReadResult bounded = ReadAll(path, 8192, KindUtf8, 0, 8192);
    EXPECT_EQ(bounded.state, LineStateTooLong);
    ASSERT_EQ(bounded.lines.size(), 1u);  // the line before it stands
    EXPECT_TRUE(bounded.lines[0].EqualsAscii("ok"));
    ReadResult whole = ReadAll(path, 8192, KindUtf8);
    EXPECT_EQ(whole.state, LineStateEnd);
    ASSERT_EQ(whole.lines.size(), 2u);
    EXPECT_EQ(whole.lines[1].Length(), 8200);
}

TEST(LineFileRead, FailuresAreNotTheEnd) {
    TempFolder folder;
    // Missing file.
    ReadResult missing = ReadAll(folder.Join(L"none.txt"), 8192, KindUtf8);
    EXPECT_EQ(missing.state, LineStateOpenFailed);
    EXPECT_TRUE(missing.lines.empty());

    // Empty file: the end, no lines.
    std::wstring path = folder.Join(L"f.txt");
    ASSERT_TRUE(WriteFileBytes(path, std::string()));
    ReadResult empty = ReadAll(path, 8192, KindUtf8);
    EXPECT_EQ(empty.state, LineStateEnd);
    EXPECT_TRUE(empty.lines.empty());

    // A Shift_JIS file ending in a lone lead byte, converted: the lines
    // before stand, then state 11.
    Bytes sjis = Encode(L"\u65e5\u672c\r\n\u8a9e", 932);
    sjis.push_back(0x93);
    ASSERT_TRUE(WriteFileBytes(path, sjis));
    for (int32_t chunk : {4, 8192}) {
        ReadResult r = ReadAll(path, chunk, KindUtf16, KindSjis);
        EXPECT_EQ(r.state, LineStateConvertFailed);
        ASSERT_EQ(r.lines.size(), 1u);
        EXPECT_EQ(WideOf(r.lines[0]), L"\u65e5\u672c");
    }
    // Read in its own kind, the same bytes are handed out as they stand.
    ReadResult own = ReadAll(path, 8192, LineKindOwn, KindSjis);
    EXPECT_EQ(own.state, LineStateEnd);
    ASSERT_EQ(own.lines.size(), 2u);
    EXPECT_EQ(own.lines[1].Length(), 3);

    // UTF-16 with half a unit at the end.
    ASSERT_TRUE(WriteFileBytes(path, Bytes{0xFF, 0xFE, 'a', 0, 0x0A, 0, 'b', 0, 'c'}));
    ReadResult odd = ReadAll(path, 4, LineKindOwn);
    EXPECT_EQ(odd.state, LineStateConvertFailed);
    ASSERT_EQ(odd.lines.size(), 1u);
    // The same after a CR: the CR ends its line and the odd byte is still
    // reported, whatever the chunk size.
    ASSERT_TRUE(WriteFileBytes(path, Bytes{0xFF, 0xFE, 'a', 0, 0x0D, 0, 'b'}));
    for (int32_t chunk : {4, 8192}) {
        ReadResult cr = ReadAll(path, chunk, LineKindOwn);
        EXPECT_EQ(cr.state, LineStateConvertFailed) << chunk;
        ASSERT_EQ(cr.lines.size(), 1u) << chunk;
        EXPECT_EQ(WideOf(cr.lines[0]), L"a");
    }

    // After a failure ReadLine stays false and Close reports it.
    RawLineFile file(PathOf(path), 4);
    ASSERT_TRUE(file.Open());
    EXPECT_TRUE(file.ReadLine());
    EXPECT_FALSE(file.ReadLine());
    EXPECT_FALSE(file.ReadLine());
    EXPECT_EQ(file.State(), LineStateConvertFailed);
    EXPECT_TRUE(file.HasError());
    EXPECT_FALSE(file.Close());
}

TEST(LineFileRead, GuessesWithoutMark) {
    TempFolder folder;
    std::wstring path = folder.Join(L"g.txt");
    struct Case {
        Bytes bytes;
        uint8_t kind;
    } cases[] = {
        {Encode(L"\u65e5\u672c\u8a9e\r\n", 932), KindSjis},
        {Encode(L"\u65e5\u672c\u8a9e \uff76\r\n", 65001), KindUtf8},
        {Bytes{'A', 0, 'B', 0, 0x0D, 0, 0x0A, 0}, KindUtf16LE},
        {Bytes{'p', 'l', 'a', 'i', 'n', '\n'}, 0},
        {Bytes{'a', 0x7F, '\n'}, KindError},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        for (int32_t chunk : {4, 8192}) {
            ReadResult r = ReadAll(path, chunk, LineKindOwn);
            EXPECT_EQ(r.fileKind, c.kind) << int(c.kind);
            EXPECT_EQ(r.state, LineStateEnd);
            EXPECT_EQ(r.lines.size(), 1u);
        }
    }
    // A plain ASCII head with Shift_JIS far behind it: the guess reads ahead
    // and the reader still starts at the first byte.
    std::string head(100000, 'a');
    Bytes late(head.begin(), head.end());
    late.push_back('\n');
    Append(late, Encode(L"\u65e5\u672c", 932));
    ASSERT_TRUE(WriteFileBytes(path, late));
    ReadResult r = ReadAll(path, 4096, KindUtf16);
    EXPECT_EQ(r.fileKind, KindSjis);
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[0].Length(), 100000);
    EXPECT_EQ(WideOf(r.lines[1]), L"\u65e5\u672c");
}

// ---------------------------------------------------------------------------
// Writing

TEST(LineFileWrite, RoundTripsWithMarks) {
    TempFolder folder;
    std::wstring path = folder.Join(L"w.txt");
    const std::vector<std::wstring> lines = {L"one \u65e5\u672c", L"", L"three"};
    struct Case {
        uint8_t kind;
        bool mark;
        uint8_t written;  // the kind of the bytes in the file
    } cases[] = {
        {KindUtf8, true, KindUtf8},       {KindUtf8, false, KindUtf8},
        {KindUtf16, true, KindUtf16LE},   {KindUtf16LE, false, KindUtf16LE},
        {KindUtf16BE, true, KindUtf16BE}, {KindSjis, false, KindSjis},
        {KindSjis, true, KindSjis},       {KindEucJp, false, KindEucJp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.kind));
        {
            RawLineFile writer(PathOf(path));
            writer.SetTextKind(c.kind);
            writer.SetOptions(c.mark ? uint32_t(LineFileWriteMark) : 0u);
            ASSERT_TRUE(writer.BeginWrite());
            for (const std::wstring& line : lines) {
                // Texts of several kinds go in; each is converted.
                RawString text = RawString::FromWideText(line.c_str(), int32_t(line.size()));
                ASSERT_TRUE(writer.WriteLine(line.size() % 2 ? text.As(KindUtf8) : text));
                ASSERT_TRUE(writer.WriteLineBreak());
            }
            EXPECT_TRUE(writer.Close());
        }
        Bytes expected;
        if (c.mark) {
            int32_t n = 0;
            const uint8_t* m = BomBytes(c.written, &n);
            expected.assign(m, m + n);
        }
        for (const std::wstring& line : lines) {
            Append(expected, EncodeKind(line, c.written));
            Append(expected, EncodeKind(L"\r\n", c.written));
        }
        EXPECT_EQ(ReadFileBytes(path), expected);
        ReadResult back = ReadAll(path, 7, KindUtf16, c.kind == KindEucJp ? c.kind : 0);
        if (c.kind == KindSjis || c.kind == KindEucJp) continue;  // no mark to find it by
        ASSERT_EQ(back.lines.size(), lines.size());
        for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(WideOf(back.lines[i]), lines[i]);
    }
}

TEST(LineFileWrite, MarkOnceAndInEmptyFiles) {
    TempFolder folder;
    std::wstring path = folder.Join(L"m.txt");
    {
        RawLineFile writer(PathOf(path));
        writer.SetOptions(LineFileWriteMark);
        ASSERT_TRUE(writer.BeginWrite());
        ASSERT_TRUE(writer.WriteLine(RawString::FromLiteral("a")));
        ASSERT_TRUE(writer.WriteLine(RawString::FromLiteral("b")));
        EXPECT_EQ(writer.BytesWritten(), 5);
        EXPECT_TRUE(writer.Close());
    }
    EXPECT_EQ(ReadFileBytes(path), (Bytes{0xEF, 0xBB, 0xBF, 'a', 'b'}));
    {
        // An empty file written with a mark still gets it.
        RawLineFile writer(PathOf(path));
        writer.SetTextKind(KindUtf16BE);
        writer.SetOptions(LineFileWriteMark);
        ASSERT_TRUE(writer.BeginWrite());
        EXPECT_TRUE(writer.Close());
    }
    EXPECT_EQ(ReadFileBytes(path), (Bytes{0xFE, 0xFF}));
    {
        // Kind 0 has no mark.
        RawLineFile writer(PathOf(path));
        writer.SetTextKind(KindAnsi);
        writer.SetOptions(LineFileWriteMark);
        ASSERT_TRUE(writer.BeginWrite());
        ASSERT_TRUE(writer.WriteLine(RawString::FromLiteral("x")));
        EXPECT_TRUE(writer.Close());
    }
    EXPECT_EQ(ReadFileBytes(path), (Bytes{'x'}));
}

TEST(LineFileWrite, OwnKindLinesSaveBackByteIdentical) {
    TempFolder folder;
    std::wstring in = folder.Join(L"in.txt");
    std::wstring out = folder.Join(L"out.txt");
    std::vector<Bytes> files;
    std::vector<int> ends;
    files.push_back(BuildFile(kUnicodeLines, KindUtf16BE, true, &ends));
    files.push_back(BuildFile(kUnicodeLines, KindUtf16LE, true, &ends));
    files.push_back(BuildFile(kUnicodeLines, KindUtf8, true, &ends));
    // Shift_JIS with bytes that convert to nothing sensible, and a lone
    // high surrogate in UTF-16.
    Bytes sjis = BuildFile(kJapaneseLines, KindSjis, false, &ends);
    sjis.insert(sjis.begin() + 3, {0x85, 0x40, 0xA0});
    files.push_back(sjis);
    Bytes lone{0xFF, 0xFE, 'a', 0, 0x00, 0xD8, 0x0D, 0, 0x0A, 0, 'b', 0};
    files.push_back(lone);
    for (const Bytes& content : files) {
        ASSERT_TRUE(WriteFileBytes(in, content));
        RawLineFile reader(PathOf(in), 16);
        ASSERT_TRUE(reader.Open());
        RawLineFile writer(PathOf(out));
        writer.SetTextKind(reader.FileKind());
        writer.SetOptions(reader.HasMark() ? uint32_t(LineFileWriteMark) : 0u);
        ASSERT_TRUE(writer.BeginWrite());
        while (reader.ReadLine()) {
            ASSERT_TRUE(writer.WriteLine(reader.Line().text));
            ASSERT_TRUE(writer.WriteLine(reader.Line().LineEndText()));
        }
        EXPECT_EQ(reader.State(), LineStateEnd);
        EXPECT_TRUE(writer.Close());
        EXPECT_EQ(ReadFileBytes(out), content);
    }
}

TEST(LineFileWrite, FailuresAreReported) {
    TempFolder folder;
    // A file that cannot be created.
    RawLineFile nowhere(PathOf(folder.Join(L"no\\such\\folder.txt")));
    EXPECT_FALSE(nowhere.BeginWrite());
    EXPECT_EQ(nowhere.State(), LineStateOpenFailed);
    EXPECT_FALSE(nowhere.WriteLine(RawString::FromLiteral("x")));

    // A handle without write access: the buffered bytes fail at Close.
    std::wstring path = folder.Join(L"ro.txt");
    ASSERT_TRUE(WriteFileBytes(path, std::string("old")));
    RawLineFile writer(PathOf(path));
    ASSERT_TRUE(writer.File().Open(PathOf(path), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(writer.BeginWrite());
    EXPECT_TRUE(writer.WriteLine(RawString::FromLiteral("new text")));
    EXPECT_FALSE(writer.Close());
    EXPECT_EQ(writer.State(), LineStateWriteFailed);
    EXPECT_FALSE(writer.WriteLine(RawString::FromLiteral("more")));

    // A character the file's code page does not have is refused, not
    // written as something else.
    RawLineFile sjis(PathOf(folder.Join(L"sj.txt")));
    sjis.SetTextKind(KindSjis);
    ASSERT_TRUE(sjis.BeginWrite());
    EXPECT_FALSE(sjis.WriteLine(RawString::FromWideText(L"\U0001F600")));
    EXPECT_EQ(sjis.State(), LineStateConvertFailed);
    EXPECT_FALSE(sjis.Close());
}

// Parameter lists, the profile format, section rewriting and path helpers.
// RUN_UNDER_BOTH_CODE_PAGES
#include "base/profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/api_text.h"
#include "base/encoding.h"
#include "base/line_file.h"
#include "support/test_support.h"

using namespace RawLayer;
using TestSupport::FileExists;
using TestSupport::ReadFileBytes;
using TestSupport::TempFolder;
using TestSupport::WriteFileBytes;

namespace {

using Bytes = std::vector<uint8_t>;

RawString W(const std::wstring& s) { return RawString::FromWideText(s.c_str(), int32_t(s.size())); }
RawString A(const char* s) { return RawString::FromText(s); }
std::wstring WideOf(const RawString& s) {
    RawString w = s.As(KindUtf16);
    return std::wstring(w.Wide(), size_t(w.Length()));
}

Bytes Utf16(const std::string& ascii, bool bigEndian) {
    Bytes out;
    for (char c : ascii) {
        if (bigEndian) out.push_back(0);
        out.push_back(uint8_t(c));
        if (!bigEndian) out.push_back(0);
    }
    return out;
}

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

}  // namespace

// ---------------------------------------------------------------------------
// Parsing

TEST(ProfileParse, SectionsEntriesAndComments) {
    TempFolder folder;
    std::wstring path = folder.Join(L"p.ini");
    ASSERT_TRUE(WriteFileBytes(path, std::string("orphan=1\r\n"
                                                 "[A]b]x\r\n"
                                                 " key = value \r\n"
                                                 "a=b=c\r\n"
                                                 "novalue\r\n"
                                                 "// comment=1\r\n"
                                                 "\r\n"
                                                 "dup=first\n"
                                                 "dup=second\r"
                                                 "=empty key\r\n"
                                                 "[\r\n"
                                                 "inempty=1\r\n"
                                                 "[Next]\r\n"
                                                 "n=1")));
    ProfileFileRef ref = ProfileFileRef::FromPath(W(path));
    RawParameterList list;
    // Entries before the first section belong to none.
    EXPECT_FALSE(list.ReadSection(ref, A("")) && list.Contains(A("orphan")));
    ASSERT_TRUE(list.ReadSection(ref, A("a]B")));  // up to the last ']', any case
    struct Entry {
        const char* key;
        const char* value;
    } expected[] = {{" key ", " value "}, {"a", "b=c"}, {"novalue", ""},
                    {"dup", "first"},     {"dup", "second"}, {"", "empty key"}};
    ASSERT_EQ(list.Count(), 6);
    int i = 0;
    for (const RawParameterUnit& unit : list) {
        EXPECT_TRUE(unit.key.EqualsAscii(expected[i].key)) << i;
        EXPECT_TRUE(unit.value.EqualsAscii(expected[i].value)) << i;
        ++i;
    }
    EXPECT_TRUE(list.GetText(A("dup")).EqualsAscii("first"));
    EXPECT_TRUE(list.GetBool(A("novalue"), false));
    EXPECT_EQ(ref.kind, 0u);  // nothing but 7-bit text

    ASSERT_TRUE(list.ReadSection(ref, A("")));  // the line "[" names ""
    EXPECT_EQ(list.GetInt(A("inempty"), 0), 1);
    ASSERT_TRUE(list.ReadSection(ref, A("NEXT")));
    EXPECT_EQ(list.GetInt(A("n"), 0), 1);
    EXPECT_FALSE(list.ReadSection(ref, A("Missing")));
    EXPECT_EQ(list.Count(), 0);

    ProfileFileRef none = ProfileFileRef::FromPath(W(folder.Join(L"none.ini")));
    EXPECT_FALSE(list.ReadSection(none, A("A")));
}

TEST(ProfileParse, GetIntAndGetBool) {
    RawParameterList list;
    struct IntCase {
        const char* value;
        int32_t expected;
    } ints[] = {
        {"30", 30},       {" 30", 30},     {"30 ", 30},     {"\t-12\t", -12}, {"+7", 7},
        {"0x1F", 31},     {"0o17", 15},    {"0b101", 5},    {"0", 0},         {"abc", 0},
        {"12a", 12},      {"", 0},         {"  ", 0},       {"-", 0},         {"1 2", 1},
        {"0xFFFFFFFF", -1}, {"0x100000001", 1}, {"-2147483648", INT32_MIN}, {"0X1F", 0},
        {"4294967298", 2},  {"-0x2", -2},
    };
    for (const IntCase& c : ints) {
        list.SetText(A("K"), A(c.value));
        EXPECT_EQ(list.GetInt(A("K"), -99), c.expected) << "'" << c.value << "'";
    }
    EXPECT_EQ(list.GetInt(A("missing"), 42), 42);

    struct BoolCase {
        const char* value;
        bool expected;
    } bools[] = {{"False", false}, {"false", false}, {"FALSE", false}, {"0", true},
                 {"", true},       {"no", true},     {"False ", true},  {"True", true}};
    for (const BoolCase& c : bools) {
        list.SetText(A("B"), A(c.value));
        EXPECT_EQ(list.GetBool(A("B"), !c.expected), c.expected) << "'" << c.value << "'";
    }
    EXPECT_TRUE(list.GetBool(A("missing"), true));
    EXPECT_FALSE(list.GetBool(A("missing"), false));
    list.Find(A("B"))->SetFalse();
    EXPECT_FALSE(list.GetBool(A("B"), true));

    // SetInt adds at the end once, then replaces.
    list.SetInt(A("N"), -5);
    list.SetInt(A("N"), 17);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_TRUE(list.GetText(A("N")).EqualsAscii("17"));
    // Case flag.
    EXPECT_EQ(list.Find(A("n")), nullptr);
    RawParameterList loose(false);
    loose.Add(A("Key"), A("v"));
    EXPECT_NE(loose.Find(A("KEY")), nullptr);
    // A wide key finds a UTF-8 one with the same text.
    loose.Add(W(L"\u65e5\u672c"), A("jp"));
    ASSERT_NE(loose.Find(W(L"\u65e5\u672c").As(KindUtf8)), nullptr);
    EXPECT_TRUE(loose.Find(W(L"\u65e5\u672c").As(KindUtf8))->value.EqualsAscii("jp"));
}

TEST(ProfileParse, ReadSectionKeepsEntriesBeforeAFailure) {
    TempFolder folder;
    std::wstring path = folder.Join(L"cut.ini");
    // Half a UTF-16 unit at the end: the read stops there.
    Bytes bytes{0xFF, 0xFE};
    Append(bytes, Utf16("[A]\r\nx=1\r\ny=2\r\nz", false));
    bytes.push_back('3');
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    ProfileFileRef ref = ProfileFileRef::FromPath(W(path));
    RawParameterList list;
    EXPECT_TRUE(list.ReadSection(ref, A("A")));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetInt(A("y"), 0), 2);
}

TEST(ProfileParse, InsertCopyAndConstruct) {
    RawParameterList list;
    list.Add(A("a"));
    list.Add(A("c"));
    ASSERT_NE(list.InsertBefore(list.FindLink(A("c")), A("b")), nullptr);
    list.InsertBefore(list.Sentinel(), A("d"));
    std::string keys;
    for (const RawParameterUnit& unit : list) keys += std::string(unit.key.Bytes(), 1);
    EXPECT_EQ(keys, "abcd");
    // A copy is independent; a plain copy of the object shares the body.
    RawParameterList copy = list.Copy();
    RawParameterList shared = list;
    copy.SetText(A("a"), A("changed"));
    shared.SetText(A("b"), A("seen"));
    EXPECT_TRUE(list.GetText(A("a")).IsEmpty());
    EXPECT_TRUE(list.GetText(A("b")).EqualsAscii("seen"));
    ProfileFileRef ref = ProfileFileRef::Construct();
    EXPECT_TRUE(ref.path.IsEmpty());
    EXPECT_EQ(ref.chunkSize, 8192u);
    EXPECT_EQ(ref.kind, 0u);
    EXPECT_EQ(ref.mark, 0u);
    RawParameterList out;
    EXPECT_FALSE(out.WriteSection(ref, A("S")));  // no path
}

TEST(ProfileParse, ParseLineTrimsBySet) {
    RawParameterList list;
    list.ParseLine(A(" a = 1 \r\n//c=2\n\nb=2\r[s]\r\nc"), A(" "));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_TRUE(list.At(0)->key.EqualsAscii("a"));
    EXPECT_TRUE(list.At(0)->value.EqualsAscii("1"));
    EXPECT_TRUE(list.At(1)->key.EqualsAscii("b"));
    EXPECT_TRUE(list.At(2)->key.EqualsAscii("c"));
    EXPECT_TRUE(list.At(2)->value.IsEmpty());
}

TEST(ProfileParse, WalkingRepeatedSections) {
    TempFolder folder;
    std::wstring path = folder.Join(L"cmd.ini");
    ASSERT_TRUE(WriteFileBytes(path, std::string("[Cmd]\r\nx=1\r\n[Other]\r\ny=2\r\n[cmd]\r\nx=3\r\nz=4\r\n")));
    RawLineFile reader(W(path));
    ASSERT_TRUE(reader.Open());
    RawString name;
    std::vector<std::string> seen;
    RawParameterList entries;
    while (RawParameterList::NextSectionLine(reader, name)) {
        if (!RawParameterList::SectionNameEquals(name, A("CMD"))) continue;
        ASSERT_TRUE(entries.ReadEntries(reader));
        seen.push_back(std::to_string(entries.Count()) + ":" +
                       std::string(entries.At(0)->value.Bytes(), 1));
    }
    EXPECT_EQ(reader.State(), LineStateEnd);
    EXPECT_EQ(seen, (std::vector<std::string>{"1:1", "2:3"}));
}

// ---------------------------------------------------------------------------
// Writing sections

namespace {

struct FileCase {
    const char* name;
    uint8_t kind;   // 2 UTF-8, 5 / 6 UTF-16
    bool mark;
};

// Encodes an ASCII text (and raw bytes kept as they are for 8-bit files).
Bytes Enc(const std::string& text, const FileCase& c) {
    if (c.kind == KindUtf16LE) return Utf16(text, false);
    if (c.kind == KindUtf16BE) return Utf16(text, true);
    return Bytes(text.begin(), text.end());
}

}  // namespace

TEST(ProfileWrite, OtherSectionsStayByteIdentical) {
    TempFolder folder;
    std::wstring path = folder.Join(L"w.ini");
    const FileCase cases[] = {{"UTF-8", KindUtf8, false},
                              {"UTF-8 BOM", KindUtf8, true},
                              {"UTF-16LE BOM", KindUtf16LE, true},
                              {"UTF-16BE BOM", KindUtf16BE, true}};
    std::string longLine = "long=" + std::string(10 * 1024, 'L') + "\r\n";
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes mark;
        if (c.mark) {
            int32_t n = 0;
            const uint8_t* m = BomBytes(c.kind, &n);
            mark.assign(m, m + n);
        }
        Bytes before = mark;
        Append(before, Enc("; head line\n[First] trailing text\r\n", c));
        if (c.kind == KindUtf8) {
            // A cp1252 line in a UTF-8 file: not valid UTF-8, kept as it is.
            Append(before, Bytes{'c', 'a', 'f', 0xE9, '=', 0xFC, 0x0D, 0x0A});
            Append(before, Bytes{'j', 'p', '=', 0xE6, 0x97, 0xA5, 0x0A});
        }
        Append(before, Enc(longLine, c));
        Append(before, Enc("// kept comment\r\n\r\n", c));
        Bytes oldTarget = Enc("[Target]\r\nold=1\r\n// lost comment\r\n", c);
        Bytes after = Enc("[Last]\nlf=only\nno end", c);
        Bytes content = before;
        Append(content, oldTarget);
        Append(content, after);
        ASSERT_TRUE(WriteFileBytes(path, content));

        RawParameterList list;
        list.Add(A("b"), A("2"));
        list.Add(W(L"k\u00e9y"), W(L"v\u65e5"));
        ProfileFileRef ref = ProfileFileRef::FromPath(W(path));
        ASSERT_TRUE(list.WriteSection(ref, A("target")));
        EXPECT_EQ(ref.kind, c.kind);
        EXPECT_EQ(ref.mark, c.mark ? 1u : 0u);

        Bytes expected = before;
        Append(expected, Enc("[target]\r\nb=2\r\n", c));
        if (c.kind == KindUtf8) {
            Append(expected, Bytes{'k', 0xC3, 0xA9, 'y', '=', 'v', 0xE6, 0x97, 0xA5, 0x0D, 0x0A});
        } else {
            bool be = c.kind == KindUtf16BE;
            auto unit = [&](uint16_t u) {
                expected.push_back(uint8_t(be ? u >> 8 : u & 0xFF));
                expected.push_back(uint8_t(be ? u & 0xFF : u >> 8));
            };
            for (uint16_t u : {uint16_t('k'), uint16_t(0xE9), uint16_t('y'), uint16_t('='),
                               uint16_t('v'), uint16_t(0x65E5), uint16_t(0x0D), uint16_t(0x0A)})
                unit(u);
        }
        Append(expected, after);
        EXPECT_EQ(ReadFileBytes(path), expected);
        EXPECT_FALSE(FileExists(path + L".tmp"));

        // Read back through the reader.
        RawParameterList back;
        ASSERT_TRUE(back.ReadSection(ref, A("TARGET")));
        EXPECT_EQ(WideOf(back.GetText(W(L"k\u00e9y"))), L"v\u65e5");
        ASSERT_TRUE(back.ReadSection(ref, A("Last")));
        EXPECT_TRUE(back.GetText(A("lf")).EqualsAscii("only"));
    }
}

TEST(ProfileWrite, NewFilesAndAppendedSections) {
    TempFolder folder;
    std::wstring path = folder.Join(L"new.ini");
    RawParameterList list;
    list.Add(A("Program"), A("Tavrel"));
    ProfileFileRef ref = ProfileFileRef::FromPath(W(path));
    ASSERT_TRUE(list.WriteSection(ref, A("Common")));
    EXPECT_EQ(ReadFileBytes(path), TestSupport::Bytes("\xEF\xBB\xBF[Common]\r\nProgram=Tavrel\r\n"));

    // A section that is not there yet is appended, after a line end for a
    // last line without one; a section that stands twice is replaced twice.
    ASSERT_TRUE(WriteFileBytes(path, std::string("[S]\r\na=1\r\n[T]\r\n[s]\r\nb=2")));
    RawParameterList one;
    one.Add(A("x"), A("y"));
    ASSERT_TRUE(one.WriteSection(ref, A("New")));
    EXPECT_EQ(ReadFileBytes(path), TestSupport::Bytes("[S]\r\na=1\r\n[T]\r\n[s]\r\nb=2\r\n[New]\r\nx=y\r\n"));
    ASSERT_TRUE(one.WriteSection(ref, A("S")));
    EXPECT_EQ(ReadFileBytes(path),
              TestSupport::Bytes("[S]\r\nx=y\r\n[T]\r\n[S]\r\nx=y\r\n[New]\r\nx=y\r\n"));

    // A leftover temporary file is overwritten, not appended to.
    ASSERT_TRUE(WriteFileBytes(path + L".tmp", std::string(5000, 'J')));
    ASSERT_TRUE(one.WriteSection(ref, A("T")));
    EXPECT_EQ(ReadFileBytes(path),
              TestSupport::Bytes("[S]\r\nx=y\r\n[T]\r\nx=y\r\n[S]\r\nx=y\r\n[New]\r\nx=y\r\n"));
    EXPECT_FALSE(FileExists(path + L".tmp"));

    // A non-ASCII section name matches across kinds in a Shift_JIS file.
    Bytes sjis{'[', 0x93, 0xFA, 0x96, 0x7B, ']', '\r', '\n', 'k', '=', 0x8C, 0xEA, '\r', '\n'};
    ASSERT_TRUE(WriteFileBytes(path, sjis));
    ProfileFileRef sref = ProfileFileRef::FromPath(W(path));
    RawParameterList jp;
    ASSERT_TRUE(jp.ReadSection(sref, W(L"\u65e5\u672c").As(KindUtf8)));
    EXPECT_EQ(sref.kind, KindSjis);
    EXPECT_EQ(WideOf(jp.GetText(A("k"))), L"\u8a9e");
    jp.Add(A("n"), A("1"));
    ASSERT_TRUE(jp.WriteSection(sref, W(L"\u65e5\u672c")));
    Bytes sjisAfter = sjis;
    Append(sjisAfter, Bytes{'n', '=', '1', '\r', '\n'});
    EXPECT_EQ(ReadFileBytes(path), sjisAfter);
}

TEST(ProfileWrite, RefusesAndLeavesTheOldFile) {
    TempFolder folder;
    std::wstring path = folder.Join(L"r.ini");
    const std::string old = "[A]\r\nx=1\r\n";
    RawParameterList list;
    list.Add(A("x"), A("2"));

    // Read-only target.
    ASSERT_TRUE(WriteFileBytes(path, old));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    ProfileFileRef ref = ProfileFileRef::FromPath(W(path));
    EXPECT_FALSE(list.WriteSection(ref, A("A")));
    EXPECT_EQ(ReadFileBytes(path), TestSupport::Bytes(old));
    EXPECT_FALSE(FileExists(path + L".tmp"));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));

    // A file another program holds without sharing cannot be read.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(list.WriteSection(ref, A("A")));
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(path), TestSupport::Bytes(old));

    // A file that cannot be read to its end (half a UTF-16 unit at the end).
    Bytes broken{0xFF, 0xFE};
    Append(broken, Utf16("[A]\r\nx=1\r\n[B]\r\ny", false));
    broken.push_back('z');
    ASSERT_TRUE(WriteFileBytes(path, broken));
    EXPECT_FALSE(list.WriteSection(ref, A("A")));
    EXPECT_EQ(ReadFileBytes(path), broken);
    EXPECT_FALSE(FileExists(path + L".tmp"));

    // A folder where the file should be.
    std::wstring dir = folder.Join(L"dir.ini");
    ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    ProfileFileRef dref = ProfileFileRef::FromPath(W(dir));
    EXPECT_FALSE(list.WriteSection(dref, A("A")));
}

TEST(ProfileWrite, ReadValueAndWriteValue) {
    TempFolder folder;
    ProfileFileRef ref = ProfileFileRef::FromPath(W(folder.Join(L"v.ini")));
    bool found = true;
    EXPECT_TRUE(ref.ReadValue(A("Common"), A("Program"), A("dflt"), &found).EqualsAscii("dflt"));
    EXPECT_FALSE(found);
    ASSERT_TRUE(ref.WriteValue(A("Common"), A("Program"), A("Tavrel")));
    ASSERT_TRUE(ref.WriteValue(A("Common"), A("GuiProfile"), A("$(User)\\g.ini")));
    ASSERT_TRUE(ref.WriteValue(A("common"), A("program"), A("Quenby")));
    EXPECT_TRUE(ref.ReadValue(A("COMMON"), A("Program"), &found).EqualsAscii("Quenby"));
    EXPECT_TRUE(found);
    EXPECT_EQ(ReadFileBytes(folder.Join(L"v.ini")),
              TestSupport::Bytes("\xEF\xBB\xBF[common]\r\nProgram=Quenby\r\nGuiProfile=$(User)\\g.ini\r\n"));
}

TEST(ProfileWrite, BadUnitsAreLeftOutAndNarrowFilesTurnUtf8) {
    TempFolder folder;
    std::wstring path = folder.Join(L"bad.ini");
    // A Shift_JIS profile (its other section holds 日本).
    const Bytes sjis{'[', 'O', 't', 'h', 'e', 'r', ']', '\r', '\n', 'j', '=', 0x93, 0xFA, 0x96, 0x7B,
                     '\r', '\n', '[', 'A', ']', '\r', '\n', 'x', '=', '1', '\r', '\n'};
    ASSERT_TRUE(WriteFileBytes(path, sjis));
    RawParameterList list;
    list.Add(A("k"), A("line\r\n[Injected]"));
    list.Add(A("a=b"), A("1"));
    list.Add(A("good"), A("2"));
    list.Add(A("//c"), A("3"));
    list.Add(A("path"), W(L"C:\\caf\u00e9"));  // no such character in Shift_JIS
    ProfileFileRef ref = ProfileFileRef::FromPath(W(path));
    RawParameterList refused;
    ASSERT_TRUE(list.WriteSection(ref, A("A"), &refused));
    ASSERT_EQ(refused.Count(), 3);
    EXPECT_TRUE(refused.At(1)->key.EqualsAscii("a=b"));
    const Bytes utf8{0xEF, 0xBB, 0xBF, '[', 'O', 't', 'h', 'e', 'r', ']', '\r', '\n', 'j', '=',
                     0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC, '\r', '\n', '[', 'A', ']', '\r', '\n',
                     'g', 'o', 'o', 'd', '=', '2', '\r', '\n', 'p', 'a', 't', 'h', '=', 'C', ':',
                     '\\', 'c', 'a', 'f', 0xC3, 0xA9, '\r', '\n'};
    EXPECT_EQ(ReadFileBytes(path), utf8);
    EXPECT_EQ(ref.kind, KindUtf8);
    EXPECT_EQ(ref.mark, 1u);

    // Without a list to take them, left-out units make the result false;
    // the rest is written all the same.
    EXPECT_FALSE(list.WriteSection(ref, A("B")));
    RawParameterList back;
    ASSERT_TRUE(back.ReadSection(ref, A("B")));
    EXPECT_EQ(back.Count(), 2);

    // A store with one bad value saves the others once, and says so once.
    ProfileStore store;
    store.path = W(path);
    store.section = A("Store");
    store.values.Add(A("ok"), A("1"));
    store.values.Add(A("bad"), A("x\ny"));
    store.modified = 1;
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(store.modified, 0);
    EXPECT_TRUE(store.Save());
    ASSERT_TRUE(back.ReadSection(ref, A("Store")));
    EXPECT_TRUE(back.GetText(A("ok")).EqualsAscii("1"));
    EXPECT_FALSE(back.Contains(A("bad")));

    // A Shift_JIS file whose other text would change on its way through
    // UTF-16 (0x87 0x90 comes back as 0x81 0xE0) keeps its kind; what the
    // kind cannot hold is left out.
    const Bytes nec{'[', 'O', ']', '\r', '\n', 'j', '=', 0x87, 0x90, '\r', '\n'};
    ASSERT_TRUE(WriteFileBytes(path, nec));
    RawParameterList cafe;
    cafe.Add(A("path"), W(L"caf\u00e9"));
    cafe.Add(A("n"), A("1"));
    RawParameterList narrow;
    EXPECT_TRUE(cafe.WriteSection(ref, A("A"), &narrow));
    EXPECT_EQ(narrow.Count(), 1);
    Bytes necAfter = nec;
    Append(necAfter, TestSupport::Bytes("[A]\r\nn=1\r\n"));
    EXPECT_EQ(ReadFileBytes(path), necAfter);
}

TEST(ProfileWrite, JapaneseTextsReadBackFromNewFiles) {
    TempFolder folder;
    std::wstring path = folder.Join(L"jp.ini");
    ProfileFileRef ref = ProfileFileRef::FromPath(W(path));
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    for (int round = 0; round < 120; ++round) {
        // Short texts of hiragana, katakana and kanji; the first is one that
        // reads as Shift_JIS without a mark.
        std::wstring text = L"\u3042\u3044";
        if (round > 0) {
            text.clear();
            for (uint32_t n = 1 + next(3); n > 0; --n) {
                switch (next(3)) {
                case 0: text += wchar_t(0x3041 + next(0x53)); break;
                case 1: text += wchar_t(0x30A1 + next(0x56)); break;
                default: text += wchar_t(0x4E00 + next(0x5000)); break;
                }
            }
        }
        SCOPED_TRACE(TestSupport::Utf8(text));
        DeleteFileW(path.c_str());
        RawString value = W(text).As(KindUtf8);
        ASSERT_TRUE(ref.WriteValue(A("Main"), A("Key"), value));
        ASSERT_TRUE(ref.WriteValue(value, A("Key"), value));
        bool found = false;
        EXPECT_EQ(WideOf(ref.ReadValue(A("Main"), A("Key"), &found)), text);
        EXPECT_EQ(WideOf(ref.ReadValue(value, A("Key"), &found)), text);
        EXPECT_TRUE(found);
    }
    EXPECT_EQ(ReadFileBytes(path)[0], 0xEF);
    // An existing file of 7-bit text gets its mark with its first other text.
    ASSERT_TRUE(WriteFileBytes(path, std::string("[Main]\r\nKey=1\r\n")));
    ASSERT_TRUE(ref.WriteValue(A("Main"), A("Other"), A("2")));
    EXPECT_EQ(ReadFileBytes(path), TestSupport::Bytes("[Main]\r\nKey=1\r\nOther=2\r\n"));
    ASSERT_TRUE(ref.WriteValue(A("Main"), A("Other"), W(L"\u3042\u3044")));
    EXPECT_EQ(ReadFileBytes(path)[0], 0xEF);
    EXPECT_EQ(WideOf(ref.ReadValue(A("Main"), A("Other"))), L"\u3042\u3044");
}

TEST(ProfileStoreSave, SortsAndClearsTheFlagOnlyOnSuccess) {
    TempFolder folder;
    std::wstring path = folder.Join(L"store.ini");
    ProfileStore store;
    store.path = W(path);
    store.section = A("Lang");
    for (const char* key : {"b", "B", "ab", "a", "b"}) store.values.Add(A(key), A(key));
    store.values.At(4)->value = A("second b");
    // Not modified: nothing is written.
    EXPECT_TRUE(store.Save());
    EXPECT_FALSE(FileExists(path));

    store.modified = 1;
    ASSERT_TRUE(WriteFileBytes(path, std::string("[Lang]\r\nold=1\r\n")));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(store.modified, 1);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(store.Save());
    EXPECT_EQ(store.modified, 0);
    EXPECT_EQ(ReadFileBytes(path),
              TestSupport::Bytes("[Lang]\r\nB=B\r\na=a\r\nab=ab\r\nb=b\r\nb=second b\r\n"));
    // The store's own list keeps its order.
    EXPECT_TRUE(store.values.At(0)->key.EqualsAscii("b"));
}

// ---------------------------------------------------------------------------
// Paths

TEST(ProfilePaths, SeparatorsAndExtensions) {
    // Shift_JIS: 0x5C is the trail byte of the first character, not a
    // separator: "C:\<95 5C>" has its last separator at 2.
    RawString sjis = RawString::FromBytes("C:\\\x95\x5C", 5, KindSjis);
    EXPECT_EQ(LastSeparator(sjis), 2);
    EXPECT_EQ(LastSeparator(A("a/b\\c")), 3);
    EXPECT_EQ(LastSeparator(A("abc")), 3);
    EXPECT_EQ(LastSeparator(A("a\\b\\c"), RawRange{0, 3}), 1);
    RawRange folderRange = PathFolderRange(A("C:\\dir\\f.txt"));
    EXPECT_EQ(folderRange.start, 0);
    EXPECT_EQ(folderRange.end, 6);
    EXPECT_EQ(PathFolderRange(A("name")).end, 0);

    struct ExtCase {
        const char* path;
        const char* withDot;
        const char* without;
        const char* stem;
    } cases[] = {
        {"C:\\a\\file.txt", ".txt", "txt", "C:\\a\\file"},
        {"C:\\v1.2\\Makefile", "", "", "C:\\v1.2\\Makefile"},
        {"C:\\v1.2/Makefile", "", "", "C:\\v1.2/Makefile"},
        {"archive.tar.gz", ".gz", "gz", "archive.tar"},
        {"name.", ".", "", "name"},
        {"noext", "", "", "noext"},
        {"", "", "", ""},
        {"dir.d\\x.ini", ".ini", "ini", "dir.d\\x"},
    };
    for (const ExtCase& c : cases) {
        RawString p = A(c.path);
        RawString dot, bare;
        dot.AssignRange(p, PathExtensionRange(p, true));
        bare.AssignRange(p, PathExtensionRange(p, false));
        EXPECT_TRUE(dot.EqualsAscii(c.withDot)) << c.path;
        EXPECT_TRUE(bare.EqualsAscii(c.without)) << c.path;
        EXPECT_TRUE(PathWithoutExtension(p).EqualsAscii(c.stem)) << c.path;
        EXPECT_EQ(PathExtensionRange(p, true).end, p.Length());
    }
    EXPECT_TRUE(IniExtensionText().EqualsAscii(".ini"));
    EXPECT_TRUE(DoubleBackslashText().EqualsAscii("\\\\"));
}

TEST(ProfilePaths, Resolve) {
    struct Case {
        const char* base;
        const char* path;
        const char* expected;
    } cases[] = {
        {"C:\\a\\b", "", ""},
        {"C:\\a\\b", "D:\\x", "D:\\x"},
        {"C:\\a\\b", "\\\\srv\\s\\x", "\\\\srv\\s\\x"},
        {"C:\\a\\b", "x.ini", "C:\\a\\b\\x.ini"},
        {"C:\\a\\b\\", "x.ini", "C:\\a\\b\\x.ini"},
        {"C:\\a\\b", ".\\x", "C:\\a\\b\\x"},
        {"C:\\a\\b", "./.\\x", "C:\\a\\b\\x"},
        {"C:\\a\\b", "..\\x", "C:\\a\\x"},
        {"C:\\a\\b", "../../x", "C:\\x"},
        {"C:\\a\\b", "..\\..\\..\\..\\x", "C:\\x"},
        {"C:\\", "..\\x", "C:\\x"},
        {"C:\\a\\b", "\\x", "C:\\x"},
        {"C:\\a\\b", "/x/y", "C:/x/y"},
        {"\\\\srv\\share\\d", "..\\..\\x", "\\\\srv\\share\\x"},
        {"\\\\srv\\share\\d", "\\x", "\\\\srv\\share\\x"},
        {"", "x", "x"},
        {"", "\\x", "\\x"},
        {"C:\\a", "..", "C:\\"},
        {"C:\\a\\b", "x\\..\\y", "C:\\a\\b\\x\\..\\y"},
    };
    for (const Case& c : cases) {
        RawString r = PathResolve(A(c.base), A(c.path));
        EXPECT_TRUE(r.EqualsAscii(c.expected))
            << c.base << " + " << c.path << " -> " << std::string(r.Bytes(), size_t(r.Length()));
    }
    // Mixed kinds resolve as text.
    EXPECT_EQ(WideOf(PathResolve(W(L"C:\\\u65e5"), A("..\\x"))), L"C:\\x");
    EXPECT_EQ(WideOf(PathResolve(A("C:\\d"), W(L"\u65e5.ini"))), L"C:\\d\\\u65e5.ini");
}

TEST(ProfilePaths, ProgramFolderAndResolveProgramPath) {
    RawString module = ApiGetModuleFileName(KindUtf16);
    RawString folder = ProgramFolder(KindUtf16);
    ASSERT_FALSE(folder.IsEmpty());
    EXPECT_TRUE(PathIsAbsolute(folder));
    EXPECT_EQ(LastSeparator(module), folder.Length());
    EXPECT_TRUE(FolderExists(folder));
    EXPECT_TRUE(PathExists(module));
    EXPECT_FALSE(FolderExists(module));
    EXPECT_FALSE(PathExists(A("Z:\\surely\\not\\here.ini")));

    EXPECT_EQ(WideOf(ResolveProgramPath(A("x.ini"))), WideOf(folder) + L"\\x.ini");
    EXPECT_EQ(WideOf(ResolveProgramPath(A("D:\\y.ini"))), L"D:\\y.ini");
    RawString appData = ApiGetSpecialFolder(0x1A, KindUtf16);
    ASSERT_FALSE(appData.IsEmpty());
    EXPECT_EQ(WideOf(ResolveProgramPath(A("$(User)\\g.ini"))), WideOf(appData) + L"\\g.ini");
    RawString app = A("TavrelProfileTest");
    std::wstring expected = WideOf(appData) + L"\\TavrelProfileTest\\g.ini";
    EXPECT_EQ(WideOf(ResolveProgramPath(A("$(User)\\g.ini"), app)), expected);
    std::wstring made = WideOf(appData) + L"\\TavrelProfileTest";
    EXPECT_TRUE(FolderExists(W(made)));
    RemoveDirectoryW(made.c_str());
}

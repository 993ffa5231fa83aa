// Word boundaries, hashes and path signatures, folder-tree moves and copies,
// and the small drawing helpers.
#include <gtest/gtest.h>

#include <string>

#include "base/text_ops.h"
#include "support/test_support.h"

using namespace RawLayer;
using TestSupport::SetWriteTime;
using TestSupport::TempFolder;
using TestSupport::WriteTimeOf;

namespace {

RawString Text(const char* utf8) { return RawString::FromText(utf8); }
RawString PathOf(const std::wstring& path) { return RawString::FromWideText(path.c_str()); }
std::wstring WideOf(const RawString& text) {
    RawString wide = text.As(KindUtf16);
    return std::wstring(wide.Wide(), wide.Length());
}

std::string Content(const std::wstring& path) {
    bool ok = false;
    std::vector<uint8_t> bytes = TestSupport::ReadFileBytes(path, &ok);
    return ok ? std::string(bytes.begin(), bytes.end()) : std::string("<missing>");
}

const uint64_t kTimeA = 130000000000000000ull;
const uint64_t kTimeB = 131000000000000000ull;

// root\a.txt, root\sub\b.txt, root\sub\deep\c.txt, root\other (empty)
void MakeTree(const TempFolder& temp, const std::wstring& root) {
    CreateDirectoryW(temp.Join(root).c_str(), nullptr);
    CreateDirectoryW(temp.Join(root + L"\\sub").c_str(), nullptr);
    CreateDirectoryW(temp.Join(root + L"\\sub\\deep").c_str(), nullptr);
    CreateDirectoryW(temp.Join(root + L"\\other").c_str(), nullptr);
    ASSERT_TRUE(TestSupport::WriteFileBytes(temp.Join(root + L"\\a.txt"), std::string("alpha")));
    ASSERT_TRUE(TestSupport::WriteFileBytes(temp.Join(root + L"\\sub\\b.txt"), std::string("beta")));
    ASSERT_TRUE(TestSupport::WriteFileBytes(temp.Join(root + L"\\sub\\deep\\c.txt"), std::string("gamma")));
    ASSERT_TRUE(SetWriteTime(temp.Join(root + L"\\a.txt"), kTimeA));
    ASSERT_TRUE(SetWriteTime(temp.Join(root + L"\\sub\\b.txt"), kTimeB));
    ASSERT_TRUE(SetWriteTime(temp.Join(root + L"\\sub\\deep\\c.txt"), kTimeA + 10000000));
}

bool FolderIsEmpty(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool empty = true;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") empty = false;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return empty;
}

}  // namespace

TEST(StringHash64, KnownValues) {
    EXPECT_EQ(StringHash64(Text("")), 0u);
    EXPECT_EQ(StringHash64(Text("a")), 97u);
    EXPECT_EQ(StringHash64(Text("ab")), 12611u);
    EXPECT_EQ(StringHash64(RawString::FromWideText(L"ab")), 12611u);
    // Wrapping in 64 bits, and continuing a hash equals hashing the whole.
    RawString whole = Text("a fairly long text that shifts bits well beyond sixty-four");
    const uint64_t head = StringHash64(0, whole, RawRange{0, 20});
    EXPECT_EQ(StringHash64(head, whole, RawRange{20, whole.Length()}), StringHash64(whole));
}

TEST(PathSignature, NameHashPlusLowWriteTimeBits) {
    TempFolder temp;
    MakeTree(temp, L"root");
    auto h = [](const char* name) { return StringHash64(Text(name)); };
    auto low = [](uint64_t time) { return time & 0xFFFFFFFFull; };
    const uint64_t a = h("a.txt") + low(kTimeA);
    const uint64_t deep = h("deep") + h("c.txt") + low(kTimeA + 10000000);
    const uint64_t sub = h("sub") + h("b.txt") + low(kTimeB) + deep;
    const uint64_t root = h("root") + a + sub + h("other");
    for (uint8_t kind : {KindUtf16, KindUtf8}) {
        EXPECT_EQ(PathSignature(PathOf(temp.Join(L"root")).As(kind)), root);
        EXPECT_EQ(PathSignature(PathOf(temp.Join(L"root\\")).As(kind)), root);
        EXPECT_EQ(PathSignature(PathOf(temp.Join(L"root\\a.txt")).As(kind)), a);
        EXPECT_EQ(PathSignature(PathOf(temp.Join(L"root\\sub\\deep")).As(kind)), deep);
    }
    EXPECT_EQ(PathSignature(PathOf(temp.Join(L"missing"))), 0u);
}

TEST(StrictPathSignature, ChangesWithNamesTimesAndPlaces) {
    TempFolder temp;
    MakeTree(temp, L"root");
    const RawString root = PathOf(temp.Join(L"root"));
    EXPECT_EQ(StrictPathSignature(PathOf(temp.Join(L"missing"))), 0u);
    const uint64_t original = StrictPathSignature(root);
    EXPECT_NE(original, 0u);
    EXPECT_EQ(StrictPathSignature(root), original);
    // The path's kind and a trailing separator do not matter.
    EXPECT_EQ(StrictPathSignature(root.As(KindUtf8)), original);
    EXPECT_EQ(StrictPathSignature(PathOf(temp.Join(L"root\\"))), original);
    EXPECT_NE(StrictPathSignature(PathOf(temp.Join(L"root\\a.txt"))), 0u);

    // Each change below is made, checked, and undone.
    const std::wstring b = temp.Join(L"root\\sub\\b.txt");
    const std::wstring c = temp.Join(L"root\\sub\\deep\\c.txt");

    ASSERT_TRUE(MoveFileW(b.c_str(), temp.Join(L"root\\sub\\b2.txt").c_str()));  // rename
    EXPECT_NE(StrictPathSignature(root), original);
    ASSERT_TRUE(MoveFileW(temp.Join(L"root\\sub\\b2.txt").c_str(), b.c_str()));
    EXPECT_EQ(StrictPathSignature(root), original);

    ASSERT_TRUE(SetWriteTime(b, kTimeB + 10000000));  // touch
    EXPECT_NE(StrictPathSignature(root), original);
    ASSERT_TRUE(SetWriteTime(b, kTimeB));
    EXPECT_EQ(StrictPathSignature(root), original);

    ASSERT_TRUE(MoveFileW(b.c_str(), temp.Join(L"root\\other\\b.txt").c_str()));  // move to a sibling
    EXPECT_NE(StrictPathSignature(root), original);
    ASSERT_TRUE(MoveFileW(temp.Join(L"root\\other\\b.txt").c_str(), b.c_str()));
    EXPECT_EQ(StrictPathSignature(root), original);

    ASSERT_TRUE(MoveFileW(c.c_str(), temp.Join(L"root\\sub\\c.txt").c_str()));  // move up a level
    EXPECT_NE(StrictPathSignature(root), original);
    ASSERT_TRUE(MoveFileW(temp.Join(L"root\\sub\\c.txt").c_str(), c.c_str()));
    EXPECT_EQ(StrictPathSignature(root), original);

    // Two files swap their times.
    const std::wstring a = temp.Join(L"root\\a.txt");
    ASSERT_TRUE(SetWriteTime(a, kTimeB));
    ASSERT_TRUE(SetWriteTime(b, kTimeA));
    EXPECT_NE(StrictPathSignature(root), original);
    ASSERT_TRUE(SetWriteTime(a, kTimeA));
    ASSERT_TRUE(SetWriteTime(b, kTimeB));
    EXPECT_EQ(StrictPathSignature(root), original);

    // An added and a removed entry deep below.
    ASSERT_TRUE(CreateDirectoryW(temp.Join(L"root\\other\\new").c_str(), nullptr));
    EXPECT_NE(StrictPathSignature(root), original);
    ASSERT_TRUE(RemoveDirectoryW(temp.Join(L"root\\other\\new").c_str()));
    EXPECT_EQ(StrictPathSignature(root), original);
    ASSERT_TRUE(DeleteFileW(c.c_str()));
    EXPECT_NE(StrictPathSignature(root), original);
}

TEST(MoveFolderTree, MovesEverythingAndLeavesEmptyFolders) {
    TempFolder temp;
    MakeTree(temp, L"src");
    RawString failing;
    ASSERT_TRUE(MoveFolderTree(PathOf(temp.Join(L"dst\\inner")), PathOf(temp.Join(L"src")), failing));
    EXPECT_EQ(Content(temp.Join(L"dst\\inner\\a.txt")), "alpha");
    EXPECT_EQ(Content(temp.Join(L"dst\\inner\\sub\\b.txt")), "beta");
    EXPECT_EQ(Content(temp.Join(L"dst\\inner\\sub\\deep\\c.txt")), "gamma");
    EXPECT_EQ(WriteTimeOf(temp.Join(L"dst\\inner\\sub\\b.txt")), kTimeB);
    EXPECT_TRUE(FolderIsEmpty(temp.Join(L"dst\\inner\\other")));
    EXPECT_FALSE(TestSupport::FileExists(temp.Join(L"src\\a.txt")));
    EXPECT_TRUE(FolderIsEmpty(temp.Join(L"src\\sub\\deep")));
}

TEST(MoveFolderTree, EmptySourceGivesEmptyTarget) {
    TempFolder temp;
    ASSERT_TRUE(CreateDirectoryW(temp.Join(L"empty").c_str(), nullptr));
    RawString failing;
    EXPECT_TRUE(MoveFolderTree(PathOf(temp.Join(L"t1\\t2")), PathOf(temp.Join(L"empty")), failing));
    EXPECT_TRUE(FolderIsEmpty(temp.Join(L"t1\\t2")));
}

TEST(MoveFolderTree, RefusesTargetsInsideTheSourceAndMissingSources) {
    TempFolder temp;
    MakeTree(temp, L"src");
    const uint64_t before = PathSignature(PathOf(temp.Join(L"src")));
    struct Case {
        std::wstring target;
        std::wstring source;
        std::wstring failing;
    } cases[] = {
        {temp.Join(L"src\\sub\\x"), temp.Join(L"src"), temp.Join(L"src\\sub\\x")},
        {temp.Join(L"SRC"), temp.Join(L"src"), temp.Join(L"SRC")},
        {temp.Join(L"src\\.\\sub"), temp.Join(L"src"), temp.Join(L"src\\.\\sub")},
        {temp.Join(L"out"), temp.Join(L"nothing"), temp.Join(L"nothing")},
        {temp.Join(L"out"), temp.Join(L"src\\a.txt"), temp.Join(L"src\\a.txt")},
    };
    for (const Case& c : cases) {
        RawString failing;
        EXPECT_FALSE(MoveFolderTree(PathOf(c.target), PathOf(c.source), failing)) << TestSupport::Utf8(c.target);
        EXPECT_EQ(WideOf(failing), c.failing);
        failing = RawString();
        EXPECT_FALSE(CopyFolderTree(PathOf(c.target), PathOf(c.source), failing)) << TestSupport::Utf8(c.target);
        EXPECT_EQ(WideOf(failing), c.failing);
    }
    EXPECT_EQ(PathSignature(PathOf(temp.Join(L"src"))), before);
    EXPECT_EQ(GetFileAttributesW(temp.Join(L"out").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(temp.Join(L"src\\sub\\x").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(MoveFolderTree, FailureReportsThePathAndLeavesTheRestInPlace) {
    TempFolder temp;
    MakeTree(temp, L"src");
    CreateDirectoryW(temp.Join(L"dst").c_str(), nullptr);
    CreateDirectoryW(temp.Join(L"dst\\sub").c_str(), nullptr);
    ASSERT_TRUE(TestSupport::WriteFileBytes(temp.Join(L"dst\\sub\\b.txt"), std::string("already")));
    RawString failing;
    EXPECT_FALSE(MoveFolderTree(PathOf(temp.Join(L"dst")), PathOf(temp.Join(L"src")), failing));
    EXPECT_EQ(WideOf(failing), temp.Join(L"src\\sub\\b.txt"));
    EXPECT_EQ(Content(temp.Join(L"src\\sub\\b.txt")), "beta");
    EXPECT_EQ(Content(temp.Join(L"dst\\sub\\b.txt")), "already");
    // Every file is in exactly one place.
    for (const wchar_t* name : {L"a.txt", L"sub\\deep\\c.txt"}) {
        const bool inSource = TestSupport::FileExists(temp.Join(std::wstring(L"src\\") + name));
        const bool inTarget = TestSupport::FileExists(temp.Join(std::wstring(L"dst\\") + name));
        EXPECT_NE(inSource, inTarget) << TestSupport::Utf8(name);
    }
}

TEST(CopyFolderTree, KeepsTimesAndAttributes) {
    TempFolder temp;
    MakeTree(temp, L"src");
    ASSERT_TRUE(SetFileAttributesW(temp.Join(L"src\\sub\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(temp.Join(L"src\\a.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    RawString failing;
    ASSERT_TRUE(CopyFolderTree(PathOf(temp.Join(L"copy")), PathOf(temp.Join(L"src")).As(KindUtf8), failing))
        << TestSupport::Utf8(WideOf(failing));
    EXPECT_EQ(Content(temp.Join(L"copy\\a.txt")), "alpha");
    EXPECT_EQ(Content(temp.Join(L"copy\\sub\\b.txt")), "beta");
    EXPECT_EQ(Content(temp.Join(L"copy\\sub\\deep\\c.txt")), "gamma");
    EXPECT_EQ(WriteTimeOf(temp.Join(L"copy\\a.txt")), kTimeA);
    EXPECT_EQ(WriteTimeOf(temp.Join(L"copy\\sub\\b.txt")), kTimeB);
    EXPECT_EQ(WriteTimeOf(temp.Join(L"copy\\sub\\deep\\c.txt")), kTimeA + 10000000);
    EXPECT_TRUE(GetFileAttributesW(temp.Join(L"copy\\sub\\b.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(GetFileAttributesW(temp.Join(L"copy\\a.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(GetFileAttributesW(temp.Join(L"copy\\sub\\deep\\c.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(FolderIsEmpty(temp.Join(L"copy\\other")));
    // The source is untouched.
    EXPECT_EQ(Content(temp.Join(L"src\\sub\\b.txt")), "beta");

    // Copying again over the read-only copy fails at that file.
    failing = RawString();
    EXPECT_FALSE(CopyFolderTree(PathOf(temp.Join(L"copy")), PathOf(temp.Join(L"src")), failing));
    EXPECT_EQ(WideOf(failing), temp.Join(L"copy\\sub\\b.txt"));
    SetFileAttributesW(temp.Join(L"src\\sub\\b.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW(temp.Join(L"copy\\sub\\b.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WordBoundaries, ClassesAndRuns) {
    struct Case {
        const wchar_t* text;
        int32_t index;
        bool underscore;
        int32_t start;
        int32_t end;
    } cases[] = {
        {L"foo_bar", 4, true, 0, 7},
        {L"foo_bar", 4, false, 4, 7},
        {L"foo_bar", 3, false, 3, 4},   // '_' alone is punctuation
        {L"foo_bar", 1, false, 0, 3},
        {L"ab  cd", 2, false, 2, 4},    // blanks
        {L"ab \t cd", 3, false, 2, 5},  // blank and tab are one class
        {L"a+-*b", 2, false, 1, 4},
        {L"x\x01\x02y", 1, false, 1, 3},
        {L"\u65E5\u672C\u8A9Ea", 1, false, 0, 3},
        {L"abc", 0, false, 0, 3},
        {L"abc", -5, false, 0, 0},
        {L"abc", 3, false, 3, 3},       // at the end: outside the text
        {L"abc", 9, false, 3, 3},
        {L"ab\x7F", 2, false, 2, 3},
        {L"", 0, true, 0, 0},
    };
    for (const Case& c : cases) {
        RawString text = RawString::FromWideText(c.text);
        EXPECT_EQ(WordStartAt(text, c.index, c.underscore), c.start)
            << TestSupport::Utf8(c.text) << " @" << c.index << " " << c.underscore;
        EXPECT_EQ(WordEndAt(text, c.index, c.underscore), c.end)
            << TestSupport::Utf8(c.text) << " @" << c.index << " " << c.underscore;
    }
    // Bytes of 8-bit text: a byte from 0x80 up is class 4.
    RawString bytes = RawString::FromBytes("ab\xE6\x97\xA5_c", 7, KindUtf8);
    EXPECT_EQ(WordStartAt(bytes, 3, true), 2);
    EXPECT_EQ(WordEndAt(bytes, 3, true), 5);
    EXPECT_EQ(WordClass('_', true), 3);
    EXPECT_EQ(WordClass('_', false), 2);
    EXPECT_EQ(WordClass(0x80, false), 4);
}

TEST(Drawing, MarkedTextFillsOnlyWithAColour) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 60, 20);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(dc, nullptr);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const RECT rect = {0, 0, 60, 20};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));

    struct Case {
        const char* text;
        COLORREF mark;
        COLORREF corner;  // pixel (58, 1)
        COLORREF bottom;  // pixel (30, 19)
    } cases[] = {
        {"ab", RGB(255, 0, 0), RGB(255, 0, 0), RGB(0, 0, 0)},
        {"ab", NoColorValue, RGB(255, 255, 255), RGB(0, 0, 0)},
        {"", RGB(255, 0, 0), RGB(255, 255, 255), RGB(255, 255, 255)},
    };
    for (const Case& c : cases) {
        FillRect(dc, &rect, white);
        RECT area = {};
        HFONT replaced = PrepareTextDC(dc, rect, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)),
                                       RGB(0, 0, 0), &area);
        EXPECT_EQ(area.right, 60);
        EXPECT_EQ(area.bottom, 20);
        EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
        DrawMarkedText(dc, Text(c.text), rect, c.mark);
        EXPECT_EQ(GetPixel(dc, 58, 1), c.corner) << c.text << " " << c.mark;
        EXPECT_EQ(GetPixel(dc, 30, 19), c.bottom) << c.text << " " << c.mark;
        SelectObject(dc, replaced);
    }
    DeleteObject(white);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST(Drawing, PrepareTextDCSetsTheContext) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    SetTextAlign(dc, TA_RIGHT);
    HGDIOBJ original = GetCurrentObject(dc, OBJ_FONT);
    HFONT font = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
    const RECT rect = {10, 20, 110, 45};
    RECT area = {};
    HFONT replaced = PrepareTextDC(dc, rect, font, RGB(1, 2, 3), &area);
    EXPECT_EQ(replaced, original);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    EXPECT_EQ(GetTextAlign(dc), 0u);
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(area.left, 0);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.right, 100);
    EXPECT_EQ(area.bottom, 25);
    EXPECT_EQ(PrepareTextDC(dc, rect, nullptr, RGB(0, 0, 0), nullptr), nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    SelectObject(dc, replaced);
    DeleteDC(dc);
}

namespace {

class CountingUnknown : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

}  // namespace

TEST(SmallHelpers, PlaceholderAndInterfacePair) {
    RawString placeholder = FilledPlaceholder(3);
    ASSERT_EQ(placeholder.Kind(), KindUtf16);
    ASSERT_EQ(placeholder.Length(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(placeholder.UnitAt(i), 0x0100u);
    EXPECT_TRUE(FilledPlaceholder(0).IsEmpty());
    EXPECT_TRUE(FilledPlaceholder(-4).IsEmpty());

    CountingUnknown one;
    CountingUnknown two;
    RawInterfacePair pair;
    pair.first = &one;
    ReleaseInterfacePair(pair);
    EXPECT_EQ(one.references, 0u);
    EXPECT_EQ(pair.first, nullptr);
    EXPECT_EQ(pair.second, nullptr);
    pair.first = &two;
    pair.second = &one;
    one.references = 2;
    ReleaseInterfacePair(pair);
    EXPECT_EQ(one.references, 1u);
    EXPECT_EQ(two.references, 0u);
    ReleaseInterfacePair(pair);  // nothing set: nothing happens
    EXPECT_EQ(one.references, 1u);
}

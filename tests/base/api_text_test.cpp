// Win32 text wrappers: the ANSI/wide choice, real files, windows, menus and
// text measurement. RUN_UNDER_BOTH_CODE_PAGES
#include "base/api_text.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <random>
#include <string>
#include <vector>

#include "base/encoding.h"
#include "support/test_support.h"

using namespace RawLayer;
using TestSupport::TempFolder;
using TestSupport::Wide;

namespace {

bool Cp932() { return GetACP() == 932; }

RawString Utf8(const std::string& s) { return RawString::FromBytes(s.data(), int32_t(s.size()), KindUtf8); }
RawString Utf16(const std::wstring& s) { return RawString::FromWideText(s.c_str(), int32_t(s.size())); }
RawString InKind(uint8_t kind, const std::wstring& s) { return Utf16(s).As(kind); }
std::wstring ToWide(const RawString& s) {
    RawString w = s.As(KindUtf16);
    return std::wstring(w.Wide(), size_t(w.Length()));
}

// Japanese text used for names: "日本語のファイル".
const std::wstring kJapanese = L"\u65E5\u672C\u8A9E\u306E\u30D5\u30A1\u30A4\u30EB";

struct KindCase {
    const char* name;
    RawString text;
    int expected;
};

std::vector<KindCase> KindTable() {
    const int sjis = Cp932() ? ApiKindAnsi : ApiKindConvert;
    return {
        {"empty utf8", RawString(KindUtf8), ApiKindEmpty},
        {"empty utf16", RawString(KindUtf16), ApiKindEmpty},
        {"empty ansi", RawString(KindAnsi), ApiKindEmpty},
        {"ansi", RawString::FromBytes("abc", 3, KindAnsi), ApiKindAnsi},
        {"sjis", InKind(KindSjis, kJapanese), sjis},
        {"sjis ascii", RawString::FromBytes("abc", 3, KindSjis), sjis},
        {"utf8 7-bit", Utf8("plain ~ text"), ApiKindAnsi},
        {"utf8 byte 127", Utf8("a\x7F"), ApiKindConvert},
        {"utf8 8-bit", Utf8("caf\xC3\xA9"), ApiKindConvert},
        {"utf7", RawString::FromBytes("abc", 3, KindUtf7), ApiKindConvert},
        {"eucjp", RawString::FromBytes("abc", 3, KindEucJp), ApiKindConvert},
        {"utf16be", RawString::FromBytes("\0a", 2, KindUtf16BE), ApiKindConvert},
        {"utf16le", RawString::FromBytes("a\0", 2, KindUtf16LE), ApiKindConvert},
        {"utf16", Utf16(L"abc"), ApiKindWide},
    };
}

}  // namespace

TEST(ApiKindTest, OneStringTable) {
    for (const KindCase& c : KindTable()) EXPECT_EQ(ApiKind(c.text), c.expected) << c.name;
}

TEST(ApiKindTest, PairAndTripleRules) {
    RawString e(KindUtf16), a = Utf8("a"), w = Utf16(L"w"), x = Utf8("\xC3\xA9");
    struct { const RawString *p, *q; int pair; } pairs[] = {
        {&a, &a, 0}, {&a, &e, 0}, {&e, &e, 0}, {&w, &w, 1}, {&w, &e, 1},
        {&e, &w, 1}, {&a, &w, 2}, {&w, &a, 2}, {&x, &a, 2}, {&w, &x, 2}};
    for (auto& c : pairs) EXPECT_EQ(ApiKindPair(*c.p, *c.q), c.pair);
    EXPECT_EQ(ApiKindTriple(e, e, e), 0);
    EXPECT_EQ(ApiKindTriple(a, e, a), 0);
    EXPECT_EQ(ApiKindTriple(w, e, e), 1);
    EXPECT_EQ(ApiKindTriple(w, e, a), 2);
    EXPECT_EQ(ApiKindTriple(a, a, x), 2);
}

// The entry point actually taken shows in the window: a "STATIC" made by
// CreateWindowExA is an ANSI window, one made by CreateWindowExW a Unicode
// window, and the text must arrive intact either way.
TEST(ApiTextWindowTest, CreateWindowChoosesEntryPointByKind) {
    const RawString cls = RawString::FromLiteral("STATIC");
    for (const KindCase& c : KindTable()) {
        if (c.text.Kind() == KindUtf16BE || c.text.Kind() == KindUtf16LE ||
            c.text.Kind() == KindUtf7 || c.text.Kind() == KindEucJp) {
            continue;  // file kinds: their text is not meant for a title
        }
        HWND h = ApiCreateWindow(0, cls, c.text, WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(h, nullptr) << c.name;
        int pair = ApiKindPair(cls, c.text);
        EXPECT_EQ(IsWindowUnicode(h) != FALSE, pair == ApiKindWide || pair == ApiKindConvert) << c.name;
        wchar_t buf[64] = {};
        GetWindowTextW(h, buf, 64);
        EXPECT_EQ(std::wstring(buf), ToWide(c.text)) << c.name;
        DestroyWindow(h);
    }
}

TEST(ApiTextWindowTest, LongJapaneseTitleRoundTrip) {
    std::wstring title;
    while (title.size() < 1200) title += kJapanese + L" ";
    HWND h = ApiCreateWindow(0, RawString::FromLiteral("STATIC"), Utf16(title), WS_POPUP, 0, 0,
                             50, 20, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ToWide(ApiGetWindowText(h, KindUtf16)), title);
    RawString utf8 = ApiGetWindowText(h, KindUtf8);
    EXPECT_EQ(utf8.Kind(), KindUtf8);
    EXPECT_EQ(ToWide(utf8), title);
    RawString sjis = ApiGetWindowText(h, KindSjis);  // through "A" only under 932
    EXPECT_EQ(sjis.Kind(), KindSjis);
    EXPECT_EQ(ToWide(sjis), title);
    SetWindowTextW(h, L"");
    EXPECT_TRUE(ApiGetWindowText(h, KindUtf16).IsEmpty());
    DestroyWindow(h);
}

namespace {
LRESULT CALLBACK TestProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }
}  // namespace

TEST(ApiTextWindowTest, RegisterClassAndJapaneseTitle) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    RawString name = Utf16(L"TavrelTestClass\u65E5");
    ASSERT_NE(ApiRegisterClass(inst, nullptr, LoadCursor(nullptr, IDC_ARROW), RawString(KindUtf16),
                               name, nullptr, TestProc), 0);
    WNDCLASSEXW info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExW(inst, name.Wide(), &info));
    EXPECT_EQ(info.style, UINT(CS_VREDRAW | CS_HREDRAW));
    EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(INT_PTR(COLOR_BTNFACE + 1)));
    EXPECT_EQ(info.lpszMenuName, nullptr);
    RawString title = Utf16(kJapanese).As(KindUtf8);
    HWND h = ApiCreateWindow(0, name, title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                             nullptr, inst, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(IsWindowUnicode(h));
    EXPECT_EQ(ToWide(ApiGetWindowText(h, KindUtf8)), kJapanese);
    DestroyWindow(h);
    UnregisterClassW(name.Wide(), inst);
}

TEST(ApiTextMenuTest, InsertMenuTexts) {
    HMENU menu = CreatePopupMenu();
    ASSERT_TRUE(ApiInsertMenu(menu, UINT(-1), MF_BYPOSITION | MF_STRING, 11, Utf8("Plain")));
    ASSERT_TRUE(ApiInsertMenu(menu, UINT(-1), MF_BYPOSITION | MF_STRING, 12, Utf16(kJapanese).As(KindUtf8)));
    ASSERT_TRUE(ApiInsertMenu(menu, UINT(-1), MF_BYPOSITION | MF_STRING, 13, InKind(KindSjis, kJapanese)));
    wchar_t buf[64];
    GetMenuStringW(menu, 11, buf, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(buf), L"Plain");
    GetMenuStringW(menu, 12, buf, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(buf), kJapanese);
    GetMenuStringW(menu, 13, buf, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(buf), kJapanese);
    DestroyMenu(menu);
}

// ---- files -------------------------------------------------------------------

namespace {

bool WriteThrough(const RawString& path, const std::string& bytes) {
    HANDLE h = ApiCreateFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    bool ok = WriteFile(h, bytes.data(), DWORD(bytes.size()), &done, nullptr) && done == bytes.size();
    return CloseHandle(h) && ok;
}

std::string ReadText(const std::wstring& path) {
    bool ok = false;
    std::vector<uint8_t> b = TestSupport::ReadFileBytes(path, &ok);
    return ok ? std::string(b.begin(), b.end()) : std::string("<missing>");
}

}  // namespace

// Create, move and replace real files with Japanese names, in every kind a
// caller may hand over (Shift_JIS takes the "A" entry points only under 932).
TEST(ApiTextFileTest, CreateMoveReplaceJapaneseNames) {
    for (uint8_t kind : {KindUtf16, KindUtf8, KindSjis}) {
        TempFolder dir;
        std::wstring a = dir.Join(kJapanese + L"_a.txt");
        std::wstring b = dir.Join(kJapanese + L"_b.txt");
        std::wstring c = dir.Join(kJapanese + L"_c.txt");
        SCOPED_TRACE(int(kind));
        ASSERT_TRUE(WriteThrough(InKind(kind, a), "first"));
        EXPECT_EQ(ReadText(a), "first");
        ASSERT_TRUE(ApiMoveFileEx(InKind(kind, a), InKind(kind, b), MOVEFILE_WRITE_THROUGH));
        EXPECT_FALSE(TestSupport::FileExists(a));
        EXPECT_EQ(ReadText(b), "first");
        ASSERT_TRUE(WriteThrough(InKind(kind, c), "second"));
        ASSERT_TRUE(ApiReplaceFile(InKind(kind, b), InKind(kind, c), RawString(kind)));
        EXPECT_EQ(ReadText(b), "second");
        EXPECT_FALSE(TestSupport::FileExists(c));
        // A mixed pair (ANSI-able and UTF-16) converts both.
        ASSERT_TRUE(ApiMoveFileEx(Utf16(b), InKind(kind, a), 0));
        EXPECT_EQ(ReadText(a), "second");
    }
}

TEST(ApiTextFileTest, LongNamesWithinMaxPath) {
    TempFolder dir;
    size_t room = MAX_PATH - 1 - dir.Path().size() - 1 - 4;
    ASSERT_GT(room, 100u);
    std::wstring name;
    while (name.size() + kJapanese.size() <= room) name += kJapanese;
    std::wstring path = dir.Join(name + L".txt");
    ASSERT_LT(path.size(), size_t(MAX_PATH));
    ASSERT_TRUE(WriteThrough(Utf16(path).As(KindUtf8), "long"));
    EXPECT_EQ(ReadText(path), "long");
    std::wstring moved = dir.Join(name + L".bak");
    ASSERT_TRUE(ApiMoveFileEx(Utf16(path), Utf16(moved), 0));
    EXPECT_EQ(ReadText(moved), "long");
}

TEST(ApiTextFileTest, EmptyPathFailsWithoutConversion) {
    EXPECT_EQ(ApiCreateFile(RawString(KindUtf16), GENERIC_READ, 0, OPEN_EXISTING, 0), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ApiMoveFileEx(RawString(), RawString(), 0));
}

TEST(ApiTextFileTest, DoubleNulPath) {
    RawString p = MakeDoubleNulPath(Utf8("C:\\a"));
    EXPECT_EQ(p.Kind(), KindUtf8);
    ASSERT_EQ(p.Length(), 5);
    EXPECT_EQ(p.UnitAt(4), 0u);
    EXPECT_EQ(p.Bytes()[5], 0);
    RawString w = MakeDoubleNulPath(RawString::FromWideText(L"C:\\b\0junk", 9));
    ASSERT_EQ(w.Length(), 5);
    EXPECT_EQ(w.Wide()[3], L'b');
    EXPECT_EQ(w.Wide()[4], 0);
    EXPECT_EQ(w.Wide()[5], 0);
}

TEST(ApiTextFileTest, ShFileOperationRefusesUnsafePaths) {
    TempFolder dir;
    std::wstring victim = dir.Join(L"victim.txt");
    ASSERT_TRUE(TestSupport::WriteFileBytes(victim, std::string("x")));
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.Path().c_str()));
    const char* refused[] = {"", "victim.txt", ".\\victim.txt", "C:\\", "C:", "C:/", "C:\\\\",
                             "\\victim.txt", "C:victim.txt", "\\\\server\\share",
                             "\\\\server\\share\\", "\\\\server", "C:\\windows\\..",
                             "C:\\a\\.", "C:\\ . ", "C:\\*", "C:\\users\\?x"};
    const uint16_t flags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    for (const char* p : refused) {
        EXPECT_FALSE(IsDeletablePath(Utf8(p))) << p;
        EXPECT_FALSE(ApiShFileOperation(Utf8(p), RawString(), flags)) << p;
    }
    SetCurrentDirectoryW(old);
    EXPECT_TRUE(TestSupport::FileExists(victim));
    EXPECT_TRUE(IsDeletablePath(Utf8("C:\\x")));
    EXPECT_TRUE(IsDeletablePath(Utf8("\\\\server\\share\\x")));
    EXPECT_TRUE(IsDeletablePath(Utf16(dir.Path())));
}

TEST(ApiTextFileTest, ShFileOperationDeletesJapaneseFileAndFolder) {
    TempFolder dir;
    std::wstring file = dir.Join(kJapanese + L".txt");
    std::wstring folder = dir.Join(kJapanese);
    ASSERT_TRUE(TestSupport::WriteFileBytes(file, std::string("x")));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder + L"\\inner.txt", std::string("y")));
    const uint16_t flags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    EXPECT_TRUE(ApiShFileOperation(Utf16(file).As(KindUtf8), RawString(), flags));
    EXPECT_FALSE(TestSupport::FileExists(file));
    EXPECT_TRUE(ApiShFileOperation(Utf16(folder), RawString(), flags));
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(ApiShFileOperation(Utf16(dir.Join(L"missing.txt")), RawString(), flags));
}

TEST(ApiTextShellTest, ShellExecuteRunsBatchGivenAsParameters) {
    TempFolder dir;
    std::wstring bat = dir.Join(kJapanese + L".bat");
    ASSERT_TRUE(TestSupport::WriteFileBytes(bat, std::string("@exit 7\r\n")));
    EXPECT_EQ(ApiShellExecute(RawString(), RawString(), RawString(), RawString(), SW_HIDE), nullptr);
    // An empty file: the parameters name the document, and none are passed.
    HANDLE p = ApiShellExecute(RawString(), RawString(), Utf16(bat).As(KindUtf8), RawString(), SW_HIDE);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(WaitForSingleObject(p, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(p, &code);
    EXPECT_EQ(code, 7u);
    CloseHandle(p);
    HANDLE q = ApiShellExecute(Utf8("open"), Utf8("cmd.exe"), Utf8("/c exit 5"), Utf16(dir.Path()), SW_HIDE);
    ASSERT_NE(q, nullptr);
    ASSERT_EQ(WaitForSingleObject(q, 30000), WAIT_OBJECT_0);
    GetExitCodeProcess(q, &code);
    EXPECT_EQ(code, 5u);
    CloseHandle(q);
}

// ---- returned texts ----------------------------------------------------------

TEST(ApiTextReturnTest, ModuleTempAndSpecialFolders) {
    wchar_t buf[MAX_PATH + 1];
    GetModuleFileNameW(nullptr, buf, MAX_PATH + 1);
    for (uint8_t kind : {KindUtf16, KindUtf8, KindAnsi, KindSjis}) {
        RawString m = ApiGetModuleFileName(kind);
        EXPECT_EQ(m.Kind(), kind);
        EXPECT_EQ(ToWide(m), std::wstring(buf)) << int(kind);
    }
    GetTempPathW(MAX_PATH + 1, buf);
    std::wstring temp(buf);
    ASSERT_FALSE(temp.empty());
    if (temp.back() == L'\\' || temp.back() == L'/') temp.pop_back();
    EXPECT_EQ(ToWide(ApiGetTempPath(KindUtf16)), temp);
    EXPECT_EQ(ToWide(ApiGetTempPath(KindUtf8)), temp);
    EXPECT_EQ(ToWide(ApiGetTempPath(KindAnsi)), temp);
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, buf, CSIDL_APPDATA, FALSE));
    EXPECT_EQ(ToWide(ApiGetSpecialFolder(CSIDL_APPDATA, KindUtf8)), std::wstring(buf));
    EXPECT_EQ(ToWide(ApiGetSpecialFolder(CSIDL_APPDATA, KindAnsi)), std::wstring(buf));
    RawString unknown = ApiGetSpecialFolder(0x7E, KindUtf8);
    EXPECT_TRUE(unknown.IsEmpty());
    EXPECT_EQ(unknown.Kind(), KindUtf8);
}

TEST(ApiTextReturnTest, TempPathWithAndWithoutTrailingSeparator) {
    TempFolder dir;
    std::wstring jp = dir.Join(kJapanese);
    ASSERT_TRUE(CreateDirectoryW(jp.c_str(), nullptr));
    wchar_t saved[4096] = {};
    DWORD had = GetEnvironmentVariableW(L"TMP", saved, 4096);
    for (const std::wstring& value : {jp + L"\\", jp + L"/", jp}) {
        SetEnvironmentVariableW(L"TMP", value.c_str());
        EXPECT_EQ(ToWide(ApiGetTempPath(KindUtf8)), jp);
        EXPECT_EQ(ToWide(ApiGetTempPath(KindSjis)), jp);
    }
    SetEnvironmentVariableW(L"TMP", had ? saved : nullptr);
}

TEST(ApiTextReturnTest, CurrentDirectoryJapanese) {
    TempFolder dir;
    std::wstring jp = dir.Join(kJapanese);
    ASSERT_TRUE(CreateDirectoryW(jp.c_str(), nullptr));
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryW(jp.c_str()));
    for (uint8_t kind : {KindUtf16, KindUtf8, KindSjis}) {
        RawString cd = ApiGetCurrentDirectory(kind);
        EXPECT_EQ(cd.Kind(), kind);
        EXPECT_EQ(ToWide(cd), jp) << int(kind);
    }
    SetCurrentDirectoryW(old);
}

namespace {
// A drop handle as the shell makes one: DROPFILES and a double-NUL list.
HDROP MakeDrop(const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const std::wstring& n : names) list += n + L'\0';
    list += L'\0';
    size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* df = static_cast<DROPFILES*>(GlobalLock(h));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(h);
    return static_cast<HDROP>(h);
}
}  // namespace

TEST(ApiTextReturnTest, DroppedPathsAtFullLength) {
    std::wstring longPath = L"C:\\";
    while (longPath.size() < 700) longPath += kJapanese + L"\\";
    longPath += L"end.txt";
    HDROP drop = MakeDrop({L"C:\\short.txt", longPath});
    EXPECT_EQ(ToWide(ApiDragQueryFile(drop, 0, KindUtf16)), L"C:\\short.txt");
    EXPECT_EQ(ToWide(ApiDragQueryFile(drop, 1, KindUtf16)), longPath);
    EXPECT_EQ(ToWide(ApiDragQueryFile(drop, 1, KindUtf8)), longPath);
    EXPECT_EQ(ToWide(ApiDragQueryFile(drop, 1, KindSjis)), longPath);
    EXPECT_TRUE(ApiDragQueryFile(drop, 2, KindUtf16).IsEmpty());
    GlobalFree(drop);
}

TEST(ApiTextSmallTest, WideBufferAndSyncLength) {
    RawString b = WideBuffer(10);
    EXPECT_EQ(b.Kind(), KindUtf16);
    EXPECT_EQ(b.Length(), 0);
    ASSERT_GE(b.Capacity(), 10);
    wcscpy(b.WritableWide(), L"abc");
    SyncLength(b);
    EXPECT_EQ(b.Length(), 3);
    EXPECT_EQ(ToWide(b), L"abc");
    // A buffer without any NUL keeps its capacity as the length.
    RawString full = WideBuffer(4);
    wchar_t* p = full.WritableWide();
    for (int i = 0; i < full.Capacity(); ++i) p[i] = L'x';
    SyncLength(full);
    EXPECT_EQ(full.Length(), full.Capacity());
    EXPECT_GE(WideBuffer(0).Capacity(), 1);
}

TEST(ApiTextSmallTest, FaceNameCutAndTerminated) {
    LOGFONTW font;
    memset(&font, 0x55, sizeof(font));
    CopyFaceName(font, Utf8("Arial"));
    EXPECT_EQ(std::wstring(font.lfFaceName), L"Arial");
    std::wstring longName(40, L'M');
    memset(&font, 0x55, sizeof(font));
    CopyFaceName(font, Utf16(longName));
    EXPECT_EQ(font.lfFaceName[31], 0);
    EXPECT_EQ(std::wstring(font.lfFaceName), std::wstring(31, L'M'));
    // Exactly 31 units fit whole; 32 are cut to 31.
    CopyFaceName(font, std::wstring(31, L'N').c_str());
    EXPECT_EQ(std::wstring(font.lfFaceName), std::wstring(31, L'N'));
    // A surrogate pair across the cut is dropped whole.
    std::wstring pair = std::wstring(30, L'A') + L"\U0001F600";
    CopyFaceName(font, Utf16(pair));
    EXPECT_EQ(std::wstring(font.lfFaceName), std::wstring(30, L'A'));
    CopyFaceName(font, Utf16(kJapanese).As(KindUtf8));
    EXPECT_EQ(std::wstring(font.lfFaceName), kJapanese);
}

// ---- measuring -----------------------------------------------------------------

class ApiTextExtentTest : public ::testing::Test {
protected:
    void SetUp() override {
        dc_ = CreateCompatibleDC(nullptr);
        ASSERT_NE(dc_, nullptr);
        // The programs' fonts use DEFAULT_CHARSET: the ANSI code page's set.
        font_ = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
        ASSERT_NE(font_, nullptr);
        old_ = SelectObject(dc_, font_);
    }
    void TearDown() override {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(font_);
    }
    std::vector<int> WideExtents(const std::wstring& s) {
        std::vector<int> e(s.size() + 1);
        SIZE size;
        EXPECT_TRUE(GetTextExtentExPointW(dc_, s.c_str(), int(s.size()), 0, nullptr, e.data(), &size));
        e.resize(s.size());
        return e;
    }
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
    HFONT font_ = nullptr;
};

TEST_F(ApiTextExtentTest, AccentedLetterGetsExtentPerByte) {
    RawString s = Utf8("a\xC3\xA9");
    std::vector<int> w = WideExtents(L"a\u00E9");
    int fit = -1, ext[4] = {-7, -7, -7, -7};
    SIZE size;
    ASSERT_TRUE(ApiTextExtent(dc_, s, 0, 3, 0x7FFFFFFF, &fit, ext, &size));
    EXPECT_EQ(fit, 3);
    EXPECT_EQ(ext[0], w[0]);
    EXPECT_EQ(ext[1], w[1]);
    EXPECT_EQ(ext[2], w[1]);
    EXPECT_EQ(ext[3], -7);
    EXPECT_EQ(size.cx, w[1]);
    // Room for the letter a only.
    ASSERT_TRUE(ApiTextExtentUtf8(dc_, s, 0, 3, w[0], &fit, ext, &size));
    EXPECT_EQ(fit, 1);
}

TEST_F(ApiTextExtentTest, CutAndMalformedRangesStayInsideExtents) {
    struct { const char* bytes; int32_t first, end; } cases[] = {
        {"a\xC3\xA9", 0, 2},                 // cut inside the accented letter
        {"\xE6\x97\xA5\xE6\x9C\xAC", 1, 5},  // starts and ends inside characters
        {"a\xFF\xC0\x80" "b", 0, 5},         // invalid leads
        {"\xF8\x88\x80\x80\x80z", 0, 6},     // a five-byte form
        {"\xFC\x84\x80\x80\x80\x80", 0, 6},  // a six-byte form
        {"\xF0\x9F\x98", 0, 3},              // four-byte lead, three bytes
        {"\xED\xA0\x80", 0, 3},              // an encoded surrogate
    };
    for (auto& c : cases) {
        RawString s = Utf8(c.bytes);
        int n = c.end - c.first;
        std::vector<int> ext(size_t(n) + 8, -7);
        int fit = -1;
        SIZE size;
        ASSERT_TRUE(ApiTextExtentUtf8(dc_, s, c.first, c.end, 0x7FFFFFFF, &fit, ext.data(), &size)) << c.bytes;
        EXPECT_EQ(fit, n) << c.bytes;
        for (int i = n; i < n + 8; ++i) EXPECT_EQ(ext[size_t(i)], -7) << c.bytes << " wrote past " << i;
        for (int i = 1; i < n; ++i) EXPECT_GE(ext[size_t(i)], ext[size_t(i - 1)]) << c.bytes;
        EXPECT_EQ(ext[size_t(n - 1)], size.cx) << c.bytes;
        // No room at all: nothing fits.
        ASSERT_TRUE(ApiTextExtentUtf8(dc_, s, c.first, c.end, 0, &fit, nullptr, &size));
        EXPECT_EQ(fit, 0) << c.bytes;
    }
}

TEST_F(ApiTextExtentTest, SurrogatePairFitsWholeOrNotAtAll) {
    // a, U+1F600 (four bytes, two UTF-16 units), b.
    RawString s = Utf8("a\xF0\x9F\x98\x80" "b");
    std::vector<int> w = WideExtents(L"a\U0001F600b");
    ASSERT_EQ(w.size(), 4u);
    int fit = -1, ext[6];
    SIZE size;
    ASSERT_TRUE(ApiTextExtentUtf8(dc_, s, 0, 6, 0x7FFFFFFF, &fit, ext, &size));
    EXPECT_EQ(fit, 6);
    EXPECT_EQ(ext[0], w[0]);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(ext[i], w[2]) << i;
    EXPECT_EQ(ext[5], w[3]);
    ASSERT_TRUE(ApiTextExtentUtf8(dc_, s, 0, 6, w[2], &fit, nullptr, &size));
    EXPECT_EQ(fit, 5);  // a and the pair, not b
    if (w[2] - 1 >= w[0]) {
        ASSERT_TRUE(ApiTextExtentUtf8(dc_, s, 0, 6, w[2] - 1, &fit, nullptr, &size));
        EXPECT_EQ(fit, 1);  // the pair does not fit: only a
    }
    if (w[1] < w[2] && w[1] > w[0]) {
        // Room for the high half alone still fits only a.
        ASSERT_TRUE(ApiTextExtentUtf8(dc_, s, 0, 6, w[1], &fit, nullptr, &size));
        EXPECT_EQ(fit, 1);
    }
}

TEST_F(ApiTextExtentTest, ShiftJisMeasuredPerByteUnderEitherCodePage) {
    RawString s = Utf16(L"\u65E5\u672Ca").As(KindSjis);
    ASSERT_EQ(s.Length(), 5);
    std::vector<int> w = WideExtents(L"\u65E5\u672Ca");
    int fit = -1, ext[6] = {-7, -7, -7, -7, -7, -7};
    SIZE size;
    ASSERT_TRUE(ApiTextExtent(dc_, s, 0, 5, 0x7FFFFFFF, &fit, ext, &size));
    EXPECT_EQ(fit, 5);
    EXPECT_EQ(ext[5], -7);
    if (Cp932() && GetTextCharset(dc_) != SHIFTJIS_CHARSET) {
        // The ANSI entry point reads the bytes by the font's character set:
        // without a Japanese font only the bounds can be checked.
        ASSERT_TRUE(ApiTextExtent(dc_, s, 0, 3, 0, &fit, ext, &size));
        EXPECT_LE(fit, 3);
        EXPECT_EQ(ext[5], -7);
        return;
    }
    EXPECT_EQ(size.cx, w[2]);
    EXPECT_EQ(ext[1], w[0]);
    EXPECT_EQ(ext[3], w[1]);
    EXPECT_EQ(ext[4], w[2]);
    EXPECT_EQ(ext[5], -7);
    ASSERT_TRUE(ApiTextExtent(dc_, s, 0, 5, w[1], &fit, nullptr, &size));
    EXPECT_EQ(fit, 4);
    // A lone lead byte at the end of the range.
    ASSERT_TRUE(ApiTextExtent(dc_, s, 0, 3, 0x7FFFFFFF, &fit, ext, &size));
    EXPECT_EQ(fit, 3);
    EXPECT_EQ(ext[5], -7);
}

// A range of a UTF-8 line measures as its own characters do, whatever the
// rest of the line holds: 7-bit pieces of a line with other characters
// elsewhere, and pieces with their own, over random lines and ranges, each
// byte's extent the one after its character in the wide measure.
TEST_F(ApiTextExtentTest, ARangeOfALineMeasuresAsItsOwnCharacters) {
    struct Piece {
        const char* bytes;
        const wchar_t* wide;
    };
    // One character each.
    static const Piece pieces[] = {{"w", L"w"}, {"o", L"o"}, {" ", L" "}, {"\\", L"\\"}, {"~", L"~"},
                                   {"\xC3\xA9", L"\u00E9"}, {"\xE6\x97\xA5", L"\u65E5"},
                                   {"\xF0\x9F\x98\x80", L"\U0001F600"}};
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::vector<const Piece*> line;
        const int n = 1 + static_cast<int>(random() % 30);
        for (int i = 0; i < n; ++i) line.push_back(&pieces[random() % (sizeof pieces / sizeof *pieces)]);
        std::string bytes;
        std::vector<size_t> starts;
        for (const Piece* p : line) {
            starts.push_back(bytes.size());
            bytes += p->bytes;
        }
        starts.push_back(bytes.size());
        const size_t a = random() % line.size(), b = a + 1 + random() % (line.size() - a);
        const RawString text = Utf8(bytes);
        const int32_t first = static_cast<int32_t>(starts[a]), end = static_cast<int32_t>(starts[b]);
        std::vector<int> ext(static_cast<size_t>(end - first), -1);
        SIZE size{};
        ASSERT_TRUE(ApiTextExtent(dc_, text, first, end, 0x7FFFFFFF, nullptr, ext.data(), &size)) << bytes;
        std::wstring wide;
        std::vector<size_t> wideEnds;
        for (size_t k = a; k < b; ++k) {
            wide += line[k]->wide;
            wideEnds.push_back(wide.size());
        }
        const std::vector<int> w = WideExtents(wide);
        for (size_t k = a; k < b; ++k)
            for (size_t byte = starts[k]; byte < starts[k + 1]; ++byte)
                ASSERT_EQ(ext[byte - static_cast<size_t>(first)], w[wideEnds[k - a] - 1]) << bytes << " byte " << byte;
        EXPECT_EQ(size.cx, w.back()) << bytes;
    }
}

TEST_F(ApiTextExtentTest, DispatchByKind) {
    int fit = -1, ext[4];
    SIZE size;
    EXPECT_FALSE(ApiTextExtent(dc_, RawString::FromBytes("\0a\0b", 4, KindUtf16BE), 0, 4, 100, &fit, ext, &size));
    EXPECT_EQ(fit, -1);
    std::vector<int> w = WideExtents(L"xyz");
    ASSERT_TRUE(ApiTextExtent(dc_, Utf16(L"wxyz"), 1, 99, 0x7FFFFFFF, &fit, ext, &size));
    EXPECT_EQ(fit, 3);
    EXPECT_EQ(ext[2], w[2]);
    ASSERT_TRUE(ApiTextExtent(dc_, Utf8("xyz"), 0, 3, 0x7FFFFFFF, &fit, ext, &size));
    EXPECT_EQ(fit, 3);
    EXPECT_EQ(size.cx, w[2]);
    ASSERT_TRUE(ApiTextExtent(dc_, RawString(), 0, 0, 100, &fit, ext, &size));
    EXPECT_EQ(fit, 0);
    EXPECT_EQ(size.cx, 0);
}

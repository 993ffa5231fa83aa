// File system services on real files under Wine.
// Path names are Japanese throughout and are passed in several encoding
// kinds, so this file runs under both ANSI code pages: RUN_UNDER_BOTH_CODE_PAGES
#include "base/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "base/api_text.h"
#include "base/profile.h"
#include "support/test_support.h"

using namespace RawLayer;
using TestSupport::ReadFileBytes;
using TestSupport::TempFolder;
using TestSupport::WriteFileBytes;

namespace {

// 表 is 0x95 0x5C in Shift_JIS: its trail byte looks like a backslash.
const std::wstring kFolderName = L"\u8868\u793a\u30d5\u30a9\u30eb\u30c0";  // 表示フォルダ
const std::wstring kFileName = L"\u8cc7\u6599\u8868.txt";                   // 資料表.txt

// The kinds paths are passed in: UTF-8, UTF-16 and Shift_JIS (which goes to
// the ANSI entry points only under code page 932).
const uint8_t kPathKinds[] = {KindUtf8, KindUtf16, KindSjis};

RawString Path(const std::wstring& wide, uint8_t kind = KindUtf16) {
    RawString w = RawString::FromWideText(wide.c_str());
    return kind == KindUtf16 ? w : w.As(kind);
}

std::wstring ToWide(const RawString& text) {
    RawString w = text.As(KindUtf16);
    return w.IsEmpty() ? std::wstring() : std::wstring(w.Wide(), w.Length());
}

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }
bool IsFolder(const std::wstring& path) {
    DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
bool Exists(const std::wstring& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

FILETIME WriteTimeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void SetWriteTime(const std::wstring& path, uint64_t value) {
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME t = {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &t));
    CloseHandle(h);
}

std::vector<uint8_t> Pattern(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<uint8_t>(seed >> 16);
    }
    return bytes;
}

// ---- ApiCreateDirectoryTree ------------------------------------------------------

TEST(CreateDirectoryTree, DeepTreeWithAndWithoutTrailingSeparators) {
    TempFolder temp;
    const wchar_t* endings[] = {L"", L"\\", L"/", L"\\\\"};
    int n = 0;
    std::vector<uint8_t> kinds(std::begin(kPathKinds), std::end(kPathKinds));
    if (GetACP() == 932) kinds.push_back(KindAnsi);  // holds Japanese only there
    for (uint8_t kind : kinds) {
        for (const wchar_t* ending : endings) {
            // The last name ends in 表, whose Shift_JIS trail byte is a backslash.
            std::wstring folder = temp.Join(kFolderName + std::to_wstring(n++)) +
                                  L"\\\u4e8c\\\u4e09\u8868\\\u56db\\\u4e94\u8868";
            SCOPED_TRACE(testing::Message() << "kind " << int(kind) << " ending " << n);
            EXPECT_TRUE(ApiCreateDirectoryTree(Path(folder + ending, kind)));
            EXPECT_TRUE(IsFolder(folder));
            // Existing already: still true.
            EXPECT_TRUE(ApiCreateDirectoryTree(Path(folder + ending, kind)));
        }
    }
}

TEST(CreateDirectoryTree, FilesAndRelativeNamesFail) {
    TempFolder temp;
    std::wstring file = temp.Join(kFileName);
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    EXPECT_FALSE(ApiCreateDirectoryTree(Path(file)));
    EXPECT_FALSE(ApiCreateDirectoryTree(Path(file + L"\\\u5b50\\")));
    EXPECT_FALSE(IsFolder(file));
    std::wstring relative = L"h5_\u540d\u524d_missing";
    EXPECT_FALSE(ApiCreateDirectoryTree(Path(relative, KindUtf8)));
    EXPECT_FALSE(Exists(relative));
    EXPECT_FALSE(ApiCreateDirectoryTree(RawString()));
}

// ---- DeleteFolderTree ------------------------------------------------------------

TEST(DeleteFolderTree, RefusesEmptyRelativeAndRootPaths) {
    TempFolder temp;
    // A relative name must not reach the current folder's entry of that name.
    std::wstring sub = temp.Join(L"sub");
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(sub + L"\\keep.txt", "k"));
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryW(temp.Path().c_str()));
    const wchar_t* refused[] = {L"",       L"C:\\",  L"C:/",     L"\\",        L"C:",
                                L"C:sub",  L"sub",   L"sub\\",   L".\\sub",    L"\\missing", L"C:\\..",
                                L"C:\\. ", L"\\\\srv\\share", L"C:\\*"};
    for (const wchar_t* path : refused) {
        for (uint8_t kind : kPathKinds) {
            SCOPED_TRACE(testing::Message() << "path " << TestSupport::Utf8(path));
            RawString failed;
            EXPECT_FALSE(DeleteFolderTree(Path(path, kind), &failed));
            EXPECT_TRUE(failed.Equals(Path(path, kind)));
        }
    }
    // A relative path that names nothing is gone already.
    for (const wchar_t* path : {L"missing", L"missing\\below", L".\\missing", L"C:missing"}) {
        for (uint8_t kind : kPathKinds) EXPECT_TRUE(DeleteFolderTree(Path(path, kind)));
    }
    SetCurrentDirectoryW(old);
    EXPECT_TRUE(Exists(sub + L"\\keep.txt"));
    // A path below the root that holds ".." would climb back up.
    EXPECT_FALSE(DeleteFolderTree(Path(sub + L"\\..")));
    EXPECT_TRUE(Exists(sub + L"\\keep.txt"));
}

TEST(DeleteFolderTree, DeletesWholeTreeAndMissingPathIsTrue) {
    for (uint8_t kind : kPathKinds) {
        SCOPED_TRACE(int(kind));
        TempFolder temp;
        std::wstring root = temp.Join(kFolderName);
        std::wstring deep = root + L"\\\u4e8c\\\u4e09\u8868";
        ASSERT_TRUE(ApiCreateDirectoryTree(Path(deep)));
        ASSERT_TRUE(WriteFileBytes(root + L"\\" + kFileName, "a"));
        ASSERT_TRUE(WriteFileBytes(deep + L"\\" + kFileName, "b"));
        ASSERT_TRUE(WriteFileBytes(deep + L"\\hidden.txt", "c"));
        SetFileAttributesW((deep + L"\\hidden.txt").c_str(),
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        RawString failed;
        EXPECT_TRUE(DeleteFolderTree(Path(root + L"\\", kind), &failed));
        EXPECT_FALSE(Exists(root));
        EXPECT_TRUE(IsFolder(temp.Path()));
        EXPECT_TRUE(DeleteFolderTree(Path(root, kind)));  // gone already
        // A folder right below a drive root.
        std::wstring top = temp.Path().substr(0, 3) + L"h5_" + std::to_wstring(GetCurrentProcessId()) +
                           kFolderName;
        ASSERT_TRUE(ApiCreateDirectoryTree(Path(top + L"\\\u4e8c", kind)));
        ASSERT_TRUE(WriteFileBytes(top + L"\\\u4e8c\\" + kFileName, "d"));
        // With the current folder elsewhere on that drive, "C:" is not its root.
        wchar_t old[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, old);
        SetCurrentDirectoryW(temp.Path().c_str());
        EXPECT_TRUE(DeleteFolderTree(Path(top, kind), &failed)) << TestSupport::Utf8(ToWide(failed));
        SetCurrentDirectoryW(old);
        EXPECT_FALSE(Exists(top));
        // A file is not a folder tree.
        ASSERT_TRUE(WriteFileBytes(temp.Join(kFileName), "f"));
        EXPECT_FALSE(DeleteFolderTree(Path(temp.Join(kFileName), kind)));
        EXPECT_TRUE(Exists(temp.Join(kFileName)));
    }
}

TEST(DeleteFolderTree, ShortNameOfTheFolderItself) {
    TempFolder temp;
    std::wstring root = temp.Join(L"a folder with a long name");
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(root + L"\\inside.txt", "x"));
    wchar_t shortPath[MAX_PATH] = {};
    DWORD n = GetShortPathNameW(root.c_str(), shortPath, MAX_PATH);
    std::wstring shortName = shortPath;
    if (n == 0 || n >= MAX_PATH || shortName.substr(shortName.rfind(L'\\')) == L"\\a folder with a long name")
        GTEST_SKIP() << "this system gives no short names";
    RawString failed;
    EXPECT_TRUE(DeleteFolderTree(Path(shortName), &failed)) << TestSupport::Utf8(ToWide(failed));
    EXPECT_FALSE(Exists(root));
}

TEST(DeleteFolderTree, ReadOnlyFileIsLeftWithItsParentsAndReported) {
    for (uint8_t kind : kPathKinds) {
        SCOPED_TRACE(int(kind));
        TempFolder temp;
        std::wstring root = temp.Join(kFolderName);
        std::wstring keep = root + L"\\\u4fdd\u8b77";  // 保護
        std::wstring other = root + L"\\\u4ed6";       // 他
        ASSERT_TRUE(ApiCreateDirectoryTree(Path(keep)));
        ASSERT_TRUE(ApiCreateDirectoryTree(Path(other)));
        std::wstring locked = keep + L"\\" + kFileName;
        ASSERT_TRUE(WriteFileBytes(locked, "locked"));
        ASSERT_TRUE(WriteFileBytes(keep + L"\\z.txt", "z"));
        ASSERT_TRUE(WriteFileBytes(other + L"\\y.txt", "y"));
        ASSERT_TRUE(WriteFileBytes(root + L"\\x.txt", "x"));
        ASSERT_TRUE(SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));

        RawString failed;
        EXPECT_FALSE(DeleteFolderTree(Path(root, kind), &failed));
        EXPECT_EQ(ToWide(failed), locked);
        EXPECT_EQ(failed.Kind(), kind);
        EXPECT_EQ(ReadFileBytes(locked), TestSupport::Bytes("locked"));
        // Everything else went, as far as it could.
        EXPECT_EQ(TestSupport::FolderNames(root), std::set<std::wstring>{L"\u4fdd\u8b77"});
        EXPECT_EQ(TestSupport::FolderNames(keep), std::set<std::wstring>{kFileName});
        SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(DeleteFolderTree(Path(root, kind)));
        EXPECT_FALSE(Exists(root));
    }
}

TEST(DeleteFolderTree, FileHeldOpenWithoutShareDeleteIsReported) {
    TempFolder temp;
    std::wstring root = temp.Join(kFolderName);
    ASSERT_TRUE(ApiCreateDirectoryTree(Path(root + L"\\a")));
    std::wstring held = root + L"\\a\\" + kFileName;
    ASSERT_TRUE(WriteFileBytes(held, "held"));
    ASSERT_TRUE(WriteFileBytes(root + L"\\b.txt", "b"));
    HANDLE h = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    RawString failed;
    EXPECT_FALSE(DeleteFolderTree(Path(root, KindUtf8), &failed));
    EXPECT_EQ(ToWide(failed), held);
    EXPECT_TRUE(Exists(held));
    EXPECT_FALSE(Exists(root + L"\\b.txt"));
    CloseHandle(h);
    EXPECT_TRUE(DeleteFolderTree(Path(root, KindUtf8)));
    EXPECT_FALSE(Exists(root));
}

TEST(DeleteFolderTree, FolderLinkIsRemovedNotEntered) {
    TempFolder temp;
    std::wstring target = temp.Join(L"target");
    std::wstring root = temp.Join(kFolderName);
    ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(target + L"\\keep.txt", "keep"));
    std::wstring link = root + L"\\link";
    CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2);
    DWORD a = Attributes(link);
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "this system makes no folder links";
    EXPECT_TRUE(DeleteFolderTree(Path(root)));
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(Exists(target + L"\\keep.txt"));
}

// ---- CopyFileKeepTimes and CopyFileAttributes ------------------------------------

TEST(FileCopy, CopiesBytesAndWriteTimeAtBufferEdges) {
    const size_t sizes[] = {0, 16384, 16385, 100000};
    TempFolder temp;
    RawFileCopier copier;
    int n = 0;
    for (size_t size : sizes) {
        for (uint8_t kind : kPathKinds) {
            SCOPED_TRACE(testing::Message() << "size " << size << " kind " << int(kind));
            std::wstring source = temp.Join(std::to_wstring(n) + kFileName);
            std::wstring target = temp.Join(kFolderName + std::to_wstring(n++) + L".bin");
            std::vector<uint8_t> bytes = Pattern(size, static_cast<uint32_t>(n));
            ASSERT_TRUE(WriteFileBytes(source, bytes));
            SetWriteTime(source, 0x01C0123456789ABCull + n);
            // An older, longer target is replaced whole.
            ASSERT_TRUE(WriteFileBytes(target, Pattern(size + 777, 99)));
            ASSERT_TRUE(CopyFileKeepTimes(copier, Path(target, kind), Path(source, kind)));
            EXPECT_EQ(ReadFileBytes(target), bytes);
            FILETIME s = WriteTimeOf(source), t = WriteTimeOf(target);
            EXPECT_EQ(CompareFileTime(&s, &t), 0);
            EXPECT_EQ(CompareFileTime(&s, &copier.writeTime), 0);
            EXPECT_EQ(copier.fileSize, size);
            EXPECT_EQ(copier.copied, size);
        }
    }
    EXPECT_EQ(copier.status, CopyStatusNone);
    EXPECT_EQ(TestSupport::FolderNames(temp.Path()).size(), static_cast<size_t>(2 * n));  // no temporary left
}

TEST(FileCopy, OntoItselfUnderOtherNamesFailsAndKeepsSource) {
    TempFolder temp;
    std::wstring source = temp.Join(L"Daten" + kFileName);
    std::vector<uint8_t> bytes = Pattern(20000, 7);
    ASSERT_TRUE(WriteFileBytes(source, bytes));
    SetWriteTime(source, 0x01C0000000000000ull);
    wchar_t shortName[MAX_PATH] = {};
    GetShortPathNameW(source.c_str(), shortName, MAX_PATH);
    std::vector<std::wstring> others = {source, temp.Join(L"DATEN" + kFileName),
                                        temp.Join(L"daten\u8cc7\u6599\u8868.TXT")};
    if (shortName[0] && source != shortName) others.push_back(shortName);
    for (const std::wstring& other : others) {
        for (uint8_t kind : kPathKinds) {
            SCOPED_TRACE(TestSupport::Utf8(other));
            RawFileCopier copier;
            EXPECT_FALSE(CopyFileKeepTimes(copier, Path(other, kind), Path(source, kind)));
            EXPECT_EQ(copier.status, CopyStatusTarget);
            EXPECT_TRUE(copier.failedPath.Equals(Path(other, kind)));
            EXPECT_EQ(ReadFileBytes(source), bytes);
            FILETIME t = WriteTimeOf(source);
            EXPECT_EQ((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime, 0x01C0000000000000ull);
        }
    }
    EXPECT_EQ(TestSupport::FolderNames(temp.Path()).size(), 1u);
}

TEST(FileCopy, FailuresReportStatusAndPath) {
    TempFolder temp;
    std::wstring source = temp.Join(kFileName);
    ASSERT_TRUE(WriteFileBytes(source, "data"));
    RawFileCopier copier;
    RawString missing = Path(temp.Join(L"\u7121.txt"), KindUtf8);
    EXPECT_FALSE(CopyFileKeepTimes(copier, Path(temp.Join(L"t.txt")), missing));
    EXPECT_EQ(copier.status, CopyStatusSource);
    EXPECT_TRUE(copier.failedPath.Equals(missing));
    RawString noFolder = Path(temp.Join(L"\u7121\\t.txt"));
    EXPECT_FALSE(CopyFileKeepTimes(copier, noFolder, Path(source)));
    EXPECT_EQ(copier.status, CopyStatusTarget);
    EXPECT_TRUE(copier.failedPath.Equals(noFolder));
    // A read-only target stays as it was.
    std::wstring readOnly = temp.Join(L"ro.txt");
    ASSERT_TRUE(WriteFileBytes(readOnly, "old"));
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    copier.status = CopyStatusNone;
    EXPECT_FALSE(CopyFileKeepTimes(copier, Path(readOnly), Path(source)));
    EXPECT_EQ(copier.status, CopyStatusTarget);
    EXPECT_EQ(ReadFileBytes(readOnly), TestSupport::Bytes("old"));
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(TestSupport::FolderNames(temp.Path()).size(), 2u);
}

TEST(FileCopy, ReplacedTargetKeepsItsAttributesAndFailuresLeaveNoTemporaryFile) {
    TempFolder temp;
    std::wstring source = temp.Join(kFileName), target = temp.Join(L"t.txt");
    ASSERT_TRUE(WriteFileBytes(source, "new"));
    ASSERT_TRUE(WriteFileBytes(target, "old"));
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesW(target.c_str(), kept));
    RawFileCopier copier;
    ASSERT_TRUE(CopyFileKeepTimes(copier, Path(target), Path(source)));
    EXPECT_EQ(ReadFileBytes(target), TestSupport::Bytes("new"));
    EXPECT_EQ(Attributes(target) & (kept | FILE_ATTRIBUTE_READONLY), kept);
    // A target held open by another program cannot be replaced.
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(CopyFileKeepTimes(copier, Path(target), Path(source)));
    CloseHandle(held);
    EXPECT_EQ(copier.status, CopyStatusTarget);
    EXPECT_EQ(TestSupport::FolderNames(temp.Path()), (std::set<std::wstring>{kFileName, L"t.txt"}));
}

TEST(FileCopy, AttributesCarryOnlyReadOnlyHiddenAndSystem) {
    TempFolder temp;
    std::wstring source = temp.Join(kFileName), target = temp.Join(L"t.txt");
    ASSERT_TRUE(WriteFileBytes(source, "s"));
    ASSERT_TRUE(WriteFileBytes(target, "t"));
    RawFileCopier copier;
    const DWORD cases[] = {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                           FILE_ATTRIBUTE_NORMAL};
    for (DWORD bits : cases) {
        ASSERT_TRUE(SetFileAttributesW(source.c_str(), bits));
        EXPECT_TRUE(CopyFileAttributes(copier, Path(target, KindSjis), Path(source, KindSjis)));
        DWORD want = bits & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        EXPECT_EQ(Attributes(target) & 7, want);
    }
    RawString missing = Path(temp.Join(L"\u7121"));
    EXPECT_FALSE(CopyFileAttributes(copier, Path(target), missing));
    EXPECT_EQ(copier.status, CopyStatusSource);
    EXPECT_TRUE(copier.failedPath.Equals(missing));
}

// ---- RawFileFind -----------------------------------------------------------------

TEST(FileFind, FilterMasks) {
    TempFolder temp;
    const std::wstring plain = L"plain.txt", japanese = kFileName, folder = kFolderName,
                       link = L"\u30ea\u30f3\u30af.lnk", upper = L"UPPER.LNK", hidden = L"h.txt",
                       readOnly = L"r.txt", system = L"s.txt";
    for (const std::wstring& f : {plain, japanese, link, upper, hidden, readOnly, system})
        ASSERT_TRUE(WriteFileBytes(temp.Join(f), "x"));
    ASSERT_TRUE(CreateDirectoryW(temp.Join(folder).c_str(), nullptr));
    SetFileAttributesW(temp.Join(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(temp.Join(readOnly).c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(temp.Join(system).c_str(), FILE_ATTRIBUTE_SYSTEM);
    using Set = std::set<std::wstring>;
    const Set all = {plain, japanese, folder, link, upper, hidden, readOnly, system};
    struct Case {
        uint32_t mask;
        Set want;
    } cases[] = {
        {0x10, all},
        {0x11, {plain, japanese, link, upper, hidden, readOnly, system}},  // files only
        {0x12, {folder, link, upper}},                                     // folders, shortcuts
        {0x13, {link, upper}},
        {0x16, {folder}},                                                  // folders only
        {0x14, {plain, japanese, folder, hidden, readOnly, system}},
        {0x50, {plain, japanese, folder, link, upper, readOnly, system}},  // no hidden
        {0x30, {plain, japanese, folder, link, upper, hidden, readOnly}},  // no system
        {0x90, {plain, japanese, folder, link, upper, hidden, system}},    // no read-only
        {0x00, {L".", L"..", plain, japanese, folder, link, upper, hidden, readOnly, system}},
    };
    for (uint8_t kind : {KindAnsi, KindSjis, KindUtf8, KindUtf16}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "kind " << int(kind) << " mask " << c.mask);
            RawFileFind find(Path(temp.Path(), kind));
            Set got;
            while (find.Next(c.mask)) {
                std::wstring name = ToWide(find.Name());
                got.insert(name);
                EXPECT_EQ(ToWide(find.FullPath()), temp.Join(name));
                EXPECT_NE(ApiGetFileAttributes(find.FullPath()), INVALID_FILE_ATTRIBUTES);
                EXPECT_EQ(find.IsFolder(), name == folder || name == L"." || name == L"..");
            }
            EXPECT_EQ(got, c.want);
            EXPECT_TRUE(find.IsDone());
            EXPECT_FALSE(find.Next(0));
        }
    }
    for (const std::wstring& f : {readOnly, hidden, system})
        SetFileAttributesW(temp.Join(f).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileFind, FolderSeparatorsPatternsAndNameKinds) {
    TempFolder temp;
    ASSERT_TRUE(WriteFileBytes(temp.Join(kFileName), "x"));
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"other.dat"), "y"));
    for (const wchar_t* ending : {L"\\", L"/", L""}) {
        RawFileFind find(Path(temp.Path() + ending, KindUtf8));
        EXPECT_EQ(ToWide(find.Folder()), temp.Path());
        EXPECT_EQ(ToWide(find.Pattern()), temp.Path() + L"\\*.*");
        ASSERT_TRUE(find.Next(FindSkipDots | FindSkipFolders));
        EXPECT_EQ(find.Name().Kind(), KindUtf8);
    }
    RawFileFind root(Path(L"C:\\", KindUtf8));
    EXPECT_EQ(ToWide(root.Pattern()), L"C:\\*.*");
    EXPECT_TRUE(root.Next(FindSkipDots));
    // A full pattern: the folder is its folder part.
    RawFileFind find(Path(temp.Path() + L"\\*.txt", KindSjis), true);
    EXPECT_EQ(ToWide(find.Folder()), temp.Path());
    ASSERT_TRUE(find.Next(FindSkipDots));
    EXPECT_EQ(ToWide(find.Name()), kFileName);
    EXPECT_EQ(ToWide(find.FullPath()), temp.Join(kFileName));
    EXPECT_FALSE(find.Next(FindSkipDots));
    // A folder in the ANSI kind: a name that the code page cannot hold comes
    // whole in UTF-16 rather than as question marks.
    RawFileFind ansi(Path(temp.Path(), KindAnsi), false);
    bool seen = false;
    while (ansi.Next(FindSkipDots)) {
        if (ToWide(ansi.Name()) != kFileName) continue;
        seen = true;
        EXPECT_EQ(ansi.Name().Kind(), GetACP() == 932 ? KindAnsi : KindUtf16);
        EXPECT_TRUE(Exists(ToWide(ansi.FullPath())));
    }
    EXPECT_TRUE(seen);
}

// ---- sizes past 4 GB and the file handle ----------------------------------------

TEST(FileHandle, SizesPastFourGigabytesAndBlockTransfers) {
    TempFolder temp;
    std::wstring big = temp.Join(kFileName);
    const uint64_t size = 5ull << 30;  // sparse where the volume allows
    {
        RawFileHandle h;
        ASSERT_TRUE(h.OpenWrite(Path(big, KindUtf8)));
        EXPECT_EQ(h.Access(), static_cast<DWORD>(GENERIC_WRITE));
        ASSERT_TRUE(h.Write("head", 4));
        EXPECT_EQ(h.Transferred(), 4u);
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(size);
        ASSERT_TRUE(SetFilePointerEx(h.Handle(), at, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(h.Handle()));
    }
    RawFileHandle h;
    ASSERT_TRUE(h.OpenRead(Path(big, KindSjis)));
    EXPECT_EQ(h.Access(), static_cast<DWORD>(GENERIC_READ));
    uint64_t got = 0;
    EXPECT_TRUE(h.Size(got));
    EXPECT_EQ(got, size);
    char buffer[8] = {};
    ASSERT_TRUE(h.Read(buffer, 8));
    EXPECT_EQ(h.Transferred(), 8u);
    EXPECT_EQ(std::string(buffer, 4), "head");
    RawFileFind find(Path(temp.Path()));
    ASSERT_TRUE(find.Next(FindSkipDots));
    EXPECT_EQ(find.Size(), size);
    // Opening another path closes the first handle.
    EXPECT_FALSE(h.OpenRead(Path(temp.Join(L"\u7121"))));
    EXPECT_FALSE(h.IsOpen());
    h.Close();
    EXPECT_TRUE(DeleteFileW(big.c_str()));
}


// A file made under a name the system takes for a device, as a file
// copied from another system has it, with the attributes.
bool WriteUnderDeviceName(const std::wstring& path, const std::string& bytes, DWORD attributes) {
    return TestSupport::WriteFileRawPath(path, bytes) && SetFileAttributesW((L"\\\\?\\" + path).c_str(), attributes);
}

// Every spelling of a device's name, in a folder whose name ends in a
// Shift_JIS trail byte like a backslash, relative or in the device
// namespace, in every kind a path comes in: nothing opens, creates, copies,
// moves or deletes it, and no file is found under it. A real file of such a
// name (there are folders from other systems) keeps its bytes, and its
// attributes are those its folder lists, not the device's. Names that only
// look alike stay files.
TEST(FileSystemTest, PathsThatNameDevicesAreNeverOpenedAndTheirNamesOnDiskKeepTheirFiles) {
    TempFolder temp;
    // Relative names are taken in the temporary folder.
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryW(temp.Path().c_str()));
    struct Back {
        const wchar_t* folder;
        ~Back() { SetCurrentDirectoryW(folder); }
    } back{before};
    const std::wstring folder = temp.Join(kFolderName);
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteUnderDeviceName(folder + L"\\com1.txt", "made elsewhere", FILE_ATTRIBUTE_HIDDEN));
    const std::wstring source = folder + L"\\" + kFileName;
    ASSERT_TRUE(WriteFileBytes(source, std::string("source")));

    const wchar_t* const names[] = {L"CON", L"prn", L"Aux", L"nUl", L"COM1", L"com9", L"LpT1", L"LPT7",
                                    L"COM\u00b9", L"lpt\u00b3", L"CONIN$", L"conout$"};
    const wchar_t* const tails[] = {L"", L".txt", L".tar.gz", L"  .md", L".", L" ", L":", L".txt:stream"};
    std::vector<std::wstring> paths;
    uint32_t seed = 7;
    for (const wchar_t* name : names) {
        for (const wchar_t* tail : tails) {
            std::wstring mixed = name;
            for (wchar_t& c : mixed) {
                seed = seed * 1103515245u + 12345u;
                const bool letter = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
                if (letter && ((seed >> 16) & 1)) c = static_cast<wchar_t>(c ^ 0x20);
            }
            paths.push_back(folder + L"\\" + mixed + tail);
            paths.push_back(mixed + tail);
        }
    }
    for (const wchar_t* p : {L"\\\\.\\COM1", L"\\\\.\\NUL", L"//./pipe/tavrel", L"\\\\?\\GLOBALROOT\\Device\\Null",
                             L"\\??\\COM1", L"\\\\?\\Volume{00000000-0000-0000-0000-000000000000}\\"})
        paths.push_back(p);

    const std::wstring moved = temp.Join(L"moved.txt"), copied = temp.Join(L"copied.txt");
    int tried = 0;
    for (const std::wstring& wide : paths) {
        for (uint8_t kind : kPathKinds) {
            bool ok = true;
            const RawString path = RawString::FromWideText(wide.c_str()).As(kind, &ok);
            // A kind that cannot hold the name (a superscript in Shift_JIS).
            if (!ok || !path.As(KindUtf16).Equals(RawString::FromWideText(wide.c_str()))) continue;
            ++tried;
            SCOPED_TRACE(TestSupport::Utf8(wide) + " kind " + std::to_string(kind));
            RawFileHandle h;
            EXPECT_FALSE(h.OpenRead(path));
            EXPECT_FALSE(h.OpenWrite(path));
            EXPECT_FALSE(h.Open(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
            EXPECT_FALSE(FileExists(path));
            EXPECT_FALSE(ApiMoveFileEx(path, Path(moved), MOVEFILE_COPY_ALLOWED));
            EXPECT_FALSE(ApiMoveFileEx(Path(source), path, MOVEFILE_COPY_ALLOWED));
            EXPECT_FALSE(ApiDeleteFile(path));
            RawFileCopier copier;
            EXPECT_FALSE(CopyFileKeepTimes(copier, Path(copied), path));
            EXPECT_EQ(copier.status, static_cast<uint32_t>(CopyStatusSource));
            RawFileCopier onto;
            EXPECT_FALSE(CopyFileKeepTimes(onto, path, Path(source)));
            EXPECT_EQ(onto.status, static_cast<uint32_t>(CopyStatusTarget));
        }
    }
    EXPECT_GT(tried, 400);
    EXPECT_FALSE(Exists(moved));
    EXPECT_FALSE(Exists(copied));
    EXPECT_EQ(TestSupport::FileText(source), "source");
    // The file under the device's name is as it was made, and is seen as
    // its folder lists it; a device name with no file has none.
    EXPECT_EQ(TestSupport::FolderNames(folder), (std::set<std::wstring>{L"com1.txt", kFileName}));
    EXPECT_EQ(TestSupport::FileText(L"\\\\?\\" + folder + L"\\com1.txt"), "made elsewhere");
    for (uint8_t kind : kPathKinds) {
        const DWORD a = ApiGetFileAttributes(Path(folder + L"\\COM1.TXT", kind));
        EXPECT_TRUE(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_HIDDEN)) << std::hex << a;
        EXPECT_EQ(ApiGetFileAttributes(Path(folder + L"\\com2.txt", kind)), INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(PathExists(Path(folder + L"\\com1.txt", kind)));
        EXPECT_FALSE(FolderExists(Path(folder + L"\\com1.txt", kind)));
    }
    // Names that only look like a device's are files like any other.
    for (const wchar_t* name : {L"COM0.txt", L"com10.txt", L"CONX.txt", L"xCOM1.txt", L"COM1x.txt", L"a con.txt",
                                L"nul_.md", L"LPT.txt"}) {
        const std::wstring path = folder + L"\\" + name;
        ASSERT_TRUE(WriteFileBytes(path, std::string(TestSupport::Utf8(name))));
        for (uint8_t kind : kPathKinds) {
            RawFileHandle h;
            EXPECT_TRUE(h.OpenRead(Path(path, kind))) << TestSupport::Utf8(name);
            EXPECT_TRUE(FileExists(Path(path, kind))) << TestSupport::Utf8(name);
        }
    }
    // The long form of a plain path is a plain path.
    RawFileHandle h;
    EXPECT_TRUE(h.OpenRead(Path(L"\\\\?\\" + source)));
    h.Close();
    EXPECT_TRUE(DeleteFileW((L"\\\\?\\" + folder + L"\\com1.txt").c_str()));
}

}  // namespace

// File system services: folders, folder trees, one-file copies, file handles
// and folder enumeration.
#include "base/file_system.h"

#include <atomic>
#include <string>
#include <vector>

#include "base/api_text.h"
#include "base/profile.h"

namespace RawLayer {

namespace {

// Attempts at a free temporary name beside a copy's target.
const int kTempNameAttempts = 64;

const char* AnsiText(const RawString& text) { return text.IsEmpty() ? "" : text.Bytes(); }

const wchar_t* WideText(const RawString& text) { return text.IsEmpty() ? L"" : text.Wide(); }

// A UTF-16 form (kind 7) of a string: a share when it is one already. False
// when non-empty text could not be converted.
bool ToWide(const RawString& text, RawString& wide) {
    if (text.Kind() == KindUtf16) {
        wide = text;
        return true;
    }
    if (text.IsEmpty()) {
        wide = RawString(KindUtf16);
        return true;
    }
    bool ok = true;
    wide = text.As(KindUtf16, &ok);
    if (!ok) SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return ok;
}

// Calls the ANSI or the wide form of a one-path platform function by the
// path's API kind and length (a path too long for the ANSI entry point goes
// to the wide one in its unlimited form); `failed` when the path cannot be
// converted.
template <class R, class AnsiCall, class WideCall>
R CallWithPath(const RawString& path, R failed, AnsiCall ansi, WideCall wide) {
    if (PathTakesAnsi(path)) return ansi(AnsiText(path));
    RawString w;
    if (!WidePathForApi(path, w)) return failed;
    return wide(WideText(w));
}

RAW_CONSTANT_TEXT(AllEntriesPattern, "*.*")

// The position after the last path separator (0 without one). Whole
// characters only: a trail byte equal to '\' is not a separator.
int32_t NameStart(const RawString& path) { return PathNameRange(path).start; }

// Whether the text ends in a path separator.
bool EndsWithSeparator(const RawString& path) {
    int32_t length = path.Length();
    return length > 0 && NameStart(path) == length;
}

// The folder part of a path: the text before its last separator, without
// trailing separators. Empty when the path holds no separator.
RawString FolderPart(const RawString& path) {
    int32_t start = NameStart(path);
    if (start == 0) return RawString(path.Kind());
    RawString folder = RawString::InitBodyFromRange(path.Kind(), path, RawRange{0, start - 1});
    return PathWithoutTrailingSeparators(folder);
}

// A string in the kind the names of a search are kept in: its own kind when
// that is ASCII-compatible, else UTF-16 (UTF-7 and the byte forms of UTF-16
// have no separators of their own).
RawString InWorkingKind(const RawString& text) {
    if (IsAsciiCompatibleKind(text.Kind())) return text;
    RawString wide;
    if (!ToWide(text, wide)) return RawString(KindUtf16);
    return wide;
}

bool IsAsciiOnly(const wchar_t* text) {
    for (; *text; ++text) {
        if (*text >= 0x80) return false;
    }
    return true;
}

// UTF-16 text in another kind, only when that kind holds it without loss
// (a code page that lacks a character would put a '?' in its place).
bool ConvertLossless(const RawString& wide, uint8_t kind, RawString& out) {
    if (kind == KindUtf16) {
        out = wide;
        return true;
    }
    bool ok = true;
    RawString converted = wide.As(kind, &ok);
    if (!ok) return false;
    if (!IsAsciiOnly(WideText(wide))) {
        bool back = true;
        RawString again = converted.As(KindUtf16, &back);
        if (!back || !again.Equals(wide)) return false;
    }
    out = converted;
    return true;
}

// A UTF-16 path as the failure report of a tree walk wants it: in the
// caller's kind when that holds it, else in UTF-16.
RawString InKindOf(const RawString& widePath, const RawString& like) {
    RawString out;
    return ConvertLossless(widePath, like.Kind(), out) ? out : widePath;
}

// ---- folder tree deletion ---------------------------------------------------------

struct DeleteWalk {
    RawString firstFailure;  // kind 7
    DWORD error = ERROR_SUCCESS;  // the platform's reason for that failure
    bool failed = false;

    void Fail(const RawString& path) {
        if (!failed) {
            error = GetLastError();
            firstFailure = path;
            SetLastError(error);
        }
        failed = true;
    }
};

// A path relative to the current folder ("name", ".\\name") or to a drive's
// ("X:name"); not one that starts at a root.
bool IsRelativePath(const RawString& path) {
    if (path.IsEmpty() || IsPathSeparator(path.UnitAt(0))) return false;
    if (path.Length() >= 2 && path.UnitAt(1) == ':')
        return path.Length() > 2 && !IsPathSeparator(path.UnitAt(2));
    return true;
}

bool PathIsGone(const RawString& path) {
    DWORD attributes = ApiGetFileAttributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) return false;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The path the system resolves an open handle to ("\\?\C:\..."); empty
// when it cannot tell.
RawString FinalPathOf(HANDLE handle) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD n = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0 || n > 32768) return RawString(KindUtf16);
        if (n < buffer.size()) return RawString::FromWideText(buffer.data(), static_cast<int32_t>(n));
        buffer.resize(n + 1);
    }
    return RawString(KindUtf16);
}

bool SameNameNoCase(const RawString& a, const RawString& b) {
    return CompareStringOrdinal(WideText(a), a.Length(), WideText(b), b.Length(), TRUE) ==
           CSTR_EQUAL;
}

// Opens an entry itself for deletion (a link is not followed where the
// system allows that), without sharing: an entry someone else holds open
// refuses.
HANDLE OpenEntryForDelete(const RawString& widePath) {
    return ApiCreateFile(widePath, DELETE | FILE_READ_ATTRIBUTES, 0, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS);
}

// Whether an open handle is the entry `name` of the folder whose resolved
// path is `parentFinal`, not something a link leads to. Some systems follow
// links whatever the open asks for, and a link they do not even mark as one
// would then have its target deleted. Unknown (true) when the system cannot
// resolve paths.
bool IsEntryItself(HANDLE handle, const RawString& parentFinal, const RawString& name) {
    if (parentFinal.IsEmpty()) return true;
    RawString final = FinalPathOf(handle);
    if (final.IsEmpty()) return true;
    return SameNameNoCase(final, PathJoin(parentFinal, name));
}

// One entry of the walk, in UTF-16: its full path, its name, its parent's
// resolved path and its attributes as the listing gave them.
struct TreeEntry {
    RawString path;
    RawString name;
    RawString parentFinal;
    DWORD attributes;
};

bool DeleteTreeEntry(const TreeEntry& entry, int depth, DeleteWalk& walk);

// Deletes one file (or a file link, itself). A read-only file is left, as
// the system's own deletion leaves it.
bool DeleteOneFile(const TreeEntry& entry) {
    if (entry.attributes != INVALID_FILE_ATTRIBUTES &&
        (entry.attributes & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    HANDLE handle = OpenEntryForDelete(entry.path);
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (!IsEntryItself(handle, entry.parentFinal, entry.name)) {
        CloseHandle(handle);
        SetLastError(ERROR_CANT_RESOLVE_FILENAME);
        return false;
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    bool marked = SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                             sizeof disposition) != FALSE;
    DWORD error = GetLastError();
    CloseHandle(handle);
    if (!marked) {
        SetLastError(error);
        return false;
    }
    if (PathIsGone(entry.path)) return true;
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

// Removes a junction or folder link itself, never its target.
bool RemoveFolderLink(const TreeEntry& entry) {
    HANDLE handle = OpenEntryForDelete(entry.path);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool itself = IsEntryItself(handle, entry.parentFinal, entry.name);
    CloseHandle(handle);
    if (!itself) {
        // The system resolves the link even when asked not to: removing it
        // would remove its target instead.
        SetLastError(ERROR_CANT_RESOLVE_FILENAME);
        return false;
    }
    if (ApiRemoveDirectory(entry.path)) return true;
    DWORD error = GetLastError();
    if (PathIsGone(entry.path)) return true;
    SetLastError(error);
    return false;
}

// Deletes the contents of a real folder, then the folder. Goes on after a
// failure so that as much as possible is deleted; a folder that still holds
// an entry stays.
bool DeleteFolderContents(const TreeEntry& entry, int depth, DeleteWalk& walk) {
    RawString final;
    {
        HANDLE handle = ApiCreateFile(entry.path, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS);
        if (handle == INVALID_HANDLE_VALUE) {
            walk.Fail(entry.path);
            return false;
        }
        bool itself = IsEntryItself(handle, entry.parentFinal, entry.name);
        final = FinalPathOf(handle);
        CloseHandle(handle);
        if (!itself) {
            // A link the listing did not mark: never entered.
            SetLastError(ERROR_CANT_RESOLVE_FILENAME);
            walk.Fail(entry.path);
            return false;
        }
    }
    bool ok = true;
    {
        RawFileFind find(entry.path);
        while (find.Next(FindSkipDots)) {
            TreeEntry child{find.FullPath(), find.Name(), final, find.Attributes()};
            if (!DeleteTreeEntry(child, depth + 1, walk)) ok = false;
        }
    }
    if (!ok) return false;
    if (ApiRemoveDirectory(entry.path) || PathIsGone(entry.path)) return true;
    walk.Fail(entry.path);
    return false;
}

bool DeleteTreeEntry(const TreeEntry& entry, int depth, DeleteWalk& walk) {
    bool known = entry.attributes != INVALID_FILE_ATTRIBUTES;
    bool folder = known && (entry.attributes & FILE_ATTRIBUTE_DIRECTORY);
    bool link = known && (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (folder && link) {
        if (RemoveFolderLink(entry)) return true;
        walk.Fail(entry.path);
        return false;
    }
    if (folder) {
        if (depth >= MaxTreeDepth) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            walk.Fail(entry.path);
            return false;
        }
        return DeleteFolderContents(entry, depth, walk);
    }
    if (DeleteOneFile(entry)) return true;
    walk.Fail(entry.path);
    return false;
}

// The resolved path of a folder, for checking the entries inside it; empty
// when it cannot be had.
RawString FinalPathOfFolder(const RawString& widePath) {
    if (widePath.IsEmpty()) return RawString(KindUtf16);
    HANDLE handle = ApiCreateFile(widePath, FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) return RawString(KindUtf16);
    RawString final = FinalPathOf(handle);
    CloseHandle(handle);
    return final;
}

// ---- copies -------------------------------------------------------------------

// The full long form of a path, for comparing two names of one file.
RawString CanonicalWide(const RawString& wide) {
    std::vector<wchar_t> full(32768);
    DWORD n = GetFullPathNameW(WideText(wide), static_cast<DWORD>(full.size()), full.data(),
                               nullptr);
    if (n == 0 || n >= full.size()) return wide;
    std::vector<wchar_t> longer(32768);
    DWORD m = GetLongPathNameW(full.data(), longer.data(), static_cast<DWORD>(longer.size()));
    if (m == 0 || m >= longer.size()) return RawString::FromWideText(full.data());
    return RawString::FromWideText(longer.data());
}

bool SamePathName(const RawString& a, const RawString& b) {
    RawString wa, wb;
    if (!ToWide(a, wa) || !ToWide(b, wb)) return false;
    RawString ca = CanonicalWide(wa);
    RawString cb = CanonicalWide(wb);
    return CompareStringOrdinal(WideText(ca), ca.Length(), WideText(cb), cb.Length(), TRUE) ==
           CSTR_EQUAL;
}

// Whether the target names the file that is open as the source (same volume
// and file index; by full long names where the volume gives no index).
bool IsSameFile(HANDLE sourceHandle, const RawString& source, const RawString& target) {
    HANDLE t = ApiCreateFile(target, FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS);
    if (t == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
        return SamePathName(source, target);
    }
    BY_HANDLE_FILE_INFORMATION si, ti;
    bool haveSource = GetFileInformationByHandle(sourceHandle, &si) != FALSE;
    bool haveTarget = GetFileInformationByHandle(t, &ti) != FALSE;
    CloseHandle(t);
    if (haveSource && haveTarget &&
        (si.nFileIndexHigh | si.nFileIndexLow | ti.nFileIndexHigh | ti.nFileIndexLow) != 0) {
        return si.dwVolumeSerialNumber == ti.dwVolumeSerialNumber &&
               si.nFileIndexHigh == ti.nFileIndexHigh && si.nFileIndexLow == ti.nFileIndexLow;
    }
    return SamePathName(source, target);
}

// Attributes a replaced file keeps.
const DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// A file deleted when the holder goes, unless its path was cleared; the
// caller's last error stays.
struct TemporaryFile {
    RawString path;
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (path.IsEmpty()) return;
        DWORD error = GetLastError();
        ApiDeleteFile(path);
        SetLastError(error);
    }
};

// Creates a new temporary file in the target's folder (so that it can
// replace the target by a rename) and opens it for writing.
bool OpenTemporaryBeside(const RawString& target, RawString& temp, RawFileHandle& out) {
    static std::atomic<uint32_t> serial{0};
    RawString wide;
    if (!ToWide(target, wide)) return false;
    int32_t cut = NameStart(wide);
    if (cut == 0 && wide.Length() >= 2 && wide.UnitAt(1) == ':') cut = 2;  // "C:name"
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        uint32_t n = GetTickCount() ^ (GetCurrentProcessId() << 16) ^
                     (serial.fetch_add(1) * 2654435761u);
        temp = RawString(KindUtf16);
        temp.AppendRange(wide, RawRange{0, cut});
        temp.AppendAscii("~tv");
        temp.AppendPadded(n, 16, 8);
        temp.AppendAscii(".tmp");
        if (out.Open(temp, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_NORMAL)) {
            return true;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

// Copies the whole source into the target, block by block. Ends when the
// size read at the start has been copied; a source that ends early is a
// read failure.
bool CopyData(RawFileCopier& copier, RawFileHandle& in, RawFileHandle& out,
              const RawString& source, const RawString& target) {
    if (copier.bufferSize == 0) copier.bufferSize = 16384;
    if (!copier.buffer) copier.buffer.reset(new uint8_t[copier.bufferSize]);
    copier.copied = 0;
    if (!in.Size(copier.fileSize)) {
        copier.Fail(CopyStatusRead, source);
        return false;
    }
    while (copier.copied < copier.fileSize) {
        uint64_t left = copier.fileSize - copier.copied;
        DWORD want = left < copier.bufferSize ? static_cast<DWORD>(left) : copier.bufferSize;
        bool read = in.Read(copier.buffer.get(), want);
        if (read && in.Transferred() == 0) SetLastError(ERROR_HANDLE_EOF);  // the file shrank
        if (!read || in.Transferred() == 0) {
            copier.Fail(CopyStatusRead, source);
            return false;
        }
        DWORD got = in.Transferred();
        bool written = out.Write(copier.buffer.get(), got);
        if (written && out.Transferred() != got) SetLastError(ERROR_WRITE_FAULT);
        if (!written || out.Transferred() != got) {
            copier.Fail(CopyStatusWrite, target);
            return false;
        }
        copier.copied += got;
    }
    return true;
}

}  // namespace

// ---- one-string wrappers -----------------------------------------------------

DWORD ApiGetFileAttributes(const RawString& path) {
    if (IsDevicePath(path)) {
        // The system would answer for the device; the folder's listing
        // tells whether the folder holds an entry of that name.
        RawFileFind find;
        return FindPathEntry(find, path) ? find.Attributes() : INVALID_FILE_ATTRIBUTES;
    }
    return CallWithPath<DWORD>(
        path, INVALID_FILE_ATTRIBUTES, [](const char* p) { return GetFileAttributesA(p); },
        [](const wchar_t* p) { return GetFileAttributesW(p); });
}

bool FindPathEntry(RawFileFind& find, const RawString& path) {
    if (path.IsEmpty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (!IsDevicePath(path)) {
        find.StartPattern(path);
        return find.Next(0);
    }
    // The name is searched with its first character as a wildcard, which
    // no device name has, and the entry of exactly that name is taken.
    RawString wide;
    if (!ToWide(path, wide)) return false;
    RawRange nameRange = PathNameRange(wide);
    // "C:com1.txt": the name follows the drive.
    if (nameRange.start == 0 && wide.Length() >= 2 && wide.UnitAt(1) == ':') nameRange.start = 2;
    RawString pattern = wide;
    if (nameRange.start < nameRange.end) pattern.SetUnitAt(nameRange.start, '?');
    if (nameRange.start >= nameRange.end || IsDevicePath(pattern)) {
        // A path in the device namespace names no folder entry.
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const RawString name = RawString::InitBodyFromRange(KindUtf16, wide, nameRange);
    find.StartPattern(pattern);
    while (find.Next(0)) {
        RawString found;
        if (ToWide(find.Name(), found) && SameNameNoCase(found, name)) return true;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
}

bool ApiSetFileAttributes(const RawString& path, DWORD attributes) {
    if (RefuseDevicePath(path)) return false;
    return CallWithPath<bool>(
        path, false, [&](const char* p) { return SetFileAttributesA(p, attributes) != FALSE; },
        [&](const wchar_t* p) { return SetFileAttributesW(p, attributes) != FALSE; });
}

bool ApiCreateDirectory(const RawString& path) {
    if (RefuseDevicePath(path)) return false;
    return CallWithPath<bool>(
        path, false, [](const char* p) { return CreateDirectoryA(p, nullptr) != FALSE; },
        [](const wchar_t* p) { return CreateDirectoryW(p, nullptr) != FALSE; });
}

bool ApiRemoveDirectory(const RawString& path) {
    if (RefuseDevicePath(path)) return false;
    return CallWithPath<bool>(
        path, false, [](const char* p) { return RemoveDirectoryA(p) != FALSE; },
        [](const wchar_t* p) { return RemoveDirectoryW(p) != FALSE; });
}

bool ApiDeleteFile(const RawString& path) {
    if (RefuseDevicePath(path)) return false;
    return CallWithPath<bool>(
        path, false, [](const char* p) { return DeleteFileA(p) != FALSE; },
        [](const wchar_t* p) { return DeleteFileW(p) != FALSE; });
}

// ---- long names ------------------------------------------------------------------

namespace {

// GetLongPathNameW of a whole UTF-16 path; empty when the system cannot
// give it (the path names nothing).
RawString SystemLongName(const RawString& wide) {
    RawString form;
    if (!WidePathForApi(wide, form) || form.IsEmpty()) return RawString(KindUtf16);
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    DWORD n = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        n = GetLongPathNameW(WideText(form), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0 || n > 32768) return RawString(KindUtf16);
        if (n < buffer.size()) break;
        buffer.resize(n + 1);
        n = 0;
    }
    if (n == 0) return RawString(KindUtf16);
    std::wstring found(buffer.data(), n);
    // A "\\?\" prefix added for the call is not the user's.
    if (!form.Equals(wide)) {
        const std::wstring unc = L"\\\\?\\UNC\\", plain = L"\\\\?\\";
        if (found.compare(0, unc.size(), unc) == 0)
            found = L"\\\\" + found.substr(unc.size());
        else if (found.compare(0, plain.size(), plain) == 0)
            found = found.substr(plain.size());
    }
    return RawString::FromWideText(found.c_str(), static_cast<int32_t>(found.size()));
}

bool HasTilde(const RawString& wide) {
    for (int32_t i = 0; i < wide.Length(); ++i) {
        if (wide.UnitAt(i) == '~') return true;
    }
    return false;
}

}  // namespace

RawString LongPathForm(const RawString& path) {
    if (path.IsEmpty() || IsDevicePath(path)) return path;
    RawString wide;
    if (!ToWide(path, wide)) return path;
    // Every short name the system makes up holds a '~': a path without one
    // has none, and is taken as given.
    if (!HasTilde(wide)) return path;
    // The longest part of the path that exists gets its long form; the
    // names after it, which name nothing yet, are kept. Each step drops a
    // name, so the walk ends.
    int32_t cut = wide.Length();
    RawString longer;
    for (int guard = 0; guard < 32768 && cut > 0; ++guard) {
        RawString head = RawString::InitBodyFromRange(KindUtf16, wide, RawRange{0, cut});
        longer = SystemLongName(head);
        if (!longer.IsEmpty()) break;
        int32_t start = NameStart(head);
        if (start <= 0) break;
        cut = start - 1;
        while (cut > 0 && IsPathSeparator(wide.UnitAt(cut - 1))) --cut;
        // A drive's root keeps its separator.
        if (cut == 2 && wide.UnitAt(1) == ':') ++cut;
    }
    if (longer.IsEmpty()) return path;
    longer.AppendRange(wide, RawRange{cut, wide.Length()});
    if (longer.Equals(wide)) return path;
    return InKindOf(longer, path);
}

// ---- folders -------------------------------------------------------------------

bool ApiCreateDirectoryTree(const RawString& path) {
    DWORD attributes = ApiGetFileAttributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A trailing separator names the same folder; without it the folder part
    // of "C:\a\b\" would be the folder itself.
    RawString folder = PathWithoutTrailingSeparators(InWorkingKind(path));
    if (folder.IsEmpty()) return false;
    // Walk up to the nearest existing ancestor, remembering what is missing;
    // each step is shorter than the one before, so the walk ends.
    std::vector<RawString> missing;
    RawString current = folder;
    for (;;) {
        DWORD a = ApiGetFileAttributes(current);
        if (a != INVALID_FILE_ATTRIBUTES) {
            if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
                SetLastError(ERROR_DIRECTORY);
                return false;
            }
            break;
        }
        missing.push_back(current);
        RawString parent = FolderPart(current);
        if (parent.IsEmpty() || parent.Length() >= current.Length()) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return false;
        }
        current = parent;
    }
    // Create from the top down. A folder made meanwhile by someone else is
    // as good as one made here.
    for (size_t i = missing.size(); i-- > 0;) {
        if (!ApiCreateDirectory(missing[i])) {
            DWORD error = GetLastError();
            DWORD a = ApiGetFileAttributes(missing[i]);
            if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) {
                SetLastError(error);
                return false;
            }
        }
    }
    DWORD a = ApiGetFileAttributes(folder);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFolderTree(const RawString& path, RawString* failedPath) {
    auto report = [&](const RawString& failed) {
        if (failedPath) *failedPath = InKindOf(failed, path);
    };
    // Only an absolute path with at least one name below its root: an empty
    // or relative path would hit the current folder, and a root the volume.
    // A relative path that names nothing is gone already.
    if (!IsDeletablePath(path)) {
        if (IsRelativePath(path) && PathIsGone(path)) return true;
        report(path);
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    RawString wide;
    if (!ToWide(path, wide)) {
        report(path);
        return false;
    }
    wide = PathWithoutTrailingSeparators(wide);
    DWORD attributes = CallWithPath<DWORD>(
        wide, INVALID_FILE_ATTRIBUTES, [](const char* p) { return GetFileAttributesA(p); },
        [](const wchar_t* p) { return GetFileAttributesW(p); });
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
        report(wide);
        return false;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        report(wide);
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    // The entry is checked under the name its folder lists, so a short
    // (8.3) name is spelled out long first.
    wide = CanonicalWide(wide);
    // The path itself is checked like any entry of its parent folder, so a
    // link given as the path loses only the link.
    RawRange nameRange = RawRange{NameStart(wide), wide.Length()};
    // The parent without its last separator, except a drive root ("C:"
    // alone would name the drive's current folder).
    int32_t parentEnd = nameRange.start - 1;
    if (parentEnd == 2 && wide.UnitAt(1) == ':') parentEnd = 3;
    RawString parent = RawString::InitBodyFromRange(KindUtf16, wide, RawRange{0, parentEnd});
    TreeEntry entry{wide, RawString::InitBodyFromRange(KindUtf16, wide, nameRange),
                    FinalPathOfFolder(parent), attributes};
    DeleteWalk walk;
    if (DeleteTreeEntry(entry, 0, walk)) return true;
    report(walk.failed ? walk.firstFailure : wide);
    if (walk.failed) SetLastError(walk.error);
    return false;
}

// ---- RawFileHandle ---------------------------------------------------------------

RawFileHandle::RawFileHandle()
    : handle_(INVALID_HANDLE_VALUE), path_(), access_(0), transferred_(0) {}

RawFileHandle::~RawFileHandle() { Close(); }

void RawFileHandle::CloseHandleOnly() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}

bool RawFileHandle::Open(const RawString& path, DWORD access, DWORD share, DWORD disposition,
                         DWORD flagsAndAttributes) {
    CloseHandleOnly();
    path_ = path;
    access_ = access;
    transferred_ = 0;
    handle_ = ApiCreateFile(path, access, share, disposition, flagsAndAttributes);
    return IsOpen();
}

bool RawFileHandle::OpenRead(const RawString& path) {
    return Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                FILE_ATTRIBUTE_NORMAL);
}

bool RawFileHandle::OpenWrite(const RawString& path) {
    return Open(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
}

bool RawFileHandle::Flush() {
    if (!IsOpen()) return false;
    return FlushFileBuffers(handle_) != FALSE;
}

void RawFileHandle::Close() {
    if (IsOpen() && (access_ & GENERIC_WRITE)) FlushFileBuffers(handle_);
    CloseHandleOnly();
}

bool RawFileHandle::Read(void* buffer, DWORD count) {
    transferred_ = 0;
    if (!IsOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    DWORD got = 0;
    bool ok = ReadFile(handle_, buffer, count, &got, nullptr) != FALSE;
    transferred_ = got;
    return ok;
}

bool RawFileHandle::Write(const void* buffer, DWORD count) {
    transferred_ = 0;
    if (!IsOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    DWORD done = 0;
    bool ok = WriteFile(handle_, buffer, count, &done, nullptr) != FALSE;
    transferred_ = done;
    return ok;
}

bool RawFileHandle::Size(uint64_t& size) const {
    size = 0;
    if (!IsOpen()) return false;
    LARGE_INTEGER value;
    if (!GetFileSizeEx(handle_, &value)) return false;
    size = static_cast<uint64_t>(value.QuadPart);
    return true;
}

// ---- copies ----------------------------------------------------------------------

bool CopyFileKeepTimes(RawFileCopier& copier, const RawString& target, const RawString& source) {
    RawFileHandle in;
    if (!in.OpenRead(source)) {
        copier.Fail(CopyStatusSource, source);
        return false;
    }
    // A device is never written (nor put in place of a file).
    if (RefuseDevicePath(target)) {
        copier.Fail(CopyStatusTarget, target);
        return false;
    }
    // Writing onto the source itself would destroy it: refuse before the
    // target is touched, whatever name (case, short form, link) it goes by.
    if (IsSameFile(in.Handle(), source, target)) {
        copier.Fail(CopyStatusTarget, target);
        SetLastError(ERROR_SHARING_VIOLATION);
        return false;
    }
    // A read-only file or a folder cannot be replaced; say so before copying.
    DWORD targetAttributes = ApiGetFileAttributes(target);
    if (targetAttributes != INVALID_FILE_ATTRIBUTES &&
        (targetAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        copier.Fail(CopyStatusTarget, target);
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // The data goes to a temporary file that replaces the target only once
    // it is complete, so a failure never leaves a half-written target; the
    // temporary file goes on every way out but the one that puts it in place
    // (its handle, declared after it, is closed first).
    TemporaryFile temp;
    RawFileHandle out;
    if (!OpenTemporaryBeside(target, temp.path, out)) {
        temp.path = RawString();
        copier.Fail(CopyStatusTarget, target);
        return false;
    }
    if (!CopyData(copier, in, out, source, target)) return false;
    if (!GetFileTime(in.Handle(), nullptr, nullptr, &copier.writeTime)) {
        copier.Fail(CopyStatusRead, source);
        return false;
    }
    if (!SetFileTime(out.Handle(), nullptr, nullptr, &copier.writeTime) || !out.Flush()) {
        copier.Fail(CopyStatusWrite, target);
        return false;
    }
    out.Close();
    in.Close();
    // A replaced target keeps its own attributes (hidden, system, archive).
    DWORD kept = targetAttributes == INVALID_FILE_ATTRIBUTES ? 0 : targetAttributes & kKeptAttributes;
    if ((kept && !ApiSetFileAttributes(temp.path, kept)) ||
        !ApiMoveFileEx(temp.path, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        copier.Fail(CopyStatusTarget, target);
        return false;
    }
    temp.path = RawString();  // in place
    return true;
}

bool CopyFileAttributes(RawFileCopier& copier, const RawString& target, const RawString& source) {
    copier.attributes = ApiGetFileAttributes(source);
    if (copier.attributes == INVALID_FILE_ATTRIBUTES) {
        copier.Fail(CopyStatusSource, source);
        return false;
    }
    DWORD kept = copier.attributes &
                 (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    // 0 would mean "leave as is" to some systems; NORMAL clears the bits.
    if (!ApiSetFileAttributes(target, kept ? kept : FILE_ATTRIBUTE_NORMAL)) {
        copier.Fail(CopyStatusTarget, target);
        return false;
    }
    return true;
}

// ---- RawFileFind -------------------------------------------------------------------

RawFileFind::RawFileFind()
    : attributes_(INVALID_FILE_ATTRIBUTES),
      writeTime_{0, 0},
      creationTime_{0, 0},
      accessTime_{0, 0},
      size_(0),
      find_(INVALID_HANDLE_VALUE),
      done_(1),
      started_(false) {}

RawFileFind::RawFileFind(const RawString& path, bool fullPattern) : RawFileFind() {
    if (fullPattern) {
        StartPattern(path);
    } else {
        Start(path);
    }
}

RawFileFind::~RawFileFind() { Close(); }

void RawFileFind::Close() {
    if (find_ != INVALID_HANDLE_VALUE) {
        FindClose(find_);
        find_ = INVALID_HANDLE_VALUE;
    }
}

void RawFileFind::Start(const RawString& folder) {
    Close();
    done_ = 0;
    started_ = false;
    attributes_ = INVALID_FILE_ATTRIBUTES;
    folder_ = InWorkingKind(folder);
    if (EndsWithSeparator(folder_)) folder_.Erase(folder_.Length() - 1, 1);
    pattern_ = PathJoin(folder_, AllEntriesPattern());
}

void RawFileFind::StartPattern(const RawString& pattern) {
    Close();
    done_ = 0;
    started_ = false;
    attributes_ = INVALID_FILE_ATTRIBUTES;
    pattern_ = pattern;
    folder_ = FolderPart(InWorkingKind(pattern));
}

bool RawFileFind::Advance() {
    WIN32_FIND_DATAW data;
    if (find_ == INVALID_HANDLE_VALUE) {
        if (started_) return false;
        started_ = true;
        // Always the wide search: names come back whole, and are then given
        // the folder's kind where it holds them.
        RawString wide;
        if (pattern_.IsEmpty() || !WidePathForApi(pattern_, wide)) return false;
        find_ = FindFirstFileExW(WideText(wide), FindExInfoBasic, &data, FindExSearchNameMatch,
                                 nullptr, 0);
        if (find_ == INVALID_HANDLE_VALUE) return false;
    } else if (!FindNextFileW(find_, &data)) {
        return false;
    }
    attributes_ = data.dwFileAttributes;
    creationTime_ = data.ftCreationTime;
    accessTime_ = data.ftLastAccessTime;
    writeTime_ = data.ftLastWriteTime;
    size_ = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    RawString wideName = RawString::FromWideText(data.cFileName);
    if (ConvertLossless(wideName, folder_.Kind(), name_)) {
        fullPath_ = PathJoin(folder_, name_);
    } else {
        // A name the folder's kind cannot hold would find nothing; it stays
        // in UTF-16, and so does its full path.
        name_ = wideName;
        RawString wideFolder;
        ToWide(folder_, wideFolder);
        fullPath_ = PathJoin(wideFolder, name_);
    }
    return true;
}

bool RawFileFind::IsShortcut() const {
    // Letter case does not matter to the system's file names, so neither
    // here. The '.' cannot be a Shift_JIS trail byte, so the four units are
    // whole characters in every kind a name comes in.
    const RawString& ext = LnkExtensionText();
    int32_t n = name_.Length();
    int32_t e = ext.Length();
    return n > e && name_.EqualsRangeNoCase(RawRange{n - e, n}, ext, ext.All());
}

bool RawFileFind::Passes(uint32_t mask) const {
    bool known = attributes_ != INVALID_FILE_ATTRIBUTES;
    if ((mask & FindSkipDots) && (name_.EqualsAscii(".") || name_.EqualsAscii(".."))) return false;
    if ((mask & FindSkipSystem) && known && (attributes_ & FILE_ATTRIBUTE_SYSTEM)) return false;
    if ((mask & FindSkipHidden) && known && (attributes_ & FILE_ATTRIBUTE_HIDDEN)) return false;
    if ((mask & FindSkipReadOnly) && known && (attributes_ & FILE_ATTRIBUTE_READONLY)) return false;
    bool folder = IsFolder();
    if ((mask & FindSkipFolders) && folder) return false;
    bool shortcut = !folder && IsShortcut();
    if ((mask & FindSkipShortcuts) && shortcut) return false;
    if ((mask & FindSkipPlainFiles) && !folder && !shortcut) return false;
    return true;
}

bool RawFileFind::Next(uint32_t mask) {
    while (!done_) {
        if (!Advance()) {
            Close();
            done_ = 1;
            attributes_ = INVALID_FILE_ATTRIBUTES;
            return false;
        }
        if (Passes(mask)) return true;
    }
    return false;
}

bool RawFolderScan::Next(const RawString& searchPath) {
    if (!started_) {
        started_ = true;
        find_.StartPattern(searchPath);
    }
    if (!find_.Next(0)) return false;
    attributes = find_.Attributes();
    creationTime = find_.CreationTime();
    accessTime = find_.AccessTime();
    writeTime = find_.WriteTime();
    size = find_.Size();
    name = find_.Name();
    fullPath = find_.FullPath();
    return true;
}

}  // namespace RawLayer


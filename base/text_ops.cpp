#include "base/text_ops.h"

#include <string>
#include <vector>

#include "base/api_text.h"
#include "base/date_time.h"
#include "base/file_system.h"
#include "base/profile.h"

namespace RawLayer {

// ---- hashes and signatures ------------------------------------------------------

uint64_t StringHash64(uint64_t hash, const RawString& text, RawRange range) {
    RawRange r = text.ClampEnd(range);
    for (int32_t i = r.start; i < r.end; ++i) hash = ((hash << 7) ^ hash) + text.UnitAt(i);
    return hash;
}

uint64_t StringHash64(const RawString& text) { return StringHash64(0, text, text.All()); }

namespace {

// A 64-bit mixer (the finaliser of SplitMix64): terms of different entries
// must not cancel out when their parts are swapped between them.
uint64_t Mix(uint64_t value) {
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

uint64_t EntryTerm(uint64_t pathHash, uint64_t detail) {
    return Mix(pathHash ^ Mix(detail));
}

// Marks the term of a folder (or a link that is not entered) in place of a
// file's time.
constexpr uint64_t kFolderMark = 0x464F4C444552ull;
constexpr uint64_t kLinkMark = 0x4C494E4Bull;

RawString Wide(const RawString& text) { return text.As(KindUtf16); }

// The two signatures of a path. Plain: each entry counts its name's hash
// plus the low 32 bits of a file's (or link's) last-write time, or a
// folder's content sum. Strict: each entry's term mixes its path relative to
// the signed root with its time or a folder mark.
struct SignatureWalk {
    bool strict;

    uint64_t TimedTerm(uint64_t hash, const FILETIME& time, uint64_t mark) const {
        return strict ? EntryTerm(hash, mark ^ FileTimeValue(time)) : hash + time.dwLowDateTime;
    }
    uint64_t FolderTerm(uint64_t hash) const { return strict ? EntryTerm(hash, kFolderMark) : hash; }

    // The sum of the terms of every entry below a folder. `relativeHash` is
    // the hash of the folder's path relative to the signed root (0 for the
    // root).
    uint64_t Content(const RawString& folder, uint64_t relativeHash, bool isRoot, int depth) const {
        static const RawString separator = RawString::FromLiteral("\\");
        uint64_t sum = 0;
        RawFileFind find(folder);
        while (find.Next(FindSkipDots)) {
            RawString name = Wide(find.Name());
            uint64_t hash = 0;
            if (strict) {
                hash = relativeHash;
                if (!isRoot) hash = StringHash64(hash, separator, separator.All());
            }
            hash = StringHash64(hash, name, name.All());
            if (find.IsFolder() && find.IsReparsePoint()) {
                sum += TimedTerm(hash, find.WriteTime(), kLinkMark);
            } else if (find.IsFolder()) {
                sum += FolderTerm(hash);
                if (depth < MaxTreeDepth) sum += Content(find.FullPath(), hash, false, depth + 1);
            } else {
                sum += TimedTerm(hash, find.WriteTime(), 0);
            }
        }
        return sum;
    }

    uint64_t Sign(const RawString& path) const;
};

bool HasWildcard(const RawString& path) {
    for (int32_t i = 0; i < path.Length(); ++i) {
        const uint32_t unit = path.UnitAt(i);
        if (unit == '*' || unit == '?') return true;
    }
    return false;
}

uint64_t SignatureWalk::Sign(const RawString& path) const {
    if (path.IsEmpty() || HasWildcard(path)) return 0;
    RawString wide = PathWithoutTrailingSeparators(Wide(path));
    const DWORD attributes = ApiGetFileAttributes(wide);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;

    // The entry's own name and times, as the folder listing has them (a
    // drive root has no entry of its own: its name is empty).
    RawString name(KindUtf16);
    FILETIME writeTime = {0, 0};
    {
        RawFileFind find;
        if (FindPathEntry(find, wide)) {
            name = Wide(find.Name());
            writeTime = find.WriteTime();
        }
    }
    const uint64_t nameHash = StringHash64(name);
    uint64_t signature;
    if (!folder) {
        signature = TimedTerm(nameHash, writeTime, 0);
    } else if (link) {
        signature = TimedTerm(nameHash, writeTime, kLinkMark);
    } else {
        signature = FolderTerm(nameHash) + Content(wide, 0, true, 1);
    }
    // 0 stands for "no entry"; the strict signature never gives it for one.
    return strict && signature == 0 ? 1 : signature;
}

}  // namespace

uint64_t PathSignature(const RawString& path) { return SignatureWalk{false}.Sign(path); }

uint64_t StrictPathSignature(const RawString& path) { return SignatureWalk{true}.Sign(path); }

// ---- folder trees ----------------------------------------------------------------

namespace {

RAW_CONSTANT_TEXT(LongPathPrefixText, "\\\\?\\")
RAW_CONSTANT_TEXT(LongUncPrefixText, "\\\\?\\UNC\\")

// The absolute form of a path, with the links of its existing part resolved
// where the platform can tell them, UTF-16 without a trailing separator.
std::wstring CanonicalPath(const RawString& path) {
    RawString wide = Wide(path);
    std::vector<wchar_t> full(32768);
    DWORD length = GetFullPathNameW(wide.Wide(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) return std::wstring(wide.Wide(), wide.Length());
    std::wstring result(full.data(), length);
    while (result.size() > 3 && (result.back() == L'\\' || result.back() == L'/')) result.pop_back();

    // Resolve the longest existing prefix through its final path.
    std::wstring head = result;
    std::wstring tail;
    for (int guard = 0; guard < 4096 && !head.empty(); ++guard) {
        HANDLE handle = ApiCreateFile(RawString::FromWideText(head.c_str()), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS);
        if (handle != INVALID_HANDLE_VALUE) {
            DWORD got = GetFinalPathNameByHandleW(handle, full.data(), static_cast<DWORD>(full.size()),
                                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            CloseHandle(handle);
            if (got > 0 && got < full.size()) {
                std::wstring final(full.data(), got);
                const std::wstring unc(LongUncPrefixText().As(KindUtf16).Wide());
                const std::wstring plain(LongPathPrefixText().As(KindUtf16).Wide());
                if (final.compare(0, unc.size(), unc) == 0) {
                    final = L"\\\\" + final.substr(unc.size());
                } else if (final.compare(0, plain.size(), plain) == 0) {
                    final = final.substr(plain.size());
                }
                while (final.size() > 3 && final.back() == L'\\') final.pop_back();
                return final + tail;
            }
            break;
        }
        const size_t cut = head.find_last_of(L"\\/");
        if (cut == std::wstring::npos || cut == 0) break;
        tail = head.substr(cut) + tail;
        head.resize(cut);
        if (!head.empty() && head.back() == L':') break;
    }
    return result;
}

// True when `inner` is `outer` or lies inside it (ASCII letters and the rest
// compared without case, as the file system does).
bool SameOrInside(const std::wstring& inner, const std::wstring& outer) {
    if (inner.size() < outer.size() || outer.empty()) return false;
    if (CompareStringOrdinal(inner.c_str(), static_cast<int>(outer.size()), outer.c_str(),
                             static_cast<int>(outer.size()), TRUE) != CSTR_EQUAL) {
        return false;
    }
    if (inner.size() == outer.size()) return true;
    const wchar_t next = inner[outer.size()];
    return IsPathSeparator(next) || outer.back() == L'\\';
}

struct TreeWalk {
    bool copy;
    RawString& failingPath;
    TreeCopyFailures& failures;
    RawFileCopier copier;

    bool Fail(const RawString& path) {
        if (failures.count == 0) failingPath = path;
        failures.Add(path);
        return false;
    }

    // A move stops at its first failure; a copy notes it and goes on with
    // the next entry. False when anything was left.
    bool Walk(const RawString& target, const RawString& source, int depth) {
        if (depth > MaxTreeDepth) return Fail(source);
        if (!FolderExists(source)) return Fail(source);
        if (!ApiCreateDirectoryTree(target)) return Fail(target);
        bool all = true;
        RawFileFind find(source);
        while (find.Next(FindSkipDots)) {
            RawString to = PathJoin(target, find.Name());
            const RawString& from = find.FullPath();
            bool done;
            if (find.IsFolder() && find.IsReparsePoint()) {
                // A junction or folder link: never entered. A move renames
                // the link itself; a copy cannot make one and leaves it.
                done = !copy && ApiMoveFileEx(from, to, 0);
                if (!done) Fail(from);
            } else if (find.IsFolder()) {
                done = Walk(to, from, depth + 1);
            } else if (copy) {
                copier.failedPath = RawString();
                done = CopyFileKeepTimes(copier, to, from) && CopyFileAttributes(copier, to, from);
                if (!done) Fail(copier.failedPath.IsEmpty() ? from : copier.failedPath);
            } else {
                done = ApiMoveFileEx(from, to, MOVEFILE_COPY_ALLOWED);
                if (!done) Fail(from);
            }
            if (!done) {
                all = false;
                if (!copy) return false;
            }
        }
        return all;
    }
};

bool RunTreeWalk(bool copy, const RawString& target, const RawString& source, RawString& failingPath,
                 TreeCopyFailures* failures) {
    TreeCopyFailures local;
    TreeCopyFailures& noted = failures ? *failures : local;
    noted = TreeCopyFailures();
    failingPath = RawString(KindUtf16);
    RawString wideSource = PathWithoutTrailingSeparators(Wide(source));
    RawString wideTarget = PathWithoutTrailingSeparators(Wide(target));
    if (wideSource.IsEmpty() || !FolderExists(wideSource)) {
        failingPath = wideSource;
        noted.Add(wideSource);
        return false;
    }
    if (wideTarget.IsEmpty() || SameOrInside(CanonicalPath(wideTarget), CanonicalPath(wideSource))) {
        failingPath = wideTarget;
        noted.Add(wideTarget);
        return false;
    }
    TreeWalk walk{copy, failingPath, noted, {}};
    return walk.Walk(wideTarget, wideSource, 1);
}

}  // namespace

bool MoveFolderTree(const RawString& target, const RawString& source, RawString& failingPath) {
    return RunTreeWalk(false, target, source, failingPath, nullptr);
}

bool CopyFolderTree(const RawString& target, const RawString& source, RawString& failingPath,
                    TreeCopyFailures* failures) {
    return RunTreeWalk(true, target, source, failingPath, failures);
}

// ---- word boundaries ----------------------------------------------------------------

int WordClass(uint32_t unit, bool underscore) {
    if ((unit >= 'A' && unit <= 'Z') || (unit >= 'a' && unit <= 'z') || (unit >= '0' && unit <= '9')) {
        return 3;
    }
    if (unit == ' ' || unit == '\t') return 0;
    if (unit < 0x20 || unit == 0x7F) return 1;
    if (unit == '_') return underscore ? 3 : 2;
    if (unit < 0x80) return 2;
    return 4;
}

namespace {

int ClassAt(const RawString& text, int32_t index, bool underscore) {
    if (index < 0 || index >= text.Length()) return 1;
    return WordClass(text.UnitAt(index), underscore);
}

}  // namespace

int32_t WordStartAt(const RawString& text, int32_t index, bool underscore) {
    if (index <= 0) return 0;
    if (index > text.Length()) index = text.Length();
    const int cls = ClassAt(text, index, underscore);
    while (index > 0 && ClassAt(text, index - 1, underscore) == cls) --index;
    return index;
}

int32_t WordEndAt(const RawString& text, int32_t index, bool underscore) {
    if (index < 0) return 0;
    const int32_t length = text.Length();
    if (index >= length) return length;
    const int cls = ClassAt(text, index, underscore);
    ++index;
    while (index < length && ClassAt(text, index, underscore) == cls) ++index;
    return index;
}

// ---- drawing -----------------------------------------------------------------------

HFONT PrepareTextDC(HDC dc, const RECT& rect, HFONT font, COLORREF textColor, RECT* area) {
    HFONT replaced = nullptr;
    if (font != nullptr) replaced = static_cast<HFONT>(SelectObject(dc, font));
    SetTextAlign(dc, 0);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColor);
    if (area != nullptr) {
        area->left = 0;
        area->top = 0;
        area->right = rect.right - rect.left;
        area->bottom = rect.bottom - rect.top;
    }
    return replaced;
}

void DrawMarkedText(HDC dc, const RawString& text, const RECT& rect, COLORREF markColor) {
    if (text.IsEmpty()) return;
    if (markColor != NoColorValue) {
        HBRUSH brush = CreateSolidBrush(markColor);
        if (brush != nullptr) {
            FillRect(dc, &rect, brush);
            DeleteObject(brush);
        }
    }
    RawString wide = text.As(KindUtf16);
    RECT box = rect;
    DrawTextW(dc, wide.Wide(), wide.Length(), &box,
              DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | DT_NOPREFIX);
    HPEN pen = CreatePen(PS_SOLID, 1, GetTextColor(dc));
    if (pen != nullptr) {
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, rect.left, rect.bottom - 1, nullptr);
        LineTo(dc, rect.right, rect.bottom - 1);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

// ---- small helpers -------------------------------------------------------------------

RawString FilledPlaceholder(int32_t count) {
    RawString text(KindUtf16);
    if (count > 0) text.InsertRange(0, count, 0x0100);
    return text;
}

void ReleaseInterfacePair(RawInterfacePair& holder) {
    if (holder.first != nullptr) holder.first->Release();
    if (holder.second != nullptr) holder.second->Release();
    holder.first = nullptr;
    holder.second = nullptr;
}

}  // namespace RawLayer

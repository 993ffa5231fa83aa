// Win32 calls that take or return text: the ANSI/wide choice and the
// buffers for returned text.
#include "base/api_text.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/encoding.h"

namespace RawLayer {

namespace {

// Returned texts grow their buffer up to this many units; a platform that
// keeps asking for more is taken as failing.
const uint32_t kMaxFetchUnits = 1u << 20;
// The first buffer of a returned text: 260 units plus the terminator.
const uint32_t kFirstFetchUnits = 261;

// The bytes to hand to an ANSI entry point (an empty text of any kind is "").
const char* AnsiText(const RawString& text) { return text.IsEmpty() ? "" : text.Bytes(); }

// A string as a NUL-terminated UTF-16 text for a wide entry point: a share
// of a kind-7 string, or a converted copy that lives as long as this object
// (so it is released on every path out of the wrapper).
class WideText {
public:
    explicit WideText(const RawString& text) {
        if (text.IsEmpty()) return;
        if (text.Kind() == KindUtf16) {
            holder_ = text;
            return;
        }
        bool ok = true;
        holder_ = text.As(KindUtf16, &ok);
        ok_ = ok;
    }
    // False when a non-empty text could not be converted.
    bool Ok() const { return ok_; }
    const wchar_t* Get() const { return holder_.IsEmpty() ? L"" : holder_.Wide(); }
    const wchar_t* GetOrNull() const { return holder_.IsEmpty() ? nullptr : holder_.Wide(); }
    const RawString& Text() const { return holder_; }

private:
    RawString holder_{KindUtf16};
    bool ok_ = true;
};

// A path as a wide entry point takes it (WidePathForApi), kept as long as
// this object.
class WidePath {
public:
    explicit WidePath(const RawString& path) { ok_ = WidePathForApi(path, holder_); }
    bool Ok() const { return ok_; }
    const wchar_t* Get() const { return holder_.IsEmpty() ? L"" : holder_.Wide(); }
    const wchar_t* GetOrNull() const { return holder_.IsEmpty() ? nullptr : holder_.Wide(); }

private:
    RawString holder_{KindUtf16};
    bool ok_ = true;
};

// Whether every path goes to the ANSI entry point: their API kinds take it
// together and each is short enough for it.
bool PathsTakeAnsi(int combinedCode, std::initializer_list<const RawString*> paths) {
    if (!TakesAnsi(combinedCode)) return false;
    for (const RawString* p : paths) {
        if (!PathTakesAnsi(*p)) return false;
    }
    return true;
}

// True (with the last error set) when a text or path had no UTF-16 form.
template <class Text>
bool AnyFailed(std::initializer_list<const Text*> texts) {
    for (const Text* t : texts) {
        if (!t->Ok()) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return true;
        }
    }
    return false;
}

bool ConversionFailed(std::initializer_list<const WideText*> texts) { return AnyFailed(texts); }
bool PathsFailed(std::initializer_list<const WidePath*> paths) { return AnyFailed(paths); }

int CombineCodes(std::initializer_list<int> codes) {
    bool allAnsi = true;   // every code 0 or 3
    bool allWide = true;   // every code 1 or 3
    bool allEmpty = true;
    for (int c : codes) {
        if (c == ApiKindConvert) return ApiKindConvert;
        if (c != ApiKindAnsi && c != ApiKindEmpty) allAnsi = false;
        if (c != ApiKindWide && c != ApiKindEmpty) allWide = false;
        if (c != ApiKindEmpty) allEmpty = false;
    }
    if (allAnsi) return ApiKindAnsi;
    if (allWide && !allEmpty) return ApiKindWide;
    return ApiKindConvert;
}

// Calls `call(buffer, size)` (which returns a unit count as the Win32 text
// getters do) with a growing buffer until the text fits. A count of 0 is a
// failure or an empty text; a count that reaches size - 1 may be a cut text
// and is asked again with a larger buffer. Returns the count (0 on failure).
template <class Unit, class Call>
uint32_t FetchGrowing(std::vector<Unit>& buffer, uint32_t firstSize, Call call) {
    uint32_t size = std::max<uint32_t>(firstSize, 2);
    for (;;) {
        buffer.assign(size, Unit(0));
        uint32_t count = call(buffer.data(), size);
        if (count == 0) return 0;
        if (count < size - 1) return count;
        if (size >= kMaxFetchUnits) return 0;
        // The getters that report a required size report it with the
        // terminator; the others report a cut count. Either way grow.
        uint32_t next = std::max<uint32_t>(size * 2, count + 2);
        size = std::min(next, kMaxFetchUnits);
    }
}

// Fetches a text through the entry point that suits the wanted kind:
// `wide(buffer, size)` and `ansi(buffer, size)` fill a buffer and return the
// count. Kinds that neither entry point gives directly are fetched wide and
// converted.
template <class WideCall, class AnsiCall>
RawString FetchText(uint8_t kind, uint32_t firstSize, WideCall wide, AnsiCall ansi) {
    if (kind != KindUtf16 && KindFitsAnsiApi(kind)) {
        std::vector<char> buffer;
        uint32_t count = FetchGrowing(buffer, firstSize, ansi);
        if (count == 0) return RawString(kind);
        return RawString::FromBytes(buffer.data(), static_cast<int32_t>(count), kind);
    }
    std::vector<wchar_t> buffer;
    uint32_t count = FetchGrowing(buffer, firstSize, wide);
    RawString text = count == 0 ? RawString(KindUtf16)
                                : RawString::FromWideText(buffer.data(), static_cast<int32_t>(count));
    if (kind == KindUtf16 || text.IsEmpty()) return kind == KindUtf16 ? text : RawString(kind);
    bool ok = true;
    RawString converted = text.As(kind, &ok);
    return ok ? converted : RawString(kind);
}

// Whether the last character of ANSI bytes is a path separator (a trail byte
// 0x5C of a double-byte character is not).
bool AnsiEndsWithSeparator(const char* bytes, int32_t count) {
    int32_t last = -1;
    for (int32_t i = 0; i < count;) {
        last = i;
        bool lead = IsDBCSLeadByte(static_cast<BYTE>(bytes[i])) != FALSE;
        i += (lead && i + 1 < count) ? 2 : 1;
    }
    return last == count - 1 && last >= 0 && IsPathSeparator(static_cast<uint8_t>(bytes[last]));
}

}  // namespace

int DecodeUtf8(const uint8_t* p, int32_t left, uint32_t& cp) {
    uint8_t b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    int len;
    uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) low = 0xA0;        // no overlong forms
        if (b0 == 0xED) high = 0x9F;       // no encoded surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0) low = 0x90;
        if (b0 == 0xF4) high = 0x8F;       // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (left < len) return 0;
    for (int i = 1; i < len; ++i) {
        uint8_t c = p[i];
        uint8_t lo = i == 1 ? low : 0x80;
        uint8_t hi = i == 1 ? high : 0xBF;
        if (c < lo || c > hi) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    return len;
}

// ---- API kinds -----------------------------------------------------------------

int ApiKind(const RawString& text) {
    if (text.IsEmpty()) return ApiKindEmpty;
    uint8_t kind = text.Kind();
    if (kind == KindUtf16) return ApiKindWide;
    if (KindFitsAnsiApi(kind)) return ApiKindAnsi;
    if (kind == KindUtf8) {
        const uint8_t* p = static_cast<const uint8_t*>(text.Data());
        for (int32_t i = 0, n = text.Length(); i < n; ++i) {
            if (p[i] > 126) return ApiKindConvert;
        }
        return ApiKindAnsi;
    }
    return ApiKindConvert;
}

int ApiKindOfRange(const RawString& text, RawRange range) {
    if (text.IsEmpty() || text.Kind() != KindUtf8) return ApiKind(text);
    range = text.ClampEnd(range);
    const uint8_t* p = static_cast<const uint8_t*>(text.Data());
    for (int32_t i = range.start; i < range.end; ++i) {
        if (p[i] > 126) return ApiKindConvert;
    }
    return ApiKindAnsi;
}

int ApiKindPair(const RawString& a, const RawString& b) {
    return CombineCodes({ApiKind(a), ApiKind(b)});
}

int ApiKindTriple(const RawString& a, const RawString& b, const RawString& c) {
    return CombineCodes({ApiKind(a), ApiKind(b), ApiKind(c)});
}

// ---- paths ------------------------------------------------------------------------

namespace {

// The length a path has once the system has made it absolute, near enough
// to tell whether it stays below AnsiPathLimit: a relative path counts the
// current folder too.
int32_t AbsoluteLength(const RawString& path) {
    const int32_t n = path.Length();
    if (n >= 3 && path.UnitAt(1) == ':' && IsPathSeparator(path.UnitAt(2))) return n;
    if (n >= 2 && IsPathSeparator(path.UnitAt(0)) && IsPathSeparator(path.UnitAt(1))) return n;
    if (n >= 1 && IsPathSeparator(path.UnitAt(0))) return n + 2;  // the drive
    return n + static_cast<int32_t>(GetCurrentDirectoryW(0, nullptr));
}

}  // namespace

bool PathTakesAnsi(const RawString& path) {
    return TakesAnsi(path) && path.Length() < AnsiPathLimit &&
           (path.IsEmpty() || AbsoluteLength(path) < AnsiPathLimit);
}

bool WidePathForApi(const RawString& path, RawString& wide) {
    WideText text(path);
    if (!text.Ok()) {
        wide = RawString(KindUtf16);
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return false;
    }
    wide = text.Text();
    const int32_t n = wide.Length();
    if (n == 0 || AbsoluteLength(wide) < AnsiPathLimit) return true;
    const wchar_t* p = wide.Wide();
    // "\\?\", "\\.\" and "\??\": the system takes these as they stand.
    if (p[0] == L'\\' && (p[1] == L'\\' || p[1] == L'?') && (p[2] == L'?' || p[2] == L'.') && p[3] == L'\\')
        return true;
    // The "\\?\" form is passed to the file system without the changes the
    // system makes to a plain path, so it is made here first: absolute,
    // with backslashes, "." and ".." resolved.
    const DWORD need = GetFullPathNameW(p, 0, nullptr, nullptr);
    if (need == 0 || need > 32768) return true;  // the system will say why
    std::vector<wchar_t> full(static_cast<size_t>(need) + 1, 0);
    const DWORD got = GetFullPathNameW(p, need + 1, full.data(), nullptr);
    if (got == 0 || got > need) return true;
    std::wstring form;
    if (got >= 2 && full[0] == L'\\' && full[1] == L'\\') {
        form = L"\\\\?\\UNC";
        form.append(full.data() + 1, got - 1);
    } else if (got >= 3 && full[1] == L':' && full[2] == L'\\') {
        form = L"\\\\?\\";
        form.append(full.data(), got);
    } else {
        form.assign(full.data(), got);
    }
    wide = RawString::FromWideText(form.c_str(), static_cast<int32_t>(form.size()));
    return true;
}

bool PathTooLongForSystem(const RawString& path) {
    WideText text(path);
    if (!text.Ok()) return false;
    const RawString& wide = text.Text();
    if (wide.Length() > 32767) return true;
    int32_t nameLength = 0;
    for (int32_t i = 0; i < wide.Length(); ++i) {
        nameLength = IsPathSeparator(wide.UnitAt(i)) ? 0 : nameLength + 1;
        if (nameLength > 255) return true;
    }
    return false;
}

// ---- small helpers ----------------------------------------------------------------

RawString WideBuffer(int32_t units) {
    RawString text(KindUtf16);
    text.Detach();
    text.Reserve(std::max<int32_t>(units, 1));
    return text;
}

void SyncLength(RawString& text) {
    int32_t capacity = text.Capacity();
    if (capacity <= 0) {
        if (text.Length() != 0) text.SyncLength(0);
        return;
    }
    int32_t pos = 0;
    if (text.Kind() == KindUtf16) {
        const wchar_t* p = text.Wide();
        while (pos < capacity && p[pos] != 0) ++pos;
    } else {
        const char* p = text.Bytes();
        while (pos < capacity && p[pos] != 0) ++pos;
    }
    text.SyncLength(pos);
}

RawString MakeDoubleNulPath(const RawString& path) {
    int32_t n = 0;
    while (n < path.Length() && path.UnitAt(n) != 0) ++n;
    RawString list = RawString::InitBodyFromRange(path.Kind(), path, RawRange{0, n});
    list.AppendChar(0);
    return list;
}

void CopyFaceName(LOGFONTW& font, const wchar_t* name) {
    const int limit = LF_FACESIZE - 1;
    int n = 0;
    if (name != nullptr) {
        while (n < limit && name[n] != 0) ++n;
        // A name cut inside a surrogate pair loses the lone high half.
        if (n == limit && name[n] != 0 && IsHighSurrogate(name[n - 1])) --n;
        for (int i = 0; i < n; ++i) font.lfFaceName[i] = name[i];
    }
    for (int i = n; i < LF_FACESIZE; ++i) font.lfFaceName[i] = 0;
}

void CopyFaceName(LOGFONTW& font, const RawString& name) {
    WideText wide(name);
    CopyFaceName(font, wide.Ok() ? wide.Get() : L"");
}

// ---- wrappers that pass text in ---------------------------------------------------

int ApiMessageBox(const RawString& text, const RawString& caption) {
    if (TakesAnsi(ApiKindPair(text, caption))) {
        return MessageBoxA(nullptr, AnsiText(text), AnsiText(caption), MB_ICONEXCLAMATION);
    }
    WideText t(text), c(caption);
    if (ConversionFailed({&t, &c})) return 0;
    return MessageBoxW(nullptr, t.Get(), c.Get(), MB_ICONEXCLAMATION);
}

// ---- devices ---------------------------------------------------------------------------

namespace {

wchar_t UpperAscii(wchar_t unit) {
    return unit >= L'a' && unit <= L'z' ? static_cast<wchar_t>(unit - (L'a' - L'A')) : unit;
}

bool IsLetterUnit(wchar_t unit) {
    const wchar_t upper = UpperAscii(unit);
    return upper >= L'A' && upper <= L'Z';
}

// Whether the units begin with the ASCII letters of `word` (any case).
bool StartsWithWord(const wchar_t* text, size_t count, const char* word) {
    size_t i = 0;
    for (; word[i] != 0; ++i) {
        if (i >= count || UpperAscii(text[i]) != static_cast<wchar_t>(word[i])) return false;
    }
    return true;
}

// A path in the device namespace: "\\.\" and "\\?\" (either separator)
// or "\??\", except the spellings of a drive path ("\\?\C:\...") and of
// a network path ("\\?\UNC\server\...").
bool InDeviceNamespace(const wchar_t* p, size_t n) {
    if (n < 4 || !IsPathSeparator(p[0]) || !IsPathSeparator(p[3])) return false;
    const bool dosDevices = IsPathSeparator(p[1]) && (p[2] == L'.' || p[2] == L'?');
    const bool ntDevices = p[1] == L'?' && p[2] == L'?';
    if (!dosDevices && !ntDevices) return false;
    if (p[2] == L'.') return true;
    const wchar_t* rest = p + 4;
    const size_t left = n - 4;
    if (left >= 2 && IsLetterUnit(rest[0]) && rest[1] == L':' && (left == 2 || IsPathSeparator(rest[2])))
        return false;
    if (left >= 4 && StartsWithWord(rest, left, "UNC") && IsPathSeparator(rest[3])) return false;
    return true;
}

// Whether a last path name is a device name: the name up to its first '.'
// or ':', without the blanks before that, is one of the system's devices.
bool IsDeviceName(const wchar_t* name, size_t n) {
    size_t end = 0;
    while (end < n && name[end] != L'.' && name[end] != L':') ++end;
    while (end > 0 && name[end - 1] == L' ') --end;
    switch (end) {
    case 3:
        return StartsWithWord(name, end, "CON") || StartsWithWord(name, end, "PRN") ||
               StartsWithWord(name, end, "AUX") || StartsWithWord(name, end, "NUL");
    case 4: {
        if (!StartsWithWord(name, end, "COM") && !StartsWithWord(name, end, "LPT")) return false;
        const wchar_t digit = name[3];
        // The superscript one, two and three count as the digits.
        return (digit >= L'1' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
    }
    case 6:
        return StartsWithWord(name, end, "CONIN$");
    case 7:
        return StartsWithWord(name, end, "CONOUT$");
    default:
        return false;
    }
}

// A handle kept only when it is a disk's: any other is closed again.
HANDLE KeepDiskHandle(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE || IsDiskHandle(handle)) return handle;
    CloseHandle(handle);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

// True when any of the paths is refused as a device's.
bool RefuseDevices(std::initializer_list<const RawString*> paths) {
    for (const RawString* path : paths) {
        if (RefuseDevicePath(*path)) return true;
    }
    return false;
}

}  // namespace

bool RefuseDevicePath(const RawString& path) {
    if (!IsDevicePath(path)) return false;
    SetLastError(ERROR_ACCESS_DENIED);
    return true;
}

bool IsDevicePath(const RawString& path) {
    if (path.IsEmpty()) return false;
    WideText wide(path);
    // Text that has no UTF-16 form cannot be handed to the system at all.
    if (!wide.Ok()) return false;
    const wchar_t* p = wide.Get();
    size_t n = 0;
    while (p[n] != 0) ++n;  // the system reads up to the first NUL
    if (InDeviceNamespace(p, n)) return true;
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
        if (IsPathSeparator(p[i])) start = i + 1;
    }
    // "C:COM1" names COM1 in the drive's current folder.
    if (start == 0 && n >= 2 && IsLetterUnit(p[0]) && p[1] == L':') start = 2;
    return IsDeviceName(p + start, n - start);
}

bool IsDiskHandle(HANDLE handle) {
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetFileType(handle) == FILE_TYPE_DISK;
}

HANDLE ApiCreateFile(const RawString& path, DWORD access, DWORD share, DWORD disposition,
                     DWORD flagsAndAttributes) {
    // Opening a device may have effects of its own, or wait: its name is
    // refused first, and whatever else turns out not to be a disk's after
    // the open (a pipe, say) is closed at once.
    if (RefuseDevices({&path})) return INVALID_HANDLE_VALUE;
    if (PathTakesAnsi(path)) {
        return KeepDiskHandle(CreateFileA(AnsiText(path), access, share, nullptr, disposition,
                                          flagsAndAttributes, nullptr));
    }
    WidePath p(path);
    if (PathsFailed({&p})) return INVALID_HANDLE_VALUE;
    return KeepDiskHandle(
        CreateFileW(p.Get(), access, share, nullptr, disposition, flagsAndAttributes, nullptr));
}

bool ApiMoveFileEx(const RawString& existing, const RawString& target, DWORD flags) {
    if (RefuseDevices({&existing, &target})) return false;
    if (PathsTakeAnsi(ApiKindPair(existing, target), {&existing, &target})) {
        return MoveFileExA(AnsiText(existing), AnsiText(target), flags) != FALSE;
    }
    WidePath e(existing), t(target);
    if (PathsFailed({&e, &t})) return false;
    return MoveFileExW(e.Get(), t.Get(), flags) != FALSE;
}

bool ApiReplaceFile(const RawString& replaced, const RawString& replacement,
                    const RawString& backup) {
    if (RefuseDevices({&replaced, &replacement, &backup})) return false;
    if (PathsTakeAnsi(ApiKindTriple(replaced, replacement, backup), {&replaced, &replacement, &backup})) {
        return ReplaceFileA(AnsiText(replaced), AnsiText(replacement),
                            backup.IsEmpty() ? nullptr : backup.Bytes(), 0, nullptr,
                            nullptr) != FALSE;
    }
    WidePath a(replaced), b(replacement), c(backup);
    if (PathsFailed({&a, &b, &c})) return false;
    return ReplaceFileW(a.Get(), b.Get(), c.GetOrNull(), 0, nullptr, nullptr) != FALSE;
}

bool IsDeletablePath(const RawString& path) {
    WideText wide(path);
    if (!wide.Ok()) return false;
    const wchar_t* p = wide.Get();
    size_t n = 0;
    while (p[n] != 0) ++n;  // the path up to its first NUL
    if (n == 0) return false;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == L'*' || p[i] == L'?') return false;
    }
    size_t rest;
    wchar_t d = p[0];
    if (n >= 3 && ((d >= L'A' && d <= L'Z') || (d >= L'a' && d <= L'z')) && p[1] == L':' &&
        IsPathSeparator(p[2])) {
        rest = 3;
    } else if (n >= 2 && IsPathSeparator(p[0]) && IsPathSeparator(p[1])) {
        // \\server\share: both names must be there; they are the root.
        size_t i = 2;
        for (int part = 0; part < 2; ++part) {
            size_t start = i;
            while (i < n && !IsPathSeparator(p[i])) ++i;
            if (i == start) return false;
            if (part == 0) {
                if (i >= n) return false;
                ++i;
            }
        }
        rest = i;
    } else {
        return false;  // relative, drive-relative or rooted without a drive
    }
    // The names after the root: at least one, none of them "." or ".." (nor a
    // name of dots and blanks only, which the system trims to nothing).
    int names = 0;
    size_t i = rest;
    while (i < n) {
        while (i < n && IsPathSeparator(p[i])) ++i;
        size_t start = i;
        bool onlyDots = true;
        while (i < n && !IsPathSeparator(p[i])) {
            if (p[i] != L'.' && p[i] != L' ') onlyDots = false;
            ++i;
        }
        if (i == start) break;
        if (onlyDots) return false;
        ++names;
    }
    return names > 0;
}

namespace {

// A delete by the shell (the ANSI or the wide entry point) of double-NUL
// lists; false when it failed or was aborted.
template <class Op, class Chars>
bool ShellDelete(int(WINAPI* run)(Op*), Chars from, Chars to, uint16_t flags) {
    Op op = {};
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = from;
    op.pTo = to;
    op.fFlags = flags;
    op.fAnyOperationsAborted = FALSE;
    int result = run(&op);
    return result == 0 && !op.fAnyOperationsAborted;
}

}  // namespace

bool ApiShFileOperation(const RawString& path, const RawString& target, uint16_t flags) {
    if (RefuseDevices({&path, &target})) return false;
    if (!IsDeletablePath(path)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // The shell's file operations take no path of MAX_PATH units or more.
    {
        WideText w(path);
        if (w.Ok() && w.Text().Length() >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
    }
    if (TakesAnsi(ApiKindPair(path, target))) {
        RawString from = MakeDoubleNulPath(path);
        RawString to = target.IsEmpty() ? RawString() : MakeDoubleNulPath(target);
        return ShellDelete(SHFileOperationA, from.Bytes(), target.IsEmpty() ? nullptr : to.Bytes(), flags);
    }
    WideText p(path), t(target);
    if (ConversionFailed({&p, &t})) return false;
    RawString from = MakeDoubleNulPath(p.Text());
    RawString to = target.IsEmpty() ? RawString(KindUtf16) : MakeDoubleNulPath(t.Text());
    return ShellDelete(SHFileOperationW, from.Wide(), target.IsEmpty() ? nullptr : to.Wide(), flags);
}

HANDLE ApiShellExecute(const RawString& verb, const RawString& file, const RawString& parameters,
                       const RawString& folder, int show) {
    // With no file the parameters name what to open, and none are passed.
    const RawString& what = file.IsEmpty() ? parameters : file;
    const RawString& args = file.IsEmpty() ? RawString::Empty() : parameters;
    if (what.IsEmpty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    const ULONG mask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI;
    if (TakesAnsi(ApiKindTriple(file, parameters, folder))) {
        RawString ansiVerb = TakesAnsi(verb) ? verb : verb.As(KindAnsi);
        SHELLEXECUTEINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = mask;
        info.hwnd = nullptr;
        info.lpVerb = ansiVerb.IsEmpty() ? nullptr : ansiVerb.Bytes();
        info.lpFile = what.Bytes();
        info.lpParameters = args.IsEmpty() ? nullptr : args.Bytes();
        info.lpDirectory = folder.IsEmpty() ? nullptr : folder.Bytes();
        info.nShow = show;
        if (!ShellExecuteExA(&info)) return nullptr;
        return info.hProcess;
    }
    WideText v(verb), w(what), a(args), f(folder);
    if (ConversionFailed({&v, &w, &a, &f})) return nullptr;
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = mask;
    info.hwnd = nullptr;
    info.lpVerb = v.GetOrNull();
    info.lpFile = w.Get();
    info.lpParameters = a.GetOrNull();
    info.lpDirectory = f.GetOrNull();
    info.nShow = show;
    if (!ShellExecuteExW(&info)) return nullptr;
    return info.hProcess;
}

HWND ApiCreateWindow(DWORD exStyle, const RawString& className, const RawString& windowName,
                     DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* createParameter) {
    if (TakesAnsi(ApiKindPair(className, windowName))) {
        return CreateWindowExA(exStyle, AnsiText(className), AnsiText(windowName), style, x, y,
                               width, height, parent, menu, instance, createParameter);
    }
    WideText c(className), n(windowName);
    if (ConversionFailed({&c, &n})) return nullptr;
    return CreateWindowExW(exStyle, c.Get(), n.Get(), style, x, y, width, height, parent, menu,
                           instance, createParameter);
}

ATOM ApiRegisterClass(HINSTANCE instance, HICON icon, HCURSOR cursor, const RawString& menuName,
                      const RawString& className, HICON smallIcon, WNDPROC procedure) {
    WideText menu(menuName), name(className);
    if (ConversionFailed({&menu, &name})) return 0;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW;
    wc.lpfnWndProc = procedure;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszMenuName = menu.GetOrNull();
    wc.lpszClassName = name.Get();
    wc.hIconSm = smallIcon;
    return RegisterClassExW(&wc);
}

bool ApiInsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR id, const RawString& text) {
    if (TakesAnsi(text)) {
        return InsertMenuA(menu, position, flags, id, AnsiText(text)) != FALSE;
    }
    WideText t(text);
    if (ConversionFailed({&t})) return false;
    return InsertMenuW(menu, position, flags, id, t.Get()) != FALSE;
}

// ---- measuring -------------------------------------------------------------------------

namespace {

// One character of an 8-bit range measured through the wide entry point:
// its bytes and the index after its last UTF-16 unit.
struct CharSpan {
    int32_t byteStart;
    int32_t byteCount;
    int32_t unitEnd;
};

// The characters of an 8-bit range decoded to UTF-16. They cover exactly the
// range's bytes: a malformed byte, or a character cut by the range end, is
// one replacement character of one byte.
struct DecodedRange {
    std::vector<wchar_t> wide;
    std::vector<CharSpan> chars;

    void Add(int32_t byteStart, int32_t byteCount, const wchar_t* units, int count) {
        for (int i = 0; i < count; ++i) wide.push_back(units[i]);
        chars.push_back(CharSpan{byteStart, byteCount, static_cast<int32_t>(wide.size())});
    }
};

void DecodeUtf8Range(const uint8_t* p, int32_t n, DecodedRange& out) {
    for (int32_t b = 0; b < n;) {
        uint32_t cp = 0;
        int len = DecodeUtf8(p + b, n - b, cp);
        if (len == 0) {
            len = 1;
            cp = 0xFFFD;
        }
        wchar_t units[2];
        int count = 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            units[0] = static_cast<wchar_t>(0xD800 + (cp >> 10));
            units[1] = static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            count = 2;
        } else {
            units[0] = static_cast<wchar_t>(cp);
        }
        out.Add(b, len, units, count);
        b += len;
    }
}

void DecodeSjisRange(const uint8_t* p, int32_t n, DecodedRange& out) {
    for (int32_t b = 0; b < n;) {
        uint8_t lead = p[b];
        bool twoBytes = ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEF)) && b + 1 < n;
        wchar_t units[4];
        int count = 0;
        int len = twoBytes ? 2 : 1;
        count = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(p + b),
                                    len, units, 4);
        if (count <= 0 && len == 2) {
            len = 1;  // a lead byte without a valid trail stands alone
            count = 0;
        }
        if (count <= 0) {
            units[0] = 0xFFFD;
            count = 1;
        }
        out.Add(b, len, units, count);
        b += len;
    }
}

// Measures decoded characters with GetTextExtentExPointW and hands back fit
// count and extents in bytes of the range (n bytes). Outputs stay untouched
// when the platform fails.
bool MeasureDecoded(HDC dc, DecodedRange& decoded, int32_t n, int maxExtent, int* fit,
                    int* extents, SIZE* size) {
    const int units = static_cast<int>(decoded.wide.size());
    decoded.wide.push_back(0);
    std::vector<int> unitExtents(static_cast<size_t>(units) + 1, 0);
    int unitFit = 0;
    SIZE measured = {0, 0};
    if (!GetTextExtentExPointW(dc, decoded.wide.data(), units, maxExtent,
                               fit != nullptr ? &unitFit : nullptr,
                               extents != nullptr ? unitExtents.data() : nullptr, &measured)) {
        return false;
    }
    if (size != nullptr) *size = measured;
    if (extents != nullptr) {
        // Every byte of a character gets the extent up to the end of that
        // character (for a surrogate pair: after its low half).
        for (const CharSpan& c : decoded.chars) {
            int value = c.unitEnd > 0 ? unitExtents[static_cast<size_t>(c.unitEnd - 1)] : 0;
            for (int32_t k = 0; k < c.byteCount; ++k) extents[c.byteStart + k] = value;
        }
    }
    if (fit != nullptr) {
        // The bytes of the whole characters among the fitting units; a
        // surrogate pair whose low half does not fit does not fit at all.
        int32_t bytes = n;
        if (unitFit < units) {
            for (const CharSpan& c : decoded.chars) {
                if (c.unitEnd > unitFit) {
                    bytes = c.byteStart;
                    break;
                }
            }
        }
        *fit = bytes;
    }
    return true;
}

}  // namespace

bool ApiTextExtent(HDC dc, const RawString& text, int32_t first, int32_t end, int maxExtent,
                   int* fit, int* extents, SIZE* size) {
    RawRange range = text.ClampEnd(RawRange{first, end});
    int count = range.end - range.start;
    SIZE local = {0, 0};
    SIZE* out = size != nullptr ? size : &local;
    int code = ApiKindOfRange(text, range);
    if (TakesAnsi(code)) {
        // The ANSI entry point converts by the font's character set and maps
        // its extents back by the ANSI code page's lead bytes; where the two
        // disagree it can report more entries (and a larger fit) than there
        // are bytes. Take its answer through a roomy scratch array, clamped.
        const char* p = text.IsEmpty() ? "" : text.Bytes() + range.start;
        std::vector<int> scratch(extents != nullptr ? static_cast<size_t>(count) * 2 + 2 : 0);
        int localFit = 0;
        if (!GetTextExtentExPointA(dc, p, count, maxExtent, fit != nullptr ? &localFit : nullptr,
                                   extents != nullptr ? scratch.data() : nullptr, out)) {
            return false;
        }
        if (extents != nullptr) std::copy(scratch.begin(), scratch.begin() + count, extents);
        if (fit != nullptr) *fit = std::min(std::max(localFit, 0), count);
        return true;
    }
    if (code == ApiKindWide) {
        return GetTextExtentExPointW(dc, text.Wide() + range.start, count, maxExtent, fit, extents,
                                     out) != FALSE;
    }
    if (text.Kind() == KindUtf8) {
        return ApiTextExtentUtf8(dc, text, range.start, range.end, maxExtent, fit, extents, size);
    }
    if (text.Kind() == KindSjis) {
        // Shift_JIS where the ANSI code page is not 932: measured wide, with
        // the fit count and extents mapped back to bytes.
        DecodedRange decoded;
        DecodeSjisRange(static_cast<const uint8_t*>(text.Data()) + range.start, count, decoded);
        return MeasureDecoded(dc, decoded, count, maxExtent, fit, extents, size);
    }
    return false;
}

bool ApiTextExtentUtf8(HDC dc, const RawString& text, int32_t first, int32_t end, int maxExtent,
                       int* fit, int* extents, SIZE* size) {
    if (text.Kind() != KindUtf8) return false;
    RawRange range = text.ClampEnd(RawRange{first, end});
    const int32_t n = range.end - range.start;
    DecodedRange decoded;
    decoded.wide.reserve(static_cast<size_t>(n) + 1);
    decoded.chars.reserve(static_cast<size_t>(n));
    DecodeUtf8Range(static_cast<const uint8_t*>(text.Data()) + range.start, n, decoded);
    return MeasureDecoded(dc, decoded, n, maxExtent, fit, extents, size);
}

// ---- wrappers that return text -------------------------------------------------------

RawString ApiGetModuleFileName(uint8_t kind) {
    return FetchText(
        kind, kFirstFetchUnits,
        [](wchar_t* buffer, uint32_t size) -> uint32_t { return GetModuleFileNameW(nullptr, buffer, size); },
        [](char* buffer, uint32_t size) -> uint32_t { return GetModuleFileNameA(nullptr, buffer, size); });
}

RawString ApiGetTempPath(uint8_t kind) {
    bool viaAnsi = kind != KindUtf16 && KindFitsAnsiApi(kind);
    if (viaAnsi) {
        RawString text = FetchText(
            kind, kFirstFetchUnits, [](wchar_t*, uint32_t) -> uint32_t { return 0; },
            [](char* buffer, uint32_t size) -> uint32_t { return GetTempPathA(size, buffer); });
        if (AnsiEndsWithSeparator(text.Bytes(), text.Length())) {
            return RawString::InitBodyFromRange(kind, text, RawRange{0, text.Length() - 1});
        }
        return text;
    }
    RawString wide = FetchText(
        KindUtf16, kFirstFetchUnits,
        [](wchar_t* buffer, uint32_t size) -> uint32_t { return GetTempPathW(size, buffer); },
        [](char*, uint32_t) -> uint32_t { return 0; });
    if (!wide.IsEmpty()) {
        uint32_t last = wide.UnitAt(wide.Length() - 1);
        if (IsPathSeparator(last)) {
            wide = RawString::InitBodyFromRange(KindUtf16, wide, RawRange{0, wide.Length() - 1});
        }
    }
    if (kind == KindUtf16 || wide.IsEmpty()) return kind == KindUtf16 ? wide : RawString(kind);
    bool ok = true;
    RawString converted = wide.As(kind, &ok);
    return ok ? converted : RawString(kind);
}

RawString ApiGetCurrentDirectory(uint8_t kind) {
    return FetchText(
        kind, kFirstFetchUnits,
        [](wchar_t* buffer, uint32_t size) -> uint32_t { return GetCurrentDirectoryW(size, buffer); },
        [](char* buffer, uint32_t size) -> uint32_t { return GetCurrentDirectoryA(size, buffer); });
}

RawString ApiGetSpecialFolder(int csidl, uint8_t kind) {
    // The shell fills a buffer of MAX_PATH units and reports no length: the
    // text ends at the first NUL, and a failed call leaves the buffer empty.
    // The buffer offered is MAX_PATH + 2 units, so a full-length path still
    // counts as complete.
    auto wide = [csidl](wchar_t* buffer, uint32_t size) -> uint32_t {
        if (size < MAX_PATH + 2 || !SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return 0;
        buffer[MAX_PATH] = 0;
        uint32_t n = 0;
        while (buffer[n] != 0) ++n;
        return n;
    };
    auto ansi = [csidl](char* buffer, uint32_t size) -> uint32_t {
        if (size < MAX_PATH + 2 || !SHGetSpecialFolderPathA(nullptr, buffer, csidl, FALSE)) return 0;
        buffer[MAX_PATH] = 0;
        uint32_t n = 0;
        while (buffer[n] != 0) ++n;
        return n;
    };
    return FetchText(kind, MAX_PATH + 2, wide, ansi);
}

RawString ApiGetWindowText(HWND window, uint8_t kind) {
    // Ask for the length first so that a long text is read whole; the buffer
    // still grows when the text was longer than reported.
    if (kind != KindUtf16 && KindFitsAnsiApi(kind)) {
        uint32_t first = static_cast<uint32_t>(std::max(GetWindowTextLengthA(window), 0)) + 2;
        return FetchText(
            kind, first, [](wchar_t*, uint32_t) -> uint32_t { return 0; },
            [window](char* buffer, uint32_t size) -> uint32_t {
                int n = GetWindowTextA(window, buffer, static_cast<int>(size));
                return n > 0 ? static_cast<uint32_t>(n) : 0;
            });
    }
    uint32_t first = static_cast<uint32_t>(std::max(GetWindowTextLengthW(window), 0)) + 2;
    return FetchText(
        kind, first,
        [window](wchar_t* buffer, uint32_t size) -> uint32_t {
            int n = GetWindowTextW(window, buffer, static_cast<int>(size));
            return n > 0 ? static_cast<uint32_t>(n) : 0;
        },
        [](char*, uint32_t) -> uint32_t { return 0; });
}

RawString ApiDragQueryFile(HDROP drop, UINT index, uint8_t kind) {
    if (kind != KindUtf16 && KindFitsAnsiApi(kind)) {
        uint32_t first = DragQueryFileA(drop, index, nullptr, 0) + 2;
        return FetchText(
            kind, first, [](wchar_t*, uint32_t) -> uint32_t { return 0; },
            [drop, index](char* buffer, uint32_t size) -> uint32_t {
                return DragQueryFileA(drop, index, buffer, size);
            });
    }
    uint32_t first = DragQueryFileW(drop, index, nullptr, 0) + 2;
    return FetchText(
        kind, first,
        [drop, index](wchar_t* buffer, uint32_t size) -> uint32_t {
            return DragQueryFileW(drop, index, buffer, size);
        },
        [](char*, uint32_t) -> uint32_t { return 0; });
}

}  // namespace RawLayer

// Win32 calls that take or return text.
//
// Every platform call of both programs that passes or receives text goes
// through one of these wrappers. A wrapper looks at the encoding kind of each
// RawString it is given and calls either the ANSI ("A") entry point with the
// string's own bytes, or the wide ("W") entry point, converting to UTF-16
// first when the text is in neither form. No wrapper keeps state.
//
// The choice, per string (ApiKind):
//   3 empty text (any kind)                       -> ANSI entry point
//   1 UTF-16 in memory (kind 7)                   -> wide entry point
//   0 ANSI (kind 0), Shift_JIS (kind 1) while the
//     ANSI code page is 932, or UTF-8 whose every
//     byte is at most 126                         -> ANSI entry point
//   2 anything else                               -> convert, wide entry point
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "base/raw_string.h"

namespace RawLayer {

// API kinds of a string (see above).
enum : int {
    ApiKindAnsi = 0,
    ApiKindWide = 1,
    ApiKindConvert = 2,
    ApiKindEmpty = 3
};

// One UTF-8 character at p (at most `left` bytes, at least one): its byte
// length and its code point, or 0 when the bytes do not start a well-formed
// character (no overlong forms, surrogates or values above U+10FFFF).
int DecodeUtf8(const uint8_t* p, int32_t left, uint32_t& cp);

// The API kind of one string.
int ApiKind(const RawString& text);
// The API kind of the units [range) of a string, for a call that takes only
// those: as ApiKind, but UTF-8 is judged by the range's own bytes, so that
// measuring or drawing a piece of a long line costs the piece, not the line.
// 7-bit characters come out the same through either entry point.
int ApiKindOfRange(const RawString& text, RawRange range);
// Two strings: 2 when either needs a conversion; 0 when both take the ANSI
// entry point (codes 0 or 3); 1 when both are UTF-16 or empty (not both
// empty); 2 when one is ANSI and the other UTF-16 (both are then converted).
int ApiKindPair(const RawString& a, const RawString& b);
// Three strings, the same rule generalised.
int ApiKindTriple(const RawString& a, const RawString& b, const RawString& c);
// Whether an API kind takes the ANSI entry point (codes 0 and 3), and
// whether one string does.
inline bool TakesAnsi(int code) { return code == ApiKindAnsi || code == ApiKindEmpty; }
inline bool TakesAnsi(const RawString& text) { return TakesAnsi(ApiKind(text)); }

// ---- small string helpers for platform buffers -----------------------------

// An empty private kind-7 string that owns a buffer of at least `units`
// units (at least one) besides the terminator, for a platform call to fill.
RawString WideBuffer(int32_t units = 1);
// Sets the string's length to the position of the first NUL unit in its
// buffer (at most its capacity) and writes the terminator there.
void SyncLength(RawString& text);
// The path followed by two NUL units, as the shell's file operations want a
// path list: a string of the path's kind whose length is the path's length
// (up to its first NUL unit) plus one, the unit at that position being NUL and
// the string's own terminator the second NUL.
RawString MakeDoubleNulPath(const RawString& path);
// Copies a face name into LOGFONTW::lfFaceName: at most LF_FACESIZE - 1 (31)
// units, never splitting a surrogate pair, always terminated. A name of
// another kind is converted to UTF-16 first.
void CopyFaceName(LOGFONTW& font, const RawString& name);
void CopyFaceName(LOGFONTW& font, const wchar_t* name);

// ---- paths -------------------------------------------------------------------

// The longest path, in bytes, that goes to an ANSI entry point: the ANSI
// file functions take at most MAX_PATH units with the terminator, and
// CreateDirectoryA 12 fewer. A longer path goes to the wide entry point,
// which has no such limit.
enum : int32_t { AnsiPathLimit = MAX_PATH - 12 };
// Whether the path wrappers hand a path to an ANSI entry point: its API
// kind takes the ANSI one and it is shorter than AnsiPathLimit bytes, also
// once the system has made it absolute (a relative path counts the current
// folder too).
bool PathTakesAnsi(const RawString& path);
// The UTF-16 form of a path for a wide entry point. A path of
// AnsiPathLimit units or more (counted as for PathTakesAnsi) gets the form
// the system takes at any length:
// made absolute and normalised (backslashes, "." and ".." resolved, as the
// system resolves them for a plain path) and prefixed with "\\?\" (or
// "\\?\UNC\" for a network path). A path in the "\\?\", "\\.\" or
// "\??\" form stays as it is, and so does a shorter path. False when the
// text has no UTF-16 form.
bool WidePathForApi(const RawString& path, RawString& wide);
// Whether a path is too long for the system in any form: a path of more
// than 32767 UTF-16 units, or one with a name of more than 255.
bool PathTooLongForSystem(const RawString& path);

// ---- wrappers that pass text in ----------------------------------------------

// Every wrapper below that takes a path chooses by PathTakesAnsi (for two
// or three paths: all of them), and hands the wide entry point the form of
// WidePathForApi, so that a path of any length reaches the file it names.

// ---- devices -------------------------------------------------------------------

// Whether a path names a device rather than a file or folder on a disk. The
// system opens a device for a path in its device namespace ("\\.\...", and
// "\\?\..." or "\??\..." unless a drive or a network share follows), and
// for a path whose last name is a device name (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9, also with the digits 1, 2 and 3 as superscripts,
// CONIN$ and CONOUT$) in any folder, in any letter case, with any extension,
// with blanks before the extension or with a ':' after it. Reading a serial
// port waits for data that may never come, so nothing of either program
// opens such a path: the wrappers below that open, create, move, replace,
// delete or change a path refuse it before the system is called (false or
// INVALID_HANDLE_VALUE, last error ERROR_ACCESS_DENIED). Only the name is
// looked at; nothing is opened.
bool IsDevicePath(const RawString& path);
// A wrapper's refusal of a device path: true, with ERROR_ACCESS_DENIED as
// the last error, when IsDevicePath holds.
bool RefuseDevicePath(const RawString& path);
// Whether an open handle is a file or folder of a disk (GetFileType), not a
// pipe, a console, a port or another device.
bool IsDiskHandle(HANDLE handle);

// MessageBoxA/W without an owner, style MB_ICONEXCLAMATION: the pressed
// button's id (0 on failure).
int ApiMessageBox(const RawString& text, const RawString& caption);
// CreateFileA/W without security attributes or template. A device path
// is refused before the call, and a handle that is not a disk file's or
// folder's is closed again: INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED.
HANDLE ApiCreateFile(const RawString& path, DWORD access, DWORD share, DWORD disposition,
                     DWORD flagsAndAttributes);
// MoveFileExA/W; a device path on either side is refused.
bool ApiMoveFileEx(const RawString& existing, const RawString& target, DWORD flags);
// ReplaceFileA/W, replace flags 0; the backup path is passed as null when
// empty. A device path among the three is refused.
bool ApiReplaceFile(const RawString& replaced, const RawString& replacement,
                    const RawString& backup);
// SHFileOperationA/W with FO_DELETE on the one path and the given flags
// (the backup store passes 0x454: to the recycle bin without questions).
// Empty, relative and root paths, paths with wildcards, paths with "." or
// ".." parts and device paths are refused without calling the shell (false). The target is
// passed as null when empty. True only when the shell returns 0 and reports
// no aborted operation.
bool ApiShFileOperation(const RawString& path, const RawString& target, uint16_t flags);
// True when the path may be handed to a shell delete: absolute ("X:\..." or
// "\\server\share\..."), with at least one name beyond the root, without
// wildcards and without "." or ".." parts.
bool IsDeletablePath(const RawString& path);
// ShellExecuteExA/W with mask SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST |
// SEE_MASK_FLAG_NO_UI and no owner. An empty verb is passed as null; with an
// empty file the parameters take the file's place and none are passed. The
// process handle (the caller closes it), or null when the call failed or
// started no process.
HANDLE ApiShellExecute(const RawString& verb, const RawString& file, const RawString& parameters,
                       const RawString& folder, int show);
// CreateWindowExA/W, choosing by the pair (class name, window name).
HWND ApiCreateWindow(DWORD exStyle, const RawString& className, const RawString& windowName,
                     DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* createParameter);
// RegisterClassExW only (names are converted to UTF-16 when they come in
// another kind): class style CS_VREDRAW | CS_HREDRAW, the given window
// procedure, no extra bytes, background COLOR_BTNFACE + 1; the menu name is
// null when empty. The class atom (0 on failure).
ATOM ApiRegisterClass(HINSTANCE instance, HICON icon, HCURSOR cursor, const RawString& menuName,
                      const RawString& className, HICON smallIcon, WNDPROC procedure);
bool ApiInsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR id, const RawString& text);

// GetTextExtentExPointA/W over the units [first, end) of the text (the range
// is clamped). UTF-8 that needs a conversion goes to ApiTextExtentUtf8;
// Shift_JIS where the ANSI code page is not 932 is measured wide the same way
// (counts mapped back to bytes); any other text that needs a conversion is
// not measured (false). Fit count and extents count units of the string's
// own kind; `extents` must hold end - first entries. True on success.
bool ApiTextExtent(HDC dc, const RawString& text, int32_t first, int32_t end, int maxExtent,
                   int* fit, int* extents, SIZE* size);
// Measures UTF-8 bytes [first, end) of a kind-2 string through the wide entry
// point. Fit and extents count bytes: `extents` (when given) receives exactly
// end - first entries, each byte of a character the extent up to the end of
// that character; `fit` (when given) the bytes of the whole characters that
// fit. A malformed byte, or a character cut by the range end, counts as one
// character of its own. False (outputs untouched) when the platform fails.
bool ApiTextExtentUtf8(HDC dc, const RawString& text, int32_t first, int32_t end, int maxExtent,
                       int* fit, int* extents, SIZE* size);

// ---- wrappers that return text ------------------------------------------------
// Each returns a new string of the wanted kind: kind 7 through the wide
// entry point; kinds that fit the ANSI entry point (0, and 1 while the ANSI
// code page is 932) through the ANSI one; any other kind fetched as UTF-16
// and converted. Texts are read at their full length (the buffer grows as
// needed); a failed call gives an empty string.

RawString ApiGetModuleFileName(uint8_t kind);
// The temporary folder without one trailing backslash or slash.
RawString ApiGetTempPath(uint8_t kind);
RawString ApiGetCurrentDirectory(uint8_t kind);
// SHGetSpecialFolderPathA/W for a CSIDL value; never creates the folder.
// Empty when the folder is not known.
RawString ApiGetSpecialFolder(int csidl, uint8_t kind);
RawString ApiGetWindowText(HWND window, uint8_t kind);
RawString ApiDragQueryFile(HDROP drop, UINT index, uint8_t kind);

}  // namespace RawLayer

// File system services on top of the Win32 text wrappers: folders created
// with their missing parents, whole folder trees deleted, one file copied with
// its last-write time and attributes, a holder of one open file handle, and a
// filtered folder enumeration.
//
// Paths are RawStrings of any encoding kind. Each platform call takes the
// ANSI or the wide entry point by the string's API kind (see api_text.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "base/raw_string.h"

namespace RawLayer {

// The deepest nesting the folder-tree walks enter: deeper trees are not
// walked (no real volume nests this deep by plain folders, and the walks stay
// bounded whatever a volume reports).
enum : int { MaxTreeDepth = 256 };

// ---- one-string wrappers -----------------------------------------------------

// GetFileAttributesA/W; INVALID_FILE_ATTRIBUTES when the path finds nothing.
// For a path whose name is a device's (IsDevicePath, api_text.h) the
// system would answer for the device: the answer is that of the entry of
// that name in the folder's listing instead (ERROR_FILE_NOT_FOUND when the
// folder holds none; a path in the device namespace names no entry and is
// refused, ERROR_ACCESS_DENIED).
DWORD ApiGetFileAttributes(const RawString& path);
// SetFileAttributesA/W. The four wrappers that change a path refuse a
// device path (false, ERROR_ACCESS_DENIED) before the system is called.
bool ApiSetFileAttributes(const RawString& path, DWORD attributes);
// CreateDirectoryA/W without security attributes.
bool ApiCreateDirectory(const RawString& path);
// RemoveDirectoryA/W (removes an empty folder, or a junction or folder link
// itself without touching its target).
bool ApiRemoveDirectory(const RawString& path);
// DeleteFileA/W (removes a file link itself, not its target).
bool ApiDeleteFile(const RawString& path);

// The long form of a path: each short (8.3) name in the part of the path
// that exists is spelled out as its folder lists it, the rest is kept as
// given. A short name is only an alias, and some systems write a file of
// the alias's literal name when a file is replaced through it, so every
// path a compare job is given is taken in this form. A path without a
// short name comes back as it is (same text, same kind); the long form
// comes in the path's kind when that holds it, else in UTF-16.
RawString LongPathForm(const RawString& path);

// ---- folders -------------------------------------------------------------------

// Creates the folder with every missing parent. True when the path is a
// folder afterwards, whether it ends in a separator or not; an existing file
// of that name gives false. A relative name whose parents cannot be found
// gives false.
bool ApiCreateDirectoryTree(const RawString& path);

// Deletes a folder with everything inside it. True when the folder is gone
// (also when it did not exist; a relative path that names nothing is gone
// already). Refuses (false, nothing touched) an empty path, a relative or
// drive-relative path that names an entry, a root path, a path with
// wildcards and a path with "." or ".." parts, and a path that names a
// file. A short (8.3) name is taken in its long form. Junctions and folder
// links are removed themselves and never entered (a path that is itself such
// a link loses only the link); where the system would follow a link even
// for its removal, the link is left and counts as a failure. A read-only
// file, or one held open by someone else, is left too. Deletes as much as it
// can: every folder that still holds an entry stays, the result is false and
// `failedPath` (when given) receives the first path that failed, with the
// platform's reason in GetLastError.
bool DeleteFolderTree(const RawString& path, RawString* failedPath = nullptr);

// ---- one open file -------------------------------------------------------------

class RawFileHandle {
public:
    RawFileHandle();
    // Flushes a file opened for writing, then closes it.
    ~RawFileHandle();
    RawFileHandle(const RawFileHandle&) = delete;
    RawFileHandle& operator=(const RawFileHandle&) = delete;

    // Closes the open handle (no flush), then opens the path for reading:
    // share read and write, OPEN_EXISTING. True when the handle is open.
    bool OpenRead(const RawString& path);
    // The same for writing: share read, CREATE_ALWAYS.
    bool OpenWrite(const RawString& path);
    // Closes the open handle (no flush) and opens with the given values.
    bool Open(const RawString& path, DWORD access, DWORD share, DWORD disposition,
              DWORD flagsAndAttributes);
    // Flushes a file opened for writing and closes the handle.
    void Close();
    bool Flush();

    // Read and write of one block; the byte count lands in Transferred().
    bool Read(void* buffer, DWORD count);
    bool Write(const void* buffer, DWORD count);
    // The file's size in bytes (64 bits); false when it cannot be read.
    bool Size(uint64_t& size) const;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return handle_; }
    const RawString& Path() const { return path_; }
    DWORD Access() const { return access_; }
    DWORD Transferred() const { return transferred_; }

private:
    void CloseHandleOnly();

    HANDLE handle_;
    RawString path_;
    DWORD access_;
    DWORD transferred_;
};

// ---- copying one file ----------------------------------------------------------

// Status codes of a copy.
enum : uint32_t {
    CopyStatusNone = 0,
    CopyStatusSource = 4,   // the source could not be opened or its attributes read
    CopyStatusTarget = 5,   // the target could not be opened, replaced or given attributes
    CopyStatusRead = 6,     // a read of the source failed
    CopyStatusWrite = 7     // a write failed or the target's time could not be set
};

class RawFileCopier {
public:
    RawFileCopier() = default;
    RawFileCopier(const RawFileCopier&) = delete;
    RawFileCopier& operator=(const RawFileCopier&) = delete;

    uint32_t status = CopyStatusNone;
    RawString failedPath;       // source for 4 and 6, target for 5 and 7
    uint32_t bufferSize = 16384;
    std::unique_ptr<uint8_t[]> buffer;  // made at the first copy, kept
    uint64_t fileSize = 0;
    uint64_t copied = 0;
    FILETIME writeTime = {0, 0};
    DWORD attributes = INVALID_FILE_ATTRIBUTES;

    void Fail(uint32_t code, const RawString& path) {
        status = code;
        failedPath = path;
    }
};

// Copies the source's bytes to the target and gives the target the source's
// last-write time (creation and access times are not copied). The data is
// written to a temporary file beside the target, which then replaces the
// target, so a failed copy leaves a previous target as it was. A target that
// is the source itself (under another letter case, a short name or another
// link) is refused with status 5 before anything is written.
bool CopyFileKeepTimes(RawFileCopier& copier, const RawString& target, const RawString& source);

// Gives the target the source's read-only, hidden and system bits (and
// clears them when the source lacks them); no other bit is carried.
bool CopyFileAttributes(RawFileCopier& copier, const RawString& target, const RawString& source);

// ---- folder enumeration --------------------------------------------------------

// Entry filter bits of RawFileFind::Next; an entry is skipped when any set
// bit rejects it.
enum : uint32_t {
    FindSkipFolders = 0x01,       // folders
    FindSkipPlainFiles = 0x02,    // everything but folders and shortcut files
    FindSkipShortcuts = 0x04,     // names ending in ".lnk"
    FindSkipDots = 0x10,          // "." and ".."
    FindSkipSystem = 0x20,        // FILE_ATTRIBUTE_SYSTEM
    FindSkipHidden = 0x40,        // FILE_ATTRIBUTE_HIDDEN
    FindSkipReadOnly = 0x80       // FILE_ATTRIBUTE_READONLY
};

RAW_CONSTANT_TEXT(LnkExtensionText, ".lnk")

class RawFileFind {
public:
    RawFileFind();
    // Starts on a folder (Start), or with a full search pattern when
    // `fullPattern` is set (StartPattern).
    explicit RawFileFind(const RawString& path, bool fullPattern = false);
    ~RawFileFind();
    RawFileFind(const RawFileFind&) = delete;
    RawFileFind& operator=(const RawFileFind&) = delete;

    // Searches every entry of a folder: the folder loses one trailing
    // separator and the pattern is the folder joined with "*.*".
    void Start(const RawString& folder);
    // Searches with a pattern as given; the folder is its folder part.
    void StartPattern(const RawString& pattern);
    // Advances to the next entry that passes the filter mask; false when
    // the enumeration has ended.
    bool Next(uint32_t mask);
    void Close();

    DWORD Attributes() const { return attributes_; }
    bool IsFolder() const {
        return attributes_ != INVALID_FILE_ATTRIBUTES && (attributes_ & FILE_ATTRIBUTE_DIRECTORY);
    }
    bool IsReparsePoint() const {
        return attributes_ != INVALID_FILE_ATTRIBUTES &&
               (attributes_ & FILE_ATTRIBUTE_REPARSE_POINT);
    }
    bool IsShortcut() const;
    const FILETIME& WriteTime() const { return writeTime_; }
    const FILETIME& CreationTime() const { return creationTime_; }
    const FILETIME& AccessTime() const { return accessTime_; }
    uint64_t Size() const { return size_; }
    // The entry's name in the folder path's kind; a name that kind cannot
    // hold without loss comes as UTF-16 (kind 7), and so does its full path.
    const RawString& Name() const { return name_; }
    // Folder, a backslash (unless the folder is empty or ends in one) and
    // the name.
    const RawString& FullPath() const { return fullPath_; }
    const RawString& Folder() const { return folder_; }
    const RawString& Pattern() const { return pattern_; }
    bool IsDone() const { return done_ != 0; }

private:
    bool Advance();
    bool Passes(uint32_t mask) const;

    DWORD attributes_;
    FILETIME writeTime_;
    FILETIME creationTime_;
    FILETIME accessTime_;
    uint64_t size_;
    RawString name_;
    RawString fullPath_;
    HANDLE find_;
    uint8_t done_;
    bool started_;
    RawString folder_;
    RawString pattern_;
};

// Looks up the entry that a full path names in its folder's listing; true
// with `find` standing on it. A name the system takes for a device (a file
// "com1.txt" made on another system, say) is searched with a pattern that
// is no device's, so that the entry on disk is found and not the device.
bool FindPathEntry(RawFileFind& find, const RawString& path);

// One entry after another of a search path (a folder joined with a
// pattern). Names come back exactly as the file system has them (through
// the wide entry point), so every entry's path opens, whatever the ANSI
// code page holds.
class RawFolderScan {
public:
    // The first call starts the search, later calls go on; the entry is in
    // the fields. False at the end or on an error.
    bool Next(const RawString& searchPath);

    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    FILETIME creationTime{};
    FILETIME accessTime{};
    FILETIME writeTime{};
    uint64_t size = 0;
    RawString name;
    RawString fullPath;

private:
    RawFileFind find_;
    bool started_ = false;
};

}  // namespace RawLayer

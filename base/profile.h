// Parameter lists and the INI-like profile file format.
//
// RawParameterList is the key/value list of both programs: one section of a
// profile file, or a parsed command line. A profile file is read one section
// at a time through RawLineFile, in any encoding kind, and written back one
// section at a time by rewriting the whole file into "<path>.tmp" and putting
// that in place with ReplaceFile (or MoveFileEx when there was no file). The
// lines of every other section are copied byte for byte, in the file's own
// encoding, with its own line ends and its byte-order mark, unless the file
// has to become UTF-8 to hold a new text (then they are converted, and only
// when each comes back unchanged); a file that cannot be read to its end is
// never rewritten. New files are UTF-8 with a byte-order mark.
//
// Format:
//   [Name]         a section; the name runs to the LAST ']' of the line
//   // text        a comment
//   key=value      an entry: key before the FIRST '=', nothing trimmed;
//                  a line without '=' is a key with an empty value
// Lines before the first section belong to no section. Section names compare
// ASCII case-insensitively; keys by the list's case flag.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"

namespace RawLayer {

class RawLineFile;
struct ProfileFileRef;

// ---------------------------------------------------------------------------
// Parameter units and lists

struct RawParameterUnit {
    RawParameterUnit() : number(0) {}
    explicit RawParameterUnit(const RawString& k) : key(k), number(0) {}
    RawParameterUnit(const RawString& k, const RawString& v) : key(k), value(v), number(0) {}

    RawString key;
    RawString value;
    uint32_t number;  // 0 when made; a cache for the owner's parsed number

    // False only for the value "False" in any ASCII case.
    bool IsTrue() const;
    void SetFalse();
};

class RawParameterListAllocator : public RawListDeleteAllocator<RawParameterUnit> {};

// Orders units by key, code unit by code unit as unsigned values, a key that
// is a prefix of another first.
class RawParameterListSort final : public RawListSortR<RawParameterUnit> {
public:
    int CompareTyped(const RawParameterUnit& a, const RawParameterUnit& b) const override;
};

class RawParameterList : public RawListR<RawParameterListAllocator, RawParameterUnit> {
public:
    // The case flag: set, keys compare exactly; clear, ASCII letters compare
    // without case.
    explicit RawParameterList(bool exactCase = true) : caseFlag_(exactCase ? 1 : 0) {}
    RawParameterList(const RawParameterList& other) = default;  // shares the body
    RawParameterList(RawParameterList&& other) = default;
    RawParameterList& operator=(const RawParameterList& other) = default;
    RawParameterList& operator=(RawParameterList&& other) = default;

    bool ExactCase() const { return caseFlag_ != 0; }
    void SetExactCase(bool exact) { caseFlag_ = exact ? 1 : 0; }
    // Whether two keys are equal by the case flag. Keys of different kinds
    // are compared as text (converted), not as units.
    bool KeyEquals(const RawString& a, const RawString& b) const;

    // The first unit whose key equals the key, or null.
    RawParameterUnit* Find(const RawString& key) const;
    using RawListBody::FindLink;
    // The link of that unit, or the sentinel.
    RawListLink* FindLink(const RawString& key) const;
    using RawListBodyT<RawParameterUnit>::Contains;
    bool Contains(const RawString& key) const { return Find(key) != nullptr; }

    using RawListBodyT<RawParameterUnit>::Add;
    // Appends a unit with a copy of the key and an empty (or the given) value.
    RawParameterUnit* Add(const RawString& key);
    RawParameterUnit* Add(const RawString& key, const RawString& value);
    // The unit with the key (compared as Find does), appended with an empty
    // value when there is none.
    RawParameterUnit* FindOrAdd(const RawString& key);
    // Appends {key, value} without looking for the key, so a key given
    // twice stands twice.
    RawParameterUnit* Append(const RawString& key, const RawString& value) { return Add(key, value); }
    // The first unit whose key has exactly the text's code units, or null.
    RawParameterUnit* FindUnit(const RawString& text) const;
    using RawListBodyT<RawParameterUnit>::InsertBefore;
    // Inserts a unit with the key before a link (the sentinel appends).
    RawParameterUnit* InsertBefore(RawListLink* link, const RawString& key);
    // A new body holding copies of every unit (not a share of this one).
    RawParameterList Copy() const;

    // The value and true, or an empty string and false.
    RawString GetText(const RawString& key, bool* found = nullptr) const;
    // The value as RawString::ToInt reads it ("0x", "0o", "0b" or decimal,
    // with a sign; blanks and tabs around it are dropped): the digits before
    // a bad unit, 0 for an empty value, the low 32 bits of a longer number.
    // The default only when the key is missing.
    int32_t GetInt(const RawString& key, int32_t defaultValue) const;
    // The default when the key is missing; otherwise true unless the value
    // is "False" in any ASCII case (the empty value is true).
    bool GetBool(const RawString& key, bool defaultValue) const;
    // Sets the value, adding the key at the end when missing.
    RawParameterUnit* SetText(const RawString& key, const RawString& value);
    RawParameterUnit* SetInt(const RawString& key, int32_t value);

    // ---- profile files -----------------------------------------------------

    // Clears the list and fills it with the entries of the named section
    // (the first one of that name). True when the section was found; a
    // failure part-way keeps the entries read before it, and `whole`, when
    // given, tells whether the section was read to its end without one. The
    // file ref takes the file's encoding kind and mark.
    bool ReadSection(ProfileFileRef& file, const RawString& section, bool* whole = nullptr);
    // With a reader that stands just after a section line: clears the list
    // and reads the entries up to the next section line, which the reader
    // hands out again on its next ReadLine. True at the next section or the
    // end of the file; false when the reader failed (its state tells why).
    bool ReadEntries(RawLineFile& reader);
    // Reads lines until one opens a section and gives its name. False at
    // the end of the file and on a failure (the reader's state tells which).
    static bool NextSectionLine(RawLineFile& reader, RawString& name);
    // Replaces every section of that name in the file by this list (or
    // appends it when there is none); see profile.cpp. A unit that cannot
    // be written as a line that reads back the same (a line break in key or
    // value, '=' in the key, a key that starts with '[' or "//", text that no
    // kind of the file can hold) is left out and added to `refused`. True
    // when the new file is in place and, without a `refused` list, nothing
    // was left out; the file ref then holds the kind and mark written.
    bool WriteSection(ProfileFileRef& file, const RawString& section,
                      RawParameterList* refused = nullptr) const;

    // Appends the entries of a text of several lines (LF, CR or CR LF):
    // empty lines, "//" comments and section lines are skipped, every other
    // line is split at its first '=' and the units of `trimSet` are taken
    // off both ends of key and value.
    void ParseLine(const RawString& text, const RawString& trimSet = RawString::Empty());

    // Line analysis shared by the reader and the writer.
    // Position of the last ']' of a line; its length when there is none.
    static int32_t SectionEnd(const RawString& line);
    // Whether a line opens a section; its name goes to `name`.
    static bool IsSectionLine(const RawString& line, RawString* name);
    // Whether a line is a comment ("//" first).
    static bool IsCommentLine(const RawString& line);
    // Splits an entry line at its first '=' (key, value; nothing trimmed).
    static void SplitEntry(const RawString& line, RawRange range, const RawString& trimSet,
                           RawString& key, RawString& value);
    // Section names: ASCII case-insensitive, as text across kinds.
    static bool SectionNameEquals(const RawString& a, const RawString& b);

private:
    uint8_t caseFlag_;
};

// ---------------------------------------------------------------------------
// Profile files

// Names one profile file: the path, the chunk size its reader uses, and the
// encoding kind and byte-order-mark flag of the file as last read or
// written (kind 0 until a file was read).
struct ProfileFileRef {
    RawString path;
    uint32_t chunkSize = 8192;
    uint32_t kind = 0;
    uint32_t mark = 0;

    static ProfileFileRef Construct() { return ProfileFileRef(); }
    static ProfileFileRef FromPath(const RawString& path);
    void SetPath(const RawString& newPath);

    // Reads the section into a temporary list and returns the key's value
    // (the default, and found = false, when the file, section or key is
    // missing).
    RawString ReadValue(const RawString& section, const RawString& key, bool* found = nullptr);
    RawString ReadValue(const RawString& section, const RawString& key,
                        const RawString& defaultValue, bool* found = nullptr);
    // Reads the section, finds or adds the key, sets the value and writes
    // the section back. True when the file was rewritten.
    bool WriteValue(const RawString& section, const RawString& key, const RawString& value);
};

// One section of one profile file held in memory: the file path, the
// section name, the values, a modified flag and a lock.
class ProfileStore {
public:
    ProfileStore();
    ~ProfileStore();
    ProfileStore(const ProfileStore&) = delete;
    ProfileStore& operator=(const ProfileStore&) = delete;

    RawString path;
    RawString section;
    RawParameterList values;
    uint8_t modified = 0;

    void Lock() { EnterCriticalSection(&lock_); }
    void Unlock() { LeaveCriticalSection(&lock_); }

    // Under the lock, when modified and the path is not empty: writes a
    // copy of the values, sorted by key (stable), as the store's section.
    // The modified flag is cleared when the file was written, also when a
    // unit that cannot be written was left out (it goes to `refused`). True
    // when there was nothing to write or everything was written.
    bool Save(RawParameterList* refused = nullptr);

private:
    CRITICAL_SECTION lock_;
};

// ---------------------------------------------------------------------------
// Paths

RAW_CONSTANT_TEXT(IniExtensionText, ".ini")
RAW_CONSTANT_TEXT(DoubleBackslashText, "\\\\")

// Index of the last '\' or '/' in the range, stepping over whole characters
// (a Shift_JIS trail byte, also of ANSI text on a double-byte code page, is
// never a separator); the range end when there is none.
int32_t LastSeparator(const RawString& path, RawRange range);
int32_t LastSeparator(const RawString& path);
// The folder and the name joined by one '\' (none added when the folder is
// empty or already ends in a separator), in the folder's kind.
RawString PathJoin(const RawString& folder, const RawString& name);
// The path without its trailing separators; a root keeps its own ("\",
// "X:\"). Whole characters only: a trail byte equal to '\' stays. A path of
// kind 3, 5 or 6 comes back as UTF-16 (kind 7).
RawString PathWithoutTrailingSeparators(const RawString& path);
// The path before its last separator; empty (0, 0) when there is none.
RawRange PathFolderRange(const RawString& path);
// The extension after the last '.' of the last path component, with or
// without the dot; an empty range at the end when the name has none.
RawRange PathExtensionRange(const RawString& path, bool withDot);
// The path without the extension of its last component.
RawString PathWithoutExtension(const RawString& path);
// Through the path's attributes: any entry, a folder, anything but a folder.
// A path whose name is a device's is answered from its folder's listing
// (ApiGetFileAttributes), and is never a file that FileExists admits: it
// could only be opened as the device.
bool PathExists(const RawString& path);
bool FolderExists(const RawString& path);
bool FileExists(const RawString& path);
// Whether the path is absolute: a drive letter and ':', or two leading
// separators.
bool PathIsAbsolute(const RawString& path);
// Resolves a path against a base folder: an empty or absolute path is
// returned as it is; a rooted path ("\x") takes the base's drive (or
// "\\server\share"); otherwise leading "." parts are dropped and each ".."
// takes the last folder off the base, never past its root.
RawString PathResolve(const RawString& base, const RawString& path);
// The folder of the program file, in the given kind.
RawString ProgramFolder(uint8_t kind);
// Index of the first "$(User)" in the text, ASCII letters in any case; the
// text's length when there is none.
int32_t FindUserMacro(const RawString& text);
// The file name of a path without folder and extension: from after the last
// '\' or '/' up to the last '.' after it (the whole rest without one).
RawString RawFileTitle(const RawString& path);
// Replaces the first "$(User)" (in any letter case) by the user's application-data folder (joined
// with the application name when one is given, a folder created when
// missing), then resolves a relative result against the program's folder.
RawString ResolveProgramPath(const RawString& path,
                             const RawString& applicationName = RawString::Empty());

}  // namespace RawLayer

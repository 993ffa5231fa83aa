// Parameter lists, the profile file format, and path helpers.

#include "base/profile.h"

#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "base/api_text.h"
#include "base/encoding.h"
#include "base/file_system.h"
#include "base/line_file.h"

namespace RawLayer {

namespace {

RAW_CONSTANT_TEXT(BlankTabText, " \t")
RAW_CONSTANT_TEXT(EqualsSignText, "=")
RAW_CONSTANT_TEXT(OpenBracketText, "[")
RAW_CONSTANT_TEXT(CloseBracketText, "]")
RAW_CONSTANT_TEXT(TmpExtensionText, ".tmp")
RAW_CONSTANT_TEXT(UserFolderMarkText, "$(User)")
RAW_CONSTANT_TEXT(BackslashText, "\\")

inline bool IsAsciiLetter(uint32_t unit) {
    return (unit >= 'A' && unit <= 'Z') || (unit >= 'a' && unit <= 'z');
}

// Whether the units of a text are 7-bit characters of an ASCII-compatible
// kind, so that a unit compare with another such text is a text compare.
bool IsPlainAscii(const RawString& text) {
    if (!IsAsciiCompatibleKind(text.Kind())) return text.IsEmpty();
    int32_t n = text.Length();
    for (int32_t i = 0; i < n; ++i)
        if (text.UnitAt(i) >= 0x80) return false;
    return true;
}

// Text equality across encoding kinds, optionally ASCII case-insensitive.
bool SameText(const RawString& a, const RawString& b, bool fold) {
    if (a.Kind() == b.Kind() || (IsPlainAscii(a) && IsPlainAscii(b))) {
        if (a.Length() != b.Length()) return false;
        return fold ? RawString::EqualsNoCase(a, b) : a.Equals(b);
    }
    bool okA = true, okB = true;
    RawString wa = a.As(KindUtf16, &okA);
    RawString wb = b.As(KindUtf16, &okB);
    if (!okA || !okB) return false;
    if (wa.Length() != wb.Length()) return false;
    return fold ? RawString::EqualsNoCase(wa, wb) : wa.Equals(wb);
}

// A text of a line that the profile format can hold as a key or a value.
bool HasLineBreak(const RawString& text) {
    int32_t n = text.Length();
    for (int32_t i = 0; i < n; ++i) {
        uint32_t u = text.UnitAt(i);
        if (u == '\r' || u == '\n') return true;
    }
    return false;
}

// Whether a unit can be written as "key=value" and read back as the same
// key and value.
bool EntryIsWritable(const RawParameterUnit& unit) {
    const RawString& key = unit.key;
    if (HasLineBreak(key) || HasLineBreak(unit.value)) return false;
    if (key.FindChar(key.All(), '=') < key.Length()) return false;
    if (key.UnitAt(0) == '[' && key.Length() > 0) return false;
    if (RawParameterList::IsCommentLine(key)) return false;
    return true;
}

// A reader over a profile: the file's own kind, bytes of unknown kinds as
// ANSI text.
void SetupProfileReader(RawLineFile& reader) {
    reader.SetTextKind(LineKindOwn);
    reader.SetOptions(LineFileAnsiText);
}

// The encoding kind written into a profile whose kind as read is `kind`:
// the file's own kind; ANSI for bytes that were not text in any kind (they
// were read as ANSI); UTF-8 when nothing was known.
uint8_t WriteKindFor(uint32_t kind) {
    if (kind >= KindSjis && kind <= KindUtf16) return static_cast<uint8_t>(kind);
    if (kind == KindError) return KindAnsi;
    return KindUtf8;
}

// Whether every line of a file comes back unchanged from a trip through
// UTF-16, so that the file can be rewritten in another kind without
// changing any of its text.
bool LinesSurviveConversion(const RawString& path, int32_t chunk) {
    RawLineFile reader(path, chunk);
    SetupProfileReader(reader);
    if (!reader.Open()) return false;
    while (reader.ReadLine()) {
        const RawString& text = reader.Line().text;
        if (text.Kind() == KindUtf16 || IsPlainAscii(text)) continue;
        RawString wide, back;
        if (!ConvertToUtf16(text.Kind(), text.Data(), text.Length(), wide) ||
            !ConvertFromUtf16(text.Kind(), wide.Wide(), wide.Length(), back) || !back.Equals(text))
            return false;
    }
    return reader.State() == LineStateEnd;
}


int32_t ChunkOf(const ProfileFileRef& file) {
    uint32_t chunk = file.chunkSize;
    if (chunk < static_cast<uint32_t>(RawLineFile::MinChunkSize) ||
        chunk > static_cast<uint32_t>(RawLineFile::MaxChunkSize))
        chunk = RawLineFile::DefaultChunkSize;
    return static_cast<int32_t>(chunk);
}

}  // namespace

// ---------------------------------------------------------------------------
// Units

bool RawParameterUnit::IsTrue() const { return !SameText(value, FalseText(), true); }

void RawParameterUnit::SetFalse() { value = FalseText(); }

int RawParameterListSort::CompareTyped(const RawParameterUnit& a,
                                       const RawParameterUnit& b) const {
    return a.key.CompareTo(b.key);
}

// ---------------------------------------------------------------------------
// Lists

bool RawParameterList::KeyEquals(const RawString& a, const RawString& b) const {
    return SameText(a, b, caseFlag_ == 0);
}

RawListLink* RawParameterList::FindLink(const RawString& key) const {
    for (RawListLink* link = FirstLink(); !IsEnd(link); link = link->next)
        if (KeyEquals(static_cast<RawParameterUnit*>(link->unit)->key, key)) return link;
    return Sentinel();
}

RawParameterUnit* RawParameterList::Find(const RawString& key) const {
    return UnitOf(FindLink(key));
}

RawParameterUnit* RawParameterList::Add(const RawString& key) { return AddNew(key); }

RawParameterUnit* RawParameterList::Add(const RawString& key, const RawString& value) {
    return AddNew(key, value);
}

RawParameterUnit* RawParameterList::FindOrAdd(const RawString& key) {
    RawParameterUnit* unit = Find(key);
    return unit ? unit : Add(key);
}

RawParameterUnit* RawParameterList::FindUnit(const RawString& text) const {
    for (RawListLink* link = FirstLink(); !IsEnd(link); link = link->next) {
        RawParameterUnit* unit = UnitOf(link);
        if (unit->key.Kind() == text.Kind() && unit->key.Length() == text.Length() && unit->key.Equals(text)) {
            return unit;
        }
    }
    return nullptr;
}

RawParameterUnit* RawParameterList::InsertBefore(RawListLink* link, const RawString& key) {
    return InsertBefore(link, RawParameterListAllocator::NewUnit(key));
}

RawParameterList RawParameterList::Copy() const {
    RawParameterList copy(ExactCase());
    for (RawListLink* link = FirstLink(); !IsEnd(link); link = link->next) {
        const RawParameterUnit* unit = static_cast<const RawParameterUnit*>(link->unit);
        RawParameterUnit* fresh = copy.AddNew(unit->key, unit->value);
        fresh->number = unit->number;
    }
    return copy;
}

RawString RawParameterList::GetText(const RawString& key, bool* found) const {
    const RawParameterUnit* unit = Find(key);
    if (found) *found = unit != nullptr;
    return unit ? unit->value : RawString();
}

int32_t RawParameterList::GetInt(const RawString& key, int32_t defaultValue) const {
    const RawParameterUnit* unit = Find(key);
    if (!unit) return defaultValue;
    const RawString& value = unit->value;
    return value.ToInt(value.TrimRange(value.All(), BlankTabText()));
}

bool RawParameterList::GetBool(const RawString& key, bool defaultValue) const {
    const RawParameterUnit* unit = Find(key);
    return unit ? unit->IsTrue() : defaultValue;
}

RawParameterUnit* RawParameterList::SetText(const RawString& key, const RawString& value) {
    RawParameterUnit* unit = Find(key);
    if (!unit) unit = Add(key);
    unit->value = value;
    return unit;
}

RawParameterUnit* RawParameterList::SetInt(const RawString& key, int32_t value) {
    return SetText(key, RawString::FromInt(value));
}

// ---------------------------------------------------------------------------
// Line analysis

int32_t RawParameterList::SectionEnd(const RawString& line) {
    return line.FindLastChar(line.All(), ']');
}

bool RawParameterList::IsSectionLine(const RawString& line, RawString* name) {
    if (line.IsEmpty() || line.UnitAt(0) != '[') return false;
    if (name) name->AssignRange(line, RawRange{1, SectionEnd(line)});
    return true;
}

bool RawParameterList::IsCommentLine(const RawString& line) {
    return line.Length() >= 2 && line.UnitAt(0) == '/' && line.UnitAt(1) == '/';
}

void RawParameterList::SplitEntry(const RawString& line, RawRange range,
                                  const RawString& trimSet, RawString& key, RawString& value) {
    RawRange r = line.ClampEnd(range);
    int32_t eq = line.FindChar(r, '=');
    RawRange k{r.start, eq};
    RawRange v{eq < r.end ? eq + 1 : r.end, r.end};
    if (!trimSet.IsEmpty()) {
        k = line.TrimRange(k, trimSet);
        v = line.TrimRange(v, trimSet);
    }
    key.AssignRange(line, k);
    value.AssignRange(line, v);
}

bool RawParameterList::SectionNameEquals(const RawString& a, const RawString& b) {
    return SameText(a, b, true);
}

void RawParameterList::ParseLine(const RawString& text, const RawString& trimSet) {
    int32_t n = text.Length();
    int32_t pos = 0;
    while (pos < n) {
        int32_t end = text.FindEitherChar(RawRange{pos, n}, '\r', '\n');
        int32_t next = end + 1;
        if (end < n && text.UnitAt(end) == '\r' && text.UnitAt(end + 1) == '\n') next = end + 2;
        if (end > pos) {
            RawString line;
            line.AssignRange(text, RawRange{pos, end});
            if (!IsSectionLine(line, nullptr) && !IsCommentLine(line)) {
                RawString key, value;
                SplitEntry(line, line.All(), trimSet, key, value);
                Add(key, value);
            }
        }
        pos = next;
    }
}

// ---------------------------------------------------------------------------
// Reading sections

bool RawParameterList::NextSectionLine(RawLineFile& reader, RawString& name) {
    while (reader.ReadLine())
        if (IsSectionLine(reader.Line().text, &name)) return true;
    return false;
}

bool RawParameterList::ReadEntries(RawLineFile& reader) {
    Clear();
    while (reader.ReadLine()) {
        const RawString& line = reader.Line().text;
        if (line.IsEmpty() || IsCommentLine(line)) continue;
        if (line.UnitAt(0) == '[') {
            // The next section's line: the next reader of the file gets it.
            reader.UnreadLine();
            return true;
        }
        RawString key, value;
        SplitEntry(line, line.All(), RawString::Empty(), key, value);
        Add(key, value);
    }
    return reader.State() == LineStateEnd;
}

bool RawParameterList::ReadSection(ProfileFileRef& file, const RawString& section, bool* whole) {
    Clear();
    if (whole) *whole = false;
    RawLineFile reader(file.path, ChunkOf(file));
    SetupProfileReader(reader);
    if (!reader.Open()) return false;
    file.kind = reader.FileKind();
    file.mark = reader.HasMark() ? 1 : 0;
    RawString name;
    while (NextSectionLine(reader, name)) {
        if (!SectionNameEquals(name, section)) continue;
        // A failure part-way keeps the entries read before it.
        const bool read = ReadEntries(reader);
        if (whole) *whole = read;
        reader.Close();
        return true;
    }
    reader.Close();
    return false;
}

// ---------------------------------------------------------------------------
// Writing a section
//
// The whole file is rewritten into "<path>.tmp": the lines before the first
// section and the lines of every other section exactly as they were (their
// own bytes, their own line ends), each section of the wanted name replaced
// by this list, and the list appended when the file has no such section.
// Only when the old file was read to its end and the temporary file was
// written, flushed and closed without a failure is it put in place; on any
// failure the temporary file is removed and the old file stays as it was.
//
// The file keeps its encoding kind and mark. A new file is UTF-8 with a
// mark, and so is a file of nothing but 7-bit text once it gets other text:
// without the mark a short Japanese text may be guessed as Shift_JIS when it
// is read back. When the file's own kind cannot hold a new key, value or
// section name, the file is rewritten as UTF-8 with a mark, its other lines
// converted, provided each of them converts without a change; otherwise
// the units its kind cannot hold are left out.

bool RawParameterList::WriteSection(ProfileFileRef& file, const RawString& section,
                                    RawParameterList* refused) const {
    const RawString& target = file.path;
    if (target.IsEmpty() || HasLineBreak(section) || !KindHoldsText(KindUtf8, section))
        return false;

    RawLineFile reader(target, ChunkOf(file));
    SetupProfileReader(reader);
    bool hadOld = reader.Open();
    if (!hadOld) {
        // A file that is there but cannot be read is never replaced.
        if (reader.State() != LineStateOpenFailed || ApiGetFileAttributes(target) != INVALID_FILE_ATTRIBUTES)
            return false;
    } else {
        DWORD attributes = ApiGetFileAttributes(target);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) {
            reader.Close();
            return false;
        }
        file.kind = reader.FileKind();
        file.mark = reader.HasMark() ? 1 : 0;
    }

    // The units written, and the kind and mark the file is written in.
    uint8_t kind = WriteKindFor(hadOld ? file.kind : 0);
    bool mark = !hadOld || file.mark != 0;
    bool plain = hadOld && (file.kind == 0);  // nothing but 7-bit text so far
    std::vector<const RawParameterUnit*> units;
    std::vector<const RawParameterUnit*> narrow;  // units the file's own kind cannot hold
    bool fits = KindHoldsText(kind, section);
    bool ascii = IsPlainAscii(section);
    bool leftOut = false;
    auto leaveOut = [&](const RawParameterUnit& unit) {
        leftOut = true;
        if (refused) refused->Add(unit.key, unit.value);
    };
    for (RawListLink* link = FirstLink(); !IsEnd(link); link = link->next) {
        const RawParameterUnit& unit = *static_cast<const RawParameterUnit*>(link->unit);
        if (!EntryIsWritable(unit) || !KindHoldsText(KindUtf8, unit.key) ||
            !KindHoldsText(KindUtf8, unit.value)) {
            leaveOut(unit);
            continue;
        }
        if (!KindHoldsText(kind, unit.key) || !KindHoldsText(kind, unit.value)) {
            narrow.push_back(&unit);
            fits = false;
        }
        ascii = ascii && IsPlainAscii(unit.key) && IsPlainAscii(unit.value);
        units.push_back(&unit);
    }
    bool convertOld = false;
    if (!fits) {
        if (!hadOld || LinesSurviveConversion(target, ChunkOf(file))) {
            convertOld = hadOld && kind != KindUtf8;
            kind = KindUtf8;
            mark = true;
        } else if (!KindHoldsText(kind, section)) {
            reader.Close();
            return false;
        } else {
            // The old text would change: the file keeps its kind, and what
            // that kind cannot hold is left out.
            for (const RawParameterUnit* unit : narrow) {
                leaveOut(*unit);
                units.erase(std::find(units.begin(), units.end(), unit));
            }
        }
    }
    if (plain && !ascii) mark = true;

    RawString tmp = target.Concat(TmpExtensionText());
    RawLineFile writer(tmp);
    writer.SetTextKind(kind);
    writer.SetOptions(mark ? static_cast<uint32_t>(LineFileWriteMark) : 0u);
    if (!writer.BeginWrite()) {
        reader.Close();
        return false;
    }

    bool pendingBreak = false;  // the last copied line had no line end
    auto copyRaw = [&](const RawLineRecord& record) {
        if (pendingBreak) writer.WriteLineBreak();
        pendingBreak = false;
        const RawString& text = record.text;
        if (text.Kind() == KindUtf16 || convertOld) {
            writer.WriteLine(text);
            if (record.lineEndCount > 0) writer.WriteLine(record.LineEndText());
        } else {
            writer.WriteBytes(text.Data(), text.Length());
            for (int32_t i = 0; i < record.lineEndCount; ++i) {
                uint8_t unit = static_cast<uint8_t>(record.lineEnd[i]);
                writer.WriteBytes(&unit, 1);
            }
        }
        if (record.lineEndCount == 0) pendingBreak = true;
    };
    auto writeList = [&]() {
        if (pendingBreak) writer.WriteLineBreak();
        pendingBreak = false;
        writer.WriteLine(OpenBracketText());
        writer.WriteLine(section);
        writer.WriteLine(CloseBracketText());
        writer.WriteLineBreak();
        for (const RawParameterUnit* unit : units) {
            writer.WriteLine(unit->key);
            writer.WriteLine(EqualsSignText());
            writer.WriteLine(unit->value);
            writer.WriteLineBreak();
        }
    };

    bool found = false;
    if (hadOld) {
        bool inWanted = false;
        RawString name;
        while (reader.ReadLine() && writer.IsGood()) {
            const RawLineRecord& record = reader.Line();
            if (IsSectionLine(record.text, &name)) {
                inWanted = SectionNameEquals(name, section);
                if (inWanted) {
                    writeList();
                    found = true;
                    continue;
                }
            } else if (inWanted) {
                continue;  // the old entries of the replaced section
            }
            copyRaw(record);
        }
    }
    bool readAll = !hadOld || reader.State() == LineStateEnd;
    reader.Close();
    if (readAll && !found) writeList();
    bool written = writer.Close() && readAll;
    if (!written) {
        ApiDeleteFile(tmp);
        return false;
    }
    bool placed = hadOld ? ApiReplaceFile(target, tmp, RawString::Empty())
                         : ApiMoveFileEx(tmp, target, MOVEFILE_WRITE_THROUGH);
    if (!placed) {
        ApiDeleteFile(tmp);
        return false;
    }
    file.kind = kind;
    file.mark = mark ? 1 : 0;
    // Left-out units are a failure unless the caller took them.
    return refused || !leftOut;
}

// ---------------------------------------------------------------------------
// Profile file references

ProfileFileRef ProfileFileRef::FromPath(const RawString& path) {
    ProfileFileRef ref;
    ref.path = path;
    return ref;
}

void ProfileFileRef::SetPath(const RawString& newPath) {
    path = newPath;
    kind = 0;
    mark = 0;
}

RawString ProfileFileRef::ReadValue(const RawString& section, const RawString& key, bool* found) {
    return ReadValue(section, key, RawString::Empty(), found);
}

RawString ProfileFileRef::ReadValue(const RawString& section, const RawString& key,
                                    const RawString& defaultValue, bool* found) {
    RawParameterList list(false);
    if (found) *found = false;
    if (!list.ReadSection(*this, section)) return defaultValue;
    const RawParameterUnit* unit = list.Find(key);
    if (!unit) return defaultValue;
    if (found) *found = true;
    return unit->value;
}

bool ProfileFileRef::WriteValue(const RawString& section, const RawString& key,
                                const RawString& value) {
    RawParameterList list(false);
    // A missing file or section starts empty; a file that cannot be read is
    // refused by WriteSection itself.
    list.ReadSection(*this, section);
    list.SetText(key, value);
    return list.WriteSection(*this, section);
}

// ---------------------------------------------------------------------------
// Profile stores

ProfileStore::ProfileStore() { InitializeCriticalSection(&lock_); }

ProfileStore::~ProfileStore() { DeleteCriticalSection(&lock_); }

bool ProfileStore::Save(RawParameterList* refused) {
    Lock();
    bool ok = true;
    if (modified && !path.IsEmpty()) {
        RawParameterList sorted = values.Copy();
        sorted.Sort(RawParameterListSort());
        ProfileFileRef file = ProfileFileRef::FromPath(path);
        RawParameterList left;
        bool placed = sorted.WriteSection(file, section, &left);
        // A unit that cannot be written would fail every later save as well:
        // once the rest is in place the flag is cleared, and the unit is
        // reported by this save's result.
        if (placed) modified = 0;
        ok = placed && left.IsEmpty();
        if (refused)
            for (const RawParameterUnit& unit : left) refused->Add(unit.key, unit.value);
    }
    Unlock();
    return ok;
}

// ---------------------------------------------------------------------------
// Paths

int32_t LastSeparator(const RawString& path, RawRange range) {
    RawRange r = path.ClampEnd(range);
    // Whole-character steps: a Shift_JIS trail byte may equal '\' (in kind 1,
    // and in kind 0 under a double-byte ANSI code page).
    int32_t found = r.end;
    for (int32_t pos = r.start; pos < r.end; pos = path.NextCharPos(pos)) {
        if (IsPathSeparator(path.UnitAt(pos))) found = pos;
    }
    return found;
}

RawString PathJoin(const RawString& folder, const RawString& name) {
    RawString path(folder);
    const int32_t length = folder.Length();
    if (length > 0 && LastSeparator(folder) != length - 1) path.AppendChar('\\');
    path.Append(name);
    return path;
}

int32_t LastSeparator(const RawString& path) { return LastSeparator(path, path.All()); }

RawString PathWithoutTrailingSeparators(const RawString& path) {
    if (!IsAsciiCompatibleKind(path.Kind())) return PathWithoutTrailingSeparators(path.As(KindUtf16));
    const int32_t length = path.Length();
    // The end of the last character that is not a separator (a lead unit is
    // never one).
    int32_t end = 0;
    for (int32_t pos = 0; pos < length;) {
        const int32_t next = path.NextCharPos(pos);
        if (!IsPathSeparator(path.UnitAt(pos))) end = next;
        pos = next;
    }
    if (end == 0 && length > 0)
        end = 1;  // "\" itself
    else if (end == 2 && length > 2 && path.UnitAt(1) == ':')
        end = 3;  // "X:\"
    if (end == length) return path;
    RawString trimmed(path.Kind());
    trimmed.AssignRange(path, RawRange{0, end});
    return trimmed;
}

RawRange PathFolderRange(const RawString& path) {
    int32_t s = LastSeparator(path);
    if (s >= path.Length()) return RawRange{0, 0};
    return RawRange{0, s};
}

RawRange PathExtensionRange(const RawString& path, bool withDot) {
    int32_t length = path.Length();
    int32_t s = LastSeparator(path);
    int32_t nameStart = s < length ? s + 1 : 0;
    int32_t dot = path.FindLastChar(RawRange{nameStart, length}, '.');
    if (dot >= length) return RawRange{length, length};
    return RawRange{withDot ? dot : dot + 1, length};
}

RawString PathWithoutExtension(const RawString& path) {
    RawRange r = PathExtensionRange(path, true);
    if (r.start >= path.Length()) return path;
    RawString s;
    s.AssignRange(path, RawRange{0, r.start});
    return s;
}

bool PathExists(const RawString& path) {
    return !path.IsEmpty() && ApiGetFileAttributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool FolderExists(const RawString& path) {
    if (path.IsEmpty()) return false;
    DWORD attributes = ApiGetFileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const RawString& path) {
    if (path.IsEmpty() || IsDevicePath(path)) return false;
    DWORD attributes = ApiGetFileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathIsAbsolute(const RawString& path) {
    if (path.Length() >= 2 && IsAsciiLetter(path.UnitAt(0)) && path.UnitAt(1) == ':') return true;
    return path.Length() >= 2 && IsPathSeparator(path.UnitAt(0)) && IsPathSeparator(path.UnitAt(1));
}

namespace {

// Length of the root of an absolute folder: 2 for "X:", the length of
// "\\server\share" for a network path; 0 when the folder has no root.
int32_t RootLength(const RawString& base) {
    int32_t n = base.Length();
    if (n >= 2 && IsAsciiLetter(base.UnitAt(0)) && base.UnitAt(1) == ':') return 2;
    if (n >= 2 && IsPathSeparator(base.UnitAt(0)) && IsPathSeparator(base.UnitAt(1))) {
        int32_t pos = 2;
        int parts = 0;
        while (pos < n && parts < 2) {
            int32_t start = pos;
            while (pos < n && !IsPathSeparator(base.UnitAt(pos))) pos = base.NextCharPos(pos);
            if (pos > start) ++parts;
            if (parts < 2 && pos < n) ++pos;
        }
        return pos;
    }
    return 0;
}

}  // namespace

RawString PathResolve(const RawString& base, const RawString& path) {
    if (path.IsEmpty() || PathIsAbsolute(path)) return path;
    uint8_t kind = base.Kind() == path.Kind() ? base.Kind() : static_cast<uint8_t>(KindUtf16);
    RawString b = base.As(kind);
    RawString p = path.As(kind);
    int32_t root = RootLength(b);
    int32_t n = p.Length();

    // A rooted path takes the base's drive (or network share).
    if (IsPathSeparator(p.UnitAt(0))) {
        if (root == 0) return path;
        RawString s;
        s.AssignRange(b, RawRange{0, root});
        s.Append(p);
        return s;
    }

    int32_t end = b.Length();
    while (end > root && IsPathSeparator(b.UnitAt(end - 1))) --end;
    int32_t pos = 0;
    for (;;) {
        if (p.UnitAt(pos) != '.') break;
        if (pos + 1 == n || IsPathSeparator(p.UnitAt(pos + 1))) {
            pos += pos + 1 == n ? 1 : 2;
            continue;
        }
        if (p.UnitAt(pos + 1) == '.' && (pos + 2 == n || IsPathSeparator(p.UnitAt(pos + 2)))) {
            pos += pos + 2 == n ? 2 : 3;
            // One folder up, never past the root.
            int32_t s = LastSeparator(b, RawRange{root, end});
            end = s < end ? s : root;
            while (end > root && IsPathSeparator(b.UnitAt(end - 1))) --end;
            continue;
        }
        break;
    }
    RawString result;
    result.AssignRange(b, RawRange{0, end});
    bool driveRoot = root == 2 && end == 2;
    if (driveRoot || (!result.IsEmpty() && pos < n)) result.Append(BackslashText().As(kind));
    if (pos < n) {
        RawString rest;
        rest.AssignRange(p, RawRange{pos, n});
        result.Append(rest);
    }
    return result;
}

RawString ProgramFolder(uint8_t kind) {
    RawString file = ApiGetModuleFileName(kind);
    RawString folder;
    folder.AssignRange(file, PathFolderRange(file));
    return folder;
}

int32_t FindUserMacro(const RawString& text) {
    const RawString& mark = UserFolderMarkText();
    const int32_t found = text.FindNoCase(text.All(), mark, mark.All());
    return found < text.Length() ? found : text.Length();
}

RawString RawFileTitle(const RawString& path) {
    const RawRange name = PathNameRange(path);
    const int32_t dot = path.FindLastChar(name, '.');
    RawString title;
    title.AssignRange(path, RawRange{name.start, dot < name.end ? dot : name.end});
    return title;
}

RawString ResolveProgramPath(const RawString& path, const RawString& applicationName) {
    // Texts that an 8-bit code page may not hold are joined as UTF-16.
    uint8_t kind = (path.Kind() == KindUtf8 || path.Kind() == KindUtf16)
                       ? path.Kind()
                       : static_cast<uint8_t>(KindUtf16);
    RawString result = path.As(kind);
    const int32_t macro = FindUserMacro(result);
    if (macro < result.Length()) {
        RawString folder = ApiGetSpecialFolder(CSIDL_APPDATA, KindUtf16);
        if (folder.IsEmpty()) folder = ProgramFolder(KindUtf16);
        if (!applicationName.IsEmpty()) {
            folder = PathJoin(folder, applicationName);
            ApiCreateDirectoryTree(folder);
        }
        const RawString& mark = UserFolderMarkText();
        result.ReplaceRange(RawRange{macro, macro + mark.Length()}, folder, folder.All());
    }
    if (!PathIsAbsolute(result)) result = PathResolve(ProgramFolder(kind), result);
    return result;
}

}  // namespace RawLayer

#include "base/language.h"

#include "base/api_text.h"
#include "base/file_system.h"
#include "base/profile.h"
#include "base/line_file.h"

namespace RawLayer {

namespace {

// Holds a critical section for a scope.
class SectionGuard {
public:
    explicit SectionGuard(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
    ~SectionGuard() { LeaveCriticalSection(lock_); }
    SectionGuard(const SectionGuard&) = delete;
    SectionGuard& operator=(const SectionGuard&) = delete;

private:
    CRITICAL_SECTION* lock_;
};


}  // namespace

// ---- escapes ----------------------------------------------------------------------

RawString UnescapeText(const RawString& text) {
    const int32_t length = text.Length();
    if (text.FindChar(text.All(), '\\') >= length) return text;
    RawString result(text.Kind());
    int32_t pos = 0;
    while (pos < length) {
        const int32_t next = text.NextCharPos(pos);
        const uint32_t unit = text.UnitAt(pos);
        if (unit == '\\' && next == pos + 1 && next < length) {
            const int32_t after = text.NextCharPos(next);
            const uint32_t escaped = text.UnitAt(next);
            if (after == next + 1 && escaped == 'n') {
                result.AppendChar('\r');
                result.AppendChar('\n');
            } else if (after == next + 1 && escaped == 't') {
                result.AppendChar('\t');
            } else if (after == next + 1 && escaped == 's') {
                result.AppendChar(' ');
            } else {
                result.AppendRange(text, RawRange{next, after});
            }
            pos = after;
            continue;
        }
        result.AppendRange(text, RawRange{pos, next});
        pos = next;
    }
    return result;
}

RawString EscapeText(const RawString& text) {
    const int32_t length = text.Length();
    RawString result(text.Kind());
    int32_t pos = 0;
    while (pos < length) {
        const int32_t next = text.NextCharPos(pos);
        const uint32_t unit = next == pos + 1 ? text.UnitAt(pos) : 0;
        if (unit == '\r' || unit == '\n') {
            result.AppendChar('\\');
            result.AppendChar('n');
            // CR LF is one line end.
            if (unit == '\r' && next < length && text.UnitAt(next) == '\n') {
                pos = next + 1;
                continue;
            }
        } else if (unit == '\t') {
            result.AppendChar('\\');
            result.AppendChar('t');
        } else if (unit == '\\') {
            result.AppendChar('\\');
            result.AppendChar('\\');
        } else {
            result.AppendRange(text, RawRange{pos, next});
        }
        pos = next;
    }
    return result;
}

// ---- the table ------------------------------------------------------------------------

LanguageTable::LanguageTable() : languages_(true), texts_(true), defaults_(true) {
    InitializeCriticalSection(&lock_);
}

LanguageTable::~LanguageTable() { DeleteCriticalSection(&lock_); }

LanguageTable& LanguageTable::Construct() {
    static LanguageTable table;
    return table;
}

void LanguageTable::SetLanguage(const RawString& name) { Construct().Select(name); }

RawString LanguageTable::Lookup(const RawString& section, const RawLocaleRecord* table) {
    return Construct().RegisterTable(section, table);
}

RawString LanguageTable::Text(const RawString& section, const RawString& key, const RawString& defaultText,
                              uint8_t kind) {
    return Construct().TextOf(section, key, defaultText, kind);
}

RawString LanguageTable::Text(const RawString& section, const RawString& key, uint8_t kind) {
    LanguageTable& table = Construct();
    RawString text = UnescapeText(table.LookupText(section, key));
    return text.Kind() == kind ? text : text.As(kind);
}

RawString LanguageTextLookup(const RawString& section, const RawString& key, const RawString& defaultText) {
    return LanguageTable::Construct().LookupText(section, key, defaultText);
}

void LanguageTable::Select(const RawString& name) {
    SectionGuard guard(&lock_);
    if (&name == &selected_) return;
    selected_ = name;
}

void LanguageTable::SetFilePath(const RawString& path) {
    SectionGuard guard(&lock_);
    filePath_ = path;
}

bool LanguageTable::LocateFile(const RawString& baseFolder) {
    {
        SectionGuard guard(&lock_);
        if (!filePath_.IsEmpty()) return true;
    }
    RawString found;
    if (!baseFolder.IsEmpty()) {
        RawString candidate = PathJoin(baseFolder, LanguageFileNameText());
        if (FileExists(candidate)) found = candidate;
    }
    if (found.IsEmpty()) {
        RawString candidate = PathJoin(ProgramFolder(KindUtf16), LanguageFileNameText());
        if (FileExists(candidate)) found = candidate;
    }
    if (found.IsEmpty()) return false;
    SectionGuard guard(&lock_);
    if (filePath_.IsEmpty()) filePath_ = found;
    return true;
}

void LanguageTable::Load() {
    RawString path = FilePath();
    if (path.IsEmpty()) return;
    ProfileFileRef file = ProfileFileRef::FromPath(path);
    RawParameterList list(true);
    if (list.ReadSection(file, LangMapSectionText())) {
        for (RawParameterUnit& unit : list) unit.number = static_cast<uint32_t>(unit.value.ToInt());
    } else {
        // No "LangMap": every section of the file is a language.
        list.Clear();
        RawLineFile reader(path);
        reader.SetTextKind(LineKindOwn);
        reader.SetOptions(LineFileAnsiText);
        if (reader.Open()) {
            RawString name;
            while (RawParameterList::NextSectionLine(reader, name)) {
                if (RawParameterList::SectionNameEquals(name, LangMapSectionText())) continue;
                if (list.Contains(name)) continue;
                list.Add(name);
            }
            reader.Close();
        }
    }
    SectionGuard guard(&lock_);
    languages_ = list;
}

RawString LanguageTable::PickLanguage() const { return PickLanguage(GetUserDefaultUILanguage()); }

RawString LanguageTable::PickLanguage(uint32_t uiLanguage) const {
    SectionGuard guard(&lock_);
    for (const RawParameterUnit& unit : languages_) {
        if (unit.number == uiLanguage && !unit.value.IsEmpty()) return unit.key;
    }
    return DefaultLanguageText();
}

bool LanguageTable::UseLanguage(const RawString& name) {
    RawString path = FilePath();
    RawParameterList texts(true);
    bool read = false;
    if (!path.IsEmpty() && !name.IsEmpty()) {
        ProfileFileRef file = ProfileFileRef::FromPath(path);
        read = texts.ReadSection(file, name);
    }
    SectionGuard guard(&lock_);
    inUse_ = name;
    texts_ = texts;
    return read;
}

RawString LanguageTable::ChooseLanguage(uint32_t uiLanguage) {
    Load();
    RawString name = SelectedLanguage();
    if (name.IsEmpty()) name = PickLanguage(uiLanguage);
    UseLanguage(name);
    return name;
}

RawString LanguageTable::FullKey(const RawString& section, const RawString& key) const {
    RawString full = RawString::WithCapacity(section.Length() + key.Length() + 1);
    full.Append(section);
    full.AppendChar('_');
    full.Append(key);
    return full;
}

RawString LanguageTable::RegisterTable(const RawString& section, const RawLocaleRecord* table) {
    if (table == nullptr) return section;
    SectionGuard guard(&lock_);
    auto* first = const_cast<RawLocaleRecord*>(table);
    if (tables_.ContainsUnit(first)) return section;
    tables_.Add(first);
    for (const RawLocaleRecord* record = table; record->key != nullptr && record->key[0] != 0; ++record) {
        RawString full = FullKey(section, RawString::FromText(record->key));
        RawString text = EscapeText(RawString::FromText(record->text != nullptr ? record->text : ""));
        RawParameterUnit* unit = defaults_.Find(full);
        if (unit != nullptr) {
            unit->value = text;
        } else {
            defaults_.Add(full, text);
        }
    }
    return section;
}

RawString LanguageTable::LookupText(const RawString& section, const RawString& key,
                                    const RawString& defaultText) {
    RawString full = FullKey(section, key);
    SectionGuard guard(&lock_);
    if (const RawParameterUnit* unit = texts_.Find(full)) return unit->value;
    if (const RawParameterUnit* unit = defaults_.Find(full)) return unit->value;
    // Stored escaped like the defaults of the tables, so that the unescaping
    // of the caller gives the default back unchanged.
    RawString escaped = EscapeText(defaultText);
    defaults_.Add(full, escaped);
    modified_ = 1;
    return escaped;
}

RawString LanguageTable::LookupText(const RawString& section, const RawString& key) {
    return LookupText(section, key, key);
}

bool LanguageTable::FindTranslation(const RawString& section, const RawString& key, RawString& text) const {
    RawString full = FullKey(section, key);
    SectionGuard guard(&lock_);
    if (const RawParameterUnit* unit = texts_.Find(full)) {
        text = unit->value;
        return true;
    }
    return false;
}

RawString LanguageTable::TextOf(const RawString& section, const RawString& key, const RawString& defaultText,
                                uint8_t kind) {
    RawString text = UnescapeText(LookupText(section, key, defaultText));
    return text.Kind() == kind ? text : text.As(kind);
}

RawString LanguageTable::FilePath() const {
    SectionGuard guard(&lock_);
    return filePath_;
}

RawString LanguageTable::SelectedLanguage() const {
    SectionGuard guard(&lock_);
    return selected_;
}

RawString LanguageTable::LanguageInUse() const {
    SectionGuard guard(&lock_);
    return inUse_;
}

RawParameterList LanguageTable::Languages() const {
    SectionGuard guard(&lock_);
    return languages_.Copy();
}

RawParameterList LanguageTable::Defaults() const {
    SectionGuard guard(&lock_);
    return defaults_.Copy();
}

bool LanguageTable::IsModified() const {
    SectionGuard guard(&lock_);
    return modified_ != 0;
}

void LanguageTable::ClearModified() {
    SectionGuard guard(&lock_);
    modified_ = 0;
}

bool LanguageTable::SaveNewEntries() {
    SectionGuard guard(&lock_);
    if (!modified_ || filePath_.IsEmpty() || inUse_.IsEmpty()) return true;
    RawParameterList section = texts_.Copy();
    for (RawListLink* link = defaults_.FirstLink(); !defaults_.IsEnd(link); link = link->next) {
        const RawParameterUnit* entry = defaults_.UnitOf(link);
        if (!section.Find(entry->key)) section.Add(entry->key, entry->value);
    }
    ProfileFileRef file = ProfileFileRef::FromPath(filePath_);
    if (!section.WriteSection(file, inUse_)) return false;
    modified_ = 0;
    return true;
}

// ---- default tables of the base library --------------------------------------------

const RawLocaleRecord InputDialogTexts[] = {
    {"SaveTabPairs", "Input file name to save each tab pairs."},
    {"SearchTitle", "Input text for search."},
    {"ReplaceTitle", "Input text for replace."},
    {"ReplaceEach", "Replace current selected text ?"},
    {"SearchTag", "Search:"},
    {"ReplaceTag", "Replace:"},
    {"GotoLineTitle", "Input line to select."},
    {"GotoLineTag", "Line:"},
    {"GotoAddressTitle", "Input address to select."},
    {"GotoAddressTag", "Address:"},
    {"InsertTextTitle", "Input text to insert."},
    {"InsertTextTag", "Text:"},
    {"SelectCharSet", "Select conversion code set of pasted data."},
    {"", ""},
};

const RawButtonText DialogButtonTexts[] = {
    {"Yes", 2},
    {"No", 3},
    {"Cancel", 0},
    {"", 0},
};

}  // namespace RawLayer

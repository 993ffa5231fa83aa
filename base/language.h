// Language texts.
//
// Every text the programs show has a key and an English default in the
// code. A language file ("LanguageFile.ini", an INI-like profile) may replace
// the texts key by key, one section per language: its section "LangMap"
// lists the languages as name=UI language id, and every other section is
// named after a language and holds lines "<window section>_<key>=<text>".
//
// Texts are stored escaped: "\n" stands for a line break, "\t" for a tab,
// "\s" for a blank and "\\" for a backslash; UnescapeText turns them back.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/profile.h"
#include "base/raw_list.h"
#include "base/raw_string.h"

namespace RawLayer {

// One pair of a default table: a text key and its English default (7-bit or
// UTF-8 text). A table is a function-static array of pairs that ends with an
// entry whose key is empty (or null); each window or dialog has one, with the
// section name under which its keys stand.
struct RawLocaleRecord {
    const char* key;
    const char* text;
};

// The registered default tables (by the address of their first pair); the
// tables belong to their windows.
class RawLocaleRecordListAllocator : public RawListKeepAllocator<RawLocaleRecord> {};
class RawLocaleRecordList : public RawListP<RawLocaleRecordListAllocator, RawLocaleRecord> {};

RAW_CONSTANT_TEXT(LanguageFileNameText, "LanguageFile.ini")
RAW_CONSTANT_TEXT(LangMapSectionText, "LangMap")
RAW_CONSTANT_TEXT(DefaultLanguageText, "Default")

// The process-wide language table. Lookups take the table's lock, so windows
// on any thread may ask for texts. Instances other than the process one
// (Construct) are for tools and tests.
class LanguageTable {
public:
    LanguageTable();
    ~LanguageTable();
    LanguageTable(const LanguageTable&) = delete;
    LanguageTable& operator=(const LanguageTable&) = delete;

    // The process-wide table, built on first use (thread-safe) and destroyed
    // at exit: empty path and names, empty lists, not modified.
    static LanguageTable& Construct();
    // Builds the table when needed and makes a copy of the name its selected
    // language name.
    static void SetLanguage(const RawString& name);
    // The section name of a window's texts (the name given); registers the
    // table's defaults under it the first time the table is seen.
    static RawString Lookup(const RawString& section, const RawLocaleRecord* table);
    // The text of a key of a section: the language's text, else the
    // registered default, else the given default (which is then registered);
    // unescaped, in the wanted encoding kind.
    static RawString Text(const RawString& section, const RawString& key, const RawString& defaultText,
                          uint8_t kind = KindUtf8);
    // The same with the registered default, or the key itself, as default.
    static RawString Text(const RawString& section, const RawString& key, uint8_t kind = KindUtf8);

    // ---- one table -----------------------------------------------------------

    // Sets the language file path (the "LanguageFile" value of a profile).
    void SetFilePath(const RawString& path);
    // A path already set is kept (true). Otherwise "LanguageFile.ini" in the
    // base folder when it is a file, else beside the program when it is a
    // file; false when neither is.
    bool LocateFile(const RawString& baseFolder);
    // Reads the language list from the file: section "LangMap" (each value
    // parsed into the unit's number), or, when the file has none, the names
    // of all its sections in file order (without "LangMap" and repeats) with
    // empty values. Nothing happens with an empty path.
    void Load();
    // The name of the first listed language whose number is the user's UI
    // language; "Default" when none is, or the list is empty.
    RawString PickLanguage() const;
    RawString PickLanguage(uint32_t uiLanguage) const;
    // Makes a language the one in use and reads its section of the file as
    // the texts (none when the section or the file is missing: every text is
    // then shown in English). True when the section was read.
    bool UseLanguage(const RawString& name);
    // The choice at start-up: load the language list, take the selected
    // name when there is one, else PickLanguage(uiLanguage), and use it.
    // The name in use is returned.
    RawString ChooseLanguage(uint32_t uiLanguage);
    RawString ChooseLanguage() { return ChooseLanguage(GetUserDefaultUILanguage()); }

    void Select(const RawString& name);
    RawString RegisterTable(const RawString& section, const RawLocaleRecord* table);
    // The stored (escaped) text of section '_' key: the language's text;
    // else the registered default; else the given default, escaped, which
    // is registered and sets the modified flag.
    RawString LookupText(const RawString& section, const RawString& key, const RawString& defaultText);
    // LookupText without a default: the key itself serves as default.
    RawString LookupText(const RawString& section, const RawString& key);
    // The language's own text of a key, when it has one.
    bool FindTranslation(const RawString& section, const RawString& key, RawString& text) const;
    // LookupText, unescaped, in the wanted kind.
    RawString TextOf(const RawString& section, const RawString& key, const RawString& defaultText,
                     uint8_t kind = KindUtf8);

    RawString FilePath() const;
    RawString SelectedLanguage() const;
    RawString LanguageInUse() const;
    // A copy of the language list (names, id texts and parsed ids).
    RawParameterList Languages() const;
    // A copy of the defaults met so far (full key, escaped default).
    RawParameterList Defaults() const;
    bool IsModified() const;
    void ClearModified();
    // Writes the texts met since the last save that the language in use
    // lacks into its section of the language file, after the texts it has
    // (the file is replaced through its temporary; a read-only file stays
    // as it is), and clears the mark. True when nothing needed writing or
    // the file was written.
    bool SaveNewEntries();
    // SaveNewEntries of the process-wide table.
    static bool SaveChanges() { return Construct().SaveNewEntries(); }

private:
    RawString FullKey(const RawString& section, const RawString& key) const;

    RawString filePath_;
    RawString selected_;
    RawString inUse_;
    RawParameterList languages_;
    RawParameterList texts_;
    RawParameterList defaults_;
    RawLocaleRecordList tables_;
    uint8_t modified_ = 0;
    mutable CRITICAL_SECTION lock_;
};

// LanguageTable::Construct().LookupText: the stored text of a key, escaped.
RawString LanguageTextLookup(const RawString& section, const RawString& key, const RawString& defaultText);

// '\' followed by 'n' gives CR LF, by 't' a tab, by 's' a blank, by any other
// unit that unit; a '\' at the very end is kept; all other units are copied.
// The result has the text's kind.
RawString UnescapeText(const RawString& text);
// CR LF, a lone CR and a lone LF each give "\n"; a tab gives "\t"; a '\'
// gives "\\"; all other units are copied. UnescapeText(EscapeText(t)) is t
// with its line ends made CR LF.
RawString EscapeText(const RawString& text);

// Default texts of the base library.

// Section "ToolMessage": the prompts of the compare tool's input dialogs.
RAW_CONSTANT_TEXT(ToolMessageSectionText, "ToolMessage")
extern const RawLocaleRecord InputDialogTexts[];

// A button text with its dialog result.
struct RawButtonText {
    const char* text;
    uint32_t result;
};
// "Yes" 2, "No" 3, "Cancel" 0, then an empty end entry with 0.
extern const RawButtonText DialogButtonTexts[];

// The window title prefix: the program's name, a blank, '-', a blank.
RAW_CONSTANT_TEXT(TitlePrefixText, "Tavrel - ")

}  // namespace RawLayer

// The viewer's option set.

#include "quenby/document/document_options.h"

#include "base/api_text.h"
#include "base/command_line.h"
#include "base/file_system.h"
#include "base/line_file.h"
#include "base/raw_string_tokenizer.h"
#include "base/wildcard.h"
#include "quenby/document/document_model.h"

namespace DocLayer {

namespace {

RAW_CONSTANT_TEXT(JobSectionText, "Job")
RAW_CONSTANT_TEXT(TxtExtensionText, ".txt")

// Splits the text at ',' and appends each entry, blanks and tabs trimmed.
void AppendExtensions(RawStringList& list, const RawString& text) {
    RawLayer::RawStringTokenizer fields(text);
    while (!(fields.State() & RawLayer::RawStringTokenizer::FieldEnded)) {
        RawString field = fields.NextField(',');
        RawString entry;
        entry.AssignRange(field, field.TrimRange(field.All(), BlankSetText()));
        list.Add(entry);
    }
}

// Every line of a list file, empty ones too, as one path.
void AppendListFile(RawStringList& list, const RawString& path) {
    RawLayer::RawLineFile file(path);
    if (!file.Open()) return;
    while (file.ReadLine()) list.Add(file.Line().text);
    file.Close();
}

bool KeyIs(const RawString& key, const char* name) { return key == RawString::FromLiteral(name); }

}  // namespace

JobOptions::JobOptions() { AppendExtensions(extensions, DocumentExtensionsText()); }

JobOptions& JobOptions::Instance() {
    static JobOptions options;
    return options;
}

void JobOptions::Initialize(const RawString& path, const RawParameterList& arguments) {
    configPath = path;
    config = ProfileFileRef::FromPath(path);
    ReadJobSection();
    ApplyArguments(arguments);
    SettlePendingDocuments();
}

void JobOptions::ReadJobSection() {
    RawParameterList list;
    if (!list.ReadSection(config, JobSectionText())) return;
    bool found = false;
    RawString value = list.GetText(RawString::FromLiteral("AutoLoad"), &found);
    if (found) autoLoad = value;
    withTreeDotMark = list.GetBool(RawString::FromLiteral("WithTreeDotMark"), withTreeDotMark);
    pageView = list.GetBool(RawString::FromLiteral("PageView"), pageView);
    value = list.GetText(RawString::FromLiteral("LinkWith"), &found);
    AppendExtensions(extensions, found ? value : DocumentExtensionsText());
}

void JobOptions::ApplyArguments(const RawParameterList& arguments) {
    const RawString& noTag = NoTagKeyText();
    for (const RawLayer::RawParameterUnit& unit : arguments) {
        bool untagged = unit.key.Length() >= noTag.Length() &&
                        unit.key.EqualsRange(RawRange{0, noTag.Length()}, noTag, noTag.All());
        if (untagged) {
            pending.Add(unit.value);
        } else if (KeyIs(unit.key, "p")) {
            pageView = true;
        } else if (KeyIs(unit.key, "p-")) {
            pageView = false;
        } else if (KeyIs(unit.key, "l")) {
            AppendListFile(pending, unit.value);
        } else if (KeyIs(unit.key, "i")) {
            firstIndex = unit.value.ToInt();
        }
    }
}

void JobOptions::SettlePendingDocuments() {
    if (pending.Count() != 0 || autoLoad.IsEmpty()) return;
    RawRange folderRange = RawLayer::PathFolderRange(configPath);
    RawString folder;
    folder.AssignRange(configPath, folderRange);
    RawLayer::WildcardPatternList patterns;
    patterns.Init(autoLoad);
    // Only files count: a folder or "." named like a document never opens.
    RawLayer::RawFileFind find(folder);
    while (find.Next(RawLayer::FindSkipFolders | RawLayer::FindSkipDots)) {
        if (patterns.MatchAny(find.Name())) {
            pending.Add(find.FullPath());
            return;
        }
    }
}

RawString ResolveLinkTarget(const RawString& target, const RawString& current) {
    if (target.IsEmpty()) return RawString();
    RawString folder;
    folder.AssignRange(current, RawLayer::PathFolderRange(current));
    // The inline pass hands full paths: those stay as they are.
    RawString path = RawLayer::PathResolve(folder, target);
    // A link to a device's name is followed, and its opening refused with
    // the message of a document that cannot be read.
    if (RawLayer::IsDevicePath(path) || RawLayer::FileExists(path)) return path;
    path.Append(TxtExtensionText());
    if (RawLayer::FileExists(path)) return path;
    return RawString();
}

bool JobOptions::QueueLinkedFile(const RawString& target, const RawString& current) {
    RawString path = ResolveLinkTarget(target, current);
    if (path.IsEmpty()) return false;
    RawStringList fresh;
    fresh.Add(path);
    pending = fresh;
    return true;
}

}  // namespace DocLayer

// Restart list file and the start of the next viewer process.
#include "quenby/app/restart.h"

#include "base/api_text.h"
#include "base/file_system.h"
#include "base/line_file.h"
#include "base/profile.h"
#include "base/shell.h"

namespace AppLayer {

using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(ListFolderText, "Quenby")
RAW_CONSTANT_TEXT(ListFileText, "Quenby_ListFile.txt")
RAW_CONSTANT_TEXT(WritingSuffixText, ".writing")
RAW_CONSTANT_TEXT(PageOnText, " -p")
RAW_CONSTANT_TEXT(PageOffText, " -p-")
RAW_CONSTANT_TEXT(ListSwitchText, " -l \"")
RAW_CONSTANT_TEXT(IndexSwitchText, "\" -i ")

}  // namespace

RawString RestartListPath() {
    const RawString folder = RawLayer::PathJoin(RawLayer::ApiGetTempPath(RawLayer::KindUtf16), ListFolderText());
    return RawLayer::PathJoin(folder, ListFileText());
}

bool WriteRestartListFile(const RawString& listPath, const RawLayer::RawStringList& documents) {
    RawString folder;
    folder.AssignRange(listPath, RawLayer::PathFolderRange(listPath));
    if (!folder.IsEmpty() && !RawLayer::ApiCreateDirectoryTree(folder)) return false;
    RawString temporary = listPath;
    temporary.Append(WritingSuffixText());
    bool written = false;
    {
        RawLayer::RawLineFile file(temporary);
        file.SetTextKind(RawLayer::KindUtf8);
        written = file.BeginWrite();
        for (const RawString& path : documents) {
            if (!written) break;
            written = file.WriteLine(path) && file.WriteLineBreak();
        }
        written = file.Close() && written;
    }
    if (written) written = RawLayer::ApiMoveFileEx(temporary, listPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!written) RawLayer::ApiDeleteFile(temporary);
    return written;
}

RawString RestartParameters(bool pageView, const RawString& listPath, int32_t index) {
    RawString parameters(pageView ? PageOnText() : PageOffText());
    parameters = parameters.As(RawLayer::KindUtf16);
    parameters.Append(ListSwitchText());
    parameters.Append(listPath);
    parameters.Append(IndexSwitchText());
    parameters.Append(RawString::FromInt(index));
    return parameters;
}

RawString& RestartProgramPath() {
    static RawString path = RawLayer::ApiGetModuleFileName(RawLayer::KindUtf16);
    return path;
}

bool RestartWithDocuments(bool pageView, const RawLayer::RawStringList& documents, int32_t index) {
    const RawString listPath = RestartListPath();
    if (!WriteRestartListFile(listPath, documents)) return false;
    RawLayer::RawShell shell(RestartProgramPath());
    if (!shell.Execute(RestartParameters(pageView, listPath, index), RawString())) return false;
    shell.CloseProcess();
    return true;
}

}  // namespace AppLayer

// Shows the text or binary rows of two files in the row host until the process is
// ended, for the screenshot of scripts/shot-rows.sh:
//
//     rows_shot.exe FILE1 FILE2 [ready-file]
//     rows_shot.exe FOLDER1 FOLDER2 [ready-file]
//     rows_shot.exe --binary FILE1 FILE2 [ready-file]
//
// The first changed row gets a selection on side 1 and the caret at its
// end; once the window is painted the ready file is written. Binary files
// show a few positions deleted in overwrite mode (gaps) and the encoding
// texts in the title row.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/encoding.h"
#include "support/window_rows.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

constexpr UINT kLifetimeMs = 120000;
constexpr UINT kReadyDelayMs = 700;
std::wstring g_readyFile;

std::wstring WideArgument(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 0, L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], length);
    if (!wide.empty()) wide.pop_back();
    return wide;
}

void CALLBACK WriteReadyFile(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_readyFile.empty()) return;
    HANDLE file = CreateFileW(g_readyFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void CALLBACK EndOfLife(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); }

// Shows the rows of a job in the row host until the end of life.
int ShowRows(JobGroupUnit& job, RECT rect, void (*prepare)(TestSupport::RowHost&), bool caret = true) {
    TestSupport::RowHost host(&job, rect);
    host.showCaret = caret;
    host.Create();
    if (!host.window) return 1;
    if (prepare) prepare(host);
    SetTimer(nullptr, 0, kReadyDelayMs, WriteReadyFile);
    SetTimer(nullptr, 0, kLifetimeMs, EndOfLife);
    return host.MessageLoop();
}

// Two folders: the entry rows with their icons, sizes and dates, and the
// one-sided rows. The extension table (which files are text) is the default
// one, kept in "Tavrel.ini" beside the first folder.
int ShowFolderRows(const std::wstring& folder1, const std::wstring& folder2) {
    const RawString folder = RawString::FromWideText(folder1.c_str());
    RawString parent;
    parent.AssignRange(folder, RawLayer::PathFolderRange(folder));
    ExtensionKindTable::Shared().Load(
        RawLayer::ProfileFileRef::FromPath(RawLayer::PathJoin(parent, RawString::FromText("Tavrel.ini"))));
    JobGroupUnit job(JobKindType::FromKind(KindPath), &JobPathControl::Shared());
    job.content1.path = RawString::FromWideText(folder1.c_str());
    job.content2.path = RawString::FromWideText(folder2.c_str());
    job.controller->Load(job, ModeBoth);
    return ShowRows(job, RECT{40, 40, 760, 260}, nullptr, false);
}

// Gaps of positions 2-4 of the first row, the other side read as UTF16LE,
// and a selection over positions 6-9 of the first changed row with the
// caret at its end.
void PrepareBinary(TestSupport::RowHost& host) {
    JobGroupUnit& job = *host.job;
    job.side1.anchorRow = job.side1.cursorRow = 0;
    job.side1.anchorColumn = 2;
    job.side1.cursorColumn = 5;
    host.Execute(CommandDeleteSelections);
    BinaryEncodingKind(job.side2) = RawLayer::KindUtf16LE;
    job.side2.encodingText = RawLayer::EncodingKindName(RawLayer::KindUtf16LE, false);
    for (int32_t row = 0; row < job.rows.Count(); ++row) {
        if (job.rows.At(row)->kind != RowChanged) continue;
        job.side1.anchorRow = job.side1.cursorRow = row;
        job.side1.anchorColumn = 6;
        job.side1.cursorColumn = 10;
        break;
    }
}

int ShowBinary(int argc, char** argv) {
    if (argc > 4) g_readyFile = WideArgument(argv[4]);
    JobGroupUnit job(JobKindType::FromKind(KindBinary), &JobBinaryControl::Shared());
    job.content1.path = RawString::FromWideText(WideArgument(argv[2]).c_str());
    job.content2.path = RawString::FromWideText(WideArgument(argv[3]).c_str());
    job.edit.edit1 = job.edit.edit2 = 1;
    job.controller->Load(job, ModeBoth);
    return ShowRows(job, RECT{20, 20, 1180, 260}, PrepareBinary);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--binary") return ShowBinary(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: rows_shot FILE1 FILE2 [ready-file]\n");
        return 2;
    }
    if (argc > 3) g_readyFile = WideArgument(argv[3]);
    const std::wstring first = WideArgument(argv[1]);
    const DWORD attributes = GetFileAttributesW(first.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ShowFolderRows(first, WideArgument(argv[2]));
    JobGroupUnit job(JobKindType::FromKind(KindText), &JobLineControl::Shared());
    job.content1.path = RawString::FromWideText(WideArgument(argv[1]).c_str());
    job.content2.path = RawString::FromWideText(WideArgument(argv[2]).c_str());
    job.edit.edit1 = job.edit.edit2 = 1;
    job.controller->Load(job, ModeBoth);
    // A selection over the first changed row of side 1, the caret at its end.
    for (int32_t row = 0; row < job.rows.Count(); ++row) {
        if (job.rows.At(row)->kind != RowChanged) continue;
        JobContentUnit* unit = job.rows.At(row)->unit1;
        job.side1.anchorRow = job.side1.cursorRow = row;
        job.side1.anchorColumn = 0;
        job.side1.cursorColumn = unit->Text().Length() > 4 ? 4 : unit->Text().Length();
        break;
    }
    return ShowRows(job, RECT{40, 40, 760, 260}, nullptr);
}

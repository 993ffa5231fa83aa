#include "tavrel/jobs/text/text_kind.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/api_text.h"
#include "base/encoding.h"
#include "base/file_system.h"
#include "base/profile.h"
#include "base/thread.h"
#include "tavrel/jobs/backup/side_file_flow.h"
#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/shell_commands.h"
#include "tavrel/jobs/text/line_matcher.h"

namespace JobLayer {

namespace {

constexpr uint16_t TextEditedFlags = ContentChanged | ContentNumbering;
// Flags of a side that could not be loaded whole.
constexpr uint16_t TextLoadFailed = ContentNoFile | ContentCut | ContentUnreadable;
// Bytes the reader takes at a time.
constexpr int32_t TextReadChunk = 65536;

// A fresh row of one side with empty detail lists.
JobReportUnit* NewOneSidedRow(uint32_t side, JobContentUnit* line) {
    JobReportUnit* row = new JobReportUnit();
    if (side == 0) {
        row->kind = RowOnly1;
        row->unit1 = line;
        row->unit2 = &EmptyLineUnit();
    } else {
        row->kind = RowOnly2;
        row->unit1 = &EmptyLineUnit();
        row->unit2 = line;
    }
    return row;
}

void ClearDetails(JobReportUnit& row) { row.details.Clear(); }

// A real line of a side in a row; null otherwise.
JobLineUnit* RealLineOfRow(JobGroupUnit& job, int32_t row, uint32_t side) {
    JobReportUnit* r = job.rows.At(row);
    if (!r) return nullptr;
    JobContentUnit* unit = r->Unit(side);
    if (!IsRealUnit(unit)) return nullptr;
    return AsLineUnit(unit);
}

// The index of a line in its side's list: first the one its number
// gives (right unless lines before it came or went since the last
// numbering, so an edit working from the end of a range finds each line at
// once), else by search.
int32_t IndexOfLine(const JobContentList& content, const JobContentUnit* unit) {
    const JobLineUnit* line = AsLineUnit(unit);
    const int32_t numbered = line ? NumberedIndex(content, *line) : -1;
    return numbered >= 0 ? numbered : content.IndexOf(unit);
}

// A new empty line in the kind of the side's other lines.
JobLineUnit* NewEmptyLine(const JobContentList& content) {
    return new JobLineUnit(RawString(LineTextKindOf(content.encodingKind)));
}

// A new line with a text, in a block of a batch (for lines made by the
// thousand); deleted as usual.
JobLineUnit* NewLineIn(RawLayer::SmallBlockBatch& blocks, const RawString& text) {
    void* block = blocks.Next();
    try {
        return ::new (block) JobLineUnit(text);
    } catch (...) {
        RawLayer::SmallRelease(block, sizeof(JobLineUnit));
        throw;
    }
}

void CollapseSelections(JobGroupUnit& job) {
    for (uint32_t s = 0; s < 2; ++s) {
        JobSideRecord& side = job.Side(s);
        side.anchorRow = side.cursorRow;
        side.anchorColumn = side.cursorColumn;
    }
}

uint32_t NewMarkSerial() { return RawLayer::NextSerialNumber(0).serial; }

void SetMark(JobContentUnit& line, uint16_t kind, uint32_t serial) {
    line.markKind = kind;
    line.markSerial = serial;
}

// A text of 7-bit characters in a kind.
RawString PlainText(uint8_t kind, const char* chars) {
    RawString text(kind);
    for (const char* c = chars; *c; ++c) text.AppendChar(static_cast<uint8_t>(*c));
    return text;
}

}  // namespace

RawString CrLfText(uint8_t kind) { return PlainText(kind, "\r\n"); }

// ---------------------------------------------------------------------------
// Side data and the shared units

void JobLineBaseData::UpdateMetrics(HDC dc, int32_t, int32_t width) {
    static const wchar_t tabText[] = L"\t";
    cellWidth = width;
    int32_t stop = ConfigStore::Instance().tabStop;
    if (stop < 1) stop = 1;
    int32_t measured = tabWidth;
    if (dc) {
        RECT rect = {0, 0, 32767, 0};
        DRAWTEXTPARAMS params = {};
        params.cbSize = sizeof(params);
        params.iTabLength = stop;
        if (DrawTextExW(dc, const_cast<wchar_t*>(tabText), 1, &rect,
                        DT_CALCRECT | DT_NOPREFIX | DT_TABSTOP | DT_EXPANDTABS | DT_SINGLELINE |
                            DT_VCENTER,
                        &params) != 0)
            measured = rect.right - rect.left;
    }
    if (static_cast<uint32_t>(stop) != tabStop || measured != tabWidth) ++revision;
    tabStop = static_cast<uint32_t>(stop);
    tabWidth = measured;
}

JobLineChangeLog::JobLineChangeLog() : thread_(GetCurrentThreadId()) {}

JobLineChangeLog& JobLineChangeLog::Instance() {
    // Never destroyed: lines of static units and of the last jobs go after
    // every other static.
    static JobLineChangeLog* log = new JobLineChangeLog();
    return *log;
}

bool JobLineChangeLog::Foreign() {
    if (GetCurrentThreadId() == thread_) return false;
    // Lines are the GUI thread's; one changed elsewhere is not listed, so
    // nothing listed can be trusted. The epoch moves under no lock, but
    // only ever away from what the measurer noted.
    ++epoch_;
    return true;
}

void JobLineChangeLog::Clear() {
    if (Foreign()) return;
    Forget();
    walkAll_ = false;
}

void JobLineChangeLog::Forget() {
    for (auto& entry : lines_) entry.first->SetWidthLogged(false);
    lines_.clear();
    gone_[0] = gone_[1] = -1;
    goneCount_[0] = goneCount_[1] = 0;
}

void JobLineChangeLog::Invalidate() {
    if (Foreign()) return;
    Forget();
    ++epoch_;
    // Every line is measured next: nothing is listed until then.
    walkAll_ = true;
}

void JobLineChangeLog::Changed(JobLineUnit& line) {
    if (walkAll_ || Foreign()) return;
    if (lines_.size() >= kMostLines) {
        Invalidate();
        return;
    }
    lines_.emplace(&line, line.MeasuredSide() >= 0 ? line.AnyNotedWidth() : -1);
    line.SetWidthLogged(true);
}

void JobLineChangeLog::ChangingMany(size_t count) {
    if (walkAll_ || Foreign()) return;
    if (lines_.size() + count > kMostLines) Invalidate();
}

void JobLineChangeLog::Gone(JobLineUnit& line) {
    if (Foreign()) return;
    if (walkAll_ && !line.WidthLogged()) return;
    int32_t width = line.MeasuredSide() >= 0 ? line.AnyNotedWidth() : -1;
    if (line.WidthLogged()) {
        // The width it had before its first change is the one the side's
        // width was taken from.
        const auto found = lines_.find(&line);
        if (found != lines_.end()) {
            width = found->second;
            lines_.erase(found);
        }
        line.SetWidthLogged(false);
    }
    const int32_t side = line.MeasuredSide();
    if (side < 0 || width < 0 || width < gone_[side] || JobContentRelease::Active()) return;
    goneCount_[side] = width == gone_[side] ? goneCount_[side] + 1 : 1;
    gone_[side] = width;
}

JobLineUnit* JobLineUnit::NewWithText(const RawString& text, RawLayer::RawRange range,
                                      RawLayer::SmallBlockBatches* blocks) {
    // Lines longer than this get a text of their own: the block's size is
    // kept in 16 bits, and a long text is better in a block of its own size.
    constexpr size_t kMostBlockBytes = 4096;
    constexpr size_t kBodyAlign = alignof(RawLayer::RawStringBody);
    constexpr size_t kUnitBytes = (sizeof(JobLineUnit) + kBodyAlign - 1) & ~(kBodyAlign - 1);
    const int32_t length = range.end - range.start;
    const size_t width = RawLayer::UnitWidth(text.Kind());
    const size_t textBytes = static_cast<size_t>(length) * width;
    const size_t bytes = kUnitBytes + RawString::PlacedBodyBytes + textBytes + width;
    if (bytes > kMostBlockBytes) {
        if (range.start == 0 && range.end == text.Length()) return new JobLineUnit(text);
        RawString piece = RawString::ReserveAs(text.Kind(), length);
        piece.AppendRange(text, range);
        return new JobLineUnit(piece);
    }
    char* block = static_cast<char*>(blocks ? blocks->Next(bytes) : RawLayer::SmallAllocate(bytes));
    JobLineUnit* unit = ::new (block) JobLineUnit();
    char* units = block + kUnitBytes + RawString::PlacedBodyBytes;
    std::memcpy(units, text.Bytes() + static_cast<size_t>(range.start) * width, textBytes);
    std::memset(units + textBytes, 0, width);
    unit->text_ = RawString::ViewInPlace(block + kUnitBytes, units, length, text.Kind());
    unit->distinctCount_ = kDistinctUnknown;
    unit->blockBytes_ = static_cast<uint16_t>(bytes);
    return unit;
}

JobLineBaseData* LineBaseData(JobSideRecord& side) {
    return dynamic_cast<JobLineBaseData*>(side.kindData.get());
}

uint8_t LineTextKindOf(uint32_t fileKind) {
    if (fileKind == RawLayer::KindUtf16BE || fileKind == RawLayer::KindUtf16LE ||
        fileKind == RawLayer::KindUtf16)
        return RawLayer::KindUtf16;
    if (fileKind <= RawLayer::KindEucJp) return static_cast<uint8_t>(fileKind);
    return RawLayer::KindUtf8;
}

RawString JobLineHeaderUnit::ColumnText(int32_t column) const {
    if (column == 0 || column == 1) return titles_[column];
    return RawString();
}

void JobLineHeaderUnit::FillTitles() {
    if (flags & UnitTitlesFilled) return;
    titles_[0] = ColumnTitles(KindText, 0);
    titles_[1] = ColumnTitles(KindText, 1);
    flags = static_cast<uint16_t>(flags | UnitTitlesFilled);
}

JobLineHeaderUnit& TextHeaderUnit() {
    static JobLineHeaderUnit unit;
    unit.FillTitles();
    return unit;
}

// ---------------------------------------------------------------------------
// Loading

void NumberLines(JobContentList& content) {
    // From the first line that came or went since the last numbering, when
    // every change noted its place; else from the first line.
    const bool noted = (content.flags & ContentNumbering) && content.renumberFrom != INT32_MAX;
    const int32_t count = content.Count();
    for (int32_t i = noted ? std::min(content.renumberFrom, count) : 0; i < count; ++i) content.At(i)->SetNumber(i + 1);
    content.renumberFrom = INT32_MAX;
}

int32_t NumberedIndex(const JobContentList& content, const JobLineUnit& line) {
    const int32_t index = line.LineNumber() - 1;
    return index >= 0 && index < content.Count() && content.At(index) == &line ? index : -1;
}

bool ReadLines(RawLineFile& reader, JobContentList& content, bool hasLine, int64_t limit,
               bool& lastLineEnded, bool reportReadError) {
    // The lines read are listed nowhere: the next measuring walks all.
    JobLineChangeLog::Instance().Invalidate();
    if (limit > TextLoadingHardLimit) limit = TextLoadingHardLimit;
    RawLayer::SmallBlockBatches blocks;
    while (hasLine) {
        const RawLayer::RawLineRecord& record = reader.Line();
        JobLineUnit* line = JobLineUnit::NewWithText(record.text, &blocks);
        // Numbered as it comes (the numbering of a load would be a second
        // walk over every line).
        line->SetNumber(content.Count() + 1);
        line->SetFileLineEnd(record.lineEndCount == 0   ? FileLineEndNone
                             : record.lineEndCount == 2 ? FileLineEndCrLf
                             : record.lineEnd[0] == '\r' ? FileLineEndCr
                                                         : FileLineEndLf);
        content.Add(line);
        lastLineEnded = record.lineEndCount > 0;
        if (record.position >= limit) {
            ReportError(TooLargeFileText(), content.path);
            content.flags = static_cast<uint16_t>(content.flags | ContentCut);
            return false;
        }
        hasLine = reader.ReadLine();
    }
    switch (reader.State()) {
        case RawLayer::LineStateEnd:
            return true;
        case RawLayer::LineStateTooLong:
            // A line longer than the limit: the file is larger than the limit
            // too; the lines before it stay, and so does its cut start.
            ReportError(TooLargeFileText(), content.path);
            content.flags = static_cast<uint16_t>(content.flags | ContentCut);
            return false;
        default:
            // The reader could not go on (a failed read, a broken character
            // at the end of a UTF-16 file): the side is not the whole file.
            if (reportReadError) ReportError(ReadErrorText(), content.path);
            content.flags = static_cast<uint16_t>(content.flags | ContentUnreadable);
            return false;
    }
}

namespace {

enum TextReadResult { TextReadDone, TextReadFailed, TextReadNotUtf16 };

// Reads the side's file with a reader of the given decoder flags. A file
// whose UTF-16 kind was only guessed (no mark) and that does not decode as
// UTF-16 reports nothing and gives TextReadNotUtf16.
TextReadResult ReadTextFile(JobSideRecord& side, JobContentList& content, JobLineBaseData& data,
                            int64_t limit, uint32_t decoderFlags) {
    const RawString& path = content.path;
    RawLineFile reader(path, TextReadChunk);
    // A line longer than the limit is kept cut at the limit (on a whole
    // character), and the load stops there: "TooLargeFile" (ReadLines).
    reader.SetMaxLineLength(static_cast<int32_t>(limit < 0x7FFFFFFF ? limit : 0x7FFFFFFF));
    // Each line's text is copied once, into its unit, straight from the
    // read buffer.
    reader.SetOptions(reader.Options() | RawLayer::LineFileKeepLongLine | RawLayer::LineFileViewText |
                      RawLayer::LineFileDecoderFlagsGiven | decoderFlags);
    if (!reader.Open()) {
        bool opened = reader.State() != RawLayer::LineStateOpenFailed;
        ReportError(opened ? ReadErrorText() : ReadOpenErrorText(), path);
        content.flags = static_cast<uint16_t>(content.flags | ContentUnreadable);
        return TextReadFailed;
    }

    uint64_t size = 0;
    if (reader.File().Size(size)) content.fileSize = size;
    content.flags = static_cast<uint16_t>(content.flags | ContentRead);

    // The file's kind as the reader found it; 7-bit text (0) and bytes that
    // do not look like text (8) are kept as they stand, as UTF-8.
    uint8_t fileKind = reader.FileKind();
    if (fileKind == 0 || fileKind > RawLayer::KindUtf16) fileKind = RawLayer::KindUtf8;
    const bool guessedUtf16 =
        (fileKind == RawLayer::KindUtf16BE || fileKind == RawLayer::KindUtf16LE) && !reader.HasMark();
    data.textKind = LineTextKindOf(fileKind);
    data.markKind = reader.MarkKind();

    bool hasLine = reader.ReadLine();
    if (reader.HasMark())
        content.flags = static_cast<uint16_t>(content.flags | ContentByteOrderMark);
    else
        content.flags = static_cast<uint16_t>(content.flags & ~ContentByteOrderMark);
    // The first line's line end is the side's, which lines added later
    // take; a first line without one (a one-line file, an empty file) gives
    // CR LF, so that they never run together.
    if (hasLine && reader.Line().lineEndCount > 0)
        content.lineEnd = reader.Line().LineEndText();
    else
        content.lineEnd = CrLfText(hasLine ? reader.Line().text.Kind() : data.textKind);

    // An empty file has no line end to keep: what is typed into it is saved
    // as typed.
    bool lastLineEnded = hasLine;
    bool result = ReadLines(reader, content, hasLine, limit, lastLineEnded, !guessedUtf16);
    if (!result && guessedUtf16 && (content.flags & ContentUnreadable)) return TextReadNotUtf16;
    // A file with text after its mark that gave no line at all: an empty
    // side would look like an empty file, and saving it would empty the
    // file. Guessed UTF-16 is read again as 8-bit text; otherwise the side
    // says why it is empty and stays unsaved.
    const uint64_t markBytes = reader.HasMark() ? static_cast<uint64_t>(RawLayer::BomLength(reader.MarkKind())) : 0;
    if (result && content.Count() == 0 && content.fileSize > markBytes) {
        if (guessedUtf16) return TextReadNotUtf16;
        ReportError(NoLinesReadErrorText(), path);
        content.flags = static_cast<uint16_t>(content.flags | ContentUnreadable);
        result = false;
    }
    data.lastLineEnded = lastLineEnded;
    content.ShrinkToFit();

    content.encodingKind = fileKind;
    side.encodingText = RawLayer::EncodingKindName(fileKind, reader.HasMark());
    return result ? TextReadDone : TextReadFailed;
}

}  // namespace

bool LoadTextSide(JobSideRecord& side, JobContentList& content) {
    JobLineBaseData* data = LineBaseData(side);
    if (!data) {
        data = new JobLineBaseData();
        side.SetKindData(data);
    }
    content.ResetForLoad();
    content.header = &TextHeaderUnit();
    content.fileSize = 0;
    content.encodingKind = RawLayer::KindUtf8;
    content.lineEnd = CrLfText(RawLayer::KindUtf8);
    data->undo.Reset();
    data->composition = JobLineComposition();
    data->textKind = RawLayer::KindUtf8;
    data->markKind = 0;
    data->lastLineEnded = true;
    side.encodingText = RawLayer::EncodingKindName(RawLayer::KindUtf8, false);

    const RawString& path = content.path;
    if (path.IsEmpty()) {
        content.flags = static_cast<uint16_t>(content.flags | ContentNoFile);
        return false;
    }
    // A device is never opened (a serial port would keep the read waiting),
    // whether or not the folder holds a file of its name.
    if (RawLayer::IsDevicePath(path)) {
        ReportError(ReadOpenErrorText(), path);
        content.flags = static_cast<uint16_t>(content.flags | ContentUnreadable);
        return false;
    }
    DWORD attributes = RawLayer::ApiGetFileAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // A path that names nothing is a missing side; one whose attributes
        // the system refuses to give is reported.
        DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION &&
            error != ERROR_LOCK_VIOLATION) {
            content.flags = static_cast<uint16_t>(content.flags | ContentNoFile);
            return false;
        }
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ReportError(DifferentKindErrorText(), path);
        content.flags = static_cast<uint16_t>(content.flags | ContentUnreadable);
        return false;
    }

    int64_t limit = ConfigStore::Instance().maxTextLoading;
    if (limit < 1) limit = 1;
    const uint32_t flags = RawLayer::LineDecodeDetectMark | RawLayer::LineDecodeSkipMark |
                           RawLayer::LineDecodeGuess;
    TextReadResult result = ReadTextFile(side, content, *data, limit, flags);
    if (result == TextReadNotUtf16) {
        // A stray zero byte made the guess say UTF-16: read the file as the
        // 8-bit text it is.
        content.ResetForLoad();
        result = ReadTextFile(side, content, *data, limit, flags | RawLayer::LineDecodeGuess8Bit);
        if (result == TextReadNotUtf16) result = TextReadFailed;
    }
    return result == TextReadDone;
}

// ---------------------------------------------------------------------------
// The controller

JobLineControl& JobLineControl::Shared() {
    static JobLineControl control;
    return control;
}

bool JobLineControl::LoadSide(JobGroupUnit& job, uint32_t side) {
    if (side > 1) return false;
    // The rows point into the content list that is about to be emptied; the
    // compare after the load builds them again.
    job.rows.Clear();
    job.rowChanges.Forget();
    JobSideRecord& record = job.Side(side);
    JobContentList& content = job.Content(side);
    bool loaded = false;
    try {
        loaded = LoadTextSide(record, content);
    } catch (const std::bad_alloc&) {
        DropSideOutOfMemory(job, side);
    }
    if (!content.IsEmpty()) {
        record.anchorRow = record.cursorRow = 0;
        record.anchorColumn = record.cursorColumn = 0;
        record.preferredX = 0;
        record.wordBeforeAnchor = 0;
    } else {
        record.anchorRow = record.cursorRow = -1;
        record.anchorColumn = record.cursorColumn = -1;
    }
    // A side that was not read whole cannot be edited (nor saved).
    if (!(content.flags & ContentRead) || (content.flags & TextLoadFailed)) {
        if (side == 0)
            job.edit.edit1 = 0;
        else
            job.edit.edit2 = 0;
    }
    return loaded;
}

uint32_t JobLineControl::Load(JobGroupUnit& job, uint32_t mode) {
    DiscardFile(job, mode);
    // A side still marked changed lost its backup: reading the file again
    // would throw its edits away with no copy, so it keeps them.
    for (uint32_t side = 0; side < 2; ++side)
        if (ModeNamesSide(mode, side) && !(job.Content(side).flags & ContentChanged)) LoadSide(job, side);
    Compare(job);
    // A side that kept its lines may have had its cursor on a row that the
    // new compare no longer has.
    int32_t count = job.rows.Count();
    for (uint32_t s = 0; s < 2; ++s) {
        JobSideRecord& side = job.Side(s);
        if (side.cursorRow >= count) {
            side.cursorRow = count - 1;
            side.cursorColumn = count > 0 ? 0 : -1;
        }
        if (side.anchorRow >= count) {
            side.anchorRow = side.cursorRow;
            side.anchorColumn = side.cursorColumn;
        }
    }
    if (job.currentRow >= count) job.currentRow = count - 1;
    return TextFullRefresh;
}

void JobLineControl::InvalidateSide(JobGroupUnit& job, uint32_t side) {
    if (side > 1) return;
    // A new revision differs from the stamp of every line's laid-out
    // positions, so each line recomputes them at its next layout.
    JobLineBaseData* data = LineBaseData(job.Side(side));
    if (data) ++data->revision;
}

namespace {

bool WriteTextSideOf(JobGroupUnit& job, uint32_t side, const RawString& path) {
    return SaveTextSide(job.Side(side), job.Content(side), path);
}

}  // namespace

bool SaveTextSide(JobSideRecord& side, JobContentList& content, const RawString& path) {
    if (path.IsEmpty()) return false;
    JobLineBaseData* data = LineBaseData(side);
    uint8_t kind = content.encodingKind <= RawLayer::KindUtf16
                       ? static_cast<uint8_t>(content.encodingKind)
                       : static_cast<uint8_t>(RawLayer::KindUtf8);
    RawLineFile writer(path);
    writer.SetTextKind(kind);
    if (content.flags & ContentByteOrderMark)
        writer.SetOptions(writer.Options() | RawLayer::LineFileWriteMark);
    if (!writer.BeginWrite()) return false;
    // Each line goes back with the line end it had in its file: a save
    // changes no byte of a line the user did not edit, however mixed the
    // file's ends were and whatever the reading took for them (a file read
    // in another encoding than its own ends its lines at whatever bytes
    // look like line ends there). A line the file did not give (typed,
    // copied in, the head of a split line) takes the side's line end, and so
    // does the file's unended last line once lines follow it. The side's
    // last line ends as the file's last line did: with its own end (the
    // side's for a new line) when that had one, else with none.
    RawString lineEnd = content.lineEnd;
    if (lineEnd.IsEmpty()) lineEnd = CrLfText(data ? data->textKind : kind);
    const bool lastEnded = data ? data->lastLineEnded : true;
    // The texts of FileLineEndCr, ...Lf and ...CrLf, in the lines' kind.
    RawString ownEndTexts[FileLineEndCrLf + 1];
    ownEndTexts[FileLineEndCr] = PlainText(lineEnd.Kind(), "\r");
    ownEndTexts[FileLineEndLf] = PlainText(lineEnd.Kind(), "\n");
    ownEndTexts[FileLineEndCrLf] = PlainText(lineEnd.Kind(), "\r\n");
    bool ok = true;
    int32_t left = content.Count();
    for (JobContentUnit& unit : content) {
        --left;
        // A line's own text, not a copy of it (a loaded line's text is a
        // view, which a copy would duplicate).
        const JobLineUnit* line = AsLineUnit(&unit);
        ok = writer.WriteLine(line ? line->LineText() : unit.Text());
        if (!ok) break;
        if (left == 0 && !lastEnded) break;
        const uint8_t own = line ? line->FileLineEnd() : uint8_t(FileLineEndNotRead);
        ok = writer.WriteLine(own >= FileLineEndCr && own <= FileLineEndCrLf ? ownEndTexts[own] : lineEnd);
        if (!ok) break;
    }
    bool closed = writer.Close();
    return ok && closed;
}

bool JobLineControl::SaveFile(JobGroupUnit& job, uint32_t mode) {
    return RunSideFileFlow(job, mode, true, WriteTextSideOf);
}

bool JobLineControl::DiscardFile(JobGroupUnit& job, uint32_t mode) {
    return RunSideFileFlow(job, mode, false, WriteTextSideOf);
}

uint32_t JobLineControl::Compare(JobGroupUnit& job) {
    bool same;
    try {
        LineMatcher matcher(job);
        same = matcher.Run();
    } catch (const std::bad_alloc&) {
        DropRowsOutOfMemory(job);
        return TextFullRefresh;
    }
    job.rows.ShrinkToFit();
    JobGroupUnit::SetSame(&job, same);
    return TextFullRefresh;
}

bool JobLineControl::ConnectLines(JobGroupUnit& job, int32_t row, uint32_t side, uint32_t mode) {
    bool done = false;
    if (side <= 1 && (mode == ConnectModeConnect || mode == ConnectModeFloat)) {
        uint32_t other = 1 - side;
        int32_t targetRow = job.Side(other).cursorRow;
        if (targetRow < 0 || targetRow >= job.rows.Count()) targetRow = row;
        JobLineUnit* target = RealLineOfRow(job, targetRow, other);
        if (target && mode == ConnectModeConnect) {
            JobLineUnit* marked = nullptr;
            int32_t index = 0;
            for (JobReportUnit& r : job.rows) {
                if (r.flags & RowMarked) {
                    marked = RealLineOfRow(job, index, side);
                    break;
                }
                ++index;
            }
            if (marked) {
                ClearLineMark(job, *marked);
                ClearLineMark(job, *target);
                uint32_t serial = NewMarkSerial();
                SetMark(*marked, MarkConnect, serial);
                SetMark(*target, MarkConnect, serial);
                done = true;
            }
        } else if (target) {
            uint32_t serial = NewMarkSerial();
            int32_t count = 0;
            for (JobReportUnit& r : job.rows) {
                if (r.flags & RowMarked) {
                    JobContentUnit* unit = r.Unit(side);
                    if (IsRealUnit(unit) && dynamic_cast<JobLineUnit*>(unit)) {
                        ClearLineMark(job, *unit);
                        SetMark(*unit, MarkFloat, serial);
                        ++count;
                    }
                }
            }
            if (count > 0) {
                ClearLineMark(job, *target);
                SetMark(*target, MarkFloatAnchor, serial);
                done = true;
            }
        }
    }
    CollapseSelections(job);
    return done;
}

bool JobLineControl::DisconnectLines(JobGroupUnit& job) {
    bool cleared = false;
    for (JobReportUnit& r : job.rows) {
        if (!(r.flags & RowMarked)) continue;
        for (uint32_t s = 0; s < 2; ++s) {
            JobContentUnit* unit = r.Unit(s);
            if (IsRealUnit(unit) && ClearLineMark(job, *unit)) cleared = true;
        }
    }
    CollapseSelections(job);
    return cleared;
}

// ---------------------------------------------------------------------------
// Marks

bool ClearLineMark(JobGroupUnit& job, uint16_t markKind, uint32_t markSerial) {
    if (markKind == MarkNone) return false;
    for (uint32_t s = 0; s < 2; ++s)
        for (JobContentUnit& unit : job.Content(s))
            if (unit.markSerial == markSerial) unit.markKind = MarkNone;
    return true;
}

// ---------------------------------------------------------------------------
// Line primitives

int32_t InsertRowPosition(const JobGroupUnit& job, int32_t unitIndex, uint32_t side) {
    if (side > 1) return 0;
    int32_t rows = job.rows.Count();
    const JobContentList& content = job.Content(side);
    if (unitIndex >= 0 && unitIndex < content.Count()) {
        int32_t row = JobGroupUnit::RowOfUnit(&job, side, unitIndex);
        if (row >= 0) {
            int32_t previous = JobGroupUnit::PrevRealRow(&job, side, row, true);
            return previous < 0 ? 0 : previous + 1;
        }
    }
    if (rows == 0) return 0;
    int32_t last = JobGroupUnit::PrevRealRow(&job, side, rows - 1, false);
    return last < 0 ? 0 : last + 1;
}

// Puts a new line into a row that has none on its side: the row is edited
// and compared again; a row with no line on either side (never made by a
// compare) then holds only the new line.
static void PlaceLineInRow(JobReportUnit& row, uint32_t side, JobContentUnit* line) {
    row.SetUnit(side, line);
    row.flags |= RowEdited;
    row.kind = RowSame;
    ClearDetails(row);
    if (!IsRealUnit(row.Unit(1 - side))) {
        row.SetUnit(1 - side, &EmptyLineUnit());
        row.kind = side == 0 ? RowOnly1 : RowOnly2;
    }
}

int32_t InsertLineBefore(JobGroupUnit& job, int32_t unitIndex, uint32_t side) {
    if (side > 1) return -1;
    JobContentList& content = job.Content(side);
    int32_t position = InsertRowPosition(job, unitIndex, side);
    JobLineUnit* line = NewEmptyLine(content);
    if (unitIndex < 0 || unitIndex >= content.Count())
        content.Add(line);
    else
        content.Insert(unitIndex, line);
    content.flags = static_cast<uint16_t>(content.flags | TextEditedFlags);
    content.NoteRenumberFrom(unitIndex < 0 ? content.Count() - 1 : std::min(unitIndex, content.Count() - 1));

    JobReportUnit* row = job.rows.At(position);
    if (row && !IsRealUnit(row->Unit(side))) {
        job.rowChanges.Note(position, 1, job.rows.Count());
        PlaceLineInRow(*row, side, line);
        return position;
    }
    JobReportUnit* fresh = NewOneSidedRow(side, line);
    job.rowChanges.Note(std::min(position, job.rows.Count()), 0, job.rows.Count());
    if (position >= job.rows.Count())
        job.rows.Add(fresh);
    else
        job.rows.Insert(position, fresh);
    return position;
}

JobLineUnit* InsertLineAfter(JobGroupUnit& job, int32_t row, JobContentUnit* line, uint32_t side) {
    if (side > 1 || !IsRealUnit(line)) return nullptr;
    JobContentList& content = job.Content(side);
    int32_t lineIndex = IndexOfLine(content, line);
    if (lineIndex < 0) return nullptr;
    int32_t lineRow = JobGroupUnit::RowOfUnit(&job, side, lineIndex, row);

    JobLineUnit* fresh = NewEmptyLine(content);
    content.Insert(lineIndex + 1, fresh);
    content.flags = static_cast<uint16_t>(content.flags | TextEditedFlags);
    content.NoteRenumberFrom(lineIndex + 1);

    if (lineRow < 0) {
        // The line stands in no row: the new line's row goes where a line
        // before the next one of the side would go.
        int32_t next = content.IndexOf(fresh) + 1;
        int32_t position = InsertRowPosition(job, next, side);
        JobReportUnit* r = job.rows.At(position);
        const bool take = r && !IsRealUnit(r->Unit(side)) && IsRealUnit(r->Unit(1 - side));
        job.rowChanges.Note(std::min(position, job.rows.Count()), take ? 1 : 0, job.rows.Count());
        if (take) {
            r->SetUnit(side, fresh);
            r->flags |= RowEdited;
            r->kind = RowSame;
            ClearDetails(*r);
        } else if (position >= job.rows.Count()) {
            job.rows.Add(NewOneSidedRow(side, fresh));
        } else {
            job.rows.Insert(position, NewOneSidedRow(side, fresh));
        }
        return fresh;
    }
    JobReportUnit* after = job.rows.At(lineRow + 1);
    const bool take = after && !IsRealUnit(after->Unit(side)) && IsRealUnit(after->Unit(1 - side));
    job.rowChanges.Note(std::min(lineRow + 1, job.rows.Count()), take ? 1 : 0, job.rows.Count());
    if (take) {
        after->SetUnit(side, fresh);
        after->flags |= RowEdited;
        after->kind = RowSame;
        ClearDetails(*after);
    } else if (lineRow + 1 >= job.rows.Count()) {
        job.rows.Add(NewOneSidedRow(side, fresh));
    } else {
        job.rows.Insert(lineRow + 1, NewOneSidedRow(side, fresh));
    }
    return fresh;
}

bool RemoveLine(JobGroupUnit& job, int32_t row, JobContentUnit* unit, uint32_t side) {
    if (side > 1 || !IsRealUnit(unit)) return false;
    JobContentList& content = job.Content(side);
    int32_t lineIndex = IndexOfLine(content, unit);
    if (lineIndex < 0) return false;
    // The row that shows the line lets it go before the line is deleted.
    int32_t r = JobGroupUnit::RowOfUnit(&job, side, lineIndex, row);
    if (r >= 0) {
        job.rowChanges.Note(r, 1, job.rows.Count());
        JobReportUnit* holder = job.rows.At(r);
        if (!IsRealUnit(holder->Unit(1 - side))) {
            job.rows.RemoveAt(r);
        } else {
            holder->SetUnit(side, &EmptyLineUnit());
            holder->kind = side == 0 ? RowOnly2 : RowOnly1;
            holder->flags &= ~static_cast<uint32_t>(RowEdited);
            ClearDetails(*holder);
        }
    }
    content.RemoveAt(lineIndex);
    content.flags = static_cast<uint16_t>(content.flags | TextEditedFlags);
    content.NoteRenumberFrom(lineIndex);
    return true;
}

bool InsertLinesAfter(JobGroupUnit& job, int32_t row, JobContentUnit* line, uint32_t side, const RawString& source,
                      const RawRange* pieces, size_t count, const RawString& tail, const int32_t* widths) {
    if (side > 1 || !IsRealUnit(line) || count == 0) return false;
    JobContentList& content = job.Content(side);
    const int32_t lineIndex = IndexOfLine(content, line);
    if (lineIndex < 0) return false;
    const int32_t lineRow = JobGroupUnit::RowOfUnit(&job, side, lineIndex, row);
    if (lineRow < 0) return false;
    // Each new line goes after the one before: it takes the next row while
    // that row shows only the other side, and once a row holds a line of
    // the side, it and every line after it get rows of their own before
    // that row.
    size_t take = 0;
    while (take < count) {
        const JobReportUnit* next = job.rows.At(lineRow + 1 + static_cast<int32_t>(take));
        if (!next || IsRealUnit(next->Unit(side)) || !IsRealUnit(next->Unit(1 - side))) break;
        ++take;
    }
    const size_t own = count - take;
    // Everything is made first: running out of memory leaves the side as
    // it was. A line and its text share one block of the pool.
    std::vector<JobContentUnit*> lines;
    std::vector<JobReportUnit*> rows;
    try {
        lines.reserve(count);
        rows.reserve(own);
        JobLineChangeLog& log = JobLineChangeLog::Instance();
        log.ChangingMany(count);
        RawLayer::SmallBlockBatches blocks;
        for (size_t i = 0; i + 1 < count; ++i) lines.push_back(JobLineUnit::NewWithText(source, pieces[i], &blocks));
        RawString last = RawString::ReserveAs(source.Kind(), pieces[count - 1].end - pieces[count - 1].start +
                                                                 tail.Length());
        last.AppendRange(source, pieces[count - 1]);
        last.Append(tail);
        lines.push_back(JobLineUnit::NewWithText(last, &blocks));
        const JobLineBaseData* base = LineBaseData(job.Side(side));
        for (size_t i = 0; i < count; ++i) {
            JobLineUnit* fresh = static_cast<JobLineUnit*>(lines[i]);
            if (!fresh->WidthLogged()) log.Changed(*fresh);
            if (widths && base && widths[i] >= 0) fresh->NoteWidth(base->revision, widths[i], true);
        }
        for (size_t i = take; i < count; ++i) rows.push_back(NewOneSidedRow(side, lines[i]));
        content.Reserve(content.Count() + static_cast<int32_t>(count));
        job.rows.Reserve(job.rows.Count() + static_cast<int32_t>(own));
    } catch (const std::bad_alloc&) {
        for (JobContentUnit* unit : lines) unit->Destroy();
        for (JobReportUnit* r : rows) delete r;
        throw;
    }
    content.InsertRange(lineIndex + 1, lines.data(), static_cast<int32_t>(count));
    content.flags = static_cast<uint16_t>(content.flags | TextEditedFlags);
    content.NoteRenumberFrom(lineIndex + 1);
    job.rowChanges.Note(lineRow + 1, static_cast<int32_t>(take), job.rows.Count());
    for (size_t i = 0; i < take; ++i)
        PlaceLineInRow(*job.rows.At(lineRow + 1 + static_cast<int32_t>(i)), side, lines[i]);
    if (own > 0)
        job.rows.InsertRange(lineRow + 1 + static_cast<int32_t>(take), rows.data(), static_cast<int32_t>(own));
    return true;
}

bool InsertLinesBefore(JobGroupUnit& job, uint32_t side, const std::vector<int32_t>& indexes,
                       const std::vector<RawString>& texts, std::vector<JobReportUnit*>* taken, int32_t& lastRow) {
    if (side > 1 || indexes.empty() || indexes.size() != texts.size()) return false;
    JobContentList& content = job.Content(side);
    const int32_t lineCount = content.Count();
    const int32_t rowCount = job.rows.Count();
    const size_t count = indexes.size();
    for (size_t k = 0; k < count; ++k)
        if (indexes[k] < (k > 0 ? indexes[k - 1] + 1 : 0) || indexes[k] - static_cast<int32_t>(k) > lineCount)
            return false;
    auto real = [&](int32_t r) { return IsRealUnit(job.rows.At(r)->Unit(side)); };
    // Where each new line goes, in the rows as they stand: into row
    // takes[k] when that is not -1, else into a new row before row
    // before[k]. Line k goes before the old line at indexes[k] - k (the end
    // for the count); the rows keep the side's lines in order, so one walk
    // down finds their rows.
    std::vector<int32_t> lineBefore(count), rowBefore, takes(count, -1);
    int32_t walked = 0;         // rows before it are passed
    int32_t lastReal = -1;      // the last row before `walked` with a line of the side
    int32_t lastTaken = -1;     // the row the latest new line took, else -1
    int32_t lastInserted = -1;  // the row the latest new row went before, else -1
    bool latestTook = false;
    for (size_t k = 0; k < count; ++k) {
        const int32_t old = indexes[k] - static_cast<int32_t>(k);
        lineBefore[k] = old;
        int32_t holder = rowCount;  // the row of that old line
        if (old < lineCount) {
            const JobContentUnit* unit = content.At(old);
            holder = walked;
            while (holder < rowCount && job.rows.At(holder)->Unit(side) != unit) ++holder;
            if (holder >= rowCount) return false;
        }
        for (; walked < holder; ++walked)
            if (real(walked)) lastReal = walked;
        // The new line's row goes right after the last row before the old
        // line's that holds a line of the side, old or new.
        int32_t position = lastReal + 1;
        if (k > 0 && latestTook && lastTaken > lastReal) position = lastTaken + 1;
        if (k > 0 && !latestTook && lastInserted > lastReal) position = lastInserted;
        if (position < rowCount && position != lastTaken && !real(position)) {
            takes[k] = position;
            lastTaken = position;
            latestTook = true;
        } else {
            rowBefore.push_back(position);
            lastInserted = position;
            latestTook = false;
        }
    }
    // Everything is made first: running out of memory leaves the side as
    // it was.
    std::vector<JobContentUnit*> lines;
    std::vector<JobReportUnit*> rows;
    try {
        lines.reserve(count);
        rows.reserve(rowBefore.size());
        if (taken) taken->reserve(taken->size() + count - rowBefore.size());
        JobLineChangeLog::Instance().ChangingMany(count);
        RawLayer::SmallBlockBatch blocks(sizeof(JobLineUnit));
        for (const RawString& text : texts) lines.push_back(NewLineIn(blocks, text));
        for (size_t k = 0; k < count; ++k)
            if (takes[k] < 0) rows.push_back(NewOneSidedRow(side, lines[k]));
        content.Reserve(lineCount + static_cast<int32_t>(count));
        job.rows.Reserve(rowCount + static_cast<int32_t>(rows.size()));
    } catch (const std::bad_alloc&) {
        for (JobContentUnit* unit : lines) unit->Destroy();
        for (JobReportUnit* r : rows) delete r;
        throw;
    }
    // The rows taken and those the new rows go before, in the rows as they
    // stand.
    int32_t low = rowCount, high = 0;
    for (size_t k = 0; k < count; ++k) {
        if (takes[k] < 0) continue;
        low = std::min(low, takes[k]);
        high = std::max(high, takes[k] + 1);
    }
    for (int32_t at : rowBefore) {
        low = std::min(low, at);
        high = std::max(high, at);
    }
    job.rowChanges.Note(low, std::max(high - low, 0), rowCount);
    for (size_t k = 0; k < count; ++k) {
        if (takes[k] < 0) continue;
        JobReportUnit* row = job.rows.At(takes[k]);
        PlaceLineInRow(*row, side, lines[k]);
        if (taken) taken->push_back(row);
    }
    // The row of the last line once the new rows stand: a taken row moves
    // down by the new rows before it (all of them), a new row stands after
    // the new rows before it.
    const int32_t added = static_cast<int32_t>(rows.size());
    lastRow = takes[count - 1] >= 0 ? takes[count - 1] + added : rowBefore.back() + added - 1;
    content.InsertAtIndexes(lineBefore.data(), lines.data(), static_cast<int32_t>(count));
    content.flags = static_cast<uint16_t>(content.flags | TextEditedFlags);
    content.NoteRenumberFrom(lineBefore.front());
    if (!rows.empty()) job.rows.InsertAtIndexes(rowBefore.data(), rows.data(), added);
    return true;
}

bool RemoveLines(JobGroupUnit& job, int32_t row, uint32_t side, const std::vector<int32_t>& indexes,
                 std::vector<JobReportUnit*>& touched) {
    if (side > 1 || indexes.empty()) return false;
    JobContentList& content = job.Content(side);
    for (size_t k = 0; k < indexes.size(); ++k)
        if (indexes[k] < 0 || indexes[k] >= content.Count() || (k > 0 && indexes[k] <= indexes[k - 1])) return false;
    // The rows keep the side's lines in order: one walk down from the
    // first line's row finds them all.
    const int32_t rowCount = job.rows.Count();
    int32_t from = std::max(JobGroupUnit::RowOfUnit(&job, side, indexes.front(), row), 0);
    int32_t firstRow = -1, lastRow = -1;
    std::vector<const JobReportUnit*> gone;  // in row order
    for (size_t k = 0; k < indexes.size(); ++k) {
        const JobContentUnit* unit = content.At(indexes[k]);
        int32_t r = from;
        while (r < rowCount && job.rows.At(r)->Unit(side) != unit) ++r;
        if (r >= rowCount) continue;  // a line in no row
        if (firstRow < 0) firstRow = r;
        lastRow = r;
        from = r + 1;
        JobReportUnit* holder = job.rows.At(r);
        touched.push_back(holder);
        if (IsRealUnit(holder->Unit(1 - side))) {
            holder->SetUnit(side, &EmptyLineUnit());
            holder->kind = side == 0 ? RowOnly2 : RowOnly1;
            holder->flags &= ~static_cast<uint32_t>(RowEdited);
            ClearDetails(*holder);
        } else {
            gone.push_back(holder);
        }
    }
    // The keep tests meet the units in order, once each.
    size_t g = 0;
    if (firstRow >= 0) job.rowChanges.Note(firstRow, lastRow + 1 - firstRow, rowCount);
    if (firstRow >= 0)
        job.rows.RemoveIfIn(firstRow, lastRow + 1, [&](const JobReportUnit& r) {
            const bool goes = g < gone.size() && gone[g] == &r;
            if (goes) ++g;
            return goes;
        });
    size_t next = 0;
    int32_t index = indexes.front();
    content.RemoveIfIn(indexes.front(), indexes.back() + 1, [&](const JobContentUnit&) {
        const bool goes = next < indexes.size() && indexes[next] == index;
        if (goes) ++next;
        ++index;
        return goes;
    });
    content.flags = static_cast<uint16_t>(content.flags | TextEditedFlags);
    content.NoteRenumberFrom(indexes.front());
    return true;
}

namespace {

void RefreshEditedRow(JobReportUnit& row, LineRowDetailer& detailer) {
    if (!(row.flags & RowEdited)) return;
    row.flags &= ~static_cast<uint32_t>(RowEdited);
    bool real1 = IsRealUnit(row.unit1);
    bool real2 = IsRealUnit(row.unit2);
    if (real1 && real2) {
        detailer.Refresh(row);
    } else if (real1 != real2) {
        row.kind = real1 ? RowOnly1 : RowOnly2;
        ClearDetails(row);
    }
}

void RenumberPendingSides(JobGroupUnit& job) {
    for (uint32_t s = 0; s < 2; ++s) {
        JobContentList& content = job.Content(s);
        if (!(content.flags & ContentNumbering)) continue;
        NumberLines(content);
        content.flags = static_cast<uint16_t>(content.flags & ~ContentNumbering);
    }
    JobGroupUnit::UpdateSideFlag(&job);
}

}  // namespace

void RefreshEditedRows(JobGroupUnit& job, JobReportUnit* const* rows, size_t count) {
    LineRowDetailer detailer;
    for (size_t i = 0; i < count; ++i)
        if (rows[i]) RefreshEditedRow(*rows[i], detailer);
    RenumberPendingSides(job);
}

void RefreshEditedRows(JobGroupUnit& job) {
    LineRowDetailer detailer;
    for (JobReportUnit& row : job.rows) RefreshEditedRow(row, detailer);
    RenumberPendingSides(job);
}

}  // namespace JobLayer

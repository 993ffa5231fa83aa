// The text kind's edit primitives: the changes of a side's lines with their
// undo records, the input-method composition and the edit context.
#include "tavrel/jobs/text/line_edit.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "base/encoding.h"
#include "base/text_ops.h"
#include "tavrel/jobs/config_store.h"

namespace JobLayer {

namespace {


// ---- the parts of a text between line breaks -----------------------------------

// The units of a text are read in place: an undo may bring back a text of
// every line of a side.
template <class Unit>
std::vector<RawRange> SplitUnitsAtLineBreaks(const Unit* units, int32_t length) {
    std::vector<RawRange> pieces;
    int32_t start = 0;
    for (int32_t i = 0; i < length; ++i) {
        const Unit u = units[i];
        if (u != '\r' && u != '\n') continue;
        pieces.push_back(RawRange{start, i});
        if (u == '\r' && i + 1 < length && units[i + 1] == '\n') ++i;
        start = i + 1;
    }
    pieces.push_back(RawRange{start, length});
    return pieces;
}

std::vector<RawRange> SplitAtLineBreaks(const RawString& text) {
    if (text.Kind() == RawLayer::KindUtf16)
        return SplitUnitsAtLineBreaks(static_cast<const uint16_t*>(text.Data()), text.Length());
    return SplitUnitsAtLineBreaks(reinterpret_cast<const uint8_t*>(text.Bytes()), text.Length());
}

void Record(LineEditContext& context, uint32_t tag, uint32_t operation, JobTextPosition start,
            JobTextPosition end, RawString text, std::shared_ptr<const JobLineWidths> widths = nullptr) {
    if (tag == 0 || !context.data) return;
    JobUndoDataUnit record;
    record.tag = tag;
    record.operation = operation;
    record.startRow = start.line;
    record.startColumn = start.column;
    record.endRow = end.line;
    record.endColumn = end.column;
    record.text = std::move(text);
    record.widths = std::move(widths);
    context.data->undo.Push(std::move(record));
}

// What the lines from `first` to `last` measured in the side's layout
// revision, and the line ends they had in their file; null for a side never
// loaded.
std::shared_ptr<const JobLineWidths> MeasuredWidths(LineEditContext& context, int32_t first, int32_t last) {
    if (!context.data) return nullptr;
    auto measured = std::make_shared<JobLineWidths>();
    measured->revision = context.data->revision;
    measured->widths.reserve(static_cast<size_t>(last - first + 1));
    measured->fileEnds.reserve(static_cast<size_t>(last - first + 1));
    for (int32_t i = first; i <= last; ++i) {
        const JobLineUnit* line = context.LineAt(i);
        bool exact = false;
        const int32_t width = line ? line->NotedWidth(measured->revision, exact) : -1;
        measured->widths.push_back(width >= 0 && exact ? width : -1);
        measured->fileEnds.push_back(line ? line->FileLineEnd() : uint8_t(FileLineEndNotRead));
    }
    return measured;
}

// The record of the line end a whole line had in its file; null for a line
// the file did not give. One record serves every line of an end, so
// deleting lines costs no allocation for it.
std::shared_ptr<const JobLineWidths> LineEndNote(const LineEditContext& context, const JobLineUnit* line) {
    if (!line || !context.data) return nullptr;
    const uint8_t end = line->FileLineEnd();
    if (end == FileLineEndNotRead || end > FileLineEndCrLf) return nullptr;
    static std::shared_ptr<const JobLineWidths> notes[FileLineEndCrLf + 1];
    if (!notes[end]) {
        auto note = std::make_shared<JobLineWidths>();
        note->fileEnds.push_back(end);
        notes[end] = std::move(note);
    }
    return notes[end];
}

// The line end a whole line's record keeps (LineEndNote).
uint8_t NotedLineEnd(const JobUndoDataUnit& record) {
    return record.widths && record.widths->fileEnds.size() == 1 ? record.widths->fileEnds[0]
                                                                 : uint8_t(FileLineEndNotRead);
}

void MarkChanged(LineEditContext& context) {
    context.content.flags = static_cast<uint16_t>(context.content.flags | ContentChanged);
    context.textChanged = true;
    context.redraw = true;
}

void Forget(LineEditContext& context, JobReportUnit* row) {
    auto found = std::find(context.edited.begin(), context.edited.end(), row);
    if (found != context.edited.end()) context.edited.erase(found);
}

// Takes a line (and its row, if it has one) out of the side, forgetting the
// row's edited mark first so no stale pointer stays behind.
bool ForgetAndRemoveLine(LineEditContext& context, JobLineUnit* line) {
    const int32_t row = context.RowOfLine(line);
    if (row >= 0) Forget(context, context.job.rows.At(row));
    return RemoveLine(context.job, row, line, context.sideIndex);
}

// Takes lines (ascending indexes) out of the side at once, forgetting the
// edited marks of their rows first.
bool RemoveLinesForgotten(LineEditContext& context, int32_t row, const std::vector<int32_t>& indexes) {
    std::vector<JobReportUnit*> touched;
    const bool removed = RemoveLines(context.job, row, context.sideIndex, indexes, touched);
    if (!touched.empty() && !context.edited.empty()) {
        std::sort(touched.begin(), touched.end());
        auto gone = [&touched](JobReportUnit* r) { return std::binary_search(touched.begin(), touched.end(), r); };
        context.edited.erase(std::remove_if(context.edited.begin(), context.edited.end(), gone), context.edited.end());
    }
    return removed;
}

// ---- raw changes (no undo record) ----------------------------------------------

// Inserts at a position moved onto a character start (`start` receives it).
// `widths`, unless null, are what the lines of the text measured when a
// deletion took them (the first with the part of the line before the
// position, the last with the rest after it), and the line ends they had.
// An `exact` position (an undo record's) is not moved: the text goes back
// exactly where it was, though the units around it may read as one
// character now (a lone lead byte before a typed letter).
bool RawInsertText(LineEditContext& context, JobTextPosition at, const RawString& text,
                   JobTextPosition& end, JobTextPosition* start = nullptr, const JobLineWidths* widths = nullptr,
                   bool exact = false) {
    JobLineUnit* line = context.LineAt(at.line);
    if (!line) return false;
    // The line's own text: read until the line takes its new one.
    const RawString& old = line->LineText();
    const int32_t clamped = ClampInt(at.column, 0, old.Length());
    const int32_t column = exact ? clamped : LineCharStart(old, clamped);
    end = JobTextPosition{at.line, column};
    if (start) *start = end;
    if (text.IsEmpty()) return true;
    context.Prepare();
    const int32_t row = context.RowOfLine(line);
    RawString converted;
    const RawString& source = text.Kind() == old.Kind() ? text : (converted = RawString(old.Kind(), text));
    // Most insertions are of one line: they need no list of pieces.
    const RawRange whole = source.All();
    const bool breaks = source.ContainsUnit('\r') || source.ContainsUnit('\n');
    const std::vector<RawRange> split = breaks ? SplitAtLineBreaks(source) : std::vector<RawRange>();
    const RawRange* pieces = breaks ? split.data() : &whole;
    const size_t pieceCount = breaks ? split.size() : 1;
    const RawRange first = pieces[0];
    const RawRange last = pieces[pieceCount - 1];
    // A break right after the line's last character leaves the line's text
    // as it was: the line keeps its end, and the new lines take the side's.
    const bool headWhole = column == old.Length() && first.start == first.end;
    RawString head = RawString::ReserveAs(old.Kind(), column + (first.end - first.start) +
                                                          (pieceCount == 1 ? old.Length() - column : 0));
    head.AppendRange(old, RawRange{0, column});
    head.AppendRange(source, first);
    if (pieceCount == 1) {
        head.AppendRange(old, RawRange{column, old.Length()});
        line->SetText(head);
        end.column = column + (first.end - first.start);
    } else {
        // The new lines go in right after the line, all at once: the line
        // keeps its index, and the lists move once however many come. The
        // rest of the line follows the last one.
        RawString tail = RawString::ReserveAs(old.Kind(), old.Length() - column);
        tail.AppendRange(old, RawRange{column, old.Length()});
        const size_t count = pieceCount - 1;
        // Widths of another layout revision (or of other lines) are no use.
        const int32_t* known = widths && context.data && widths->revision == context.data->revision &&
                                       widths->widths.size() == pieceCount
                                   ? widths->widths.data()
                                   : nullptr;
        if (row >= 0) {
            if (!InsertLinesAfter(context.job, row, line, context.sideIndex, source, pieces + 1, count, tail,
                                  known ? known + 1 : nullptr))
                return false;
            // The new lines stand in the rows right below the line's; those
            // they took are edited, the new rows after them are not.
            const int32_t lastRow = row + static_cast<int32_t>(count);
            for (int32_t r = row + 1; r <= lastRow; ++r) {
                JobReportUnit* below = context.job.rows.At(r);
                if (!below || !(below->flags & RowEdited)) break;
                context.MarkEdited(below);
            }
            context.rowHint = lastRow;
        } else {
            // A line in no row: one line at a time, each after the one
            // before.
            JobContentUnit* previous = line;
            for (size_t i = 1; i < pieceCount; ++i) {
                RawString piece = RawString::ReserveAs(old.Kind(), pieces[i].end - pieces[i].start +
                                                                      (i == count ? tail.Length() : 0));
                piece.AppendRange(source, pieces[i]);
                if (i == count) piece.Append(tail);
                JobLineUnit* fresh = InsertLineAfter(context.job, row, previous, context.sideIndex);
                if (!fresh) return false;
                fresh->SetText(piece);
                if (known && known[i] >= 0) fresh->NoteWidth(context.data->revision, known[i], true);
                previous = fresh;
            }
        }
        line->SetText(head);
        if (known && known[0] >= 0) line->NoteWidth(context.data->revision, known[0], true);
        end = JobTextPosition{at.line + static_cast<int32_t>(count), last.end - last.start};
        // Lines a deletion took get back the ends they had then. Otherwise
        // a line whose text the split left whole keeps its end; else the
        // line end it had in its file now ends its tail, and its changed
        // head takes the side's.
        if (widths && widths->fileEnds.size() == pieceCount) {
            for (size_t i = 0; i < pieceCount; ++i)
                if (JobLineUnit* back = context.LineAt(at.line + static_cast<int32_t>(i)))
                    back->SetFileLineEnd(widths->fileEnds[i]);
        } else if (!headWhole) {
            if (JobLineUnit* tail = context.LineAt(end.line)) {
                tail->SetFileLineEnd(line->FileLineEnd());
                line->SetFileLineEnd(FileLineEndNotRead);
            }
        }
    }
    context.MarkEditedRow(row);
    MarkChanged(context);
    context.PlaceCursor(end);
    return true;
}

// Deletes a range whose ends are moved onto character starts (`at`
// receives its start; `widths`, when the range spans lines, what its lines
// measured and the line ends they had). The ends of an `exact` range (an
// undo record's) are not moved, as in RawInsertText.
bool RawDeleteRange(LineEditContext& context, const JobTextRange& range, RawString* deleted,
                    JobTextPosition* at = nullptr, std::shared_ptr<const JobLineWidths>* widths = nullptr,
                    bool exact = false) {
    JobLineUnit* first = context.LineAt(range.start.line);
    JobLineUnit* last = context.LineAt(range.end.line);
    if (!first || !last || range.start.line > range.end.line) return false;
    JobTextRange r = range;
    r.start.column = ClampInt(r.start.column, 0, LineLength(first));
    r.end.column = ClampInt(r.end.column, 0, LineLength(last));
    if (!exact) {
        r.start.column = LineCharStart(first->LineText(), r.start.column);
        r.end.column = LineCharStart(last->LineText(), r.end.column);
    }
    if (r.start.line == r.end.line && r.start.column > r.end.column) return false;
    if (deleted) *deleted = SelectionText(context, r);
    if (at) *at = r.start;
    if (widths) *widths = r.end.line > r.start.line ? MeasuredWidths(context, r.start.line, r.end.line) : nullptr;
    if (r.start == r.end) return true;
    context.Prepare();
    // Read before the last line goes and the first takes its new text.
    const RawString& head = first->LineText();
    const RawString& tail = last->LineText();
    const uint8_t lastEnd = last->FileLineEnd();
    const bool firstWhole = r.start.column == head.Length() && r.end.column == tail.Length();
    RawString joined = RawString::ReserveAs(head.Kind(), r.start.column + tail.Length() - r.end.column);
    joined.AppendRange(head, RawRange{0, r.start.column});
    joined.AppendRange(tail, RawRange{r.end.column, tail.Length()});
    // The lines after the first go at once: the lists move once however
    // many there are.
    if (r.end.line > r.start.line) {
        std::vector<int32_t> indexes;
        indexes.reserve(static_cast<size_t>(r.end.line - r.start.line));
        for (int32_t i = r.start.line + 1; i <= r.end.line; ++i) indexes.push_back(i);
        if (!RemoveLinesForgotten(context, context.RowOfLine(context.LineAt(r.start.line + 1)), indexes))
            return false;
    }
    // The joined line ends where the last one did in the file, unless the
    // range ran from the first line's end to the last line's: the first
    // line's text stays as it was, and so does its end.
    if (!firstWhole) first->SetFileLineEnd(lastEnd);
    first->SetText(joined);
    context.MarkEditedRow(context.RowOfLine(first));
    MarkChanged(context);
    context.PlaceCursor(r.start);
    return true;
}

// Inserts a whole line, which takes `fileEnd` as the line end it had in its
// file.
bool RawInsertLine(LineEditContext& context, int32_t index, const RawString& text,
                   uint8_t fileEnd = FileLineEndNotRead) {
    const int32_t count = context.content.Count();
    if (index < 0 || index > count) return false;
    context.Prepare();
    int32_t row = InsertLineBefore(context.job, index < count ? index : -1, context.sideIndex);
    JobLineUnit* line = context.LineOfRow(row);
    if (!line) return false;
    line->SetText(text);
    line->SetFileLineEnd(fileEnd);
    JobReportUnit* holder = context.job.rows.At(row);
    if (holder->flags & RowEdited) context.MarkEdited(holder);
    context.rowHint = row;
    MarkChanged(context);
    context.PlaceCursor(JobTextPosition{index, 0});
    return true;
}

// Inserts whole lines so that line k stands at indexes[k] (strictly
// ascending), as RawInsertLine for each in turn would; line k takes
// fileEnds[k] when there are as many.
bool RawInsertLines(LineEditContext& context, const std::vector<int32_t>& indexes,
                    const std::vector<RawString>& texts, const std::vector<uint8_t>& fileEnds) {
    const int32_t count = context.content.Count();
    for (size_t k = 0; k < indexes.size(); ++k)
        if (indexes[k] < 0 || indexes[k] > count + static_cast<int32_t>(k)) return false;
    if (indexes.empty()) return false;
    context.Prepare();
    // So many lines that the rows they take would make the refresh walk
    // every row: those rows are not listed at all.
    const bool many = context.RefreshesEveryRow() ||
                      (context.edited.size() + indexes.size()) * 8 > static_cast<size_t>(context.job.rows.Count());
    std::vector<JobReportUnit*> taken;
    int32_t lastRow = -1;
    if (!InsertLinesBefore(context.job, context.sideIndex, indexes, texts, many ? nullptr : &taken, lastRow))
        return false;
    if (fileEnds.size() == indexes.size()) {
        for (size_t k = 0; k < indexes.size(); ++k)
            if (JobLineUnit* line = context.LineAt(indexes[k])) line->SetFileLineEnd(fileEnds[k]);
    }
    if (many)
        context.RefreshEveryRow();
    else
        context.NoteEditedRows(taken);
    context.rowHint = lastRow;
    MarkChanged(context);
    context.PlaceCursor(JobTextPosition{indexes.back(), 0});
    return true;
}

// The cursor after the line at `index` went: at the start of the line that
// took its place, else at the end of the new last line; unset when none is
// left.
void PlaceAfterLineDeleted(LineEditContext& context, int32_t index) {
    const int32_t count = context.content.Count();
    if (count == 0) {
        JobSideRecord& side = context.side;
        side.anchorRow = side.cursorRow = -1;
        side.anchorColumn = side.cursorColumn = -1;
    } else if (index < count) {
        context.PlaceCursor(JobTextPosition{index, 0});
    } else {
        context.PlaceCursor(JobTextPosition{count - 1, LineLength(context.LineAt(count - 1))});
    }
}

bool RawDeleteLine(LineEditContext& context, int32_t index, RawString* text) {
    JobLineUnit* line = context.LineAt(index);
    if (!line) return false;
    if (text) *text = line->LineText();
    context.Prepare();
    if (!ForgetAndRemoveLine(context, line)) return false;
    MarkChanged(context);
    PlaceAfterLineDeleted(context, index);
    return true;
}

// Deletes the whole lines at ascending indexes (`texts` receives their
// texts, `ends` their LineEndNote), as RawDeleteLine from the last up would.
bool RawDeleteLines(LineEditContext& context, const std::vector<int32_t>& indexes, std::vector<RawString>& texts,
                    std::vector<std::shared_ptr<const JobLineWidths>>& ends) {
    if (indexes.empty() || indexes.front() < 0 || indexes.back() >= context.content.Count()) return false;
    for (size_t k = 0; k < indexes.size(); ++k) {
        const JobLineUnit* line = context.LineAt(indexes[k]);
        texts[k] = line->LineText();
        ends[k] = LineEndNote(context, line);
    }
    context.Prepare();
    if (!RemoveLinesForgotten(context, context.RowOfLine(context.LineAt(indexes.front())), indexes)) return false;
    MarkChanged(context);
    PlaceAfterLineDeleted(context, indexes.front());
    return true;
}

void SetChangedFlag(JobContentList& content, bool changed) {
    content.flags = static_cast<uint16_t>(changed ? (content.flags | ContentChanged)
                                                  : (content.flags & ~ContentChanged));
}

// A run of whole-line records applied at once, with what applying them one
// by one gives: inserts at strictly ascending indexes (each line lands after
// the one before), or deletes at strictly descending ones (each index still
// that of the line's place before any went). Returns how many were applied;
// 0 leaves the next record to ApplyUndoRecord.
size_t ApplyLineRecordRun(LineEditContext& context, JobUndoDataUnit* const* records, size_t count) {
    const uint32_t operation = records[0]->operation;
    if (operation != UndoInsertLine && operation != UndoDeleteLine) return 0;
    const bool inserts = operation == UndoInsertLine;
    size_t run = 1;
    while (run < count && records[run]->operation == operation &&
           (inserts ? records[run]->startRow > records[run - 1]->startRow
                    : records[run]->startRow < records[run - 1]->startRow))
        ++run;
    if (run < 2) return 0;
    std::vector<int32_t> indexes(run);
    std::vector<RawString> texts(run);
    if (inserts) {
        // The texts move into the new lines; they go back to the records
        // when the lines cannot be put in.
        std::vector<uint8_t> ends(run);
        for (size_t k = 0; k < run; ++k) {
            indexes[k] = records[k]->startRow;
            texts[k] = std::move(records[k]->text);
            ends[k] = NotedLineEnd(*records[k]);
        }
        auto giveBack = [&] {
            for (size_t k = 0; k < run; ++k) records[k]->text = std::move(texts[k]);
        };
        bool inserted = false;
        try {
            inserted = RawInsertLines(context, indexes, texts, ends);
        } catch (...) {
            giveBack();
            throw;
        }
        if (!inserted) {
            giveBack();
            return 0;
        }
        for (size_t k = 0; k < run; ++k) {
            records[k]->operation = UndoDeleteLine;
            records[k]->text = RawString();
            records[k]->widths.reset();
        }
    } else {
        for (size_t k = 0; k < run; ++k) indexes[k] = records[run - 1 - k]->startRow;
        std::vector<std::shared_ptr<const JobLineWidths>> ends(run);
        if (!RawDeleteLines(context, indexes, texts, ends)) return 0;
        for (size_t k = 0; k < run; ++k) {
            records[run - 1 - k]->operation = UndoInsertLine;
            records[run - 1 - k]->text = texts[k];
            records[run - 1 - k]->widths = std::move(ends[k]);
        }
    }
    return run;
}

}  // namespace

// ---------------------------------------------------------------------------
// Changes made of several steps

// CopyLineFromOtherSide over rows in display order under one tag, with the
// records and texts it would give, without its cost per row: a line's index
// follows from the numbering at the start and the lines put in so far, the
// line a new one goes before from one walk down the rows, and the new lines
// go into the side in one pass at the end.
bool CopyLinesFromOtherSide(LineEditContext& context, uint32_t tag, uint32_t source, const std::vector<int32_t>& rows) {
    JobGroupUnit& job = context.job;
    JobContentList& content = context.content;
    const uint32_t side = context.sideIndex;
    std::vector<int32_t> before;  // the index at the start of the line each new one goes before
    std::vector<JobContentUnit*> fresh;
    int32_t inserted = 0;
    auto renumber = [&] {
        if (!(content.flags & ContentNumbering)) return;
        NumberLines(content);
        content.flags = static_cast<uint16_t>(content.flags & ~ContentNumbering);
    };
    // The new lines join the side, which is then numbered again.
    auto merge = [&] {
        if (!fresh.empty()) {
            content.InsertAtIndexes(before.data(), fresh.data(), static_cast<int32_t>(fresh.size()));
            content.NoteRenumberFrom(before.front());
            fresh.clear();
            before.clear();
        }
        renumber();
        inserted = 0;
    };
    renumber();
    int32_t nextRow = -1;  // the side's next line's row at or after the row; -2: none
    bool changed = false;
    JobTextPosition last = {-1, 0};
    try {
        for (int32_t row : rows) {
            JobReportUnit* holder = row >= 0 ? job.rows.At(row) : nullptr;
            JobContentUnit* from = holder ? holder->Unit(source) : nullptr;
            if (!IsRealUnit(from)) continue;
            RawString text;
            if (!RawLayer::ConvertTextExactly(from->Text(), context.TextKind(), text)) continue;
            JobLineUnit* here = context.LineOfRow(row);
            if (here && (text.ContainsUnit('\r') || text.ContainsUnit('\n'))) {
                // A text that would split into lines takes the road of one row.
                merge();
                context.rowHint = row;
                changed = CopyLineFromOtherSide(context, tag, source, row) || changed;
                renumber();
                nextRow = -1;
                last = JobTextPosition{-1, 0};  // placed by that road
                continue;
            }
            if (here) {
                const RawString old = here->LineText();
                if (old.Length() == text.Length() && old.Equals(text)) continue;
                const int32_t index = here->LineNumber() - 1 + inserted;
                context.Prepare();
                here->SetText(text);
                if (!old.IsEmpty())
                    Record(context, tag, UndoInsertText, JobTextPosition{index, 0}, JobTextPosition{index, 0}, old);
                if (!text.IsEmpty())
                    Record(context, tag, UndoDeleteText, JobTextPosition{index, 0},
                           JobTextPosition{index, text.Length()}, RawString());
                job.rowChanges.Note(row, 1, job.rows.Count());
                context.MarkEdited(holder);
                last = JobTextPosition{index, text.Length()};
                changed = true;
                continue;
            }
            // The new line goes into the row itself, before this side's
            // first line at or after it: the rows keep the side's lines in
            // order.
            context.Prepare();
            if (nextRow != -2 && nextRow < row) {
                nextRow = JobGroupUnit::NextRealRow(&job, side, row, false);
                if (nextRow < 0) nextRow = -2;
            }
            const JobLineUnit* next = nextRow >= 0 ? context.LineOfRow(nextRow) : nullptr;
            const int32_t at = next && next->LineNumber() > 0 ? next->LineNumber() - 1 : content.Count();
            const int32_t index = at + inserted;
            // Room first: the merge never fails once the lines stand in rows.
            content.Reserve(content.Count() + inserted + 1);
            if (fresh.size() == fresh.capacity()) {
                fresh.reserve(2 * fresh.size() + 16);
                before.reserve(2 * fresh.size() + 16);
            }
            JobLineUnit* line = new JobLineUnit(text);
            job.rowChanges.Note(row, 1, job.rows.Count());
            holder->SetUnit(side, line);
            fresh.push_back(line);
            before.push_back(at);
            ++inserted;
            context.MarkEdited(holder);
            Record(context, tag, UndoDeleteLine, JobTextPosition{index, 0}, JobTextPosition{index, text.Length()},
                   RawString());
            last = JobTextPosition{index, 0};
            changed = true;
        }
    } catch (const std::bad_alloc&) {
        merge();
        MarkChanged(context);
        throw;
    }
    merge();
    if (changed) MarkChanged(context);
    if (last.line >= 0) context.PlaceCursor(last);
    return changed;
}

bool DeleteLinesAt(LineEditContext& context, uint32_t tag, int32_t row, const std::vector<int32_t>& indexes,
                   std::vector<RawString>& texts) {
    if (indexes.empty() || texts.size() != indexes.size()) return false;
    context.Prepare();
    std::vector<std::shared_ptr<const JobLineWidths>> ends(indexes.size());
    for (size_t k = 0; k < indexes.size(); ++k) ends[k] = LineEndNote(context, context.LineAt(indexes[k]));
    if (!RemoveLinesForgotten(context, row, indexes)) return false;
    MarkChanged(context);
    for (size_t k = indexes.size(); k-- > 0;) {
        const JobTextPosition end = {indexes[k], texts[k].Length()};
        Record(context, tag, UndoInsertLine, JobTextPosition{indexes[k], 0}, end, std::move(texts[k]),
               std::move(ends[k]));
    }
    PlaceAfterLineDeleted(context, indexes.front());
    return true;
}

// Takes a composition that is shown but was never committed out of the
// text again: the text it replaced comes back, selected, and the side's
// changed flag is what it was before.
bool RemoveLineComposition(LineEditContext& context) {
    context.side.imeState = static_cast<uint16_t>(context.side.imeState & ~ImeComposing);
    if (!context.data || !context.data->composition.shown) return false;
    JobLineComposition shown = context.data->composition;
    context.data->composition = JobLineComposition();
    RawDeleteRange(context, JobTextRange{shown.start, shown.end}, nullptr);
    JobTextPosition end = shown.start;
    RawInsertText(context, shown.start, shown.replaced, end, nullptr, shown.replacedLines.get());
    context.Select(shown.start, end);
    SetChangedFlag(context.content, shown.changedBefore);
    context.textChanged = true;
    return true;
}

bool UpdateLineComposition(LineEditContext& context) {
    if (!context.data) return false;
    JobLineComposition& shown = context.data->composition;
    if (!shown.shown) {
        JobTextRange range = context.SelectionLines();
        if (range.start.line < 0) return false;
        shown.replaced = SelectionText(context, range);
        shown.changedBefore = (context.content.flags & ContentChanged) != 0;
        if (!range.IsEmpty() && !RawDeleteRange(context, range, nullptr, nullptr, &shown.replacedLines))
            return false;
        shown.start = shown.end = range.start;
        shown.shown = true;
    } else {
        RawDeleteRange(context, JobTextRange{shown.start, shown.end}, nullptr);
        shown.end = shown.start;
    }
    context.side.imeState = static_cast<uint16_t>(context.side.imeState | ImeComposing);
    const bool result = (context.side.compositionContents & ImeResultRead) != 0;
    RawString text;
    const bool fits = RawLayer::ConvertTextExactly(context.side.composition[0].text, context.TextKind(), text);
    if (!result) {
        // Shown without a record: it is no edit until it is committed.
        JobTextPosition end = shown.start;
        if (fits) RawInsertText(context, shown.start, text, end);
        shown.end = end;
        context.Select(shown.start, end);
        SetChangedFlag(context.content, shown.changedBefore);
        context.textChanged = true;
        return fits;
    }
    if (!fits) {
        // A result the side's encoding cannot hold changes nothing, and the
        // user is told why.
        RemoveLineComposition(context);
        ReportUnheldText(context.job, context.sideIndex);
        return false;
    }
    // The result is one edit: the text it replaced and the result itself
    // come and go in one undo step.
    const JobLineComposition done = shown;
    shown = JobLineComposition();
    context.side.imeState = static_cast<uint16_t>(context.side.imeState & ~ImeComposing);
    const uint32_t tag = NextUndoTag();
    if (!done.replaced.IsEmpty())
        Record(context, tag, UndoInsertText, done.start, done.start, done.replaced, done.replacedLines);
    JobTextPosition end = done.start;
    if (!text.IsEmpty()) InsertTextAt(context, tag, done.start, text, &end);
    const bool changed = !done.replaced.IsEmpty() || !text.IsEmpty();
    SetChangedFlag(context.content, changed || done.changedBefore);
    context.PlaceCursor(end);
    context.textChanged = true;
    return changed;
}

bool UndoLineRecords(LineEditContext& context, bool undo) {
    if (!context.data) return false;
    return StepUndoRecords(
        context.data->undo, undo, [&context](JobUndoDataUnit& record) { return ApplyUndoRecord(context, record); },
        [&context](JobUndoDataUnit* const* records, size_t count) {
            return ApplyLineRecordRun(context, records, count);
        });
}


// ---------------------------------------------------------------------------
// The context

LineEditContext::LineEditContext(JobViewEditor& editorRef, JobGroupUnit& jobRef, uint32_t sideNumber)
    : editor(editorRef),
      job(jobRef),
      sideIndex(sideNumber == 0 ? 0 : 1),
      side(jobRef.Side(sideIndex)),
      content(jobRef.Content(sideIndex)),
      data(LineBaseData(side)) {
    rowHint = side.cursorRow >= 0 ? side.cursorRow : 0;
}

uint8_t LineEditContext::TextKind() const {
    return data ? data->textKind : LineTextKindOf(content.encodingKind);
}

JobLineUnit* LineEditContext::LineAt(int32_t line) const {
    if (line < 0 || line >= content.Count()) return nullptr;
    return AsLineUnit(content.At(line));
}

int32_t LineEditContext::LineIndex(const JobContentUnit* unit) {
    const JobLineUnit* line = AsLineUnit(unit);
    if (!line || !IsRealUnit(unit)) return -1;
    // The number tells the index unless lines before it came or went since
    // the last numbering; then the side is numbered again.
    for (int pass = 0; pass < 2; ++pass) {
        const int32_t index = NumberedIndex(content, *line);
        if (index >= 0) return index;
        if (pass == 0) {
            NumberLines(content);
            content.flags = static_cast<uint16_t>(content.flags & ~ContentNumbering);
        }
    }
    return -1;
}

int32_t LineEditContext::RowOfLine(const JobContentUnit* line) {
    const int32_t found = JobGroupUnit::RowOfUnit(&job, sideIndex, line, rowHint);
    if (found >= 0) rowHint = found;
    return found;
}

JobLineUnit* LineEditContext::LineOfRow(int32_t row) const {
    if (row < 0 || row >= job.rows.Count()) return nullptr;
    JobContentUnit* unit = job.rows.At(row)->Unit(sideIndex);
    return IsRealUnit(unit) ? AsLineUnit(unit) : nullptr;
}

JobTextPosition LineEditContext::ToLinePosition(int32_t row, int32_t column) {
    const int32_t count = content.Count();
    if (count == 0) return JobTextPosition{-1, 0};
    if (row < 0) return JobTextPosition{0, 0};
    int32_t real = JobGroupUnit::NextRealRow(&job, sideIndex, row, false);
    if (real >= 0) {
        JobLineUnit* line = LineOfRow(real);
        int32_t index = LineIndex(line);
        if (index >= 0) {
            rowHint = real;
            int32_t at = real == row ? ClampInt(column, 0, LineLength(line)) : 0;
            return JobTextPosition{index, LineCharStart(line->LineText(), at)};
        }
    }
    return JobTextPosition{count - 1, LineLength(LineAt(count - 1))};
}

JobTextRange LineEditContext::SelectionLines() {
    JobSelectionRange selection = JobGroupUnit::SelectionRange(&job, sideIndex);
    JobTextRange range;
    range.start = ToLinePosition(selection.startRow, selection.startColumn);
    range.end = ToLinePosition(selection.endRow, selection.endColumn);
    if (range.end.line < range.start.line ||
        (range.end.line == range.start.line && range.end.column < range.start.column))
        range.end = range.start;
    return range;
}

void LineEditContext::PlaceCursor(JobTextPosition at) { Select(at, at); }

void LineEditContext::Select(JobTextPosition anchor, JobTextPosition caret) {
    int32_t anchorRow = RowOfLine(LineAt(anchor.line));
    int32_t caretRow = RowOfLine(LineAt(caret.line));
    if (anchorRow < 0 || caretRow < 0) return;
    side.wordBeforeAnchor = 0;
    side.anchorRow = anchorRow;
    side.anchorColumn = anchor.column;
    side.cursorRow = caretRow;
    side.cursorColumn = caret.column;
    side.preferredX = -1;
    job.currentRow = caretRow;
    redraw = true;
}

void LineEditContext::MarkEdited(JobReportUnit* row) {
    if (!row) return;
    row->flags |= RowEdited;
    if (editedMany) return;
    if (edited.empty() || edited.back() != row) edited.push_back(row);
    // Once the refresh walks every row, the list would only cost.
    if (RefreshesEveryRow()) RefreshEveryRow();
}

void LineEditContext::NoteEditedRows(const std::vector<JobReportUnit*>& rows) {
    if (editedMany) return;
    if ((edited.size() + rows.size()) * 8 > static_cast<size_t>(job.rows.Count())) {
        RefreshEveryRow();
        return;
    }
    for (JobReportUnit* row : rows) MarkEdited(row);
}

void LineEditContext::RefreshEveryRow() {
    editedMany = true;
    std::vector<JobReportUnit*>().swap(edited);
}

bool LineEditContext::RefreshesEveryRow() const {
    return editedMany || edited.size() * 8 > static_cast<size_t>(job.rows.Count());
}

void LineEditContext::MarkEditedRow(int32_t row) {
    if (row < 0 || row >= job.rows.Count()) return;
    job.rowChanges.Note(row, 1, job.rows.Count());
    MarkEdited(job.rows.At(row));
}

void LineEditContext::Prepare() {
    if (prepared) return;
    prepared = true;
    if (job.statusMask != StatusAll) {
        job.statusMask = StatusAll;
        editor.ResetFilter();
    }
}

// ---------------------------------------------------------------------------
// Primitives

bool InsertTextAt(LineEditContext& context, uint32_t tag, JobTextPosition at, const RawString& text,
                  JobTextPosition* end) {
    JobTextPosition after = at;
    JobTextPosition start = at;
    if (!RawInsertText(context, at, text, after, &start)) return false;
    if (end) *end = after;
    if (text.IsEmpty()) return false;
    Record(context, tag, UndoDeleteText, start, after, RawString());
    return true;
}

bool DeleteRangeAt(LineEditContext& context, uint32_t tag, const JobTextRange& range) {
    RawString deleted;
    JobTextPosition start = range.start;
    std::shared_ptr<const JobLineWidths> widths;
    if (!RawDeleteRange(context, range, &deleted, &start, &widths)) return false;
    if (deleted.IsEmpty()) return false;
    Record(context, tag, UndoInsertText, start, start, std::move(deleted), std::move(widths));
    return true;
}

bool InsertLineAt(LineEditContext& context, uint32_t tag, int32_t line, const RawString& text) {
    if (!RawInsertLine(context, line, text)) return false;
    Record(context, tag, UndoDeleteLine, JobTextPosition{line, 0}, JobTextPosition{line, text.Length()},
           RawString());
    return true;
}

bool DeleteLineAt(LineEditContext& context, uint32_t tag, int32_t line) {
    RawString text;
    std::shared_ptr<const JobLineWidths> end = LineEndNote(context, context.LineAt(line));
    if (!RawDeleteLine(context, line, &text)) return false;
    Record(context, tag, UndoInsertLine, JobTextPosition{line, 0}, JobTextPosition{line, text.Length()},
           text, std::move(end));
    return true;
}

bool CopyLineFromOtherSide(LineEditContext& context, uint32_t tag, uint32_t source, int32_t row) {
    JobGroupUnit& job = context.job;
    JobReportUnit* holder = row >= 0 ? job.rows.At(row) : nullptr;
    if (!holder || source > 1 || source == context.sideIndex) return false;
    JobContentUnit* from = holder->Unit(source);
    if (!IsRealUnit(from)) return false;
    RawString text;
    if (!RawLayer::ConvertTextExactly(from->Text(), context.TextKind(), text)) return false;
    context.rowHint = row;
    JobLineUnit* here = context.LineOfRow(row);
    if (here) {
        const RawString old = here->LineText();
        if (old.Length() == text.Length() && old.Equals(text)) return false;
        const int32_t index = context.LineIndex(here);
        DeleteRangeAt(context, tag, JobTextRange{{index, 0}, {index, old.Length()}});
        InsertTextAt(context, tag, JobTextPosition{index, 0}, text);
        return true;
    }
    // The new line goes into the row itself, before this side's first line
    // at or after it: the rows keep the side's lines in order.
    context.Prepare();
    int32_t next = JobGroupUnit::NextRealRow(&job, context.sideIndex, row, false);
    int32_t index = next >= 0 ? context.LineIndex(context.LineOfRow(next)) : context.content.Count();
    if (index < 0) index = context.content.Count();
    JobLineUnit* line = new JobLineUnit(text);
    if (index >= context.content.Count())
        context.content.Add(line);
    else
        context.content.Insert(index, line);
    job.rowChanges.Note(row, 1, job.rows.Count());
    holder->SetUnit(context.sideIndex, line);
    context.content.NoteRenumberFrom(index);
    context.MarkEdited(holder);
    MarkChanged(context);
    context.PlaceCursor(JobTextPosition{index, 0});
    Record(context, tag, UndoDeleteLine, JobTextPosition{index, 0}, JobTextPosition{index, text.Length()},
           RawString());
    return true;
}

RawString SelectionText(LineEditContext& context, const JobTextRange& range) {
    const uint8_t kind = context.TextKind();
    if (range.start.line < 0 || range.end.line < range.start.line) return RawString(kind);
    // The length first, then the text in one allocation.
    int32_t total = 0;
    for (int32_t i = range.start.line; i <= range.end.line; ++i) {
        int32_t length = LineLength(context.LineAt(i));
        int32_t from = i == range.start.line ? ClampInt(range.start.column, 0, length) : 0;
        int32_t to = i == range.end.line ? ClampInt(range.end.column, from, length) : length;
        total += to - from + (i < range.end.line ? 2 : 0);
    }
    RawString text = RawString::ReserveAs(kind, total);
    for (int32_t i = range.start.line; i <= range.end.line; ++i) {
        JobLineUnit* line = context.LineAt(i);
        int32_t length = LineLength(line);
        int32_t from = i == range.start.line ? ClampInt(range.start.column, 0, length) : 0;
        int32_t to = i == range.end.line ? ClampInt(range.end.column, from, length) : length;
        if (line) text.AppendRange(line->LineText(), RawRange{from, to});
        if (i < range.end.line) {
            text.AppendChar('\r');
            text.AppendChar('\n');
        }
    }
    return text;
}

bool ApplyUndoRecord(LineEditContext& context, JobUndoDataUnit& record) {
    const JobTextPosition start = {record.startRow, record.startColumn};
    const JobTextPosition end = {record.endRow, record.endColumn};
    switch (record.operation) {
    case UndoInsertText: {
        JobTextPosition after = start;
        if (!RawInsertText(context, start, record.text, after, nullptr, record.widths.get(), true)) return false;
        record.operation = UndoDeleteText;
        record.endRow = after.line;
        record.endColumn = after.column;
        record.text = RawString();
        record.widths.reset();
        return true;
    }
    case UndoDeleteText: {
        RawString deleted;
        std::shared_ptr<const JobLineWidths> widths;
        if (!RawDeleteRange(context, JobTextRange{start, end}, &deleted, nullptr, &widths, true)) return false;
        record.operation = UndoInsertText;
        record.text = std::move(deleted);
        record.widths = std::move(widths);
        return true;
    }
    case UndoInsertLine:
        if (!RawInsertLine(context, start.line, record.text, NotedLineEnd(record))) return false;
        record.operation = UndoDeleteLine;
        record.text = RawString();
        record.widths.reset();
        return true;
    case UndoDeleteLine: {
        RawString text;
        std::shared_ptr<const JobLineWidths> end = LineEndNote(context, context.LineAt(start.line));
        if (!RawDeleteLine(context, start.line, &text)) return false;
        record.operation = UndoInsertLine;
        record.text = text;
        record.widths = std::move(end);
        return true;
    }
    default:
        return false;
    }
}

bool SearchStart(LineEditContext& context, ActionArgs& args, ExpressionSearch& search, bool forward,
                 int32_t& row, int32_t& column) {
    JobGroupUnit& job = context.job;
    const uint32_t sideIndex = context.sideIndex;
    const JobSideRecord& side = context.side;
    const int32_t count = job.rows.Count();
    if (context.content.Count() == 0 || count == 0) return false;
    // The side's last row is looked up only when needed: finding it walks
    // back from the end over the rows without a line of the side.
    auto lastRow = [&] { return JobGroupUnit::PrevRealRow(&job, sideIndex, count - 1, false); };

    int32_t startRow = side.cursorRow;
    int32_t startColumn = side.cursorColumn;
    if (!forward) {
        // Backward from a selection that is exactly one hit starts before it.
        JobSelectionRange selection = JobGroupUnit::SelectionRange(&job, sideIndex);
        JobLineUnit* line = selection.startRow == selection.endRow ? context.LineOfRow(selection.startRow) : nullptr;
        if (line && search.Next(line->LineText(), RawRange{selection.startColumn, selection.endColumn})) {
            startRow = selection.startRow;
            startColumn = selection.startColumn;
        }
    }
    if (startRow < 0 || startRow >= count) {
        row = forward ? JobGroupUnit::NextRealRow(&job, sideIndex, 0, false) : lastRow();
        column = forward ? 0 : LineLength(context.LineOfRow(row));
        return row >= 0;
    }
    // An inverted hit stands for its whole line: the next search starts on
    // the line after (or before) it.
    const JobSearchPlace& place = args.place;
    if (place.valid && place.inverted && place.job == &job && place.side == sideIndex &&
        side.cursorRow == place.row && side.anchorRow == place.row && context.LineOfRow(place.row) == place.line) {
        row = forward ? JobGroupUnit::NextRealRow(&job, sideIndex, place.row, true)
                      : JobGroupUnit::PrevRealRow(&job, sideIndex, place.row, true);
        column = forward ? 0 : LineLength(context.LineOfRow(row));
        return row >= 0;
    }
    int32_t real = JobGroupUnit::NextRealRow(&job, sideIndex, startRow, false);
    if (real < 0) {
        row = lastRow();
        column = LineLength(context.LineOfRow(row));
        return row >= 0;
    }
    row = real;
    JobLineUnit* line = context.LineOfRow(real);
    column = real == startRow ? LineCharStart(line->LineText(), ClampInt(startColumn, 0, LineLength(line))) : 0;
    return true;
}

}  // namespace JobLayer

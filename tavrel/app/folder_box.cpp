// The folder box: rows of the current job, the dividing point, the columns
// of both sides, dropped files, typed characters and the divider drag.
#include "tavrel/app/folder_box.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/api_text.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/gui_profile.h"
#include "tavrel/jobs/text/text_kind.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"

namespace AppLayer {

using JobLayer::JobGroupList;
using WinLayer::WinDrawContext;
using WinLayer::WinListBoxItemUnit;

namespace {

// The allowed range of the dividing point keeps this far from either edge.
constexpr int32_t kDividerEdge = 10;
constexpr WORD kSizeCursor = 32644;  // IDC_SIZEWE
constexpr WORD kNoCursor = 32648;    // IDC_NO
constexpr WORD kHandCursor = 32649;  // IDC_HAND

RECT WindowClient(HWND window) {
    RECT client{};
    if (window) ::GetClientRect(window, &client);
    return client;
}

void PostCode(HWND window, uint32_t controlId, uint16_t code) {
    if (window) PostMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, code), 0);
}

// The content width of a side: its measured columns (the first hidden in
// the simple view).
int32_t ContentWidth(const JobLayer::JobSideRecord& side, bool hideFirst) {
    int32_t total = 0;
    for (uint32_t i = 0; i < std::min<uint32_t>(side.columnCount, 3); ++i) {
        if (i == 0 && hideFirst) continue;
        total += side.measuredWidth[i];
    }
    return total;
}

}  // namespace

uint16_t FilterBitOf(uint32_t rowKind) {
    switch (rowKind) {
    case JobLayer::RowSame:
        return FilterSame;
    case JobLayer::RowOnly1:
        return FilterOnly1;
    case JobLayer::RowOnly2:
        return FilterOnly2;
    default:
        return FilterDifferent;
    }
}

FolderBoxView::FolderBoxView() { InitializeCriticalSection(&lock); }
FolderBoxView::~FolderBoxView() { DeleteCriticalSection(&lock); }

JobGroupUnit* SpareJob() {
    JobGroupList& list = JobGroupList::Instance();
    if (!list.ExtraJob()) {
        list.SetExtraJob(new JobGroupUnit(JobLayer::JobKindType::FromKind(JobLayer::KindNone),
                                          &JobLayer::JobKindControl::NoneControl()));
    }
    return list.ExtraJob();
}

GuiFolderBox::GuiFolderBox() : ime_(*this), draw_(*this, view_) {}

GuiFolderBox::~GuiFolderBox() = default;

void GuiFolderBox::Construct() {
    WinListBox::Construct();
    mode = static_cast<uint16_t>(mode | ModeMultiple);
    // Files dropped from the shell open on the side they land on.
    exStyle |= WS_EX_ACCEPTFILES;
    view_.box = this;
    view_.job = SpareJob();
    view_.kindMargin = JobLayer::KindMargin(view_.job->kind.kind);
    filterWord = FilterAll;
    drag_.noDropCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(kNoCursor));
    drag_.dropCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(kHandCursor));
    drag_.sizeCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(kSizeCursor));
}

// ---- the job and its rows ----------------------------------------------------------------

WinLayer::WinFontParameter* GuiFolderBox::FittedViewFont() {
    if (window) {
        WinLayer::GdiWindowDC windowDc(window);
        const HDC dc = windowDc.Get();
        const int saved = dc ? SaveDC(dc) : 0;
        if (saved) {
            // The rows measure a font of another size at their next layout;
            // the caller knows of the change already.
            if (draw_.FitFont(dc)) layoutPending = 1;
            RestoreDC(dc, saved);
        }
    }
    return font;
}

void GuiFolderBox::SetJob(JobGroupUnit* job) {
    JobGroupUnit* shown = job ? job : SpareJob();
    if (shown != view_.job) {
        // A drag of the last job's rows means nothing in this one.
        EndLineDrag(false);
        if (view_.job) scrollTops_[view_.job->serial] = scroll.y;
        view_.job = shown;
        scroll = POINT{};
        // Each job comes back at its own vertical place (kept within its
        // rows when they are laid out).
        const auto kept = scrollTops_.find(shown->serial);
        if (kept != scrollTops_.end()) scroll.y = kept->second;
        // The cursor of the last job means nothing in this one.
        ClearItems();
        rowsNotSame_.rows = nullptr;
    }
    view_.kindMargin = JobLayer::KindMargin(shown->kind.kind);
    // Each kind draws in its own view font; kind none keeps the last one.
    if (shown->kind.kind <= JobLayer::KindBinary) {
        font = &JobLayer::GuiProfileStore::Instance().ViewFont(shown->kind.kind);
        layoutPending = 1;
    }
    if (shown->flags & JobLayer::JobLayoutStale) {
        measured_.erase(shown->serial);
        shown->flags = static_cast<uint16_t>(shown->flags & ~JobLayer::JobLayoutStale);
        shown->controller->InvalidateSide(*shown, 0);
        shown->controller->InvalidateSide(*shown, 1);
    }
}

bool GuiFolderBox::ItemsHoldRows() {
    const JobLayer::JobReportList& rows = view_.job->rows;
    if (Count() != rows.Count()) return false;
    int32_t index = 0;
    for (const WinListBoxItemUnit& unit : items) {
        if (ItemOf(unit) != rows.At(index++)) return false;
    }
    return true;
}

void GuiFolderBox::PlaceRow(WinListBoxItemUnit& unit, JobReportUnit* row, int32_t index) {
    ++WinLayer::WinWorkCounts::Instance().listUnitsPlaced;
    unit.item = row;
    if (row->kind != JobLayer::RowSame) rowsNotSame_.rowsNotSame.push_back(index);
    if (!(filterWord & FilterBitOf(row->kind))) {
        unit.flags = WinListBoxItemUnit::ItemHidden;
        row->flags |= JobLayer::RowSkipped;
    } else {
        unit.flags = 0;
        row->flags &= ~static_cast<uint32_t>(JobLayer::RowSkipped);
        if (row->kind != JobLayer::RowSame) differing_.push_back(index);
    }
}

void GuiFolderBox::RebuildRows(bool measure) {
    // The rows a running drag holds are about to go.
    EndLineDrag(false);
    const POINT keep = scroll;
    JobGroupUnit* job = view_.job;
    // The items come out as made anew (no selection, no cursor, laid out
    // again), but the units already there are given the rows at their
    // places instead of being freed and made again: an edit that adds or
    // takes a line of a million does not free and make a million units.
    // One pass sets each unit's row, its filter flag and the differing
    // rows; after an edit that noted the rows it changed, only those.
    const bool changedOnly = RebuildChangedRows();
    if (!changedOnly) {
        filterWord = job->statusMask;
        ClearItemSelection();
        cursor = anchor = marked = kNone;
        counters[0] = counters[1] = 0;
        const JobLayer::JobReportList& rows = job->rows;
        const int32_t count = rows.Count();
        while (Count() > count) items.RemoveAt(Count() - 1);
        differing_.clear();
        rowsNotSame_.rows = nullptr;
        rowsNotSame_.rowsNotSame.clear();
        int32_t index = 0;
        for (WinListBoxItemUnit& unit : items) {
            PlaceRow(unit, rows.At(index), index);
            ++index;
        }
        for (; index < count; ++index) {
            JobReportUnit* row = rows.At(index);
            PlaceRow(*AddItem(row), row, index);
        }
        rowsNotSame_.rows = &rows;
        rowsNotSame_.count = count;
        NoteDifferingRows();
    }
    job->rowChanges.Reset(job->rows.Count());
    if (!changedOnly) {
        layoutPending = 1;
        scroll = keep;
        RefreshIfDirty();
    }
    if (measure || !measured_.count(job->serial)) {
        RemeasureColumns();
    } else {
        LayoutColumns();
    }
}

bool GuiFolderBox::RebuildChangedRows() {
    JobGroupUnit* job = view_.job;
    const JobLayer::JobRowChanges& changes = job->rowChanges;
    const JobLayer::JobReportList& rows = job->rows;
    const int32_t before = Count();
    const int32_t count = rows.Count();
    // Only over items that hold this job's rows as they were, every one
    // shown and laid out, with the filter unchanged.
    if (!changes.known || !changes.fromEdit || differingSerial_ != job->serial || differingCount_ != before ||
        rowsNotSame_.rows != &rows || filterWord != job->statusMask || layoutPending || !PlacedCurrent() ||
        !placedIndices.empty() || static_cast<int32_t>(placed.size()) != before)
        return false;
    const int32_t first = changes.first;
    const int32_t tail = changes.tail;
    if (first < 0 || tail < 0 || first + tail > std::min(before, count)) return false;
    // The rows next to the change are still where the items hold them.
    if (first > 0 && ItemOf(*placed[static_cast<size_t>(first - 1)]) != rows.At(first - 1)) return false;
    if (tail > 0 && ItemOf(*placed[static_cast<size_t>(before - tail)]) != rows.At(count - tail)) return false;
    // Units keep their places: with as many rows as before only the units
    // of the changed rows take new ones, else every unit from the first
    // change on does.
    const int32_t end = count == before ? count - tail : count;
    ClearItemSelection();
    cursor = anchor = marked = kNone;
    counters[0] = counters[1] = 0;
    auto cut = [&](std::vector<int32_t>& list, std::vector<int32_t>& after) {
        const auto from = std::lower_bound(list.begin(), list.end(), first);
        const auto to = count == before ? std::lower_bound(from, list.end(), end) : list.end();
        after.assign(to, list.end());
        list.erase(from, list.end());
    };
    std::vector<int32_t> differingAfter, notSameAfter;
    cut(differing_, differingAfter);
    cut(rowsNotSame_.rowsNotSame, notSameAfter);
    while (Count() > count) items.RemoveAt(Count() - 1);
    // Every row is as high as the next: a unit that takes another row keeps
    // its place and height, and only a unit that comes or goes, or is
    // shown or hidden by the filter, moves the ones after it.
    bool shownChanged = false;
    for (int32_t index = first; index < end; ++index) {
        JobReportUnit* row = rows.At(index);
        if (index >= before) {
            PlaceRow(*AddItem(row), row, index);
            continue;
        }
        WinListBoxItemUnit& unit = *placed[static_cast<size_t>(index)];
        const uint16_t measured = unit.flags & WinListBoxItemUnit::ItemMeasured;
        const uint16_t hidden = unit.flags & WinListBoxItemUnit::ItemHidden;
        PlaceRow(unit, row, index);
        unit.flags |= measured;
        if ((unit.flags & WinListBoxItemUnit::ItemHidden) != hidden) shownChanged = true;
    }
    differing_.insert(differing_.end(), differingAfter.begin(), differingAfter.end());
    rowsNotSame_.rowsNotSame.insert(rowsNotSame_.rowsNotSame.end(), notSameAfter.begin(), notSameAfter.end());
    rowsNotSame_.count = count;
    NoteDifferingRows();
    {
        if (shownChanged) {
            RelayoutFrom(first, end);
        } else {
            const int32_t kept = std::min(before, count);
            RelayoutFrom(kept, kept);
        }
        // The scroll bar is set once the edit has placed the caret (or by
        // the paint that follows): drawing it here too would draw it twice
        // in one key.
        ClampScroll();
        InvalidateViews();
    }
    return true;
}

void GuiFolderBox::ApplyFilterFlags() {
    differing_.clear();
    int32_t index = -1;
    for (WinListBoxItemUnit& unit : items) {
        ++index;
        JobReportUnit* row = ItemOf(unit);
        if (!row) continue;
        if (filterWord & FilterBitOf(row->kind)) {
            unit.flags = static_cast<uint16_t>(unit.flags & ~WinListBoxItemUnit::ItemHidden);
            row->flags &= ~static_cast<uint32_t>(JobLayer::RowSkipped);
            if (row->kind != JobLayer::RowSame) differing_.push_back(index);
        } else {
            unit.flags |= WinListBoxItemUnit::ItemHidden;
            row->flags |= JobLayer::RowSkipped;
        }
    }
    NoteDifferingRows();
}

void GuiFolderBox::NoteDifferingRows() {
    differingSerial_ = view_.job->serial;
    differingCount_ = view_.job->rows.Count();
}

void GuiFolderBox::ApplyFilter() {
    filterWord = view_.job->statusMask;
    ApplyFilterFlags();
    layoutPending = 1;
    RefreshIfDirty();
    LayoutColumns();
    EnsureCursorShown();
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void GuiFolderBox::ReleaseJob() {
    view_.job = SpareJob();
    measured_.clear();
    scrollTops_.clear();
    ClearItems();
    rowsNotSame_.rows = nullptr;
    scroll = POINT{};
    mode = static_cast<uint16_t>(mode & ~(ModeFocus | ModeMultiple));
}

int32_t GuiFolderBox::CopySelectionToRows() {
    int32_t selected = 0;
    for (WinListBoxItemUnit& unit : items) {
        JobReportUnit* row = ItemOf(unit);
        if (!row) continue;
        const bool on = (unit.flags & WinListBoxItemUnit::ItemSelected) != 0;
        unit.flags = static_cast<uint16_t>(on ? (unit.flags | WinListBoxItemUnit::ItemCounted)
                                              : (unit.flags & ~WinListBoxItemUnit::ItemCounted));
        row->flags = static_cast<uint16_t>(on ? (row->flags | JobLayer::RowMarked)
                                              : (row->flags & ~JobLayer::RowMarked));
        if (on) ++selected;
    }
    return selected;
}

int32_t GuiFolderBox::CopySelectionFromRows() {
    int32_t selected = 0;
    for (WinListBoxItemUnit& unit : items) {
        const JobReportUnit* row = ItemOf(unit);
        const bool on = row && (row->flags & JobLayer::RowMarked);
        unit.flags = static_cast<uint16_t>(on ? (unit.flags | WinListBoxItemUnit::ItemSelected)
                                              : (unit.flags & ~WinListBoxItemUnit::ItemSelected));
        if (on) ++selected;
    }
    if (selected > 0) NoteSelected(0, Count() - 1);
    if (window) InvalidateRect(window, nullptr, FALSE);
    return selected;
}

// ---- sides, columns and the dividing point ---------------------------------------------------

uint32_t GuiFolderBox::CurrentSide() const {
    const uint32_t side = view_.job->side1.focusSide;
    return side < 2 ? side : 2;
}

void GuiFolderBox::SetCurrentSide(uint32_t side) {
    view_.job->side1.focusSide = side;
    view_.job->side2.focusSide = side;
}

RECT GuiFolderBox::GetClientRect() const { return WindowClient(window); }

uint32_t GuiFolderBox::HitSide(POINT point) const {
    const RECT client = GetClientRect();
    const int32_t d = view_.dividingPoint;
    if (client.left < point.x && point.x < d - 4) return HitSide1;
    if (d + 4 < point.x && point.x < client.right) return HitSide2;
    if (point.x <= d - 4) return HitNone;
    if (point.x < d + 4) return HitDivider;
    return HitNone;
}

void GuiFolderBox::SetDividingPoint(int32_t x) {
    view_.dividingPoint = x;
    if (view_.twinBar) {
        SectionLock hold(view_.twinBar->lock);
        view_.twinBar->dividingX = x;
    }
}

void GuiFolderBox::ResetDividingPoint() {
    const RECT client = GetClientRect();
    SetDividingPoint((client.left + client.right) / 2);
    view_.job->side1.scrollX = 0;
    view_.job->side2.scrollX = 0;
}

void GuiFolderBox::MeasureSideColumns(HDC dc, uint32_t side) {
    JobGroupUnit& job = *view_.job;
    JobLayer::JobSideRecord& record = job.Side(side);
    JobLayer::JobContentList& content = job.Content(side);
    for (int32_t& width : record.measuredWidth) width = 0;
    const int32_t margin = view_.kindMargin;
    if (content.header) content.header->MeasureColumns(record, dc, margin);
    // Binary rows are all of one width: only folder and text units measure.
    // A folder entry's every column is content (name, size, date).
    if (job.kind.kind == JobLayer::KindPath) {
        for (JobLayer::JobContentUnit& unit : content) unit.MeasureColumns(record, dc, margin);
    } else if (job.kind.kind == JobLayer::KindText) {
        const int32_t title = record.measuredWidth[1];
        if (!MeasureChangedLines(dc, side, record, content, margin)) {
            record.measuredWidth[1] = title;
            sideWidths_[side].count = MeasureLongestLines(dc, record, content, margin, static_cast<int32_t>(side));
        }
        sideWidths_[side].widest = record.measuredWidth[1];
    }
    if (!content.IsEmpty()) {
        // Numbers and addresses grow down the side: the last unit's is the
        // widest, and the first one's stands for a side of one unit.
        content.At(0)->MeasureFirstColumn(record, dc, margin);
        content.At(content.Count() - 1)->MeasureFirstColumn(record, dc, margin);
    }
    record.totalWidth = record.measuredWidth[0] + record.measuredWidth[1] + record.measuredWidth[2];
}

namespace {

// What a line adds to its text width: both margins and the caret's cell
// past its end (the side's own when it has one, else the font's widest
// glyph).
int64_t LineExtra(const TEXTMETRICW& metrics, const JobLayer::JobSideRecord& record, int32_t margin) {
    const auto* base = dynamic_cast<const JobLayer::JobLineBaseData*>(record.kindData.get());
    const int64_t cell = base ? std::max<int64_t>(base->cellWidth, 0) : std::max<LONG>(metrics.tmMaxCharWidth, 1);
    return 2 * static_cast<int64_t>(margin) + cell;
}

// The widest width found so far and how many lines (or titles) stand at it.
struct WidestTally {
    int64_t width = 0;
    int64_t count = 0;
    void Add(int64_t w) {
        if (w > width) {
            width = w;
            count = 1;
        } else if (w == width) {
            ++count;
        }
    }
};
// The count of a title, which no edit takes away.
constexpr int64_t kTitleCount = int64_t{1} << 40;

// Sets the text column's width of a side to the widest of `tally` and the
// lines `each` visits (each(visit) calls visit(unit) for every one). Only
// the widest line counts. An ASCII line is at most as wide as the advances
// of its characters, each tab taken as a whole tab stop, with the font's
// overhang and a pixel of slack per 32 characters for rounding; lines are
// measured from the largest such bound down, and once a bound cannot beat
// the widest line measured, the rest cannot either. A line with other
// characters (a glyph of a linked font has no advance here) is always
// measured. Lines visited are marked as measured for `side` (-1: none).
template <class Each>
void MeasureLines(HDC dc, JobLayer::JobSideRecord& record, int32_t margin, WidestTally& tally, int32_t side,
                  const Each& each) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    INT advance[128] = {};
    const bool known = GetCharWidth32W(dc, 0, 127, advance) != FALSE;
    const int64_t tab = static_cast<int64_t>(std::max(JobLayer::ConfigStore::Instance().tabStop, 1)) *
                        std::max<LONG>(metrics.tmAveCharWidth, 1);
    const auto* base = dynamic_cast<const JobLayer::JobLineBaseData*>(record.kindData.get());
    const int64_t extra = LineExtra(metrics, record, margin);
    // Lines keep their measured width (and their bound) until their text
    // or the side's layout changes: after an edit only the edited lines
    // are bounded again, and lines measured before count at once. Only
    // lines whose bound may beat the widest line found so far are kept for
    // measuring: after an edit of a long text that is a handful, not every
    // line of it.
    std::vector<std::pair<int64_t, JobLayer::JobContentUnit*>> lines;
    each([&](JobLayer::JobContentUnit& unit) {
        ++WinLayer::WinWorkCounts::Instance().linesWalked;
        JobLayer::JobLineUnit* line = base ? JobLayer::AsLineUnit(&unit) : nullptr;
        if (line && side >= 0) line->SetMeasuredSide(static_cast<uint32_t>(side));
        bool exact = false;
        const int32_t noted = line ? line->NotedWidth(base->revision, exact) : -1;
        if (noted >= 0 && exact) {
            // What measuring it again would give: its noted width with the
            // margins and the caret's cell.
            tally.Add(noted + extra);
            return;
        }
        int64_t bound = noted;
        if (noted < 0) {
            const RawLayer::RawString text = unit.Text();
            const int32_t length = text.Length();
            const bool wide = text.Kind() == RawLayer::KindUtf16;
            bound = known ? length / 32 + 2 + std::max<LONG>(metrics.tmOverhang, 0) : INT64_MAX;
            for (int32_t i = 0; i < length && bound != INT64_MAX; ++i) {
                const uint32_t code = wide ? static_cast<uint16_t>(text.Wide()[i]) : static_cast<uint8_t>(text.Bytes()[i]);
                if (code >= 0x80) {
                    bound = INT64_MAX;
                } else {
                    bound += code == '\t' ? tab : std::max<int64_t>(advance[code], 0);
                }
            }
            if (line && bound <= INT32_MAX) line->NoteWidth(base->revision, static_cast<int32_t>(bound), false);
        }
        if (bound == INT64_MAX || bound + extra > tally.width) lines.emplace_back(bound, &unit);
    });
    record.measuredWidth[1] = static_cast<int32_t>(std::min<int64_t>(tally.width, INT32_MAX));
    // A bound that cannot beat a measured width never will: the widest
    // only grows.
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const auto& line) {
                                   return line.first != INT64_MAX && line.first + extra <= record.measuredWidth[1];
                               }),
                lines.end());
    std::sort(lines.begin(), lines.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& line : lines) {
        if (line.first != INT64_MAX && line.first + extra <= record.measuredWidth[1]) break;
        ++WinLayer::WinWorkCounts::Instance().linesMeasured;
        line.second->MeasureContent(record, dc, margin);
        const JobLayer::JobLineUnit* measured = base ? JobLayer::AsLineUnit(line.second) : nullptr;
        bool exact = false;
        const int32_t width = measured ? measured->NotedWidth(base->revision, exact) : -1;
        if (width >= 0 && exact) tally.Add(width + extra);
    }
    // A line measured without a note counts, but not how many stand there.
    if (record.measuredWidth[1] > tally.width) tally = WidestTally{record.measuredWidth[1], 0};
}

// Whether the side's last line holds the number of its place, as every
// line does once the side is numbered after its last change.
bool NumberedToTheEnd(const JobLayer::JobContentList& content) {
    if (content.IsEmpty()) return true;
    const JobLayer::JobLineUnit* last = JobLayer::AsLineUnit(content.At(content.Count() - 1));
    return last && last->LineNumber() == content.Count();
}

}  // namespace

int64_t GuiFolderBox::MeasureLongestLines(HDC dc, JobLayer::JobSideRecord& record, JobLayer::JobContentList& content,
                                          int32_t margin, int32_t side) {
    WidestTally tally{record.measuredWidth[1], kTitleCount};
    MeasureLines(dc, record, margin, tally, side, [&](const auto& visit) {
        for (JobLayer::JobContentUnit& unit : content) visit(unit);
    });
    return tally.count;
}

bool GuiFolderBox::MeasureChangedLines(HDC dc, uint32_t side, JobLayer::JobSideRecord& record,
                                       JobLayer::JobContentList& content, int32_t margin) {
    // The side's width follows the lines changed since it was last
    // measured when nothing else changed: the same job and side, layout
    // revision, margins, tab stop and title width, no load since, and the
    // lines numbered (a line of the side is known by its number).
    const auto* base = dynamic_cast<const JobLayer::JobLineBaseData*>(record.kindData.get());
    JobLayer::JobLineChangeLog& log = JobLayer::JobLineChangeLog::Instance();
    SideWidths& kept = sideWidths_[side];
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int64_t extra = LineExtra(metrics, record, margin);
    const SideWidths now{view_.job->serial, &content, base ? base->revision : uint16_t{0},
                         JobLayer::ConfigStore::Instance().tabStop, extra, record.measuredWidth[1], log.Epoch(), -1};
    const bool follows = base && kept.widest >= 0 && kept.job == now.job && kept.content == now.content &&
                         kept.revision == now.revision && kept.tabStop == now.tabStop && kept.extra == now.extra &&
                         kept.title == now.title && kept.epoch == now.epoch &&
                         !(content.flags & JobLayer::ContentNumbering) && NumberedToTheEnd(content);
    const int64_t widest = kept.widest;
    const int64_t standing = kept.count;
    kept = now;
    if (!follows) return false;
    // The lines measured at the widest that went or changed no longer
    // count there; a width above it means the last one was not the widest.
    int64_t left = standing;
    const int32_t gone = log.GoneWidth(side);
    if (gone >= 0 && gone + extra > widest) return false;
    if (gone >= 0 && gone + extra == widest) left -= log.GoneCount(side);
    std::vector<JobLayer::JobLineUnit*> changed;
    for (const auto& entry : log.Lines()) {
        if (JobLayer::NumberedIndex(content, *entry.first) < 0) continue;
        changed.push_back(entry.first);
        if (entry.second >= 0 && entry.second + extra > widest) return false;
        if (entry.second >= 0 && entry.second + extra == widest) --left;
    }
    WidestTally tally{std::max<int64_t>(widest, record.measuredWidth[1]), 0};
    MeasureLines(dc, record, margin, tally, static_cast<int32_t>(side), [&](const auto& visit) {
        for (JobLayer::JobLineUnit* line : changed) visit(*line);
    });
    if (tally.width > widest) {
        kept.count = tally.count;
    } else {
        // Nothing wider came: the width stands while a line still does.
        kept.count = left + tally.count;
        if (kept.count <= 0) return false;
    }
    return true;
}

void GuiFolderBox::RemeasureColumns() {
    JobGroupUnit& job = *view_.job;
    {
        WinLayer::GdiWindowDC screen(window);
        WinLayer::GdiSelection keepFont(screen.Get(), GetEffectiveFont().handle);
        SetTextAlign(screen.Get(), 0);
        MeasureSideColumns(screen.Get(), 0);
        MeasureSideColumns(screen.Get(), 1);
        // Both sides' widths now stand for every line.
        JobLayer::JobLineChangeLog::Instance().Clear();
    }
    measured_.insert(job.serial);
    LayoutColumns();
}

void GuiFolderBox::LayoutColumns() {
    JobGroupUnit& job = *view_.job;
    const RECT client = GetClientRect();
    const int32_t d = view_.dividingPoint;
    const bool hideFirst = job.edit.simple != 0;
    const RECT area1{client.left, client.top, d - 2, client.bottom};
    const RECT area2{d + 2, client.top, client.right, client.bottom};
    if (job.content1.header) job.content1.header->LayoutColumns(job.side1, area1, hideFirst);
    if (job.content2.header) job.content2.header->LayoutColumns(job.side2, area2, hideFirst);
    if (view_.twinBar) {
        SectionLock hold(view_.twinBar->lock);
        view_.twinBar->ownerClient = client;
        view_.twinBar->dividingX = d;
    }
    SyncTwinBarRange(0);
    SyncTwinBarRange(1);
    InvalidateViews();
}

// The width a side shows its content in.
static int32_t VisibleWidth(const RECT& client, int32_t d, uint32_t side) {
    return side == 0 ? d - 2 - client.left : client.right - d - 2;
}

int32_t GuiFolderBox::ScrollMax(uint32_t side) const {
    if (side > 1) return 0;
    return ContentWidth(view_.job->Side(side), view_.job->edit.simple != 0) -
           std::max(VisibleWidth(GetClientRect(), view_.dividingPoint, side), 0);
}

void GuiFolderBox::ScrollFromTwinBar() {
    if (!view_.twinBar) return;
    int32_t side = 0, step = 0, target = 0;
    {
        SectionLock hold(view_.twinBar->lock);
        side = view_.twinBar->activeSide;
        step = view_.twinBar->step;
        target = view_.twinBar->target;
    }
    if (side < 0 || side > 1) return;
    JobLayer::JobSideRecord& record = view_.job->Side(static_cast<uint32_t>(side));
    const int64_t visible = VisibleWidth(GetClientRect(), view_.dividingPoint, static_cast<uint32_t>(side));
    const int64_t most = ContentWidth(record, view_.job->edit.simple != 0) - visible;
    if (step == 0) {
        record.scrollX = static_cast<int32_t>(target < 0 ? 0 : std::min<int64_t>(most, target));
    } else {
        record.scrollX = ClampSideOffset(record.scrollX + static_cast<int64_t>(step) * view_.viewWidth, most);
    }
    SyncTwinBarRange(static_cast<uint32_t>(side));
    InvalidateViews();
}

void GuiFolderBox::SyncTwinBarRange(uint32_t side) {
    if (!view_.twinBar || side > 1) return;
    const JobLayer::JobSideRecord& record = view_.job->Side(side);
    const int32_t visible = VisibleWidth(GetClientRect(), view_.dividingPoint, side);
    SectionLock hold(view_.twinBar->lock);
    GuiTwinScrollBar::Half& half = view_.twinBar->halves[side];
    half.position = record.scrollX;
    half.end = std::max(visible, 0) + record.scrollX;
    half.minimum = 0;
    half.maximum = ContentWidth(record, view_.job->edit.simple != 0);
}

void GuiFolderBox::InvalidateViews() {
    if (window) InvalidateRect(window, nullptr, FALSE);
    if (view_.twinBar && view_.twinBar->window) InvalidateRect(view_.twinBar->window, nullptr, FALSE);
}

void GuiFolderBox::RefreshCaret() {
    ime_.UpdateImeState();
    InvalidateViews();
}

RECT GuiFolderBox::CaretRect() {
    SectionLock hold(view_.lock);
    return view_.caret;
}

void GuiFolderBox::CaretBlink() {
    if (!window || !(mode & ModeFocus)) return;
    RECT caret = CaretRect();
    if (IsRectEmpty(&caret)) return;
    const RECT area = clientRect;
    RECT shown{};
    if (!IntersectRect(&shown, &caret, &area)) return;
    HDC dc = GetDC(window);
    if (!dc) return;
    BitBlt(dc, shown.left, shown.top, shown.right - shown.left, shown.bottom - shown.top, nullptr, 0, 0, DSTINVERT);
    ReleaseDC(window, dc);
}

// ---- messages ------------------------------------------------------------------------------------

void GuiFolderBox::OnCreated() {
    WinListBox::OnCreated();
    if (!window) return;
    SetTimer(window, kCaretTimer, kCaretBlinkMs, nullptr);
    DragAcceptFiles(window, TRUE);
    JobLayer::KeyBindingStore::Load(bindings_);
    JobLayer::KeyBindingStore::AppendDefaults(bindings_.bindings);
    // The box's own input context, associated only while an editable text
    // side is current; the window's default one is taken off.
    ime_.context = ImmCreateContext();
    ImmAssociateContext(window, nullptr);
    ime_.UpdateImeState();
    ResetDividingPoint();
}

void GuiFolderBox::OnDestroying() {
    if (window) KillTimer(window, kCaretTimer);
    EndDividerDrag();
    EndLineDrag(false);
    ime_.Release();
    WinListBox::OnDestroying();
}

LRESULT GuiFolderBox::OnCommand(uint16_t code) {
    switch (code) {
    case CmdFolderBoxNotice:
        LayoutColumns();
        return 0;
    case CmdTwinBarNotice:
        ScrollFromTwinBar();
        return 0;
    case CmdDrawNotice:
        CaretBlink();
        return 0;
    default:
        return WinListBox::OnCommand(code);
    }
}

void GuiFolderBox::EndDividerDrag() {
    if (drag_.divider != LineDragState::DividerDrag) return;
    // The state goes first: releasing the capture comes back here.
    drag_.divider = LineDragState::DividerIdle;
    if (window && GetCapture() == window) ReleaseCapture();
    if (drag_.keptCursor) ::SetCursor(drag_.keptCursor);
    drag_.keptCursor = nullptr;
    PostCode(window, controlId, CmdFolderBoxNotice);
}

void GuiFolderBox::OnDividerMove(POINT point) {
    if (drag_.divider == LineDragState::DividerDrag) {
        const int32_t moved = point.x + (drag_.pressDividing - drag_.dividerPress.x);
        if (drag_.minimum < moved && moved < drag_.maximum && moved != view_.dividingPoint) {
            SetDividingPoint(moved);
            InvalidateViews();
        }
        return;
    }
    if (drag_.state != LineDragState::Idle) return;
    const bool over = HitSide(point) == HitDivider;
    if (over && drag_.divider == LineDragState::DividerIdle) {
        drag_.divider = LineDragState::DividerHover;
        HCURSOR previous = ::SetCursor(drag_.sizeCursor);
        if (!drag_.keptCursor) drag_.keptCursor = previous;
    } else if (!over && drag_.divider == LineDragState::DividerHover) {
        drag_.divider = LineDragState::DividerIdle;
        if (drag_.keptCursor) ::SetCursor(drag_.keptCursor);
        drag_.keptCursor = nullptr;
    }
}

int32_t GuiFolderBox::JoinTypedUnit(WPARAM typed, bool unicode, uint16_t& pending, wchar_t (&units)[2]) {
    if (unicode) {
        const uint16_t unit = static_cast<uint16_t>(typed & 0xFFFF);
        if (RawLayer::IsHighSurrogate(unit)) {
            // A high surrogate waits for its low half.
            pending = unit;
            return 0;
        }
        const uint16_t high = pending;
        pending = 0;
        if (RawLayer::IsLowSurrogate(unit)) {
            if (!high) return 0;
            units[0] = static_cast<wchar_t>(high);
            units[1] = static_cast<wchar_t>(unit);
            return 2;
        }
        units[0] = static_cast<wchar_t>(unit);
        return 1;
    }
    const uint8_t byte = static_cast<uint8_t>(typed & 0xFF);
    char bytes[2] = {0, 0};
    int length = 1;
    if (pending) {
        // The trail byte of a double-byte character.
        bytes[0] = static_cast<char>(pending);
        bytes[1] = static_cast<char>(byte);
        length = 2;
        pending = 0;
    } else if (IsDBCSLeadByte(byte)) {
        pending = byte;
        return 0;
    } else {
        bytes[0] = static_cast<char>(byte);
    }
    const int count = MultiByteToWideChar(CP_ACP, 0, bytes, length, units, 2);
    return count > 0 ? count : 0;
}

bool GuiFolderBox::OnTypedUnit(WPARAM typed) {
    wchar_t units[2] = {0, 0};
    const int32_t count = JoinTypedUnit(typed, window && IsWindowUnicode(window), pendingUnit_, units);
    if (count <= 0) return false;
    // Control characters are keys, not text.
    if (count == 1 && units[0] < 32) return false;
    const uint32_t side = CurrentSide();
    JobGroupUnit& job = *view_.job;
    if (side > 1 || !view_.editor) return false;
    JobLayer::ActionArgs args;
    args.operands[0] = RawLayer::RawString::FromWideText(units, count);
    return job.controller->Execute(*view_.editor, job, side, JobLayer::CommandInsertTypedText, args);
}

void GuiFolderBox::OnDropFiles(HDROP drop) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    // The point of the drop itself: the cursor may have moved since.
    POINT point{};
    DragQueryPoint(drop, &point);
    const uint32_t side = HitSide(point);
    if (side <= HitSide2 && count > 0) {
        JobLayer::StartSource& source = JobLayer::GuiProfileStore::Instance().startSource;
        const RawLayer::RawString first = RawLayer::ApiDragQueryFile(drop, 0, RawLayer::KindUtf8);
        source.path1 = RawLayer::RawString();
        source.path2 = RawLayer::RawString();
        if (side == HitSide1) {
            source.kind = JobLayer::StartSide1;
            source.path1 = first;
        } else {
            source.kind = JobLayer::StartSide2;
            source.path2 = first;
        }
        if (count >= 2) {
            const RawLayer::RawString second = RawLayer::ApiDragQueryFile(drop, 1, RawLayer::KindUtf8);
            (side == HitSide1 ? source.path2 : source.path1) = second;
            source.kind = JobLayer::StartBothSides;
        }
        PostCode(window, controlId, CmdOpenStartSource);
    }
    DragFinish(drop);
}

LRESULT GuiFolderBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_IME_REQUEST && wParam == IMR_QUERYCHARPOSITION) return ime_.AnswerCharPosition(lParam);
    const LRESULT ime = ime_.HandleMessage(message, wParam, lParam);
    if (ime != WinLayer::kNotHandled) return ime;
    switch (message) {
    case WM_MOUSEMOVE: {
        const POINT point = WinLayer::PointFromLParam(lParam);
        // A drag whose button came up elsewhere is over.
        if (drag_.divider == LineDragState::DividerDrag && !(wParam & MK_LBUTTON)) EndDividerDrag();
        OnDividerMove(point);
        OnLineDragMove(point, wParam);
        break;
    }
    case WM_SETCURSOR:
        if (drag_.divider != LineDragState::DividerIdle && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(drag_.sizeCursor);
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN: {
        const POINT point = WinLayer::PointFromLParam(lParam);
        const uint32_t side = HitSide(point);
        if (side >= HitNone) {
            if (drag_.divider == LineDragState::DividerHover) {
                const RECT client = GetClientRect();
                drag_.minimum = client.left + kDividerEdge;
                drag_.maximum = client.right - kDividerEdge;
                drag_.pressDividing = view_.dividingPoint;
                drag_.dividerPress = point;
                drag_.divider = LineDragState::DividerDrag;
                HCURSOR previous = ::SetCursor(drag_.sizeCursor);
                if (!drag_.keptCursor) drag_.keptCursor = previous;
                if (window) SetCapture(window);
            }
            return 0;
        }
        if (drag_.state == LineDragState::Idle) {
            drag_.side = side;
            drag_.otherSide = 1 - side;
            drag_.press = point;
            drag_.state = LineDragState::Pressed;
            drag_.dropAllowed = false;
        }
        if (side != CurrentSide()) {
            SetCurrentSide(side);
            InvalidateViews();
        }
        break;
    }
    case WM_LBUTTONUP:
        EndDividerDrag();
        EndLineDrag(drag_.dropAllowed && CanDrop(WinLayer::PointFromLParam(lParam)));
        break;
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
        // The capture went to a dialog or another window: the drag is over,
        // without a drop.
        if (message == WM_CANCELMODE || reinterpret_cast<HWND>(lParam) != window) {
            EndDividerDrag();
            EndLineDrag(false);
        }
        break;
    case WM_LBUTTONDBLCLK: {
        const uint32_t side = CurrentSide();
        if (side < 2 && view_.editor) {
            const bool extend = WinLayer::KeyHeld(VK_CONTROL) || WinLayer::KeyHeld(VK_SHIFT);
            JobLayer::ActionArgs args;
            view_.job->controller->Execute(*view_.editor, *view_.job, side,
                                           extend ? JobLayer::CommandSelectWordEx : JobLayer::CommandSelectWord,
                                           args);
        }
        clicks_.last = WinLayer::PointFromLParam(lParam);
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        clicks_.time = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        break;
    }
    case WM_RBUTTONDOWN:
        // A right press cancels a line drag and opens no menu.
        if (drag_.state == LineDragState::LineDrag) {
            EndLineDrag(false);
            return 0;
        }
        drag_.state = LineDragState::Idle;
        break;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_CHAR:
        OnTypedUnit(wParam);
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        // Alt and every Alt+key, and F10, come as system keys. A bound key
        // runs its actions; an unbound system key goes on to the default
        // handling (Alt+F4, Alt+Space), an unbound key to the list.
        if (RunActionList(wParam)) return 0;
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        WPARAM* held = std::find(heldKeys_, heldKeys_ + heldCount_, wParam);
        if (held != heldKeys_ + heldCount_) {
            std::copy(held + 1, heldKeys_ + heldCount_, held);
            --heldCount_;
            return 0;
        }
        break;
    }
    case WM_TIMER:
        if (wParam == kCaretTimer) {
            CaretBlink();
            return 0;
        }
        break;
    case WM_SIZE:
        ResetDividingPoint();
        layoutPending = 1;
        RefreshIfDirty();
        ClampScroll();
        UpdateScroll();
        LayoutColumns();
        break;
    default:
        break;
    }
    return WinListBoxR<JobReportUnit>::OnMessage(message, wParam, lParam);
}

// ---- list box parts ---------------------------------------------------------------------------

void GuiFolderBox::MeasureRow(WinDrawContext& dc, SIZE& size) { draw_.MeasureRow(dc, size); }

void GuiFolderBox::MeasureItemOf(WinDrawContext&, RECT& size, int32_t, WinListBoxItemUnit&, JobReportUnit*) {
    draw_.MeasureItem(size);
}

void GuiFolderBox::DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit& unit,
                              JobReportUnit* row) {
    if (row) draw_.DrawItem(dc.dc, rect, index, unit, *row);
}

void GuiFolderBox::DrawHeader(WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit&) {
    draw_.DrawEndItem(dc.dc, rect);
}

void GuiFolderBox::DrawOverlay(WinDrawContext& dc, const RECT& rect, POINT) {
    draw_.DrawOverlay(dc.dc, rect);
    PaintDragFeedback(dc.dc);
}

}  // namespace AppLayer

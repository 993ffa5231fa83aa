#include "quenby/app/layout_pass.h"

#include <algorithm>
#include <cstdint>

#include "quenby/app/pictures.h"

namespace AppLayer {

using DocLayer::JobParamList;

int32_t QuoteShift(const DocumentStyle& style, const JobLineUnit& line) {
    if (line.quoteDepth < 1) return 0;
    int64_t s = static_cast<int64_t>(style.blockquote.sideMargin.value) * line.quoteDepth;
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(s, 0), kUnboundedWidth));
}

RawString NumberText(int32_t number) {
    RawString text(RawLayer::KindUtf8);
    text.AppendInt(number);
    text.AppendChar('.');
    return text;
}

namespace {

// The last ordinal of the numbered list that the item belongs to: its
// siblings follow it with ordinals one apart, past deeper items, code and
// empty lines, up to anything else. The ordinals of a list only grow, so
// the last is the widest.
int32_t LastOrdinalOfList(GuiLayout& layout, const JobLineUnit& line) {
    const int32_t depth = std::min<int32_t>(std::max<int32_t>(line.level, 0), 6);
    GuiLayout::NumberedList& known = layout.numberedLists[depth];
    if (known.owner == line.owner && known.first <= line.number && line.number <= known.last) return known.last;
    int32_t last = line.number;
    const JobLineUnit* p = line.owner ? line.owner->NextLine(line.chainLink) : nullptr;
    for (; p; p = p->owner ? p->owner->NextLine(p->chainLink) : nullptr) {
        if (p->kind == DocLayer::KindBullet || p->kind == DocLayer::KindNumbered) {
            if (p->level > line.level) continue;
            if (p->level < line.level || p->kind == DocLayer::KindBullet) break;
            if (last == INT32_MAX || p->number != last + 1) break;
            last = p->number;
            continue;
        }
        if (DocLayer::IsContentKind(p->kind) && p->kind != DocLayer::KindIndentedCode &&
            p->kind != DocLayer::KindFencedCode)
            break;
    }
    known = GuiLayout::NumberedList{line.owner, line.number, last};
    return last;
}

// A line that is no part of a list ends the lists walked so far; an item
// ends the deeper lists walked before it.
void ForgetNumberedLists(GuiLayout& layout, const JobLineUnit& line) {
    int32_t from = 0;
    if (line.kind == DocLayer::KindBullet || line.kind == DocLayer::KindNumbered) {
        from = std::min<int32_t>(std::max<int32_t>(line.level, 0), 6) + 1;
    } else if (!DocLayer::IsContentKind(line.kind) || line.kind == DocLayer::KindIndentedCode ||
               line.kind == DocLayer::KindFencedCode) {
        return;
    }
    for (int32_t i = from; i < 7; ++i) layout.numberedLists[i] = GuiLayout::NumberedList{};
}

}  // namespace

std::vector<RawRange> TableCells(const RawString& text) {
    std::vector<RawRange> cells;
    int32_t start = 0;
    for (int32_t i = 0; i <= text.Length(); ++i) {
        if (i == text.Length() || text.UnitAt(i) == '\t') {
            cells.push_back(RawRange{start, i});
            start = i + 1;
        }
    }
    return cells;
}

LOGFONTW ScaledFont::Current(HDC dc) {
    LOGFONTW description{};
    HGDIOBJ current = GetCurrentObject(dc, OBJ_FONT);
    if (current) GetObjectW(current, sizeof description, &description);
    return description;
}

ScaledFont::ScaledFont(HDC dc, int32_t percent)
    : selection_(percent < 1 ? nullptr : dc, percent < 1 ? LOGFONTW{} : Current(dc), std::min(percent, 1000)) {}

SIZE WrapText(GuiLayout& layout, HDC dc, RECT& rect, GuiListBoxItemUnit& item, const RawString& text) {
    const DocumentStyle& style = *layout.style;
    SIZE size = TextLayout::LayOutParagraph(*layout.draw, dc, rect.right - rect.left, 0, text, text.All(), item.text);
    rect.right = rect.left + size.cx;
    rect.bottom = rect.top + style.overview.overMargin.value + style.overview.underMargin.value + size.cy;
    return size;
}

// Negative margins may tighten a row of text, each within its own limit, but
// together they could take it to no height at all, and a row of no height
// is left out of the view and of the pages: a row keeps at least a pixel.
static void KeepRow(RECT& rect) { rect.bottom = std::max<LONG>(rect.bottom, rect.top + 1); }

void AddBlockSpacing(const GuiLayout& layout, RECT& rect, const JobLineUnit& line, int32_t extra) {
    const DocumentStyle& style = *layout.style;
    if (line.flags & DocLayer::LineFirst) rect.bottom += style.overview.overParagraphMargin.value + extra;
    if (line.flags & DocLayer::LineLast) rect.bottom += style.overview.underParagraphMargin.value + extra;
    KeepRow(rect);
}

void LayOutHeading(GuiLayout& layout, HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line) {
    const DocLayer::HeadlineLevelStyle& h = layout.style->headline.levels[LevelIndex(line.level)];
    SelectedFont font(dc, h.handle);
    LONG right = rect.right;
    WrapText(layout, dc, rect, item, line.text);
    rect.right = right;
    int32_t t = rect.bottom - rect.top;
    line.usedExtent = t;
    rect.bottom += (h.overSpace.value * t + 50) / 100 + (h.underSpace.value * t + 50) / 100;
    if (h.overline.value > 0) rect.bottom += h.overline.value + h.overlineMargin.value;
    if (h.underline.value > 0) rect.bottom += h.underline.value + h.underlineMargin.value;
    KeepRow(rect);
}

SIZE LayOutCodeColumns(GuiLayout& layout, HDC dc, const RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line) {
    const DocumentStyle& style = *layout.style;
    WinTextDraw& draw = *layout.draw;
    DocLayer::JobBlockRecord* block = line.block.Get();
    int32_t markBegin = std::max(0, std::min(line.markBegin, line.text.Length()));
    int32_t markEnd = std::max(markBegin, std::min(line.markEnd, line.text.Length()));
    if (block && !block->columnsMeasured) {
        SIZE head = TextLayout::FitText(draw, dc, line.text, 0, markEnd);
        int32_t x = TextLayout::ExpandTabs(draw, line.text, draw.tabs, 0, markEnd);
        (void)head;
        TextLayout::FitText(draw, dc, line.text, markBegin, markEnd);
        int32_t m = TextLayout::ExpandTabs(draw, line.text, draw.tabs, markBegin, markEnd);
        block->columnsMeasured = true;
        block->columnX = std::min(x, kUnboundedWidth);
        block->markWidth = std::min(m, kUnboundedWidth);
    }
    int32_t x = block ? block->columnX : 0;
    int32_t m = block ? block->markWidth : 0;
    WinTabSettings saved = draw.tabs;
    int32_t width;
    if (style.codeBlock.wrapLines)
        width = std::max<int32_t>(rect.right - rect.left, x + 20 * std::max(1, saved.unit));
    else
        width = kNoWrapWidth;
    draw.tabs.mode = 3;
    draw.tabs.unit = std::max(1, x - m);
    SIZE size = TextLayout::LayOutParagraph(draw, dc, width, x, line.text, line.text.All(), item.text);
    draw.tabs = saved;
    return size;
}

void LayOutCode(GuiLayout& layout, HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line) {
    const DocLayer::CodeBlockStyle& code = layout.style->codeBlock;
    const DocLayer::OverviewStyle& overview = layout.style->overview;
    int32_t leftIn = code.leftMargin.value + code.innerLMargin.value;
    int32_t rightIn = code.innerRMargin.value + code.rightMargin.value;
    RECT inner = rect;
    inner.left += leftIn;
    inner.right -= rightIn;
    DocLayer::JobBlockRecord* block = line.block.Get();
    if (block && (line.flags & DocLayer::LineFirst)) block->Clear();
    int32_t oldWidth = std::max<int32_t>(0, inner.right - inner.left);
    int32_t laid;
    if (line.flags & DocLayer::LineTabColumns) {
        SIZE size = LayOutCodeColumns(layout, dc, inner, item, line);
        laid = size.cx;
        inner.bottom = inner.top + size.cy + overview.overMargin.value + overview.underMargin.value;
    } else {
        if (!code.wrapLines) inner.right = inner.left + kNoWrapWidth;
        SIZE size = WrapText(layout, dc, inner, item, line.text);
        laid = size.cx;
    }
    rect.right = rect.left + static_cast<LONG>(std::min<int64_t>(
                                 static_cast<int64_t>(leftIn) + std::max(oldWidth, laid) + rightIn, kNoWrapWidth));
    rect.bottom = inner.bottom;
    AddBlockSpacing(layout, rect, line, code.innerTBMargin.value);
    if (block) block->widestWidth = std::max<int32_t>(block->widestWidth, rect.right - rect.left);
}

namespace {

// The rows of the table a row belongs to, from its first to its last.
std::vector<const JobLineUnit*> TableRows(const JobLineUnit& line) {
    const auto sameTable = [&](const JobLineUnit* p) {
        return p && p->kind == DocLayer::KindTableRow && p->tableWidths == line.tableWidths;
    };
    const JobLineUnit* first = &line;
    for (int32_t guard = 0; !(first->flags & DocLayer::LineFirst) && guard < 1000000; ++guard) {
        const JobLineUnit* p = first->owner ? first->owner->PreviousContentLine(first->chainLink) : nullptr;
        if (!sameTable(p)) break;
        first = p;
    }
    std::vector<const JobLineUnit*> rows;
    for (const JobLineUnit* p = first; p && rows.size() < 1000000;) {
        rows.push_back(p);
        if (p->flags & DocLayer::LineLast) break;
        // Past the lines between the rows that show nothing (the alignment
        // row under the title).
        const JobLineUnit* next = p->owner ? p->owner->NextLine(p->chainLink) : nullptr;
        for (int32_t guard = 0; next && !DocLayer::IsContentKind(next->kind) && guard < 1000000; ++guard)
            next = next->owner ? next->owner->NextLine(next->chainLink) : nullptr;
        if (!sameTable(next)) break;
        p = next;
    }
    return rows;
}

// The width of the widest piece of the range that a wrap keeps on one row
// (its longest word): the pieces start where the text may break; blanks
// take no room, as they hang past the end of a wrapped row.
int32_t LongestPiece(GuiLayout& layout, HDC dc, const RawString& text, RawRange range) {
    WinTextDraw& draw = *layout.draw;
    int32_t longest = 0;
    int32_t lineStart = range.start;
    while (lineStart <= range.end) {
        // One hard line, ended by "\r\n" or the range, as the wrap takes it.
        int32_t lineEnd = range.end;
        for (int32_t i = lineStart; i + 1 < range.end; ++i) {
            if (text.UnitAt(i) == '\r' && text.UnitAt(i + 1) == '\n') {
                lineEnd = i;
                break;
            }
        }
        TextLayout::FitText(draw, dc, text, lineStart, lineEnd);
        draw.BreakMarks(text, lineStart, lineEnd);
        int32_t piece = 0;
        for (int32_t i = lineStart; i < lineEnd; ++i) {
            const int32_t w = draw.WidthAt(i);
            if (w < 0) continue;
            if (draw.BreakAt(i)) piece = 0;
            if (text.UnitAt(i) != ' ') piece += w;
            longest = std::max(longest, piece);
        }
        if (lineEnd >= range.end) break;
        lineStart = lineEnd + 2;
    }
    return longest;
}

// The widest cell of each column laid out unwrapped (natural) and at the
// narrowest (least: its longest word), in the font scaled by the ratio.
void MeasureColumns(GuiLayout& layout, HDC dc, const std::vector<const JobLineUnit*>& rows, int32_t ratio,
                    std::vector<int64_t>& natural, std::vector<int64_t>& least) {
    natural.clear();
    least.clear();
    WinTextData scratch;
    if (ratio >= 1) layout.draw->ForgetFontWidths();
    {
        ScaledFont font(dc, ratio);
        for (const JobLineUnit* row : rows) {
            const std::vector<RawRange> cells = TableCells(row->text);
            if (natural.size() < cells.size()) {
                natural.resize(cells.size(), 0);
                least.resize(cells.size(), 0);
            }
            for (size_t c = 0; c < cells.size(); ++c) {
                scratch.Clear();
                natural[c] = std::max<int64_t>(natural[c], TextLayout::LayOutParagraph(*layout.draw, dc, kNoWrapWidth, 0,
                                                                                    row->text, cells[c], scratch).cx);
                least[c] = std::max<int64_t>(least[c], LongestPiece(layout, dc, row->text, cells[c]));
            }
        }
    }
    if (ratio >= 1) layout.draw->ForgetFontWidths();
}

int64_t Sum(const std::vector<int64_t>& values) {
    int64_t sum = 0;
    for (int64_t v : values) sum += v;
    return sum;
}

// The smallest the text of a fitted table is made, in percent of the box
// font: smaller print is hard to read, and words are broken instead.
constexpr int32_t kLeastTableRatio = 40;

}  // namespace

const GuiLayout::TableFit& FitTable(GuiLayout& layout, HDC dc, const JobLineUnit& line, int32_t width) {
    GuiLayout::TableFit& fit = layout.tableFit;
    const void* key = line.tableWidths ? static_cast<const void*>(line.tableWidths) : &line.cellWidths;
    if (fit.table == key && fit.width == width && !(line.flags & DocLayer::LineFirst)) return fit;
    fit = GuiLayout::TableFit{};
    fit.table = key;
    fit.width = width;
    const DocLayer::TableStyle& table = layout.style->table;
    const std::vector<const JobLineUnit*> rows = TableRows(line);
    std::vector<int64_t> natural, least;
    MeasureColumns(layout, dc, rows, 0, natural, least);
    const int64_t n = static_cast<int64_t>(natural.size());
    const int64_t f = table.frameWidth.value;
    // What the grid takes besides the columns' text (as the paint draws it).
    const int64_t grid = table.outerMargin.value + f + n * (f + table.leftMargin.value + table.rightMargin.value);
    const int64_t room = static_cast<int64_t>(width) - grid;
    if (n == 0 || Sum(natural) <= room) return fit;
    // The longest words do not fit side by side: smaller text, as far as it
    // takes (a font's widths do not shrink exactly with its height).
    int32_t ratio = 100;
    for (int32_t tries = 0; tries < 8 && Sum(least) > room && ratio > kLeastTableRatio; ++tries) {
        const int64_t estimate = room > 0 ? static_cast<int64_t>(ratio) * room / Sum(least) : 0;
        ratio = static_cast<int32_t>(std::max<int64_t>(kLeastTableRatio, std::min<int64_t>(ratio - 1, estimate)));
        MeasureColumns(layout, dc, rows, ratio, natural, least);
    }
    fit.ratio = ratio < 100 ? ratio : 0;
    const int64_t sumNatural = Sum(natural);
    const int64_t sumLeast = Sum(least);
    fit.columns.resize(natural.size(), 1);
    for (size_t c = 0; c < natural.size(); ++c) {
        int64_t w;
        if (room < n) {
            w = 1;
        } else if (sumNatural <= room) {
            w = natural[c];
        } else if (sumLeast <= room) {
            // Each column its longest word and a share of the rest of the
            // room as large as its share of what the columns would want more.
            w = least[c] + (natural[c] - least[c]) * (room - sumLeast) / std::max<int64_t>(1, sumNatural - sumLeast);
        } else {
            // Words broken where they must: shares of the room as large as
            // the columns' longest words.
            w = least[c] * room / std::max<int64_t>(1, sumLeast);
        }
        fit.columns[c] = static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(w, kUnboundedWidth)));
    }
    return fit;
}

void LayOutTableRow(GuiLayout& layout, HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line) {
    const DocLayer::TableStyle& table = layout.style->table;
    WinTextData& data = item.text;
    std::vector<RawRange> cells = TableCells(line.text);
    const GuiLayout::TableFit* fit = layout.fitTables ? &FitTable(layout, dc, line, rect.right - rect.left) : nullptr;
    if (fit && fit->columns.empty()) fit = nullptr;
    item.tableRatio = fit ? fit->ratio : 0;
    if (item.tableRatio >= 1) layout.draw->ForgetFontWidths();
    {
        ScaledFont font(dc, item.tableRatio);
        if (fit) {
            // Each cell wrapped at its column's width, its rows from the
            // cell's top.
            for (size_t c = 0; c < cells.size(); ++c) {
                const int32_t w = c < fit->columns.size() ? fit->columns[c] : 1;
                TextLayout::LayOutParagraph(*layout.draw, dc, w, 0, line.text, cells[c], data);
            }
        } else {
            TextLayout::LayOutParagraph(*layout.draw, dc, kNoWrapWidth, 0, line.text, line.text.All(), data);
        }
    }
    if (item.tableRatio >= 1) layout.draw->ForgetFontWidths();
    RawLayer::RawArrayC<int32_t>* widths = line.tableWidths ? line.tableWidths : &line.cellWidths;
    if (line.flags & DocLayer::LineFirst) {
        int32_t n = widths->Count();
        for (int32_t i = 0; i < n; ++i) widths->WritableElements()[i] = 0;
    }
    int32_t top = 0;
    int32_t tallest = 0;
    bool any = false;
    const std::vector<std::vector<int32_t>> runs = TextLayout::CollectCellRuns(data.parts, cells);
    for (size_t c = 0; c < cells.size(); ++c) {
        const std::vector<int32_t>& which = runs[c];
        if (which.empty()) continue;
        uint32_t letter = static_cast<int32_t>(c) < line.alignment.Length() ? line.alignment.UnitAt(static_cast<int32_t>(c)) : 'L';
        TextLayout::AlignRuns(data.parts, which, letter);
        RECT box = TextLayout::BoundingRect(data.parts, which);
        if (!any) top = box.top;
        any = true;
        for (int32_t index : which) OffsetRect(&data.parts[static_cast<size_t>(index)].rect, 0, top - box.top);
        tallest = std::max<int32_t>(tallest, box.bottom - box.top);
        int32_t index = static_cast<int32_t>(c);
        if (DocLayer::EnsureStepIndex(*widths, index)) {
            if (widths->Count() <= index) widths->SetSize(index + 1);
            int32_t* w = widths->WritableElements();
            int32_t cellWidth = box.right - box.left;
            // Blanks that end a wrapped row take no room of the column.
            if (fit && c < fit->columns.size()) cellWidth = std::min(cellWidth, fit->columns[c]);
            w[index] = std::max<int32_t>(w[index], cellWidth);
        }
    }
    if (!any) tallest = layout.textHeight;
    int32_t f = table.frameWidth.value;
    bool title = (line.flags & DocLayer::LineFirst) != 0;
    rect.bottom = rect.top + table.topMargin.value + table.bottomMargin.value + f + (title ? f : 0) + tallest;
    int64_t total = table.outerMargin.value + f;
    for (int32_t w : *widths) total += w + f + table.leftMargin.value + table.rightMargin.value;
    rect.right = std::max<LONG>(rect.right, rect.left + static_cast<LONG>(std::min<int64_t>(total, kNoWrapWidth)));
    item.cellsPlaced = false;
    line.rowState = 0;
    if (line.flags & DocLayer::LineLast) {
        // The columns are final: every row of the table may be placed.
        line.rowState = 1;
        JobLineUnit* p = line.owner ? line.owner->PreviousContentLine(line.chainLink) : nullptr;
        for (int32_t guard = 0; p && p->kind == DocLayer::KindTableRow && p->tableWidths == line.tableWidths &&
                                guard < 1000000;
             ++guard) {
            p->rowState = 1;
            if (p->flags & DocLayer::LineFirst) break;
            p = p->owner ? p->owner->PreviousContentLine(p->chainLink) : nullptr;
        }
    }
}

void LayOutDocument(GuiLayout& layout, HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line) {
    const DocumentStyle& style = *layout.style;
    item.text.Clear();
    item.pictureHeight = 0;
    ForgetNumberedLists(layout, line);
    int32_t s = QuoteShift(style, line);
    rect.left += s;
    switch (line.kind) {
    case DocLayer::KindParagraph: {
        const int32_t ratio = line.params.FindInt(DocLayer::ParamFontRatio);
        if (ratio >= 1) layout.draw->ForgetFontWidths();
        ScaledFont font(dc, ratio);
        LONG right = rect.right;
        WrapText(layout, dc, rect, item, line.text);
        if (ratio >= 1) layout.draw->ForgetFontWidths();
        line.usedExtent = rect.right - rect.left;
        rect.right = right;
        AddBlockSpacing(layout, rect, line, 0);
        break;
    }
    case DocLayer::KindHeading:
        LayOutHeading(layout, dc, rect, item, line);
        break;
    case DocLayer::KindRule:
        rect.bottom = rect.top + layout.textHeight + style.horizontalLine.overMargin.value +
                      style.horizontalLine.underMargin.value;
        break;
    case DocLayer::KindBullet:
    case DocLayer::KindNumbered: {
        int32_t indent = style.itemization.indents[LevelIndex(line.level)].value;
        item.numberColumnGrowth = 0;
        if (line.kind == DocLayer::KindNumbered) {
            RawString number = NumberText(line.number);
            line.usedExtent = TextLayout::FitText(*layout.draw, dc, number, 0, number.Length()).cx;
            // The whole list's numbers stand in one column: as wide as its
            // widest number with a gap on each side, so "10." keeps off its
            // text, and every item's text starts at the same place.
            RawString widest = NumberText(LastOrdinalOfList(layout, line));
            const int32_t w =
                std::max<int32_t>(line.usedExtent, TextLayout::FitText(*layout.draw, dc, widest, 0, widest.Length()).cx);
            const int32_t gap = std::max<int32_t>(2, layout.textHeight / 4);
            item.numberColumnGrowth = std::max<int32_t>(0, w + 2 * gap - style.itemization.markDistance.value);
            indent += item.numberColumnGrowth;
        }
        RECT r = rect;
        r.right -= indent;
        WrapText(layout, dc, r, item, line.text);
        rect.bottom = r.bottom;
        AddBlockSpacing(layout, rect, line, 0);
        break;
    }
    case DocLayer::KindIndentedCode:
    case DocLayer::KindFencedCode:
        LayOutCode(layout, dc, rect, item, line);
        break;
    case DocLayer::KindTableRow:
        LayOutTableRow(layout, dc, rect, item, line);
        break;
    case DocLayer::KindToc: {
        LONG right = rect.right;
        rect.right -= style.toc.indents[LevelIndex(line.level)].value + style.toc.linePageArea.value;
        if (rect.right > rect.left) {
            WrapText(layout, dc, rect, item, line.text);
            AddBlockSpacing(layout, rect, line, 0);
        } else {
            rect.bottom = rect.top;
        }
        rect.right = right;
        break;
    }
    default:
        rect.bottom = rect.top;
        break;
    }
    LoadImageFile(layout, dc, rect, item, line);
    rect.left -= s;
}

}  // namespace AppLayer

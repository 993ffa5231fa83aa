#include "quenby/app/paint_pass.h"

#include <algorithm>

#include "base/clipboard.h"
#include "quenby/app/pictures.h"

namespace AppLayer {

namespace {

// A solid line of a width and colour; the pen is deselected and deleted.
void SolidLine(HDC dc, int32_t x1, int32_t x2, int32_t y, int32_t width, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, std::max(1, width), colour);
    if (!pen) return;
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x1, y, nullptr);
    LineTo(dc, x2, y);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush) return;
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

// The picture stack's top: the item bottom less the stack.
int32_t ContentBottom(const RECT& rect, const GuiListBoxItemUnit& item) {
    return std::max<int32_t>(rect.top, rect.bottom - item.pictureHeight);
}

// A task item's box in the pass's own colours: the system's check box
// takes its fill from the window colour, which need not be the page's (a
// dark window colour would give dark boxes on a white page, and on paper).
// The frame and the check mark are drawn in the text colour, the inside in
// the page's background; both scale with the box, so a printer's box is no
// hairline.
void PaintCheckBox(HDC dc, const RECT& box, bool checked, COLORREF ink, COLORREF fill) {
    const int32_t side = std::min<int32_t>(box.right - box.left, box.bottom - box.top);
    if (side < 3) return;
    const int32_t edge = std::max<int32_t>(1, side / 13);
    FillSolid(dc, box, ink);
    const RECT inside{box.left + edge, box.top + edge, box.right - edge, box.bottom - edge};
    FillSolid(dc, inside, fill);
    if (!checked) return;
    const int32_t w = inside.right - inside.left, h = inside.bottom - inside.top;
    if (w < 3 || h < 3) return;
    // A tick: down from the left third to near the bottom, then up to the
    // top right, kept clear of the frame.
    const POINT tick[3] = {{inside.left + w * 2 / 10, inside.top + h * 5 / 10},
                           {inside.left + w * 4 / 10, inside.top + h * 7 / 10},
                           {inside.left + w * 8 / 10, inside.top + h * 25 / 100}};
    HPEN pen = CreatePen(PS_SOLID, std::max<int32_t>(1, side / 7), ink);
    if (!pen) return;
    HGDIOBJ old = SelectObject(dc, pen);
    Polyline(dc, tick, 3);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// Where a heading's parts stand in its text rectangle: the text band (the
// spaces count as percentages of the heading's text height t) and the
// rows of its over and under lines.
struct HeadingPlaces {
    RECT band;
    int32_t overlineY;
    int32_t underlineY;
};

HeadingPlaces PlaceHeading(const DocLayer::HeadlineLevelStyle& h, const RECT& text, int32_t t) {
    const int32_t overShare = (h.overSpace.value * t + 50) / 100;
    const int32_t underShare = (h.underSpace.value * t + 50) / 100;
    HeadingPlaces places{text, 0, 0};
    places.band.top += (h.overline.value >= 1 ? h.overline.value + h.overlineMargin.value : 0) + overShare;
    places.band.bottom -= (h.underline.value >= 1 ? h.underlineMargin.value + h.underline.value : 0) + underShare;
    places.overlineY = text.top + overShare + h.overline.value / 2;
    places.underlineY = places.band.bottom + h.underlineMargin.value + h.underline.value / 2;
    return places;
}

// The rows a line of SolidLine covers, with a row to spare either way.
void AddPenRows(int64_t& top, int64_t& bottom, int32_t y, int32_t width) {
    const int32_t w = std::max(1, width);
    top = std::min<int64_t>(top, static_cast<int64_t>(y) - w / 2 - 1);
    bottom = std::max<int64_t>(bottom, static_cast<int64_t>(y) + w - w / 2 + 1);
}

}  // namespace

void PaintDot(HDC dc, const RECT& rect, COLORREF colour) {
    WinLayer::WinShapePainter::Draw(dc, rect, colour, colour, 0);
}

COLORREF ItemFillColor(const GuiLayout& layout, const GuiListBoxItemUnit& item, COLORREF colour) {
    COLORREF base = layout.background;
    if ((item.flags & WinLayer::WinListBoxItemUnit::ItemSelected) && !(layout.boxState & GuiLayout::BoxPlain))
        base = (layout.boxState & GuiLayout::BoxFocus) ? kSelectedFocusColor : kSelectedColor;
    return RawLayer::BlendColor(colour, base, layout.plain, 50);
}

void FillItemBackground(const GuiLayout& layout, HDC dc, const RECT& rect, const GuiListBoxItemUnit& item,
                        COLORREF colour) {
    FillSolid(dc, rect, ItemFillColor(layout, item, colour));
}

void PaintQuoteBars(const GuiLayout& layout, HDC dc, const RECT& rect, const JobLineUnit& line) {
    const DocLayer::BlockquoteStyle& quote = layout.style->blockquote;
    for (int32_t i = 0; i < line.quoteDepth && i < 1000; ++i) {
        int32_t x = rect.left + quote.sideMargin.value * i;
        FillSolid(dc, RECT{x, rect.top, x + quote.barWidth.value, rect.bottom}, quote.barColor);
    }
}

void ApplyBlockSpacing(const GuiLayout& layout, RECT& rect, const JobLineUnit& line, int32_t extra) {
    const DocLayer::OverviewStyle& overview = layout.style->overview;
    if (line.flags & DocLayer::LineFirst) rect.top += overview.overParagraphMargin.value + extra;
    if (line.flags & DocLayer::LineLast) rect.bottom -= overview.underParagraphMargin.value + extra;
}

void DrawTextRuns(GuiLayout& layout, HDC dc, const RECT& textRect, const GuiListBoxItemUnit& item,
                  const RawString& text, COLORREF colour) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    GuiTextDraw& draw = *layout.draw;
    draw.Reset();
    POINT origin{textRect.left, textRect.top};
    item.textOffset = origin;
    // Only the runs that meet the area being painted are drawn (a long line
    // holds thousands); every mark is still read, since it sets the emphasis
    // of the runs after it.
    // The runs of a row are drawn together, those of one emphasis at a time.
    RECT clip{};
    const bool clipped = GetClipBox(dc, &clip) != ERROR;
    std::vector<std::pair<uint32_t, const WinTextPart*>> row, rest;
    std::vector<const WinTextPart*> same;
    auto drawRow = [&] {
        const uint32_t running = draw.state;
        while (!row.empty()) {
            const uint32_t state = row.front().first;
            same.clear();
            rest.clear();
            for (const auto& run : row) {
                if (run.first == state) same.push_back(run.second);
                else rest.push_back(run);
            }
            draw.state = state;
            draw.DrawRowRuns(dc, text, same, origin);
            row.swap(rest);
        }
        draw.state = running;
    };
    int32_t rowIndex = -1;
    for (const WinTextPart& part : item.text.parts) {
        if (part.row != rowIndex) {
            drawRow();
            rowIndex = part.row;
        }
        uint32_t c = part.start < text.Length() ? text.UnitAt(part.start) : 0;
        if (c == 0x1E || c == 0x1F) {
            draw.HandleMark(text, part.start);
            continue;
        }
        // Bold text is drawn twice, one pixel apart.
        if (clipped && (part.rect.bottom + origin.y <= clip.top || part.rect.top + origin.y >= clip.bottom ||
                        part.rect.right + origin.x + 1 <= clip.left || part.rect.left + origin.x >= clip.right))
            continue;
        row.emplace_back(draw.state, &part);
    }
    drawRow();
}

void DrawSingleText(GuiLayout& layout, HDC dc, const RECT& rect, const RawString& text, COLORREF colour) {
    SetBkMode(dc, TRANSPARENT);
    COLORREF old = SetTextColor(dc, colour);
    int32_t y = rect.top + layout.style->overview.overMargin.value;
    RECT clip{rect.left, y, std::max(rect.right, rect.left + kUnboundedWidth), y + kUnboundedWidth};
    layout.draw->DrawPlain(dc, text, 0, text.Length(), clip);
    SetTextColor(dc, old);
}

void PaintListMark(GuiLayout& layout, HDC dc, const RECT& column, int32_t top, const JobLineUnit& line,
                   COLORREF colour) {
    const DocumentStyle& style = *layout.style;
    int32_t th = layout.textHeight;
    RawString mark = line.params.Find(DocLayer::ParamTaskMark).text;
    bool task = !mark.IsEmpty();
    bool checked = mark.Length() == 1 && mark.UnitAt(0) == 'x';
    bool empty = mark.Length() == 1 && mark.UnitAt(0) == ' ';
    int32_t n = (checked || empty) ? (4 * th + 2) / 5 : (task ? th : style.itemization.markSize.value);
    int32_t bottom = top + style.overview.overMargin.value + th - (th - n) / 2;
    int32_t left = column.left + (column.right - column.left - n) / 2;
    RECT square{left, bottom - n, left + n, bottom};
    if (checked || empty) {
        square.right += 1;
        square.bottom += 1;
        PaintCheckBox(dc, square, checked, colour,
                      RawLayer::BlendColor(style.overview.backgroundColor, layout.background, layout.plain, 50));
    } else if (task) {
        SetBkMode(dc, TRANSPARENT);
        COLORREF old = SetTextColor(dc, colour);
        SIZE size = TextLayout::FitText(*layout.draw, dc, mark, 0, mark.Length());
        RECT at{square.left + (n - size.cx) / 2, square.top, square.right, square.top + size.cy};
        if (at.left < square.left) at.left = square.left;
        at.right = std::max(at.right, at.left + size.cx);
        layout.draw->DrawPlain(dc, mark, 0, mark.Length(), at);
        SetTextColor(dc, old);
    } else {
        PaintDot(dc, square, colour);
    }
}

RECT CodeFrameRect(const GuiLayout& layout, const RECT& rect, const GuiListBoxItemUnit& item, JobLineUnit& line) {
    const DocLayer::CodeBlockStyle& code = layout.style->codeBlock;
    const DocLayer::OverviewStyle& overview = layout.style->overview;
    DocLayer::JobBlockRecord* block = line.block.Get();
    int32_t widest = block ? block->widestWidth : rect.right - rect.left;
    RECT frame{rect.left + code.leftMargin.value, rect.top, rect.left + widest - code.rightMargin.value,
               ContentBottom(rect, item)};
    if (line.flags & DocLayer::LineFirst) frame.top += overview.overParagraphMargin.value;
    if (line.flags & DocLayer::LineLast) frame.bottom -= overview.underParagraphMargin.value;
    return frame;
}

void PaintCodeFrame(GuiLayout& layout, HDC dc, const RECT& rect, const GuiListBoxItemUnit& item,
                    JobLineUnit& line) {
    const DocLayer::CodeBlockStyle& code = layout.style->codeBlock;
    const RECT frame = CodeFrameRect(layout, rect, item, line);
    if (frame.right <= frame.left || frame.bottom <= frame.top) return;
    FillItemBackground(layout, dc, frame, item, code.innerColor);
    FillSolid(dc, RECT{frame.left, frame.top, frame.left + 1, frame.bottom}, code.frameColor);
    FillSolid(dc, RECT{frame.right - 1, frame.top, frame.right, frame.bottom}, code.frameColor);
    if (line.flags & DocLayer::LineFirst) FillSolid(dc, RECT{frame.left, frame.top, frame.right, frame.top + 1}, code.frameColor);
    if (line.flags & DocLayer::LineLast)
        FillSolid(dc, RECT{frame.left, frame.bottom - 1, frame.right, frame.bottom}, code.frameColor);
}

void PlaceTableCells(GuiLayout& layout, GuiListBoxItemUnit& item, const JobLineUnit& line) {
    const DocLayer::TableStyle& table = layout.style->table;
    const RawLayer::RawArrayC<int32_t>& widths = line.tableWidths ? *line.tableWidths : line.cellWidths;
    TextLayout::PlaceColumns(item.text.parts, TableCells(line.text), widths.Elements(), widths.Count(),
                             line.alignment, 0, table.outerMargin.value, table.frameWidth.value,
                             table.leftMargin.value, table.rightMargin.value);
    item.cellsPlaced = true;
}

void PaintTableGrid(GuiLayout& layout, HDC dc, const RECT& rect, const GuiListBoxItemUnit& item,
                    const JobLineUnit& line) {
    const DocLayer::TableStyle& table = layout.style->table;
    const RawLayer::RawArrayC<int32_t>& widths = line.tableWidths ? *line.tableWidths : line.cellWidths;
    int32_t f = table.frameWidth.value;
    bool title = (line.flags & DocLayer::LineFirst) != 0;
    int32_t bottom = ContentBottom(rect, item);
    int32_t x0 = rect.left + table.outerMargin.value;
    int32_t x = x0 + f;
    int32_t cellTop = rect.top + (title ? f : 0);
    // A wide table's cells beyond the painted area are passed over.
    RECT clip{};
    const bool clipped = GetClipBox(dc, &clip) != ERROR;
    auto meets = [&](LONG left, LONG right) { return !clipped || (right > clip.left && left < clip.right); };
    std::vector<int32_t> bars;
    for (int32_t w : widths) {
        int32_t cell = w + table.leftMargin.value + table.rightMargin.value;
        if (meets(x, x + cell))
            FillItemBackground(layout, dc, RECT{x, cellTop, x + cell, bottom - f}, item,
                               title ? table.titleColor : table.innerColor);
        x += cell;
        if (meets(x, x + f)) bars.push_back(x);
        x += f;
    }
    int32_t right = x;
    HBRUSH brush = CreateSolidBrush(table.frameColor);
    if (!brush) return;
    auto bar = [&](RECT r) {
        if (r.right > r.left && r.bottom > r.top) FillRect(dc, &r, brush);
    };
    if (title) bar(RECT{x0, rect.top, right, rect.top + f});
    bar(RECT{x0, bottom - f, right, bottom});
    bar(RECT{x0, rect.top, x0 + f, bottom});
    for (int32_t b : bars) bar(RECT{b, rect.top, b + f, bottom});
    DeleteObject(brush);
}

void PaintTableRow(GuiLayout& layout, HDC dc, const RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line,
                   COLORREF colour) {
    const DocLayer::TableStyle& table = layout.style->table;
    if (line.rowState == 1 && !item.cellsPlaced) PlaceTableCells(layout, item, line);
    FillItemBackground(layout, dc, rect, item, layout.plain);
    PaintTableGrid(layout, dc, rect, item, line);
    RECT text = rect;
    text.top += table.topMargin.value + ((line.flags & DocLayer::LineFirst) ? table.frameWidth.value : 0);
    // A table fitted into the page draws in the font its layout took.
    if (item.tableRatio >= 1) layout.draw->ForgetFontWidths();
    {
        ScaledFont font(dc, item.tableRatio);
        DrawTextRuns(layout, dc, text, item, line.text, colour);
    }
    if (item.tableRatio >= 1) layout.draw->ForgetFontWidths();
}

void PaintTocEntry(GuiLayout& layout, HDC dc, const RECT& rect, const GuiListBoxItemUnit& item,
                   const JobLineUnit& line, COLORREF colour) {
    const DocLayer::TocStyle& toc = layout.style->toc;
    int32_t h = layout.textHeight;
    RECT text = rect;
    text.left += toc.indents[LevelIndex(line.level)].value;
    text.right -= toc.linePageArea.value;
    text.bottom = ContentBottom(rect, item);
    ApplyBlockSpacing(layout, text, line, 0);
    RECT origin = text;
    origin.top += layout.style->overview.overMargin.value;
    DrawTextRuns(layout, dc, origin, item, line.text, colour);
    RECT box = TextLayout::BoundingRect(item.text.parts);
    OffsetRect(&box, origin.left, origin.top);
    RawString number(RawLayer::KindUtf8);
    number.AppendInt(line.number);
    SIZE size = TextLayout::FitText(*layout.draw, dc, number, 0, number.Length());
    RECT at{rect.right - size.cx, text.top, rect.right, text.bottom};
    DrawSingleText(layout, dc, at, number, colour);
    int32_t start = box.right + h / 3;
    int32_t end = at.left - h / 3;
    int32_t b = box.bottom;
    if (start < end && !item.text.parts.empty())
        SolidLine(dc, start, end, (b + (b - h)) / 2 + 1, toc.lineHeight.value, toc.lineColor);
}

void PaintPage(GuiLayout& layout, HDC dc, const RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line) {
    const DocumentStyle& style = *layout.style;
    const DocLayer::OverviewStyle& overview = style.overview;
    int32_t s = QuoteShift(style, line);
    FillItemBackground(layout, dc, rect, item, overview.backgroundColor);
    PaintQuoteBars(layout, dc, rect, line);
    RECT text = rect;
    text.left += s;
    text.bottom = ContentBottom(rect, item);
    COLORREF c = line.quoteDepth > 0 ? style.blockquote.textColor : overview.textColor;
    switch (line.kind) {
    case DocLayer::KindParagraph: {
        const int32_t ratio = line.params.FindInt(DocLayer::ParamFontRatio);
        if (ratio >= 1) layout.draw->ForgetFontWidths();
        ScaledFont font(dc, ratio);
        ApplyBlockSpacing(layout, text, line, 0);
        int32_t align = line.params.FindInt(DocLayer::ParamAlign);
        RECT origin = text;
        if (align == 4) origin.left = text.right - line.usedExtent;
        else if (align == 3) origin.left = text.left + (text.right - line.usedExtent - text.left) / 2;
        origin.top += overview.overMargin.value;
        DrawTextRuns(layout, dc, origin, item, line.text, c);
        if (ratio >= 1) layout.draw->ForgetFontWidths();
        break;
    }
    case DocLayer::KindHeading: {
        const DocLayer::HeadlineLevelStyle& h = style.headline.levels[LevelIndex(line.level)];
        const HeadingPlaces places = PlaceHeading(h, text, line.usedExtent);
        {
            SelectedFont font(dc, h.handle);
            RECT origin = places.band;
            origin.top += overview.overMargin.value;
            DrawTextRuns(layout, dc, origin, item, line.text, c);
        }
        if (h.overline.value > 0)
            SolidLine(dc, rect.left, rect.right, places.overlineY, h.overline.value, h.overlineColor);
        if (h.underline.value > 0)
            SolidLine(dc, rect.left, rect.right, places.underlineY, h.underline.value, h.underlineColor);
        break;
    }
    case DocLayer::KindRule:
        SolidLine(dc, text.left, text.right, (text.top + text.bottom) / 2, style.horizontalLine.lineHeight.value,
                  style.horizontalLine.lineColor);
        break;
    case DocLayer::KindBullet:
    case DocLayer::KindNumbered: {
        int32_t indent = style.itemization.indents[LevelIndex(line.level)].value;
        ApplyBlockSpacing(layout, text, line, 0);
        const LONG columnLeft = text.left + indent - style.itemization.markDistance.value;
        if (line.kind == DocLayer::KindNumbered) indent += item.numberColumnGrowth;
        RECT column{columnLeft, text.top, text.left + indent, text.bottom};
        if (line.flags & DocLayer::LineListItem) {
            if (line.kind == DocLayer::KindBullet) {
                PaintListMark(layout, dc, column, text.top, line, c);
            } else {
                RawString number = NumberText(line.number);
                RECT at = column;
                at.left = column.left + (column.right - column.left - line.usedExtent) / 2;
                DrawSingleText(layout, dc, at, number, c);
            }
        }
        RECT origin = text;
        origin.left += indent;
        origin.top += overview.overMargin.value;
        DrawTextRuns(layout, dc, origin, item, line.text, c);
        break;
    }
    case DocLayer::KindIndentedCode:
    case DocLayer::KindFencedCode: {
        const DocLayer::CodeBlockStyle& code = style.codeBlock;
        PaintCodeFrame(layout, dc, text, item, line);
        RECT inner = text;
        inner.left += code.leftMargin.value + code.innerLMargin.value;
        inner.right -= code.innerRMargin.value + code.rightMargin.value;
        ApplyBlockSpacing(layout, inner, line, code.innerTBMargin.value);
        inner.top += overview.overMargin.value;
        DrawTextRuns(layout, dc, inner, item, line.text, c);
        break;
    }
    case DocLayer::KindTableRow:
        PaintTableRow(layout, dc, text, item, line, c);
        break;
    case DocLayer::KindToc:
        PaintTocEntry(layout, dc, text, item, line, c);
        break;
    default:
        break;
    }
    ForEachPicture(layout, rect, item, line,
                   [&](const DocLayer::JobLinkDataUnit& entry, const RECT& at) { PaintPicture(layout, dc, at, entry); });
}

void ForEachPicture(const GuiLayout& layout, const RECT& rect, const GuiListBoxItemUnit& item, const JobLineUnit& line,
                    const std::function<void(const DocLayer::JobLinkDataUnit&, const RECT&)>& visit) {
    if (item.pictureHeight <= 0 || !layout.style) return;
    const DocumentStyle& style = *layout.style;
    RECT at = rect;
    at.left += QuoteShift(style, line);
    at.top = rect.bottom - item.pictureHeight + style.image.overMargin.value;
    int32_t guard = 0;
    for (const DocLayer::JobLinkDataUnit& entry : line.links) {
        if (++guard > 100000) break;
        if (entry.kind != DocLayer::LinkKindPicture) continue;
        visit(entry, at);
        at.top += entry.drawnSize.cy + style.image.interMargin.value;
    }
}

WinLayer::WinInkReach LineInkReach(const GuiLayout& layout, const RECT& rect, const GuiListBoxItemUnit& item,
                                   JobLineUnit& line) {
    WinLayer::WinInkReach reach;
    if (!layout.style) return reach;
    const DocumentStyle& style = *layout.style;
    const DocLayer::OverviewStyle& overview = style.overview;
    // The fills cover the rectangle; what is drawn at lengths from its
    // edges may pass them.
    int64_t top = rect.top, bottom = rect.bottom;
    auto add = [&](int64_t from, int64_t to) {
        top = std::min(top, from);
        bottom = std::max(bottom, to);
    };
    // Runs are drawn cut at their own rectangles.
    auto runs = [&](int64_t originTop) {
        for (const WinTextPart& part : item.text.parts) add(originTop + part.rect.top, originTop + part.rect.bottom);
    };
    const int32_t th = layout.textHeight;
    RECT text = rect;
    text.bottom = ContentBottom(rect, item);
    switch (line.kind) {
    case DocLayer::KindParagraph:
    case DocLayer::KindBullet:
    case DocLayer::KindNumbered: {
        ApplyBlockSpacing(layout, text, line, 0);
        const int64_t origin = static_cast<int64_t>(text.top) + overview.overMargin.value;
        runs(origin);
        // The list mark or number stands on the first row; a box grows by
        // a pixel.
        const int32_t mark = style.itemization.markSize.value;
        if (line.kind != DocLayer::KindParagraph && (line.flags & DocLayer::LineListItem))
            add(origin - std::max(0, mark - th), origin + std::max(th, mark) + 1);
        break;
    }
    case DocLayer::KindHeading: {
        const DocLayer::HeadlineLevelStyle& h = style.headline.levels[LevelIndex(line.level)];
        const HeadingPlaces places = PlaceHeading(h, text, line.usedExtent);
        runs(static_cast<int64_t>(places.band.top) + overview.overMargin.value);
        if (h.overline.value > 0) AddPenRows(top, bottom, places.overlineY, h.overline.value);
        if (h.underline.value > 0) AddPenRows(top, bottom, places.underlineY, h.underline.value);
        break;
    }
    case DocLayer::KindRule:
        AddPenRows(top, bottom, (text.top + text.bottom) / 2, style.horizontalLine.lineHeight.value);
        break;
    case DocLayer::KindIndentedCode:
    case DocLayer::KindFencedCode: {
        const RECT frame = CodeFrameRect(layout, text, item, line);
        if (frame.bottom > frame.top) add(frame.top, frame.bottom);
        RECT inner = text;
        ApplyBlockSpacing(layout, inner, line, style.codeBlock.innerTBMargin.value);
        runs(static_cast<int64_t>(inner.top) + overview.overMargin.value);
        break;
    }
    case DocLayer::KindTableRow: {
        const DocLayer::TableStyle& table = style.table;
        const bool title = (line.flags & DocLayer::LineFirst) != 0;
        runs(static_cast<int64_t>(text.top) + table.topMargin.value + (title ? table.frameWidth.value : 0));
        // The grid's bars are a frame width high from the rows' edges.
        const int32_t f = std::max(table.frameWidth.value, 0);
        const int64_t gridBottom = ContentBottom(text, item);
        add(gridBottom - f, gridBottom);
        if (title) add(text.top, static_cast<int64_t>(text.top) + f);
        break;
    }
    case DocLayer::KindToc: {
        RECT entry = text;
        entry.bottom = ContentBottom(text, item);
        ApplyBlockSpacing(layout, entry, line, 0);
        const int64_t origin = static_cast<int64_t>(entry.top) + overview.overMargin.value;
        runs(origin);
        add(origin, origin + th);
        // The leader runs along the last row's middle.
        RECT box = TextLayout::BoundingRect(item.text.parts);
        const int64_t b = origin + box.bottom;
        AddPenRows(top, bottom, static_cast<int32_t>((b + (b - th)) / 2 + 1), style.toc.lineHeight.value);
        break;
    }
    default:
        break;
    }
    if (item.pictureHeight > 0) {
        int64_t at = static_cast<int64_t>(rect.bottom) - item.pictureHeight + style.image.overMargin.value;
        int32_t guard = 0;
        for (const DocLayer::JobLinkDataUnit& entry : line.links) {
            if (++guard > 100000) break;
            if (entry.kind != DocLayer::LinkKindPicture) continue;
            // A picture that fails to load shows its alt text in a frame two
            // pixels larger.
            add(at - 2, at + entry.drawnSize.cy + 2);
            at += entry.drawnSize.cy + style.image.interMargin.value;
        }
    }
    const int64_t most = 0x3FFFFFFF;
    reach.above = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(rect.top - top, 0), most));
    reach.below = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(bottom - rect.bottom, 0), most));
    return reach;
}

}  // namespace AppLayer

#include "quenby/app/view_box.h"

#include <algorithm>
#include <limits>

#include "base/api_text.h"
#include "base/clipboard.h"
#include "base/language.h"
#include "base/profile.h"
#include "base/shell.h"
#include "quenby/app/command_codes.h"
#include "quenby/app/paint_pass.h"
#include "quenby/document/document_options.h"
#include "quenby/document/inline_parser.h"
#include "toolkit/environment.h"
#include "toolkit/info_dialog.h"

namespace AppLayer {

using WinLayer::WinDrawContext;
using WinLayer::WinListBoxItemUnit;

namespace {

RAW_CONSTANT_TEXT(TocText, "TOC")
RAW_CONSTANT_TEXT(ViewTextSectionText, "ViewText")
RAW_CONSTANT_TEXT(StartLinkQuestionKeyText, "StartLinkQuestion")
RAW_CONSTANT_TEXT(StartLinkQuestionText, "Open this link with its program ?")
RAW_CONSTANT_TEXT(QuenbyTitleText, "Quenby")
RAW_CONSTANT_TEXT(YesText, "Yes")
RAW_CONSTANT_TEXT(NoText, "No")

GuiListBoxItemUnit& ItemUnit(WinListBoxItemUnit& unit) { return static_cast<GuiListBoxItemUnit&>(unit); }

// a / b rounded to the nearest whole number (b > 0).
int64_t DivideRounded(int64_t a, int64_t b) { return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b); }
// a / b rounded down (b > 0).
int64_t FloorDivide(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// A local path: no scheme of two or more letters before a ':'.
bool IsLocalTarget(const RawString& target) {
    int32_t colon = target.FindChar(target.All(), ':');
    if (colon >= target.Length()) return true;
    if (colon < 2) return true;  // "C:" is a drive
    for (int32_t i = 0; i < colon; ++i) {
        uint32_t c = target.UnitAt(i);
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
                      c == '-' || c == '.';
        if (!letter) return true;
    }
    return false;
}

// The heading's visible text for the table-of-contents line: mark runs
// removed, line breaks made blanks.
RawString TocHeadingText(const RawString& text) {
    RawString visible = VisibleLineText(text);
    RawString out(visible.Kind());
    for (int32_t i = 0; i < visible.Length(); ++i) {
        uint32_t c = visible.UnitAt(i);
        if (c == '\r' && i + 1 < visible.Length() && visible.UnitAt(i + 1) == '\n') {
            out.AppendChar(' ');
            ++i;
        } else if (c == '\r' || c == '\n') {
            out.AppendChar(' ');
        } else {
            out.AppendChar(c);
        }
    }
    return out;
}

}  // namespace

RawString LinkExtension(const RawString& target) {
    int32_t name = 0;
    for (int32_t i = 0; i < target.Length(); ++i) {
        uint32_t c = target.UnitAt(i);
        if (c == '\\' || c == '/') name = i + 1;
    }
    int32_t dot = -1;
    for (int32_t i = name; i < target.Length(); ++i)
        if (target.UnitAt(i) == '.') dot = i;
    RawString extension(target.Kind());
    if (dot >= 0) extension.AssignRange(target, RawLayer::RawRange{dot + 1, target.Length()});
    return extension;
}

GuiViewBox::GuiViewBox() : layout(textDraw) {
    creater = this;
    layout.box = this;
    layout.pictures = &pictures;
}

GuiViewBox::~GuiViewBox() {
    // The items go with the list; the cache goes before GDI+ stops.
    pictures.Clear();
}

void GuiViewBox::FollowPageColour() {
    const DocumentStyle* style = CurrentStyle();
    if (style) background = style->overview.backgroundColor;
}

void GuiViewBox::PrepareLayout() {
    layout.style = CurrentStyle();
    layout.boxState = static_cast<uint16_t>(((mode & ModeFocus) ? GuiLayout::BoxFocus : 0) |
                                            ((mode & ModePlain) ? GuiLayout::BoxPlain : 0));
    FollowPageColour();
    layout.background = background;
    // The box's own background is the page's colour, so a line asking for
    // that colour gets the box's fill, whatever the system's window colour
    // is or becomes.
    layout.plain = background;
    layout.pictureLimit = 0;
    // Each layout fits its tables anew.
    layout.fitTables = PageMode();
    layout.tableFit = GuiLayout::TableFit{};
    layout.picturesOnWindow = PageMode() && logicalWidth > 0 && windowSize.cx > 0;
    if (PageMode() && layout.style) {
        const DocLayer::ImageStyle& image = layout.style->image;
        layout.pictureLimit = std::max<int32_t>(1, pageHeight - pageMargins.top - pageMargins.bottom -
                                                       image.overMargin.value - image.underMargin.value);
    }
}

// ---- measuring ----------------------------------------------------------------------

int32_t GuiViewBox::MeasureTextHeight(HDC dc, RECT& rect) {
    const DocumentStyle& s = *layout.style;
    SetTextAlign(dc, 0);
    textDraw.ForgetFontWidths();
    SIZE zero = TextLayout::MeasureZero(dc);
    layout.textHeight = zero.cy;
    rect.bottom = rect.top + s.overview.overMargin.value + s.overview.underMargin.value + zero.cy;
    rect.right = rect.left + zero.cx;
    textDraw.tabs.mode = 1;
    textDraw.tabs.count = s.overview.tabStop;
    textDraw.tabs.unit = zero.cx;
    textDraw.tabs.wrapGap = s.overview.wrapOverMargin.value;
    textDraw.breakMode = 2;
    return s.overview.tabStop;
}

void GuiViewBox::MeasureRow(WinDrawContext& dc, SIZE& size) {
    PrepareLayout();
    if (!layout.style) {
        MeasureSampleRow(dc, size);
        return;
    }
    if (layout.style->BaseFont().handle) dc.Select(layout.style->BaseFont().handle);
    MeasureSampleRow(dc, size);
    RECT row{0, 0, 0, 0};
    MeasureTextHeight(dc.dc, row);
}

void GuiViewBox::MeasureLine(HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line) {
    LayOutDocument(layout, dc, rect, item, line);
}

void GuiViewBox::MeasureItemOf(WinDrawContext& dc, RECT& size, int32_t index, WinListBoxItemUnit& unit,
                               JobLineUnit* line) {
    if (!line || !layout.style) {
        GuiLineListBox::MeasureItemOf(dc, size, index, unit, line);
        return;
    }
    const int32_t inset = PageMode() ? pageMargins.left + pageMargins.right : 0;
    const int32_t width = std::max<int32_t>(1, size.right - size.left - inset);
    RECT r{0, 0, width, 0};
    GuiListBoxItemUnit& item = ItemUnit(unit);
    MeasureLine(dc.dc, r, item, *line);
    size.bottom = size.top + std::max<LONG>(0, r.bottom - r.top);
    size.right = std::max<LONG>(size.right, size.left + r.right + inset);
}

void GuiViewBox::EndMeasure(WinDrawContext& dc, SIZE& content, int32_t count) {
    GuiLineBox::EndMeasure(dc, content, count);
    if (PageMode()) PaginatePages(content);
    // After the pagination, which moves rows and the lines they belong to.
    inkReach_ = WinLayer::WinInkReach{};
    if (!layout.style) return;
    for (WinListBoxItemUnit* unit : placed) {
        JobLineUnit* line = static_cast<JobLineUnit*>(unit->item);
        if (!line) continue;
        const WinLayer::WinInkReach reach = LineInkReach(layout, unit->rect, ItemUnit(*unit), *line);
        inkReach_.above = std::max(inkReach_.above, reach.above);
        inkReach_.below = std::max(inkReach_.below, reach.below);
    }
}

// ---- pages --------------------------------------------------------------------------

bool GuiViewBox::IsPageBreak(const WinListBoxItemUnit& unit) const {
    const JobLineUnit* line = static_cast<const JobLineUnit*>(unit.item);
    return line && IsPageBreak(*line);
}

void GuiViewBox::MarkPageStart(WinListBoxItemUnit& unit, bool start) {
    JobLineUnit* line = static_cast<JobLineUnit*>(unit.item);
    if (!line) return;
    if (!start) ItemUnit(unit).pagesOn = 0;
    if (start)
        line->flags |= DocLayer::LinePageStart;
    else
        line->flags &= static_cast<uint16_t>(~DocLayer::LinePageStart);
}

namespace {

// How far below a line's top its runs start, for the kinds whose rows may
// be cut between pages (text kinds); -1 for the others.
int32_t RunsTop(const DocumentStyle& s, const JobLineUnit& line) {
    if (line.kind != DocLayer::KindParagraph && line.kind != DocLayer::KindBullet &&
        line.kind != DocLayer::KindNumbered)
        return -1;
    const int32_t spacing = (line.flags & DocLayer::LineFirst) ? s.overview.overParagraphMargin.value : 0;
    return spacing + s.overview.overMargin.value;
}

}  // namespace

int32_t GuiViewBox::RowCut(const WinListBoxItemUnit& unit, int32_t room) const {
    const JobLineUnit* line = static_cast<const JobLineUnit*>(unit.item);
    if (!line || !layout.style) return 0;
    const GuiListBoxItemUnit& item = static_cast<const GuiListBoxItemUnit&>(unit);
    int32_t best = 0;
    // The picture stack starts below the text.
    const int32_t pictures = unit.rect.bottom - unit.rect.top - item.pictureHeight;
    if (item.pictureHeight > 0 && pictures <= room) best = pictures;
    const int32_t runs = RunsTop(*layout.style, *line);
    if (runs < 0) return best;
    for (const WinTextPart& part : item.text.parts) {
        const int64_t top = static_cast<int64_t>(runs) + part.rect.top;
        if (top > best && top <= room) best = static_cast<int32_t>(top);
    }
    return best;
}

void GuiViewBox::CutUnit(WinListBoxItemUnit& unit, int32_t at, int32_t by) {
    const JobLineUnit* line = static_cast<const JobLineUnit*>(unit.item);
    if (!line || !layout.style) return;
    GuiListBoxItemUnit& item = ItemUnit(unit);
    ++item.pagesOn;
    // The moved runs hold only for this pagination: the next layout
    // measures the line again.
    unit.flags &= ~WinListBoxItemUnit::ItemMeasured;
    const int32_t runs = RunsTop(*layout.style, *line);
    if (runs < 0) return;
    for (WinTextPart& part : item.text.parts)
        if (static_cast<int64_t>(runs) + part.rect.top >= at) OffsetRect(&part.rect, 0, by);
}

int32_t GuiViewBox::PageOf(const WinListBoxItemUnit& unit) const {
    if (pageHeight < 1 || unit.rect.top < 0) return 0;
    return std::min<int32_t>(unit.rect.top / pageHeight, std::max(pageCount - 1, 0));
}

void GuiViewBox::PaginatePages(SIZE& content) {
    WinPageGeometry geometry;
    geometry.pageHeight = pageHeight;
    geometry.margins = pageMargins;
    geometry.rectTop = pageRectTop;
    geometry.rectBottom = pageRectBottom;
    const int32_t n = WinPrintListBox::Paginate(items, *this, geometry, content);
    int32_t starts = 0;
    for (WinListBoxItemUnit& unit : items) {
        if (!unit.item) continue;
        if (static_cast<JobLineUnit*>(unit.item)->flags & DocLayer::LinePageStart) ++starts;
        starts += ItemUnit(unit).pagesOn;
    }
    if (n < 1) {
        pageCount = 0;
        return;
    }
    // A document whose lines have no height still has the page after its
    // last break: one record more than there are page starts.
    const int32_t records = starts + 1;
    if (records != pageCount || static_cast<int32_t>(pageHeaders.size()) != records) {
        pageHeaders.assign(static_cast<size_t>(records), WinPrintHeader());
        pageFooters.assign(static_cast<size_t>(records), WinPrintHeader());
    }
    pageCount = records;
    const DocumentStyle& s = *CurrentStyle();
    auto bandOf = [](const DocLayer::PrintBandStyle& band) {
        WinPrintHeader h;
        h.interMargin = band.interMargin.value;
        h.lineHeight = band.lineHeight.value;
        h.textHeight = band.textHeight.value;
        h.lineColor = band.lineColor;
        h.textColor = band.textColor;
        return h;
    };
    WinPrintHeader header = bandOf(s.printHeader), footer = bandOf(s.printFooter);
    auto takeTexts = [](WinPrintHeader& band, const JobLineUnit& line) {
        for (const DocLayer::JobParamUnit& p : line.params) {
            if (p.id == DocLayer::ParamLeft) band.left = p.text;
            if (p.id == DocLayer::ParamCenter) band.center = p.text;
            if (p.id == DocLayer::ParamRight) band.right = p.text;
        }
    };
    int32_t p = 1;
    size_t k = 0;
    for (WinListBoxItemUnit& unit : items) {
        JobLineUnit* line = static_cast<JobLineUnit*>(unit.item);
        if (!line) continue;
        if ((line->flags & DocLayer::LinePageStart) && k + 1 < pageHeaders.size()) {
            header.page = footer.page = p;
            pageHeaders[k] = header;
            pageFooters[k] = footer;
            ++k;
            ++p;
        }
        // The pages a tall line runs on over.
        for (int32_t on = 0; on < ItemUnit(unit).pagesOn && k + 1 < pageHeaders.size(); ++on) {
            header.page = footer.page = p;
            pageHeaders[k] = header;
            pageFooters[k] = footer;
            ++k;
            ++p;
        }
        if (line->kind == DocLayer::KindPrintPage) {
            p = DocLayer::ClampInt(line->params.FindInt(DocLayer::ParamPrintPage), -1000000, 1000000);
        } else if (line->kind == DocLayer::KindPrintHeader) {
            takeTexts(header, *line);
        } else if (line->kind == DocLayer::KindPrintFooter) {
            takeTexts(footer, *line);
        }
    }
    header.page = footer.page = p;
    pageHeaders[k] = header;
    pageFooters[k] = footer;
    for (size_t i = 0; i < pageHeaders.size(); ++i) pageHeaders[i].total = pageFooters[i].total = p;
    content.cy = std::max<LONG>(content.cy, static_cast<LONG>(std::min<int64_t>(
                                                 static_cast<int64_t>(records) * pageHeight, 0x3FFFFFFF)));
}

void GuiViewBox::PaintPageHeader(HDC dc, const RECT& area, const RECT& text, int32_t page, WinTextDraw& draw) {
    const DocumentStyle& s = *CurrentStyle();
    if (!(drawState & DrawPrinterPage)) {
        RECT band{area.left, area.top, area.right, area.top + s.overview.pageHeadHeight.value / 2};
        FillItemBackground(layout, dc, band, GuiListBoxItemUnit(), s.overview.pageHeadColor);
    }
    if (page < 0 || page >= static_cast<int32_t>(pageHeaders.size())) return;
    const WinPrintHeader& h = pageHeaders[static_cast<size_t>(page)];
    if (!h.HasText()) return;
    SelectedFont font(dc, s.printHeader.handle);
    RECT rule{text.left, area.bottom - h.lineHeight, text.right, area.bottom};
    RECT words{text.left, rule.top - h.interMargin - h.textHeight, text.right, rule.top - h.interMargin};
    h.Draw(dc, rule, words, draw);
}

void GuiViewBox::PaintPageFooter(HDC dc, const RECT& area, const RECT& text, int32_t page, WinTextDraw& draw) {
    const DocumentStyle& s = *CurrentStyle();
    if (!(drawState & DrawPrinterPage)) {
        RECT band{area.left, area.bottom - s.overview.pageHeadHeight.value / 2, area.right, area.bottom};
        FillItemBackground(layout, dc, band, GuiListBoxItemUnit(), s.overview.pageHeadColor);
    }
    if (page < 0 || page >= static_cast<int32_t>(pageFooters.size())) return;
    const WinPrintHeader& h = pageFooters[static_cast<size_t>(page)];
    if (!h.HasText()) return;
    SelectedFont font(dc, s.printFooter.handle);
    RECT rule{text.left, area.top, text.right, area.top + h.lineHeight};
    RECT words{text.left, rule.bottom + h.interMargin, text.right, rule.bottom + h.interMargin + h.textHeight};
    h.Draw(dc, rule, words, draw);
}

// ---- painting -------------------------------------------------------------------------

void GuiViewBox::SetPaintRect(WinDrawContext& dc, const RECT& rect, POINT origin) {
    GuiLineBox::SetPaintRect(dc, rect, origin);
    PrepareLayout();
    textDraw.ForgetFontWidths();
    // A page painted at the printer's size is shrunk onto the window.
    textDraw.reduction = 1;
    if (PageMode() && logicalWidth > 0 && windowSize.cx > 0)
        textDraw.reduction = std::max<int32_t>(1, (logicalWidth + windowSize.cx - 1) / windowSize.cx);
    if (layout.style && layout.style->BaseFont().handle) dc.Select(layout.style->BaseFont().handle);
}

uint64_t GuiViewBox::PictureStamp() const {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(CurrentStyle())) ^ (static_cast<uint64_t>(drawState) << 56);
}

void GuiViewBox::PaintLine(HDC dc, const RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line) {
    PaintPage(layout, dc, rect, item, line);
}

void GuiViewBox::DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit& unit,
                            JobLineUnit* line) {
    if (!line || !layout.style) {
        GuiLineListBox::DrawItemOf(dc, rect, index, unit, line);
        return;
    }
    GuiListBoxItemUnit& item = ItemUnit(unit);
    PaintLine(dc.dc, LineRect(rect), item, *line);
    item.textOffset.x -= rect.left;
    item.textOffset.y -= rect.top;
}

RECT GuiViewBox::LineRect(const RECT& rect) const {
    RECT r = rect;
    const int32_t inset = PageMode() ? pageMargins.left + pageMargins.right : 0;
    if (PageMode()) r.left += pageMargins.left;
    r.right = r.left + std::max<int32_t>(1, clientRect.right - clientRect.left - inset);
    return r;
}

void GuiViewBox::PaintPrintedPage(HDC dc, int32_t k) {
    const DocumentStyle* s = layout.style;
    if (!dc || !s || k < 0 || k >= pageCount || pageHeight < 1) return;
    const int saved = SaveDC(dc);
    SetTextAlign(dc, 0);
    SetBkMode(dc, TRANSPARENT);
    GuiTextDraw draw;
    draw.tabs = textDraw.tabs;
    draw.breakMode = textDraw.breakMode;
    GuiLayout pass(draw);
    pass.box = this;
    pass.style = s;
    pass.textHeight = layout.textHeight;
    pass.boxState = GuiLayout::BoxPlain;
    pass.background = RGB(0xFF, 0xFF, 0xFF);
    pass.plain = pass.background;
    // The job's own pictures: the view's cache belongs to the GUI thread,
    // which may paint meanwhile; a printed page's bitmaps go with the page.
    GuiPictureCache printed;
    pass.pictures = &printed;
    const uint16_t oldState = drawState;
    drawState |= DrawPrinterPage;
    SelectedFont font(dc, s->BaseFont().handle);
    const int64_t top = static_cast<int64_t>(k) * pageHeight;
    const int64_t bottom = top + pageHeight;
    // Every line that reaches into the page, a line taller than the page
    // too: each page shows its share, cut at the text band's edges.
    const int bandSaved = SaveDC(dc);
    IntersectClipRect(dc, 0, marginTop + pageMargins.top, 0x3FFFFFFF, marginTop + pageHeight - pageMargins.bottom);
    for (WinListBoxItemUnit& unit : items) {
        JobLineUnit* line = static_cast<JobLineUnit*>(unit.item);
        if (!line || !unit.Reachable() || unit.rect.bottom + inkReach_.below <= top ||
            unit.rect.top - inkReach_.above >= bottom)
            continue;
        RECT rect = unit.rect;
        OffsetRect(&rect, marginLeft, static_cast<int>(marginTop - top));
        PaintPage(pass, dc, LineRect(rect), ItemUnit(unit), *line);
    }
    RestoreDC(dc, bandSaved);
    const int32_t width = clientRect.right - clientRect.left + marginLeft + marginRight;
    const RECT head{0, 0, width, pageMargins.top};
    const RECT text{pageMargins.left, head.bottom, width - pageMargins.right, pageHeight - pageMargins.bottom};
    const RECT foot{0, text.bottom, width, pageHeight};
    PaintPageHeader(dc, head, text, k, draw);
    PaintPageFooter(dc, foot, text, k, draw);
    drawState = oldState;
    RestoreDC(dc, saved);
}

void GuiViewBox::PaintItems(WinDrawContext& dc, const RECT& rect, POINT origin) {
    GuiLineBox::PaintItems(dc, rect, origin);
    if (!PageMode() || pageHeight < 1 || pageCount < 1 || !layout.style) return;
    RECT clip{};
    GetClipBox(dc.dc, &clip);
    for (int32_t k = 0; k < pageCount; ++k) {
        const int32_t top = rect.top + k * pageHeight - origin.y;
        if (top > clip.bottom) break;
        if (top + pageHeight < clip.top) continue;
        // The bands go sideways with their page, as its lines do.
        const int32_t left = rect.left - origin.x, right = rect.right - origin.x;
        RECT head{left, top, right, top + pageMargins.top};
        RECT text{left + pageMargins.left, head.bottom, right - pageMargins.right,
                  top + pageHeight - pageMargins.bottom};
        RECT foot{left, text.bottom, right, top + pageHeight};
        PaintPageHeader(dc.dc, head, text, k, textDraw);
        PaintPageFooter(dc.dc, foot, text, k, textDraw);
    }
}

void GuiViewBox::DrawScaledOver(HDC target, const RECT& shown, SIZE size) {
    PrepareLayout();
    if (!PageMode() || !layout.picturesOnWindow || !layout.style || pageHeight < 1 || size.cx < 1 || size.cy < 1)
        return;
    const int64_t w = shown.right - shown.left, h = shown.bottom - shown.top;
    // Where the scaling puts a point of the page picture.
    auto onWindowX = [&](int64_t x) { return static_cast<LONG>(shown.left + DivideRounded(x * w, size.cx)); };
    auto onWindowY = [&](int64_t y) { return static_cast<LONG>(shown.top + DivideRounded(y * h, size.cy)); };
    const RECT area{marginLeft, marginTop + (FixedHeader() ? HeaderHeight() : 0), size.cx - marginRight,
                    size.cy - marginBottom};
    if (area.right <= area.left || area.bottom <= area.top) return;
    // The items' offset in the page picture, as PaintItems has it.
    const int32_t dx = area.left - scroll.x, dy = area.top - scroll.y;
    const int saved = SaveDC(target);
    IntersectClipRect(target, onWindowX(area.left), onWindowY(area.top), onWindowX(area.right),
                      onWindowY(area.bottom));
    const int64_t top = static_cast<int64_t>(scroll.y) - std::max(inkReach_.below, 0);
    const int64_t bottom = static_cast<int64_t>(scroll.y) + (area.bottom - area.top) + std::max(inkReach_.above, 0);
    auto drawUnit = [&](WinListBoxItemUnit& unit) {
        GuiListBoxItemUnit& item = ItemUnit(unit);
        JobLineUnit* line = static_cast<JobLineUnit*>(unit.item);
        if (!line || item.pictureHeight <= 0) return;
        RECT rect = unit.rect;
        OffsetRect(&rect, dx, dy);
        ForEachPicture(layout, LineRect(rect), item, *line, [&](const DocLayer::JobLinkDataUnit& entry, const RECT& at) {
            const RECT place = PictureRect(at, entry);
            // A picture stays inside its page's text band, as on paper.
            const int64_t k = FloorDivide(static_cast<int64_t>(place.top) - dy, pageHeight);
            const int64_t bandTop = k * pageHeight + pageMargins.top + dy;
            const int64_t bandBottom = (k + 1) * pageHeight - pageMargins.bottom + dy;
            const int band = SaveDC(target);
            IntersectClipRect(target, shown.left, onWindowY(bandTop), shown.right, onWindowY(bandBottom));
            const RECT onWindow{onWindowX(place.left), onWindowY(place.top), onWindowX(place.right),
                                onWindowY(place.bottom)};
            DrawPictureAt(layout, target, onWindow, entry);
            RestoreDC(target, band);
        });
    };
    if (PlacedCurrent()) {
        const int32_t count = static_cast<int32_t>(placed.size());
        for (int32_t at = PlacedAt(static_cast<int32_t>(std::max<int64_t>(top, std::numeric_limits<int32_t>::min()))); at < count; ++at) {
            WinListBoxItemUnit& unit = *placed[static_cast<size_t>(at)];
            if (unit.rect.top >= bottom) break;
            if (unit.rect.bottom > top) drawUnit(unit);
        }
    } else {
        for (WinListBoxItemUnit& unit : items)
            if (unit.Reachable() && unit.rect.bottom > top && unit.rect.top < bottom) drawUnit(unit);
    }
    RestoreDC(target, saved);
}

// ---- page view and font ---------------------------------------------------------------

void GuiViewBox::SetPageView(bool on) {
    // The reader's place, in the form it was laid out in.
    const int32_t top = PlaceToKeep();
    pageView_ = on;
    DocumentStyle* s = CurrentStyle();
    if (s) {
        if (on)
            s->flags |= DocumentStyle::FlagPageMode;
        else
            s->flags &= ~static_cast<uint32_t>(DocumentStyle::FlagPageMode);
        s->image.pageMode = on;
        s->UpdateMetrics();
    }
    const SIZE page = s ? s->printImage.imageSize : SIZE{0, 0};
    if (on && page.cx > 0 && page.cy > 0) {
        logicalWidth = page.cx;
        SetPageMode(page.cy, s->printImage.margin);
    } else {
        logicalWidth = 0;
        SetPageMode(0, RECT{});
        pageCount = 0;
    }
    if (Document()) Document()->ResetCellWidths();
    RefreshNoPaint();
    RestorePlace(top);
    if (window) InvalidateRect(window, nullptr, FALSE);
}

// ---- links -------------------------------------------------------------------------------

RawString GuiViewBox::LinkTargetAt(int32_t index, const POINT* point) {
    JobLineUnit* line = LineAt(index);
    WinListBoxItemUnit* unit = index >= 0 && index < Count() ? items.At(index) : nullptr;
    if (!line || !unit) return RawString();
    if (point) {
        GuiListBoxItemUnit& item = ItemUnit(*unit);
        const int32_t x = ToLogical(point->x) - marginLeft + scroll.x - unit->rect.left - item.textOffset.x;
        const int32_t y = ToLogical(point->y) - marginTop + scroll.y - unit->rect.top - item.textOffset.y;
        const RawString& text = line->text;
        int32_t serial = 0;
        for (const WinTextPart& part : item.text.parts) {
            uint32_t c = part.start < text.Length() ? text.UnitAt(part.start) : 0;
            if (c == DocLayer::MarkOpen) {
                uint32_t code = part.start + 1 < text.Length() ? text.UnitAt(part.start + 1) : 0;
                if (code == 'l') serial = DocLayer::ReadMarkSerial(text, part.start, nullptr);
                if (code == 'L') serial = 0;
                continue;
            }
            if (serial > 0 && x >= part.rect.left && x < part.rect.right && y >= part.rect.top &&
                y < part.rect.bottom) {
                const DocLayer::JobLinkDataUnit* link = line->links.FindSerial(serial);
                if (link) return link->target;
            }
        }
    }
    return DocLayer::FindMarkerPair(*line);
}

bool GuiViewBox::AskStartLink(const RawString& target) {
    RawString question = RawLayer::LanguageTextLookup(ViewTextSectionText(), StartLinkQuestionKeyText(),
                                                      StartLinkQuestionText());
    RawString text(RawLayer::KindUtf16, question);
    text.Append(RawLayer::LineBreakText());
    text.Append(RawString(RawLayer::KindUtf16, target));
    static const RawLayer::RawLabelUnit table[] = {RawLayer::RawLabelUnit(YesText(), 1),
                                                   RawLayer::RawLabelUnit(NoText(), 2),
                                                   RawLayer::RawLabelUnit(RawString(), 0)};
    WinLayer::WinInfoDialog dialog;
    RECT area{};
    WinLayer::WinView& top = owner ? static_cast<WinLayer::WinView&>(*owner) : static_cast<WinLayer::WinView&>(*this);
    if (top.window) GetWindowRect(top.window, &area);
    dialog.Setup(area, QuenbyTitleText(), text, table, WinLayer::WinInfoDialog::IconQuestion);
    dialog.buttonRow.currentIndex = 1;  // No is the default
    return dialog.RunModal(top) == 1;
}

RawString LinkFilePart(const RawString& target) {
    int32_t end = 0;
    while (end < target.Length() && target.UnitAt(end) != '#' && target.UnitAt(end) != '?') ++end;
    RawString file(target.Kind());
    file.AssignRange(target, RawLayer::RawRange{0, end});
    return file;
}

void GuiViewBox::FollowLink(const RawString& link) {
    if (link.IsEmpty()) return;
    if (DocLayer::IsWebLink(link)) {
        RawLayer::RawShell shell(link);
        shell.Execute(RawString(), RawString());
        shell.CloseProcess();
        return;
    }
    const bool local = IsLocalTarget(link);
    // A place in a local file ("other.md#intro", "page.md?x") opens the file;
    // a bare "#intro" names a place in this document and opens nothing.
    const RawString target = local ? LinkFilePart(link) : link;
    if (target.IsEmpty()) return;
    const RawString extension = LinkExtension(target);
    bool document = extension.IsEmpty();
    for (const RawString& known : DocLayer::JobOptions::Instance().extensions)
        if (RawString::EqualsNoCase(known, RawString(known.Kind(), extension))) document = true;
    if (local && document) {
        DocumentStyle* own = DocumentStyleOf();
        RawString current = own ? own->documentPath : RawString();
        if (DocLayer::JobOptions::Instance().QueueLinkedFile(target, current)) PostToOwner(CmdOpenPending);
        return;
    }
    // Nothing is started on a device's name.
    if (local && (RawLayer::IsDevicePath(target) || !RawLayer::PathExists(target))) return;
    if (!AskStartLink(target)) return;
    RawLayer::RawShell shell(target);
    shell.Execute(RawString(), RawString());
    shell.CloseProcess();
}

// ---- messages ------------------------------------------------------------------------------

LRESULT GuiViewBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
    case WM_DRAWITEM:
        // The area below the last line and around the pages is the page's
        // colour, as the lines' own bands are: never the system's window
        // colour (black below a white page under a dark scheme).
        FollowPageColour();
        break;
    case WM_LBUTTONDBLCLK: {
        const LRESULT answer = GuiLineBox::OnMessage(message, wParam, lParam);
        POINT point = WinLayer::PointFromLParam(lParam);
        const int32_t hit = HitTestPage(point);
        if (cursor >= 0 && cursor < Count() && hit == cursor) FollowLink(LinkTargetAt(cursor, &point));
        return answer;
    }
    case WM_SIZE: {
        const LRESULT answer = GuiLineBox::OnMessage(message, wParam, lParam);
        RefreshNoPaint();
        if (window) InvalidateRect(window, nullptr, FALSE);
        return answer;
    }
    case WM_KEYDOWN: {
        const bool ctrl = CtrlDown();
        switch (wParam) {
        case VK_RETURN:
            if (cursor >= 0 && cursor < Count()) FollowLink(LinkTargetAt(cursor, nullptr));
            return 0;
        case VK_LEFT:
            if (!ctrl) break;
            PostToOwner(CmdPreviousTab);
            return 0;
        case VK_RIGHT:
            if (!ctrl) break;
            PostToOwner(CmdNextTab);
            return 0;
        case 'W':
            if (!ctrl) break;
            PostToOwner(CmdCloseTab);
            return 0;
        case 'C':
            if (!ctrl) break;
            CopySelection();
            return 0;
        case 'D':
            if (!ctrl) break;
            SearchNext();
            return 0;
        case 'F':
            if (!ctrl) break;
            AskSearch();
            return 0;
        case 'S':
            if (!ctrl) break;
            SearchPrevious();
            return 0;
        default:
            break;
        }
        break;
    }
    case WM_MOUSEWHEEL:
        if (CtrlDown() || (LOWORD(wParam) & MK_CONTROL)) {
            const int32_t delta = static_cast<int16_t>(HIWORD(wParam));
            if (delta > 0) PostToOwner(CmdFontLarger);
            if (delta < 0) PostToOwner(CmdFontSmaller);
            return 1;
        }
        break;
    default:
        break;
    }
    return GuiLineBox::OnMessage(message, wParam, lParam);
}

// ---- clipboard and menu ------------------------------------------------------------------

void GuiViewBox::ClipTableOfContents() {
    const DocumentStyle* s = CurrentStyle();
    RawString text = RawString::ReserveAs(RawLayer::KindUtf8, 4096);
    int32_t starts = 0;
    for (WinListBoxItemUnit& unit : items) {
        const JobLineUnit* line = static_cast<const JobLineUnit*>(unit.item);
        if (!line) continue;
        if (line->flags & DocLayer::LinePageStart) ++starts;
        if (line->kind != DocLayer::KindHeading) continue;
        const int32_t at = PageMode() ? PageOf(unit) : starts;
        const int32_t page = at < static_cast<int32_t>(pageHeaders.size()) && PageMode()
                                 ? pageHeaders[static_cast<size_t>(at)].page
                                 : starts + 1;
        if (s) text.Append(RawString(text.Kind(), s->overview.enhancePrefix));
        text.Append(TocText());
        text.AppendChar(':');
        text.AppendInt(line->level);
        text.AppendChar(':');
        text.AppendInt(page);
        text.AppendChar(':');
        text.AppendChar('"');
        text.Append(RawString(text.Kind(), TocHeadingText(line->text)));
        text.AppendChar('"');
        if (s) text.Append(RawString(text.Kind(), s->overview.enhanceSuffix));
        text.Append(RawLayer::LineBreakText());
    }
    RawLayer::ClipboardSetText(text);
}

void GuiViewBox::BuildContextMenu(WinLayer::WinPopupMenu& menu) {
    const bool searchable = !searchText.IsEmpty();
    AddMenuItem(menu, "Copy", "Copy text to clipboard.", MenuCopy, CountSelection() > 0);
    menu.AppendSeparator();
    AddMenuItem(menu, "Search", "Search specified text.", MenuSearch, true);
    AddMenuItem(menu, "SearchPrev", "Search previous text.", MenuSearchPrevious, searchable);
    AddMenuItem(menu, "SearchNext", "Search next text.", MenuSearchNext, searchable);
    if (PageMode()) {
        menu.AppendSeparator();
        AddMenuItem(menu, "ClipTOC", "Copy TOC to clipboard.", MenuClipToc, true);
    }
}

}  // namespace AppLayer

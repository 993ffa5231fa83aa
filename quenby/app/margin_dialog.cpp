// The margin dialog of the page view and the print run.
#include "quenby/app/margin_dialog.h"

#include <algorithm>
#include <string>

#include "quenby/app/main_dialog.h"
#include "quenby/app/viewer_globals.h"
#include "toolkit/environment.h"
#include "toolkit/win_message.h"

namespace AppLayer {

namespace {

using RawLayer::RawString;
using WinLayer::WinView;

RAW_CONSTANT_TEXT(MarginDialogClassText, "Class_PrintMarginDialog")
RAW_CONSTANT_TEXT(MarginSectionText, "PrintMarginDialog")
RAW_CONSTANT_TEXT(MarginTitleKeyText, "MarginTitle")
RAW_CONSTANT_TEXT(BoxWidthFormKeyText, "BoxWidthForm")
RAW_CONSTANT_TEXT(PixelUnitKeyText, "PixelUnit")
RAW_CONSTANT_TEXT(MilliUnitKeyText, "MilliUnit")
RAW_CONSTANT_TEXT(FinishButtonKeyText, "FinishButton")
RAW_CONSTANT_TEXT(CancelButtonKeyText, "CancelButton")

const RawLayer::RawLocaleRecord MarginTexts[] = {
    {"PageWidth", "Page Width"},     {"PageHeight", "Page Height"},   {"LeftMargin", "Left Margin"},
    {"TopMargin", "Top Margin"},     {"RightMargin", "Right Margin"}, {"BottomMargin", "Bottom Margin"},
    {"BoxWidthForm", "000000"},      {"PixelUnit", "pixel"},          {"MilliUnit", "mm"},
    {"FinishButton", "Finish"},      {"CancelButton", "Cancel"},      {nullptr, nullptr},
};
// The row keys in row order.
const char* const kRowKeys[WinPrintMarginDialog::kRows] = {"PageWidth", "PageHeight", "LeftMargin",
                                                          "TopMargin", "RightMargin", "BottomMargin"};
constexpr uint32_t kDialogStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
constexpr uint32_t kFinishFace = 3;
constexpr uint32_t kCancelFace = 12;
constexpr int32_t kPreviewSize = 160;
constexpr int64_t kNumberLimit = int64_t{1} << 40;

RawString NumberText(int64_t value) { return RawString::FromText(std::to_string(value).c_str()); }

LONG Clamped(int64_t value) { return DocLayer::ClampInt(value, -0x3FFFFFFF, 0x3FFFFFFF); }

}  // namespace

bool WinMarginMath::Convert(int64_t value, int32_t from, int32_t to, int64_t& result) {
    if (from < 1 || to < 1) return false;
    // Typed values are clamped well inside 64 bits before the product.
    value = std::max<int64_t>(-(int64_t{1} << 40), std::min<int64_t>(value, int64_t{1} << 40));
    result = value * to / from;
    return true;
}

int32_t WinMarginMath::Check(const int64_t m[4], SIZE page) {
    for (int32_t i = 0; i < 4; ++i)
        if (m[i] < 0) return i;
    if (m[Left] + m[Right] >= static_cast<int64_t>(page.cx) - kLeastPage) return m[Left] < m[Right] ? Right : Left;
    if (m[Top] + m[Bottom] >= static_cast<int64_t>(page.cy) - kLeastPage) return m[Top] < m[Bottom] ? Bottom : Top;
    return Accepted;
}

RECT WinMarginMath::PageFrame(const RECT& area, SIZE page) {
    const int64_t aw = area.right - area.left, ah = area.bottom - area.top;
    if (page.cx < 1 || page.cy < 1 || aw < 1 || ah < 1) return area;
    int64_t w = aw, h = aw * page.cy / page.cx;
    if (h > ah) {
        h = ah;
        w = ah * page.cx / page.cy;
    }
    const LONG left = static_cast<LONG>(area.left + (aw - w) / 2);
    const LONG top = static_cast<LONG>(area.top + (ah - h) / 2);
    return RECT{left, top, static_cast<LONG>(left + w), static_cast<LONG>(top + h)};
}

RECT WinMarginMath::InnerFrame(const RECT& f, SIZE page, const int64_t m[4]) {
    if (page.cx < 1 || page.cy < 1) return f;
    const int64_t w = f.right - f.left, h = f.bottom - f.top;
    return RECT{Clamped(f.left + w * m[Left] / page.cx), Clamped(f.top + h * m[Top] / page.cy),
                Clamped(f.right - w * m[Right] / page.cx), Clamped(f.bottom - h * m[Bottom] / page.cy)};
}

// ---- the dialog ---------------------------------------------------------------------------

WinPrintMarginDialog::WinPrintMarginDialog() {
    className = MarginDialogClassText();
    largeIconId = 130;
    smallIconId = 131;
    pageFrame.Construct();
    pageFrame.style |= SS_BLACKFRAME;
    innerFrame.Construct();
    innerFrame.style |= SS_GRAYFRAME;
    for (Row& row : rows) {
        row.label.Construct();
        row.pixels.Construct();
        row.pixelUnit.Construct();
        row.millis.Construct();
        row.milliUnit.Construct();
    }
    finishButton.Construct();
    cancelButton.Construct();
}

int64_t WinPrintMarginDialog::ReadNumber(const RawString& text) {
    int32_t i = 0;
    const int32_t n = text.Length();
    while (i < n && (text.UnitAt(i) == ' ' || text.UnitAt(i) == '\t')) ++i;
    return DocLayer::ParseDecimal64(text, RawLayer::RawRange{i, n}, kNumberLimit);
}

void WinPrintMarginDialog::Build(WinView& owner, const RawString& title, SIZE pixels, SIZE millis,
                                 const RECT& pageMargins) {
    if (!title.IsEmpty()) text = title;
    style = kDialogStyle;
    exStyle = WS_EX_TOOLWINDOW;
    pagePixels = pixels;
    pageMillis = millis;
    margins = pageMargins;
    const RawString section = LookUpViewTextIn(MarginSectionText(), MarginTexts);
    const int32_t s = WinLayer::WinEnvironment::Instance().margin;
    const int64_t values[kRows] = {pixels.cx, pixels.cy, pageMargins.left, pageMargins.top, pageMargins.right,
                                   pageMargins.bottom};
    int32_t rowWidth = 0, rowHeight = 0, labelWidth = 0;
    for (int32_t r = 0; r < kRows; ++r) {
        Row& row = rows[r];
        const bool horizontal = r == RowPageWidth || r == RowLeft || r == RowRight;
        row.axisPixels = horizontal ? pixels.cx : pixels.cy;
        row.axisMillis = horizontal ? millis.cx : millis.cy;
        row.readOnly = r == RowPageWidth || r == RowPageHeight;
        for (WinView* v : {static_cast<WinView*>(&row.label), static_cast<WinView*>(&row.pixels),
                           static_cast<WinView*>(&row.pixelUnit), static_cast<WinView*>(&row.millis),
                           static_cast<WinView*>(&row.milliUnit)}) {
            v->parentStyle = this;
        }
        row.label.SetText(LookUpViewText(section, RawString::FromText(kRowKeys[r])));
        row.label.FitToContent();
        labelWidth = std::max(labelWidth, row.label.fittedWidth);
        row.pixelUnit.SetText(LookUpViewText(section, PixelUnitKeyText()));
        row.pixelUnit.FitToContent();
        row.milliUnit.SetText(LookUpViewText(section, MilliUnitKeyText()));
        row.milliUnit.FitToContent();
        row.pixels.SetText(LookUpViewText(section, BoxWidthFormKeyText()));
        row.pixels.FitToContent();
        row.millis.SetText(LookUpViewText(section, BoxWidthFormKeyText()));
        row.millis.FitToContent();
        int64_t mm = 0;
        const bool converts = WinMarginMath::Convert(values[r], row.axisPixels, row.axisMillis, mm);
        if (row.readOnly) mm = horizontal ? millis.cx : millis.cy;
        Write(row.pixels, NumberText(values[r]));
        Write(row.millis, (converts || row.readOnly) ? NumberText(mm) : RawString());
        if (row.readOnly || !converts) row.millis.options |= WinLayer::WinEditBox::OptionReadOnly;
        if (row.readOnly) row.pixels.options |= WinLayer::WinEditBox::OptionReadOnly;
        for (WinLayer::WinEditBox* box : {&row.pixels, &row.millis}) {
            if (box->options & WinLayer::WinEditBox::OptionReadOnly) box->backgroundColour = GetSysColor(COLOR_BTNFACE);
        }
        rowHeight = std::max({rowHeight, row.label.fittedHeight, row.pixels.fittedHeight});
    }
    const int32_t boxWidth = rows[0].pixels.fittedWidth;
    rowWidth = labelWidth + s + boxWidth + s + rows[0].pixelUnit.fittedWidth + s + boxWidth + s +
               std::max(rows[0].milliUnit.fittedWidth, 1);
    // Like a page: the top margin, then left, width and right, then the
    // height and the bottom margin, each a row of label and boxes.
    const POINT places[kRows] = {{1, 1}, {1, 2}, {0, 1}, {1, 0}, {2, 1}, {1, 3}};
    for (int32_t r = 0; r < kRows; ++r) {
        Row& row = rows[r];
        int32_t x = s + places[r].x * (rowWidth + 2 * s);
        const int32_t y = s + places[r].y * (rowHeight + s);
        auto place = [&](WinView& v, int32_t width) {
            v.rect = RECT{x, y, x + width, y + rowHeight};
            v.anchors = WinLayer::AnchorLeftToLeft | WinLayer::AnchorRightToLeft | WinLayer::AnchorTopToTop |
                        WinLayer::AnchorBottomToTop;
            x += width + s;
        };
        place(row.label, labelWidth);
        place(row.pixels, boxWidth);
        place(row.pixelUnit, row.pixelUnit.fittedWidth);
        place(row.millis, boxWidth);
        place(row.milliUnit, row.milliUnit.fittedWidth);
    }
    const int32_t width = s + 3 * (rowWidth + 2 * s) - s;
    const int32_t previewTop = s + 4 * (rowHeight + s);
    previewArea_ = RECT{s, previewTop, width - s, previewTop + kPreviewSize};
    finishButton.parentStyle = this;
    cancelButton.parentStyle = this;
    finishButton.SetCaption(LookUpViewText(section, FinishButtonKeyText()), kFinishFace, CodeFinish);
    cancelButton.SetCaption(LookUpViewText(section, CancelButtonKeyText()), kCancelFace, CodeCancel);
    finishButton.FitToContent();
    cancelButton.FitToContent();
    const int32_t buttonTop = previewArea_.bottom + s;
    const int32_t buttonHeight = std::max(finishButton.fittedHeight, cancelButton.fittedHeight);
    cancelButton.rect = RECT{width - s - cancelButton.fittedWidth, buttonTop, width - s, buttonTop + buttonHeight};
    finishButton.rect = RECT{cancelButton.rect.left - s - finishButton.fittedWidth, buttonTop,
                             cancelButton.rect.left - s, buttonTop + buttonHeight};
    for (WinView* b : {static_cast<WinView*>(&finishButton), static_cast<WinView*>(&cancelButton)}) {
        b->anchors = WinLayer::AnchorLeftToRight | WinLayer::AnchorRightToRight | WinLayer::AnchorTopToBottom |
                     WinLayer::AnchorBottomToBottom;
    }
    pageFrame.anchors = innerFrame.anchors = WinLayer::AnchorLeftToLeft | WinLayer::AnchorTopToTop;
    UpdatePreview();
    rect = RECT{0, 0, width, cancelButton.rect.bottom + s};
    anchor.minimum = rect;
    WindowRectFromClient();
    RECT area{};
    if (owner.window) GetWindowRect(owner.window, &area);
    PlaceOnWorkArea(area);
}

void WinPrintMarginDialog::CreateChildren() {
    for (WinView* v : {static_cast<WinView*>(&pageFrame), static_cast<WinView*>(&innerFrame)}) {
        v->Follow(&anchor.rect);
        CreateChild(*v);
    }
    for (Row& row : rows) {
        for (WinView* v : {static_cast<WinView*>(&row.label), static_cast<WinView*>(&row.pixels),
                           static_cast<WinView*>(&row.pixelUnit), static_cast<WinView*>(&row.millis),
                           static_cast<WinView*>(&row.milliUnit)}) {
            v->Follow(&anchor.rect);
            CreateChild(*v);
        }
    }
    for (WinView* b : {static_cast<WinView*>(&finishButton), static_cast<WinView*>(&cancelButton)}) {
        b->Follow(&anchor.rect);
        CreateChild(*b);
    }
}

void WinPrintMarginDialog::OnCreated() {
    WinDialog::OnCreated();
    if (rows[RowLeft].pixels.window) SetFocus(rows[RowLeft].pixels.window);
}

void WinPrintMarginDialog::OnLayout() {
    WinDialog::OnLayout();
    UpdatePreview();
}

void WinPrintMarginDialog::Write(WinLayer::WinEditBox& box, const RawString& value) {
    for (int32_t r = 0; r < kRows; ++r) {
        if (&box == &rows[r].pixels) written_[r][0] = value;
        if (&box == &rows[r].millis) written_[r][1] = value;
    }
    box.SetText(value);
    box.SyncDisplayText();
    if (box.window) InvalidateRect(box.window, nullptr, FALSE);
}

int64_t WinPrintMarginDialog::MarginOf(int32_t row) const { return ReadNumber(rows[row].pixels.GetText()); }

void WinPrintMarginDialog::UpdatePreview() {
    pageFrame.rect = WinMarginMath::PageFrame(previewArea_, pagePixels);
    const int64_t m[4] = {MarginOf(RowLeft), MarginOf(RowTop), MarginOf(RowRight), MarginOf(RowBottom)};
    innerFrame.rect = WinMarginMath::InnerFrame(pageFrame.rect, pagePixels, m);
    // A frame turned inside out by wild margins is shown empty.
    innerFrame.rect.right = std::max(innerFrame.rect.right, innerFrame.rect.left);
    innerFrame.rect.bottom = std::max(innerFrame.rect.bottom, innerFrame.rect.top);
    for (WinView* v : {static_cast<WinView*>(&pageFrame), static_cast<WinView*>(&innerFrame)}) {
        if (v->window) MoveWindow(v->window, v->rect.left, v->rect.top, v->Width(), v->Height(), FALSE);
    }
    if (window) InvalidateRect(window, &previewArea_, TRUE);
}

void WinPrintMarginDialog::Finish() {
    if (closing_) return;
    const int64_t m[4] = {MarginOf(RowLeft), MarginOf(RowTop), MarginOf(RowRight), MarginOf(RowBottom)};
    const int32_t refused = WinMarginMath::Check(m, pagePixels);
    if (refused != WinMarginMath::Accepted) {
        const int32_t row[4] = {RowLeft, RowTop, RowRight, RowBottom};
        WinLayer::WinEditBox& box = rows[row[refused]].pixels;
        if (box.window) SetFocus(box.window);
        return;
    }
    margins = RECT{static_cast<LONG>(m[0]), static_cast<LONG>(m[1]), static_cast<LONG>(m[2]),
                   static_cast<LONG>(m[3])};
    closing_ = true;
    result = 1;
    if (window) DestroyWindow(window);
}

LRESULT WinPrintMarginDialog::OnChildCommand(WinView* child, uint16_t code) {
    // The dialog's own codes; nothing goes on to the main window.
    switch (code) {
    case CodeFinish:
    case WinLayer::WinNotify::Activate:
        Finish();
        return 0;
    case CodeCancel:
    case WinLayer::WinNotify::Cancel:
        if (!closing_) {
            closing_ = true;
            result = 0;
            if (window) DestroyWindow(window);
        }
        return 0;
    case WinLayer::WinNotify::TextChanged:
        break;
    default:
        return 0;
    }
    for (int32_t r = 0; r < kRows; ++r) {
        Row& row = rows[r];
        if (row.readOnly) continue;
        const bool fromPixels = child == &row.pixels;
        if (!fromPixels && child != &row.millis) continue;
        WinLayer::WinEditBox& source = fromPixels ? row.pixels : row.millis;
        const RawString value = source.GetText();
        // The dialog's own write coming back: never converted again.
        if (value.Equals(written_[r][fromPixels ? 0 : 1])) return 0;
        written_[r][fromPixels ? 0 : 1] = value;
        int64_t other = 0;
        const bool converts = fromPixels
                                  ? WinMarginMath::Convert(ReadNumber(value), row.axisPixels, row.axisMillis, other)
                                  : WinMarginMath::Convert(ReadNumber(value), row.axisMillis, row.axisPixels, other);
        if (converts) Write(fromPixels ? row.millis : row.pixels, NumberText(other));
        UpdatePreview();
        return 0;
    }
    return 0;
}

// ---- the command ------------------------------------------------------------------------------

void RunMarginCommand(GuiMainDialog& dialog) {
    GuiMainItems& items = dialog.items;
    DocumentStyle* style = items.view.CurrentStyle();
    if (!style) return;
    DocLayer::PrintImageSettings& image = style->printImage;
    RawString title(CaptionPrefixText());
    title.Append(LookUpViewText(LookUpViewTextIn(ViewTextSection(), ViewTexts), MarginTitleKeyText()));
    WinPrintMarginDialog margins;
    margins.Build(dialog, title, image.imageSize, image.milliSize, image.margin);
    if (margins.RunModal(dialog) != 1) return;
    image.margin = margins.margins;
    DocLayer::CheckPrintImageSettings(image);
    DocLayer::SavePrintImageSettings(image);
    // The page view shows the new margins.
    ShowPageView(dialog);
}

void ShowPageView(GuiMainDialog& dialog) {
    GuiMainItems& items = dialog.items;
    items.page.checked = true;
    if (items.page.window) InvalidateRect(items.page.window, nullptr, FALSE);
    items.view.SetPageView(true);
    dialog.ShowPageButtons(true);
}

}  // namespace AppLayer

// The paint pass: draws one laid-out line record into its item rectangle,
// on the screen and on the printer: the background, the quote bars, the
// kind's decorations and text, and the line's pictures. Every pen, brush
// and font it makes is deselected and deleted before it returns.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "quenby/app/layout_pass.h"

namespace AppLayer {

// Selection fills while the box has the focus and without it.
constexpr COLORREF kSelectedFocusColor = 0xFFD0C0;
constexpr COLORREF kSelectedColor = 0xFFE3D8;

void PaintPage(GuiLayout& layout, HDC dc, const RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line);
// The line's picture entries, each with the rectangle PaintPage paints it
// in (the line's width from the picture's top), in stack order.
void ForEachPicture(const GuiLayout& layout, const RECT& rect, const GuiListBoxItemUnit& item, const JobLineUnit& line,
                    const std::function<void(const DocLayer::JobLinkDataUnit&, const RECT&)>& visit);
// How far PaintPage draws above and below a laid-out line's item rectangle:
// its runs, marks, lines, frames and pictures stand at lengths from the
// rectangle's edges, which a style may make negative or larger than the
// row (0 when everything stays inside).
WinLayer::WinInkReach LineInkReach(const GuiLayout& layout, const RECT& rect, const GuiListBoxItemUnit& item,
                                   JobLineUnit& line);
// The fill of a requested colour under the item's selection state.
COLORREF ItemFillColor(const GuiLayout& layout, const GuiListBoxItemUnit& item, COLORREF colour);
void FillItemBackground(const GuiLayout& layout, HDC dc, const RECT& rect, const GuiListBoxItemUnit& item,
                        COLORREF colour);
void PaintQuoteBars(const GuiLayout& layout, HDC dc, const RECT& rect, const JobLineUnit& line);
void ApplyBlockSpacing(const GuiLayout& layout, RECT& rect, const JobLineUnit& line, int32_t extra);
// Draws every laid-out run of the item with its origin at the rectangle's
// left and top; mark runs go to the mark handler.
void DrawTextRuns(GuiLayout& layout, HDC dc, const RECT& textRect, const GuiListBoxItemUnit& item,
                  const RawString& text, COLORREF colour);
// One unwrapped text at rect.left, rect.top + the row's over margin.
void DrawSingleText(GuiLayout& layout, HDC dc, const RECT& rect, const RawString& text, COLORREF colour);
void PaintListMark(GuiLayout& layout, HDC dc, const RECT& column, int32_t top, const JobLineUnit& line,
                   COLORREF colour);
// The frame of a code line in its text rectangle.
RECT CodeFrameRect(const GuiLayout& layout, const RECT& rect, const GuiListBoxItemUnit& item, JobLineUnit& line);
void PaintCodeFrame(GuiLayout& layout, HDC dc, const RECT& rect, const GuiListBoxItemUnit& item,
                    JobLineUnit& line);
void PaintTableRow(GuiLayout& layout, HDC dc, const RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line,
                   COLORREF colour);
void PlaceTableCells(GuiLayout& layout, GuiListBoxItemUnit& item, const JobLineUnit& line);
void PaintTableGrid(GuiLayout& layout, HDC dc, const RECT& rect, const GuiListBoxItemUnit& item,
                    const JobLineUnit& line);
void PaintTocEntry(GuiLayout& layout, HDC dc, const RECT& rect, const GuiListBoxItemUnit& item,
                   const JobLineUnit& line, COLORREF colour);
// A filled ellipse in the rectangle (list dots).
void PaintDot(HDC dc, const RECT& rect, COLORREF colour);

}  // namespace AppLayer

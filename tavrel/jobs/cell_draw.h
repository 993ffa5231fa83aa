// A text drawn into one cell of a row (a header title, a line number, a
// folder entry's column), as the text and folder kinds draw their columns.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"

namespace JobLayer {

// Draws a text inside the cell less its margin on both sides: single line,
// vertically centred, aligned by `align` (DT_LEFT, DT_RIGHT), tabs
// expanded, clipped to that area. Nothing for an empty text or area.
void DrawCellText(HDC dc, const RECT& cell, int32_t margin, const RawLayer::RawString& text, UINT align);

}  // namespace JobLayer

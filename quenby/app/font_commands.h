// The font commands of the main window on one style font (the print font
// in page view, else the text font): one step smaller or larger, back to the
// default, chosen in the system's font dialog, and saved.
#pragma once

#include <windows.h>

#include <cstdint>

#include "quenby/document/document_style.h"
#include "toolkit/view.h"

namespace AppLayer {

// The tallest font a step makes, in units of either sign: every step lays
// out the whole document again.
constexpr int32_t kMaxStepFontHeight = 1000;

// The height one step away (-1 smaller, +1 larger): a character height
// (negative) grows more negative for the larger step, a cell height
// (positive) grows. False, and `next` untouched, when the step would leave
// 6 to 1,000 units.
bool StepFontHeight(int32_t height, int32_t step, int32_t& next);
// Makes the new font first: only when that worked does the style font take
// the description and the handle (the old one deleted) and measure it.
// False leaves the font as it was.
bool ChangeStyleFont(DocLayer::StyleFont& font, const LOGFONTW& description);
// The system's font dialog over the owner, started from the style font;
// true with the chosen description when the user confirmed. A font kept in
// printer pixels names the printer's pixels per inch (0 for a screen font),
// so the dialog shows and sets the printed size.
bool ChooseStyleFont(WinLayer::WinView& owner, const DocLayer::StyleFont& font, LOGFONTW& chosen,
                     int32_t pixelsPerInch = 0);
// Writes the font's fourteen keys as its own section into its profile;
// false when the file was not rewritten.
bool SaveStyleFont(DocLayer::StyleFont& font);

}  // namespace AppLayer

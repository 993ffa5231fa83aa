// Font commands on a style font.
#include "quenby/app/font_commands.h"

#include "toolkit/font_parameter.h"
#include "toolkit/title_menu.h"

namespace AppLayer {

namespace {

// Below this many units a font is not made smaller.
constexpr int32_t kMinFontHeight = 6;

}  // namespace

bool StepFontHeight(int32_t height, int32_t step, int32_t& next) {
    const int32_t candidate = height < 0 ? height - step : height + step;
    const int32_t size = candidate < 0 ? -candidate : candidate;
    if (size < kMinFontHeight || size > kMaxStepFontHeight) return false;
    // A step never crosses zero: the sign tells the kind of height.
    if ((height < 0) != (candidate < 0)) return false;
    next = candidate;
    return true;
}

bool ChangeStyleFont(DocLayer::StyleFont& font, const LOGFONTW& description) {
    LOGFONTW wanted = font.description;
    WinLayer::WinFontParameter::CopyLogFont(wanted, description);
    const HFONT made = CreateFontIndirectW(&wanted);
    if (!made) return false;
    const HFONT old = font.handle;
    font.description = wanted;
    font.handle = made;
    if (old) DeleteObject(old);
    font.Measure();
    return true;
}

bool ChooseStyleFont(WinLayer::WinView& owner, const DocLayer::StyleFont& font, LOGFONTW& chosen,
                     int32_t pixelsPerInch) {
    WinLayer::WinFontParameter start;
    start.description = font.description;
    const RawLayer::RawParameterList keys = WinLayer::WinTMenuExecution::ChooseFont(owner, start, pixelsPerInch);
    if (keys.Count() == 0) return false;
    chosen = font.description;
    WinLayer::WinFontParameter::Read(chosen, keys);
    return true;
}

bool SaveStyleFont(DocLayer::StyleFont& font) {
    RawLayer::RawParameterList keys;
    WinLayer::WinFontParameter::Write(font.description, keys);
    return keys.WriteSection(font.profile, font.sectionName);
}

}  // namespace AppLayer

// Small window pieces only the help viewer has: default insets, a font
// scaled for the duration of a scope, an anti-aliased dot painter, a push
// button showing an icon and a grouping frame.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "toolkit/button.h"
#include "toolkit/view.h"

namespace AppLayer {

struct Insets {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// The default insets of the viewer library: 4 on each side, made on first
// use and kept for the process.
const Insets& DefaultInsets();
// The item insets of the viewer's line lists: 2 on each side, which the
// page view's line mode also returns to.
const Insets& ListItemInsets();

// While it lives, a font made from the description with its height scaled
// by ratio / 100 (truncated toward zero) is selected into the DC. The font
// it replaced is selected back and its own font deleted when it goes. A
// ratio below 1, or a font that cannot be made, changes nothing.
class ScaledFontSelection {
public:
    ScaledFontSelection(HDC dc, const LOGFONTW& description, int32_t ratioPercent);
    ~ScaledFontSelection();
    ScaledFontSelection(const ScaledFontSelection&) = delete;
    ScaledFontSelection& operator=(const ScaledFontSelection&) = delete;
    bool Active() const { return font_ != nullptr; }

private:
    HDC dc_;
    HFONT font_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace AppLayer

namespace WinLayer {

// Paints a filled ellipse (the list and tree dots) with smooth edges: drawn
// four times as large into an off-screen bitmap over a copy of the target
// area, then shrunk onto the DC by averaging. The DC keeps its pen, brush
// and stretch mode; without the bitmap, or on a DC that cannot be read back
// (a printer, a metafile), the ellipse is drawn directly.
struct WinShapePainter {
    static constexpr int32_t kScale = 4;
    static void Draw(HDC dc, const RECT& rect, COLORREF penColour, COLORREF brushColour, int32_t inset);
};

// A push button showing an icon centred on COLOR_3DFACE, painted through an
// off-screen bitmap of the button's size.
class WinIconButton : public WinButton {
public:
    WinIconButton() = default;
    ~WinIconButton() override;
    // Takes the icon; `owned` makes the button destroy it.
    void SetIcon(HICON newIcon, bool owned);
    // Loads an icon resource of the program at a size (LoadImageA) and owns it.
    bool LoadIconResource(uint16_t resourceId, int32_t size);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void FitToText(RECT& rect) override;
    // Paints the face into a DC over the rectangle.
    void PaintIcon(HDC target, const RECT& rect) const;

    HICON icon = nullptr;
    bool ownsIcon = false;
};

// A static frame that groups other controls.
class WinEnclosure : public WinView {
public:
    void Construct();
};

}  // namespace WinLayer

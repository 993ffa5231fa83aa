// Small window pieces only the help viewer has: default insets, a font
// scaled for the duration of a scope, an anti-aliased shape painter, a
// button face, a push button showing an icon, a grouping frame and a font
// record in LOGFONTW field order.
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

// Paints a filled shape with smooth edges: drawn four times as large into an
// off-screen bitmap over a copy of the target area, then shrunk onto the DC
// with HALFTONE stretching. Shape 1 is the plain ellipse (list and tree
// dots), shape 2 the check mark of a button face. The DC keeps its pen,
// brush and stretch mode; without the bitmap, or on a DC that cannot be
// read back (a printer, a metafile), the shape is drawn directly.
struct WinShapePainter {
    enum : int32_t { ShapeEllipse = 1, ShapeCheck = 2 };
    static constexpr int32_t kScale = 4;
    static void Draw(HDC dc, const RECT& rect, int32_t shape, COLORREF penColour, COLORREF brushColour,
                     int32_t inset);
};

// A button face: with any of the border bits 0xF0 an outer frame in the
// face's two colours and a grey one inside it, the face then moving in by 2
// pixels at each edge whose bit is set (0x10 left, 0x20 right, 0x40 top,
// 0x80 bottom); the face in its upper and lower colours with two 1-pixel
// frames one pixel apart; with the check bit a white mark 2 pixels in from
// the top-left corner.
struct WinButtonFace {
    struct Colours {
        COLORREF upper;
        COLORREF lower;
        COLORREF light;
        COLORREF dark;
    };
    static constexpr COLORREF kGrey = RGB(0x80, 0x80, 0x80);
    static constexpr COLORREF kMark = RGB(0xFF, 0xFF, 0xFF);
    static constexpr uint32_t kChecked = WinButtonDraw::FaceChecked;
    // The face rectangle inside `rect` for a state.
    static RECT FaceRect(const RECT& rect, uint32_t state);
    static void Draw(HDC dc, const RECT& rect, uint32_t state, const Colours& colours);
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

// A font in LOGFONTW field order; the face name keeps at most 31 units and
// its terminator, never ending inside a surrogate pair.
struct WinFontRecord {
    LONG height = 0;
    LONG width = 0;
    LONG escapement = 0;
    LONG orientation = 0;
    LONG weight = 0;
    BYTE italic = 0;
    BYTE underline = 0;
    BYTE strikeOut = 0;
    BYTE charSet = 0;
    BYTE outPrecision = 0;
    BYTE clipPrecision = 0;
    BYTE quality = 0;
    BYTE pitchAndFamily = 0;
    WCHAR faceName[LF_FACESIZE] = {};

    static WinFontRecord FromLogFont(const LOGFONTW& font);
    // The face name from a text of any length and kind.
    void SetFaceName(const RawLayer::RawString& name);
    LOGFONTW ToLogFont() const;
};

}  // namespace WinLayer

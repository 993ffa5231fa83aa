// The arithmetic of the margin dialog: pixel and millimetre conversions
// along one page axis, the check of the four margins before they are kept,
// and the preview frames. Every product is taken in 64 bits, so no margin a
// user types can overflow into an accepted value.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "quenby/app/viewer_pieces.h"
#include "toolkit/button.h"
#include "toolkit/dialog.h"
#include "toolkit/edit_box.h"
#include "toolkit/static_box.h"

namespace AppLayer {

struct WinMarginMath {
    // The least page left between two margins, in printer pixels.
    static constexpr int64_t kLeastPage = 100;
    enum : int32_t { Left = 0, Top = 1, Right = 2, Bottom = 3, Accepted = -1 };

    // value * to / from, truncated; false (nothing converted) when either
    // size is below 1.
    static bool Convert(int64_t value, int32_t from, int32_t to, int64_t& result);
    // Accepted when no margin is negative and each pair leaves more than
    // kLeastPage pixels of the page; else the margin whose box takes the
    // focus: a negative one, else the larger of the offending pair.
    static int32_t Check(const int64_t margins[4], SIZE page);
    // The page's aspect fitted and centred into the area.
    static RECT PageFrame(const RECT& area, SIZE page);
    // The part of the page frame inside the margins.
    static RECT InnerFrame(const RECT& frame, SIZE page, const int64_t margins[4]);
};

// The margin dialog: the page size and the four margins, each in pixels and
// in millimetres, arranged like a page, with a preview of the page and of
// the area inside the margins. Only the box the user edits drives its
// partner; a value the dialog writes is never converted back.
class WinPrintMarginDialog : public WinLayer::WinDialog {
public:
    enum : int32_t { RowPageWidth = 0, RowPageHeight, RowLeft, RowTop, RowRight, RowBottom, kRows };
    enum : uint16_t { CodeCancel = 0x1100, CodeFinish = 0x1101 };

    struct Row {
        WinLayer::WinStaticBox label;
        WinLayer::WinEditBox pixels;
        WinLayer::WinStaticBox pixelUnit;
        WinLayer::WinEditBox millis;
        WinLayer::WinStaticBox milliUnit;
        // The axis in pixels and millimetres (0: no conversion).
        int32_t axisPixels = 0;
        int32_t axisMillis = 0;
        bool readOnly = false;
    };

    WinPrintMarginDialog();

    // Lays the dialog out for a page (pixels, millimetres) and its margins.
    void Build(WinLayer::WinView& owner, const RawLayer::RawString& title, SIZE pagePixels, SIZE pageMillis,
               const RECT& pageMargins);

    void CreateChildren() override;
    void OnCreated() override;
    LRESULT OnChildCommand(WinLayer::WinView* child, uint16_t code) override;
    void OnLayout() override;

    // A box's value: decimal with an optional sign (0 when empty),
    // clamped far inside 64 bits.
    static int64_t ReadNumber(const RawLayer::RawString& text);
    // Ends the run with 1 and the margins kept when they pass the check,
    // else moves the focus to the offending box.
    void Finish();

    WinLayer::WinEnclosure pageFrame;
    WinLayer::WinEnclosure innerFrame;
    Row rows[kRows];
    WinLayer::WinButton finishButton;
    WinLayer::WinButton cancelButton;
    SIZE pagePixels{};
    SIZE pageMillis{};
    // The result in pixels.
    RECT margins{};

private:
    void Write(WinLayer::WinEditBox& box, const RawLayer::RawString& text);
    void UpdatePreview();
    int64_t MarginOf(int32_t row) const;

    RECT previewArea_{};
    // What the dialog itself last wrote into each box: a change
    // notification that finds it there is the dialog's own echo.
    RawLayer::RawString written_[kRows][2];
    bool closing_ = false;
};

}  // namespace AppLayer

// The table of contents beside the page view: the document's heading lines,
// each indented by its level (optionally behind a dot), laid out and painted
// by the viewer's passes. Its Ctrl keys and Ctrl + wheel reach the main
// window as commands, so searching from the tree searches the page view,
// and a heading's full text shows in a tip while the mouse rests on it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "quenby/app/layout_pass.h"
#include "quenby/app/line_box.h"
#include "quenby/app/text_draw.h"
#include "quenby/app/tree_tip.h"
#include "toolkit/enter_control.h"

namespace AppLayer {

class GuiTreeBox : public GuiLineBox, public WinLayer::WinListBoxItemCreater {
public:
    // The mouse-enter part. A hook of its own: a view and a hook both have
    // an OnMessage of the same form, so one class cannot be both.
    class EnterPart : public WinLayer::WinEnterControl {
    public:
        explicit EnterPart(GuiTreeBox& tree) : WinEnterControl(tree, HOVER_DEFAULT, true), box(tree) {}
        void OnMouseLeave(WPARAM keys, POINT point) override { box.OnMouseLeave(keys, point); }
        bool OnMouseHover(WPARAM keys, POINT point) override { return box.OnMouseHover(keys, point); }
        bool OnHoverMove(WPARAM keys, POINT point) override { return box.OnHoverMove(keys, point); }
        GuiTreeBox& box;
    };

    GuiTreeBox();
    ~GuiTreeBox() override;

    // Only headings get a row.
    bool Shows(const JobLineUnit& line) const override;
    WinLayer::WinListBoxItemUnit* Make() override;

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroying() override;
    void MeasureItemOf(WinLayer::WinDrawContext& dc, RECT& size, int32_t index, WinLayer::WinListBoxItemUnit& unit,
                       JobLineUnit* line) override;
    void DrawItemOf(WinLayer::WinDrawContext& dc, const RECT& rect, int32_t index, WinLayer::WinListBoxItemUnit& unit,
                    JobLineUnit* line) override;
    // Each measuring and painting pass measures the font anew: a font
    // changed in place may keep its handle.
    void BeginMeasure(WinLayer::WinDrawContext& dc, int32_t count) override;
    void SetPaintRect(WinLayer::WinDrawContext& dc, const RECT& rect, POINT origin) override;
    // A heading's text stands its row's margins from the row's edges: a
    // negative one puts it past them.
    WinLayer::WinInkReach InkReach() const override {
        return WinLayer::WinInkReach{std::max(0, -overMargin_), std::max(0, -underMargin_)};
    }

    // Headings only: the text unwrapped, the right edge grown by the indent
    // columns; every other line is zero high.
    void MeasureLine(HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line);
    // The background, the dot of a level with dot marks, and the runs.
    void PaintLine(HDC dc, const RECT& rect, GuiListBoxItemUnit& item, const JobLineUnit& line);
    // Indent columns before a heading's text.
    static int32_t TextColumn(int32_t level, bool dots);

    // ---- headings by line ------------------------------------------------------------
    // The last heading with a row at or before a line (the view's cursor);
    // -1 when there is none. Found by bisection in the heading index, so a
    // cursor step under a heading far above costs the same as one near it.
    int32_t HeadingAtOrBefore(int32_t line);
    void ItemsRebuilt() override;
    // Index entries the last HeadingAtOrBefore looked at.
    int32_t headingSteps = 0;

    // ---- the tip ------------------------------------------------------------------
    void OnMouseLeave(WPARAM keys, POINT point);
    bool OnMouseHover(WPARAM keys, POINT point);
    bool OnHoverMove(WPARAM keys, POINT point);
    // Ends a shown tip (the document changes, the main window is
    // deactivated, the tree goes).
    void CloseTip() { tipPart.CloseTip(); }

    EnterPart enter;
    GuiTextDraw textDraw;
    GuiLayout layout;
    GuiTreeTip tipPart;
    // Dot marks before the headings ("WithTreeDotMark").
    bool dots = false;

private:
    // The layout state for the current document and font.
    void PrepareLayout(HDC dc);
    // The box's background becomes the current style's page background.
    void FollowPageColour();
    void ArmTracking();
    // Rebuilds the heading index from the items.
    void IndexHeadings();
    struct Heading {
        int32_t index;
        WinLayer::WinListBoxItemUnit* unit;
    };
    // Every shown item in item order, and the item count it was built for.
    std::vector<Heading> headings_;
    int32_t indexedCount_ = 0;
    HFONT preparedFont_ = nullptr;
    const DocumentStyle* preparedStyle_ = nullptr;
    // The row margins at the screen font's height.
    int32_t overMargin_ = 0;
    int32_t underMargin_ = 0;
};

}  // namespace AppLayer

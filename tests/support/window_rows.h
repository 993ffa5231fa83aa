// The row host of the row tests: a plain window that paints a text or
// binary job's rows (a binary job with its title row above them, where a
// click opens the side menu) through the units' Draw on WM_PAINT, turns a left click into
// the character under it (CharIndexAtX) and the caret there, typed
// characters (WM_CHAR) into command 26 and a few keys into their commands,
// and carries an input-method control whose slots 0, 1 and 2 run commands
// 23, 24 and 25, as the folder box does.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "support/row_paint.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "toolkit/dialog.h"
#include "toolkit/ime_control.h"

namespace TestSupport {

// Whether two colours differ by at most `tolerance` in each channel.
inline bool NearColor(COLORREF a, COLORREF b, int tolerance) {
    auto within = [tolerance](int x, int y) { return x - y <= tolerance && y - x <= tolerance; };
    return within(GetRValue(a), GetRValue(b)) && within(GetGValue(a), GetGValue(b)) && within(GetBValue(a), GetBValue(b));
}
// A constant-opacity blend of a colour over another, as AlphaBlend makes it.
inline COLORREF BlendColor(COLORREF over, COLORREF under, int opacity) {
    auto mix = [opacity](int a, int b) { return (a * opacity + b * (255 - opacity)) / 255; };
    return RGB(mix(GetRValue(over), GetRValue(under)), mix(GetGValue(over), GetGValue(under)),
               mix(GetBValue(over), GetBValue(under)));
}

class RowHost;

// The editor of the host: changes repaint the window.
class RowHostEditor : public JobLayer::JobViewEditor {
public:
    explicit RowHostEditor(RowHost& host) : host_(host) {}
    int32_t CountSelectedRows() override { return 0; }
    int32_t RestoreSelection() override { return 0; }
    void ResetFilter() override {}
    void RefreshViews() override;
    void UpdateCaret() override;
    bool MoveToContentRow() override { return true; }
    void RepaintViews() override {}
    void RefreshFolderBox() override {}
    void Alert() override { ++alerts; }
    bool RunInputDialog(JobLayer::ActionArgs&) override { return false; }
    WinLayer::WinListBox* FolderBox() override { return nullptr; }
    int alerts = 0;

private:
    RowHost& host_;
};

// The host's input-method control: the record goes into the focus side's
// composition record, then the command runs.
class RowHostIme : public WinLayer::WinImeControl {
public:
    explicit RowHostIme(RowHost& host);
    void OnStartComposition() override;
    void OnEndComposition() override;
    void OnComposition(const WinLayer::WinImeComposition& record) override;

    // The commands the slots ran, with their results.
    std::vector<std::pair<uint32_t, bool>> commands;

private:
    RowHost& host_;
};

class RowHost : public WinLayer::WinDialog {
public:
    // A window of the rectangle (screen coordinates) showing the job's rows
    // in the default GUI font.
    RowHost(JobLayer::JobGroupUnit* job, RECT windowRect);
    ~RowHost() override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCreated() override;

    // A created host, its rows painted (without the caret) once the
    // window's first messages are through.
    static std::unique_ptr<RowHost> Shown(JobLayer::JobGroupUnit* job, RECT windowRect);
    // Paints the window now and lays the rows out again.
    void Repaint();
    // Runs a command on the focus side.
    bool Execute(uint32_t command);
    // The drawing context of a row on a side, for hit tests (its device
    // context is null).
    JobLayer::JobDrawContext Context(uint32_t side, int32_t row) const;
    // The geometry, laid out on a DC of the window's.
    void Layout();
    // Paints the rows into a device context of the client's size.
    void PaintInto(HDC dc);
    // The row height, margin and rows' area for the font in the context.
    void SetGeometry(HDC dc);

    JobLayer::JobGroupUnit* job;
    uint32_t focus = 0;          // the side that takes clicks, keys and the input method
    bool showCaret = true;
    RowGeometry geometry;
    HFONT font;
    RowHostEditor editor;
    RowHostIme ime;
    JobLayer::ActionArgs args;
    int paints = 0;
    int menuResult = -1;  // what the side menu of the last title click gave

private:
    wchar_t pendingHigh_ = 0;  // a high surrogate waiting for its low one
};

}  // namespace TestSupport

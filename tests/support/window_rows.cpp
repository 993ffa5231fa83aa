// The row host of the text-row tests.
#include "support/window_rows.h"

#include <string>

#include "support/window_support.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/cursor.h"
#include "toolkit/draw.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/win_message.h"

namespace TestSupport {

using JobLayer::JobSideRecord;
using RawLayer::RawString;

void RowHostEditor::RefreshViews() {
    if (host_.window) InvalidateRect(host_.window, nullptr, FALSE);
}

void RowHostEditor::UpdateCaret() {
    if (host_.window) InvalidateRect(host_.window, nullptr, FALSE);
}

RowHostIme::RowHostIme(RowHost& host) : WinImeControl(host), host_(host) {}

void RowHostIme::OnStartComposition() {
    commands.push_back({JobLayer::CommandImeCompositionStart, host_.Execute(JobLayer::CommandImeCompositionStart)});
}

void RowHostIme::OnEndComposition() {
    commands.push_back({JobLayer::CommandImeCompositionEnd, host_.Execute(JobLayer::CommandImeCompositionEnd)});
}

void RowHostIme::OnComposition(const WinLayer::WinImeComposition& record) {
    JobSideRecord& side = host_.job->Side(host_.focus);
    side.compositionContents = record.contents;
    WinImeControl::CopyComposition(side.composition[0], record.main);
    WinImeControl::CopyComposition(side.composition[1], record.reading);
    commands.push_back({JobLayer::CommandImeCompositionUpdate, host_.Execute(JobLayer::CommandImeCompositionUpdate)});
}

RowHost::RowHost(JobLayer::JobGroupUnit* shownJob, RECT windowRect)
    : job(shownJob),
      // Binary rows are read in a fixed-pitch font.
      font(static_cast<HFONT>(GetStockObject(shownJob->kind.kind == JobLayer::KindBinary ? ANSI_FIXED_FONT
                                                                                        : DEFAULT_GUI_FONT))),
      editor(*this),
      ime(*this) {
    className = RawString::FromText("TavrelRowHost");
    text = RawString::FromText("Rows");
    style = WS_OVERLAPPEDWINDOW;
    rect = windowRect;
}

RowHost::~RowHost() { ime.Release(); }

void RowHost::OnCreated() {
    WinDialog::OnCreated();
    ime.Attach();
    job->side1.focusSide = job->side2.focusSide = focus;
}

std::unique_ptr<RowHost> RowHost::Shown(JobLayer::JobGroupUnit* shownJob, RECT windowRect) {
    std::unique_ptr<RowHost> host(new RowHost(shownJob, windowRect));
    host->showCaret = false;
    host->Create();
    PumpUntilIdle();
    host->Repaint();
    return host;
}

void RowHost::Repaint() {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    Layout();
}

bool RowHost::Execute(uint32_t command) {
    bool done = job->controller->Execute(editor, *job, focus, command, args);
    if (window) InvalidateRect(window, nullptr, FALSE);
    return done;
}

JobLayer::JobDrawContext RowHost::Context(uint32_t side, int32_t row) const {
    return RowContext(*job, side, row, nullptr, geometry);
}

void RowHost::SetGeometry(HDC dc) {
    RECT client = {0, 0, 0, 0};
    if (window) GetClientRect(window, &client);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    geometry.rowHeight = metrics.tmHeight + 2;
    geometry.margin = JobLayer::KindMargin(job->kind.kind);
    // A binary job shows its column titles (and the encoding text) above
    // the rows.
    if (job->kind.kind == JobLayer::KindBinary) client.top += geometry.rowHeight;
    geometry.client = client;
}

void RowHost::Layout() {
    WinLayer::GdiWindowDC dc(window);
    HGDIOBJ old = SelectObject(dc.Get(), font);
    SetGeometry(dc.Get());
    LayoutRows(*job, dc.Get(), geometry);
    SelectObject(dc.Get(), old);
}

void RowHost::PaintInto(HDC dc) {
    HGDIOBJ old = SelectObject(dc, font);
    SetGeometry(dc);
    if (geometry.client.top > 0) {
        RECT title = {geometry.client.left, 0, geometry.client.right, geometry.client.top};
        FillRect(dc, &title, GetSysColorBrush(COLOR_BTNFACE));
    }
    job->side1.focusSide = job->side2.focusSide = focus;
    PaintRows(*job, dc, geometry);
    const JobSideRecord& side = job->Side(focus);
    if (showCaret && side.cursorRow >= 0 && side.cursorRow < job->rows.Count()) {
        JobLayer::JobContentUnit* unit = job->rows.At(side.cursorRow)->Unit(focus);
        RECT caret = unit->CaretRect(RowContext(*job, focus, side.cursorRow, dc, geometry), side.cursorColumn);
        PatBlt(dc, caret.left, caret.top + 1, 2, caret.bottom - caret.top - 2, BLACKNESS);
    }
    SelectObject(dc, old);
}

LRESULT RowHost::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // The input method first: a click during a composition completes it
    // and still reaches the rows.
    LRESULT answer = ime.HandleMessage(message, wParam, lParam);
    if (answer != WinLayer::kNotHandled) return answer;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        // Painted off screen, then shown at once, as the folder box does.
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        WinLayer::WinMemoryDC memory;
        if (memory.Begin(dc, client)) {
            PaintInto(memory.dc);
            memory.CopyBack();
        }
        memory.End();
        EndPaint(window, &paint);
        ++paints;
        return 0;
    }
    case WM_LBUTTONDOWN: {
        POINT point = WinLayer::PointFromLParam(lParam);
        Layout();
        focus = geometry.SideAtX(point.x);
        job->side1.focusSide = job->side2.focusSide = focus;
        if (point.y < geometry.client.top) {
            // The title row: the side's menu.
            menuResult = job->controller->SideMenu(*job, focus, window, point) ? 1 : 0;
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        }
        const int32_t row = geometry.RowAtY(point.y);
        // A click ends a half-typed byte.
        if (job->kind.kind == JobLayer::KindBinary) JobLayer::BinaryPendingHalfByte(job->Side(focus)) = 0;
        if (row >= 0 && row < job->rows.Count()) {
            JobLayer::JobContentUnit* unit = job->rows.At(row)->Unit(focus);
            if (!unit->IsPlaceholder()) {
                JobSideRecord& side = job->Side(focus);
                side.cursorRow = side.anchorRow = row;
                side.cursorColumn = side.anchorColumn = unit->CharIndexAtX(Context(focus, row), point.x);
                side.preferredX = -1;
            }
        }
        SetFocus(window);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    }
    case WM_CHAR: {
        const wchar_t unit = static_cast<wchar_t>(wParam);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            pendingHigh_ = unit;
            return 0;
        }
        std::wstring typed;
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (pendingHigh_) typed = {pendingHigh_, unit};
        } else if (unit >= 32) {
            typed = {unit};
        }
        pendingHigh_ = 0;
        if (!typed.empty()) {
            args.operands[0] = RawString::FromWideText(typed.c_str(), static_cast<int32_t>(typed.size()));
            Execute(JobLayer::CommandInsertTypedText);
        }
        return 0;
    }
    case WM_KEYDOWN: {
        uint32_t command = 0;
        switch (wParam) {
        case VK_BACK: command = JobLayer::CommandBackspace; break;
        case VK_DELETE: command = JobLayer::CommandDeleteCharOrSelections; break;
        case VK_RETURN: command = JobLayer::CommandInsertNewLine; break;
        case VK_TAB:
            command = (GetKeyState(VK_SHIFT) & 0x8000) ? JobLayer::CommandRemoveLineTabs : JobLayer::CommandInsertLineTabs;
            break;
        case VK_LEFT:
        case VK_RIGHT: {
            JobLayer::JobCursor cursor(*job, focus);
            if (wParam == VK_LEFT ? cursor.MoveLeft() : cursor.MoveRight()) {
                cursor.StoreToSide();
                JobSideRecord& side = job->Side(focus);
                side.anchorRow = side.cursorRow;
                side.anchorColumn = side.cursorColumn;
                InvalidateRect(window, nullptr, FALSE);
            }
            return 0;
        }
        default: break;
        }
        if (command == 0) break;
        Execute(command);
        return 0;
    }
    default:
        break;
    }
    return WinDialog::OnMessage(message, wParam, lParam);
}

}  // namespace TestSupport

// The edit box: the toolkit's own text editor on a plane box, single-line
// or multi-line, with caret, selection, undo and redo, clipboard, a context
// menu, dropped file names and input-method composition.
//
// The edited text is a UTF-16 copy of the view text: SetText on the view
// loads it (the box notices the new text revision), and every edit writes
// the view text back. Indices count UTF-16 units; a CR LF pair and a
// surrogate pair are each one character that the caret never splits.
//
// Editing is in edit_box.cpp, line layout, painting, the caret and the
// input method in edit_box_draw.cpp.
#pragma once

#include <windows.h>
#include <imm.h>
#include <shellapi.h>

#include <cstdint>
#include <vector>

#include "base/raw_list.h"
#include "base/raw_string.h"
#include "toolkit/plane_box.h"
#include "toolkit/shaped_text.h"

namespace WinLayer {

class WinEditBox;

// One edit: at `start`, `replaced` gave way to `inserted`. A typed record
// takes the characters typed right after it while they stay one word or
// one run of the same kind.
struct WinEditBoxUndoUnit {
    int32_t start = 0;
    RawLayer::RawString replaced{RawLayer::KindUtf16};
    RawLayer::RawString inserted{RawLayer::KindUtf16};
    bool typed = false;
};

class WinEditBoxUndoListAllocator : public RawLayer::RawListDeleteAllocator<WinEditBoxUndoUnit> {};
class WinEditBoxUndoList : public RawLayer::RawListR<WinEditBoxUndoListAllocator, WinEditBoxUndoUnit> {};

// Turns clipboard text into the text pasted into a single-line box.
class WinEditBoxPasteFilter {
public:
    virtual ~WinEditBoxPasteFilter() = default;
    virtual RawLayer::RawString Filter(const RawLayer::RawString& text) = 0;
};

// The layout of the display text: per-unit widths and lines.
class WinEditBoxInfo {
public:
    struct Line {
        int32_t first = 0;
        // Before the line break.
        int32_t end = 0;
        int32_t width = 0;
    };

    // Paints the lines of a box; a box class may install its own.
    class Drawer {
    public:
        virtual ~Drawer() = default;
        virtual void Begin(WinDrawContext& dc, const RECT& rect, UINT format, const RawLayer::RawString& text,
                           int tabStop) = 0;
        virtual void DrawLine(WinDrawContext& dc, const RECT& rect, UINT format, const RawLayer::RawString& text,
                              const Line& line, int tabStop) = 0;
        virtual void End(WinDrawContext& dc, const RECT& rect) = 0;
    };

    std::vector<int32_t> widths;
    // Where each unit's glyphs stand (see WinShapedText); empty while the
    // text holds nothing that the platform shapes.
    std::vector<WinShapedPlace> places;
    std::vector<Line> lines;
    int32_t tabWidth = 1;
    RECT caretRect{};
};

// The box's own line painter and its layout steps.
class WinEditBoxDraw : public WinEditBoxInfo, public WinEditBoxInfo::Drawer {
public:
    void Begin(WinDrawContext& dc, const RECT& rect, UINT format, const RawLayer::RawString& text,
               int tabStop) override;
    void DrawLine(WinDrawContext& dc, const RECT& rect, UINT format, const RawLayer::RawString& text,
                  const Line& line, int tabStop) override;
    void End(WinDrawContext& dc, const RECT& rect) override;

    void AppendLine(int32_t first, int32_t end, int32_t width);
    // Breaks the display text into lines: at CR, LF and CR LF in a
    // multi-line box, and before the character that would make a line wider
    // than the wrap width (a line always keeps its first character).
    // Characters are those of the edit text, as for IndexAtX.
    void BreakLines(const RawLayer::RawString& display, const RawLayer::RawString& text, bool multiLine,
                    int32_t wrapWidth);
    // The index on line n nearest to x: a character is passed once x reaches
    // two thirds of its width. Characters are those of the edit text (its
    // surrogate pairs and CR LF are never split, even where the display
    // shows each unit on its own).
    int32_t IndexAtX(const RawLayer::RawString& text, int32_t line, int32_t x) const;
    // The line that holds an index.
    int32_t LineOf(int32_t index) const;
    // Pixel x of the caret before an index within its line (where text
    // the platform shapes stands otherwise than laid out: the leading edge
    // of the index's character).
    int32_t XOf(int32_t index) const;
    // The glyphs of the units [from, to) of the line that holds `from`, as
    // stretches left to right, x within the line.
    void CellsOf(int32_t from, int32_t to, std::vector<WinCell>& cells) const;
    // Whether a line holds text the platform shapes; if so, the laid-out x
    // of its units from its start (one more than its units).
    bool ShapedLine(const Line& line, std::vector<int32_t>& x) const;
};

// The edit state.
struct WinEditBoxBasic {
    enum : uint16_t {
        OptionMultiLine = 0x1,
        OptionReadOnly = 0x2,
        OptionPassword = 0x4,
        // Tab moves the focus; a tab is shown as a mark.
        OptionTabNotText = 0x8,
        OptionMenuCancel = 0x10,
        OptionAlert = 0x20,
        OptionNoCaret = 0x40,
        OptionImeAttached = 0x100,
        OptionImeOpen = 0x200,
        // Single-line: Down notifies 0x1003, Up does nothing.
        OptionDownNotifies = 0x400,
        // The left button went down on the box and is held.
        OptionDragging = 0x800,
    };
    static constexpr int32_t kMarks = 1024;
    // Undo records kept; the oldest go first.
    static constexpr int32_t kUndoLimit = 1000;
    static constexpr UINT kTimerId = 600;
    static constexpr UINT kBlinkMs = 600;

    uint16_t options = 0;
    // The view text revision last copied or written.
    uint32_t viewRevision = 0;
    bool everSynced = false;
    RawLayer::RawString edit{RawLayer::KindUtf16};
    RawLayer::RawString display{RawLayer::KindUtf16};
    int32_t compositionStart = 0;
    int32_t compositionEnd = 0;
    uint8_t marks[kMarks] = {};
    RawLayer::RawString lastComposition{RawLayer::KindUtf16};
    // The selection a composition replaced, given back when it is cancelled.
    RawLayer::RawString compositionReplaced{RawLayer::KindUtf16};
    bool composing = false;
    WinEditBoxUndoList undo;
    int32_t undoPosition = 0;
    int32_t caret = 0;
    int32_t anchor = 0;
    int32_t rememberedX = -1;
    int32_t tabStop = 4;
    COLORREF textColour = CLR_INVALID;
    COLORREF backgroundColour = GetSysColor(COLOR_WINDOW);
    int32_t lineHeight = 0;
    int32_t lineGap = 0;
    // 0: the content area width.
    int32_t wrapWidth = 0;
    uint32_t editRevision = 0;
    // A high surrogate typed and waiting for its low half.
    wchar_t pendingHigh = 0;
    WinEditBoxPasteFilter* pasteFilter = nullptr;
    WinEditBoxInfo::Drawer* drawer = nullptr;
    HIMC ime = nullptr;
};

class WinEditBox : public WinPlaneBox, public WinEditBoxBasic {
public:
    static constexpr COLORREF kSelection = RGB(0xC0, 0xD0, 0xFF);
    static constexpr COLORREF kFrameFocus = RGB(0xA0, 0xC0, 0xFF);
    static constexpr COLORREF kFrameAlert = RGB(0xFF, 0x40, 0x40);
    static constexpr COLORREF kFrameImeOpen = RGB(0x80, 0xFF, 0x80);
    static constexpr wchar_t kControlMark = 0x25A0;

    WinEditBox() = default;
    ~WinEditBox() override;

    // Makes the view an edit box: a plane that fills its own margins, no
    // vertical scroll bar.
    void Construct();
    // Destroys the input method context.
    void DestroyBase();
    // Associates the box's input context with its window again while IME
    // input is on (after something else took the window's context).
    void ReattachIme();
    // Forgets undo, composition, caret, anchor and scroll.
    void Reset();

    // ---- text and selection --------------------------------------------------------
    int32_t Length() const { return edit.Length(); }
    const RawLayer::RawString& EditText() const { return edit; }
    void SetSelection(int32_t newAnchor, int32_t newCaret);
    // False when the index lies outside the text.
    bool MoveCaret(int32_t index, bool extend);
    int32_t NextCharIndex(int32_t index) const;
    int32_t PrevCharIndex(int32_t index) const;
    RawLayer::RawRange Selection() const;
    void ReplaceRange(RawLayer::RawRange range, const RawLayer::RawString& text);
    void DeleteRange(RawLayer::RawRange range);
    void PushUndo(RawLayer::RawRange range, const RawLayer::RawString& text);
    // Replaces the whole text as one edit that Undo takes back, keeping the
    // history before it; the caret goes to the end and the change is
    // notified (0x1006).
    void ReplaceAllWithUndo(const RawLayer::RawString& text);
    // Replaces the selection by one character (one or two units).
    void InsertChar(uint32_t character);
    // The selection onto the clipboard; nothing in a password box.
    void CopySelection();
    void PasteText();
    void Undo();
    void Redo();
    void SelectWordAt(int32_t index);
    void CaretToPoint(POINT point, bool newAnchor);
    void ScrollCaretIntoView();

    // ---- display (edit_box_draw.cpp) --------------------------------------------------
    // Takes a new view text in when its revision changed.
    void SyncDisplayText();
    void MakeDisplayText();
    void UpdateLineMetrics();
    void MeasureContent(WinDrawContext& dc, const RECT& area, SIZE& size) override;
    void PaintContent(WinDrawContext& dc, const RECT& whole, const RECT& inner, POINT offset) override;
    // Marks ranges under the text; nothing by default.
    virtual void PaintUnderText(WinDrawContext& dc, const RECT& inner, POINT offset);
    // The caret rectangle of an index in client coordinates.
    RECT CaretRect(int32_t index, int32_t width) const;
    // The input method's messages; kNotHandled for the rest.
    LRESULT HandleImeMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // ---- messages ----------------------------------------------------------------------
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnMenuCommand(WPARAM command, LPARAM value) override;
    void OnCreated() override;
    void OnDestroying() override;
    virtual void ShowContextMenu(POINT point);
    void FitToText(RECT& rect) override;

    WinEditBoxDraw drawPart;

private:
    bool IsReadOnly() const { return (options & OptionReadOnly) != 0; }
    bool IsMultiLine() const { return (options & OptionMultiLine) != 0; }
    // Replaces without undo; the caret goes after the new text.
    void ReplaceText(RawLayer::RawRange range, const RawLayer::RawString& text);
    void PushUndoRecord(int32_t start, const RawLayer::RawString& replaced, const RawLayer::RawString& inserted,
                        bool typed = false);
    void EditRange(RawLayer::RawRange range, const RawLayer::RawString& text);
    void OnCharUnit(wchar_t unit);
    bool OnKey(WPARAM key);
    void MoveVertically(int32_t direction, bool extend);
    void OnDropFiles(HDROP drop);
    void OnMouseMove(POINT point, WPARAM keys);
    void EndDrag();
    void BlinkCaret();
    // Composition steps of the input method.
    void ReadComposition(LPARAM flags);
    void ReadMarks(LPARAM flags, int32_t length);
    LRESULT Reconvert(RECONVERTSTRING* buffer);
    void CompleteComposition();
    void EndComposition();
};

}  // namespace WinLayer

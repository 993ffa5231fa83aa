// The input-method control of owner-drawn views: it follows the input
// method's composition on the view's window, reads the composition and
// result strings with their clauses and attributes into a record in the
// view's text encoding, tells the input method where the caret is and which
// font to use, completes a running composition when the user clicks or the
// view loses the focus, and can offer text for reconversion. A view class
// derives its own control and overrides the notification slots.
#pragma once

#include <windows.h>
#include <imm.h>

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"
#include "toolkit/view.h"

namespace WinLayer {

// A clause of an attributed text: unit indexes [start, end) of its string.
struct WinImeClause {
    int32_t start;
    int32_t end;
};

// A string with its clauses and its attribute bytes (one per UTF-16 unit,
// as the input method gives them).
struct AttributedText {
    // Construct: an empty string, no clauses, no attributes.
    AttributedText() = default;

    RawLayer::RawString text;
    RawLayer::RawArrayC<WinImeClause> clauses;
    RawLayer::RawArrayC<uint8_t> attributes;
};
// Empties an attributed text.
void ClearAttributedText(AttributedText& text);

// What the control read at the last WM_IME_COMPOSITION.
struct WinImeComposition {
    // Bits of `contents`.
    enum : uint16_t {
        CompositionRead = 1,
        CompositionReadingRead = 2,
        ResultRead = 4,
        ResultReadingRead = 8
    };
    uint32_t kind = RawLayer::KindUtf8;  // the kind the strings are converted to
    uint16_t contents = 0;
    int32_t cursor = 0;                  // GCS_CURSORPOS
    AttributedText main;                 // composition or result string
    AttributedText reading;              // its reading
};

class WinImeControl {
public:
    // State flags.
    enum : uint16_t {
        StateAssociated = 1,  // the input context is associated with the view's window
        StateOpen = 2,        // the input method is open
        StateComposing = 4    // a composition is running
    };

    explicit WinImeControl(WinView& view);
    virtual ~WinImeControl();
    WinImeControl(const WinImeControl&) = delete;
    WinImeControl& operator=(const WinImeControl&) = delete;

    // Slots, in order.
    // 0, 1: a composition starts, ends.
    virtual void OnStartComposition();
    virtual void OnEndComposition();
    // 2: a composition or result string was read.
    virtual void OnComposition(const WinImeComposition& record);
    // 3: the input method opened or closed.
    virtual void OnOpenStatus(bool open);
    // 4: where the caret is: the top-left of the view's window, its height
    // and its rectangle.
    virtual void QueryCharPosition(IMECHARPOSITION* position);
    // 5: the composition font: the view's effective font.
    virtual void SetCompositionFont();
    // 6: whether text is offered for reconversion (it is then the record's
    // main text).
    virtual bool PrepareReconversion();

    // Creates an input context and associates it with the view's window;
    // false when the window or the context cannot be had.
    bool Attach();
    // Called by the view's handler before its own handling; kNotHandled
    // when the view should go on with the message. Without an input
    // context every message goes on.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Opens or closes the input method.
    void SetOpen(bool open);
    // Takes the context off the window and destroys it.
    void Release();
    // Copies an attributed text: string, clauses and attribute bytes.
    static void CopyComposition(AttributedText& target, const AttributedText& source);

    uint16_t State() const;
    bool Composing() const { return (State() & StateComposing) != 0; }

    WinView& view;
    HIMC context = nullptr;
    WinImeComposition composition;

private:
    void SetState(uint16_t bit, bool on);
    void OnCompositionMessage(LPARAM flags);
    LRESULT OnRequest(WPARAM request, LPARAM data);
    // Reads a string, its clauses and its attributes; false when the string
    // is not there.
    bool ReadString(DWORD stringIndex, DWORD clauseIndex, DWORD attributeIndex, AttributedText& out);

    uint16_t state_ = 0;
    CRITICAL_SECTION lock_;
};

}  // namespace WinLayer

// Input method support for owner-drawn views: a view class derives its own
// control, passes its messages through HandleMessage first, and hears of
// compositions, results and the open state through the notification
// operations. The control reads composition and result strings with their
// clauses and attributes into records in the view's text encoding, names
// the caret place and font to the input method, completes a running
// composition when the user clicks or the view loses the focus, and can
// offer text for reconversion.
//
// Sizes the input method reports are checked against the buffers: an error
// reads nothing, strings are cut to 1024 units, clauses to 50 offsets
// within the string.
#pragma once

#include <windows.h>
#include <imm.h>

#include <cstdint>
#include <vector>

#include "base/raw_string.h"
#include "toolkit/view.h"

namespace WinLayer {

// A text with its clauses (unit ranges of the text) and one attribute byte
// per UTF-16 unit as the input method gives them.
struct AttributedText {
    // Empties the text, the clauses and the attributes.
    void Construct();

    RawLayer::RawString text;
    std::vector<RawLayer::RawRange> clauses;
    std::vector<uint8_t> attributes;
};

// Empties an attributed text.
void ClearAttributedText(AttributedText& text);

// Size of a reconversion record for a text of `units` UTF-16 units.
int32_t ReconvertSize(int32_t units);
// Fills a reconversion record with the whole text as the composition and
// target; false, writing nothing, when its dwSize cannot hold the text.
bool FillReconvert(RECONVERTSTRING& record, const wchar_t* text, int32_t units);

struct WinImeComposition {
    enum : uint16_t {
        ContentComposition = 0x1,
        ContentCompositionReading = 0x2,
        ContentResult = 0x4,
        ContentResultReading = 0x8,
    };
    uint8_t kind = RawLayer::KindUtf16;
    uint16_t contents = 0;
    int32_t cursor = 0;
    AttributedText main;
    AttributedText reading;
};

class WinImeControl {
public:
    enum : uint16_t {
        StateAssociated = 0x1,
        StateOpen = 0x2,
        StateComposing = 0x4,
    };
    static constexpr int32_t kMaxUnits = 1024;
    static constexpr int32_t kMaxClauseOffsets = 50;

    explicit WinImeControl(WinView& owner);
    virtual ~WinImeControl();
    WinImeControl(const WinImeControl&) = delete;
    WinImeControl& operator=(const WinImeControl&) = delete;

    // ---- notifications of view classes ---------------------------------------------
    virtual void OnStartComposition();
    virtual void OnEndComposition();
    // A composition or a result was read into the record.
    virtual void OnComposition(const WinImeComposition& record);
    virtual void OnOpenStatus(bool open);
    // Where the caret is: by default the view's window rectangle.
    virtual void QueryCharPosition(IMECHARPOSITION& position);
    // The view's font to the input method.
    virtual void SetCompositionFont();
    // Puts text to reconvert into the record's main text; false offers none.
    virtual bool PrepareReconversion();

    // ---- operations ---------------------------------------------------------------------
    // Called by the view first; kNotHandled when the view goes on with the
    // message. Without a context every message goes on.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Stores a changed open state and tells the input method.
    void SetOpen(bool open);
    // Takes the context off the window and destroys it.
    void Release();
    static void CopyComposition(AttributedText& target, const AttributedText& source);
    // Makes a context and associates it with the view's window.
    bool Attach();

    bool HasState(uint16_t state) const;

    WinView& view;
    HIMC context = nullptr;
    WinImeComposition composition;

private:
    void SetState(uint16_t state, bool on);
    void ReadComposition(LPARAM flags);
    bool ReadString(DWORD index, AttributedText& target);
    void ReadClauses(DWORD index, AttributedText& target, const std::vector<wchar_t>& units);
    void ReadAttributes(DWORD index, AttributedText& target);
    LRESULT Reconvert(RECONVERTSTRING* buffer);

    uint16_t state_ = 0;
    // The UTF-16 units of the last main string read, for clause offsets.
    std::vector<wchar_t> lastUnits_;
    mutable CRITICAL_SECTION lock_;
};

}  // namespace WinLayer

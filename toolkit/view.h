// Views: the object behind every window of both programs.
//
// A view owns the description of one window (class name, text, styles,
// font, rectangle, anchors) and receives that window's messages through
// virtual operations. Top-level windows are dialogs with window classes of
// their own (dialog.h); controls are native "BUTTON" and "STATIC" windows
// created as children of a dialog and subclassed, so that their view sees
// their messages first.
//
// A message passes the view's OnMessage, then the view's hooks in insertion
// order, then the native or default window procedure: a handler that leaves
// a message to the next stage answers kNotHandled. The view object outlives
// its window; a view that dies while its window still exists takes its
// subclass off and destroys the window, so no message reaches a dead object.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"
#include "toolkit/font_parameter.h"
#include "toolkit/win_message.h"

namespace WinLayer {

class WinDialog;
class WinView;
class WinViewAction;
struct WinDrawContext;

// Anchor flags: how each edge of a child follows its parent's rectangle.
enum WinAnchor : uint16_t {
    AnchorLeftToLeft = 0x0001,
    AnchorLeftToRight = 0x0002,
    AnchorLeftToCentre = 0x0004,
    AnchorRightToRight = 0x0010,
    AnchorRightToLeft = 0x0020,
    AnchorRightToCentre = 0x0040,
    AnchorTopToTop = 0x0100,
    AnchorTopToBottom = 0x0200,
    AnchorTopToCentre = 0x0400,
    AnchorBottomToBottom = 0x1000,
    AnchorBottomToTop = 0x2000,
    AnchorBottomToCentre = 0x4000,
};

// The anchor record: the view's rectangle (a child's in its parent's client
// coordinates, a dialog's window rectangle in screen coordinates), its least
// size, the parent rectangle it follows and how.
class WinViewResize {
public:
    void Init();
    // Moves the edges by the change of the parent rectangle since the last
    // relayout, as the anchor flags say; false (nothing changed) without a
    // parent rectangle. Arithmetic only: no window is touched.
    bool Relayout();
    // Follows a parent rectangle from its present value on.
    void Follow(const RECT* parentRect);
    int32_t Width() const { return rect.right - rect.left; }
    int32_t Height() const { return rect.bottom - rect.top; }

    RECT rect{};
    RECT minimum{};
    const RECT* parent = nullptr;
    RECT lastParent{};
    uint16_t anchors = 0;
};

// The style record: what the window is made from.
class WinViewStyle {
public:
    enum : uint16_t {
        // The view wants PreTranslateMessage from the message loop.
        StyleWantsPreTranslate = 1,
        // The view is no Tab stop (its window is not subclassed, or the view
        // takes no focus).
        StyleNoTabStop = 2,
    };
    // View kind of native controls that are subclassed after creation.
    static constexpr int32_t KindSubclassed = 2;

    WinViewStyle();
    virtual ~WinViewStyle();
    WinViewStyle(const WinViewStyle&) = delete;
    WinViewStyle& operator=(const WinViewStyle&) = delete;

    // Empties every field.
    void Init();

    // Text of the view. GetText gives it in the window-text encoding of the
    // window environment; the others raise the text revision.
    virtual RawLayer::RawString GetText() const;
    virtual void ClearText();
    virtual void SetText(const RawLayer::RawString& newText);
    // Appends, converted into the kind the view's text already has.
    virtual void AppendText(const RawLayer::RawString& more);

    // Shows the text as the window text: the ANSI entry point for 7-bit or
    // ANSI text, the wide one otherwise; nothing without a window.
    void UpdateWindowText() const;

    uint16_t flags = 0;
    uint32_t controlId = 0;
    RawLayer::RawString className;
    int32_t viewKind = 0;
    RawLayer::RawString text;
    uint32_t textRevision = 0;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    WinFontParameter* font = nullptr;
    WinViewStyle* parentStyle = nullptr;

protected:
    const WinViewAction* action_ = nullptr;
};

// A hook sees every message of a view after the view's own handler; the
// first hook answer other than kNotHandled wins.
class WinViewHook {
public:
    virtual ~WinViewHook() = default;
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

class WinViewHookListAllocator : public RawLayer::RawListKeepAllocator<WinViewHook> {};
// The hooks of a view, asked in insertion order; they belong to others.
class WinViewHookList : public RawLayer::RawListP<WinViewHookListAllocator, WinViewHook> {
public:
    void AddHook(WinViewHook* hook);
    void RemoveHook(WinViewHook* hook);
};

// The action part: the window and the hooks.
class WinViewAction {
public:
    explicit WinViewAction(WinViewStyle& styleRecord) : styleRef(styleRecord) {}
    WinViewAction(const WinViewAction&) = delete;
    WinViewAction& operator=(const WinViewAction&) = delete;

    HWND window = nullptr;
    WinViewStyle& styleRef;
    WinViewHookList hooks;
};

// The fitting part: the size of a view's content and window.
class WinViewFitting {
public:
    enum : uint16_t {
        FitAlignLeft = 1,
        FitAlignRight = 2,
        // Marks text centred across (set with neither left nor right).
        FitCentre = 4,
        FitWordBreak = 8,
        FitAlignTop = 16,
        FitAlignBottom = 32,
        // Marks text centred vertically (set with neither top nor bottom).
        FitMiddle = 64,
    };
    virtual ~WinViewFitting() = default;
    // Fills the rectangle with the size of the content.
    virtual void FitToText(RECT& rect) = 0;
    // Grows a client rectangle to a window rectangle.
    virtual void AdjustRect(RECT& rect) = 0;

    uint16_t viewFlags = 0;
    int32_t naturalWidth = 0;
    int32_t naturalHeight = 0;
    int32_t fittedWidth = 0;
    int32_t fittedHeight = 0;
    int32_t marginLeft = 0;
    int32_t marginTop = 0;
    int32_t marginRight = 0;
    int32_t marginBottom = 0;
};

class WinViewListAllocator : public RawLayer::RawListKeepAllocator<WinView> {};
// The child views of a dialog in creation order with the next control id.
// Every operation takes the list's lock; the views belong to others.
class WinViewList : public RawLayer::RawListP<WinViewListAllocator, WinView> {
public:
    static constexpr uint32_t kFirstChildId = 2500;

    WinViewList() = default;
    WinViewList(const WinViewList&) = delete;
    WinViewList& operator=(const WinViewList&) = delete;

    // Gives the view the next id and appends it.
    void AppendWithId(WinView* view);
    bool RemoveView(WinView* view);
    WinView* FindByHandle(HWND window) const;
    WinView* FindById(uint32_t id) const;
    // Takes every view out (the id counter stays).
    void RemoveAll();

    uint32_t nextId = kFirstChildId;
};

class WinView : public WinViewResize, public WinViewStyle, public WinViewAction, public WinViewFitting {
public:
    // Show states passed to SavePlacement.
    enum : int32_t {
        ShowRestored = 0,
        ShowMinimised = 1,
        ShowMaximised = 2,
        ShowCreated = 5,
        ShowFirstSizing = 6,
        ShowDestroying = 7,
    };

    WinView();
    ~WinView() override;

    // ---- messages ------------------------------------------------------------
    // The view's handler. The default turns WM_COMMAND into OnCommand, the
    // menu command message into OnMenuCommand, owner-draw menu items into
    // OnMeasureItem and OnDrawItem, Tab into a focus step of the owner
    // dialog and Escape into a Cancel notification; everything else is left
    // (kNotHandled).
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // A notification from this view's window: handed to the owner's
    // OnChildCommand; -1 without owner.
    virtual LRESULT OnCommand(uint16_t code);
    // A chosen popup-menu command with the value the menu was opened with.
    virtual LRESULT OnMenuCommand(WPARAM command, LPARAM value);
    // Owner-drawn menu items; true when handled.
    virtual bool OnMeasureItem(WPARAM id, MEASUREITEMSTRUCT* item);
    virtual bool OnDrawItem(WPARAM id, DRAWITEMSTRUCT* item);
    // Asked by the message loop before translation when the view has
    // StyleWantsPreTranslate; true swallows the message.
    virtual bool PreTranslateMessage(UINT message, WPARAM wParam, LPARAM lParam, POINT point);

    // ---- life ------------------------------------------------------------------
    // After the window exists.
    virtual void OnCreated();
    // Before the owner dialog's window goes.
    virtual void OnDestroying();

    // ---- children and layout ---------------------------------------------------
    // A notification of a child view; 0 by default.
    virtual LRESULT OnChildCommand(WinView* child, uint16_t code);
    // May change how far a dialog can shrink and grow (width/height pairs);
    // true when handled.
    virtual bool OnMinMaxSize(SIZE& shrink, SIZE& growth);
    // After a size change of a dialog.
    virtual void OnLayout();
    // A change of show state (codes above), and the destruction of a dialog.
    virtual void SavePlacement(int32_t stateLeft, int32_t stateEntered);
    // Has no caller in the toolkit; free for view classes.
    virtual void OnReserved(uintptr_t first, uintptr_t second);

    // ---- dispatch --------------------------------------------------------------
    // OnMessage, then the hooks in order: the first hook answer other than
    // kNotHandled wins, else the view's.
    LRESULT DispatchWithHooks(UINT message, WPARAM wParam, LPARAM lParam);
    // The subclass procedure of native controls (reference data: the view).
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR view);
    // Sends WM_COMMAND (code, control id) to the view's own window.
    void SendCommand(uint16_t code);

    // ---- size and font -----------------------------------------------------------
    // Natural size from the content, fitted size from it plus the margins
    // and the window frame.
    void FitToContent();
    // Measures a text in the view's effective font (on the view's DC, or
    // the screen's without a window) into a rectangle from (0, 0).
    void MeasureText(RECT& rect, const RawLayer::RawString& measured);
    // The view's font, else the first one up the parent-style chain, else
    // the environment's default font.
    const WinFontParameter& GetEffectiveFont() const;
    void FitToText(RECT& rect) override;
    void AdjustRect(RECT& rect) override;

    // ---- text drawing (draw.cpp) ---------------------------------------------
    // Draws a range of a text with DrawTextEx: through the ANSI entry point
    // for 7-bit text, through the wide one otherwise (converting first when
    // the text is not UTF-16). Returns the text height.
    static int DrawTextRange(WinDrawContext& dc, RECT& rect, UINT format, const RawLayer::RawString& text,
                             RawLayer::RawRange range, int tabLength);
    // The same with DT_CALCRECT: the rectangle receives the size. An empty
    // range measures one line high and 0 wide.
    static int MeasureTextRange(WinDrawContext& dc, RECT& rect, UINT format,
                                const RawLayer::RawString& text, RawLayer::RawRange range, int tabLength);

    // ---- modal state -------------------------------------------------------------
    // The modal dialog running above this window (only a root owner's field
    // is used), read and written under the view's lock.
    HWND ModalChild() const;
    void SetModalChild(HWND child);

    // The dialog that created the window; none for a top-level dialog.
    WinDialog* owner = nullptr;

protected:
    // Takes the subclass off, leaves the owner's child list and destroys a
    // window that still exists. Dialogs have their own steps.
    void DetachWindow();
    // OnMessage for views drawn on a native BUTTON window that are no
    // button: keys and left-button presses they leave go to DefWindowProcW
    // (a press still takes the focus), since the button's own handling
    // would press it on Space or a click and send BN_CLICKED (code 0) to
    // the owner.
    LRESULT OnMessageNoButton(UINT message, WPARAM wParam, LPARAM lParam);

private:
    mutable CRITICAL_SECTION lock_;
    HWND modalChild_ = nullptr;
};

}  // namespace WinLayer

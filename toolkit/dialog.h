// Dialogs: top-level windows with window classes of their own, their child
// views, message loops and modal runs, and the registry of dialog windows.
//
// A dialog creates its children in WM_CREATE (CreateChildren), runs its own
// message loop until its WM_DESTROY posts the quit message, and keeps its
// placement across moves and size changes. A modal run blocks the root
// owner: the root is disabled, refuses input and close requests, and hands
// a click on it on to the modal dialog, while painting, sizing and text
// requests keep their normal handling.
//
// Every dialog is a Unicode window: the class is registered through the
// wide entry point, the default procedure is DefWindowProcW and the loop
// uses GetMessageW and DispatchMessageW, so text of any script reaches the
// views intact.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/raw_list.h"
#include "base/raw_string.h"
#include "toolkit/view.h"

namespace WinLayer {

class WinDialog;

// The dialog part of a dialog's record.
class WinDialogResize {
public:
    enum : uint16_t {
        // At least one child wants PreTranslateMessage.
        DialogPreTranslates = 2,
    };

    explicit WinDialogResize(WinView& dialogView) : view(dialogView) {}
    WinDialogResize(const WinDialogResize&) = delete;
    WinDialogResize& operator=(const WinDialogResize&) = delete;

    uint16_t dialogFlags = 0;
    WinView& view;
    uint16_t largeIconId = 0;
    uint16_t smallIconId = 0;
    // What a modal run returns; 0 when the run starts.
    int32_t result = 0;
    WinViewList children;
    // rect: the client rectangle (0, 0, width, height); minimum: the least
    // client size.
    WinViewResize anchor;
    int32_t showState = WinView::ShowCreated;
    // The window rectangle while neither minimised nor maximised.
    RECT normalRect{};
    int32_t showCommand = SW_SHOWNORMAL;
};

// The dialogs whose windows exist, with the next dialog id.
class WinWindowRegistry {
public:
    static constexpr uint32_t kFirstDialogId = 2000;

    static WinWindowRegistry& Instance();

    // The registered dialog whose window is this one; none otherwise.
    WinDialog* FindByHandle(HWND window);
    // The registered dialog whose window is the root ancestor of this one.
    WinDialog* FindRootOf(HWND window);
    bool Contains(const WinDialog* dialog);
    // Whether a registered dialog has this class name.
    bool HasClass(const RawLayer::RawString& className);
    // Gives the dialog the next id and appends it.
    void Add(WinDialog* dialog);
    void Remove(WinDialog* dialog);

    uint32_t nextId = kFirstDialogId;

private:
    WinWindowRegistry();
    ~WinWindowRegistry();

    class DialogListAllocator : public RawLayer::RawListKeepAllocator<WinDialog> {};
    RawLayer::RawListP<DialogListAllocator, WinDialog> dialogs_;
    CRITICAL_SECTION lock_;
};

class WinDialog : public WinView, public WinDialogResize {
public:
    WinDialog();
    ~WinDialog() override;

    // ---- operations of dialog classes ---------------------------------------
    // Creates the child views (with CreateChild) during WM_CREATE.
    virtual void CreateChildren();
    // Whether WM_CLOSE may close the window; true by default.
    virtual bool OnClose();
    // Cancel (Escape in any child) posts WM_CLOSE; every code answers 0.
    LRESULT OnChildCommand(WinView* child, uint16_t code) override;
    // Moves every anchored child to its relaid rectangle.
    void OnLayout() override;

    // ---- windows ------------------------------------------------------------------
    // Registers the class, creates and shows the window, then OnCreated.
    // Nothing happens while the dialog's window exists.
    void Create();
    // Creates one child window of this dialog; false when it could not be
    // made.
    bool CreateChild(WinView& child);
    // Runs until WM_QUIT and returns its exit code. A quit that arrives while
    // this dialog's window still exists was meant for an outer loop: the
    // window is destroyed and the quit posted again.
    int MessageLoop();
    // Runs the dialog modally above the owner's root and returns the result
    // field; 0 at once when the window cannot be made, when the owner chain
    // leads back to this dialog, or when the dialog runs modally already.
    // Afterwards the focus is back on the window that had it, when that is
    // the owner or a child of it, and on the owner otherwise.
    int32_t RunModal(WinView& owner);
    // Shows, activates and forces the window to the foreground (a few
    // attempts at most), and passes the request on to a modal child.
    void BringToFront(WPARAM wParam, LPARAM lParam);

    // ---- ending a run --------------------------------------------------------------
    // Ends the run with a result: the first request records it, sets
    // `closing` and posts WM_CLOSE; later requests are ignored.
    void Finish(int32_t value);
    // Records the result and sets `closing`; false (nothing recorded) when
    // the run is ending already, so the first result stands.
    bool BeginClosing(int32_t value);
    // Posts WM_CLOSE: the window goes once the handler that asked has
    // returned.
    void PostClose();

    // ---- message handling ------------------------------------------------------------
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // While a modal run blocks this dialog.
    LRESULT HandleBlockedMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The window procedure of every dialog class.
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // One retrieved message: dropped when it is a pointer request posted to
    // a toolkit window, else offered to the pre-translation of the child it
    // is for, then translated and dispatched. Every loop of the toolkit, and the test
    // pumps, run messages through this step.
    static void StepMessage(MSG& message);

    // ---- children and geometry ---------------------------------------------------------
    // The first child whose class name and text match the wildcard patterns
    // (an empty pattern matches everything).
    WinView* FindChild(const RawLayer::RawString& classPattern, const RawLayer::RawString& textPattern);
    // The dialog's rectangle, taken as a client rectangle, grown to the
    // window rectangle.
    void WindowRectFromClient();
    // Centres the rectangle on the reference and pushes it into the work
    // area.
    void PlaceOnWorkArea(const RECT& reference);
    // Fits a child to its content with this dialog's font.
    void FitChild(WinView& child);
    // Measures a text as the child would show it in this dialog (in the
    // child's font, else this dialog's), whether or not a window exists.
    void MeasureChild(WinView& child, RECT& rect, const RawLayer::RawString& text);
    // Creates a child that follows the frame (the client rectangle when
    // none is given) as the dialog is resized; false when it could not be
    // made.
    bool CreateFollowing(WinView& child, const RECT* frame = nullptr);

    // Set by the first Finish of a run; cleared when a dialog sets up its
    // next run.
    bool closing = false;

private:
    bool RegisterWindowClass();
    // Empties the child list (the id counter stays); answers the children
    // whose windows are not subclassed, for ForgetWindows once their
    // windows go.
    std::vector<WinView*> ReleaseChildren();
    // Drops the children's handles of windows that are going.
    static void ForgetWindows(const std::vector<WinView*>& unsubclassed);
    LRESULT OnSize(WPARAM wParam, LPARAM lParam);
    void OnMinMaxInfo(MINMAXINFO* info);
    void OnDestroy();
    void CycleFocus(uint32_t senderId, bool backwards);
    LRESULT RouteToChild(UINT message, WPARAM wParam, LPARAM lParam);
    void ActivateModalChild(HWND modal);
    // Gives the root of a modal run back: the previous modal child, and the
    // root enabled again when this was the outermost run. Runs before the
    // window is hidden or destroyed, so activation returns to the root.
    void ReleaseModalRoot();

    // The modal run in progress, when there is one.
    WinView* modalRoot_ = nullptr;
    HWND modalPrevious_ = nullptr;
    bool modalHeld_ = false;
    // Set while CreateWindowEx runs: a window destroyed during its own
    // creation posts no quit message, since no loop runs for it.
    bool creating_ = false;
};

}  // namespace WinLayer

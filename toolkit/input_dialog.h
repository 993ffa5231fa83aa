// The input dialog: up to 20 rows of a label, a line of text and an
// optional button of hints, under a prompt, with Finish and Cancel. Each
// shown row's text is written into its field's result whenever a child
// reports anything, so Cancel keeps what was typed as well.
//
// The field list and its unit are the programs' record of a request; the
// dialog reads every field but the result and writes only the result.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/profile.h"
#include "base/raw_list.h"
#include "base/raw_string.h"
#include "toolkit/button.h"
#include "toolkit/dialog.h"
#include "toolkit/edit_box.h"
#include "toolkit/hint_button.h"
#include "toolkit/static_box.h"

namespace WinLayer {

// One field of an input request.
struct WinInputParameterUnit {
    enum : uint32_t {
        // The row's text cannot be edited.
        FieldReadOnly = 1,
        // The row has no hint button.
        FieldNoHints = 2,
    };

    uint32_t flags = 0;
    // Written when the dialog reports: the row's text in UTF-8.
    RawLayer::RawString result;
    RawLayer::RawString label;
    RawLayer::RawString initialText;
    // The hint button's options (WinHintButton::HintShowValue).
    uint16_t hintOptions = 0;
    // The hint list's case flag: set, hints match exactly.
    uint8_t hintCase = 1;
    // Shared by reference with the caller.
    RawLayer::RawParameterList hints;
};

class WinInputParameterListAllocator : public RawLayer::RawListDeleteAllocator<WinInputParameterUnit> {};

// The fields of a request, with the prompt shown above them. A copy shares
// the fields.
class WinInputParameterList : public RawLayer::RawListR<WinInputParameterListAllocator, WinInputParameterUnit> {
public:
    // An empty list with no prompt.
    static WinInputParameterList Construct() { return WinInputParameterList(); }
    // Appends a copy of the caller's record.
    WinInputParameterUnit* Add(const WinInputParameterUnit& unit) { return AddNew(unit); }

    RawLayer::RawString title;
};

class WinInputDialog : public WinDialog {
public:
    static constexpr int32_t kMaxRows = 20;
    // The edit column is never narrower.
    static constexpr int32_t kMinEditWidth = 100;

    struct Row {
        WinStaticBox label;
        WinEditBox edit;
        WinHintButton hint;
        bool hasHint = false;
    };

    WinInputDialog();

    // Prepares a run: shares the field list, builds a row per field (the
    // first 20), titles the dialog ("Input text." for an empty title) and
    // places it relative to the owner's rectangle. The closing flag and the
    // result start afresh.
    void Build(const RECT& ownerRect, const RawLayer::RawString& title, const WinInputParameterList& fields);

    void CreateChildren() override;
    // The first row takes the focus.
    void OnCreated() override;
    // Copies every shown row's text into its field's result, then: Finish or
    // Enter ends with 1, Cancel or Escape with 0, Down in a row opens its
    // hints.
    LRESULT OnChildCommand(WinView* child, uint16_t code) override;

    // Gives the children of the two blocks (prompt and rows; buttons) their
    // anchors.
    virtual void SetAnchors();
    // Places the two blocks one below the other inside the margin and sizes
    // the client rectangle to them.
    virtual void StackRows();

    // The prompt and rows, and the buttons, each in client coordinates.
    RECT rowRegion{};
    RECT buttonRegion{};
    WinStaticBox prompt;
    Row rows[kMaxRows];
    WinButton finishButton;
    WinButton cancelButton;
    WinInputParameterList fields;
    int32_t rowCount = 0;
    // A quarter of the work area's width.
    int32_t defaultWidth = 0;

protected:
    // Moves every child of a block by an offset.
    void MoveBlock(RECT& region, int32_t dx, int32_t dy, bool rowsBlock);

private:
    void CopyResults();
};

}  // namespace WinLayer

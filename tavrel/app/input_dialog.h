// The input dialog of the compare tool: the toolkit's rows of text under an
// option row (IgnoreCase, the match mode, Confirm, FromHead), each option
// shown when the request asks for it. IgnoreCase and the mode live in the
// text itself as its leading marks; the dialog keeps the two in step. The
// request's texts, history and answer flags change only when the dialog
// finishes: Cancel leaves the request as it was.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/expression.h"
#include "toolkit/button.h"
#include "toolkit/input_dialog.h"
#include "toolkit/radio_button.h"
#include "toolkit/static_box.h"

namespace AppLayer {

// The leading marks of a search text: the one reader of the jobs.
inline JobLayer::ExpressionPrefix ParseExpressionPrefix(const RawLayer::RawString& text) {
    return JobLayer::ExpressionFlags(text);
}

class GuiInputDialog : public WinLayer::WinInputDialog {
public:
    // Request flags.
    enum : uint16_t {
        ShowIgnoreCase = 1,
        ShowMode = 2,
        ShowSecondRow = 4,
        ShowConfirm = 16,
        ShowFromHead = 32,
        ConfirmChecked = 0x100,
        FromHeadChecked = 0x200,
    };
    // The notification of every option control.
    static constexpr uint16_t kOptionChanged = 4452;
    static constexpr uint32_t kToggleStyle = 4351;

    explicit GuiInputDialog(JobLayer::ActionArgs& args);

    // Fields from the request (a second row with flag 4), built over the
    // owner's window rectangle.
    void Build(WinLayer::WinView& owner);

    void CreateChildren() override;
    void OnCreated() override;
    void OnLayout() override;
    LRESULT OnChildCommand(WinLayer::WinView* child, uint16_t code) override;
    void SetAnchors() override;
    // Lays the option row out, then stacks it over the rows and the
    // buttons, all of one width.
    void StackRows() override;

    // IgnoreCase and the mode from the first row's marks; with
    // `fromRequest`, Confirm and FromHead from the request's flags.
    void SyncOptionsFromText(bool fromRequest = false);
    // The first row's marks rewritten from IgnoreCase and the mode; its
    // "!" marks stay.
    void RewritePrefix();
    using WinLayer::WinInputDialog::Finish;
    // Takes the rows into the request and closes with 1; an empty first row
    // keeps the dialog open.
    void Finish();
    // The text to the front of the history, once.
    void AddHistory(const RawLayer::RawString& text);

    // The match mode chosen: 2 WildCard, 1 Literal, 4 Complex.
    uint32_t Mode() const { return modes.selectedValue; }

    JobLayer::ActionArgs* request;
    RECT optionRow{};
    WinLayer::WinStaticBox optionLabel;
    WinLayer::WinButton ignoreCase;
    RawLayer::RawLabelList modes;
    WinLayer::WinRadioButton modeSelector;
    WinLayer::WinButton confirm;
    WinLayer::WinButton fromHead;

private:
    void LayOutOptionRow();
    bool HasOptionFlags() const { return (request->flags & 0xFF) != 0; }
};

}  // namespace AppLayer

// The common dialog texts.
#include "toolkit/common_dialog_text.h"

namespace WinLayer {

using RawLayer::LanguageTable;
using RawLayer::RawString;

const RawLayer::RawLocaleRecord WinCommonDialogText::kDefaults[] = {
    {"FinishButton", "Finish"},
    {"CancelButton", "Cancel"},
    {"SelectButton", "Select"},
    {"CheckAllButton", "Check\nAll"},
    {"UncheckAllButton", "Clear\nAll"},
    {"HiddenButton", "Hidden"},
    {"OpenSide", "open"},
    {"HintSide", "hint"},
    {"InputTextPrompt", "Input text ?"},
    {"", ""},
};

RawString WinCommonDialogText::Table() {
    static const RawString section = LanguageTable::Lookup(CommonDialogSectionText(), kDefaults);
    return section;
}

RawString WinCommonDialogText::Text(const RawString& key) { return LanguageTable::Text(Table(), key); }

}  // namespace WinLayer

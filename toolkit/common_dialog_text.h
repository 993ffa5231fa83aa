// The button captions and prompts shared by the toolkit's own dialogs, under
// one language section so a language file replaces them for all at once.
#pragma once

#include "base/language.h"
#include "base/raw_string.h"

namespace WinLayer {

RAW_CONSTANT_TEXT(CommonDialogSectionText, "CommonDialog")
RAW_CONSTANT_TEXT(FinishButtonKeyText, "FinishButton")
RAW_CONSTANT_TEXT(CancelButtonKeyText, "CancelButton")
RAW_CONSTANT_TEXT(SelectButtonKeyText, "SelectButton")
RAW_CONSTANT_TEXT(CheckAllButtonKeyText, "CheckAllButton")
RAW_CONSTANT_TEXT(UncheckAllButtonKeyText, "UncheckAllButton")
RAW_CONSTANT_TEXT(HiddenButtonKeyText, "HiddenButton")
RAW_CONSTANT_TEXT(OpenSideKeyText, "OpenSide")
RAW_CONSTANT_TEXT(HintSideKeyText, "HintSide")
RAW_CONSTANT_TEXT(InputTextPromptKeyText, "InputTextPrompt")

struct WinCommonDialogText {
    // The keys and English defaults, closed by an empty pair.
    static const RawLayer::RawLocaleRecord kDefaults[];
    // Registers the defaults on first use and returns the section under
    // which the dialogs fetch each text with LanguageTable::Text.
    static RawLayer::RawString Table();
    // The text of one key of the section (a language file's, else the
    // default), with line breaks as CR LF.
    static RawLayer::RawString Text(const RawLayer::RawString& key);
};

}  // namespace WinLayer

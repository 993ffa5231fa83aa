// The style set of a help document: the part of it that the Markdown reader
// reads. The fonts, lengths and colours that the layout and paint passes
// read join these members in the same class.
#pragma once

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"

namespace DocLayer {

using RawLayer::RawString;
using RawLayer::RawStringList;

// Document-wide settings (section "Overview").
struct OverviewStyle {
    int32_t tabStop = 8;              // "TabStop": columns of a tab
    bool underscoreEmphasis = false;  // "UnderscoreEmphasis": '_' marks emphasis too
    // "EnhanceForm" split at its "%s": the opener and closer of a line
    // directive. Both empty (directives off) until a profile sets them.
    RawString enhancePrefix;
    RawString enhanceSuffix;

    // Takes a form value: double quotes at its start and end are dropped and
    // the rest is split at its first "%s" into prefix and suffix; a value
    // without "%s" turns directives off (both empty).
    void SetEnhanceForm(const RawString& form);
};

// Code blocks (section "CodeBlock").
struct CodeBlockStyle {
    CodeBlockStyle();
    // "TabWrap": the texts that lay out an indented code line as tab
    // columns; the first one found in a line counts.
    RawStringList tabWrap;
};

class DocumentStyle {
public:
    // Bits of the flag word.
    enum : uint32_t {
        FlagPageMode = 1,   // the print font is the base font
        FlagFenceOpen = 4   // the reader is inside a fenced code block
    };

    DocumentStyle() = default;
    DocumentStyle(const DocumentStyle&) = delete;
    DocumentStyle& operator=(const DocumentStyle&) = delete;

    OverviewStyle overview;
    CodeBlockStyle codeBlock;
    // The flag word and the reader's fence state beside it: the quote depth
    // of the line that opened the fence and that line's indent column. None
    // of them is copied from another style set.
    uint32_t flags = 0;
    uint16_t fenceQuoteDepth = 0;
    int32_t fenceIndent = 0;
    // The document's file and its folder (links and pictures resolve
    // against the folder).
    RawString documentPath;
    RawString documentFolder;

    bool FenceOpen() const { return (flags & FlagFenceOpen) != 0; }
    // Back to the state a load starts from: fence closed, depth and indent 0.
    void ResetFence() {
        flags &= ~static_cast<uint32_t>(FlagFenceOpen);
        fenceQuoteDepth = 0;
        fenceIndent = 0;
    }
};

}  // namespace DocLayer

// The inline pass: the content of a line becomes its display text. Line
// break tags become CR LF, pictures and links are registered in the line's
// link list and replaced by marks, and emphasis pairs (Markdown or HTML) by
// marks around their text.
//
// The pass is defined as a loop of textual rewrites that starts again from
// the first step after every rewrite: line breaks, Markdown pictures, HTML
// pictures, links, then the emphasis pairs in a fixed order. A rewrite only
// replaces a construct by marks around text that was inside it, and marks
// never take part in a construct, so no step ever finds a new match after a
// later step's rewrite. Each step therefore runs to exhaustion in order,
// in one pass over the text, which gives the loop's text in linear time.
#pragma once

#include <cstdint>

#include "base/raw_string.h"
#include "quenby/document/document_model.h"

namespace DocLayer {

// What one inline pass needs besides the text.
struct InlineContext {
    JobLinkDataList* links = nullptr;  // receives the links and pictures
    RawString folder;                  // relative targets resolve against it
    bool underscore = false;           // '_' marks emphasis as '*' does
};

// The display text of [begin, end) of `text` (trimmed of blanks and tabs,
// or of blanks only when `keepTabs` is set), with the links and pictures
// added to `line`'s list, numbered after its last serial. Mark characters
// (0x1E, 0x1F) in the text become blanks first.
RawString ParseSegment(JobLineUnit& line, const RawString& text, int32_t begin, int32_t end,
                       bool keepTabs = false);

// The rewrite loop over a range of a text (UTF-8); links and pictures go to
// the context's list with serials after its counter, which is advanced.
RawString ParseInline(const RawString& text, RawRange range, InlineContext& context);

// True when the target begins with "http:", "https:" or "file:" (lower
// case): the inline pass keeps it as it is.
bool IsExternalLink(const RawString& target);
// Whether a target is a web address ("http:" or "https:", any case): the
// view opens it in the browser without asking.
bool IsWebLink(const RawString& target);

// Whether a code point is CJK text that joins without a blank: ideographs,
// kana, Hangul, CJK punctuation and full-width forms.
bool IsCjkCodePoint(uint32_t cp);

}  // namespace DocLayer

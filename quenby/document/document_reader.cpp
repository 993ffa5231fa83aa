// Loading a help document and the block grammar of its lines.

#include "quenby/document/document_reader.h"

#include <climits>
#include <new>

#include "base/command_line.h"
#include "base/file_system.h"
#include "base/line_file.h"
#include "base/raw_string_tokenizer.h"
#include "quenby/document/document_text.h"
#include "quenby/document/inline_parser.h"

namespace DocLayer {

using RawLayer::RawStringList;

namespace {

RAW_CONSTANT_TEXT(ValueEndText, ", \t")
RAW_CONSTANT_TEXT(DivOpenText, "<div ")
RAW_CONSTANT_TEXT(DivCloseText, "</div>")
RAW_CONSTANT_TEXT(ClassKeyText, "class=")
RAW_CONSTANT_TEXT(PageBreakClassText, "pagebreak")

inline bool IsBlankUnit(uint32_t u) { return u == ' ' || u == '\t'; }

// The column after a tab at `column`; held far below the 32-bit limit, so
// that a huge tab stop from a profile cannot overflow it.
int32_t NextTabColumn(int32_t column, int32_t tabStop) {
    int64_t next = static_cast<int64_t>(column) + tabStop - column % tabStop;
    return next > (INT32_MAX >> 1) ? (INT32_MAX >> 1) : static_cast<int32_t>(next);
}
inline bool IsDigitUnit(uint32_t u) { return u >= '0' && u <= '9'; }

// Whether the last two units of the text are blanks (a hard line break).
bool EndsWithTwoBlanks(const RawString& text) {
    int32_t n = text.Length();
    return n >= 2 && IsBlankUnit(text.UnitAt(n - 1)) && IsBlankUnit(text.UnitAt(n - 2));
}

void SetBreakAfter(JobLineUnit& line) {
    if (EndsWithTwoBlanks(line.rawText))
        line.flags |= LineBreakAfter;
    else
        line.flags &= ~LineBreakAfter;
}

// A text as read, with the file's mark characters made blanks: only the
// reader writes marks.
RawString WithoutMarkUnits(const RawString& text, int32_t from) {
    RawString out;
    out.AssignRange(text, RawRange{from, text.Length()});
    int32_t n = out.Length();
    for (int32_t i = 0; i < n; ++i) {
        uint32_t u = out.UnitAt(i);
        if (u == MarkOpen || u == MarkClose) out.SetUnitAt(i, ' ');
    }
    return out;
}

// The last visible character of a display text (mark runs skipped); 0 when
// there is none.
uint32_t LastVisible(const RawString& text) {
    int32_t end = text.Length();
    while (end > 0) {
        if (text.UnitAt(end - 1) == MarkClose) {
            int32_t open = text.FindLastChar(RawRange{0, end - 1}, MarkOpen);
            if (open >= end - 1) return Utf8CodePointBefore(text, end);  // a lone 0x1F
            end = open;
            continue;
        }
        return Utf8CodePointBefore(text, end);
    }
    return 0;
}

// The first visible character of a display text (mark runs skipped).
uint32_t FirstVisible(const RawString& text) {
    int32_t n = text.Length();
    int32_t pos = 0;
    while (pos < n) {
        if (text.UnitAt(pos) == MarkOpen) {
            int32_t close = text.FindChar(RawRange{pos, n}, MarkClose);
            if (close >= n) break;
            pos = close + 1;
            continue;
        }
        return Utf8CodePointAt(text, pos, nullptr);
    }
    return 0;
}

// Joins a lazy continuation's text to the text of the line it continues:
// one blank between them, except after a line break and between two CJK
// characters.
void AppendContinuation(RawString& text, const RawString& more) {
    if (more.IsEmpty()) return;
    if (!text.IsEmpty()) {
        uint32_t last = LastVisible(text);
        uint32_t first = FirstVisible(more);
        bool afterBreak = last == '\n';
        bool cjk = IsCjkCodePoint(last) && IsCjkCodePoint(first);
        if (!afterBreak && !cjk) text.AppendChar(' ');
    }
    text.Append(more);
}

// The decimal text of a number. Most paragraphs carry 0 twice: they share
// one text instead of a text of their own each.
RawString DecimalText(int32_t value) {
    static const RawString zero = RawString::FromInt(0);
    return value == 0 ? zero : RawString::FromInt(value);
}

}  // namespace

// ---------------------------------------------------------------------------
// Small operations

LineIndent MeasureLineIndent(const RawString& text, int32_t tabStop, int32_t mostQuotes) {
    if (tabStop < 1) tabStop = 1;
    LineIndent r;
    bool past = false;        // past the indentation
    bool afterMarker = false; // right after a quote marker
    const char* p = text.Bytes();
    int32_t n = text.Length();
    bool bytes = RawLayer::UnitWidth(text.Kind()) == 1;
    for (int32_t i = 0; i < n; ++i) {
        uint32_t u = bytes ? static_cast<uint8_t>(p[i]) : text.UnitAt(i);
        if (u == '>' && !past && r.quoteDepth < mostQuotes) {
            ++r.quoteDepth;
            afterMarker = true;
            r.column = 0;
            r.afterQuotes = i + 1;
        } else if (u == ' ') {
            if (!afterMarker) {
                ++r.column;
                if (r.column > 3) past = true;
            } else {
                r.afterQuotes = i + 1;
            }
            afterMarker = false;
        } else if (u == '\t') {
            r.column = NextTabColumn(r.column, tabStop);
            past = true;
            afterMarker = false;
        } else {
            r.index = i;
            return r;
        }
    }
    r.index = n;
    return r;
}

int32_t RunEnd(const RawString& text, int32_t start, uint32_t c) {
    int32_t n = text.Length();
    int32_t i = start < 0 ? 0 : start;
    while (i < n && text.UnitAt(i) == c) ++i;
    return i < n ? i : n;
}

int32_t FindFirstNotOf(const RawString& text, int32_t start, const RawString& set) {
    return text.SkipSet(RawRange{start < 0 ? 0 : start, text.Length()}, set);
}

RawString ParseAlignmentRow(const RawString& text, int32_t first) {
    RawString letters(RawLayer::KindUtf8);
    bool colonBefore = false, colonAfter = false, dash = false;
    int32_t n = text.Length();
    for (int32_t i = first + 1; i < n; ++i) {
        uint32_t u = text.UnitAt(i);
        if (u == ':') {
            if (dash) colonAfter = true;
            else colonBefore = true;
        } else if (u == '-') {
            if (colonAfter) return RawString(RawLayer::KindUtf8);
            dash = true;
        } else if (u == '|') {
            char letter = 'L';
            if (colonBefore && colonAfter) letter = 'C';
            else if (colonAfter) letter = 'R';
            letters.AppendChar(static_cast<uint8_t>(letter));
            colonBefore = colonAfter = dash = false;
        } else if (!IsBlankUnit(u)) {
            return RawString(RawLayer::KindUtf8);
        }
    }
    return letters;
}

RawString SplitTableCells(const RawString& text, int32_t i, int32_t n) {
    RawString out(RawLayer::KindUtf8);
    int32_t length = text.Length();
    int32_t cells = 0;
    RawString cell(RawLayer::KindUtf8);
    auto appendCell = [&]() {
        RawRange r = cell.TrimRange(cell.All(), BlankSetText());
        out.AppendRange(cell, r);
        ++cells;
        if (cells < n) out.AppendChar('\t');
        cell.Clear();
    };
    for (int32_t pos = i + 1; pos < length && cells < n; ++pos) {
        uint32_t u = text.UnitAt(pos);
        if (u == '|')
            appendCell();
        else
            cell.AppendChar(u == '\t' ? ' ' : u);
    }
    // A row without its closing '|' keeps its last cell.
    if (cells < n) {
        RawRange rest = cell.TrimRange(cell.All(), BlankSetText());
        if (rest.end > rest.start) appendCell();
    }
    return out;
}

RawStringList SplitDirectiveWords(const RawString& text, int32_t begin, int32_t end) {
    RawString part;
    part.AssignRange(text, RawRange{begin, end});
    RawLayer::RawStringTokenizer tokenizer(part);
    tokenizer.SetState(tokenizer.State() | RawLayer::RawStringTokenizer::FieldQuotes);
    RawStringList words;
    // Every field moves the position past a separator or ends the walk.
    while (!tokenizer.AtEnd()) words.Add(tokenizer.NextField(':'));
    return words;
}

// ---------------------------------------------------------------------------
// Directives

namespace {

// Closing the previous drawn line: no later line joins its block.
void CloseLine(JobLineUnit* previous) {
    if (previous && ((previous->flags & LineOpen) || previous->kind == KindIndentedCode))
        previous->flags |= LineBreakAfter | LineClosed;
}

}  // namespace

bool ParseLineDirective(JobLineUnit& line, JobLineUnit* previous) {
    DocumentStyle* style = line.owner ? line.owner->Style() : nullptr;
    if (!style) return false;
    const RawString& opener = style->overview.enhancePrefix;
    const RawString& closer = style->overview.enhanceSuffix;
    if (opener.IsEmpty() && closer.IsEmpty()) return false;
    const RawString& raw = line.rawText;
    RawRange t = raw.TrimRange(raw.All(), BlankSetText());
    int32_t lo = opener.Length(), lc = closer.Length();
    if (!(t.start + lo < t.end - lc)) return false;
    if (!raw.EqualsAt(t.start, opener, opener.All())) return false;
    if (!raw.EqualsAt(t.end - lc, closer, closer.All())) return false;
    RawStringList words = SplitDirectiveWords(raw, t.start + lo, t.end - lc);
    RawString w[4];
    for (int32_t k = 0; k < 4 && k < words.Count(); ++k) w[k] = *words.At(k);
    // Prose is not a directive: a keyword never holds a blank.
    if (w[0].ContainsUnit(' ') || w[0].ContainsUnit('\t')) return false;

    JobParamList& documentParams = line.owner->Params();
    if (w[0].EqualsAscii("TOC")) {
        line.kind = KindToc;
        line.level = ClampInt(ParseDecimal(w[1]), 1, 6);
        line.number = ParseDecimal(w[2]);
        line.text = WithoutMarkUnits(w[3], 0);
        if (previous && previous->kind == KindToc)
            previous->flags &= ~LineLast;
        else
            line.flags |= LineFirst;
        line.flags = static_cast<uint16_t>((line.flags & ~(LineOpen | LineClosed)) | LineLast | LineBreakAfter);
    } else if (w[0].EqualsAscii("Align")) {
        line.kind = KindHidden;
        CloseLine(previous);
        documentParams.FindOrInsert(ParamAlign).text = RawString::FromInt(AlignmentCode(w[1]));
    } else if (w[0].EqualsAscii("FontRatio")) {
        line.kind = KindHidden;
        CloseLine(previous);
        documentParams.FindOrInsert(ParamFontRatio).text =
            RawString::FromInt(ClampInt(ParseDecimal(w[1]), 0, 1000));
    } else if (w[0].EqualsAscii("PrintHeader") || w[0].EqualsAscii("PrintFooter")) {
        CloseLine(previous);
        line.kind = w[0].EqualsAscii("PrintHeader") ? KindPrintHeader : KindPrintFooter;
        line.params.FindOrInsert(AlignmentCode(w[1])).text = w[2];
    } else if (w[0].EqualsAscii("PrintPage")) {
        CloseLine(previous);
        line.kind = KindPrintPage;
        line.params.FindOrInsert(ParamPrintPage).text = w[1];
    } else if (w[0].EqualsAscii("PageBreak")) {
        CloseLine(previous);
        line.kind = KindPageBreak;
    } else {
        line.kind = KindUnclassified;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Loading

namespace {

// False when the file cannot be opened: then nothing of the document
// changed, so that a reload of a file that went away keeps what is shown.
bool ReadDocumentLines(JobLineList& document) {
    DocumentStyle* style = document.Style();
    if (!style || style->documentPath.IsEmpty()) {
        document.Clear();
        document.Params().Clear();
        if (style) style->ResetFence();
        return true;
    }

    RawLayer::RawLineFile file(style->documentPath);
    // The lines as bytes, in the file's own order of units; they are
    // decoded below, once the kind of the whole file is known.
    file.SetOptions(RawLayer::LineFileDecoderFlagsGiven | RawLayer::LineDecodeDetectMark |
                    RawLayer::LineDecodeSkipMark | RawLayer::LineDecodeGuess |
                    RawLayer::LineFileKeepLongLine);
    file.SetTextKind(RawLayer::LineKindNone);
    if (!file.Open()) return false;
    document.Clear();
    document.Params().Clear();
    style->ResetFence();
    // Most documents are UTF-8 (or 7-bit), and then the lines are used as
    // read: only the first line that is not valid UTF-8 is remembered.
    bool utf16 = file.FileKind() == RawLayer::KindUtf16BE || file.FileKind() == RawLayer::KindUtf16LE;
    JobLineUnit* firstBad = nullptr;
    // Every ReadLine hands out the next line or ends the loop.
    while (file.ReadLine()) {
        JobLineUnit* line = InitLineRecord(&document);
        document.Add(line);
        line->chainLink = document.LastLink();
        const RawString& text = file.Line().text;
        // An empty line keeps the shared empty text (and the reader its buffer).
        if (text.IsEmpty()) continue;
        line->rawText = text;
        if (!firstBad && !utf16 &&
            !BytesReadAs(RawLayer::KindUtf8, reinterpret_cast<const uint8_t*>(text.Bytes()), text.Length(), false))
            firstBad = line;
    }
    uint8_t fileKind = file.FileKind(), markKind = file.MarkKind();
    file.Close();
    JobLineUnit* last = document.Last();
    if (!utf16 && (markKind == RawLayer::KindUtf8 || markKind == 0)) {
        if (!firstBad) {
            ClassifyLines(document);
            return true;
        }
        // Only the last character of the file cut short: mend that line.
        if (firstBad == last && BytesReadAs(RawLayer::KindUtf8, reinterpret_cast<const uint8_t*>(last->rawText.Bytes()),
                                            last->rawText.Length(), true)) {
            last->rawText = DecodeLineToUtf8(RawLayer::KindUtf8, last->rawText);
            ClassifyLines(document);
            return true;
        }
    }
    // Another encoding: decided over all the lines, each then decoded.
    int32_t count = document.Count();
    RawLayer::RawListLink* link = document.FirstLink();
    int32_t at = 0;
    uint8_t kind = ChooseLineKind(fileKind, markKind, count, [&](int32_t i) -> const RawString& {
        // The lines are asked for in order, once or again from the start.
        if (i < at) {
            link = document.FirstLink();
            at = 0;
        }
        while (at < i) {
            link = link->next;
            ++at;
        }
        return document.UnitOf(link)->rawText;
    });
    for (JobLineUnit& line : document)
        if (!line.rawText.IsEmpty()) line.rawText = DecodeLineToUtf8(kind, line.rawText);
    ClassifyLines(document);
    return true;
}

}  // namespace

DocumentLoad LoadDocumentLines(JobLineList& document) {
    DocumentStyle* style = document.Style();
    if (style && !style->documentPath.IsEmpty()) {
        // Measured before anything is dropped: a document read again keeps
        // its lines when the file has grown too large.
        RawLayer::RawFileHandle file;
        uint64_t size = 0;
        if (file.OpenRead(style->documentPath) && file.Size(size) && size > kMostDocumentBytes)
            return DocumentLoad::TooLarge;
    }
    try {
        return ReadDocumentLines(document) ? DocumentLoad::Read : DocumentLoad::Unreadable;
    } catch (const std::bad_alloc&) {
        // What was read goes, and with it the memory it took.
        document.Clear();
        document.Params().Clear();
        if (style) style->ResetFence();
        return DocumentLoad::NoMemory;
    }
}

void ClassifyLines(JobLineList& document) {
    if (!document.Style()) return;
    BlockClassifier(document).Run();
}

// ---------------------------------------------------------------------------
// The kind pass

BlockClassifier::BlockClassifier(JobLineList& document)
    : document_(document), style_(*document.Style()) {}

void BlockClassifier::Run() {
    for (JobLineUnit& line : document_) {
        if (line.flags & LineConsumed) continue;
        // Inside a fence only the fence's own quote markers are markers: a
        // ">>> " prompt is code.
        measured_ = MeasureLineIndent(line.rawText, style_.overview.tabStop,
                                      style_.FenceOpen() ? style_.fenceQuoteDepth : INT32_MAX);
        line.quoteDepth = measured_.quoteDepth;
        line.indent = measured_.column;
        int32_t i = measured_.index;
        JobLineUnit* p = previous_;
        uint32_t ch;
        if (style_.FenceOpen()) {
            ch = '~';
        } else if (i >= line.rawText.Length()) {
            // A line of blanks only is an empty line, however far it reaches.
            ch = 0;
        } else if (line.indent >= 4 && !(p && !(p->flags & LineClosed) &&
                                          p->quoteDepth == line.quoteDepth &&
                                          p->kind != KindIndentedCode)) {
            ch = '\t';
        } else {
            ch = line.rawText.UnitAt(i);
        }
        ClassifyBlock(line, ch, i);
        if (IsContentKind(line.kind)) {
            previous_ = &line;
            drawn_.push_back(&line);
        }
    }
}

void BlockClassifier::ClosePrevious() { CloseLine(previous_); }

void BlockClassifier::ClassifyBlock(JobLineUnit& line, uint32_t ch, int32_t i) {
    const RawString& raw = line.rawText;
    uint32_t next = raw.UnitAt(i + 1);
    bool nextBlank = i + 1 < raw.Length() && IsBlankUnit(next);
    switch (ch) {
        case 0:
            line.kind = KindHidden;
            ClosePrevious();
            return;
        case '\t':
            ParseIndentedCode(line);
            return;
        case '|':
            if (!ParseTableRow(line, i)) DirectiveOrParagraph(line, i);
            return;
        case '#':
            if (!ParseHeading(line, i)) DirectiveOrParagraph(line, i);
            return;
        case '-':
        case '*':
            if (!ParseRule(line, i, ch)) BulletOrParagraph(line, i, nextBlank);
            return;
        case '_':
            if (!ParseRule(line, i, ch)) DirectiveOrParagraph(line, i);
            return;
        case '+':
            BulletOrParagraph(line, i, nextBlank);
            return;
        case '~':
            if (style_.FenceOpen()) {
                ParseFenceLine(line, i);
            } else if (RunEnd(raw, i, '~') >= i + 3) {
                ToggleFence(line);
            } else {
                // A lone '~' or "~~" begins text ("~~struck~~"), not code.
                DirectiveOrParagraph(line, i);
            }
            return;
        case '`':
            if (RunEnd(raw, i, '`') >= i + 3)
                ToggleFence(line);
            else
                DirectiveOrParagraph(line, i);
            return;
        case '<':
            if (!ParsePageBreakDiv(line, i)) DirectiveOrParagraph(line, i);
            return;
        default:
            if (IsDigitUnit(ch) && ParseNumberedItem(line, i)) return;
            DirectiveOrParagraph(line, i);
            return;
    }
}

void BlockClassifier::BulletOrParagraph(JobLineUnit& line, int32_t i, bool nextBlank) {
    if (!nextBlank) return DirectiveOrParagraph(line, i);
    ParseBulletText(line, i);
    StartListItem(line);
}

void BlockClassifier::DirectiveOrParagraph(JobLineUnit& line, int32_t i) {
    if (!ParseLineDirective(line, previous_)) ParseParagraph(line, i);
}

void BlockClassifier::ToggleFence(JobLineUnit& line) {
    line.kind = KindHidden;
    // A fence line ends the code block before it: two fenced blocks in a
    // row are two blocks.
    if (previous_ && previous_->kind == KindFencedCode) previous_->flags |= LineBreakAfter | LineClosed;
    style_.flags ^= DocumentStyle::FlagFenceOpen;
    style_.fenceQuoteDepth = static_cast<uint16_t>(line.quoteDepth);
    style_.fenceIndent = line.indent;
}

void BlockClassifier::ParseFenceLine(JobLineUnit& line, int32_t i) {
    const RawString& raw = line.rawText;
    uint32_t c = raw.UnitAt(i);
    if ((c == '~' || c == '`') && i < raw.Length() && RunEnd(raw, i, c) >= i + 3) {
        ToggleFence(line);
        return;
    }
    line.kind = KindFencedCode;
    // The code keeps its own indentation: after the quote markers, at most
    // the opening fence line's indentation is taken off.
    int32_t tabStop = style_.overview.tabStop < 1 ? 1 : style_.overview.tabStop;
    int32_t pos = measured_.afterQuotes;
    int32_t column = 0;
    while (pos < raw.Length()) {
        uint32_t u = raw.UnitAt(pos);
        int32_t after = u == ' ' ? column + 1 : (u == '\t' ? NextTabColumn(column, tabStop) : -1);
        if (after < 0 || after > style_.fenceIndent) break;
        column = after;
        ++pos;
    }
    line.text = WithoutMarkUnits(raw, pos);
    JobLineUnit* p = previous_;
    if (p && p->kind == KindFencedCode && p->quoteDepth == line.quoteDepth && !(p->flags & LineClosed)) {
        p->flags &= ~LineLast;
        // The lines of a block share one record: the layout keeps the
        // block's widest line in it, and every line is painted that wide.
        line.block.ShareFrom(p->block);
    } else
        line.flags |= LineFirst;
    line.flags = static_cast<uint16_t>((line.flags & ~(LineOpen | LineClosed)) | LineLast | LineBreakAfter);
}

bool BlockClassifier::ParseHeading(JobLineUnit& line, int32_t i) {
    const RawString& raw = line.rawText;
    int32_t e = RunEnd(raw, i, '#');
    if (e >= raw.Length() || !IsBlankUnit(raw.UnitAt(e))) return false;
    // A closing run of '#' stands after a blank ("# Title ##"); one that
    // ends a word is the title's own ("# Using C#").
    int32_t t = raw.Length();
    while (t > e && IsBlankUnit(raw.UnitAt(t - 1))) --t;
    int32_t run = t;
    while (run > e && raw.UnitAt(run - 1) == '#') --run;
    if (run < t && IsBlankUnit(raw.UnitAt(run - 1))) t = run;
    line.kind = KindHeading;
    line.level = e - i < 6 ? e - i : 6;
    line.text = ParseSegment(line, raw, e, t);
    line.flags = static_cast<uint16_t>((line.flags & ~LineOpen) | LineBreakAfter | LineClosed);
    return true;
}

bool BlockClassifier::ParseRule(JobLineUnit& line, int32_t i, uint32_t marker) {
    const RawString& raw = line.rawText;
    int32_t n = raw.Length();
    int32_t count = 0;
    for (int32_t pos = i; pos < n; ++pos) {
        uint32_t u = raw.UnitAt(pos);
        if (IsBlankUnit(u)) continue;
        if (u != marker) {
            // '*' and '_' around words are emphasis ("*** Note ***"), not a
            // rule that drops them.
            if (marker != '-') return false;
            break;
        }
        ++count;
    }
    if (count < 3) return false;
    line.kind = KindRule;
    line.flags = static_cast<uint16_t>((line.flags & ~LineOpen) | LineBreakAfter | LineClosed);
    return true;
}

void BlockClassifier::ParseBulletText(JobLineUnit& line, int32_t i) {
    const RawString& raw = line.rawText;
    line.kind = KindBullet;
    int32_t j = FindFirstNotOf(raw, i + 1, BlankSetText());
    if (raw.UnitAt(j) == '[' && j < raw.Length()) {
        int32_t k = raw.FindChar(RawRange{j + 1, raw.Length()}, ']');
        if (k < raw.Length() && raw.UnitAt(k + 1) == ' ' && k + 1 < raw.Length()) {
            RawString mark;
            if (k == j + 1)
                mark = RawString::FromLiteral(" ");
            else
                mark.AssignRange(raw, RawRange{j + 1, k});
            line.params.FindOrInsert(ParamTaskMark).text = WithoutMarkUnits(mark, 0);
            line.text = ParseSegment(line, raw, k + 1, raw.Length());
            return;
        }
    }
    line.text = ParseSegment(line, raw, j, raw.Length());
}

bool BlockClassifier::ParseNumberedItem(JobLineUnit& line, int32_t i) {
    const RawString& raw = line.rawText;
    int32_t n = raw.Length();
    int32_t dot = i;
    while (dot < n && IsDigitUnit(raw.UnitAt(dot))) ++dot;
    if (dot >= n || raw.UnitAt(dot) != '.') return false;
    // "3.14 is pi" is a number, not an item.
    if (dot + 1 < n && IsDigitUnit(raw.UnitAt(dot + 1))) return false;
    line.kind = KindNumbered;
    line.text = ParseSegment(line, raw, dot + 1, n);
    line.number = 1;
    StartListItem(line);
    return true;
}

namespace {

// Level and number of a list item L from the content records before it,
// newest first, given by `previous(record)` (null at the start): a record
// that is not a list item or has another quote depth ends the walk (level
// 1, false); an item with a smaller indent makes L its child; one with the
// same indent its sibling (number + 1 for the same kind, else 1); items
// indented deeper are passed over.
template <class Previous>
bool NumberListItemFrom(JobLineUnit& item, JobLineUnit* before, Previous previous) {
    for (JobLineUnit* p = before; p; p = previous(p)) {
        bool listItem = p->kind == KindBullet || p->kind == KindNumbered;
        if (!listItem || p->quoteDepth != item.quoteDepth) break;
        if (p->indent < item.indent) {
            item.level = p->level + 1;
            return true;
        }
        if (p->indent == item.indent) {
            item.level = p->level;
            item.number = p->kind == item.kind ? p->number + 1 : 1;
            return true;
        }
    }
    item.level = 1;
    return false;
}

}  // namespace

void BlockClassifier::StartListItem(JobLineUnit& line) {
    // The walk back over the drawn lines, newest first.
    size_t at = drawn_.size();
    bool found = NumberListItemFrom(line, at > 0 ? drawn_[--at] : nullptr,
                                    [&](JobLineUnit*) { return at > 0 ? drawn_[--at] : nullptr; });
    JobLineUnit* p = previous_;
    if (!found) {
        line.flags |= LineFirst;
    } else if (p) {
        if (p->flags & LineClosed)
            line.flags |= LineFirst;
        else
            p->flags &= ~LineLast;
    }
    line.flags = static_cast<uint16_t>((line.flags & ~LineClosed) | LineOpen);
    SetBreakAfter(line);
    line.flags |= LineLast | LineListItem;
}

bool BlockClassifier::ParsePageBreakDiv(JobLineUnit& line, int32_t i) {
    const RawString& raw = line.rawText;
    const int32_t n = raw.Length();
    if (!raw.MatchesAt(i, DivOpenText(), DivOpenText().All(), true)) return false;
    const RawRange rest{i + DivOpenText().Length(), n};
    if (raw.FindNoCase(rest, DivCloseText(), DivCloseText().All()) >= n) return false;
    const int32_t at = raw.FindNoCase(rest, ClassKeyText(), ClassKeyText().All());
    if (at >= n) return false;
    int32_t v = at + ClassKeyText().Length();
    RawRange value{v, v};
    if (raw.UnitAt(v) == '"' && v < n) {
        int32_t close = raw.FindChar(RawRange{v + 1, n}, '"');
        value = RawRange{v + 1, close};
    } else {
        value = RawRange{v, RawLayer::FindFirstOf(raw, v, ValueEndText())};
    }
    if (!raw.EqualsRangeNoCase(value, PageBreakClassText(), PageBreakClassText().All())) return false;
    line.kind = KindHidden;
    ClosePrevious();
    line.kind = KindPageBreak;
    return true;
}

bool BlockClassifier::ParseTableRow(JobLineUnit& line, int32_t i) {
    const RawString& raw = line.rawText;
    JobLineUnit* p = previous_;
    if (p && p->kind == KindTableRow && p->quoteDepth == line.quoteDepth && !(p->flags & LineClosed)) {
        line.alignment = p->alignment;
        line.tableWidths = p->tableWidths;
        line.level = p->level;
        p->flags &= ~LineLast;
    } else {
        int32_t n = 0;
        for (int32_t pos = i + 1; pos < raw.Length(); ++pos)
            if (raw.UnitAt(pos) == '|') ++n;
        JobLineUnit* next = document_.NextLine(line.chainLink);
        if (n == 0 || !next) return false;
        LineIndent nextIndent = MeasureLineIndent(next->rawText, style_.overview.tabStop);
        RawString letters;
        if (nextIndent.quoteDepth == line.quoteDepth)
            letters = ParseAlignmentRow(next->rawText, nextIndent.index);
        if (letters.Length() < n) letters.Clear();
        if (letters.IsEmpty()) return false;
        next->kind = KindHidden;
        next->flags |= LineConsumed;
        line.alignment = letters;
        line.cellWidths.SetSize(n);
        line.tableWidths = &line.cellWidths;
        line.level = n;
        line.flags |= LineFirst;
    }
    line.kind = KindTableRow;
    RawString cells = SplitTableCells(raw, i, line.level);
    // Only blanks come off the row's ends: its tabs separate the cells.
    line.text = ParseSegment(line, cells, 0, cells.Length(), true);
    line.flags = static_cast<uint16_t>((line.flags & ~LineClosed) | LineLast | LineOpen | LineBreakAfter);
    return true;
}

void BlockClassifier::ParseIndentedCode(JobLineUnit& line) {
    const RawString& raw = line.rawText;
    line.kind = KindIndentedCode;
    // The four columns are counted after the quote markers.
    int32_t pos = measured_.afterQuotes;
    if (raw.UnitAt(pos) == '\t' && pos < raw.Length()) {
        ++pos;
    } else {
        int32_t blanks = 0;
        while (blanks < 4 && pos < raw.Length() && raw.UnitAt(pos) == ' ') {
            ++pos;
            ++blanks;
        }
        if (blanks < 4 && pos < raw.Length() && raw.UnitAt(pos) == '\t') ++pos;
    }
    line.text = WithoutMarkUnits(raw, pos);
    JobLineUnit* p = previous_;
    if (p && p->kind == KindIndentedCode && p->quoteDepth == line.quoteDepth && !(p->flags & LineClosed)) {
        p->flags &= ~LineLast;
        line.block.ShareFrom(p->block);
    } else {
        line.flags |= LineFirst;
    }
    for (const RawString& mark : style_.codeBlock.tabWrap) {
        int32_t at = line.text.Find(mark);
        if (at >= line.text.Length() && !mark.IsEmpty()) continue;
        if (!mark.IsEmpty()) {
            line.flags |= LineTabColumns;
            line.markBegin = at;
            line.markEnd = at + mark.Length();
        }
        break;
    }
    line.flags = static_cast<uint16_t>((line.flags & ~(LineOpen | LineClosed)) | LineLast | LineBreakAfter);
}

void BlockClassifier::JoinContinuation(JobLineUnit& line, int32_t i) {
    JobLineUnit& p = *previous_;
    line.kind = KindHidden;
    // Its links join the earlier line's list, numbered after its own, since
    // the marks go into that line's text.
    RawString more = ParseSegment(p, line.rawText, i, line.rawText.Length());
    AppendContinuation(p.text, more);
    if (EndsWithTwoBlanks(line.rawText)) p.flags |= LineBreakAfter;
}

void BlockClassifier::ParseParagraph(JobLineUnit& line, int32_t i) {
    const RawString& raw = line.rawText;
    JobLineUnit* next = document_.NextLine(line.chainLink);
    if (next && !(next->flags & LineConsumed)) {
        LineIndent n = MeasureLineIndent(next->rawText, style_.overview.tabStop);
        uint32_t c = next->rawText.UnitAt(n.index);
        if (n.quoteDepth == line.quoteDepth && n.index < next->rawText.Length() && (c == '=' || c == '-')) {
            int32_t e = RunEnd(next->rawText, n.index, c);
            bool blankAfter = false;
            for (int32_t k = e; k < next->rawText.Length() && !blankAfter; ++k)
                blankAfter = IsBlankUnit(next->rawText.UnitAt(k));
            if (e - n.index >= 2 && !blankAfter) {
                next->kind = KindHidden;
                next->flags |= LineConsumed;
                line.kind = KindHeading;
                line.level = c == '=' ? 1 : 2;
                line.text = ParseSegment(line, raw, i, raw.Length());
                line.flags = static_cast<uint16_t>((line.flags & ~LineOpen) | LineBreakAfter | LineClosed);
                return;
            }
        }
    }
    JobLineUnit* p = previous_;
    if (p && !(p->flags & LineBreakAfter) && p->quoteDepth == line.quoteDepth) {
        JoinContinuation(line, i);
        return;
    }
    line.kind = KindParagraph;
    if (p && (p->flags & LineOpen) && p->quoteDepth == line.quoteDepth) {
        if (p->kind == KindParagraph && !(p->flags & LineClosed))
            p->flags &= ~LineLast;
        else
            line.flags |= LineFirst;
    } else {
        line.flags |= LineFirst;
    }
    JobParamList& documentParams = document_.Params();
    line.params.FindOrInsert(ParamAlign).text = DecimalText(documentParams.FindInt(ParamAlign));
    line.params.FindOrInsert(ParamFontRatio).text = DecimalText(documentParams.FindInt(ParamFontRatio));
    line.text = ParseSegment(line, raw, i, raw.Length());
    line.flags = static_cast<uint16_t>((line.flags | LineOpen) & ~LineClosed);
    SetBreakAfter(line);
    line.flags |= LineLast;
}

}  // namespace DocLayer

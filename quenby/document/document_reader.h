// The Markdown reader: a help document on disk becomes its chain of line
// records, each with its block kind, flags, levels and display text. The
// grammar is line by line: every decision looks at the line itself, the
// nearest earlier drawn line and, for setext headings and tables, the line
// after it. Directive lines are read here too.
#pragma once

#include <cstdint>
#include <climits>
#include <vector>

#include "base/raw_list.h"
#include "base/raw_string.h"
#include "quenby/document/document_model.h"

namespace DocLayer {

// The largest document read. A help document shown in the viewer takes
// about 43 bytes of memory per byte in the 64-bit build and some 30 in the
// 32-bit one (the line records with the raw and the display text of every
// line, the view's and the tree's laid-out items): under 500 MB at this
// size, which leaves room in the 2 GiB of a 32-bit process for the program
// and other open documents.
constexpr uint64_t kMostDocumentBytes = 16ull << 20;

// (Re)reads the whole document from its style's path: every load starts
// from an empty chain, a closed fence and no document parameters. An empty
// path leaves the document empty (Read). A missing file, a folder or a file
// that cannot be opened is not read and leaves the document as it was
// (Unreadable), as does a file larger than kMostDocumentBytes (TooLarge);
// when memory runs out the document is left empty (NoMemory).
DocumentLoad LoadDocumentLines(JobLineList& document);

// The kind pass over every record of the document, in chain order.
void ClassifyLines(JobLineList& document);

// Quote markers and indentation at the start of a line.
struct LineIndent {
    int32_t quoteDepth = 0;  // leading '>' markers
    int32_t column = 0;      // indent column after them, tabs expanded
    int32_t index = 0;       // first other character (the length when none)
    int32_t afterQuotes = 0; // first character after the markers (and the one
                             // blank that follows a marker uncounted)
};
// A tab stop below 1 counts as 1. At most `mostQuotes` '>' count as quote
// markers: inside a fenced block the further ones are the code's own text.
LineIndent MeasureLineIndent(const RawString& text, int32_t tabStop, int32_t mostQuotes = INT32_MAX);

// First index at or after start whose unit is not c; the length when none.
int32_t RunEnd(const RawString& text, int32_t start, uint32_t c);
// First index at or after start whose unit is not in the set; the length
// when none.
int32_t FindFirstNotOf(const RawString& text, int32_t start, const RawString& set);

// The alignment letters of a table delimiter row read from first + 1; empty
// when the row is not one.
RawString ParseAlignmentRow(const RawString& text, int32_t first);
// The cells of a table row from after the '|' at i, trimmed, tabs made
// blanks, joined by tabs, at most n of them. A row with fewer '|' than its
// table keeps the text after its last '|' as a cell.
RawString SplitTableCells(const RawString& text, int32_t i, int32_t n);

// The words of a directive between begin and end, split at ':' outside
// double quotes, one pair of enclosing quotes taken off each.
RawLayer::RawStringList SplitDirectiveWords(const RawString& text, int32_t begin, int32_t end);

// Takes the line as a directive when it has the style's directive form;
// true when it did. `previous` is the nearest earlier drawn line.
bool ParseLineDirective(JobLineUnit& line, JobLineUnit* previous);

// The kind pass of one document: the nearest earlier drawn line and the drawn
// lines before it are carried along, so that no line looks back over the
// lines that are not drawn.
class BlockClassifier {
public:
    explicit BlockClassifier(JobLineList& document);
    BlockClassifier(const BlockClassifier&) = delete;
    BlockClassifier& operator=(const BlockClassifier&) = delete;

    // Classifies every record in chain order.
    void Run();
    // Classifies one line from its first character (0 for a blank line, a
    // tab for indented code, '~' inside a fence) at index i.
    void ClassifyBlock(JobLineUnit& line, uint32_t ch, int32_t i);

private:
    void ClosePrevious();
    void ToggleFence(JobLineUnit& line);
    void ParseFenceLine(JobLineUnit& line, int32_t i);
    bool ParseHeading(JobLineUnit& line, int32_t i);
    bool ParseRule(JobLineUnit& line, int32_t i, uint32_t marker);
    void ParseBulletText(JobLineUnit& line, int32_t i);
    bool ParseNumberedItem(JobLineUnit& line, int32_t i);
    void StartListItem(JobLineUnit& line);
    bool ParsePageBreakDiv(JobLineUnit& line, int32_t i);
    bool ParseTableRow(JobLineUnit& line, int32_t i);
    void ParseIndentedCode(JobLineUnit& line);
    void ParseParagraph(JobLineUnit& line, int32_t i);
    void DirectiveOrParagraph(JobLineUnit& line, int32_t i);
    // A bullet when a blank follows the marker, else a directive or paragraph.
    void BulletOrParagraph(JobLineUnit& line, int32_t i, bool nextBlank);
    void JoinContinuation(JobLineUnit& line, int32_t i);

    JobLineList& document_;
    DocumentStyle& style_;
    LineIndent measured_;               // of the line being classified
    JobLineUnit* previous_ = nullptr;   // nearest earlier drawn line
    std::vector<JobLineUnit*> drawn_;   // the drawn lines so far, in order
};

}  // namespace DocLayer

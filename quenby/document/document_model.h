// The help viewer's document model: one line record per line of a Markdown
// file, in file order, with its block kind, flags, levels, display text
// (with inline marks), links and pictures and numbered parameters; the
// document that owns the chain; and the list of open documents.
//
// Inline marks inside a display text: 0x1E, one code letter, for links and
// pictures the serial of the link unit as decimal digits, then 0x1F. Codes:
// d/D bold italic, b/B bold, i/I italic, s/S strike-through, u/U underline,
// l/L link, m/M picture. The whole run from 0x1E to 0x1F is never shown.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/clamp.h"
#include "base/raw_array.h"
#include "base/raw_list.h"
#include "base/raw_string.h"
#include "base/small_block.h"
#include "quenby/document/document_style.h"

namespace DocLayer {

using RawLayer::ClampInt;
using RawLayer::RawArrayC;
using RawLayer::RawListLink;
using RawLayer::RawRange;

// Line kinds.
enum : int32_t {
    KindHidden = 0,         // empty, fence, consumed, merged or "Align"/"FontRatio" line
    KindParagraph = 1,
    KindHeading = 2,
    KindRule = 3,
    KindBullet = 4,
    KindNumbered = 5,
    KindIndentedCode = 6,
    KindFencedCode = 7,
    KindTableRow = 8,
    KindToc = 9,
    KindPageBreak = 11,
    KindPrintPage = 12,
    KindPrintHeader = 13,
    KindPrintFooter = 14,
    KindUnclassified = 15
};

// The drawn content kinds (1 to 9), the only ones the neighbour searches see.
inline bool IsContentKind(int32_t kind) { return kind >= KindParagraph && kind <= KindToc; }

// Flag bits of a line.
enum : uint16_t {
    LineFirst = 0x0001,       // first line of a block
    LineLast = 0x0002,        // last line of its block so far
    LineOpen = 0x0004,        // a later plain line may continue the block
    LineBreakAfter = 0x0008,  // the next line starts a new visual line
    LineClosed = 0x0010,      // no later line joins the block
    LineListItem = 0x0020,
    LineConsumed = 0x0040,    // taken by the line before it; the kind pass skips it
    LineTabColumns = 0x0080,  // indented code laid out as tab columns
    LinePageStart = 0x0200    // begins a printed page
};

// Parameter identifiers.
enum : int32_t {
    ParamPrintPage = 1,
    ParamLeft = 2,
    ParamCenter = 3,
    ParamRight = 4,
    ParamTaskMark = 5,
    ParamAlign = 6,
    ParamFontRatio = 7
};

// Mark characters and codes.
constexpr uint32_t MarkOpen = 0x1E;
constexpr uint32_t MarkClose = 0x1F;
enum : int32_t { LinkKindLink = 1, LinkKindPicture = 2 };

// A block record shared by the lines of one indented code block: its lock, a
// holder count (0 for one holder) and what the layout pass keeps of the
// block as a whole.
struct JobBlockRecord {
    CRITICAL_SECTION lock;
    uint32_t holders;
    // The width of the widest line laid out so far: the frame of every line
    // is as wide.
    int32_t widestWidth;
    // Whether the tab columns were measured (on the block's first line with
    // them): the x where the columns start and the width of the mark text.
    bool columnsMeasured;
    int32_t columnX;
    int32_t markWidth;

    // Forgets the widths, before the block is laid out again.
    void Clear() {
        widestWidth = columnX = markWidth = 0;
        columnsMeasured = false;
    }

    static JobBlockRecord* New();
    // One more holder, under the lock.
    JobBlockRecord* Share();
    // One holder less; the holder that finds the count at 0 deletes the
    // lock and the record.
    void Release();
};

// A line's reference to its block record: the record is made when first
// asked for, so that lines outside code blocks (the most of them) cost none.
class JobBlockRef {
public:
    JobBlockRef() = default;
    ~JobBlockRef() { Reset(); }
    JobBlockRef(const JobBlockRef&) = delete;
    JobBlockRef& operator=(const JobBlockRef&) = delete;
    JobBlockRecord* Get();
    bool Has() const { return record_ != nullptr; }
    // Holds the other's record (made when it has none) in place of this one.
    void ShareFrom(JobBlockRef& other);
    void Reset();

private:
    JobBlockRecord* record_ = nullptr;
};

// One link or picture of a line.
struct JobLinkDataUnit {
    int32_t serial = 0;   // 1 for the first unit of a line, counting up
    int32_t kind = 0;     // 1 link, 2 picture
    RawString text;       // link text or the picture's alternative text
    RawString target;     // link target or picture file
    int32_t widthPixels = 0;
    int32_t heightPixels = 0;
    int32_t widthPercent = 0;
    int32_t heightPercent = 0;
    // A picture: its size as the layout drew it (0 until laid out).
    SIZE drawnSize{0, 0};
};

class JobLinkDataListAllocator : public RawLayer::RawListDeleteAllocator<JobLinkDataUnit> {};

class JobLinkDataList : public RawLayer::RawListR<JobLinkDataListAllocator, JobLinkDataUnit> {
public:
    // The last serial given out to the line's links (0: none yet).
    int32_t serial = 0;

    using RawLayer::RawListBodyT<JobLinkDataUnit>::Append;
    // Appends a copy of the unit (its drawn size 0).
    JobLinkDataUnit* Append(const JobLinkDataUnit& unit);
    // The unit with the serial, or null.
    const JobLinkDataUnit* FindSerial(int32_t serial) const;
};

struct JobParamUnit {
    int32_t id = 0;
    RawString text;
};

class JobParamListAllocator : public RawLayer::RawListDeleteAllocator<JobParamUnit> {};

class JobParamList : public RawLayer::RawListR<JobParamListAllocator, JobParamUnit> {
public:
    // A copy of the first unit with the identifier; (0, empty) when none.
    JobParamUnit Find(int32_t id) const;
    // The first unit with the identifier, appended with an empty text when
    // there is none.
    JobParamUnit& FindOrInsert(int32_t id);
    // The unit's text read as a signed decimal number; 0 when empty or
    // missing.
    int32_t FindInt(int32_t id) const;
};

class JobLineUnit : public RawLayer::SmallBlockObject {
public:
    // The document as its lines see it.
    class Base {
    public:
        virtual ~Base() = default;
        virtual DocumentStyle* Style() = 0;
        virtual const DocumentStyle* Style() const = 0;
        // The record of the chain link after the given one; null at the end.
        virtual JobLineUnit* NextLine(const RawListLink* link) const = 0;
        // Walking back from the link before the given one, the first record
        // of a content kind (1 to 9); null when there is none.
        virtual JobLineUnit* PreviousContentLine(const RawListLink* link) const = 0;
        virtual JobParamList& Params() = 0;

    protected:
        Base() = default;
        Base(const Base&) = default;
        Base& operator=(const Base&) = default;
    };

    explicit JobLineUnit(Base* ownerBase);
    JobLineUnit(const JobLineUnit&) = delete;
    JobLineUnit& operator=(const JobLineUnit&) = delete;

    // Members are destroyed in reverse order: parameters, block reference,
    // links, the arrays, alignment, text, raw text.
    Base* owner;
    RawString rawText;            // the line as read (UTF-8), without its line end
    RawListLink* chainLink = nullptr;
    uint16_t flags = 0;
    int32_t kind = KindUnclassified;
    RawString text;               // display text with inline marks
    int32_t markBegin = 0;        // tab-column mark of an indented code line
    int32_t markEnd = 0;
    int32_t level = 0;
    int32_t number = 0;
    int32_t usedExtent = 0;
    int32_t indent = 0;
    int32_t quoteDepth = 0;
    uint16_t rowState = 0;
    RawString alignment;          // table rows: 'L', 'C' or 'R' per column
    RawArrayC<int32_t> cellWidths;
    RawArrayC<int32_t>* tableWidths = nullptr;  // the table's first row's cellWidths
    JobLinkDataList links;
    JobBlockRef block;
    JobParamList params;
};

// How reading a document ended. Unreadable: the file could not be opened
// (gone, a folder, no access); the lines read before are kept.
enum class DocumentLoad { Read, TooLarge, NoMemory, Unreadable };

// A new empty record of a document (kind 15, UTF-8 texts, no links).
JobLineUnit* InitLineRecord(JobLineUnit::Base* owner);

class JobLineListAllocator : public RawLayer::RawListAllocator<JobLineUnit> {
public:
    void DeleteUnit(JobLineUnit* unit) override { delete unit; }
};

// The document: the chain of line records and the interface its lines use.
class JobLineList : public RawLayer::RawListR<JobLineListAllocator, JobLineUnit>,
                    public JobLineUnit::Base {
public:
    explicit JobLineList(DocumentStyle* style) : style_(style) {}
    JobLineList(const JobLineList&) = delete;
    JobLineList& operator=(const JobLineList&) = delete;

    DocumentStyle* Style() override { return style_; }
    const DocumentStyle* Style() const override { return style_; }
    JobLineUnit* NextLine(const RawListLink* link) const override;
    JobLineUnit* PreviousContentLine(const RawListLink* link) const override;
    JobParamList& Params() override { return params_; }

    // Zeroes the cell widths of every table before a new layout.
    void ResetCellWidths();

    // Opens a document: the program style copied into the document's style
    // and overlaid by the style file in the document's folder, then path,
    // folder and title set and the lines read.
    // How the lines were read (LoadDocumentLines).
    DocumentLoad OpenFile(const RawString& path, const DocumentStyle& programStyle);

    RawString title;   // the file-name part of the path
    // Where the viewer left the document: the page view's top and cursor
    // lines and the table of contents' top and cursor lines (-1: none).
    int32_t viewTopLine = 0;
    int32_t viewCursorLine = -1;
    int32_t treeTopLine = 0;
    int32_t treeCursorLine = -1;

private:
    DocumentStyle* style_;
    JobParamList params_;
};

// An open document: its lines and its own style set.
class JobFileUnit : public JobLineList {
public:
    JobFileUnit() : JobLineList(&style) {}
    DocumentStyle style;
};

class JobFileUnitListAllocator : public RawLayer::RawListAllocator<JobFileUnit> {
public:
    void DeleteUnit(JobFileUnit* unit) override { delete unit; }
};

// The open documents of the viewer, in tab order.
class JobFileList : public RawLayer::RawListR<JobFileUnitListAllocator, JobFileUnit> {};

// The target of the line's first link mark; empty when there is none or its
// serial has no unit.
RawString FindMarkerPair(const JobLineUnit& line);

// The serial written in a link or picture mark run that starts at `pos`
// (0x1E, code, digits, 0x1F); 0 when the run holds no serial. `end`
// receives the position after the run's 0x1F (or the text's end).
int32_t ReadMarkSerial(const RawString& text, int32_t pos, int32_t* end);

// The alignment names and their codes ("Left" 2, "Center" 3, "Right" 4),
// ended by an empty name with code 0.
struct AlignmentName {
    const char* name;
    int32_t code;
};
const AlignmentName* AlignmentNames();
// The code of the name (exact, letter case counts); 0 for any other text.
int32_t AlignmentCode(const RawString& name);

// Makes room in the array for the index: nothing when it is below the
// capacity; else the capacity grows to the smallest capacity + k * step
// (k >= 1) above the index. False only when memory runs out.
bool EnsureStepIndex(RawArrayC<int32_t>& array, int32_t index);

// A signed decimal number at the start of a range (after an optional sign),
// its magnitude held at `limit`; 0 when no digit follows. Only decimal: of
// "0x1F" the number is the "0".
int64_t ParseDecimal64(const RawString& text, RawRange range, int64_t limit);
// The decimal number at the start of a text held at the 32-bit limits.
int32_t ParseDecimal(const RawString& text);

// Constant texts of the reader, the style and the options.
RAW_CONSTANT_TEXT(BlankSetText, " \t")
RAW_CONSTANT_TEXT(FormatMarkText, "%s")
RAW_CONSTANT_TEXT(NoTagKeyText, "NoTag")
RAW_CONSTANT_TEXT(DocumentExtensionsText, "txt,md")
RAW_CONSTANT_TEXT(TabWrapDefaultText, "... ")
RAW_CONSTANT_TEXT(StyleFileNameText, "Quenby.ini")

}  // namespace DocLayer

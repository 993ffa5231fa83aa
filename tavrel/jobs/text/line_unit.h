// The line unit of the text kind: one line of a side, with the marks the
// user puts on it (connect, float), the match id of the latest line compare,
// its 1-based line number and the count of distinct low bytes of its text
// (a cheap weight for the compare), and, once it was drawn, the x positions
// of its characters (line_draw.cpp).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <typeinfo>
#include <unordered_map>

#include "base/raw_string.h"
#include "base/small_block.h"
#include "tavrel/jobs/job_content.h"
#include "toolkit/shaped_text.h"

namespace JobLayer {

using RawLayer::RawString;

// Mark kinds of a line.
enum : uint16_t {
    MarkNone = 0,
    MarkConnect = 1,   // connected to the line of the other side with the same serial
    MarkFloat = 2,     // floated onto the anchor with the same serial
    MarkAnchor = 4,    // with MarkFloat: the line the floated lines attach to
    MarkFloatAnchor = MarkFloat | MarkAnchor
};

// Match ids of the line compare.
enum : uint32_t {
    MatchUndecided = 0,  // not decided yet
    MatchOneSided = 1,   // one-sided, decided while walking
    MatchLeftOver = 2,   // one-sided, left over at the end
    MatchFirstPair = 3   // 3 and up: shared by the two lines of one row
};

class JobLineBaseData;

// The line end a line had in its file, kept for a side whose lines are
// written back each with its own (text_kind.h).
enum : uint8_t {
    FileLineEndNotRead = 0,  // a line the file did not give: the side's line end
    FileLineEndNone = 1,     // the file's last line, without one
    FileLineEndCr = 2,
    FileLineEndLf = 3,
    FileLineEndCrLf = 4
};

// The start of the character that holds unit `index` of a text: 0 below,
// the length at or past the end. Found from the line's start where the
// encoding cannot tell a lead from a trail unit (Shift_JIS), by looking
// back where it can (UTF-8, UTF-16).
int32_t LineCharStart(const RawString& text, int32_t index);

// The x positions of a line's characters in a device context's font, for
// the side's layout revision: position i is the offset of the left edge of
// code unit i from the start of the text, trail units of a character stand
// where the unit after them does, the entry after the last unit is the end
// of the text and the one after that the end plus one cell (the caret place
// after the text). Tabs reach the next tab stop, as DrawTextEx draws them.
class JobLineDrawData : public JobDetailColumn::Viewer {
public:
    // Computes the positions unless they are of this revision and of a text
    // of this length (a changed text is marked by Invalidate).
    void Layout(const JobLineBaseData& base, HDC dc, const RawString& text);
    void Invalidate() { count = -1; }
    // Whether the positions belong to a text of this length.
    bool ValidFor(int32_t length) const { return count == length && positions != nullptr; }
    // Position i, the index clamped to the array.
    int32_t PositionX(int32_t index) const override;
    // Over the glyphs, where text the platform shapes stands otherwise than
    // laid out.
    void Cells(int32_t from, int32_t to, std::vector<std::pair<int32_t, int32_t>>& cells) const override;
    // The caret's x before unit `index` (the leading edge of its character;
    // at the end, the trailing edge of the last one).
    int32_t CaretX(int32_t index) const;
    // The unit whose glyphs hold x: -1 left of the text, the length right
    // of it.
    int32_t UnitAtX(int32_t x) const;

    uint16_t stamp = 0;
    std::unique_ptr<int32_t[]> positions;  // count + 2 entries
    // Where each unit's glyphs stand, for a line that holds text the
    // platform shapes (count entries); null for any other line.
    std::unique_ptr<WinLayer::WinShapedPlace[]> shaped;
    int32_t count = -1;                    // code units laid out; -1 none
    int32_t cellWidth = 0;
};

class JobLineUnit;

// The lines whose width may differ from what the sides' widths were taken
// from: measuring a long side again after an edit then looks at these
// lines only, not at every line of it. A line comes here when its text is
// set (a new line too), with the width noted before its first change; a
// line that goes away leaves, and a width it was measured at is kept for
// its side (only a change of a line measured at the widest can make a side
// narrower). A load, too many lines, or a line changed on another thread
// make the log start a new epoch: the sides are then measured whole. The
// lines live on the GUI thread, and so does the log.
class JobLineChangeLog {
public:
    static JobLineChangeLog& Instance();

    // Nothing changed since now (the sides were just measured).
    void Clear();
    // Anything may have changed: the next measuring walks every line.
    void Invalidate();
    // The epoch of the lines listed: a new one after Invalidate.
    uint32_t Epoch() const { return epoch_; }
    // The lines changed since Clear, with the width each had noted before
    // (-1 when none, or when it was not measured for a side).
    const std::unordered_map<JobLineUnit*, int32_t>& Lines() const { return lines_; }
    // The widest width noted of a line measured for side 0 or 1 that has
    // gone since Clear (-1 when none did), and how many went at it.
    int32_t GoneWidth(uint32_t side) const { return side < 2 ? gone_[side] : -1; }
    int32_t GoneCount(uint32_t side) const { return side < 2 ? goneCount_[side] : 0; }

    void Changed(JobLineUnit& line);
    // `count` lines not listed are about to change (or come) at once: what
    // Changed for each would come to when they are too many to list is done
    // once, before the first, instead of listing lines only to drop them.
    void ChangingMany(size_t count);
    void Gone(JobLineUnit& line);

private:
    JobLineChangeLog();
    bool Foreign();
    // Empties the list and the gone widths.
    void Forget();
    // More lines than this changed at once are measured by walking them all.
    static constexpr size_t kMostLines = 1u << 16;
    std::unordered_map<JobLineUnit*, int32_t> lines_;
    int32_t gone_[2] = {-1, -1};
    int32_t goneCount_[2] = {0, 0};
    uint32_t epoch_ = 1;
    // Since Invalidate, until the sides are measured whole (Clear).
    bool walkAll_ = false;
    DWORD thread_ = 0;
};

class JobLineUnit : public JobContentUnit {
public:
    JobLineUnit() {}
    explicit JobLineUnit(const RawString& text) { SetText(text); }
    ~JobLineUnit() override {
        if (widthBits_ & (kWidthLogged | kWidthSides)) JobLineChangeLog::Instance().Gone(*this);
    }

    // A line of a load: the unit and a copy of the text's units in one block
    // of the pool, the text a view of them (a long line gets a text of its
    // own). One block per line instead of two, and the reader's buffer is
    // copied from directly. Destroy gives the block back.
    static JobLineUnit* NewWithText(const RawString& text, RawLayer::SmallBlockBatches* blocks = nullptr) {
        return NewWithText(text, text.All(), blocks);
    }
    // The same with the units of a range of a text (a range within it).
    static JobLineUnit* NewWithText(const RawString& text, RawLayer::RawRange range,
                                    RawLayer::SmallBlockBatches* blocks);

    // Sets the text; its distinct low bytes are counted when next asked for.
    void SetText(const RawString& text) {
        if (!(widthBits_ & kWidthLogged)) JobLineChangeLog::Instance().Changed(*this);
        text_ = text;
        distinctCount_ = kDistinctUnknown;
        widthNote_ = -1;
        if (draw_) draw_->Invalidate();
    }
    const RawString& LineText() const { return text_; }
    // The line number as decimal text (empty before the line is numbered),
    // made when asked for: a load numbers every line, and only the shown
    // ones need the text.
    RawString NumberText() const { return lineNumber_ != 0 ? RawString::FromInt(lineNumber_) : RawString(); }
    int32_t LineNumber() const { return lineNumber_; }
    // Counted at the first call after the text was set: the line compare
    // weighs only the lines it scores, a small part of a large load.
    uint32_t DistinctCount() const {
        if (distinctCount_ == kDistinctUnknown) distinctCount_ = static_cast<uint16_t>(CountDistinct(text_));
        return distinctCount_;
    }

    // The text's width for a layout revision of its side: measured (exact)
    // or an upper bound from the characters' advances; -1 when none is
    // noted. A changed text forgets it, so that measuring a side again
    // after an edit measures only the edited lines.
    int32_t NotedWidth(uint16_t revision, bool& exact) const {
        if (widthNote_ < 0 || widthStamp_ != revision) return -1;
        exact = (widthBits_ & kWidthExact) != 0;
        return widthNote_;
    }
    void NoteWidth(uint16_t revision, int32_t width, bool exact) {
        widthNote_ = width;
        widthStamp_ = revision;
        widthBits_ = static_cast<uint8_t>(exact ? widthBits_ | kWidthExact : widthBits_ & ~kWidthExact);
    }
    // The width noted of any revision; -1 when none.
    int32_t AnyNotedWidth() const { return widthNote_; }
    // The side (0 or 1) whose widths the line was last measured for; -1
    // when it never was.
    int32_t MeasuredSide() const {
        return (widthBits_ & kWidthSides) == kWidthSide1 ? 0 : (widthBits_ & kWidthSides) == kWidthSide2 ? 1 : -1;
    }
    void SetMeasuredSide(uint32_t side) {
        widthBits_ = static_cast<uint8_t>((widthBits_ & ~kWidthSides) | (side == 0 ? kWidthSide1 : kWidthSide2));
    }
    // Whether the change log holds the line (JobLineChangeLog only).
    bool WidthLogged() const { return (widthBits_ & kWidthLogged) != 0; }
    void SetWidthLogged(bool on) {
        widthBits_ = static_cast<uint8_t>(on ? widthBits_ | kWidthLogged : widthBits_ & ~kWidthLogged);
    }

    bool IsFloatAnchor() const { return (markKind & MarkFloatAnchor) == MarkFloatAnchor; }
    bool IsPlaced() const { return (flags & UnitPlaced) != 0; }

    // The number of distinct values of the low 8 bits of the text's units.
    static uint32_t CountDistinct(const RawString& text) {
        // Every line of a load passes here: the units are read in place and
        // only marked; the marks are counted once at the end.
        uint32_t seen[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        int32_t n = text.Length();
        if (text.Kind() == RawLayer::KindUtf16) {
            const uint16_t* p = static_cast<const uint16_t*>(text.Data());
            for (int32_t i = 0; i < n; ++i) seen[(p[i] >> 5) & 7] |= 1u << (p[i] & 31);
        } else {
            const uint8_t* p = static_cast<const uint8_t*>(text.Data());
            for (int32_t i = 0; i < n; ++i) seen[p[i] >> 5] |= 1u << (p[i] & 31);
        }
        uint32_t count = 0;
        for (uint32_t word : seen) count += static_cast<uint32_t>(__builtin_popcount(word));
        return count;
    }

    RawString Name() const override { return text_; }
    // Column 0 the line number, column 1 the text.
    RawString ColumnText(int32_t column) const override {
        if (column == 0) return NumberText();
        if (column == 1) return text_;
        return RawString();
    }
    RawString Text() const override { return text_; }

    // Measuring, layout, drawing and hit testing (line_draw.cpp). A line
    // never laid out, or changed since, answers from its text's character
    // boundaries.
    void LayoutColumns(JobSideRecord& side, const RECT& area, bool hideFirstColumn) override;
    void MeasureColumns(JobSideRecord& side, HDC dc, int32_t margin) override;
    void MeasureContent(JobSideRecord& side, HDC dc, int32_t margin) override;
    void MeasureFirstColumn(JobSideRecord& side, HDC dc, int32_t margin) override;
    void Draw(const JobDrawContext& context) override;
    int32_t FitCharIndex(int32_t index) const override;
    uint32_t ColumnAtX(const JobDrawContext& context, int32_t x) const override;
    int32_t CharIndexAtX(const JobDrawContext& context, int32_t x) const override;
    RECT CaretRect(const JobDrawContext& context, int32_t index) const override;
    RECT TextAreaRect(const JobDrawContext& context) const override;
    void LayoutCharPositions(JobSideRecord& side, HDC dc) override;
    int32_t CharMidX(int32_t index) const override;
    int32_t CharIndexAtOffset(int32_t x) const override;
    int32_t LastColumn() const override { return text_.Length(); }
    int32_t EndColumn() const override { return text_.Length(); }
    int32_t NextColumn(int32_t index) const override;
    // The positions, when the line is laid out for its present text.
    const JobLineDrawData* DrawData() const {
        return draw_ && draw_->ValidFor(text_.Length()) ? draw_.get() : nullptr;
    }

    // The line end the line had in its file (FileLineEnd...).
    uint8_t FileLineEnd() const { return fileLineEnd_; }
    void SetFileLineEnd(uint8_t end) { fileLineEnd_ = end; }

    void SetNumber(int32_t number) override { lineNumber_ = number; }
    void Destroy() override {
        if (blockBytes_ == 0) {
            delete this;
            return;
        }
        // Made by NewWithText: the text (a view into the block) goes with
        // the unit, then the block.
        const size_t bytes = blockBytes_;
        this->~JobLineUnit();
        RawLayer::SmallRelease(this, bytes);
    }

protected:
    explicit JobLineUnit(uint16_t unitFlags) : JobContentUnit(unitFlags) {}

private:
    static constexpr uint16_t kDistinctUnknown = 0xFFFF;
    // widthBits_: the noted width is exact; the change log holds the line;
    // the side it was measured for.
    static constexpr uint8_t kWidthExact = 1, kWidthLogged = 2, kWidthSide1 = 4, kWidthSide2 = 8,
                             kWidthSides = kWidthSide1 | kWidthSide2;
    // Position i of the laid-out text, or an estimate from the characters
    // when the line is not laid out.
    int32_t PositionOf(int32_t index) const;
    void MeasureColumn(JobSideRecord& side, HDC dc, int32_t margin, int32_t column, int tabLength);
    void DrawLineText(const JobDrawContext& context, const RECT& cell);
    // Steps 1 to 4 of drawing the text into a context whose origin is the
    // text cell's top-left.
    void PaintLineText(const JobDrawContext& context, HDC dc, int32_t width, int32_t height);

    int32_t lineNumber_ = 0;
    mutable uint16_t distinctCount_ = 0;  // at most 256; kDistinctUnknown until counted
    uint16_t blockBytes_ = 0;     // the pool block of NewWithText; 0 for `new`
    uint16_t widthStamp_ = 0;     // the revision of widthNote_
    uint8_t widthBits_ = 0;       // kWidthExact, kWidthLogged, kWidthSides
    uint8_t fileLineEnd_ = FileLineEndNotRead;
    int32_t widthNote_ = -1;      // see NotedWidth
    RawString text_;
    std::unique_ptr<JobLineDrawData> draw_;  // made at the first layout
};

// A line unit that lives for the whole process; lists never delete it.
class JobSharedLineUnit : public JobLineUnit {
public:
    explicit JobSharedLineUnit(uint16_t unitFlags) : JobLineUnit(unitFlags) {}
    void Destroy() override {}
};

// The one shared placeholder line (flags 1, empty texts) that stands in a
// row for the missing side.
inline JobLineUnit& EmptyLineUnit() {
    static JobSharedLineUnit unit(UnitPlaceholder);
    return unit;
}

// The unit as a line, or null when it is none. A plain line (nearly every
// unit of a text side) is known by its type alone, without the search of a
// dynamic cast, which walks of a whole side would pay for every line.
inline JobLineUnit* AsLineUnit(JobContentUnit* unit) {
    if (unit && typeid(*unit) == typeid(JobLineUnit)) return static_cast<JobLineUnit*>(unit);
    return dynamic_cast<JobLineUnit*>(unit);
}
inline const JobLineUnit* AsLineUnit(const JobContentUnit* unit) {
    return AsLineUnit(const_cast<JobContentUnit*>(unit));
}

}  // namespace JobLayer

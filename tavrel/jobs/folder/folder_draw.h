// Folder rows on screen: the entry-kind icons, and the folder kind's
// detail-box strategy (name, size and date lined up at tab stops in both
// boxes).
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "tavrel/jobs/job_dbox_draw.h"

namespace WinLayer {
class WinBitmapPool;
}

namespace JobLayer {

// Icon resources of the entry kinds: a folder, a text file, any other file.
enum : int32_t {
    FolderIconResource = 995,
    TextFileIconResource = 132,
    OtherFileIconResource = 996
};

// The icon size the pool is first filled at.
constexpr int32_t kDefaultEntryIconSide = 16;

// The detail boxes' tab stop, in characters.
constexpr int32_t kPathDetailTabCharacters = 4;

// The cell of the icon pool for an entry kind: 0 a folder, 1 a text file,
// 2 any other kind.
int32_t EntryIconCell(uint32_t entryKind);
// The icon pool of the entry kinds, its cells `side` pixels square: the
// icon resources of the program's module, or, for one the module does not
// hold, a drawn folder or file glyph, so every entry shows an icon. Filled
// again when the size changes; null when no pool can be made.
WinLayer::WinBitmapPool* EntryIconPool(int32_t side);
// The icon side for a row height: two pixels less, within 0-32.
int32_t EntryIconSide(int32_t rowHeight);

class JobPathDBoxDraw : public JobBaseDBoxDraw {
public:
    static JobPathDBoxDraw& Shared();

    // The input method by the box's mode, the button-face background, tab
    // stops every kPathDetailTabCharacters characters, plain drawing.
    void PrepareBox(DetailDrawRecord& record) override;
    // The name, the side's first tab count of tabs, the size title and
    // text, the second tab count of tabs, the date title and text; empty
    // for the placeholder.
    RawString DetailText(DetailDrawRecord& record, JobContentUnit* unit) override;
    // Both boxes take the larger width (a whole number of tab widths); the
    // tab counts bring the size to the last stop that leaves room for the
    // size and date, the date to the next stop past the size, with at
    // least one tab each.
    void MeasureBox(DetailDrawRecord& record1, DetailDrawRecord& record2) override;
    // For a changed row: the names compared by characters, the tabs, the
    // size and date parts compared by tokens; empty otherwise.
    JobDetailList DetailList(const JobReportUnit* row, const RawString& text1, const RawString& text2) override;
};

}  // namespace JobLayer

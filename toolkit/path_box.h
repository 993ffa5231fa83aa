// The path box: the list part of the path chooser. Rows are the fixed
// places, the drives, the chain of the current path and the entries of the
// current folder, each drawn with the icon of its kind from one icon pool
// shared by every path box.
//
// The box writes the path of a row the user moves onto into the shared
// path and tells its parent with message 0x8006 (wParam the sub-command,
// lParam the box). The cursor a listing places writes nothing and tells
// nobody: the chooser relists on a path change, so a listing that reported
// its cursor would start the next listing without end, and would overwrite
// the partial name being typed.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"
#include "toolkit/bitmap_pool.h"
#include "toolkit/list_box.h"

namespace WinLayer {

struct WinPathBoxItem {
    enum Kind : uint32_t {
        KindDrivesHead = 0,
        KindDrive = 1,
        KindServer = 2,
        KindChainFolder = 3,
        KindChainMissing = 4,
        KindFolder = 5,
        KindFile = 6,
        KindShortcut = 7,
        KindCount = 8,
    };

    RawLayer::RawString name;
    RawLayer::RawString path;
    uint32_t depth = 0;
    uint32_t kind = KindFolder;
    // 1 for rows made by a listing, 0 for the fixed places.
    uint8_t generated = 0;
};

class WinPathBoxItemListAllocator : public RawLayer::RawListDeleteAllocator<WinPathBoxItem> {};
class WinPathBoxItemList : public RawLayer::RawListR<WinPathBoxItemListAllocator, WinPathBoxItem> {};

// What the box shares with its chooser: the path it writes and the options
// it reads.
struct WinPathBoxShared {
    enum : uint32_t {
        // Folders and shortcut files only.
        OptionFoldersOnly = 0x01,
        // Hidden and system entries listed.
        OptionHidden = 0x08,
    };
    RawLayer::RawString path;
    uint32_t options = 0;
};

class WinPathBox : public WinListBoxR<WinPathBoxItem> {
public:
    // Sub-commands of message 0x8006 the box sends.
    enum : uint32_t { CommandAccept = 1, CommandPathShown = 6 };
    static constexpr COLORREF kCursorActive = 0xFFD0C0;
    static constexpr COLORREF kCursorInactive = 0xFFEAE4;
    static constexpr COLORREF kHeadLine = 0xA0A0A0;
    static constexpr int32_t kHeadBand = 6;
    static constexpr int32_t kIndent = 7;
    // The most rows a path's chain makes; deeper components are not shown.
    static constexpr int32_t kMaxChainRows = 512;

    explicit WinPathBox(WinPathBoxShared* shared);
    ~WinPathBox() override;

    // Opens the cursor row: a place, drive or folder is listed, a shortcut
    // is resolved and its target's folder listed.
    void OpenItem();
    // Rebuilds the rows for the current folder and places the cursor.
    void Refresh() override;
    // A user's move: the row's path becomes the shared path and the parent
    // hears sub-command 6.
    void MoveCursorTo(int32_t index) override;

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnItemDoubleClick(POINT point, int32_t index) override;
    void DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit& unit,
                    WinPathBoxItem* item) override;
    // Loads the icon pool when needed and measures the line height once.
    void BeginMeasure(WinDrawContext& dc, int32_t count) override;
    void MeasureItemOf(WinDrawContext& dc, RECT& size, int32_t index, WinListBoxItemUnit& unit,
                       WinPathBoxItem* item) override;

    // The icon resources of the kinds (toolkit/resources.rc, linked into
    // the program as the object library toolkit_res).
    enum : uint16_t {
        IconChainFolder = 991,
        IconChainMissing = 992,
        IconDrive = 993,
        IconServer = 994,
        IconFolder = 995,
        IconFile = 996,
        IconShortcut = 997,
    };
    static uint16_t IconResourceOf(uint32_t kind);

    // The pool every path box draws from.
    static WinBitmapPool& IconPool();
    // Fills the pool's eight cells at a size unless they already are.
    static void EnsureIcons(int32_t width, int32_t height);

    RawLayer::RawString currentFolder;
    WinPathBoxItemList pathItems;
    WinPathBoxShared* shared;

private:
    WinPathBoxItem* Append(const RawLayer::RawString& name, const RawLayer::RawString& path, uint32_t depth,
                           uint32_t kind, uint8_t generated);
    WinPathBoxItem* ListDrives(const RawLayer::RawString& wanted, WinPathBoxItem* head);
    WinPathBoxItem* ListFolder(WinPathBoxItem* parent, const RawLayer::RawString& wanted);
    WinPathBoxItem* Walk(int32_t position, uint32_t depth, WinPathBoxItem* parent);
    void ResolveShortcut(const WinPathBoxItem& item);
    void Tell(uint32_t command);
    void ShowCursorPath();

    // Set while a listing places its cursor.
    bool placing_ = false;
    // The line height of the font at the last layout.
    int32_t textHeight_ = 0;
};

}  // namespace WinLayer

#include "toolkit/path_box.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <string>

#include "base/api_text.h"
#include "base/file_system.h"
#include "base/profile.h"
#include "toolkit/bitmap_alpha.h"
#include "toolkit/environment.h"
#include "toolkit/win_message.h"
#include "toolkit/work_counts.h"

namespace WinLayer {

using RawLayer::RawRange;
using RawLayer::RawString;

namespace {

// ---- the shared icon pool -----------------------------------------------------------------

struct IconPoolState {
    WinBitmapPool pool;
    int32_t boxes = 0;
};

IconPoolState& PoolState() {
    static IconPoolState state;
    return state;
}

// The stand-in for a program without the icon resources: a small painter
// over 32-bit pixels with straight alpha, in units of a 16-pixel design
// scaled to the icon's side.
struct IconCanvas {
    uint32_t* bits;
    int32_t side;

    int32_t Scale(int32_t unit) const { return unit * side / 16; }
    void Fill(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t argb) {
        const int32_t x0 = std::max(0, Scale(left)), y0 = std::max(0, Scale(top));
        const int32_t x1 = std::min(side, Scale(right)), y1 = std::min(side, Scale(bottom));
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x) bits[y * side + x] = argb;
    }
    // A frame one design unit wide around a filled box.
    void Box(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t fill, uint32_t edge) {
        Fill(left, top, right, bottom, edge);
        Fill(left + 1, top + 1, right - 1, bottom - 1, fill);
    }
    // An arrow pointing down, centred on x, from top to bottom.
    void ArrowDown(int32_t x, int32_t top, int32_t bottom, uint32_t argb) {
        Fill(x - 1, top, x + 1, bottom - 2, argb);
        Fill(x - 3, bottom - 3, x + 3, bottom - 2, argb);
        Fill(x - 2, bottom - 2, x + 2, bottom - 1, argb);
        Fill(x - 1, bottom - 1, x + 1, bottom, argb);
    }
};

void PaintFolder(IconCanvas& canvas, uint32_t fill) {
    canvas.Box(1, 3, 8, 6, fill, 0xFF806020);
    canvas.Box(1, 5, 15, 14, fill, 0xFF806020);
}

void PaintDrive(IconCanvas& canvas) {
    canvas.Box(1, 5, 15, 11, 0xFFC8C8C8, 0xFF505050);
    canvas.Fill(11, 7, 13, 9, 0xFF20C040);
}

// The stand-in image of a kind.
void PaintKind(IconCanvas& canvas, uint32_t kind) {
    switch (kind) {
    case WinPathBoxItem::KindDrivesHead:
    case WinPathBoxItem::KindDrive:
        PaintDrive(canvas);
        break;
    case WinPathBoxItem::KindServer:
        PaintDrive(canvas);
        canvas.Fill(7, 11, 9, 14, 0xFF404040);
        canvas.Fill(3, 14, 13, 15, 0xFF404040);
        break;
    case WinPathBoxItem::KindChainFolder:
        PaintFolder(canvas, 0xFFF0D040);
        canvas.ArrowDown(8, 6, 13, 0xFF2040E0);
        break;
    case WinPathBoxItem::KindChainMissing:
        PaintFolder(canvas, 0xFFF09030);
        canvas.ArrowDown(8, 6, 13, 0xFF8030C0);
        break;
    case WinPathBoxItem::KindFolder:
        PaintFolder(canvas, 0xFFF0D040);
        break;
    case WinPathBoxItem::KindFile:
        canvas.Box(3, 1, 13, 15, 0xFFFFFFFF, 0xFF606060);
        canvas.Fill(10, 1, 13, 4, 0x00000000);
        canvas.Fill(10, 3, 12, 4, 0xFF606060);
        break;
    default:
        canvas.Box(1, 1, 15, 15, 0xFFFFFFFF, 0xFF404040);
        canvas.Fill(4, 6, 10, 8, 0xFF2060D0);
        canvas.Fill(4, 6, 6, 12, 0xFF2060D0);
        canvas.Fill(8, 4, 10, 10, 0xFF2060D0);
        break;
    }
}

// Makes the icon of a kind at a side: a 32-bit colour bitmap with alpha
// and an empty mask. Null when GDI refuses.
HICON MakeKindIcon(uint32_t kind, int32_t side) {
    BITMAPINFO info = WinBitmapAlpha::TopDownHeader(side, side);
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!colour || !bits) {
        if (colour) DeleteObject(colour);
        return nullptr;
    }
    IconCanvas canvas{static_cast<uint32_t*>(bits), side};
    std::fill(canvas.bits, canvas.bits + side * side, 0u);
    PaintKind(canvas, kind);
    GdiFlush();
    HBITMAP mask = CreateBitmap(side, side, 1, 1, nullptr);
    HICON icon = nullptr;
    if (mask) {
        ICONINFO description{TRUE, 0, 0, mask, colour};
        icon = CreateIconIndirect(&description);
        DeleteObject(mask);
    }
    DeleteObject(colour);
    return icon;
}

// The icon resource of a kind, loaded from the program at a side; null when
// the program does not hold it.
HICON LoadKindIcon(uint32_t kind, int32_t side) {
    const uint16_t id = WinPathBox::IconResourceOf(kind);
    return static_cast<HICON>(LoadImageW(WinEnvironment::Instance().Module(), MAKEINTRESOURCEW(id), IMAGE_ICON, side,
                                         side, LR_DEFAULTCOLOR));
}

// Length of the common prefix of two names, ASCII letters without case.
int32_t CommonPrefix(const RawString& a, const RawString& b) {
    const int32_t limit = std::min(a.Length(), b.Length());
    int32_t n = 0;
    for (; n < limit; ++n) {
        uint32_t x = a.UnitAt(n), y = b.UnitAt(n);
        if (x >= 'a' && x <= 'z') x -= 'a' - 'A';
        if (y >= 'a' && y <= 'z') y -= 'a' - 'A';
        if (x != y) break;
    }
    return n;
}

bool EndsWithLnk(const RawString& name) {
    const int32_t n = name.Length();
    if (n < 4) return false;
    static const char kTail[] = ".LNK";
    for (int32_t i = 0; i < 4; ++i) {
        uint32_t unit = name.UnitAt(n - 4 + i);
        if (unit >= 'a' && unit <= 'z') unit -= 'a' - 'A';
        if (unit != static_cast<uint8_t>(kTail[i])) return false;
    }
    return true;
}

// The next separator at or after a position; the length when none.
int32_t NextSeparator(const RawString& text, int32_t from) {
    for (int32_t i = from; i < text.Length(); ++i)
        if (RawLayer::IsPathSeparator(text.UnitAt(i))) return i;
    return text.Length();
}

RawString Joined(const RawString& folder, const RawString& name, RawRange range) {
    RawString path(folder.Kind());
    path.Append(folder);
    path.AppendChar('\\');
    path.AppendRange(name, range);
    return path;
}

}  // namespace

// ---- the box ------------------------------------------------------------------------------

WinPathBox::WinPathBox(WinPathBoxShared* sharedInfo) : shared(sharedInfo) {
    ++PoolState().boxes;
    Append(RawString::FromLiteral("[Desktop]"), RawLayer::ApiGetSpecialFolder(CSIDL_DESKTOP, RawLayer::KindUtf8), 0,
           WinPathBoxItem::KindFolder, 0);
    Append(RawString::FromLiteral("[MyDocument]"), RawLayer::ApiGetSpecialFolder(CSIDL_PERSONAL, RawLayer::KindUtf8),
           0, WinPathBoxItem::KindFolder, 0);
}

WinPathBox::~WinPathBox() {
    // The rows point into the items: the list lets go of them first.
    ClearItems();
    IconPoolState& state = PoolState();
    if (--state.boxes <= 0) {
        state.boxes = 0;
        state.pool.Release();
        state.pool.filled = false;
    }
}

uint16_t WinPathBox::IconResourceOf(uint32_t kind) {
    static const uint16_t kIds[WinPathBoxItem::KindCount] = {
        IconDrive, IconDrive, IconServer, IconChainFolder, IconChainMissing, IconFolder, IconFile, IconShortcut};
    return kind < WinPathBoxItem::KindCount ? kIds[kind] : uint16_t(IconFolder);
}

WinBitmapPool& WinPathBox::IconPool() { return PoolState().pool; }

void WinPathBox::EnsureIcons(int32_t width, int32_t height) {
    IconPoolState& state = PoolState();
    WinBitmapPool& pool = state.pool;
    if (pool.filled && pool.cellWidth == width && pool.cellHeight == height) return;
    if (!pool.SetCellSize(width, height) || !pool.Reserve(WinPathBoxItem::KindCount)) return;
    ++WinWorkCounts::Instance().iconLoads;
    const int32_t side = std::max(width, height);
    for (uint32_t kind = 0; kind < WinPathBoxItem::KindCount; ++kind) {
        // The drawing in code stands in only when the program lacks the
        // resource, so a row never shows without an icon.
        HICON icon = LoadKindIcon(kind, side);
        if (!icon) icon = MakeKindIcon(kind, side);
        if (!icon) continue;
        pool.ReadIcon(static_cast<int32_t>(kind), icon);
        DestroyIcon(icon);
    }
    pool.filled = true;
}

WinPathBoxItem* WinPathBox::Append(const RawString& name, const RawString& path, uint32_t depth, uint32_t kind,
                                   uint8_t generated) {
    WinPathBoxItem* item = pathItems.AddNew();
    item->name = name;
    item->path = path;
    item->depth = depth;
    item->kind = kind;
    item->generated = generated;
    return item;
}

WinPathBoxItem* WinPathBox::ListDrives(const RawString& wanted, WinPathBoxItem* head) {
    const DWORD drives = GetLogicalDrives();
    uint32_t letter = wanted.IsEmpty() ? 0 : wanted.UnitAt(0);
    if (letter >= 'a' && letter <= 'z') letter -= 'a' - 'A';
    WinPathBoxItem* selected = head;
    for (uint32_t bit = 0; bit < 26; ++bit) {
        if (!(drives & (1u << bit))) continue;
        RawString name(currentFolder.Kind());
        name.AppendChar('A' + bit);
        name.AppendChar(':');
        WinPathBoxItem* item = Append(name, name, 1, WinPathBoxItem::KindDrive, 1);
        if ('A' + bit == letter) selected = item;
    }
    return selected;
}

WinPathBoxItem* WinPathBox::ListFolder(WinPathBoxItem* parent, const RawString& wanted) {
    uint32_t mask = RawLayer::FindSkipDots;
    if (!shared || !(shared->options & WinPathBoxShared::OptionHidden))
        mask |= RawLayer::FindSkipSystem | RawLayer::FindSkipHidden;
    if (shared && (shared->options & WinPathBoxShared::OptionFoldersOnly)) mask |= RawLayer::FindSkipPlainFiles;
    WinPathBoxItem* selected = parent;
    int32_t best = 0;
    RawLayer::RawFileFind find(parent->path);
    while (find.Next(mask)) {
        const uint32_t kind = find.IsFolder()             ? WinPathBoxItem::KindFolder
                              : EndsWithLnk(find.Name()) ? WinPathBoxItem::KindShortcut
                                                         : WinPathBoxItem::KindFile;
        WinPathBoxItem* item = Append(find.Name(), find.FullPath(), parent->depth + 1, kind, 1);
        const int32_t shared_prefix = CommonPrefix(find.Name(), wanted);
        if (shared_prefix > best) {
            best = shared_prefix;
            selected = item;
        }
    }
    return selected;
}

// Walks the path's components from a position as a loop: each separated
// component becomes a chain row one level deeper, the last one the wanted
// name of the listing.
WinPathBoxItem* WinPathBox::Walk(int32_t position, uint32_t depth, WinPathBoxItem* parent) {
    const RawString& path = currentFolder;
    // Each chain row holds its whole path: a pasted path of thousands of
    // components would otherwise hold the square of its length in rows.
    for (int32_t rows = 0; position < path.Length(); ++rows) {
        if (rows >= kMaxChainRows) return parent;
        const int32_t end = NextSeparator(path, position);
        const RawRange component{position, end};
        if (end >= path.Length()) {
            RawString wanted(path.Kind());
            wanted.AppendRange(path, component);
            return ListFolder(parent, wanted);
        }
        RawString name(path.Kind());
        name.AppendRange(path, component);
        RawString full = Joined(parent->path, path, component);
        const uint32_t kind =
            RawLayer::FolderExists(full) ? WinPathBoxItem::KindChainFolder : WinPathBoxItem::KindChainMissing;
        parent = Append(name, full, depth, kind, 1);
        ++depth;
        position = end + 1;
    }
    return ListFolder(parent, RawString(path.Kind()));
}

void WinPathBox::Refresh() {
    ++WinWorkCounts::Instance().listings;
    for (RawLayer::RawListLink* link = pathItems.FirstLink(); !pathItems.IsEnd(link);) {
        WinPathBoxItem* item = static_cast<WinPathBoxItem*>(link->unit);
        link = item->generated ? pathItems.RemoveLink(link) : link->next;
    }
    const RawString& p = currentFolder;
    WinPathBoxItem* head = Append(RawString::FromLiteral("[Drives]"), RawString(p.Kind()), 0,
                                  WinPathBoxItem::KindDrivesHead, 1);
    WinPathBoxItem* selected = head;
    const uint32_t first = p.Length() > 0 ? p.UnitAt(0) : 0;
    const bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    if (letter && p.Length() >= 2 && p.UnitAt(1) == ':') {
        RawString drive(p.Kind());
        drive.AppendChar(first >= 'a' ? first - ('a' - 'A') : first);
        drive.AppendChar(':');
        if (p.Length() > 2 && RawLayer::IsPathSeparator(p.UnitAt(2))) {
            WinPathBoxItem* item = Append(drive, drive, 1, WinPathBoxItem::KindDrive, 1);
            selected = Walk(3, 2, item);
        } else {
            selected = ListDrives(drive, head);
        }
    } else if (p.Length() >= 2 && p.UnitAt(0) == '\\' && p.UnitAt(1) == '\\') {
        const int32_t end = NextSeparator(p, 2);
        RawString server(p.Kind());
        server.AppendRange(p, RawRange{0, end});
        if (end < p.Length()) {
            WinPathBoxItem* item = Append(server, server, 1, WinPathBoxItem::KindServer, 1);
            selected = Walk(end + 1, 2, item);
        } else {
            selected = ListDrives(RawString(p.Kind()), head);
        }
    } else {
        selected = ListDrives(p, head);
    }

    ClearItems();
    int32_t row = kNone;
    int32_t index = 0;
    for (WinPathBoxItem& item : pathItems) {
        AddItem(&item);
        if (&item == selected) row = index;
        ++index;
    }
    placing_ = true;
    WinListBox::Refresh();
    WinListBox::MoveCursorTo(row);
    placing_ = false;
}

void WinPathBox::MoveCursorTo(int32_t index) {
    WinListBox::MoveCursorTo(index);
    if (!placing_) ShowCursorPath();
}

void WinPathBox::ShowCursorPath() {
    WinListBoxItemUnit* unit = cursor >= 0 ? ItemAt(cursor) : nullptr;
    if (!unit || !unit->item) return;
    if (shared) shared->path = ItemOf(*unit)->path;
    Tell(CommandPathShown);
}

void WinPathBox::Tell(uint32_t command) {
    HWND parent = window ? GetParent(window) : nullptr;
    if (parent) SendMessageW(parent, WinMessage::PathDialogCommand, command, reinterpret_cast<LPARAM>(this));
}

void WinPathBox::OpenItem() {
    WinListBoxItemUnit* unit = cursor >= 0 ? ItemAt(cursor) : nullptr;
    if (!unit || !unit->item) return;
    // A copy: the listing below replaces the row.
    const WinPathBoxItem item = *ItemOf(*unit);
    if (item.kind == WinPathBoxItem::KindShortcut) {
        ResolveShortcut(item);
        return;
    }
    currentFolder = item.path;
    if (item.kind >= WinPathBoxItem::KindDrive && item.kind <= WinPathBoxItem::KindFolder) {
        currentFolder.AppendChar('\\');
    }
    Refresh();
}

void WinPathBox::ResolveShortcut(const WinPathBoxItem& item) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))) ||
        !link)
        return;
    IPersistFile* file = nullptr;
    const RawString wide = item.path.As(RawLayer::KindUtf16);
    const std::wstring widePath(wide.Wide(), static_cast<size_t>(wide.Length()));
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) || !file ||
        FAILED(file->Load(widePath.c_str(), STGM_READ))) {
        if (file) file->Release();
        link->Release();
        return;
    }
    wchar_t target[MAX_PATH + 1] = {};
    RawString targetPath(item.path.Kind());
    if (link->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY) == S_OK) {
        target[MAX_PATH] = 0;
        targetPath = RawString(item.path.Kind(), RawString::FromWideText(target));
    }
    file->Release();
    link->Release();

    const RawRange folder = RawLayer::PathFolderRange(item.path);
    RawString back(item.path.Kind());
    back.AppendRange(item.path, folder);
    // A fixed place, kept in front of the listing's rows.
    RawLayer::RawListLink* before = pathItems.FirstLink();
    while (!pathItems.IsEnd(before) && !static_cast<WinPathBoxItem*>(before->unit)->generated) before = before->next;
    WinPathBoxItem* place = pathItems.InsertBefore(before, new WinPathBoxItem());
    place->name = RawString::FromLiteral("[LinkBackword]");
    place->path = back;
    place->kind = WinPathBoxItem::KindFolder;
    currentFolder = targetPath;
    Refresh();
    ShowCursorPath();
}

LRESULT WinPathBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam == VK_SPACE) {
        OpenItem();
        return 0;
    }
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        WinListBoxItemUnit* unit = cursor >= 0 ? ItemAt(cursor) : nullptr;
        if (unit && unit->item) {
            if (shared) shared->path = ItemOf(*unit)->path;
            Tell(CommandAccept);
        }
        return 0;
    }
    return WinListBoxR<WinPathBoxItem>::OnMessage(message, wParam, lParam);
}

bool WinPathBox::OnItemDoubleClick(POINT, int32_t) {
    OpenItem();
    return false;
}

void WinPathBox::BeginMeasure(WinDrawContext& dc, int32_t count) {
    WinListBoxR<WinPathBoxItem>::BeginMeasure(dc, count);
    // Every row has the height of one line of the font: measured once per
    // layout, not once per row of a folder of thousands.
    RECT text{0, 0, 0, 0};
    DrawTextW(dc.dc, L"A", 1, &text, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    textHeight_ = text.bottom - text.top;
    // The icons are held at the size rows draw them, so a row copies its
    // icon without scaling it twice.
    EnsureIcons(textHeight_ + 2, textHeight_ + 2);
}

void WinPathBox::MeasureItemOf(WinDrawContext& dc, RECT& size, int32_t index, WinListBoxItemUnit&,
                               WinPathBoxItem* item) {
    // A row measured outside a layout.
    if (textHeight_ <= 0) BeginMeasure(dc, index + 1);
    int32_t height = textHeight_ + 2;
    if (item && item->kind == WinPathBoxItem::KindDrivesHead && index > 0) height += kHeadBand;
    size.bottom = size.top + height;
}

void WinPathBox::DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit&,
                            WinPathBoxItem* item) {
    RECT row = rect;
    if (item && item->kind == WinPathBoxItem::KindDrivesHead && index > 0) {
        RECT band{rect.left, rect.top, rect.right, rect.top + kHeadBand};
        FillBackground(dc, band, GetSysColor(COLOR_WINDOW));
        RECT line{rect.left, rect.top + kHeadBand / 2, rect.right, rect.top + kHeadBand / 2 + 1};
        FillBackground(dc, line, kHeadLine);
        row.top += kHeadBand;
    }
    const bool active = window && GetFocus() == window;
    const COLORREF fill = index == cursor ? (active ? kCursorActive : kCursorInactive) : GetSysColor(COLOR_WINDOW);
    FillBackground(dc, row, fill);
    if (!item) return;
    const int32_t side = row.bottom - row.top;
    const int32_t left = row.left + 2 + kIndent * static_cast<int32_t>(std::min<uint32_t>(item->depth, 4096));
    const RECT icon{left, row.top, left + side, row.bottom};
    PoolState().pool.DrawCell(static_cast<int32_t>(item->kind), dc.dc, icon);
    RECT text{icon.right + 3, row.top, row.right, row.bottom};
    SetBkMode(dc.dc, TRANSPARENT);
    SetTextColor(dc.dc, GetSysColor(COLOR_WINDOWTEXT));
    const RawString wide = item->name.As(RawLayer::KindUtf16);
    DrawTextW(dc.dc, wide.Wide(), wide.Length(), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

}  // namespace WinLayer

#include "quenby/app/pictures.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <new>
#include <vector>

#include "base/api_text.h"
#include "base/profile.h"
#include "toolkit/view.h"

namespace AppLayer {

namespace Flat = Gdiplus::DllExports;

namespace {

// Picture files larger than this are not read.
constexpr uint64_t kMaxPictureBytes = 256u << 20;
constexpr int32_t kStatusFileNotFound = 10;
constexpr int32_t kStatusOutOfMemory = 3;
constexpr int32_t kStatusInvalid = 2;

std::wstring WidePath(const RawString& path) {
    RawString wide = path.As(RawLayer::KindUtf16);
    return std::wstring(wide.Wide(), static_cast<size_t>(wide.Length()));
}

// The file's bytes as a stream on movable memory; null with a status.
IStream* ReadFileStream(const std::wstring& path, int32_t* status) {
    // Through the wrapper: a device's name is never opened.
    HANDLE file = RawLayer::ApiCreateFile(RawString::FromWideText(path.c_str()), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE) {
        *status = kStatusFileNotFound;
        return nullptr;
    }
    LARGE_INTEGER size{};
    IStream* stream = nullptr;
    *status = kStatusInvalid;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && static_cast<uint64_t>(size.QuadPart) <= kMaxPictureBytes) {
        DWORD count = static_cast<DWORD>(size.QuadPart);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, count);
        void* bytes = memory ? GlobalLock(memory) : nullptr;
        DWORD read = 0;
        bool ok = bytes && ReadFile(file, bytes, count, &read, nullptr) && read == count;
        if (bytes) GlobalUnlock(memory);
        if (ok && CreateStreamOnHGlobal(memory, TRUE, &stream) == S_OK) {
            *status = 0;
        } else {
            if (memory) GlobalFree(memory);
            stream = nullptr;
            if (!bytes) *status = kStatusOutOfMemory;
        }
    }
    CloseHandle(file);
    return stream;
}

bool FileStamp(const std::wstring& path, uint64_t* size, FILETIME* time) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    *time = data.ftLastWriteTime;
    return true;
}

// A 32-bit top-down DIB of the size, uncompressed.
BITMAPINFO TopDown32BitInfo(SIZE size) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace

// ---------------------------------------------------------------------------
// GDI+ objects

GdiplusImage::~GdiplusImage() {
    if (native_) Flat::GdipDisposeImage(static_cast<Gdiplus::GpImage*>(native_));
}

GdiplusImage* GdiplusImage::Clone() const {
    Gdiplus::GpImage* copy = nullptr;
    if (!native_ || Flat::GdipCloneImage(static_cast<Gdiplus::GpImage*>(native_), &copy) != 0 || !copy) return nullptr;
    GdiplusImage* clone = new (std::nothrow) GdiplusImage(copy, 0);
    if (!clone) Flat::GdipDisposeImage(copy);
    return clone;
}

uint32_t GdiplusImage::Flags() const {
    UINT flags = 0;
    if (!native_ || Flat::GdipGetImageFlags(static_cast<Gdiplus::GpImage*>(native_), &flags) != 0) return 0;
    return flags;
}

SIZE GdiplusImage::Size() {
    UINT w = 0, h = 0;
    int32_t s1 = Flat::GdipGetImageWidth(static_cast<Gdiplus::GpImage*>(native_), &w);
    int32_t s2 = Flat::GdipGetImageHeight(static_cast<Gdiplus::GpImage*>(native_), &h);
    if (s1 != 0) status_ = s1;
    else if (s2 != 0) status_ = s2;
    SIZE size{static_cast<LONG>(std::min<UINT>(w, 100000)), static_cast<LONG>(std::min<UINT>(h, 100000))};
    return size;
}

int32_t GdiplusImageHolder::Load(const RawString& path) {
    Release();
    attempted = true;
    IStream* stream = ReadFileStream(WidePath(path), &status);
    if (!stream) return status;
    Gdiplus::GpImage* native = nullptr;
    status = Flat::GdipLoadImageFromStream(stream, &native);
    stream->Release();  // the image keeps its own reference
    if (status != 0 || !native) {
        if (native) Flat::GdipDisposeImage(native);
        if (status == 0) status = kStatusInvalid;
        return status;
    }
    UINT flags = 0;
    status = Flat::GdipGetImageFlags(native, &flags);
    if (status != 0 || flags == 0) {
        Flat::GdipDisposeImage(native);
        if (status == 0) status = kStatusInvalid;
        return status;
    }
    image = new GdiplusImage(native, 0);
    return status;
}

void GdiplusImageHolder::Release() {
    delete image;
    image = nullptr;
}

bool GdiplusSession::Start() {
    if (started_) return true;
    Gdiplus::GdiplusStartupInput input;
    started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    return started_;
}

void GdiplusSession::Shutdown() {
    if (!started_) return;
    Gdiplus::GdiplusShutdown(token_);
    started_ = false;
    token_ = 0;
}

// ---------------------------------------------------------------------------
// Cache

GuiPictureCache::Entry* GuiPictureCache::Find(const RawString& path) {
    if (path.IsEmpty()) return nullptr;
    std::wstring wide = WidePath(path);
    uint64_t size = 0;
    FILETIME time{};
    bool exists = FileStamp(wide, &size, &time);
    Entry* entry = nullptr;
    for (Entry* e : entries_)
        if (e->path == wide) entry = e;
    if (entry && exists == entry->exists && entry->fileSize == size &&
        CompareFileTime(&entry->writeTime, &time) == 0) {
        entry->lastUse = ++clock_;
        return entry;
    }
    if (!entry) {
        entry = new Entry();
        entry->path = wide;
        entries_.push_back(entry);
    }
    while (!entry->scaled.empty()) DropScaled(*entry, entry->scaled.size() - 1);
    entry->fileSize = size;
    entry->writeTime = time;
    entry->exists = exists;
    entry->loaded = false;
    entry->natural = SIZE{0, 0};
    GdiplusImageHolder holder;
    if (exists && holder.Load(path) == 0 && holder.image) {
        entry->natural = holder.image->Size();
        entry->loaded = holder.image->LastStatus() == 0;
    }
    entry->lastUse = ++clock_;
    Trim(entry, nullptr);
    return entry;
}

HBITMAP GuiPictureCache::Bitmap(Entry& entry, SIZE size) {
    if (!entry.loaded || size.cx < 1 || size.cy < 1) return nullptr;
    entry.lastUse = ++clock_;
    for (Scaled& kept : entry.scaled) {
        if (kept.size.cx == size.cx && kept.size.cy == size.cy) {
            kept.lastUse = clock_;
            return kept.bitmap;
        }
    }
    uint64_t bytes = static_cast<uint64_t>(size.cx) * static_cast<uint64_t>(size.cy) * 4;
    if (bytes > byteLimit) return nullptr;
    // The picture's least recently used size makes room for this one.
    if (entry.scaled.size() >= kSizesPerPicture) {
        size_t oldest = 0;
        for (size_t i = 1; i < entry.scaled.size(); ++i)
            if (entry.scaled[i].lastUse < entry.scaled[oldest].lastUse) oldest = i;
        DropScaled(entry, oldest);
    }
    GdiplusImageHolder holder;
    RawString path = RawString::FromWideText(entry.path.c_str(), static_cast<int32_t>(entry.path.size()));
    if (holder.Load(path) != 0 || !holder.image) return nullptr;
    BITMAPINFO info = TopDown32BitInfo(size);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    std::fill_n(static_cast<uint32_t*>(bits), static_cast<size_t>(bytes / 4), 0u);
    Gdiplus::GpBitmap* target = nullptr;
    Gdiplus::GpGraphics* graphics = nullptr;
    bool ok = Flat::GdipCreateBitmapFromScan0(size.cx, size.cy, size.cx * 4, PixelFormat32bppPARGB,
                                              static_cast<BYTE*>(bits), &target) == Gdiplus::Ok &&
              Flat::GdipGetImageGraphicsContext(target, &graphics) == Gdiplus::Ok;
    if (ok) {
        Flat::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
        Flat::GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHalf);
        ok = Flat::GdipDrawImageRectI(graphics, static_cast<Gdiplus::GpImage*>(holder.image->Native()), 0, 0,
                                      size.cx, size.cy) == Gdiplus::Ok;
    }
    if (graphics) Flat::GdipDeleteGraphics(graphics);
    if (target) Flat::GdipDisposeImage(target);
    if (!ok) {
        DeleteObject(bitmap);
        return nullptr;
    }
    scaledPixels_ += bytes / 4;
    Scaled made;
    made.size = size;
    made.bitmap = bitmap;
    made.bytes = static_cast<size_t>(bytes);
    made.lastUse = clock_;
    entry.scaled.push_back(made);
    bytes_ += made.bytes;
    Trim(&entry, bitmap);
    return bitmap;
}

void GuiPictureCache::DropScaled(Entry& entry, size_t at) {
    if (entry.scaled[at].bitmap) DeleteObject(entry.scaled[at].bitmap);
    bytes_ -= entry.scaled[at].bytes;
    entry.scaled.erase(entry.scaled.begin() + static_cast<std::ptrdiff_t>(at));
}

void GuiPictureCache::Trim(const Entry* keep, HBITMAP keepBitmap) {
    // Least recently used bitmaps go first, then whole entries beyond 256.
    while (bytes_ > byteLimit) {
        Entry* owner = nullptr;
        size_t at = 0;
        for (Entry* e : entries_)
            for (size_t i = 0; i < e->scaled.size(); ++i)
                if (e->scaled[i].bitmap != keepBitmap && (!owner || e->scaled[i].lastUse < owner->scaled[at].lastUse)) {
                    owner = e;
                    at = i;
                }
        if (!owner) break;
        DropScaled(*owner, at);
    }
    while (entries_.size() > 256) {
        Entry* oldest = nullptr;
        for (Entry* e : entries_)
            if (e != keep && (!oldest || e->lastUse < oldest->lastUse)) oldest = e;
        if (!oldest) break;
        while (!oldest->scaled.empty()) DropScaled(*oldest, oldest->scaled.size() - 1);
        entries_.erase(std::find(entries_.begin(), entries_.end(), oldest));
        delete oldest;
    }
}

void GuiPictureCache::Clear() {
    for (Entry* e : entries_) {
        for (Scaled& kept : e->scaled)
            if (kept.bitmap) DeleteObject(kept.bitmap);
        delete e;
    }
    entries_.clear();
    bytes_ = 0;
}

// ---------------------------------------------------------------------------
// Layout and paint

RawString PicturePath(const DocumentStyle& style, const RawString& target) {
    return RawLayer::PathResolve(style.documentFolder, target);
}

namespace {

// Whether the text shows nothing but picture marks (blanks aside).
bool OnlyPictureMarks(const RawString& text) {
    bool picture = false;
    for (int32_t i = 0; i < text.Length();) {
        uint32_t c = text.UnitAt(i);
        if (c == 0x1E) {
            uint32_t code = i + 1 < text.Length() ? text.UnitAt(i + 1) : 0;
            if (code != 'm' && code != 'M') return false;
            picture = true;
            int32_t e = i + 1;
            while (e < text.Length() && text.UnitAt(e) != 0x1F) ++e;
            i = e + 1;
            continue;
        }
        if (c != ' ' && c != '\t') return false;
        ++i;
    }
    return picture;
}

const UINT kAltMeasure = DT_CENTER | DT_SINGLELINE | DT_NOPREFIX;

// The cached premultiplied picture laid over a solid colour and copied onto
// the DC as plain pixels, which every device takes.
void DrawOpaque(HDC dc, HBITMAP bitmap, SIZE size, int32_t x, int32_t y, COLORREF under) {
    DIBSECTION section{};
    if (GetObjectW(bitmap, sizeof section, &section) != sizeof section || !section.dsBm.bmBits) return;
    const size_t count = static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy);
    std::vector<uint32_t> pixels(count);
    const uint32_t* source = static_cast<const uint32_t*>(section.dsBm.bmBits);
    const uint32_t back[3] = {GetBValue(under), GetGValue(under), GetRValue(under)};
    GdiFlush();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = source[i];
        const uint32_t rest = 255 - (p >> 24);
        uint32_t out = 0;
        for (int c = 0; c < 3; ++c) {
            const uint32_t v = ((p >> (8 * c)) & 0xFF) + (back[c] * rest + 127) / 255;
            out |= std::min<uint32_t>(v, 255) << (8 * c);
        }
        pixels[i] = out;
    }
    BITMAPINFO info = TopDown32BitInfo(size);
    StretchDIBits(dc, x, y, size.cx, size.cy, 0, 0, size.cx, size.cy, pixels.data(), &info, DIB_RGB_COLORS,
                  SRCCOPY);
}

// The cached picture of its own size at (x, y): blended over the DC's
// pixels; on a printer or metafile, which cannot blend (and a display may
// refuse), laid opaque over the page colour.
void DrawBitmap(HDC dc, HBITMAP bitmap, SIZE size, int32_t x, int32_t y, COLORREF under) {
    bool blended = false;
    if (GetDeviceCaps(dc, TECHNOLOGY) == DT_RASDISPLAY) {
        HDC memory = CreateCompatibleDC(dc);
        if (memory) {
            HGDIOBJ old = SelectObject(memory, bitmap);
            BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            blended = AlphaBlend(dc, x, y, size.cx, size.cy, memory, 0, 0, size.cx, size.cy, blend);
            SelectObject(memory, old);
            DeleteDC(memory);
        }
    }
    if (!blended) DrawOpaque(dc, bitmap, size, x, y, under);
}

}  // namespace

RECT PictureRect(const RECT& rect, const JobLinkDataUnit& entry) {
    const SIZE drawn = entry.drawnSize;
    const int32_t x = rect.left + (rect.right - rect.left - drawn.cx) / 2;
    return RECT{x, rect.top, x + drawn.cx, rect.top + drawn.cy};
}

bool DrawPictureAt(GuiLayout& layout, HDC dc, const RECT& at, const JobLinkDataUnit& entry) {
    if (!layout.pictures || !layout.style || at.right <= at.left || at.bottom <= at.top) return false;
    GuiPictureCache& cache = *layout.pictures;
    GuiPictureCache::Entry* found = cache.Find(PicturePath(*layout.style, entry.target));
    if (!found || !found->loaded) return false;
    const SIZE size{at.right - at.left, at.bottom - at.top};
    HBITMAP bitmap = cache.Bitmap(*found, size);
    if (bitmap) DrawBitmap(dc, bitmap, size, at.left, at.top, layout.background);
    return true;
}

void LoadImageFile(GuiLayout& layout, HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line) {
    const DocumentStyle& style = *layout.style;
    GuiPictureCache local;
    GuiPictureCache& cache = layout.pictures ? *layout.pictures : local;
    int64_t y = 0;
    bool first = true;
    int32_t guard = 0;
    for (JobLinkDataUnit& entry : line.links) {
        if (++guard > 100000) break;
        if (entry.kind != DocLayer::LinkKindPicture) continue;
        y = first ? style.image.overMargin.value : y + style.image.interMargin.value - style.image.underMargin.value;
        first = false;
        GuiPictureCache::Entry* found = cache.Find(PicturePath(style, entry.target));
        SIZE drawn{0, 0};
        if (found && found->loaded) {
            drawn = style.image.FitImageSize(found->natural, SIZE{entry.widthPixels, entry.heightPixels},
                                             SIZE{entry.widthPercent, entry.heightPercent}, rect.right - rect.left);
            if (layout.pictureLimit > 0 && drawn.cy > layout.pictureLimit) {
                drawn.cx = std::max<LONG>(1, static_cast<LONG>(static_cast<int64_t>(drawn.cx) * layout.pictureLimit /
                                                               drawn.cy));
                drawn.cy = layout.pictureLimit;
            }
        } else {
            RECT r{0, 0, std::max<LONG>(1, rect.right - rect.left), kUnboundedWidth};
            WinLayer::WinDrawContext context(dc);
            WinLayer::WinView::MeasureTextRange(context, r, kAltMeasure, entry.text, entry.text.All(), 0);
            drawn = SIZE{r.right - r.left, r.bottom - r.top};
        }
        entry.drawnSize = drawn;
        y += drawn.cy + style.image.underMargin.value;
    }
    int32_t stack = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(y, 0), 0x3FFFFFFF));
    item.pictureHeight = stack;
    if (stack < 1) return;
    bool textKind = line.kind == DocLayer::KindParagraph || line.kind == DocLayer::KindBullet ||
                    line.kind == DocLayer::KindNumbered;
    if (textKind && OnlyPictureMarks(line.text)) {
        item.text.Clear();
        rect.bottom = rect.top + stack;
    } else {
        rect.bottom += stack;
    }
}

void PaintPicture(GuiLayout& layout, HDC dc, const RECT& rect, const JobLinkDataUnit& entry) {
    GuiPictureCache local;
    GuiPictureCache& cache = layout.pictures ? *layout.pictures : local;
    const SIZE drawn = entry.drawnSize;
    GuiPictureCache::Entry* found = cache.Find(PicturePath(*layout.style, entry.target));
    if (found && found->loaded) {
        // Shown shrunk, the picture is drawn on the window at the size it
        // shows at (DrawPictureAt), not scaled to this DC's pixels.
        if (layout.picturesOnWindow) return;
        HBITMAP bitmap = cache.Bitmap(*found, drawn);
        if (!bitmap) return;
        const RECT at = PictureRect(rect, entry);
        DrawBitmap(dc, bitmap, drawn, at.left, at.top, layout.background);
        return;
    }
    RECT box{rect.left, rect.top, rect.left + drawn.cx, rect.top + drawn.cy};
    if (rect.right - rect.left > drawn.cx) OffsetRect(&box, (rect.right - rect.left - drawn.cx) / 2, 0);
    InflateRect(&box, 2, 2);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = SetTextColor(dc, RGB(0, 0, 0));
    WinLayer::WinDrawContext context(dc);
    RECT textBox = box;
    WinLayer::WinView::DrawTextRange(context, textBox, kAltMeasure | DT_VCENTER, entry.text, entry.text.All(), 0);
    HBRUSH red = CreateSolidBrush(RGB(0xFF, 0, 0));
    if (red) {
        FrameRect(dc, &box, red);
        DeleteObject(red);
    }
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

}  // namespace AppLayer

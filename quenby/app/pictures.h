// Pictures of help documents through the GDI+ flat interface: loading a
// picture file, stacking a line's pictures below its text, and painting
// them centred in the line. A picture that cannot be loaded shows its
// alternative text in a red frame.
//
// Files are read into memory and decoded from there, so no file stays open
// while a picture is shown. A GuiPictureCache keeps decoded pictures,
// already scaled, keyed by path, file size and write time; it holds only
// GDI bitmaps, never a GDI+ object, and must die before GDI+ is shut down.
// A cache is used by one thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/raw_string.h"
#include "quenby/app/layout_pass.h"

namespace AppLayer {

using DocLayer::JobLinkDataUnit;

// The GDI+ image wrapper: the native image and the last status.
class GdiplusImage {
public:
    GdiplusImage(void* native, int32_t status) : native_(native), status_(status) {}
    virtual ~GdiplusImage();
    GdiplusImage(const GdiplusImage&) = delete;
    GdiplusImage& operator=(const GdiplusImage&) = delete;
    // A copy of the image; null when it cannot be made.
    virtual GdiplusImage* Clone() const;

    void* Native() const { return native_; }
    int32_t LastStatus() const { return status_; }
    void SetStatus(int32_t status) { status_ = status; }
    uint32_t Flags() const;
    SIZE Size();

private:
    void* native_;
    int32_t status_;
};

// At most one loaded image and whether a load was tried.
class GdiplusImageHolder {
public:
    GdiplusImageHolder() = default;
    ~GdiplusImageHolder() { Release(); }
    GdiplusImageHolder(const GdiplusImageHolder&) = delete;
    GdiplusImageHolder& operator=(const GdiplusImageHolder&) = delete;

    // Reads the file into memory and decodes it; an image whose flags are
    // 0 counts as not loaded. Returns the status (0 Ok).
    int32_t Load(const RawString& path);
    void Release();

    GdiplusImage* image = nullptr;
    int32_t status = 0;
    bool attempted = false;
};

// Starts and stops GDI+ for the process.
class GdiplusSession {
public:
    GdiplusSession() = default;
    ~GdiplusSession() { Shutdown(); }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool Start();
    void Shutdown();
    bool Started() const { return started_; }

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

// Decoded pictures, scaled to the sizes they are drawn from. A picture
// keeps a few sizes at once (line view's, page view's and a printed page's
// never push each other out); the least recently used bitmaps go first when
// the bytes pass the limit.
class GuiPictureCache {
public:
    GuiPictureCache() = default;
    ~GuiPictureCache() { Clear(); }
    GuiPictureCache(const GuiPictureCache&) = delete;
    GuiPictureCache& operator=(const GuiPictureCache&) = delete;

    // One size of a picture: 32-bit premultiplied.
    struct Scaled {
        SIZE size{};
        HBITMAP bitmap = nullptr;
        size_t bytes = 0;
        uint64_t lastUse = 0;
    };
    struct Entry {
        std::wstring path;
        uint64_t fileSize = 0;
        FILETIME writeTime{};
        bool exists = false;
        bool loaded = false;
        SIZE natural{};
        std::vector<Scaled> scaled;
        uint64_t lastUse = 0;
    };

    // Sizes of one picture kept at most.
    static constexpr size_t kSizesPerPicture = 3;

    // The entry of the file as it is now on disk (loaded again when its size
    // or write time changed); null when the path is empty.
    Entry* Find(const RawString& path);
    // The entry's picture at a size (made when that size is not kept); null
    // when the picture is not loaded or GDI cannot hold it.
    HBITMAP Bitmap(Entry& entry, SIZE size);
    void Clear();
    size_t EntryCount() const { return entries_.size(); }
    // Pixels of all the bitmaps made so far (what the scaling cost).
    uint64_t ScaledPixels() const { return scaledPixels_; }

    // Scaled pictures kept at most, in bytes.
    size_t byteLimit = 160u << 20;

private:
    void DropScaled(Entry& entry, size_t at);
    // Never the entry `keep` (beyond 256 entries) nor the bitmap `keepBitmap`.
    void Trim(const Entry* keep, HBITMAP keepBitmap);
    std::vector<Entry*> entries_;
    size_t bytes_ = 0;
    uint64_t clock_ = 0;
    uint64_t scaledPixels_ = 0;
};

// The picture's file: its target resolved against the document's folder as
// the inline pass resolved it (an absolute target as it is, a rooted one on
// the folder's drive).
RawString PicturePath(const DocumentStyle& style, const RawString& target);
// Stacks the line's pictures below its text (after the kind's layout).
void LoadImageFile(GuiLayout& layout, HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line);
// Paints one picture entry at rect.top, centred between rect.left and right;
// a loaded picture is left out while the layout's pictures go on the window
// (GuiLayout::picturesOnWindow), its alternative text never.
void PaintPicture(GuiLayout& layout, HDC dc, const RECT& rect, const JobLinkDataUnit& entry);
// Where PaintPicture puts the entry's picture in the rectangle.
RECT PictureRect(const RECT& rect, const JobLinkDataUnit& entry);
// The entry's picture scaled to the rectangle and drawn there (a page view
// picture on the window, at the size it shows at); false when the picture
// is not loaded.
bool DrawPictureAt(GuiLayout& layout, HDC dc, const RECT& at, const JobLinkDataUnit& entry);

}  // namespace AppLayer

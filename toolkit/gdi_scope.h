// Scope types for GDI objects and device contexts: each frees or restores
// what it holds when it goes out of scope, on every path, and none can be
// copied (a copy would free twice).
//
//     GdiPen pen(PS_SOLID, 1, colour);          // pen made, counted
//     GdiSelection keep(dc, pen.Get());         // selected
//     LineTo(dc, x, y);
//                                               // old pen back, pen deleted
//
// Objects made through these types are counted process-wide, so a test can
// check that painting leaves no object behind (GetGuiResources answers 0
// under Wine).
#pragma once

#include <windows.h>

#include <cstdint>

namespace WinLayer {

// GDI objects and DCs made through the toolkit's scopes and memory DCs that
// are alive now.
int32_t GdiLiveObjects();
// Adjusts the count; for the toolkit's own create and delete calls.
void GdiCountObject(int32_t change);

// An owned GDI object (pen, brush, bitmap, region, font), deleted at the end
// of its scope. Delete it only after selecting it out of every DC.
class GdiObject {
public:
    explicit GdiObject(HGDIOBJ object);
    ~GdiObject();
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    HGDIOBJ Get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    HGDIOBJ object_;
};

// A solid cosmetic pen.
class GdiPen : public GdiObject {
public:
    GdiPen(int style, int width, COLORREF colour);
    HPEN Handle() const { return static_cast<HPEN>(Get()); }
};

// A solid brush.
class GdiBrush : public GdiObject {
public:
    explicit GdiBrush(COLORREF colour);
    HBRUSH Handle() const { return static_cast<HBRUSH>(Get()); }
};

// Selects an object into a DC and selects the replaced one back at the end
// of the scope. A null object selects nothing.
class GdiSelection {
public:
    GdiSelection(HDC dc, HGDIOBJ object);
    ~GdiSelection();
    GdiSelection(const GdiSelection&) = delete;
    GdiSelection& operator=(const GdiSelection&) = delete;
    // The object the DC held before.
    HGDIOBJ Previous() const { return previous_; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// GetDC of a window (the screen for null), released against the same window.
class GdiWindowDC {
public:
    explicit GdiWindowDC(HWND window);
    ~GdiWindowDC();
    GdiWindowDC(const GdiWindowDC&) = delete;
    GdiWindowDC& operator=(const GdiWindowDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

}  // namespace WinLayer

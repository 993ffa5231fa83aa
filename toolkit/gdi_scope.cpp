// GDI scope types and their live count.
#include "toolkit/gdi_scope.h"

#include <atomic>

namespace WinLayer {

namespace {
std::atomic<int32_t> g_liveObjects{0};
}  // namespace

int32_t GdiLiveObjects() { return g_liveObjects.load(); }

void GdiCountObject(int32_t change) { g_liveObjects += change; }

GdiObject::GdiObject(HGDIOBJ object) : object_(object) {
    if (object_) GdiCountObject(1);
}

GdiObject::~GdiObject() {
    if (object_ && DeleteObject(object_)) GdiCountObject(-1);
}

GdiPen::GdiPen(int style, int width, COLORREF colour) : GdiObject(CreatePen(style, width, colour)) {}

GdiBrush::GdiBrush(COLORREF colour) : GdiObject(CreateSolidBrush(colour)) {}

GdiSelection::GdiSelection(HDC dc, HGDIOBJ object)
    : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}

GdiSelection::~GdiSelection() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
}

GdiWindowDC::GdiWindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}

GdiWindowDC::~GdiWindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
}

}  // namespace WinLayer

// Placement arithmetic, stored window rectangles and the monitor choice.
#include "toolkit/layout.h"

#include <algorithm>

namespace WinLayer {

using RawLayer::RawParameterList;
using RawLayer::RawString;

namespace {

LONG Clamp32(int64_t value) {
    return static_cast<LONG>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
}

// Shifts a pair of edges back into the 32-bit range, keeping their distance
// where it fits.
void IntoRange(int64_t& low, int64_t& high) {
    if (high > INT32_MAX) {
        low -= high - INT32_MAX;
        high = INT32_MAX;
    }
    if (low < INT32_MIN) {
        high += INT32_MIN - low;
        low = INT32_MIN;
    }
}

int64_t Centre(LONG a, LONG b) { return (static_cast<int64_t>(a) + b) / 2; }

int64_t Area(const RECT& a, const RECT& b) {
    const int64_t w = static_cast<int64_t>(std::min(a.right, b.right)) - std::max(a.left, b.left);
    const int64_t h = static_cast<int64_t>(std::min(a.bottom, b.bottom)) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

RawString EdgeKey(const RawString& prefix, const char* edge) {
    RawString key = prefix.As(RawLayer::KindUtf8);
    key.AppendAscii("_");
    key.AppendAscii(edge);
    return key;
}

const char* const kEdgeNames[4] = {"L", "T", "R", "B"};

}  // namespace

RECT PlaceRectOnWorkArea(const RECT& rect, const RECT& reference, const RECT& area) {
    int64_t left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
    const int64_t dx = Centre(reference.left, reference.right) - Centre(rect.left, rect.right);
    const int64_t dy = Centre(reference.top, reference.bottom) - Centre(rect.top, rect.bottom);
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
    if (left < area.left && area.left < right) {
        right += area.left - left;
        left = area.left;
    }
    if (top < area.top && area.top < bottom) {
        bottom += area.top - top;
        top = area.top;
    }
    if (left < area.right && area.right < right) {
        left -= right - area.right;
        right = area.right;
    }
    if (top < area.bottom && area.bottom < bottom) {
        top -= bottom - area.bottom;
        bottom = area.bottom;
    }
    IntoRange(left, right);
    IntoRange(top, bottom);
    return RECT{Clamp32(left), Clamp32(top), Clamp32(right), Clamp32(bottom)};
}

bool WinWindowRect::Read(RECT& rect, const RawString& prefix, const RawParameterList& list) {
    LONG edges[4] = {rect.left, rect.top, rect.right, rect.bottom};
    for (int i = 0; i < 4; ++i) edges[i] = list.GetInt(EdgeKey(prefix, kEdgeNames[i]), edges[i]);
    for (LONG edge : edges) {
        if (edge > kLimit || edge < -kLimit) return false;
    }
    if (edges[2] <= edges[0] || edges[3] <= edges[1]) return false;
    rect = RECT{edges[0], edges[1], edges[2], edges[3]};
    return true;
}

void WinWindowRect::Write(const RECT& rect, const RawString& prefix, RawParameterList& list) {
    const LONG edges[4] = {rect.left, rect.top, rect.right, rect.bottom};
    for (int i = 0; i < 4; ++i) list.SetInt(EdgeKey(prefix, kEdgeNames[i]), edges[i]);
}

bool WinWindowRect::KeepOnScreen(RECT& rect) {
    WinMonitorChoiceRecord choice{RECT{}, rect, 1};
    EnumDisplayMonitors(nullptr, nullptr, WinMonitorChoice, reinterpret_cast<LPARAM>(&choice));
    if (!IsRectEmpty(&choice.chosen)) return true;
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    rect = PlaceRectOnWorkArea(rect, area, area);
    return false;
}

BOOL CALLBACK WinMonitorChoice(HMONITOR, HDC, LPRECT monitorRect, LPARAM data) {
    auto* record = reinterpret_cast<WinMonitorChoiceRecord*>(data);
    if (!record || !monitorRect) return TRUE;
    const RECT& m = *monitorRect;
    const RECT& w = record->wanted;
    if (m.left >= w.right || m.right <= w.left || m.top >= w.bottom || m.bottom <= w.top) return TRUE;
    if (record->firstMatch) {
        record->chosen = m;
        return FALSE;
    }
    if (Area(m, w) > Area(record->chosen, w)) record->chosen = m;
    return TRUE;
}

}  // namespace WinLayer

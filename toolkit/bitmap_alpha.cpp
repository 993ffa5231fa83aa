// Sampling, rendering and blending of alpha pixels.
#include "toolkit/bitmap_alpha.h"

#include <cmath>

namespace WinLayer {

namespace {

double Channel(uint32_t pixel, int shift) { return static_cast<double>((pixel >> shift) & 0xFF); }

// The bilinear tap weight of a distance.
double CubicWeight(double d) { return d <= 1.0 ? 2.0 * d * d * d - 3.0 * d * d + 1.0 : 0.0; }

uint32_t PackOne(double value) {
    if (value <= 0.0) return 0;
    if (value >= 255.0) return 255;
    return static_cast<uint32_t>(value);
}

}  // namespace

uint32_t WinBitmapAlpha::Image::At(int32_t x, int32_t y) const {
    const int32_t w = Width(), h = Height();
    if (!pixels || w <= 0 || h <= 0) return 0;
    if (x < 0) x = 0;
    if (x > w - 1) x = w - 1;
    if (y < 0) y = 0;
    if (y > h - 1) y = h - 1;
    return Row(y)[x0 + x];
}

uint32_t* WinBitmapAlpha::Image::Row(int32_t y) const {
    return pixels + static_cast<int64_t>(y0 + y) * stride;
}

BITMAPINFO WinBitmapAlpha::TopDownHeader(int32_t width, int32_t height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

uint32_t WinBitmapAlpha::Pack(double alpha, double red, double green, double blue) {
    return PackOne(alpha) << 24 | PackOne(red) << 16 | PackOne(green) << 8 | PackOne(blue);
}

uint32_t WinBitmapAlpha::FunctionSameSize::sample(int32_t x, int32_t y) const { return source_.At(x, y); }

uint32_t WinBitmapAlpha::FunctionBilinear::sample(int32_t x, int32_t y) const {
    const double sx = (x + 0.5) * scaleX_ - 0.5;
    const double sy = (y + 0.5) * scaleY_ - 0.5;
    // Truncated toward zero, not floored: a position just below 0 starts
    // at 0.
    const int32_t i0 = static_cast<int32_t>(sx);
    const int32_t j0 = static_cast<int32_t>(sy);
    double a = 0, r = 0, g = 0, b = 0;
    for (int32_t j = j0; j <= j0 + 1; ++j) {
        const double wy = CubicWeight(std::fabs(sy - j));
        if (wy == 0.0) continue;
        for (int32_t i = i0; i <= i0 + 1; ++i) {
            const double w = CubicWeight(std::fabs(sx - i)) * wy;
            if (w == 0.0) continue;
            const uint32_t p = source_.At(i, j);
            a += Channel(p, 24) * w;
            r += Channel(p, 16) * w;
            g += Channel(p, 8) * w;
            b += Channel(p, 0) * w;
        }
    }
    return Pack(a, r, g, b);
}

uint32_t WinBitmapAlpha::FunctionAreaAverage::sample(int32_t x, int32_t y) const {
    const double ax0 = x * scaleX_, ax1 = ax0 + scaleX_;
    const double ay0 = y * scaleY_, ay1 = ay0 + scaleY_;
    double a = 0, r = 0, g = 0, b = 0;
    for (int32_t j = static_cast<int32_t>(ay0); j <= static_cast<int32_t>(ay1); ++j) {
        const double wy = 1.0 - std::fmax(0.0, ay0 - j) - std::fmax(0.0, (j + 1) - ay1);
        if (wy <= 0.0) continue;
        for (int32_t i = static_cast<int32_t>(ax0); i <= static_cast<int32_t>(ax1); ++i) {
            const double wx = 1.0 - std::fmax(0.0, ax0 - i) - std::fmax(0.0, (i + 1) - ax1);
            if (wx <= 0.0) continue;
            const double w = wx * wy;
            const uint32_t p = source_.At(i, j);
            a += Channel(p, 24) * w;
            r += Channel(p, 16) * w;
            g += Channel(p, 8) * w;
            b += Channel(p, 0) * w;
        }
    }
    const double area = scaleX_ * scaleY_;
    if (area <= 0.0) return 0;
    return Pack(a / area, r / area, g / area, b / area);
}

void WinBitmapAlpha::Render(const Function& function, const Image& target) {
    if (!target.pixels) return;
    for (int32_t y = 0; y < target.Height(); ++y) {
        uint32_t* row = target.Row(y) + target.x0;
        for (int32_t x = 0; x < target.Width(); ++x) row[x] = function.sample(x, y);
    }
}

void WinBitmapAlpha::Blend(const Function& function, const Image& target) {
    if (!target.pixels) return;
    for (int32_t y = 0; y < target.Height(); ++y) {
        uint32_t* row = target.Row(y) + target.x0;
        for (int32_t x = 0; x < target.Width(); ++x) {
            const uint32_t s = function.sample(x, y);
            const uint32_t d = row[x];
            const uint32_t a = s >> 24;
            uint32_t out = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                const uint32_t channel = (((d >> shift) & 0xFF) * (255 - a) + ((s >> shift) & 0xFF) * a) / 255;
                out |= channel << shift;
            }
            row[x] = out;
        }
    }
}

void WinBitmapAlpha::IconToAlpha(uint32_t* colour, const uint32_t* mask, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        if (colour[i] > 0x00FFFFFF) return;
    }
    for (int32_t i = 0; i < count; ++i) colour[i] = mask[i] == 0 ? (colour[i] | 0xFF000000) : 0x00FFFFFF;
}

}  // namespace WinLayer

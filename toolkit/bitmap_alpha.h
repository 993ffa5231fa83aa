// Scaling and blending of 32-bit pixels with alpha (0xAARRGGBB, the byte
// order of a 32-bit top-down DIB): an image rectangle over a pixel array,
// three sampling functions chosen by the size ratio, rendering a function
// into a rectangle, blending it over one, and the rule that turns an
// icon's colour and mask bitmaps into alpha pixels.
#pragma once

#include <windows.h>

#include <cstdint>

namespace WinLayer {

struct WinBitmapAlpha {
    // A rectangle of a pixel array: x1 and y1 exclusive, stride in pixels.
    struct Image {
        uint32_t* pixels = nullptr;
        int32_t x0 = 0;
        int32_t y0 = 0;
        int32_t x1 = 0;
        int32_t y1 = 0;
        int32_t stride = 0;

        int32_t Width() const { return x1 - x0; }
        int32_t Height() const { return y1 - y0; }
        // The pixel (x, y) relative to (x0, y0), with x and y clamped to the
        // rectangle; 0 for an empty one.
        uint32_t At(int32_t x, int32_t y) const;
        uint32_t* Row(int32_t y) const;
    };

    // Samples a source for target pixel coordinates.
    class Function {
    public:
        virtual ~Function() = default;
        virtual uint32_t sample(int32_t x, int32_t y) const = 0;
    };

    // Both sizes equal: the source pixel itself.
    class FunctionSameSize : public Function {
    public:
        explicit FunctionSameSize(const Image& source) : source_(source) {}
        uint32_t sample(int32_t x, int32_t y) const override;

    private:
        Image source_;
    };

    // The target at least as large on both axes: four taps weighted by the
    // cubic h(d) = 2d^3 - 3d^2 + 1. The weights are not normalised, so the
    // outermost rows and columns come out slightly fainter.
    class FunctionBilinear : public Function {
    public:
        FunctionBilinear(double scaleX, double scaleY, const Image& source)
            : scaleX_(scaleX), scaleY_(scaleY), source_(source) {}
        uint32_t sample(int32_t x, int32_t y) const override;

    private:
        double scaleX_;
        double scaleY_;
        Image source_;
    };

    // Any axis shrinks: the average of the source area a target pixel
    // covers, each source pixel weighted by the part it covers.
    class FunctionAreaAverage : public Function {
    public:
        FunctionAreaAverage(double scaleX, double scaleY, const Image& target, const Image& source)
            : scaleX_(scaleX), scaleY_(scaleY), target_(target), source_(source) {}
        uint32_t sample(int32_t x, int32_t y) const override;

    private:
        double scaleX_;
        double scaleY_;
        Image target_;
        Image source_;
    };

    // The header of a 32-bit top-down DIB of that size, BI_RGB.
    static BITMAPINFO TopDownHeader(int32_t width, int32_t height);
    // Four channel accumulators (alpha, red, green, blue) clamped to 0..255
    // and packed.
    static uint32_t Pack(double alpha, double red, double green, double blue);
    // Every pixel of the target rectangle becomes the function's sample.
    static void Render(const Function& function, const Image& target);
    // Every pixel of the target rectangle gets the sample blended over it
    // by the sample's alpha: (d * (255 - a) + s * a) / 255 per colour
    // channel; the written alpha byte is 0.
    static void Blend(const Function& function, const Image& target);
    // Keeps colour pixels that carry alpha anywhere; otherwise makes each
    // pixel opaque where the mask pixel is 0 and transparent white where it
    // is not.
    static void IconToAlpha(uint32_t* colour, const uint32_t* mask, int32_t count);
};

}  // namespace WinLayer

#include "ui/colour.h"

#include <algorithm>

namespace vantrel::ui {

Argb multiplyRgb(Argb colour, Argb face) {
    return makeArgb(alphaOf(colour), redOf(colour) * redOf(face) / 255, greenOf(colour) * greenOf(face) / 255,
                    blueOf(colour) * blueOf(face) / 255);
}

Argb blendColour(Argb colour, double factor, bool towardWhite) {
    // NaN compares false both ways and would survive std::clamp; treat it as "no change".
    double f = factor == factor ? std::clamp(factor, 0.0, 1.0) : 0.0;
    auto move = [&](unsigned c) {
        double v = towardWhite ? c + f * (255.0 - c) : c - f * c;
        return static_cast<unsigned>(std::clamp(v, 0.0, 255.0));
    };
    return makeArgb(alphaOf(colour), move(redOf(colour)), move(greenOf(colour)), move(blueOf(colour)));
}

Argb halveRgb(Argb colour) {
    return makeArgb(alphaOf(colour), redOf(colour) / 2, greenOf(colour) / 2, blueOf(colour) / 2);
}

void multiplyPixels(Argb* pixels, std::size_t count, Argb face) {
    for (std::size_t i = 0; i < count; ++i) pixels[i] = multiplyRgb(pixels[i], face);
}

void blendPixels(Argb* pixels, std::size_t count, double factor, bool towardWhite) {
    for (std::size_t i = 0; i < count; ++i) pixels[i] = blendColour(pixels[i], factor, towardWhite);
}

}  // namespace vantrel::ui

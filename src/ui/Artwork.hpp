// SPDX-License-Identifier: GPL-3.0-or-later
// Logora's own artwork as data, drawn by each front end at its screen's resolution: the
// log-end emblem of the title band and the window icon, and the wood-faced buttons.
#pragma once

#include "ui/WindowDef.hpp"

namespace logora::ui {

// A log's end: sapwood shading to a light heart, a dark bark rim and four growth rings. The
// sizes are fractions of the emblem's width.
struct LogEndArt {
    Rgb heart{240, 205, 140};
    Rgb sapwood{196, 146, 82};
    Rgb bark{96, 58, 22};
    Rgb ring{150, 100, 48};
    double barkWidth = 1.0 / 14;
    double margin = 1.0 / 28; // between the emblem's box and its bark
    double ringWidth = 1.0 / 40;
    int rings = 4;
    // Ring k (1..rings) is inset by first + step * k, a little more at the top and left.
    double firstInset = 0.1;
    double ringStep = 0.09;
};
inline constexpr LogEndArt kLogEnd{};

// A button's face, shading from its top through its middle to its bottom.
struct ButtonFace {
    Rgb top, middle, bottom;
};
inline constexpr ButtonFace kButtonFace{{255, 246, 226}, {239, 213, 160}, {212, 172, 104}};
inline constexpr ButtonFace kButtonHover{{255, 250, 240}, {241, 220, 182}, {226, 189, 124}};
inline constexpr ButtonFace kButtonPressed{{201, 154, 82}, {222, 187, 128}, {242, 220, 174}};
inline constexpr Rgb kButtonRim{138, 96, 42};
inline constexpr Rgb kButtonText{74, 44, 12};
inline constexpr Rgb kButtonFocus{176, 70, 26};
inline constexpr int kButtonRadiusTwips = 90; // the rim's rounded corners

// A button's caption is bold, on both front ends.
inline FontSpec buttonFont(FontSpec font) {
    font.bold = true;
    return font;
}
inline bool isButtonLike(const ControlDef& d) {
    return d.kind == Kind::Button || (d.kind == Kind::Label && d.clickable);
}

// Where a face is at a fraction (0 at the top, 1 at the bottom) of its height.
inline Rgb faceAt(const ButtonFace& face, double at) {
    const auto mix = [](const Rgb& a, const Rgb& b, double t) {
        const auto one = [t](int x, int y) {
            return static_cast<std::uint8_t>(x + (y - x) * t + 0.5);
        };
        return Rgb{one(a.r, b.r), one(a.g, b.g), one(a.b, b.b)};
    };
    return at < 0.5 ? mix(face.top, face.middle, at * 2)
                    : mix(face.middle, face.bottom, at * 2 - 1);
}

} // namespace logora::ui

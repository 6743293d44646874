// SPDX-License-Identifier: GPL-3.0-or-later
#include "volume/LogVolume.hpp"

#include "text/NumberText.hpp"

namespace logora::volume {
namespace {

using text::Pattern;

// Short and long logs: 0.8 L (D + 0.5 L)^2 / 10000.
double shortOrLongLog(double d, double l) {
    const double s = l * 0.5 + d;
    return (s * s) * (l * 0.8) / 10000;
}

// Table range, small diameters: 0.7854 L (D + 0.45 L + 0.2)^2 / 10000.
double smallDiameter(double d, double l) {
    const double s = (l * 0.45 + d) + 0.2;
    return (s * s) * (l * 0.7854) / 10000;
}

// Table range, large diameters.
double largeDiameter(double d, double l) {
    const double t = ((14 - l) * (14 - l)) * (l * 0.000125) * (d - 10);
    const double s = (l * l) * 0.005 + (l * 0.5 + d) + t;
    return (s * s) * (l * 0.7854) / 10000;
}

} // namespace

std::u16string CaiJiJiSuan(std::u16string_view jingji, std::u16string_view jianshu,
                           std::u16string_view caichang) {
    const double d = text::parseNumber(jingji);
    const double n = text::parseNumber(jianshu);
    const double l = text::parseNumber(caichang);

    double onePiece = 0;
    Pattern decimals = Pattern::Three;
    if (l < 2) {
        onePiece = shortOrLongLog(d, l);
        decimals = d <= 7 ? Pattern::Four : Pattern::Three;
    } else if (l <= 10) {
        if (d <= 7) {
            onePiece = smallDiameter(d, l);
            decimals = Pattern::Four;
        } else if (d <= 13) {
            onePiece = smallDiameter(d, l);
        } else {
            onePiece = largeDiameter(d, l);
        }
    } else if (l > 10) {
        // Long logs; thin long poles (7 cm and less) keep the four decimals of small logs.
        onePiece = shortOrLongLog(d, l);
        decimals = d <= 7 ? Pattern::Four : Pattern::Three;
    } else {
        return {};
    }

    // One piece is rounded before it is multiplied by the pieces.
    return text::patternText(text::patternValue(onePiece, decimals) * n, Pattern::Four);
}

} // namespace logora::volume

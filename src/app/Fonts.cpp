// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Fonts.hpp"

#include <QStringList>

namespace logora::app {

QFont fontFor(const ui::FontSpec& font) {
    QFont face;
    QStringList families{QString::fromStdU16String(font.family)};
    if (font.family == u"宋体") {
        // SimSun where it is installed, else AR PL UMing CN, a Song face with SimSun's
        // metrics (a 12 px line and 6 px digits at 9 points), for which every control's size
        // was made; Noto CJK's taller lines (17 px) would cut captions. The SC families keep
        // Japanese glyph forms out in every locale.
        families << QStringLiteral("SimSun") << QStringLiteral("AR PL UMing CN")
                 << QStringLiteral("Noto Serif CJK SC") << QStringLiteral("Noto Sans CJK SC")
                 << QStringLiteral("WenQuanYi Zen Hei");
    }
    face.setFamilies(families);
    face.setPointSizeF(font.points);
    face.setBold(font.bold);
    return face;
}

} // namespace logora::app

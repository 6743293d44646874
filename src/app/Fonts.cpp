#include "app/Fonts.hpp"

#include <QStringList>

namespace logora::app {

QFont fontFor(const ui::FontSpec& font) {
    QFont face;
    QStringList families{QString::fromStdU16String(font.family)};
    if (font.family == u"宋体") {
        // SimSun where it is installed, else the Simplified Chinese faces of Noto CJK
        // (listing the SC families keeps Japanese glyph forms out in every locale).
        families << QStringLiteral("SimSun") << QStringLiteral("Noto Serif CJK SC")
                 << QStringLiteral("Noto Sans CJK SC") << QStringLiteral("AR PL UMing CN")
                 << QStringLiteral("WenQuanYi Zen Hei");
    }
    face.setFamilies(families);
    face.setPointSizeF(font.points);
    face.setBold(font.bold);
    return face;
}

} // namespace logora::app

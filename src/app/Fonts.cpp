#include "app/Fonts.hpp"

#include <QStringList>

namespace logora::app {

QFont fontFor(const ui::FontSpec& spec) {
    QFont font;
    QStringList families{QString::fromStdU16String(spec.family)};
    if (spec.family == u"宋体") {
        // SimSun where it is installed, else the Simplified Chinese faces of Noto CJK
        // (listing the SC families keeps Japanese glyph forms out in every locale).
        families << QStringLiteral("SimSun") << QStringLiteral("Noto Serif CJK SC")
                 << QStringLiteral("Noto Sans CJK SC") << QStringLiteral("AR PL UMing CN")
                 << QStringLiteral("WenQuanYi Zen Hei");
    }
    font.setFamilies(families);
    font.setPointSizeF(spec.points);
    font.setBold(spec.bold);
    return font;
}

} // namespace logora::app

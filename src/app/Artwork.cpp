// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Artwork.hpp"
#include "ui/Artwork.hpp"
#include "ui/WindowDef.hpp"

#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>

namespace logora::app {

void paintLogEnd(QPainter& p, const QRect& box) {
    const ui::LogEndArt& art = ui::kLogEnd;
    const auto colour = [](const ui::Rgb& c) { return QColor(c.r, c.g, c.b); };
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(box);
    const double w = r.width();
    QRadialGradient wood(r.center(), w / 2);
    wood.setColorAt(0, colour(art.heart));
    wood.setColorAt(1, colour(art.sapwood));
    p.setPen(QPen(colour(art.bark), w * art.barkWidth));
    p.setBrush(wood);
    p.drawEllipse(r.adjusted(w * art.margin, w * art.margin, -w * art.margin, -w * art.margin));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour(art.ring), w * art.ringWidth));
    for (int ring = 1; ring <= art.rings; ++ring) {
        const double inset = w * (art.firstInset + art.ringStep * ring);
        p.drawEllipse(r.adjusted(inset, inset * 1.05, -inset * 0.95, -inset));
    }
    p.restore();
}

QIcon windowIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        paintLogEnd(p, QRect(0, 0, size, size));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void paintTitleBand(QPainter& p, const QRect& band, const QString& caption) {
    p.save();
    const auto colour = [](const ui::Rgb& c, int alpha = 255) {
        return QColor(c.r, c.g, c.b, alpha);
    };
    QLinearGradient g(band.topLeft(), band.bottomLeft());
    g.setColorAt(0, colour(ui::kBandTop));
    g.setColorAt(0.55, colour(ui::kBandMiddle));
    g.setColorAt(1, colour(ui::kBandBottom));
    p.fillRect(band, g);
    // Thin lighter stripes like planed grain.
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    for (int y = band.top() + 6; y < band.bottom(); y += 7) {
        p.drawLine(band.left(), y, band.right(), y + 2);
    }
    p.setPen(QPen(colour(ui::kBandEdge), 2));
    p.drawLine(band.bottomLeft(), band.bottomRight());
    const int iconSize = band.height() - 18;
    paintLogEnd(p, QRect(band.left() + 14, band.top() + 9, iconSize, iconSize));
    QFont f = p.font();
    f.setPointSizeF(ui::kBandCaptionPoints);
    f.setBold(true);
    p.setFont(f);
    p.setPen(colour(ui::kBandCaption));
    p.drawText(band.adjusted(iconSize + 30, 0, -10, 0), Qt::AlignVCenter | Qt::AlignLeft, caption);
    p.restore();
}

namespace {

QString hex(const ui::Rgb& c) {
    return QColor(c.r, c.g, c.b).name();
}

QString gradient(const ui::ButtonFace& f) {
    return QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:0.5 %2, "
                          "stop:1 %3)")
        .arg(hex(f.top), hex(f.middle), hex(f.bottom));
}

} // namespace

// The buttons' look, from the same data the Windows program draws them with.
QString buttonStyleSheet() {
    return QStringLiteral("QPushButton, QLabel[clickable=\"true\"] {"
                          "  color: %1; font-weight: bold; background: %2;"
                          "  border: 1px solid %3; border-radius: %4px; padding: 1px; }"
                          "QPushButton:hover, QLabel[clickable=\"true\"]:hover { background: %5; }"
                          "QPushButton:pressed, QLabel[clickable=\"true\"][pressed=\"true\"] {"
                          "  background: %6; padding-top: 2px; }"
                          "QPushButton:focus, QLabel[clickable=\"true\"]:focus {"
                          "  border: 2px solid %7; }")
        .arg(hex(ui::kButtonText), gradient(ui::kButtonFace), hex(ui::kButtonRim))
        .arg(ui::kButtonRadiusTwips / ui::kTwipsPerPixel)
        .arg(gradient(ui::kButtonHover), gradient(ui::kButtonPressed), hex(ui::kButtonFocus));
}

} // namespace logora::app

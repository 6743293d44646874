// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Artwork.hpp"
#include "ui/WindowDef.hpp"

#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>

namespace logora::app {

void paintLogEnd(QPainter& p, const QRect& box) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(box);
    QRadialGradient wood(r.center(), r.width() / 2);
    wood.setColorAt(0, QColor(240, 205, 140));
    wood.setColorAt(1, QColor(196, 146, 82));
    p.setPen(QPen(QColor(96, 58, 22), r.width() / 14));
    p.setBrush(wood);
    p.drawEllipse(r.adjusted(r.width() / 28, r.width() / 28, -r.width() / 28, -r.width() / 28));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(150, 100, 48), r.width() / 40));
    for (int ring = 1; ring <= 4; ++ring) {
        const double inset = r.width() * (0.1 + 0.09 * ring);
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

QString buttonStyleSheet() {
    return QStringLiteral(
        "QPushButton, QLabel[clickable=\"true\"] {"
        "  color: #4a2c0c; font-weight: bold;"
        "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fff6e2, stop:0.5 #efd5a0,"
        "    stop:1 #d4ac68);"
        "  border: 1px solid #8a602a; border-radius: 6px; padding: 1px; }"
        "QPushButton:hover, QLabel[clickable=\"true\"]:hover {"
        "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fffaf0, stop:1 #e2bd7c); }"
        "QPushButton:pressed, QLabel[clickable=\"true\"][pressed=\"true\"] {"
        "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #c99a52, stop:1 #f2dcae);"
        "  padding-top: 2px; }"
        "QPushButton:focus, QLabel[clickable=\"true\"]:focus { border: 2px solid #b0461a; }");
}

} // namespace logora::app

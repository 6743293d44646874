// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the window icon's log end into the PNG sizes of the icon theme.
#include "app/Artwork.hpp"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("icons");
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir = out + QStringLiteral("/%1x%1/apps").arg(size);
        QDir().mkpath(dir);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        logora::app::paintLogEnd(p, QRect(0, 0, size, size));
        p.end();
        if (!image.save(dir + QStringLiteral("/org.logora.Logora.png"))) {
            return 1;
        }
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the window icon's log end into the PNG sizes of the icon theme, and into one
// Windows icon file that holds them all.
#include "app/Artwork.hpp"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("icons");
    QList<QByteArray> pngs;
    const int sizes[] = {16, 24, 32, 48, 64, 128, 256};
    for (int size : sizes) {
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
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        pngs.push_back(png);
    }
    // ICO: a directory of entries, each image stored as PNG (read since Windows Vista).
    QByteArray ico;
    auto put16 = [&ico](int v) { ico.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto put32 = [&](int v) {
        put16(v & 0xFFFF);
        put16((v >> 16) & 0xFFFF);
    };
    put16(0);
    put16(1);
    put16(static_cast<int>(pngs.size()));
    int offset = 6 + 16 * static_cast<int>(pngs.size());
    for (qsizetype i = 0; i < pngs.size(); ++i) {
        const int size = sizes[i];
        ico.append(char(size >= 256 ? 0 : size)).append(char(size >= 256 ? 0 : size));
        ico.append(char(0)).append(char(0));
        put16(1);
        put16(32);
        put32(static_cast<int>(pngs[i].size()));
        put32(offset);
        offset += static_cast<int>(pngs[i].size());
    }
    for (const QByteArray& png : pngs) {
        ico.append(png);
    }
    QFile file(out + QStringLiteral("/logora.ico"));
    return file.open(QIODevice::WriteOnly) && file.write(ico) == ico.size() ? 0 : 1;
}

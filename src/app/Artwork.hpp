// SPDX-License-Identifier: GPL-3.0-or-later
// Logora's own artwork, drawn here: the window icon, the title band and the buttons.
#pragma once

#include <QIcon>
#include <QString>

class QPainter;
class QRect;

namespace logora::app {

// A log end with its growth rings.
QIcon windowIcon();
void paintLogEnd(QPainter& p, const QRect& box);
// The band across the top of a calculator window, with its caption.
void paintTitleBand(QPainter& p, const QRect& band, const QString& caption);
// Buttons and clickable captions that read as wooden picture buttons, with a pressed state.
QString buttonStyleSheet();

} // namespace logora::app

#include "app/Application.hpp"
#include "app/Artwork.hpp"
#include "app/Fonts.hpp"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Logora"));
    QApplication::setFont(logora::app::fontFor(logora::ui::FontSpec{}));
    QApplication::setWindowIcon(logora::app::windowIcon());
    // The program ends through its own rules (exit buttons, closing a log window).
    QApplication::setQuitOnLastWindowClosed(false);
    logora::app::Application app({});
    app.start();
    return QApplication::exec();
}

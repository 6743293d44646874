#include "app/Application.hpp"
#include "app/Fonts.hpp"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Logora"));
    QApplication::setFont(logora::app::fontFor(logora::ui::FontSpec{}));
    logora::app::Application app({});
    app.start();
    return QApplication::exec();
}

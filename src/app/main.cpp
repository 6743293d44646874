// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.hpp"
#include "app/Artwork.hpp"
#include "app/Fonts.hpp"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

// A logout (SIGHUP) or the system's end (SIGTERM) is not the user's choice: the event loop
// ends the program keeping the snapshot of the tallies.
void onEndSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Logora"));
    QApplication::setFont(logora::app::fontFor(logora::ui::FontSpec{}));
    QApplication::setWindowIcon(logora::app::windowIcon());
    // The program ends through its own rules (exit buttons, closing a log window).
    QApplication::setQuitOnLastWindowClosed(false);
    logora::app::Application::Options options;
    options.stateFolder = logora::session::SnapshotKeeper::defaultFolder();
    logora::app::Application app(options);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &qapp);
        QObject::connect(notifier, &QSocketNotifier::activated, &app,
                         [&app] { app.endKeepingSnapshot(); });
        struct sigaction action {};
        action.sa_handler = onEndSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGHUP, &action, nullptr);
    }
    app.start();
    return QApplication::exec();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.hpp"
#include "app/Paths.hpp"
#include "text/PathText.hpp"
#include "ui/Folders.hpp"
#include "ui/Snapshot.hpp"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <fstream>

namespace logora::app {

WindowHost::WindowHost(std::unique_ptr<ui::Window> window, bool ticking)
    : window_(std::move(window)), view_(std::make_unique<FormView>(window_->form())) {
    if (ticking) {
        timer_.setInterval(100);
        connect(&timer_, &QTimer::timeout, this, &WindowHost::tickOnce);
        timer_.start();
    }
}

WindowHost::~WindowHost() = default;

void WindowHost::tickOnce() {
    ui::containChangeLoops([this] { window_->tick(); });
    view_->sync();
}

void QtMessages::message(const std::u16string& text) {
    // Modal for the user, but without a nested event loop: a message raised inside a timer
    // tick must not let the next tick run inside this one.
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Logora"),
                                QString::fromStdU16String(text), QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

Application::Application(Options options)
    : store_(options.priceFolder),
      messages_(options.messages != nullptr ? *options.messages : defaultMessages_),
      exports_(options.exports), snapshots_(options.stateFolder) {
    onQuit = [] { QCoreApplication::quit(); };
    openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    askRestore = [](const std::u16string& question) {
        return askYesNo(question, QStringLiteral("恢复"), QStringLiteral("不恢复"));
    };
    host(Calculator::Grid);
    // About once a second, and only what changed reaches the disk, off this thread.
    snapshotTimer_.setInterval(1000);
    connect(&snapshotTimer_, &QTimer::timeout, this, [this] {
        if (tallyTouched_) {
            snapshots_.offer(currentSnapshot());
        }
    });
}

void Application::userEdited() {
    // An untouched tally is not worth a question at the next start.
    tallyTouched_ = true;
    // A tally is under way: its export should not wait for the office to start.
    exports_.prepare();
}

std::string Application::currentSnapshot() {
    std::vector<const ui::Form*> forms;
    for (const auto& h : hosts_) {
        if (h) {
            forms.push_back(&h->window().form());
        }
    }
    return ui::writeSnapshot(ui::takeSnapshot(forms, grid().twoLengthLayout()));
}

void Application::keepSnapshotNow() {
    snapshots_.flush(currentSnapshot());
}

void Application::endKeepingSnapshot() {
    if (flow_.ending()) {
        return;
    }
    if (tallyTouched_) {
        keepSnapshotNow();
    }
    snapshotTimer_.stop();
    flow_.markEnding();
    onQuit();
}

void Application::offerRecovery() {
    const ui::LeftSnapshot left = ui::takeLeftSnapshot(snapshots_.file());
    if (left.kind == ui::LeftSnapshot::Kind::None) {
        return;
    }
    if (left.kind == ui::LeftSnapshot::Kind::Unreadable) {
        messages_.message(std::u16string(ui::kUnreadableSnapshot) + text::pathText(left.aside));
        return;
    }
    const ui::Snapshot* snapshot = &left.snapshot;
    if (!askRestore(std::u16string(ui::kRestoreQuestion))) {
        snapshots_.discard();
        return;
    }
    tallyTouched_ = true;
    if (snapshot->twoLengthLayout && !grid().twoLengthLayout()) {
        grid().switchToTwoLengths();
    }
    for (Calculator which : ui::calculatorsIn(*snapshot)) {
        WindowHost& h = host(which); // created hidden, as a switch would
        ui::restoreSnapshot(*snapshot, h.window().form());
        h.view().sync();
    }
}

Application::~Application() {
    flow_.markEnding();
    priceView_.reset();
    price_.reset();
    for (auto& h : hosts_) {
        h.reset();
    }
}

grid::GridWindow& Application::grid() {
    return static_cast<grid::GridWindow&>(host(Calculator::Grid).window());
}
list::ListWindow& Application::list() {
    return static_cast<list::ListWindow&>(host(Calculator::List).window());
}
sawn::SawnWindow& Application::sawn() {
    return static_cast<sawn::SawnWindow&>(host(Calculator::Sawn).window());
}

bool Application::exists(Calculator which) const {
    return hosts_[static_cast<int>(which)] != nullptr;
}

WindowHost& Application::host(Calculator which) {
    auto& slot = hosts_[static_cast<int>(which)];
    if (!slot) {
        std::unique_ptr<ui::Window> window;
        switch (which) {
        case Calculator::Grid:
            window = std::make_unique<grid::GridWindow>(static_cast<prices::PriceSource&>(*this));
            break;
        case Calculator::List:
            window = std::make_unique<list::ListWindow>();
            break;
        case Calculator::Sawn:
            window = std::make_unique<sawn::SawnWindow>();
            break;
        }
        slot = std::make_unique<WindowHost>(std::move(window), true);
        wire(which);
        // A calculator opened from another appears where that one stands.
        for (auto& other : hosts_) {
            if (other && other.get() != slot.get() && other->view().isVisible()) {
                slot->view().move(other->view().pos());
                break;
            }
        }
    }
    return *slot;
}

void Application::wire(Calculator which) {
    WindowHost& h = *hosts_[static_cast<int>(which)];
    ui::Form& f = h.window().form();
    h.view().onClosed = [this, which] { closedByPlatform(which); };
    h.view().onUserEdit = [this] { userEdited(); };
    // Every button of the shell is wired by its role in the window's definition.
    ui::wireByRole(f, which, *this);
}

bool Application::exported(Calculator which) {
    const bool twoLengths = which == Calculator::Grid && grid().twoLengthLayout();
    return exports_.exportBill(which, exporting::billFor(which, twoLengths),
                               host(which).window().form());
}

void Application::minimise(Calculator which) {
    host(which).view().showMinimized();
}

void Application::openManual(Calculator which) {
    openManual(QString::fromLatin1(ui::manualSection(which).data(),
                                   static_cast<int>(ui::manualSection(which).size())));
}

void Application::start() {
    host(Calculator::Grid).view().show();
    offerRecovery();
    snapshotTimer_.start();
}

void Application::switchTo(Calculator which) {
    flow_.switchTo(which);
}

void Application::show(Calculator which) {
    host(which).view().show();
}

void Application::hide(Calculator which) {
    host(which).view().hide();
}

void Application::unloadLater(Calculator which) {
    QMetaObject::invokeMethod(
        this, [this, which] { hosts_[static_cast<int>(which)].reset(); }, Qt::QueuedConnection);
}

void Application::hidePrices() {
    if (priceView_) {
        priceView_->hide();
    }
}

void Application::minimizeGrid() {
    minimise(Calculator::Grid);
}

void Application::quit() {
    if (flow_.ending()) {
        return;
    }
    // The user chose to end: the tallies go, as they always have.
    snapshotTimer_.stop();
    snapshots_.remove();
    flow_.quit();
}

void Application::closedByPlatform(Calculator which) {
    if (which == Calculator::Sawn || flow_.ending()) {
        flow_.closedByPlatform(which);
        return;
    }
    quit(); // the user's end: the snapshot goes too
}

prices::PriceWindow& Application::priceWindow() {
    if (!price_) {
        price_ = std::make_unique<prices::PriceWindow>(store_, messages_);
        price_->onSaved = [this] { flow_.pricesSaved(); };
        priceView_ = std::make_unique<FormView>(price_->form());
        priceView_->onClosed = [this] {
            // Closed without "保存退出": its unsaved texts go; the next tick reloads the store.
            QMetaObject::invokeMethod(this, &Application::discardPriceWindow, Qt::QueuedConnection);
        };
    }
    return *price_;
}

void Application::discardPriceWindow() {
    if (priceView_ && !priceView_->isVisible()) {
        priceView_.reset();
        price_.reset();
    }
}

std::u16string Application::priceText(int priceClass) {
    return priceWindow().priceText(priceClass);
}

void Application::openPriceWindow() {
    priceWindow();
    priceView_->show();
    // Placed after it is shown, relative to the grid window (both by their outer widths).
    const QRect grid = host(Calculator::Grid).view().frameGeometry();
    const QRect price = priceView_->frameGeometry();
    const int left = grid.left() + grid.width() - price.width() - FormView::px(1900);
    const int top = grid.top() + grid.width() - price.width() + FormView::px(550);
    priceView_->move(left, top);
    priceView_->raise();
    priceView_->activateWindow();
}

QString Application::manualPath() {
    return QString::fromStdString(dataPath("manual.html").string());
}

void Application::openManual(const QString& section) {
    const QString path = manualPath();
    QUrl url = QUrl::fromLocalFile(path);
    url.setFragment(section);
    if (!QFileInfo::exists(path) || !openUrl(url)) {
        messages_.message(std::u16string(ui::kManualNotOpened) + path.toStdU16String());
    }
}

} // namespace logora::app

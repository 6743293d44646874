// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.hpp"
#include "app/Paths.hpp"
#include "phone/qr/QrCode.hpp"
#include "ui/Shell.hpp"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

namespace logora::app {

WindowHost::WindowHost(ui::Window& window, bool ticking)
    : window_(window), view_(std::make_unique<FormView>(window_.form())) {
    if (ticking) {
        timer_.setInterval(100);
        connect(&timer_, &QTimer::timeout, this, &WindowHost::tickOnce);
        timer_.start();
    }
}

WindowHost::~WindowHost() = default;

void WindowHost::tickOnce() {
    ui::containChangeLoops([this] { window_.tick(); });
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

std::u16string QtEditorIo::clipboardText() {
    return QGuiApplication::clipboard()->text().toStdU16String();
}

void QtEditorIo::setClipboardText(const std::u16string& text) {
    QGuiApplication::clipboard()->setText(QString::fromStdU16String(text));
}

std::optional<std::filesystem::path> QtEditorIo::csvToOpen() {
    const QString file = QFileDialog::getOpenFileName(nullptr, QStringLiteral("导入价格表"), {},
                                                      QStringLiteral("CSV 文件 (*.csv)"));
    if (file.isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(file.toStdU16String());
}

std::optional<std::filesystem::path> QtEditorIo::csvToSave() {
    const QString file = QFileDialog::getSaveFileName(nullptr, QStringLiteral("导出价格表"),
                                                      QStringLiteral("价格表.csv"),
                                                      QStringLiteral("CSV 文件 (*.csv)"));
    if (file.isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(file.toStdU16String());
}

bool QtEditorIo::ask(const std::u16string& question) {
    return QMessageBox::question(
               nullptr, QStringLiteral("Logora"), QString::fromStdU16String(question),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

Application::Application(Options options)
    : messages_(options.messages != nullptr ? *options.messages : defaultMessages_),
      editorIo_(options.editorIo != nullptr ? *options.editorIo : defaultEditorIo_),
      exports_(options.exports), ledger_(options.exports.billFolder / ledger::kLedgerFile),
      session_({options.priceFolder, options.exports.billFolder, Exports::templateFolder(),
                options.stateFolder},
               *this, messages_, exports_.prompts()) {
    exports_.watch(session_);
    onQuit = [] { QCoreApplication::quit(); };
    openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    askRestore = [](const std::u16string& question) {
        return askYesNo(question, QStringLiteral("恢复"), QStringLiteral("不恢复"));
    };
    session_.window(Calculator::Grid);
    // About once a second, and only what changed reaches the disk, off this thread.
    snapshotTimer_.setInterval(1000);
    connect(&snapshotTimer_, &QTimer::timeout, this, [this] { session_.snapshotTick(); });
    yardTimer_.setInterval(60 * 1000);
    connect(&yardTimer_, &QTimer::timeout, this, [this] { ledger_.sendWaiting(); });
    // The yard's worker hands its answers to this thread as queued calls.
    ledger_.useWorker([this](std::function<void()> task) {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
    });
    ledger_.answered = [this] {
        if (ledgerDialog_ && ledgerDialog_->isVisible()) {
            ledgerDialog_->reload();
        }
    };
    ledger_.listsChanged = [this] { session_.priceListsChanged(); };
    ledger_.said = [this](const std::u16string& text) { messages_.message(text); };
}

Application::~Application() {
    phoneHost_.reset();
    phone_.reset();
    yardView_.reset();
    listsView_.reset();
    priceDetailDialog_.reset();
    comparisonDialog_.reset();
    ledgerDialog_.reset();
    priceView_.reset();
    for (auto& h : hosts_) {
        h.reset();
    }
}

void Application::openLedger(Calculator which) {
    if (!ledgerDialog_) {
        ledgerDialog_ = std::make_unique<LedgerDialog>(ledger_, exports_.spreadsheet(),
                                                       session_.bills(), exports_.prompts());
        ledgerDialog_->openUrl = [this](const QUrl& url) { return openUrl(url); };
        ledgerDialog_->onYard = [this] { openYard(); };
        // Over the calculator it was opened from, as the price window is.
        const QRect over = host(which).view().frameGeometry();
        ledgerDialog_->move(over.topLeft() + QPoint(40, 40));
    } else {
        ledgerDialog_->reload();
    }
    ledgerDialog_->show();
    ledgerDialog_->raise();
    ledgerDialog_->activateWindow();
    ledgerDialog_->findField()->setFocus();
}

void Application::openComparison(Calculator which) {
    if (!comparisonDialog_) {
        comparisonDialog_ = std::make_unique<ComparisonDialog>(session_);
        const QRect over = host(which).view().frameGeometry();
        comparisonDialog_->move(over.topLeft() + QPoint(40, 40));
    }
    comparisonDialog_->showFor(which);
}

void Application::openPriceDetail(Calculator which) {
    if (!priceDetailDialog_) {
        priceDetailDialog_ = std::make_unique<PriceDetailDialog>(session_);
        const QRect over = host(which).view().frameGeometry();
        priceDetailDialog_->move(over.topLeft() + QPoint(60, 60));
    }
    priceDetailDialog_->showFor(which);
}

void Application::openYard() {
    if (!yardWindow_) {
        yardWindow_ = std::make_unique<ledger::YardWindow>(ledger_);
        yardView_ = std::make_unique<FormView>(yardWindow_->form());
        yardWindow_->onClose = [this] { yardView_->hide(); };
        yardWindow_->onSaid = [this] { yardView_->sync(); };
        yardWindow_->ask = [](const std::u16string& question) {
            return askYesNo(question, QStringLiteral("接替"), QStringLiteral("不接替"));
        };
        // After a join or a leave the ledger lists the other ledger's bills.
        yardWindow_->onChanged = [this] {
            yardView_->sync();
            if (ledgerDialog_) {
                ledgerDialog_->reload();
            }
        };
        const QRect over = ledgerDialog_ ? ledgerDialog_->frameGeometry()
                                         : host(Calculator::Grid).view().frameGeometry();
        yardView_->move(over.topLeft() + QPoint(60, 60));
    } else {
        yardWindow_->refresh();
    }
    yardView_->sync();
    yardView_->show();
    yardView_->raise();
    yardView_->activateWindow();
}

namespace {

// The code drawn square in its place, four modules of white around it, each module whole
// pixels so that a phone's camera reads it at a glance.
void drawCode(QLabel* label, const std::string& address) {
    if (!label) {
        return;
    }
    if (address.empty()) {
        label->setPixmap({});
        label->setText(QStringLiteral("没有在等手机"));
        return;
    }
    const phone::QrMatrix m = phone::qrCode(address);
    const int modules = m.side();
    const int scale = std::max(1, std::min(label->width(), label->height()) / modules);
    QImage image(modules * scale, modules * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < modules; ++y) {
        for (int x = 0; x < modules; ++x) {
            if (m.darkAt(x, y)) {
                painter.fillRect(x * scale, y * scale, scale, scale, Qt::black);
            }
        }
    }
    painter.end();
    label->setAlignment(Qt::AlignCenter);
    label->setPixmap(QPixmap::fromImage(image));
}

} // namespace

void Application::openPhone(Calculator which) {
    if (!phone_) {
        phone_ = std::make_unique<phone::PhoneService>(
            session_,
            [this](std::function<void()> task) {
                QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
            },
            phone::keptIn(ledger_.desk()));
        phoneHost_ = std::make_unique<WindowHost>(phone_->window(), true);
        FormView& view = phoneHost_->view();
        // Closed by its button or by the platform: the desk listens no more, the window rests.
        view.onClosed = [this] {
            phone_->close();
            phoneHost_->setTicking(false);
        };
        phone_->window().onClose = [this] {
            phoneHost_->view().onClosed();
            phoneHost_->view().hide();
        };
        // The code's own picture over its place, which keeps its white.
        QWidget* place =
            view.widgetFor(ui::controlWithRole(phone_->window().form(), ui::Role::PhoneCode));
        phoneCode_ = new QLabel(&view);
        phoneCode_->setGeometry(place->geometry());
        phoneCode_->raise();
        phone_->window().onAddress = [this] { drawCode(phoneCode_, phone_->window().address()); };
        const QRect over = host(which).view().frameGeometry();
        view.move(over.topLeft() + QPoint(60, 40));
    }
    phone_->open(which);
    phoneHost_->setTicking(true);
    FormView& view = phoneHost_->view();
    view.sync();
    view.show();
    view.raise();
    view.activateWindow();
    phoneCode_->setGeometry(
        view.widgetFor(ui::controlWithRole(phone_->window().form(), ui::Role::PhoneCode))
            ->geometry());
    drawCode(phoneCode_, phone_->window().address());
}

void Application::showPriceLists(prices::ListEditor& editor) {
    if (listsView_ && &listsView_->form() != &editor.form()) {
        listsView_.reset();
    }
    if (!listsView_) {
        listsView_ = std::make_unique<FormView>(editor.form());
        listsView_->onClosed = [this] { session_.priceListsClosedByPlatform(); };
        const QRect over = host(Calculator::Grid).view().frameGeometry();
        listsView_->move(over.topLeft() + QPoint(80, 60));
    }
    listsView_->sync();
    listsView_->show();
    listsView_->raise();
    listsView_->activateWindow();
}

void Application::hidePriceLists() {
    if (listsView_) {
        listsView_->hide();
    }
}

void Application::exportEnds() {
    exports_.ends();
    // A bill just exported is listed at once in an open ledger.
    if (ledgerDialog_ && ledgerDialog_->isVisible()) {
        ledgerDialog_->reload();
    }
}

void Application::start() {
    session_.start();
    snapshotTimer_.start();
    yardTimer_.start();
}

WindowHost& Application::host(Calculator which) {
    session_.window(which);
    return *hosts_[static_cast<int>(which)];
}

void Application::made(Calculator which, ui::Window& window) {
    auto& slot = hosts_[static_cast<int>(which)];
    slot = std::make_unique<WindowHost>(window, true);
    slot->view().onClosed = [this, which] { session_.closedByPlatform(which); };
    slot->view().onUserEdit = [this] { session_.userEdited(); };
}

bool Application::visible(Calculator which) const {
    const auto& h = hosts_[static_cast<int>(which)];
    return h && h->view().isVisible();
}

session::Point Application::position(Calculator which) const {
    const QPoint p = hosts_[static_cast<int>(which)]->view().pos();
    return {p.x(), p.y()};
}

void Application::moveTo(Calculator which, session::Point where) {
    hosts_[static_cast<int>(which)]->view().move(where.x, where.y);
}

void Application::unloadLater(Calculator which) {
    QMetaObject::invokeMethod(
        this,
        [this, which] {
            hosts_[static_cast<int>(which)].reset();
            if (phone_) {
                phone_->unloaded(which);
            }
            session_.unload(which);
        },
        Qt::QueuedConnection);
}

void Application::hidePrices() {
    if (priceView_) {
        priceView_->hide();
    }
}

void Application::showPrices(prices::PriceWindow& window) {
    if (!priceView_) {
        priceView_ = std::make_unique<FormView>(window.form());
        priceView_->onClosed = [this] {
            // Closed without "保存退出": its unsaved texts go; the next tick reloads the store.
            QMetaObject::invokeMethod(this, &Application::discardPriceWindow, Qt::QueuedConnection);
        };
    }
    priceView_->show();
    // Placed after it is shown, relative to the grid window (both by their outer frames).
    const QRect grid = host(Calculator::Grid).view().frameGeometry();
    const QRect price = priceView_->frameGeometry();
    const session::Point at =
        session::pricePlacement({grid.left(), grid.top(), grid.width(), grid.height()},
                                {price.left(), price.top(), price.width(), price.height()},
                                [](int twips) { return FormView::px(twips); });
    priceView_->move(at.x, at.y);
    priceView_->raise();
    priceView_->activateWindow();
}

void Application::discardPriceWindow() {
    if (priceView_ && !priceView_->isVisible()) {
        priceView_.reset();
        session_.discardPrices();
    }
}

void Application::openManual(Calculator which) {
    openManual(QString::fromLatin1(ui::manualSection(which).data(),
                                   static_cast<int>(ui::manualSection(which).size())));
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

#include "app/Application.hpp"

#include "app/Fonts.hpp"

#include <QMessageBox>
#include <QScreen>
#include <cstdio>

namespace logora::app {

WindowHost::WindowHost(ui::Window& window, FormView* view, bool ticking)
    : window_(window), view_(view) {
    if (ticking) {
        timer_.setInterval(100);
        connect(&timer_, &QTimer::timeout, this, &WindowHost::tickOnce);
        timer_.start();
    }
}

WindowHost::~WindowHost() { delete view_; }

void WindowHost::tickOnce() {
    try {
        window_.tick();
    } catch (const ui::ChangeLoopError& e) {
        // A programming error; the tally on screen stays as it is.
        std::fprintf(stderr, "logora: %s\n", e.what());
    }
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
      grid_(*this) {
    gridHost_ = std::make_unique<WindowHost>(grid_, new FormView(grid_.form()), true);
    grid_.form().onClick(u"Label5", [this](int) { openPriceWindow(); });
}

Application::~Application() = default;

void Application::start() { gridHost_->view().show(); }

prices::PriceWindow& Application::priceWindow() {
    if (!price_) {
        price_ = std::make_unique<prices::PriceWindow>(store_, messages_);
        price_->onSaved = [this] {
            gridHost_->view().show();
            priceView_->hide();
        };
        priceView_ = std::make_unique<FormView>(price_->form());
        priceView_->onClosed = [this] {
            // Closed without "保存退出": its unsaved texts go; the next tick reloads the store.
            QMetaObject::invokeMethod(this, &Application::discardPriceWindow,
                                      Qt::QueuedConnection);
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
    const QRect grid = gridHost_->view().frameGeometry();
    const QRect price = priceView_->frameGeometry();
    const int left = grid.left() + grid.width() - price.width() - FormView::px(1900);
    const int top = grid.top() + grid.width() - price.width() + FormView::px(550);
    priceView_->move(left, top);
    priceView_->raise();
    priceView_->activateWindow();
}

} // namespace logora::app

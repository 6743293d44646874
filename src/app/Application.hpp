// The running program: the calculator windows, their views and timers, and the price window.
#pragma once

#include "app/FormView.hpp"
#include "grid/GridWindow.hpp"
#include "prices/GradePriceStore.hpp"
#include "prices/PriceWindow.hpp"

#include <QObject>
#include <QTimer>

#include <memory>

namespace logora::app {

// A window model with its view and its 100 ms timer.
class WindowHost : public QObject {
    Q_OBJECT
  public:
    WindowHost(ui::Window& window, FormView* view, bool ticking);
    ~WindowHost() override;
    FormView& view() { return *view_; }
    ui::Window& window() { return window_; }
    // One timer event: the model's tick, then the widgets that it changed.
    void tickOnce();

  private:
    ui::Window& window_;
    FormView* view_;
    QTimer timer_;
};

class QtMessages : public prices::MessageSink {
  public:
    void message(const std::u16string& text) override;
};

class Application : public QObject, private prices::PriceSource {
    Q_OBJECT
  public:
    struct Options {
        std::filesystem::path priceFolder = prices::FilePriceStore::defaultFolder();
        prices::MessageSink* messages = nullptr; // null: message boxes
    };
    explicit Application(Options options);
    ~Application() override;

    void start(); // shows the grid window

    grid::GridWindow& grid() { return grid_; }
    WindowHost& gridHost() { return *gridHost_; }
    // The price window, created hidden when it does not exist yet.
    prices::PriceWindow& priceWindow();
    FormView* priceView() { return priceView_.get(); }
    bool hasPriceWindow() const { return price_ != nullptr; }
    void openPriceWindow(); // "单价设置"

  private:
    std::u16string priceText(int priceClass) override;
    void discardPriceWindow();

    prices::FilePriceStore store_;
    QtMessages defaultMessages_;
    prices::MessageSink& messages_;
    grid::GridWindow grid_;
    std::unique_ptr<WindowHost> gridHost_;
    std::unique_ptr<prices::PriceWindow> price_;
    std::unique_ptr<FormView> priceView_;
};

} // namespace logora::app

// SPDX-License-Identifier: GPL-3.0-or-later
// The running program: the three calculator windows with their views and timers, the price
// window, switching between them, and ending.
#pragma once

#include "app/Exports.hpp"
#include "app/FormView.hpp"
#include "app/Recovery.hpp"
#include "grid/GridWindow.hpp"
#include "list/ListWindow.hpp"
#include "prices/GradePriceStore.hpp"
#include "prices/PriceWindow.hpp"
#include "sawn/SawnWindow.hpp"
#include "ui/Shell.hpp"

#include <QObject>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

namespace logora::app {

// A window model with its view and its 100 ms timer.
class WindowHost : public QObject {
    Q_OBJECT
  public:
    WindowHost(std::unique_ptr<ui::Window> window, bool ticking);
    ~WindowHost() override;
    FormView& view() { return *view_; }
    ui::Window& window() { return *window_; }
    // One timer event: the model's tick, then the widgets that it changed.
    void tickOnce();

  private:
    std::unique_ptr<ui::Window> window_;
    std::unique_ptr<FormView> view_;
    QTimer timer_;
};

class QtMessages : public prices::MessageSink {
  public:
    void message(const std::u16string& text) override;
};

using ui::Calculator;

class Application : public QObject,
                    private prices::PriceSource,
                    private ui::ShellActions,
                    private ui::ShellViews {
    Q_OBJECT
  public:
    struct Options {
        std::filesystem::path priceFolder = prices::FilePriceStore::defaultFolder();
        prices::MessageSink* messages = nullptr; // null: message boxes
        Exports::Options exports;
        // Where the snapshot of the running tallies is kept; empty: none is kept.
        std::filesystem::path stateFolder = {};
    };
    explicit Application(Options options);
    ~Application() override;

    // Shows the grid window; after an abnormal end, offers the tallies of the last run.
    void start();
    // The snapshot of every calculator's fields as they stand, written now.
    void keepSnapshotNow();
    // Ends as a logout or a kill by the system does: the snapshot stays for the next start.
    void endKeepingSnapshot();

    grid::GridWindow& grid();
    list::ListWindow& list();
    sawn::SawnWindow& sawn();
    // The window's host, created hidden when it does not exist yet.
    WindowHost& host(Calculator which);
    bool exists(Calculator which) const override;

    // Shows one calculator, then hides the others (creating them hidden on first use).
    void switchTo(Calculator which) override;
    void minimizeGrid();
    void minimise(Calculator which) override;
    // Ends the program at once: every window closes, nothing is asked or saved.
    void quit();
    void exit() override { quit(); }
    void openPrices() override { openPriceWindow(); }

    // The price window, created hidden when it does not exist yet.
    prices::PriceWindow& priceWindow();
    FormView* priceView() { return priceView_.get(); }
    bool hasPriceWindow() const { return price_ != nullptr; }
    void openPriceWindow(); // "单价设置"

    Exports& exports() { return exports_; }
    // "导出表格" of a calculator.
    void exportBill(Calculator which) override { exported(which); }
    bool exported(Calculator which);

    // The manual opened by the web buttons, at a window's section.
    static QString manualPath();
    void openManual(const QString& section);
    void openManual(Calculator which) override;

    // Seams: how the program ends and how a page is opened.
    std::function<void()> onQuit;
    std::function<bool(const QUrl&)> openUrl;
    // Asks whether to restore the last run's tallies; yes is the default.
    std::function<bool(const std::u16string&)> askRestore;

  private:
    // The shell's views: the decisions themselves are the shared flow's.
    void show(Calculator which) override;
    void hide(Calculator which) override;
    void unloadLater(Calculator which) override;
    void hidePrices() override;
    void end() override { onQuit(); }

    std::u16string priceText(int priceClass) override;
    void discardPriceWindow();
    void wire(Calculator which);
    void closedByPlatform(Calculator which);
    std::string currentSnapshot();
    void offerRecovery();
    void userEdited();

    prices::FilePriceStore store_;
    QtMessages defaultMessages_;
    prices::MessageSink& messages_;
    Exports exports_;
    std::unique_ptr<WindowHost> hosts_[3];
    std::unique_ptr<prices::PriceWindow> price_;
    std::unique_ptr<FormView> priceView_;
    ui::ShellFlow flow_{*this};
    SnapshotKeeper snapshots_;
    bool tallyTouched_ = false;
    QTimer snapshotTimer_;
};

} // namespace logora::app

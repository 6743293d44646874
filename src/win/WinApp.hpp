// SPDX-License-Identifier: GPL-3.0-or-later
// The running program on Windows: the three calculators with their 100 ms timers, the price
// window, the shell's actions and the bill export. The decisions are the core's (ShellFlow,
// wireByRole, the recovery of a tally); this class only shows and hides native windows.
#pragma once

#include "app/Recovery.hpp"
#include "export/BillExport.hpp"
#include "export/Spreadsheet.hpp"
#include "prices/GradePriceStore.hpp"
#include "prices/PriceGrade.hpp"
#include "prices/PriceWindow.hpp"
#include "ui/Shell.hpp"
#include "win/FormWindow.hpp"

#include <filesystem>
#include <functional>
#include <memory>

namespace logora::win {

using ui::Calculator;

// A modal message under the program's title; ticks wait while it is open.
class BoxMessages : public prices::MessageSink, public exporting::ExportPrompts {
  public:
    void message(const std::u16string& text) override;
    void remind(const std::u16string& text) override { message(text); }
    void failed(const std::u16string& text) override { message(text); }
    bool ask(const std::u16string& question) override;
};

class WinApp : private prices::PriceSource, private ui::ShellActions, private ui::ShellViews {
  public:
    struct Options {
        std::filesystem::path priceFolder;
        std::filesystem::path billFolder;
        std::filesystem::path templateFolder;
        std::filesystem::path stateFolder;             // the snapshot; empty: none is kept
        std::filesystem::path manual;                  // manual.html
        exporting::Spreadsheet* spreadsheet = nullptr; // null: Excel or WPS through COM
    };
    WinApp(HINSTANCE instance, Options options);
    ~WinApp() override;

    // Shows the grid window; after an abnormal end, offers the tallies of the last run.
    void start();
    // The message loop until the program ends.
    int run();
    // Ends as a logout does: the snapshot stays for the next start.
    void endKeepingSnapshot();

    ui::Window& window(Calculator which);
    FormWindow& view(Calculator which);

  private:
    struct Host {
        std::unique_ptr<ui::Window> window;
        std::unique_ptr<FormWindow> view;
    };
    Host& host(Calculator which);

    // The shell's actions.
    void switchTo(Calculator which) override { flow_.switchTo(which); }
    void minimise(Calculator which) override { view(which).minimise(); }
    void exit() override;
    void exportBill(Calculator which) override;
    void openManual(Calculator which) override;
    void openPrices() override;
    // The shell's views.
    void show(Calculator which) override { view(which).show(); }
    void hide(Calculator which) override { view(which).hide(); }
    bool exists(Calculator which) const override;
    void unloadLater(Calculator which) override;
    void hidePrices() override;
    void end() override { PostQuitMessage(0); }

    std::u16string priceText(int priceClass) override;
    prices::PriceWindow& priceWindow();
    void closedByPlatform(Calculator which);
    void offerRecovery();
    std::string currentSnapshot();

    HINSTANCE instance_;
    Options options_;
    prices::FilePriceStore store_;
    BoxMessages boxes_;
    exporting::BillFolder bills_;
    std::unique_ptr<exporting::Spreadsheet> ownSheet_;
    exporting::Spreadsheet* sheet_;
    Host hosts_[3];
    std::unique_ptr<prices::PriceWindow> price_;
    std::unique_ptr<FormWindow> priceView_;
    ui::ShellFlow flow_{*this};
    app::SnapshotKeeper snapshots_;
    bool tallyTouched_ = false;
    bool busy_ = false;
    int counts_[3] = {0, 0, 0};
    HWND messageWindow_ = nullptr; // timers and deferred work that belong to no calculator
};

} // namespace logora::win

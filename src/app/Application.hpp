// SPDX-License-Identifier: GPL-3.0-or-later
// The running program on Qt: the views of the session's windows with their timers, message
// boxes and opening the manual. The decisions are the session's.
#pragma once

#include "app/ComparisonDialog.hpp"
#include "app/Exports.hpp"
#include "app/FormView.hpp"
#include "app/LedgerDialog.hpp"
#include "app/PriceDetailDialog.hpp"
#include "grid/GridWindow.hpp"
#include "ledger/YardWindow.hpp"
#include "ledger/pg/DeskLedger.hpp"
#include "list/ListWindow.hpp"
#include "phone/http/PhoneService.hpp"
#include "prices/GradePriceStore.hpp"
#include "prices/PriceWindow.hpp"
#include "sawn/SawnWindow.hpp"
#include "session/Session.hpp"

#include <QLabel>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

namespace logora::app {

// A window model's view and its 100 ms timer.
class WindowHost : public QObject {
    Q_OBJECT
  public:
    WindowHost(ui::Window& window, bool ticking);
    ~WindowHost() override;
    FormView& view() { return *view_; }
    ui::Window& window() { return window_; }
    // One timer event: the model's tick, then the widgets that it changed.
    void tickOnce();
    // A window that is closed costs nothing while it waits to be opened again.
    void setTicking(bool ticking) { ticking ? timer_.start(100) : timer_.stop(); }

  private:
    ui::Window& window_;
    std::unique_ptr<FormView> view_;
    QTimer timer_;
};

class QtMessages : public prices::MessageSink {
  public:
    void message(const std::u16string& text) override;
};

// The price lists' editor on Qt: the system clipboard, file dialogs, a question box.
class QtEditorIo : public prices::EditorIo {
  public:
    std::u16string clipboardText() override;
    void setClipboardText(const std::u16string& text) override;
    std::optional<std::filesystem::path> csvToOpen() override;
    std::optional<std::filesystem::path> csvToSave() override;
    bool ask(const std::u16string& question) override;
};

using ui::Calculator;

class Application : public QObject, private session::FrontEnd {
    Q_OBJECT
  public:
    struct Options {
        std::filesystem::path priceFolder = prices::FilePriceStore::defaultFolder();
        prices::MessageSink* messages = nullptr; // null: message boxes
        Exports::Options exports;
        // Where the snapshot of the running tallies is kept; empty: none is kept.
        std::filesystem::path stateFolder = {};
        prices::EditorIo* editorIo = nullptr; // null: the clipboard and file dialogs
    };
    explicit Application(Options options);
    ~Application() override;

    // Shows the grid window; offers back the tallies that programs that are gone left.
    void start();
    // The snapshot of every calculator's fields as they stand, written now.
    void keepSnapshotNow() { session_.keepSnapshotNow(); }
    // Ends as a logout or a kill by the system does: the snapshot stays for the next start.
    void endKeepingSnapshot() { session_.endKeepingSnapshot(); }

    session::Session& session() { return session_; }
    grid::GridWindow& grid() { return session_.grid(); }
    list::ListWindow& list() { return session_.list(); }
    sawn::SawnWindow& sawn() { return session_.sawn(); }
    // The window's host, created hidden when it does not exist yet.
    WindowHost& host(Calculator which);
    bool exists(Calculator which) const { return session_.exists(which); }

    // Shows one calculator, then hides the others (creating them hidden on first use).
    void switchTo(Calculator which) { session_.switchTo(which); }
    void minimizeGrid() { minimise(Calculator::Grid); }
    // Ends the program at once: every window closes, nothing is asked or saved.
    void quit() { session_.quit(); }

    // The price window, created hidden when it does not exist yet.
    prices::PriceWindow& priceWindow() { return session_.priceWindow(); }
    FormView* priceView() { return priceView_.get(); }
    bool hasPriceWindow() const { return session_.hasPriceWindow(); }
    void openPriceWindow() { session_.openPrices(); } // "单价设置"

    const Exports& exports() const { return exports_; }
    ledger::SqliteLedger& billLedger() { return ledger_.desk(); }
    ledger::DeskLedger& deskLedger() { return ledger_; }
    // "共享账本", from 账单记录.
    void openYard();
    // "手机检尺", taps into the calculator it was pressed in.
    void openPhone(Calculator which) override;
    phone::PhoneService* phone() { return phone_.get(); }
    FormView* phoneView() { return phoneHost_ ? &phoneHost_->view() : nullptr; }
    FormView* yardView() { return yardView_.get(); }
    ledger::YardWindow* yardWindow() { return yardWindow_.get(); }
    // "账单记录", made at its first opening.
    LedgerDialog* ledgerDialog() { return ledgerDialog_.get(); }
    void openLedger(Calculator which) override;
    // "标准对照", made at its first opening.
    ComparisonDialog* comparisonDialog() { return comparisonDialog_.get(); }
    void openComparison(Calculator which) override;
    // "价格明细", made at its first opening.
    PriceDetailDialog* priceDetailDialog() { return priceDetailDialog_.get(); }
    void openPriceDetail(Calculator which) override;
    // "价格表": the editor's view while it is open.
    FormView* priceListsView() { return listsView_.get(); }
    // "导出表格" of a calculator.
    bool exported(Calculator which) { return session_.exported(which); }

    // The manual opened by the web buttons, at a window's section.
    static QString manualPath();
    void openManual(const QString& section);
    void openManual(Calculator which) override;

    // Seams: how the program ends and how a page is opened.
    std::function<void()> onQuit;
    std::function<bool(const QUrl&)> openUrl;
    // Asks whether to restore a tally left by a program that is gone; yes is the default.
    std::function<bool(const std::u16string&)> askRestore;

  private:
    // The session's front end.
    void made(Calculator which, ui::Window& window) override;
    void show(Calculator which) override { host(which).view().show(); }
    void hide(Calculator which) override { host(which).view().hide(); }
    void minimise(Calculator which) override { host(which).view().showMinimized(); }
    bool visible(Calculator which) const override;
    session::Point position(Calculator which) const override;
    void moveTo(Calculator which, session::Point where) override;
    void refresh(Calculator which) override { host(which).view().sync(); }
    void unloadLater(Calculator which) override;
    void showPrices(prices::PriceWindow& window) override;
    void hidePrices() override;
    bool askToRestore(const std::u16string& question) override { return askRestore(question); }
    void end() override { onQuit(); }
    exporting::Spreadsheet& spreadsheet() override { return exports_.spreadsheet(); }
    ledger::LedgerStore* ledger() override { return &ledger_; }
    ledger::PriceListStore* priceListStore() override { return &ledger_; }
    void showPriceLists(prices::ListEditor& editor) override;
    void hidePriceLists() override;
    void dropPriceLists() override { listsView_.reset(); }
    prices::EditorIo* editorIo() override { return &editorIo_; }
    void exportBegins() override { exports_.begins(); }
    void exportEnds() override;

    void discardPriceWindow();

    QtMessages defaultMessages_;
    QtEditorIo defaultEditorIo_;
    prices::MessageSink& messages_;
    prices::EditorIo& editorIo_;
    Exports exports_;
    ledger::DeskLedger ledger_; // beside the bills and their archive, and the yard's
    session::Session session_;
    // Views go before the session's models they show.
    std::unique_ptr<WindowHost> hosts_[3];
    std::unique_ptr<FormView> priceView_;
    std::unique_ptr<LedgerDialog> ledgerDialog_;
    std::unique_ptr<ComparisonDialog> comparisonDialog_;
    std::unique_ptr<PriceDetailDialog> priceDetailDialog_;
    std::unique_ptr<FormView> listsView_;
    std::unique_ptr<ledger::YardWindow> yardWindow_;
    std::unique_ptr<FormView> yardView_;
    // "手机检尺": made at its first opening; it goes before the session it taps into.
    std::unique_ptr<phone::PhoneService> phone_;
    std::unique_ptr<WindowHost> phoneHost_;
    QLabel* phoneCode_ = nullptr; // owned by the phone window's view
    // What waits for the yard's ledger is sent every minute.
    QTimer yardTimer_;
    QTimer snapshotTimer_;
};

} // namespace logora::app

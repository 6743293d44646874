// SPDX-License-Identifier: GPL-3.0-or-later
// The running program, for any front end: the calculator models and the price window, the
// shell's decisions, the bill exports, the snapshot of the tallies and their recovery after
// an abnormal end. A front end keeps only what is its platform's: windows, timers, message
// boxes, opening files.
#pragma once

#include "compare/Comparison.hpp"
#include "export/BillExport.hpp"
#include "ledger/PriceListStore.hpp"
#include "prices/GradePriceStore.hpp"
#include "prices/ListEditor.hpp"
#include "prices/PriceDetail.hpp"
#include "prices/PriceGrade.hpp"
#include "prices/PriceWindow.hpp"
#include "session/SnapshotKeeper.hpp"
#include "session/StoredRule.hpp"
#include "ui/Shell.hpp"
#include "ui/Snapshot.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace logora::grid {
class GridWindow;
}
namespace logora::list {
class ListWindow;
}
namespace logora::sawn {
class SawnWindow;
}

namespace logora::session {

using ui::Calculator;

// A window's place on the screen, in the front end's own units.
struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Where the price window opens: by the grid window's outer frame and its own, as the
// calculators have always placed it. px turns twips into the front end's units.
Point pricePlacement(const Rect& grid, const Rect& price, const std::function<int(int twips)>& px);

// What the running program asks of its front end.
class FrontEnd {
  public:
    virtual ~FrontEnd() = default;
    // A calculator's model was made: its view is made for it, hidden. The view tells the
    // session of a close by the platform and of the user's edits.
    virtual void made(Calculator which, ui::Window& window) = 0;
    virtual void show(Calculator which) = 0;
    virtual void hide(Calculator which) = 0;
    virtual void minimise(Calculator which) = 0;
    virtual bool visible(Calculator which) const = 0;
    virtual Point position(Calculator which) const = 0;
    virtual void moveTo(Calculator which, Point where) = 0;
    // The view shows its model's texts again (after a restore).
    virtual void refresh(Calculator which) = 0;
    // Once the event that closed it is over: the view goes, then Session::unload(which).
    virtual void unloadLater(Calculator which) = 0;
    // The price window's view, made when it does not exist, shown and placed.
    virtual void showPrices(prices::PriceWindow& window) = 0;
    virtual void hidePrices() = 0;
    virtual void openManual(Calculator which) = 0;
    // "账单记录", over the calculator it was pressed in.
    virtual void openLedger(Calculator) {}
    // "标准对照", over the log calculator it was pressed in.
    virtual void openComparison(Calculator) {}
    // "价格明细", over the calculator it was pressed in.
    virtual void openPriceDetail(Calculator) {}
    // "手机检尺", for the calculator it was pressed in.
    virtual void openPhone(Calculator) {}
    // "价格表": the editor's view, made for the model given when it shows another; hidden.
    virtual void showPriceLists(prices::ListEditor&) {}
    virtual void hidePriceLists() {}
    // The view goes: its model is about to be replaced.
    virtual void dropPriceLists() {}
    // The clipboard, file dialogs and questions the editor needs.
    virtual prices::EditorIo* editorIo() { return nullptr; }
    // Restore the tally a program that is gone left? Yes is the default.
    virtual bool askToRestore(const std::u16string& question) = 0;
    // The event loop stops.
    virtual void end() = 0;

    // The spreadsheet application a bill goes to.
    virtual exporting::Spreadsheet& spreadsheet() = 0;
    // Where every export is recorded and numbered; without one, bills have no number.
    virtual ledger::LedgerStore* ledger() { return nullptr; }
    // Where the price lists are kept; without one there are none.
    virtual ledger::PriceListStore* priceListStore() { return nullptr; }
    // Around one export: a busy cursor; at its end the cursor comes back and the clicks
    // that queued up meanwhile are delivered while the export still counts as running.
    virtual void exportBegins() {}
    virtual void exportEnds() {}
};

// The folders a session works in; an empty state folder keeps no snapshot.
struct Folders {
    std::filesystem::path prices;
    std::filesystem::path bills;
    std::filesystem::path templates;
    std::filesystem::path state;
};

// Said once when the tally cannot be kept safe: which folder, why, what to do, and on a
// second line the system's own words.
std::u16string snapshotTroubleText(const std::filesystem::path& folder, int error);

class Session : private prices::PriceSource,
                private ui::ShellActions,
                private ui::ShellViews,
                public compare::ComparisonSource,
                public prices::DetailSource {
  public:
    Session(Folders folders, FrontEnd& frontEnd, prices::MessageSink& messages,
            exporting::ExportPrompts& prompts);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Shows the grid window; offers back what programs that are gone left.
    void start();

    // A calculator's model, made with its view (hidden) when it does not exist yet.
    ui::Window& window(Calculator which);
    bool exists(Calculator which) const override;
    grid::GridWindow& grid();
    list::ListWindow& list();
    sawn::SawnWindow& sawn();
    // The price window's model, made when it does not exist yet.
    prices::PriceWindow& priceWindow();
    bool hasPriceWindow() const { return price_ != nullptr; }

    // After the front end's unloadLater: the model goes (its view went before).
    void unload(Calculator which);
    // The price window closed without "保存退出": its unsaved texts go.
    void discardPrices();

    // The shell's actions, for the front end's own controls and the tests.
    void switchTo(Calculator which) override { flow_.switchTo(which); }
    void openPrices() override;
    void openLedger(Calculator which) override { frontEnd_.openLedger(which); }
    void openComparison(Calculator which) override { frontEnd_.openComparison(which); }
    const compare::Table& comparison(Calculator which) override;
    void openPriceDetail(Calculator which) override { frontEnd_.openPriceDetail(which); }
    void openPhone(Calculator which) override { frontEnd_.openPhone(which); }
    const prices::Detail& priceDetail(Calculator which) override;
    void pickList(Calculator which, std::u16string_view choice) override;
    void openPriceLists() override;
    prices::ListEditor* priceListEditor() { return editor_.get(); }
    // The editor closed by the platform: with changes unsaved, the user may keep it open.
    void priceListsClosedByPlatform();
    // The price lists in force, read from their store at first use.
    const std::vector<prices::PriceList>& lists();
    // The editor's lists saved for the whole program: why they could not be, or nothing.
    std::u16string saveLists(const std::vector<prices::PriceList>& lists);
    bool exportComparison(Calculator which) override;
    void exportBill(Calculator which) override { exported(which); }
    bool exported(Calculator which);
    // Ends at once by the user's choice: the tallies go, as they always have.
    void quit();
    void exit() override { quit(); }
    // A calculator closed by the platform (its close box, Alt+F4).
    void closedByPlatform(Calculator which);
    bool ending() const { return flow_.ending(); }

    // From the views: the user typed into a calculator.
    void userEdited();
    // About once a second: what changed reaches the disk, and a failure to keep it is said.
    void snapshotTick();
    // The snapshot written now.
    void keepSnapshotNow();
    // Ends as a logout or a kill by the system does: the snapshot stays for the next start.
    void endKeepingSnapshot();
    const SnapshotKeeper& snapshots() const { return snapshots_; }
    // The yard's lists came and differ from the desk's copy: the next tick prices with them.
    void priceListsChanged() { lists_.reset(); }
    // The phone desk's applied taps, kept in every snapshot with the tally they went into.
    std::function<std::vector<std::u16string>()> tapsToKeep;
    // The taps of a restored snapshot, for the phone desk when it is made.
    std::vector<std::u16string> takeRestoredTaps() { return std::exchange(restoredTaps_, {}); }

    bool exportBusy() const { return busy_; }
    int exportCount(Calculator which) const { return counts_[static_cast<int>(which)]; }
    // The spreadsheet application started ahead, at the first edit of a tally.
    void prepareExport();
    const exporting::BillFolder& bills() const { return bills_; }

  private:
    // The shell's views, for the shared flow.
    void minimise(Calculator which) override { frontEnd_.minimise(which); }
    void openManual(Calculator which) override { frontEnd_.openManual(which); }
    void show(Calculator which) override;
    void hide(Calculator which) override;
    void unloadLater(Calculator which) override { frontEnd_.unloadLater(which); }
    void hidePrices() override { frontEnd_.hidePrices(); }
    void end() override { frontEnd_.end(); }

    struct Busy;
    std::u16string priceText(int priceClass) override;
    std::span<const prices::PriceList> priceLists() override { return lists(); }
    std::string currentSnapshot();
    void offerRecovery();
    void restore(const ui::Snapshot& snapshot);

    FrontEnd& frontEnd_;
    prices::MessageSink& messages_;
    exporting::ExportPrompts& prompts_;
    prices::FilePriceStore store_;
    StoredRule rule_;
    exporting::BillFolder bills_;
    std::unique_ptr<ui::Window> windows_[3];
    std::unique_ptr<prices::PriceWindow> price_;
    ui::ShellFlow flow_{*this};
    SnapshotKeeper snapshots_;
    std::unique_ptr<compare::Comparison> comparison_;
    std::optional<std::vector<prices::PriceList>> lists_;
    std::u16string listsNote_; // where the lists came from, when worth saying
    prices::Detail detail_;
    std::unique_ptr<prices::ListEditor> editor_;
    bool editorClosed_ = false;
    bool tallyTouched_ = false;
    bool busy_ = false;
    bool prepared_ = false;
    int counts_[3] = {0, 0, 0};
    std::vector<std::u16string> restoredTaps_;
};

} // namespace logora::session

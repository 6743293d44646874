// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/Session.hpp"

#include "export/BillMaps.hpp"
#include "grid/GridWindow.hpp"
#include "ledger/BillRecorder.hpp"
#include "list/ListWindow.hpp"
#include "sawn/SawnWindow.hpp"
#include "text/NumberText.hpp"
#include "text/PathText.hpp"
#include "ui/Folders.hpp"
#include "ui/Snapshot.hpp"

#include <system_error>

namespace logora::session {

Point pricePlacement(const Rect& grid, const Rect& price, const std::function<int(int twips)>& px) {
    // The original's formula: both by their outer widths, the top by the widths too.
    return {grid.left + grid.width - price.width - px(1900),
            grid.top + grid.width - price.width + px(550)};
}

std::u16string snapshotTroubleText(const std::filesystem::path& folder, int error) {
    return u"计算表的数据无法保存到文件夹 " + text::pathText(folder) + u"（" +
           fileops::reasonOf(error, u"数据文件") +
           u"）：程序意外退出（停电、死机）时，没有导出的数据会丢失。"
           u"请让这个文件夹可以写入、腾出磁盘空间，或者及时导出账单。程序照常可用。\n" +
           text::fromUtf8(std::generic_category().message(error)) + u"（错误号 " +
           text::intText(error) + u"）";
}

Session::Session(Folders folders, FrontEnd& frontEnd, prices::MessageSink& messages,
                 exporting::ExportPrompts& prompts)
    : frontEnd_(frontEnd), messages_(messages), prompts_(prompts), store_(folders.prices),
      rule_(folders.prices, [this](const std::u16string& m) { messages_.message(m); }),
      bills_(folders.bills, folders.templates), snapshots_(folders.state) {}

Session::~Session() {
    flow_.markEnding();
}

ui::Window& Session::window(Calculator which) {
    auto& slot = windows_[static_cast<int>(which)];
    if (!slot) {
        switch (which) {
        case Calculator::Grid:
            slot =
                std::make_unique<grid::GridWindow>(static_cast<prices::PriceSource&>(*this), rule_);
            break;
        case Calculator::List:
            slot =
                std::make_unique<list::ListWindow>(rule_, static_cast<prices::PriceSource*>(this));
            break;
        case Calculator::Sawn:
            slot = std::make_unique<sawn::SawnWindow>(static_cast<prices::PriceSource*>(this));
            break;
        }
        frontEnd_.made(which, *slot);
        // Every button of the shell is wired by its role in the window's definition.
        ui::wireByRole(slot->form(), which, *this);
        // A calculator opened from another appears where that one stands.
        for (Calculator other : ui::kCalculators) {
            if (other != which && exists(other) && frontEnd_.visible(other)) {
                frontEnd_.moveTo(which, frontEnd_.position(other));
                break;
            }
        }
    }
    return *slot;
}

bool Session::exists(Calculator which) const {
    return windows_[static_cast<int>(which)] != nullptr;
}

const compare::Table& Session::comparison(Calculator which) {
    if (!comparison_) {
        comparison_ =
            std::make_unique<compare::Comparison>(static_cast<prices::PriceSource&>(*this));
    }
    return which == Calculator::List ? comparison_->of(list()) : comparison_->of(grid());
}

// However an export ends, the cursor comes back and the next click exports again.
struct Session::Busy {
    Session& s;
    explicit Busy(Session& session) : s(session) {
        s.busy_ = true;
        s.frontEnd_.exportBegins();
    }
    ~Busy() {
        s.frontEnd_.exportEnds();
        s.busy_ = false;
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
};

bool Session::exportComparison(Calculator which) {
    if (busy_) {
        return false;
    }
    Busy busy(*this);
    return compare::Comparison::exportTo(comparison(which), frontEnd_.spreadsheet(), bills_,
                                         prompts_);
}

grid::GridWindow& Session::grid() {
    return static_cast<grid::GridWindow&>(window(Calculator::Grid));
}
list::ListWindow& Session::list() {
    return static_cast<list::ListWindow&>(window(Calculator::List));
}
sawn::SawnWindow& Session::sawn() {
    return static_cast<sawn::SawnWindow&>(window(Calculator::Sawn));
}

void Session::unload(Calculator which) {
    windows_[static_cast<int>(which)].reset();
}

prices::PriceWindow& Session::priceWindow() {
    if (!price_) {
        price_ = std::make_unique<prices::PriceWindow>(store_, messages_);
        price_->onSaved = [this] { flow_.pricesSaved(); };
    }
    return *price_;
}

void Session::discardPrices() {
    price_.reset(); // the next tick reloads the store
}

const std::vector<prices::PriceList>& Session::lists() {
    if (!lists_) {
        lists_.emplace();
        if (ledger::PriceListStore* store = frontEnd_.priceListStore()) {
            try {
                lists_ = store->priceLists();
                listsNote_ = store->listsNote();
            } catch (const ledger::LedgerError& e) {
                messages_.message(u"价格表读不出来，这次按三档单价计价。" + e.fullText());
            }
        }
    }
    return *lists_;
}

std::u16string Session::saveLists(const std::vector<prices::PriceList>& lists) {
    if (const std::u16string problem = prices::problemOf(lists); !problem.empty()) {
        return problem + u"。价格表没有保存。";
    }
    ledger::PriceListStore* store = frontEnd_.priceListStore();
    if (store == nullptr) {
        return u"没有账单记录，价格表无法保存。";
    }
    try {
        store->savePriceLists(lists, ui::localNow("%Y-%m-%d %H:%M:%S"));
    } catch (const ledger::LedgerError& e) {
        return e.fullText();
    }
    lists_ = lists;
    return {};
}

void Session::openPriceLists() {
    prices::EditorIo* io = frontEnd_.editorIo();
    if (io == nullptr) {
        return;
    }
    // Closed, it starts again from the lists as saved.
    if (!editor_ || editorClosed_) {
        if (editor_) {
            frontEnd_.dropPriceLists();
        }
        editor_ = std::make_unique<prices::ListEditor>(
            lists(), *io, messages_,
            [this](const std::vector<prices::PriceList>& l) { return saveLists(l); });
        editor_->onClose = [this] {
            editorClosed_ = true;
            frontEnd_.hidePriceLists();
        };
        editorClosed_ = false;
    }
    frontEnd_.showPriceLists(*editor_);
}

void Session::priceListsClosedByPlatform() {
    if (!editor_ || editorClosed_) {
        return;
    }
    if (editor_->mayClose()) {
        editorClosed_ = true;
    } else {
        frontEnd_.showPriceLists(*editor_);
    }
}

const prices::Detail& Session::priceDetail(Calculator which) {
    switch (which) {
    case Calculator::Grid:
        detail_ = grid().detail();
        break;
    case Calculator::List:
        detail_ = list().detail();
        break;
    case Calculator::Sawn:
        detail_ = sawn().detail();
        break;
    }
    detail_.choices = prices::listChoices(
        lists(), which == Calculator::Sawn ? prices::ListKind::Sawn : prices::ListKind::Log);
    if (!listsNote_.empty()) {
        detail_.unpriced = listsNote_ + (detail_.unpriced.empty() ? u"" : u"\n") + detail_.unpriced;
    }
    return detail_;
}

void Session::pickList(Calculator which, std::u16string_view choice) {
    switch (which) {
    case Calculator::Grid:
        grid().pickList(choice);
        break;
    case Calculator::List:
        list().pickList(choice);
        break;
    case Calculator::Sawn:
        sawn().pickList(choice);
        break;
    }
}

std::u16string Session::priceText(int priceClass) {
    return priceWindow().priceText(priceClass);
}

void Session::openPrices() {
    frontEnd_.showPrices(priceWindow());
}

void Session::show(Calculator which) {
    window(which);
    frontEnd_.show(which);
}

void Session::hide(Calculator which) {
    window(which); // one that does not exist yet is made hidden
    frontEnd_.hide(which);
}

void Session::start() {
    show(Calculator::Grid);
    offerRecovery();
}

void Session::quit() {
    if (flow_.ending()) {
        return;
    }
    snapshots_.remove();
    flow_.quit();
}

void Session::closedByPlatform(Calculator which) {
    if (which == Calculator::Sawn || flow_.ending()) {
        flow_.closedByPlatform(which);
        return;
    }
    quit(); // the user's end: the snapshot goes too
}

void Session::userEdited() {
    // An untouched tally is not worth a question at the next start.
    tallyTouched_ = true;
    // A tally is under way: its export should not wait for the office to start.
    prepareExport();
}

void Session::prepareExport() {
    if (!prepared_ && !busy_) {
        prepared_ = true;
        frontEnd_.spreadsheet().prepare();
    }
}

std::string Session::currentSnapshot() {
    std::vector<const ui::Form*> forms;
    for (const auto& w : windows_) {
        if (w) {
            forms.push_back(&w->form());
        }
    }
    ui::Snapshot snapshot = ui::takeSnapshot(forms, grid().twoLengthLayout());
    if (tapsToKeep) {
        snapshot.taps = tapsToKeep();
    }
    return ui::writeSnapshot(snapshot);
}

void Session::snapshotTick() {
    if (flow_.ending()) {
        return;
    }
    if (const std::optional<int> error = snapshots_.takeNewFailure()) {
        messages_.message(snapshotTroubleText(snapshots_.folder(), *error));
    }
    if (tallyTouched_) {
        snapshots_.offer(currentSnapshot());
    }
}

void Session::keepSnapshotNow() {
    snapshots_.flush(currentSnapshot());
}

void Session::endKeepingSnapshot() {
    if (flow_.ending()) {
        return;
    }
    if (tallyTouched_) {
        keepSnapshotNow();
    }
    flow_.markEnding();
    frontEnd_.end();
}

// Newest first, one at a time: the first one restored ends the offers, the others stay for
// a later start; a declined one goes.
void Session::offerRecovery() {
    for (SnapshotKeeper::Left& left : snapshots_.leftBehind()) {
        const ui::LeftSnapshot found = ui::takeLeftSnapshot(left.file);
        if (found.kind == ui::LeftSnapshot::Kind::Unreadable) {
            messages_.message(std::u16string(ui::kUnreadableSnapshot) +
                              text::pathText(found.aside));
        }
        if (found.kind != ui::LeftSnapshot::Kind::Offer) {
            SnapshotKeeper::drop(std::move(left));
            continue;
        }
        if (!frontEnd_.askToRestore(std::u16string(ui::kRestoreQuestion))) {
            SnapshotKeeper::drop(std::move(left));
            continue;
        }
        restore(found.snapshot);
        snapshots_.adopt(std::move(left));
        return;
    }
}

void Session::restore(const ui::Snapshot& snapshot) {
    tallyTouched_ = true;
    restoredTaps_ = snapshot.taps;
    if (snapshot.twoLengthLayout && !grid().twoLengthLayout()) {
        grid().switchToTwoLengths();
    }
    for (Calculator which : ui::calculatorsIn(snapshot)) {
        ui::restoreSnapshot(snapshot, window(which).form()); // made hidden, as a switch would
        frontEnd_.refresh(which);
    }
}

bool Session::exported(Calculator which) {
    if (busy_) {
        return false; // a click while an export runs
    }
    Busy busy(*this);
    bool saved = false;
    try {
        const bool twoLengths = which == Calculator::Grid && grid().twoLengthLayout();
        exporting::BillExporter exporter(frontEnd_.spreadsheet(), bills_, prompts_);
        std::optional<ledger::BillRecorder> recorder;
        if (ledger::LedgerStore* ledger = frontEnd_.ledger()) {
            exporter.numberFrom(recorder.emplace(*ledger, which));
        }
        const prices::Detail d = priceDetail(which); // a prompt's tick may work it out anew
        const bool byList = d.inForce != prices::kDefaultPricesName;
        if (byList) {
            exporter.priceBy(d.inForce, d.rows);
        }
        const exporting::BillSpec bill = exporting::billFor(which, twoLengths);
        saved = exporter.run(bill, window(which).form(), counts_[static_cast<int>(which)]);
        // A list changed at another desk of the yard prices the next tally.
        if (saved) {
            lists_.reset();
        }
        // Recorded once the bill is saved, under the number printed on it.
        if (saved && recorder) {
            for (const std::u16string& said : recorder->record(
                     exporter.exported(), window(which).form(), bill.sheet,
                     byList ? std::u16string_view(d.inForce) : std::u16string_view(), d.rows)) {
                prompts_.failed(said);
            }
        }
    } catch (const std::exception& e) {
        prompts_.failed(std::u16string(exporting::kUnexpectedExportError) +
                        text::fromUtf8(e.what()));
    }
    return saved;
}

} // namespace logora::session

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/Yard.hpp"

#include "text/NumberText.hpp"
#include "ui/Folders.hpp"

#include <algorithm>

namespace logora::ledger {

std::u16string unreachableLine(long long waiting) {
    return u"共享账本暂时无法连接，只显示本机账单，" + text::intText(static_cast<int>(waiting)) +
           u" 张待上传";
}

namespace {

// The desk's lists join the yard's where the yard has none of the same key.
void copyLists(PriceListStore& desk, YardStore& yard) {
    std::vector<prices::PriceList> lists = yard.priceLists();
    const std::size_t before = lists.size();
    for (prices::PriceList& own : desk.priceLists()) {
        const bool known = std::any_of(lists.begin(), lists.end(), [&](const prices::PriceList& l) {
            return l.kind == own.kind &&
                   prices::keyText(l.species) == prices::keyText(own.species) &&
                   prices::keyText(l.party) == prices::keyText(own.party);
        });
        if (!known) {
            lists.push_back(std::move(own));
        }
    }
    if (lists.size() != before) {
        yard.savePriceLists(lists, ui::localNow("%Y-%m-%d %H:%M:%S"));
    }
}

} // namespace

bool YardLedger::send() {
    try {
        const std::string yard = yard_.identity();
        if (outbox_.copiedInto() != yard) {
            copyLists(deskLists_, yard_);
            outbox_.copyInto(yard);
        }
        for (;;) {
            const std::vector<Waiting> next = outbox_.waiting(64);
            if (next.empty()) {
                problem_.clear();
                return true;
            }
            for (const Waiting& w : next) {
                if (stopping_ != nullptr && stopping_->load()) {
                    return false; // what is left waits for the next start
                }
                if (w.voidMark) {
                    yard_.putVoid(w.number, w.reason);
                } else if (const std::optional<BillRecord> r = desk_.load(w.number)) {
                    if (yard_.put(*r) == Put::Conflict) {
                        outbox_.conflicted(w.number);
                    }
                }
                // Only once the yard has it: a send cut off here is sent again, and kept once.
                outbox_.delivered(w.id);
            }
        }
    } catch (const LedgerError& e) {
        problem_ = e.fullText();
        return false;
    }
}

void YardLedger::record(const BillRecord& record) {
    desk_.record(record); // its failures are the export's to tell
    send();
}

void YardLedger::away() {
    online_ = false;
    long long waiting = 0;
    try {
        waiting = outbox_.waitingCount();
    } catch (const LedgerError&) {
    }
    state_ = unreachableLine(waiting);
}

void YardLedger::beginReading() {
    online_ = send();
    if (online_) {
        state_.clear();
    } else {
        away();
    }
}

template <typename Ask> auto YardLedger::ask(Ask question) {
    if (online_) {
        try {
            return question(static_cast<YardStore&>(yard_));
        } catch (const LedgerError&) {
            away(); // gone while the window reads: the desk's own from now on
        }
    }
    return question(static_cast<LedgerStore&>(desk_));
}

std::vector<BillRecord> YardLedger::list() {
    beginReading();
    return ask([](auto& store) { return store.list(); });
}

Listing YardLedger::listing(const Filter& f) {
    return ask([&](auto& store) { return store.listing(f); });
}

std::vector<Group> YardLedger::groups(const Filter& f, Grouping by, std::u16string_view caption) {
    return ask([&](auto& store) { return store.groups(f, by, caption); });
}

std::vector<BillRecord> YardLedger::page(const Filter& f, long long offset, long long limit) {
    return ask([&](auto& store) { return store.page(f, offset, limit); });
}

std::vector<std::u16string> YardLedger::captions() {
    return ask([&](auto& store) { return captionsOf(store.page({}, 0, 1000)); });
}

std::optional<BillRecord> YardLedger::load(std::string_view number) {
    // The desk's own bill with the paths of its copies here; another desk's from the yard.
    if (std::optional<BillRecord> own = desk_.load(number)) {
        return own;
    }
    return yard_.load(number);
}

void YardLedger::markVoid(std::string_view number, std::u16string_view reason) {
    desk_.markVoid(number, reason);
    send();
}

std::vector<prices::PriceList> YardLedger::priceLists() {
    try {
        std::vector<prices::PriceList> lists = yard_.priceLists();
        listsNote_.clear();
        try {
            deskLists_.savePriceLists(lists, ui::localNow("%Y-%m-%d %H:%M:%S"));
        } catch (const LedgerError&) {
            // Only the desk's copy for a later outage is missed.
        }
        return lists;
    } catch (const LedgerError&) {
        listsNote_ = std::u16string(kListsFromDesk);
        return deskLists_.priceLists();
    }
}

void YardLedger::savePriceLists(const std::vector<prices::PriceList>& lists,
                                std::string_view time) {
    try {
        yard_.savePriceLists(lists, time);
    } catch (const LedgerError& e) {
        throw LedgerError(u"价格表没有保存：共享账本现在连不上，价格表只能存进共享账本，"
                          u"好让每个柜台用同一份。请等连上后再保存；编辑器里的内容还在。",
                          e.fullText());
    }
    listsNote_.clear();
    try {
        deskLists_.savePriceLists(lists, time);
    } catch (const LedgerError&) {
    }
}

std::vector<ListVersion> YardLedger::priceListHistory() {
    try {
        return yard_.priceListHistory();
    } catch (const LedgerError&) {
        return deskLists_.priceListHistory();
    }
}

} // namespace logora::ledger

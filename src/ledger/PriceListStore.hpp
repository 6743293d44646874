// SPDX-License-Identifier: GPL-3.0-or-later
// Where price lists are kept: beside the bills, in the ledger's database, so that they go where
// the ledger goes. A change never overwrites: the earlier version stays with the moment it
// was replaced, and a recorded bill carries the prices it was exported with.
#pragma once

#include "ledger/Ledger.hpp"
#include "prices/PriceList.hpp"

#include <string>
#include <vector>

namespace logora::ledger {

// One version of a list: in force from since until until (empty: in force now).
struct ListVersion {
    prices::PriceList list;
    std::string since; // local time, "2026-12-10 09:30:00"
    std::string until;
};

// Every call throws LedgerError when it fails.
class PriceListStore {
  public:
    virtual ~PriceListStore() = default;
    // The lists in force, in the order they were saved.
    virtual std::vector<prices::PriceList> priceLists() = 0;
    // The lists as they stand from time on: a list that changed or went ends its version.
    virtual void savePriceLists(const std::vector<prices::PriceList>& lists,
                                std::string_view time) = 0;
    // Every version of every list, oldest first.
    virtual std::vector<ListVersion> priceListHistory() = 0;
    // What the price window says of where the lists came from, when it is worth saying.
    virtual std::u16string listsNote() { return {}; }
};

} // namespace logora::ledger

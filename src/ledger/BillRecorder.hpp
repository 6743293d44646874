// SPDX-License-Identifier: GPL-3.0-or-later
// A bill's way into the ledger: its number held for the export, then, once the bill is saved,
// its record under that number. The export knows nothing of the ledger; the session hands
// this to the export for the number and records with it after.
#pragma once

#include "export/BillExport.hpp"
#include "ledger/Ledger.hpp"
#include "prices/PriceDetail.hpp"

#include <string>
#include <vector>

namespace logora::ledger {

class BillRecorder : public exporting::BillNumbers {
  public:
    BillRecorder(LedgerStore& store, ui::Calculator which) : store_(store), which_(which) {}

    std::string reserve(std::string_view day, std::u16string& why) override;
    void release(std::string_view number) override;

    // The saved export's record: the form's tally, and the price list's detail in place of
    // the grade prices when a list priced it (empty list: the grade prices). Returns what
    // the user must hear, nothing when all went well.
    std::vector<std::u16string> record(const exporting::Exported& exported, const ui::Form& form,
                                       std::u16string_view sheet, std::u16string_view list,
                                       const std::vector<prices::DetailRow>& detail);

  private:
    LedgerStore& store_;
    ui::Calculator which_;
};

} // namespace logora::ledger

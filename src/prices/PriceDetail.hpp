// SPDX-License-Identifier: GPL-3.0-or-later
// "价格明细": which price list prices a calculator's tally, and the tally by the list's cells:
// each band with pieces, the fees, the total. The same rows go onto the bill and into the
// ledger.
#pragma once

#include "prices/PriceList.hpp"
#include "ui/Shell.hpp"

#include <string>
#include <vector>

namespace logora::prices {

struct DetailRow {
    std::u16string label, pieces, volume, price, amount;
    friend bool operator==(const DetailRow&, const DetailRow&) = default;
};

// The choice of the window's chooser that lets the tally's species and party pick the list.
inline constexpr std::u16string_view kAutomaticList = u"按树种和单位自动选";

struct Detail {
    std::u16string inForce = std::u16string(kDefaultPricesName); // the list's name
    std::u16string picked = std::u16string(kAutomaticList);      // the chooser's choice
    std::vector<std::u16string> choices; // automatic, the default, then each list of the kind
    std::vector<DetailRow> rows;         // bands with pieces, fees, 合计; none by default
    std::u16string unpriced;             // the entries with no price, empty when none
};

// The rows of a priced tally: "径级14-18 长4-5.9米" with pieces, volume, price and amount; a
// fee with its rate; the total.
std::vector<DetailRow> detailRows(const PriceList& list, const Priced& priced);

// The choices of the chooser for lists of a kind.
std::vector<std::u16string> listChoices(std::span<const PriceList> lists, ListKind kind);

// The list of a kind by its name; nullptr when there is none.
const PriceList* listNamed(std::span<const PriceList> lists, ListKind kind,
                           std::u16string_view name);

// The list a calculator prices by: picked by hand, else chosen by species and parties;
// nullptr for the three grade prices. A list picked by hand that is gone gives way.
const PriceList* listInForce(std::span<const PriceList> lists, ListKind kind,
                             std::u16string_view picked, std::u16string_view species,
                             std::span<const std::u16string> parties);

// The list in force written into a calculator's detail: its name, or the default's, and the
// pick it was found by.
void showInForce(Detail& detail, const PriceList* list, std::u16string_view picked);

// A calculator's status line: the rule's gaps, then what the list has no price for.
std::u16string statusLine(const std::u16string& gaps, const std::u16string& unpriced);

// Where the "价格明细" window reads and picks: the running program.
class DetailSource {
  public:
    virtual ~DetailSource() = default;
    virtual const Detail& priceDetail(ui::Calculator which) = 0;
    virtual void pickList(ui::Calculator which, std::u16string_view choice) = 0;
    // "价格表…": the lists' editor.
    virtual void openPriceLists() {}
};

} // namespace logora::prices

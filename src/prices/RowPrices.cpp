// SPDX-License-Identifier: GPL-3.0-or-later
#include "prices/RowPrices.hpp"

#include "prices/PriceListText.hpp"
#include "text/NumberText.hpp"

#include <cmath>

namespace logora::prices {

using text::Pattern;
using text::patternText;

std::optional<PriceCell> RowPrices::apply(ui::Control& price, std::size_t row,
                                          const PriceList* list, double band, double length,
                                          double pieces, std::vector<Unpriced>& unpriced) {
    std::u16string& written = written_[row];
    const bool ours = price.lookedUp() && price.text() == written;
    if (!price.text().empty() && !ours) {
        price.setLookedUp(false); // typed: it wins
        written.clear();
        return std::nullopt;
    }
    std::optional<PriceCell> found;
    if (list != nullptr && pieces != 0) {
        if (const std::optional<std::size_t> cell = cellFor(*list, band, length)) {
            found = list->cells[*cell];
        } else {
            unpriced.push_back({band, length});
        }
    }
    if (!found) {
        if (ours) {
            price.setText(u"");
            price.setLookedUp(false);
            written.clear();
        }
        return std::nullopt;
    }
    written = text::plainText(*found->price) +
              (found->unit == PriceUnit::PerPiece ? std::u16string(unitText(found->unit)) : u"");
    price.setText(written);
    price.setLookedUp(true);
    return found;
}

std::u16string RowPrices::amount(const std::u16string& priceText, double pieces,
                                 const std::u16string& volumeText) {
    if (priceText.ends_with(unitText(PriceUnit::PerPiece))) {
        if (const auto cell = cellOf(priceText); cell && cell->price) {
            return patternText(pieces * *cell->price, Pattern::Two);
        }
    }
    return patternText(text::parseNumber(volumeText) * text::parseNumber(priceText), Pattern::Two);
}

const PriceList* listForParties(std::span<const PriceList> lists, ListKind kind,
                                std::u16string_view picked, std::u16string_view species,
                                std::span<const std::u16string> parties) {
    // With a species typed, as the grid chooses; without, by the parties alone.
    if (picked == kDefaultPricesName || !keyText(species).empty()) {
        return listInForce(lists, kind, picked, species, parties);
    }
    if (const PriceList* l = listNamed(lists, kind, picked)) {
        return l;
    }
    for (const PriceList& l : lists) {
        if (l.kind != kind || keyText(l.party).empty()) {
            continue;
        }
        for (const std::u16string& party : parties) {
            if (keyText(party) == keyText(l.party)) {
                return &l;
            }
        }
    }
    return nullptr;
}

void feesDetail(const PriceList& list, double pieces, double volume, double rowsAmount,
                Detail& detail) {
    detail.rows.clear();
    long long fen = std::llround(rowsAmount * 100);
    const std::vector<FeeLine> fees = feesOn(list, pieces, volume);
    for (std::size_t i = 0; i < fees.size(); ++i) {
        const Fee& f = list.fees[i];
        fen += std::llround(fees[i].amount * 100);
        detail.rows.push_back({f.name,
                               {},
                               {},
                               text::plainText(f.amount) + std::u16string(unitText(f.unit)),
                               patternText(fees[i].amount, Pattern::Two)});
    }
    detail.rows.push_back({u"合计",
                           text::plainText(pieces),
                           patternText(volume, Pattern::Four),
                           {},
                           patternText(static_cast<double>(fen) / 100, Pattern::Two)});
}

} // namespace logora::prices

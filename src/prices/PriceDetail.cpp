// SPDX-License-Identifier: GPL-3.0-or-later
#include "prices/PriceDetail.hpp"

#include "text/NumberText.hpp"

namespace logora::prices {

using text::Pattern;
using text::patternText;
using text::plainText;

std::vector<DetailRow> detailRows(const PriceList& list, const Priced& priced) {
    std::vector<DetailRow> rows;
    const std::u16string band = list.kind == ListKind::Log ? u"径级" : u"厚度";
    for (const BandLine& l : priced.lines) {
        std::u16string label = band + bandText(list.bands[l.row]);
        if (!list.lengths.empty()) {
            label += u" 长" + bandText(list.lengths[l.column]) + u"米";
        }
        rows.push_back({std::move(label), plainText(l.pieces), patternText(l.volume, Pattern::Four),
                        plainText(l.price) + std::u16string(unitText(l.unit)),
                        patternText(l.amount, Pattern::Two)});
    }
    for (std::size_t i = 0; i < priced.fees.size() && i < list.fees.size(); ++i) {
        const Fee& f = list.fees[i];
        rows.push_back({priced.fees[i].name,
                        {},
                        {},
                        plainText(f.amount) + std::u16string(unitText(f.unit)),
                        patternText(priced.fees[i].amount, Pattern::Two)});
    }
    rows.push_back({u"合计",
                    plainText(priced.pieces),
                    patternText(priced.volume, Pattern::Four),
                    {},
                    patternText(priced.amount, Pattern::Two)});
    return rows;
}

std::vector<std::u16string> listChoices(std::span<const PriceList> lists, ListKind kind) {
    std::vector<std::u16string> out = {std::u16string(kAutomaticList),
                                       std::u16string(kDefaultPricesName)};
    for (const PriceList& l : lists) {
        if (l.kind == kind) {
            out.push_back(l.name());
        }
    }
    return out;
}

const PriceList* listNamed(std::span<const PriceList> lists, ListKind kind,
                           std::u16string_view name) {
    for (const PriceList& l : lists) {
        if (l.kind == kind && l.name() == name) {
            return &l;
        }
    }
    return nullptr;
}

const PriceList* listInForce(std::span<const PriceList> lists, ListKind kind,
                             std::u16string_view picked, std::u16string_view species,
                             std::span<const std::u16string> parties) {
    if (picked == kDefaultPricesName) {
        return nullptr;
    }
    if (const PriceList* l = listNamed(lists, kind, picked)) {
        return l;
    }
    return chooseList(lists, kind, species, parties);
}

void showInForce(Detail& detail, const PriceList* list, std::u16string_view picked) {
    detail.inForce = list != nullptr ? list->name() : std::u16string(kDefaultPricesName);
    detail.picked = picked;
}

std::u16string statusLine(const std::u16string& gaps, const std::u16string& unpriced) {
    return gaps.empty() || unpriced.empty() ? gaps + unpriced : gaps + u"；" + unpriced;
}

} // namespace logora::prices

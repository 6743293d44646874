// SPDX-License-Identifier: GPL-3.0-or-later
#include "prices/PriceList.hpp"

#include "text/NumberText.hpp"

#include <algorithm>
#include <cmath>

namespace logora::prices {

using text::Pattern;
using text::plainText;

namespace {

constexpr double kEdge = 1e-9;           // a typed 14 is on the edge 14, never a hair off it
constexpr double kAbsurdPrice = 1000000; // 元: no timber costs this a cubic metre or a log

std::u16string quoted(const std::u16string& t) {
    return u"“" + t + u"”";
}

bool sameKey(const PriceList& a, const PriceList& b) {
    return a.kind == b.kind && keyText(a.species) == keyText(b.species) &&
           keyText(a.party) == keyText(b.party);
}

std::u16string bandWord(ListKind kind) {
    return kind == ListKind::Log ? u"径级" : u"厚度";
}

// Two bands of one list that hold a size in common, as a sentence; empty when none do.
std::u16string overlapOf(const PriceList& list, const std::vector<Band>& bands,
                         std::u16string_view what, std::u16string_view step) {
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const Band& a = bands[i];
        const std::u16string where = u"价格表" + quoted(list.name()) + u"的" +
                                     std::u16string(what) + u"第" +
                                     text::intText(static_cast<long long>(i) + 1) +
                                     std::u16string(step) + quoted(bandText(a));
        if (!(a.from >= 0) || a.from > a.to) {
            return where + u"不合理：起点应不小于0，且不大于终点";
        }
        for (std::size_t j = 0; j < i; ++j) {
            const Band& b = bands[j];
            if (a.from <= b.to + kEdge && b.from <= a.to + kEdge) {
                return where + u"与第" + text::intText(static_cast<long long>(j) + 1) +
                       std::u16string(step) + quoted(bandText(b)) + u"重叠，请分开";
            }
        }
    }
    return {};
}

bool absurd(double amount) {
    return !(amount >= 0 && amount <= kAbsurdPrice);
}

} // namespace

std::u16string_view unitText(PriceUnit unit) {
    return unit == PriceUnit::PerPiece ? u"元/根" : u"元/立方米";
}

std::u16string_view unitText(FeeUnit unit) {
    switch (unit) {
    case FeeUnit::PerPiece:
        return u"元/根";
    case FeeUnit::PerBill:
        return u"元/单";
    case FeeUnit::PerCubicMetre:
        break;
    }
    return u"元/立方米";
}

bool Band::holds(double x) const {
    return x >= from - kEdge && x <= to + kEdge;
}

std::u16string bandText(const Band& band) {
    if (std::isinf(band.to)) {
        return plainText(band.from) + u"-";
    }
    if (band.from == band.to) {
        return plainText(band.from);
    }
    return plainText(band.from) + u"-" + plainText(band.to);
}

std::u16string keyText(std::u16string_view text) {
    return text::trimmed(text);
}

std::u16string PriceList::name() const {
    const std::u16string s = keyText(species);
    const std::u16string p = keyText(party);
    return p.empty() ? s : s + u" · " + p;
}

const PriceList* chooseList(std::span<const PriceList> lists, ListKind kind,
                            std::u16string_view species, std::span<const std::u16string> parties) {
    const std::u16string s = keyText(species);
    if (s.empty()) {
        return nullptr;
    }
    const PriceList* forSpecies = nullptr;
    for (const PriceList& list : lists) {
        if (list.kind != kind || keyText(list.species) != s) {
            continue;
        }
        const std::u16string p = keyText(list.party);
        if (p.empty()) {
            forSpecies = forSpecies != nullptr ? forSpecies : &list;
            continue;
        }
        for (const std::u16string& party : parties) {
            if (keyText(party) == p) {
                return &list;
            }
        }
    }
    return forSpecies;
}

std::u16string problemOf(std::span<const PriceList> lists) {
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const PriceList& list = lists[i];
        const std::u16string n = text::intText(static_cast<long long>(i) + 1);
        if (keyText(list.species).empty()) {
            return u"第" + n + u"张价格表没有填树种";
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (sameKey(list, lists[j])) {
                return u"价格表" + quoted(list.name()) +
                       u"有两张：树种和单位相同的价格表只能有一张";
            }
        }
        if (list.bands.empty()) {
            return u"价格表" + quoted(list.name()) + u"没有" + bandWord(list.kind) + u"档";
        }
        if (list.cells.size() != list.bands.size() * list.columns()) {
            return u"价格表" + quoted(list.name()) + u"的单价格数与档数不符";
        }
        if (auto p = overlapOf(list, list.bands, bandWord(list.kind), u"行"); !p.empty()) {
            return p;
        }
        if (auto p = overlapOf(list, list.lengths, u"材长", u"列"); !p.empty()) {
            return p;
        }
        for (std::size_t r = 0; r < list.bands.size(); ++r) {
            for (std::size_t c = 0; c < list.columns(); ++c) {
                const auto& price = list.cell(r, c).price;
                if (price && absurd(*price)) {
                    std::u16string where = bandWord(list.kind) + bandText(list.bands[r]);
                    if (!list.lengths.empty()) {
                        where += u"、材长" + bandText(list.lengths[c]);
                    }
                    return u"价格表" + quoted(list.name()) + u"中" + where + u"的单价" +
                           plainText(*price) + u"不合理：应在0到1000000元之间";
                }
            }
        }
        for (const Fee& fee : list.fees) {
            if (keyText(fee.name).empty()) {
                return u"价格表" + quoted(list.name()) + u"有一项费用没有名称";
            }
            if (absurd(fee.amount)) {
                return u"价格表" + quoted(list.name()) + u"的" + fee.name + plainText(fee.amount) +
                       u"不合理：应在0到1000000元之间";
            }
        }
    }
    return {};
}

std::vector<FeeLine> feesOn(const PriceList& list, double pieces, double volume) {
    std::vector<FeeLine> out;
    if (pieces == 0) {
        return out;
    }
    for (const Fee& fee : list.fees) {
        const double base = fee.unit == FeeUnit::PerBill    ? 1
                            : fee.unit == FeeUnit::PerPiece ? pieces
                                                            : volume;
        out.push_back({fee.name, text::patternValue(base * fee.amount, Pattern::Two)});
    }
    return out;
}

std::optional<std::size_t> cellFor(const PriceList& list, double band, double length) {
    const auto row = std::find_if(list.bands.begin(), list.bands.end(),
                                  [band](const Band& b) { return b.holds(band); });
    const auto column = std::find_if(list.lengths.begin(), list.lengths.end(),
                                     [length](const Band& b) { return b.holds(length); });
    if (row == list.bands.end() || (!list.lengths.empty() && column == list.lengths.end())) {
        return std::nullopt;
    }
    const std::size_t k =
        static_cast<std::size_t>(row - list.bands.begin()) * list.columns() +
        (list.lengths.empty() ? 0 : static_cast<std::size_t>(column - list.lengths.begin()));
    return list.cells[k].price ? std::optional<std::size_t>(k) : std::nullopt;
}

Priced price(const PriceList& list, std::span<const Entry> entries) {
    Priced out;
    const std::size_t columns = list.columns();
    std::vector<double> pieces(list.cells.size(), 0);
    std::vector<double> volume(list.cells.size(), 0);
    std::vector<bool> used(list.cells.size(), false);
    for (const Entry& e : entries) {
        if (e.pieces == 0) {
            continue;
        }
        out.pieces = out.pieces + e.pieces;
        out.volume = out.volume + e.volume;
        const std::optional<std::size_t> cell = cellFor(list, e.band, e.length);
        if (!cell) {
            const Unpriced u{e.band, e.length};
            if (std::find(out.unpriced.begin(), out.unpriced.end(), u) == out.unpriced.end()) {
                out.unpriced.push_back(u);
            }
            continue;
        }
        const std::size_t k = *cell;
        pieces[k] = pieces[k] + e.pieces;
        volume[k] = volume[k] + e.volume;
        used[k] = true;
    }
    long long fen = 0;
    auto toFen = [](double yuan) {
        return std::llround(text::patternValue(yuan, Pattern::Two) * 100);
    };
    for (std::size_t k = 0; k < list.cells.size(); ++k) {
        if (!used[k]) {
            continue;
        }
        const PriceCell& cell = list.cells[k];
        BandLine line{k / columns, k % columns, pieces[k], volume[k], *cell.price, cell.unit, 0};
        const long long f =
            toFen((cell.unit == PriceUnit::PerPiece ? line.pieces : line.volume) * line.price);
        line.amount = static_cast<double>(f) / 100;
        fen += f;
        out.lines.push_back(line);
    }
    out.fees = feesOn(list, out.pieces, out.volume);
    for (const FeeLine& f : out.fees) {
        fen += std::llround(f.amount * 100);
    }
    out.amount = static_cast<double>(fen) / 100;
    return out;
}

std::u16string unpricedLine(const PriceList& list, const std::vector<Unpriced>& unpriced) {
    if (unpriced.empty()) {
        return {};
    }
    const Unpriced& u = unpriced.front();
    std::u16string line = unpriced.size() > 1
                              ? text::intText(static_cast<long long>(unpriced.size())) + u"处无价："
                              : std::u16string(u"无价：");
    line += bandWord(list.kind) + plainText(u.band);
    if (u.length != 0 || !list.lengths.empty()) {
        line += u" 长" + plainText(u.length) + u"米";
    }
    return line + u"不在价格表" + quoted(list.name()) + u"里";
}

} // namespace logora::prices

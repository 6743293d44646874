// SPDX-License-Identifier: GPL-3.0-or-later
#include "prices/PriceListText.hpp"

#include "text/NumberText.hpp"

#include <cmath>
#include <limits>
#include <optional>

namespace logora::prices {

namespace {

constexpr std::u16string_view kListRow = u"价格表";
constexpr std::u16string_view kFeeRow = u"费用";

std::u16string field(const std::u16string& t, char16_t separator) {
    if (t.find_first_of(std::u16string{separator, u'"', u'\n', u'\r'}) == std::u16string::npos) {
        return t;
    }
    std::u16string out = u"\"";
    for (char16_t c : t) {
        out += c == u'"' ? std::u16string(u"\"\"") : std::u16string(1, c);
    }
    return out + u"\"";
}

// The rows of the text, each split into its cells; quoted cells may hold separators, quotes
// and line breaks, as spreadsheets write them.
std::vector<std::vector<std::u16string>> rowsOf(std::u16string_view text, char16_t separator) {
    std::vector<std::vector<std::u16string>> rows(1);
    std::u16string cell;
    bool quoted = false;
    bool any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                cell += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == u'"' && cell.empty()) {
            quoted = true;
            any = true;
        } else if (c == separator) {
            rows.back().push_back(std::move(cell));
            cell.clear();
            any = true;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            rows.back().push_back(std::move(cell));
            cell.clear();
            rows.emplace_back();
            any = false;
        } else {
            cell += c;
            any = true;
        }
    }
    if (any || !cell.empty()) {
        rows.back().push_back(std::move(cell));
    }
    for (auto& row : rows) {
        for (auto& c : row) {
            c = keyText(c);
        }
        while (!row.empty() && row.back().empty()) {
            row.pop_back();
        }
    }
    return rows;
}

std::optional<double> number(const std::u16string& t) {
    if (t.empty()) {
        return std::nullopt;
    }
    for (char16_t c : t) {
        if (!((c >= u'0' && c <= u'9') || c == u'.')) {
            return std::nullopt;
        }
    }
    const double v = text::parseNumber(t);
    return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

} // namespace

std::optional<Band> bandOf(std::u16string_view view) {
    const std::u16string t = keyText(view);
    const auto dash = t.find_first_of(u"-－~～—");
    if (dash == std::u16string::npos) {
        const auto v = number(t);
        return v ? std::optional<Band>(Band{*v, *v}) : std::nullopt;
    }
    const auto from = number(keyText(t.substr(0, dash)));
    const std::u16string rest = keyText(t.substr(dash + 1));
    if (!from) {
        return std::nullopt;
    }
    if (rest.empty()) {
        return Band{*from, std::numeric_limits<double>::infinity()};
    }
    const auto to = number(rest);
    return to ? std::optional<Band>(Band{*from, *to}) : std::nullopt;
}

namespace {

template <typename Unit>
std::optional<std::pair<double, Unit>> amountOf(std::u16string t, Unit fallback,
                                                std::initializer_list<Unit> units) {
    Unit unit = fallback;
    for (Unit u : units) {
        const std::u16string_view suffix = unitText(u);
        if (t.size() > suffix.size() && t.ends_with(suffix)) {
            t = keyText(t.substr(0, t.size() - suffix.size()));
            unit = u;
        }
    }
    const auto v = number(t);
    return v ? std::optional<std::pair<double, Unit>>({*v, unit}) : std::nullopt;
}

} // namespace

std::optional<PriceCell> cellOf(std::u16string_view text) {
    const std::u16string t = keyText(text);
    if (t.empty()) {
        return PriceCell{};
    }
    const auto amount =
        amountOf(t, PriceUnit::PerCubicMetre, {PriceUnit::PerCubicMetre, PriceUnit::PerPiece});
    return amount ? std::optional<PriceCell>(PriceCell{amount->first, amount->second})
                  : std::nullopt;
}

std::u16string listsText(const std::vector<PriceList>& lists, char16_t separator) {
    std::u16string out;
    auto row = [&](const std::vector<std::u16string>& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            out += (i > 0 ? std::u16string(1, separator) : u"") + field(cells[i], separator);
        }
        out += u"\r\n";
    };
    for (std::size_t n = 0; n < lists.size(); ++n) {
        const PriceList& list = lists[n];
        if (n > 0) {
            out += u"\r\n";
        }
        row({std::u16string(kListRow), list.species, list.party,
             list.kind == ListKind::Log ? u"原木" : u"锯材"});
        std::vector<std::u16string> head = {list.kind == ListKind::Log ? u"径级" : u"厚度"};
        for (const Band& b : list.lengths) {
            head.push_back(bandText(b));
        }
        row(head);
        for (std::size_t r = 0; r < list.bands.size(); ++r) {
            std::vector<std::u16string> cells = {bandText(list.bands[r])};
            for (std::size_t c = 0; c < list.columns(); ++c) {
                const PriceCell& cell = list.cell(r, c);
                cells.push_back(!cell.price ? std::u16string()
                                : cell.unit == PriceUnit::PerPiece
                                    ? text::plainText(*cell.price) +
                                          std::u16string(unitText(cell.unit))
                                    : text::plainText(*cell.price));
            }
            row(cells);
        }
        for (const Fee& fee : list.fees) {
            row({std::u16string(kFeeRow), fee.name, text::plainText(fee.amount),
                 std::u16string(unitText(fee.unit))});
        }
    }
    return out;
}

ParsedLists parseLists(std::u16string_view text, char16_t separator) {
    ParsedLists out;
    const auto rows = rowsOf(text, separator);
    enum class Expect { List, Head, Rows } expect = Expect::List;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        const std::u16string where = u"第" + text::intText(static_cast<long long>(i) + 1) + u"行：";
        auto fail = [&](const std::u16string& why) {
            out.problem = where + why;
            out.lists.clear();
            return out;
        };
        if (row.empty()) {
            continue;
        }
        if (row[0] == kListRow) {
            if (row.size() > 4) {
                return fail(u"“价格表”一行只有树种、单位、类别三格");
            }
            PriceList list;
            list.species = row.size() > 1 ? row[1] : u"";
            list.party = row.size() > 2 ? row[2] : u"";
            const std::u16string kind = row.size() > 3 ? row[3] : u"原木";
            if (kind != u"原木" && kind != u"锯材") {
                return fail(u"类别应为“原木”或“锯材”，这里是“" + kind + u"”");
            }
            list.kind = kind == u"原木" ? ListKind::Log : ListKind::Sawn;
            out.lists.push_back(std::move(list));
            expect = Expect::Head;
            continue;
        }
        if (expect == Expect::List) {
            return fail(u"价格表应以“价格表”一行开始");
        }
        PriceList& list = out.lists.back();
        if (expect == Expect::Head) {
            const std::u16string word = list.kind == ListKind::Log ? u"径级" : u"厚度";
            if (row[0] != word) {
                return fail(u"“价格表”下一行应以“" + word + u"”开始，后面是材长档");
            }
            for (std::size_t c = 1; c < row.size(); ++c) {
                const auto band = bandOf(row[c]);
                if (!band) {
                    return fail(u"材长档“" + row[c] + u"”看不懂，应写成“4-5.9”“6-”或“4”");
                }
                list.lengths.push_back(*band);
            }
            expect = Expect::Rows;
            continue;
        }
        if (row[0] == kFeeRow) {
            if (row.size() < 3 || row.size() > 4) {
                return fail(u"费用一行应为：费用、名称、金额、计价单位");
            }
            const auto amount =
                amountOf(row[2] + (row.size() > 3 ? row[3] : u""), FeeUnit::PerCubicMetre,
                         {FeeUnit::PerCubicMetre, FeeUnit::PerPiece, FeeUnit::PerBill});
            if (!amount) {
                return fail(u"费用“" + row[1] +
                            u"”的金额和单位看不懂，应写成“20”和“元/立方米”“元/根”或“元/单”");
            }
            list.fees.push_back({row[1], amount->first, amount->second});
            continue;
        }
        const auto band = bandOf(row[0]);
        if (!band) {
            return fail(u"档位“" + row[0] + u"”看不懂，应写成“14-18”“20-”或“14”");
        }
        if (row.size() > list.columns() + 1) {
            return fail(u"这一行的单价比材长档多");
        }
        list.bands.push_back(*band);
        for (std::size_t c = 0; c < list.columns(); ++c) {
            const std::u16string t = c + 1 < row.size() ? row[c + 1] : u"";
            if (t.empty()) {
                list.cells.push_back({});
                continue;
            }
            const auto amount = amountOf(t, PriceUnit::PerCubicMetre,
                                         {PriceUnit::PerCubicMetre, PriceUnit::PerPiece});
            if (!amount) {
                return fail(u"单价“" + t + u"”看不懂，应写成“800”或“12元/根”");
            }
            list.cells.push_back({amount->first, amount->second});
        }
    }
    return out;
}

} // namespace logora::prices

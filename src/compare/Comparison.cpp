// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/Comparison.hpp"

#include "grid/GridWindow.hpp"
#include "list/ListWindow.hpp"
#include "text/NumberText.hpp"

#include <cmath>
#include <utility>

namespace logora::compare {

using text::parseNumber;
using text::Pattern;
using text::patternText;
using ui::GridColumn;

namespace {

std::size_t indexOf(volume::Rule rule) {
    return static_cast<std::size_t>(rule);
}

double shown(const ui::Form& form, std::u16string_view name, int element = ui::kNoElement) {
    return parseNumber(form.control(name, element).text());
}

// The inputs of the live calculator, copied into one of ours; a copy that changes nothing
// writes nothing.
void copyInputs(grid::GridWindow& from, grid::GridWindow& to) {
    if (from.twoLengthLayout() != to.twoLengthLayout()) {
        from.twoLengthLayout() ? to.switchToTwoLengths() : to.switchToFourLengths();
    }
    for (int g = 0; g < grid::kGroups; ++g) {
        to.lengthField(g).setText(from.lengthField(g).text());
        for (int r = 1; r <= grid::kRows; ++r) {
            to.diameter(r, g).setText(from.diameter(r, g).text());
            to.pieces(r, g).setText(from.pieces(r, g).text());
        }
    }
}

void copyInputs(list::ListWindow& from, list::ListWindow& to) {
    for (const char16_t* name : {u"Text1", u"Text2", u"Text3", u"Text5"}) {
        for (int r = 0; r < list::kRows; ++r) {
            to.form().control(name, r).setText(from.form().control(name, r).text());
        }
    }
}

// A group's amount at the grid's class prices, each class rounded as the grid rounds its own.
double groupAmount(grid::GridWindow& w, std::initializer_list<int> groups) {
    double amount = 0;
    for (int k = 0; k < prices::kPriceClasses; ++k) {
        double volume = 0;
        for (int g : groups) {
            volume += w.groupVolumes()[static_cast<std::size_t>(g)][static_cast<std::size_t>(k)];
        }
        amount += text::patternValue(volume * shown(w.form(), u"Text19", k), Pattern::Two);
    }
    return amount;
}

void gridFigures(grid::GridWindow& w, std::vector<Row>& rows, Row& total, std::size_t k) {
    const ui::Form& f = w.form();
    std::size_t at = 0;
    auto group = [&](int totals, std::initializer_list<int> groups) {
        if (rows.size() <= at) {
            rows.push_back({u"材长 " + w.lengthField(*groups.begin()).text() + u" 米", {}});
        }
        rows[at++].byRule[k] = {shown(f, u"Text29", totals), shown(f, u"Text30", totals),
                                groupAmount(w, groups)};
    };
    if (w.twoLengthLayout()) {
        group(4, {0, 1});
        group(5, {2, 3});
    } else {
        for (int g = 0; g < grid::kGroups; ++g) {
            group(g, {g});
        }
    }
    total.byRule[k] = {shown(f, u"Text16", 3), shown(f, u"Text18", 3), shown(f, u"Text28", 3)};
}

void listFigures(list::ListWindow& w, std::vector<Row>& rows, Row& total, std::size_t k) {
    const ui::Form& f = w.form();
    for (int r = 0; r < list::kRows; ++r) {
        if (rows.size() <= static_cast<std::size_t>(r)) {
            rows.push_back({u"第 " + text::intText(r + 1) + u" 行  材长 " +
                                f.control(u"Text1", r).text() + u" 米  径级 " +
                                f.control(u"Text2", r).text(),
                            {}});
        }
        rows[static_cast<std::size_t>(r)].byRule[k] = {shown(f, u"Text3", r), shown(f, u"Text4", r),
                                                       shown(f, u"Text6", r)};
    }
    total.byRule[k] = {shown(f, u"Text22", 5), shown(f, u"Text22", 4), shown(f, u"Text22", 10)};
}

// Only what has pieces is compared.
void keepTallied(std::vector<Row>& rows) {
    std::erase_if(rows, [](const Row& r) { return r.byRule[0].pieces == 0; });
}

// A calculator's fixed rule for each rule, in the order of kRules.
template <std::size_t... K>
std::array<volume::FixedRule, kRuleCount> fixedRules(std::index_sequence<K...>) {
    return {volume::FixedRule(volume::kRules[K])...};
}

std::u16string signedText(double value, Pattern pattern) {
    const std::u16string t = patternText(value, pattern);
    return value > 0 && t != patternText(0, pattern) ? u"+" + t : t;
}

} // namespace

Comparison::Comparison(prices::PriceSource& prices)
    : prices_(prices), rules_(fixedRules(std::make_index_sequence<kRuleCount>())) {}

Comparison::~Comparison() = default;

const Table& Comparison::of(grid::GridWindow& live) {
    Table t{ui::Calculator::Grid, live.rule(), {}, {u"合计", {}}};
    for (std::size_t k = 0; k < kRuleCount; ++k) {
        if (volume::kRules[k] == live.rule()) {
            gridFigures(live, t.rows, t.total, k);
            continue;
        }
        auto& w = grids_[k];
        if (!w) {
            w = std::make_unique<grid::GridWindow>(prices_, rules_[k]);
            w->tick(); // settles on its rule before the first copy
        }
        copyInputs(live, *w);
        w->tick();
        gridFigures(*w, t.rows, t.total, k);
    }
    keepTallied(t.rows);
    table_ = std::move(t);
    return table_;
}

const Table& Comparison::of(list::ListWindow& live) {
    Table t{ui::Calculator::List, live.rule(), {}, {u"合计", {}}};
    for (std::size_t k = 0; k < kRuleCount; ++k) {
        if (volume::kRules[k] == live.rule()) {
            listFigures(live, t.rows, t.total, k);
            continue;
        }
        auto& w = lists_[k];
        if (!w) {
            w = std::make_unique<list::ListWindow>(rules_[k], &prices_);
            w->tick();
        }
        copyInputs(live, *w);
        w->tick();
        listFigures(*w, t.rows, t.total, k);
    }
    keepTallied(t.rows);
    table_ = std::move(t);
    return table_;
}

std::vector<std::u16string> columns() {
    std::vector<std::u16string> out = {u"", u"件数"};
    for (volume::Rule r : volume::kRules) {
        const std::u16string name(volume::ruleName(r));
        out.push_back(name + u" 材积");
        out.push_back(name + u" 金额");
        out.push_back(name + u" 相差");
    }
    return out;
}

std::vector<std::u16string> rowTexts(const Table& table, const Row& row) {
    const Figures& chosen = row.byRule[indexOf(table.chosen)];
    std::vector<std::u16string> out = {row.label, text::plainText(chosen.pieces)};
    for (std::size_t k = 0; k < kRuleCount; ++k) {
        const Figures& f = row.byRule[k];
        out.push_back(patternText(f.volume, Pattern::Four));
        out.push_back(patternText(f.amount, Pattern::Two));
        if (volume::kRules[k] == table.chosen) {
            out.push_back(u"所选");
            continue;
        }
        const double gap = f.volume - chosen.volume;
        std::u16string t = signedText(gap, Pattern::Four);
        if (chosen.volume != 0) {
            t += u" (" + signedText(gap / chosen.volume * 100, Pattern::Two) + u"%)";
        }
        out.push_back(std::move(t));
    }
    return out;
}

bool Comparison::exportTo(const Table& table, exporting::Spreadsheet& spreadsheet,
                          const exporting::BillFolder& bills, exporting::ExportPrompts& prompts) {
    using exporting::numberCell;
    using exporting::textCell;
    // The ledger's blank summary serves: a title, a line of what it is, headings, rows.
    const exporting::TableWorkbook workbook{u"账单汇总.xls", u"汇总", u"标准对照", u"标准对照"};
    return exporting::exportTable(spreadsheet, bills, prompts, workbook, [&](auto& sheet) {
        sheet.setCell(1, 1, textCell(u"标准对照"));
        sheet.setCell(
            2, 1,
            textCell(
                std::u16string(table.calculator == ui::Calculator::Grid ? u"原木计算" : u"多材长") +
                u"  所选检尺标准：" + std::u16string(volume::ruleName(table.chosen)) +
                u"  金额按当前单价"));
        const std::vector<std::u16string> heads = columns();
        for (std::size_t c = 0; c < heads.size(); ++c) {
            sheet.setCell(3, static_cast<int>(c) + 1, textCell(heads[c]));
        }
        int r = 4;
        auto row = [&](const Row& line) {
            const std::vector<std::u16string> t = rowTexts(table, line);
            sheet.setCell(r, 1, textCell(t[0]));
            sheet.setCell(r, 2, numberCell(line.byRule[indexOf(table.chosen)].pieces));
            for (std::size_t k = 0; k < kRuleCount; ++k) {
                const int c = 3 + 3 * static_cast<int>(k);
                sheet.setCell(r, c, numberCell(line.byRule[k].volume));
                sheet.setCell(r, c + 1, numberCell(line.byRule[k].amount));
                sheet.setCell(r, c + 2, textCell(t[static_cast<std::size_t>(c + 1)]));
            }
            ++r;
        };
        for (const Row& line : table.rows) {
            row(line);
        }
        row(table.total);
    });
}

} // namespace logora::compare

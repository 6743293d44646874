// SPDX-License-Identifier: GPL-3.0-or-later
// "标准对照": the tally of a log calculator measured under every rule side by side, per length
// group (grid) or line (list) and in total, each rule's difference to the chosen one.
#pragma once

#include "export/TableExport.hpp"
#include "prices/PriceGrade.hpp"
#include "ui/Shell.hpp"
#include "volume/Rules.hpp"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace logora::grid {
class GridWindow;
}
namespace logora::list {
class ListWindow;
}

namespace logora::compare {

inline constexpr std::size_t kRuleCount = volume::kRules.size();

struct Figures {
    double pieces = 0, volume = 0, amount = 0;
    friend bool operator==(const Figures&, const Figures&) = default;
};

struct Row {
    std::u16string label;
    std::array<Figures, kRuleCount> byRule{};
};

struct Table {
    ui::Calculator calculator = ui::Calculator::Grid;
    volume::Rule chosen = volume::Rule::Gb;
    std::vector<Row> rows; // the groups or lines that have pieces
    Row total;
};

// The headings of the table's columns, and one row's texts under them.
std::vector<std::u16string> columns();
std::vector<std::u16string> rowTexts(const Table& table, const Row& row);

// Where a comparison window gets its table and has it exported: the running program.
class ComparisonSource {
  public:
    virtual ~ComparisonSource() = default;
    // The log calculator's tally under every rule, worked out now (the grid or the list).
    virtual const Table& comparison(ui::Calculator which) = 0;
    // "导出": a small workbook shown to the user; false when it failed.
    virtual bool exportComparison(ui::Calculator which) = 0;
};

// Works the other rules out on calculators of its own that copy the live one's inputs.
class Comparison {
  public:
    explicit Comparison(prices::PriceSource& prices);
    ~Comparison();
    Comparison(const Comparison&) = delete;
    Comparison& operator=(const Comparison&) = delete;

    // The live calculator's tally, as of its last tick, under every rule.
    const Table& of(grid::GridWindow& live);
    const Table& of(list::ListWindow& live);
    const Table& table() const { return table_; }

    // The table as a small workbook "标准对照 <stamp>.xls" in the bill folder's "标准对照".
    static bool exportTo(const Table& table, exporting::Spreadsheet& spreadsheet,
                         const exporting::BillFolder& bills, exporting::ExportPrompts& prompts);

  private:
    prices::PriceSource& prices_;
    std::array<volume::FixedRule, kRuleCount> rules_;
    std::array<std::unique_ptr<grid::GridWindow>, kRuleCount> grids_;
    std::array<std::unique_ptr<list::ListWindow>, kRuleCount> lists_;
    Table table_;
};

} // namespace logora::compare

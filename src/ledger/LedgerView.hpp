// SPDX-License-Identifier: GPL-3.0-or-later
// The ledger window "账单记录" without its widgets: what is listed under the filter, as bills
// or as groups, the totals line, what opening a bill shows, the void mark and the summary
// workbook. Both front ends only show its texts and pass on the user's choices.
#pragma once

#include "export/BillExport.hpp"
#include "ledger/Ledger.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace logora::ledger {

// The grouped views the window offers: none (a row per bill), by day, by month, or by a
// caption's text ("按购货单位").
struct View {
    std::optional<Grouping> grouping;
    std::u16string caption;
    friend bool operator==(const View&, const View&) = default;
};

class LedgerView {
  public:
    explicit LedgerView(LedgerStore& store);

    // Reads the records again; what went wrong, for the user, when it could not.
    std::optional<std::u16string> reload();
    void setFilter(Filter filter);
    const Filter& filter() const { return filter_; }
    void setView(View view);
    const View& view() const { return view_; }

    // The choices: the sheets and the views with their names ("逐张", "按日", "按月",
    // "按购货单位" …), the captions taken from the records.
    static std::vector<std::u16string> sheetChoices(); // "全部账单" first
    std::vector<std::pair<std::u16string, View>> viewChoices() const;

    const std::vector<std::u16string_view>& columns() const;
    // A column of figures, shown right-aligned: pieces, m³, amount, the bill count.
    static bool figureColumn(std::u16string_view column);
    // The widest text a column holds in practice, for its width on screen.
    static std::u16string_view widestText(std::u16string_view column);
    std::size_t rowCount() const;
    std::vector<std::u16string> row(std::size_t i) const;
    // The listed bill of a row, until another page is shown; null in a grouped view.
    const BillRecord* bill(std::size_t i) const;
    std::u16string totalsLine() const;
    // The store's own line, when it has one: the yard not answering.
    const std::u16string& stateLine() const { return state_; }

    // What opening a row shows: the PDF, or the workbook where the PDF is gone; a problem
    // to say when neither is there or the row is no bill.
    struct Opening {
        std::filesystem::path file;
        std::u16string problem;
    };
    Opening opening(std::size_t i) const;
    // Marks the row's bill void; what went wrong, when it could not be.
    std::optional<std::u16string> markVoid(std::size_t i, std::u16string_view reason);

    // "导出汇总": the listed rows into a dated copy of 账单汇总.xls, numbers as numbers.
    // Returns true when the workbook was saved.
    bool exportSummary(exporting::Spreadsheet& spreadsheet, const exporting::BillFolder& bills,
                       exporting::ExportPrompts& prompts) const;

  private:
    void refilter();

    LedgerStore& store_;
    Filter filter_;
    View view_;
    std::vector<std::u16string> captions_;
    long long count_ = 0; // bills or groups listed
    std::vector<Group> groups_;
    Totals totals_;
    std::u16string state_;
    std::optional<std::u16string> problem_; // why the last listing failed
    // The page of bills last shown: the window asks for a screenful at a time, and ten years
    // of bills are never read into memory at once.
    static constexpr long long kPage = 200;
    mutable long long pageStart_ = -1;
    mutable std::vector<BillRecord> page_;
};

inline constexpr std::u16string_view kSummaryWorkbook = u"账单汇总.xls";
inline constexpr std::u16string_view kSummarySheet = u"汇总";
// The dated copies of the summary: <bill folder>/账单汇总/.
inline constexpr std::u16string_view kSummaryFolder = u"账单汇总";

} // namespace logora::ledger

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/LedgerView.hpp"

#include "export/TableExport.hpp"
#include "text/NumberText.hpp"
#include "text/PathText.hpp"
#include "ui/Folders.hpp"

#include <system_error>

namespace logora::ledger {

namespace fs = std::filesystem;

LedgerView::LedgerView(LedgerStore& store) : store_(store) {}

std::optional<std::u16string> LedgerView::reload() {
    std::optional<std::u16string> said;
    try {
        store_.beginReading();
        state_ = store_.stateLine();
        captions_ = store_.captions();
    } catch (const LedgerError& e) {
        captions_.clear();
        said = e.fullText();
    }
    refilter();
    if (!said && problem_) {
        said = problem_;
    }
    if (!said) {
        said = store_.takeNotice();
    }
    return said;
}

// What is listed follows from the filter and the view, asked of the database: a choice that
// changes nothing asks nothing anew.
void LedgerView::setFilter(Filter filter) {
    if (filter == filter_) {
        return;
    }
    filter_ = std::move(filter);
    refilter();
}

void LedgerView::setView(View view) {
    if (view == view_) {
        return;
    }
    view_ = std::move(view);
    refilter();
}

void LedgerView::refilter() {
    page_.clear();
    pageStart_ = -1;
    groups_.clear();
    count_ = 0;
    totals_ = {};
    problem_.reset();
    try {
        const Listing listed = store_.listing(filter_);
        totals_ = listed.totals;
        if (view_.grouping) {
            groups_ = store_.groups(filter_, *view_.grouping, view_.caption);
            count_ = static_cast<long long>(groups_.size());
        } else {
            count_ = listed.bills;
        }
    } catch (const LedgerError& e) {
        problem_ = e.fullText();
    }
}

std::vector<std::u16string> LedgerView::sheetChoices() {
    return {u"全部账单", u"原木一", u"原木二", u"锯材账单"};
}

std::vector<std::pair<std::u16string, View>> LedgerView::viewChoices() const {
    std::vector<std::pair<std::u16string, View>> out = {
        {u"逐张", {}}, {u"按日", {Grouping::Day, {}}}, {u"按月", {Grouping::Month, {}}}};
    for (const std::u16string& caption : captions_) {
        out.push_back({u"按" + caption, {Grouping::Caption, caption}});
    }
    return out;
}

namespace {

const std::vector<std::u16string_view> kBillColumnList(std::begin(kColumns), std::end(kColumns));
const std::vector<std::u16string_view> kGroupColumnList(std::begin(kGroupColumns),
                                                        std::end(kGroupColumns));

} // namespace

const std::vector<std::u16string_view>& LedgerView::columns() const {
    return view_.grouping ? kGroupColumnList : kBillColumnList;
}

bool LedgerView::figureColumn(std::u16string_view c) {
    return c == u"件数" || c == u"材积(立方米)" || c == u"金额(元)" || c == u"张数";
}

std::u16string_view LedgerView::widestText(std::u16string_view column) {
    static constexpr std::pair<std::u16string_view, std::u16string_view> kSamples[] = {
        {u"单号", u"20261209-000"},
        {u"时间", u"2026-12-09 00:00:00"},
        {u"账单", u"锯材账单"},
        {u"购货单位", u"某某某木材加工厂"},
        {u"出货单位", u"某某某林场"},
        {u"车号", u"桂A·12345"},
        {u"树种", u"落叶松"},
        {u"件数", u"99999"},
        {u"材积(立方米)", u"9999.9999"},
        {u"金额(元)", u"9999999.99"},
        {u"状态", u"作废：车号录错了"},
        {u"分组", u"某某某木材加工厂"},
        {u"张数", u"99999"}};
    for (const auto& [name, sample] : kSamples) {
        if (name == column) {
            return sample;
        }
    }
    return column;
}

std::size_t LedgerView::rowCount() const {
    return static_cast<std::size_t>(count_);
}

std::vector<std::u16string> LedgerView::row(std::size_t i) const {
    if (i >= rowCount()) {
        return {};
    }
    if (view_.grouping) {
        return groupTexts(groups_[i]);
    }
    const BillRecord* r = bill(i);
    return r != nullptr ? rowTexts(*r) : std::vector<std::u16string>{};
}

const BillRecord* LedgerView::bill(std::size_t i) const {
    const auto at = static_cast<long long>(i);
    if (view_.grouping || at >= count_) {
        return nullptr;
    }
    if (pageStart_ < 0 || at < pageStart_ ||
        at >= pageStart_ + static_cast<long long>(page_.size())) {
        pageStart_ = at / kPage * kPage;
        try {
            page_ = store_.page(filter_, pageStart_, kPage);
        } catch (const LedgerError&) {
            page_.clear(); // the row shows empty; the next reload says why
        }
    }
    const long long k = at - pageStart_;
    return k < static_cast<long long>(page_.size()) ? &page_[static_cast<std::size_t>(k)] : nullptr;
}

std::u16string LedgerView::totalsLine() const {
    return totalsText(totals_);
}

LedgerView::Opening LedgerView::opening(std::size_t i) const {
    const BillRecord* r = bill(i);
    if (r == nullptr) {
        return {{}, u"请先选“逐张”，再打开一张账单。"};
    }
    // The list holds no paths: they are read for the one bill opened.
    const std::string number = r->number;
    std::optional<BillRecord> whole;
    try {
        whole = store_.load(number);
    } catch (const LedgerError& e) {
        return {{}, e.message()};
    }
    if (!whole) {
        return {{}, u"账单 " + text::fromUtf8(number) + u" 不在账单记录里了。"};
    }
    r = &*whole;
    std::error_code ec;
    for (const fs::path* copy : {&r->pdf, &r->workbook}) {
        if (!copy->empty() && fs::is_regular_file(*copy, ec)) {
            return {*copy, {}};
        }
    }
    const fs::path& where = !r->pdf.empty() ? r->pdf : r->workbook;
    return {{},
            u"账单 " + text::fromUtf8(r->number) + u" 的存档文件找不到了" +
                (where.empty() ? u"。" : u"：" + text::pathText(where) + u"。") +
                u"它可能被移走或删除了；账单记录里的数字仍然在。"};
}

std::optional<std::u16string> LedgerView::markVoid(std::size_t i, std::u16string_view reason) {
    const BillRecord* r = bill(i);
    if (r == nullptr) {
        return u"请先选“逐张”，再选要作废的账单。";
    }
    if (r->voided) {
        return u"账单 " + text::fromUtf8(r->number) + u" 已经作废了。";
    }
    const std::string number = r->number;
    try {
        store_.markVoid(number, reason);
    } catch (const LedgerError& e) {
        return e.fullText();
    }
    return reload();
}

namespace {

using exporting::CellValue;

using exporting::numberCell;
using exporting::textCell;

std::u16string filterText(const Filter& f) {
    std::u16string out = u"日期：";
    out += f.from.empty() && f.to.empty() ? u"全部"
                                          : text::fromUtf8(f.from.empty() ? "…" : f.from) +
                                                u" 至 " + text::fromUtf8(f.to.empty() ? "…" : f.to);
    out += u"  账单：" + (f.sheet.empty() ? std::u16string(u"全部") : f.sheet);
    if (!f.text.empty()) {
        out += u"  查找：" + f.text;
    }
    return out;
}

} // namespace

bool LedgerView::exportSummary(exporting::Spreadsheet& spreadsheet,
                               const exporting::BillFolder& bills,
                               exporting::ExportPrompts& prompts) const {
    const exporting::TableWorkbook workbook{kSummaryWorkbook, kSummarySheet, kSummaryFolder,
                                            u"账单汇总"};
    // The listed bills read first, page by page: a database that fails makes no workbook.
    std::vector<BillRecord> listed;
    if (!view_.grouping) {
        try {
            constexpr long long kChunk = 1000;
            for (long long from = 0; from < count_; from += kChunk) {
                for (BillRecord& b : store_.page(filter_, from, kChunk)) {
                    listed.push_back(std::move(b));
                }
            }
        } catch (const LedgerError& e) {
            prompts.failed(u"账单汇总没有导出：" + e.fullText());
            return false;
        }
    }
    return exporting::exportTable(spreadsheet, bills, prompts, workbook, [&](auto& spreadsheet) {
        spreadsheet.setCell(2, 1, textCell(filterText(filter_)));
        const auto& heads = columns();
        for (std::size_t c = 0; c < heads.size(); ++c) {
            spreadsheet.setCell(3, static_cast<int>(c) + 1, textCell(std::u16string(heads[c])));
        }
        int r = 4;
        auto figures = [&](int firstColumn, const Figures& f) {
            spreadsheet.setCell(r, firstColumn, numberCell(f.pieces, 0));
            spreadsheet.setCell(r, firstColumn + 1, numberCell(f.volume, 4));
            spreadsheet.setCell(r, firstColumn + 2, numberCell(f.amount, 2));
        };
        if (view_.grouping) {
            for (const Group& g : groups_) {
                const std::vector<std::u16string> t = groupTexts(g);
                spreadsheet.setCell(r, 1, textCell(t[0]));
                spreadsheet.setCell(r, 2, numberCell(g.totals.count, 0));
                figures(3, g.totals.figures);
                ++r;
            }
        } else {
            for (const BillRecord& b : listed) {
                const std::vector<std::u16string> t = rowTexts(b);
                for (int c = 0; c < 7; ++c) {
                    spreadsheet.setCell(r, c + 1, textCell(t[c]));
                }
                figures(8, b.totals);
                if (!t[10].empty()) {
                    spreadsheet.setCell(r, 11, textCell(t[10]));
                }
                ++r;
            }
        }
        spreadsheet.setCell(r, 1, textCell(u"合计"));
        if (view_.grouping) {
            spreadsheet.setCell(r, 2, numberCell(totals_.count, 0));
            figures(3, totals_.figures);
        } else {
            spreadsheet.setCell(r, 2, textCell(text::intText(totals_.count) + u" 张"));
            figures(8, totals_.figures);
        }
    });
}

} // namespace logora::ledger

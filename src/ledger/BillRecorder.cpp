// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/BillRecorder.hpp"

#include "ui/Folders.hpp"

namespace logora::ledger {

std::string BillRecorder::reserve(std::string_view day, std::u16string& why) {
    try {
        return store_.reserveNumber(day);
    } catch (const LedgerError& e) {
        why = e.fullText();
        return {};
    }
}

void BillRecorder::release(std::string_view number) {
    try {
        store_.release(number);
    } catch (const LedgerError&) {
        // The number stays held: a gap in the day's numbers, never a number given twice.
    }
}

std::vector<std::u16string> BillRecorder::record(const exporting::Exported& exported,
                                                 const ui::Form& form, std::u16string_view sheet,
                                                 std::u16string_view list,
                                                 const std::vector<prices::DetailRow>& detail) {
    std::u16string problem = exported.numberProblem;
    if (problem.empty()) {
        BillRecord r = recordOf(which_, form, sheet);
        r.number = exported.number;
        r.time = ui::localTime(exported.moment, "%Y-%m-%d %H:%M:%S");
        r.workbook = exported.workbook;
        r.pdf = exported.pdf;
        if (!list.empty()) {
            // The prices the bill was exported with, never the list as it is later.
            r.priceList = list;
            r.classes.clear();
            for (const prices::DetailRow& d : detail) {
                r.classes.push_back({d.label, d.pieces, d.volume, d.price, d.amount});
            }
        }
        try {
            store_.record(r);
        } catch (const LedgerError& e) {
            problem = e.fullText();
        }
    }
    std::vector<std::u16string> said;
    if (!problem.empty()) {
        said.push_back(u"账单已经导出，但账单记录没有记下它，在“账单记录”里查不到这张账单。" +
                       problem);
    }
    if (std::optional<std::u16string> notice = store_.takeNotice()) {
        said.push_back(std::move(*notice));
    }
    return said;
}

} // namespace logora::ledger

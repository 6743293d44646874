// SPDX-License-Identifier: GPL-3.0-or-later
// One bill export: fill the window's workbook cell by cell, save it, show it.
#pragma once

#include "export/BillLock.hpp"
#include "export/BillMaps.hpp"
#include "export/Spreadsheet.hpp"
#include "prices/PriceDetail.hpp"
#include "ui/Form.hpp"

#include <ctime>
#include <filesystem>
#include <functional>

namespace logora::exporting {

// The value written for a field's text: a plain number (optional minus, digits, optional
// point and digits) as a number, any other text as a string, empty text clears the cell.
CellValue cellValue(std::u16string_view text, bool alwaysText);

// Today as the bills show it: "2026-12-09".
std::string exportDate();

// The user's bill workbooks: one folder, filled from the installed templates on first use.
class BillFolder {
  public:
    BillFolder(std::filesystem::path folder, std::filesystem::path templates);
    // $XDG_DATA_HOME/logora, by default ~/.local/share/logora.
    static std::filesystem::path defaultFolder();
    // The user's copy of a workbook; copied from the template when it is missing.
    std::filesystem::path workbook(const std::u16string& name) const;
    // Moves a damaged copy aside, dated ("账单明细 损坏 2026-12-09 14.03.21.xls"), so that the
    // next workbook() starts again from the template. Returns where it went.
    std::filesystem::path setAside(const std::u16string& name) const;
    const std::filesystem::path& folder() const { return folder_; }
    // How many rows of a price list's detail the sheet of the user's copy holds, so that the
    // next bill clears them; 0 when none.
    int detailRows(const BillSpec& bill) const;
    void keepDetailRows(const BillSpec& bill, int rows) const;
    // Where every exported bill is kept, dated, with its PDF: <folder>/账单存档.
    std::filesystem::path archive() const { return folder_ / u8"账单存档"; }

  private:
    std::filesystem::path folder_;
    std::filesystem::path templates_;
};

// What the export asks of the user interface.
class ExportPrompts {
  public:
    virtual ~ExportPrompts() = default;
    // Each blocks until the user has answered.
    virtual void remind(const std::u16string& text) = 0;
    virtual void failed(const std::u16string& text) = 0;
    // A yes-or-no question, yes the default.
    virtual bool ask(const std::u16string& question) = 0;
};

// Where a bill's number comes from: the ledger's, held for one export.
class BillNumbers {
  public:
    virtual ~BillNumbers() = default;
    // The next number of the day ("YYYYMMDD"); empty, with why set, when none could be had.
    virtual std::string reserve(std::string_view day, std::u16string& why) = 0;
    // The export that held the number failed: it may be given again.
    virtual void release(std::string_view number) = 0;
};

// What a saved export leaves for its record.
struct Exported {
    std::string number;           // empty when none could be had
    std::u16string numberProblem; // why not
    std::time_t moment = 0;       // the number's day and the record's time
    // The archived copies; the saved workbook where the archive could not take one.
    std::filesystem::path workbook;
    std::filesystem::path pdf;
};

inline constexpr std::u16string_view kReminder = u"每次打印前请先关闭*账单明细*";
// Said of an exception nobody foresaw; the exception's own words follow on the next line.
inline constexpr std::u16string_view kUnexpectedExportError =
    u"导出账单时出了意外的错误，账单可能没有保存。请再导出一次；"
    u"如果还是不行，请把下面这行告诉 Logora 的开发者。\n";

class BillExporter {
  public:
    BillExporter(Spreadsheet& spreadsheet, const BillFolder& bills, ExportPrompts& prompts,
                 const OfficeProbe& probe = systemOfficeProbe());
    // Exports the form's texts by the bill's map. count is the window's export count.
    // Returns true when the bill was saved (whether or not it could then be shown).
    bool run(const BillSpec& bill, const ui::Form& form, int& count);
    // Each bill gets the day's next number, printed on it and in its archived name.
    void numberFrom(BillNumbers& numbers) { numbers_ = &numbers; }
    // The last saved export, for its record.
    const Exported& exported() const { return exported_; }
    // The tally was priced by a price list: its name and detail go on the bill and into the
    // record, in place of the grade prices.
    void priceBy(std::u16string list, std::vector<prices::DetailRow> rows);

  private:
    void reserveNumber();
    // A number held for an export that did not happen is given back.
    void releaseNumber();
    std::filesystem::path attempt(const BillSpec& bill, const ui::Form& form);
    void clearStaleLock(const std::filesystem::path& workbook);
    // The price list's detail under the bill, and the rows an earlier one left cleared.
    void writeDetail(const BillSpec& bill);
    bool offerFreshBill(const BillSpec& bill, const ExportError& why);
    void show(const std::filesystem::path& workbook);
    // After a save: the PDF of the sheet while the bill is open, then the dated copies.
    void makePdf();
    void archive(const BillSpec& bill, const ui::Form& form, const std::filesystem::path& workbook);
    std::filesystem::path pdf_;     // the PDF made for the archive, not yet named
    std::u16string archiveProblem_; // why the archive could not be completed
    std::filesystem::path archived_, archivedPdf_;
    std::u16string list_; // the price list's name, empty for the grade prices
    std::vector<prices::DetailRow> detail_;
    int detailWritten_ = -1; // rows of detail on the saved sheet; -1 when untouched
    BillNumbers* numbers_ = nullptr;
    Exported exported_;
    Spreadsheet& spreadsheet_;
    const BillFolder& bills_;
    ExportPrompts& prompts_;
    const OfficeProbe& probe_;
};

} // namespace logora::exporting

// One bill export: fill the window's workbook cell by cell, save it, show it.
#pragma once

#include "export/BillMaps.hpp"
#include "export/Spreadsheet.hpp"
#include "ui/Form.hpp"

#include <filesystem>
#include <functional>

namespace logora::exporting {

// The value written for a field's text: a plain number (optional minus, digits, optional
// point and digits) as a number, any other text as a string, empty text clears the cell.
CellValue cellValue(std::u16string_view text, bool alwaysText);

// The user's bill workbooks: one folder, filled from the installed templates on first use.
class BillFolder {
  public:
    BillFolder(std::filesystem::path folder, std::filesystem::path templates);
    // $XDG_DATA_HOME/logora, by default ~/.local/share/logora.
    static std::filesystem::path defaultFolder();
    // The user's copy of a workbook; copied from the template when it is missing.
    std::filesystem::path workbook(const std::u16string& name) const;
    const std::filesystem::path& folder() const { return folder_; }

  private:
    std::filesystem::path folder_;
    std::filesystem::path templates_;
};

// What the export asks of the user interface.
class ExportPrompts {
  public:
    virtual ~ExportPrompts() = default;
    // Blocks until the user has dismissed it.
    virtual void remind(const std::u16string& text) = 0;
    virtual void failed(const std::u16string& text) = 0;
};

inline constexpr std::u16string_view kReminder = u"每次打印前请先关闭*账单明细*";

class BillExporter {
  public:
    BillExporter(Spreadsheet& spreadsheet, const BillFolder& bills, ExportPrompts& prompts);
    // Exports the form's texts by the bill's map. count is the window's export count.
    // Returns true when the bill was saved and shown.
    bool run(const BillSpec& bill, const ui::Form& form, int& count);

  private:
    void attempt(const BillSpec& bill, const ui::Form& form);
    Spreadsheet& spreadsheet_;
    const BillFolder& bills_;
    ExportPrompts& prompts_;
};

} // namespace logora::exporting

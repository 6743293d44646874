// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/TableExport.hpp"

#include "text/NumberText.hpp"
#include "text/PathText.hpp"
#include "ui/Folders.hpp"

#include <system_error>

namespace logora::exporting {

namespace fs = std::filesystem;

CellValue textCell(std::u16string text) {
    return {CellValue::Kind::Text, 0, std::move(text)};
}

CellValue numberCell(long long value, int places) {
    double v = static_cast<double>(value);
    for (int p = 0; p < places; ++p) {
        v /= 10;
    }
    return {CellValue::Kind::Number, v, {}};
}

CellValue numberCell(double value) {
    return {CellValue::Kind::Number, value, {}};
}

bool exportTable(Spreadsheet& spreadsheet, const BillFolder& bills, ExportPrompts& prompts,
                 const TableWorkbook& workbook, const std::function<void(Spreadsheet&)>& fill) {
    if (const std::optional<ExportError> missing = spreadsheet.missing()) {
        prompts.failed(missing->fullText());
        return false;
    }
    try {
        const fs::path blank = bills.workbook(std::u16string(workbook.blank));
        const fs::path folder = bills.folder() / text::textPath(workbook.folder);
        std::error_code ec;
        fs::create_directories(folder, ec);
        fs::path target;
        // Never over an earlier copy: a second one in the same second gets " (2)".
        for (int n = 1; n < 100 && !ec; ++n) {
            target =
                folder / text::textPath(std::u16string(workbook.stem) + u" " +
                                        text::fromUtf8(ui::fileStamp()) +
                                        (n == 1 ? u"" : u" (" + text::intText(n) + u")") + u".xls");
            if (!fs::exists(fs::symlink_status(target, ec))) {
                fs::copy_file(blank, target, ec);
                break;
            }
        }
        if (ec) {
            throw ExportError(u"无法在文件夹 " + text::pathText(folder) + u" 里建立" +
                                  std::u16string(workbook.stem) +
                                  u"表，没有导出。请让这个文件夹可写。",
                              text::fromUtf8(ec.message()), ExportError::Kind::Refused);
        }
        spreadsheet.start();
        spreadsheet.openWorkbook(target);
        spreadsheet.selectSheet(workbook.sheet);
        fill(spreadsheet);
        spreadsheet.save();
        spreadsheet.closeAll();
        try {
            spreadsheet.showToUser(target);
        } catch (const ExportError& e) {
            prompts.failed(e.fullText());
        }
        return true;
    } catch (const ExportError& e) {
        spreadsheet.abandon();
        prompts.failed(e.fullText());
    } catch (const std::exception& e) {
        spreadsheet.abandon();
        prompts.failed(std::u16string(kUnexpectedExportError) + text::fromUtf8(e.what()));
    }
    return false;
}

} // namespace logora::exporting

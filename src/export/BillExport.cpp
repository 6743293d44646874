#include "export/BillExport.hpp"

#include "text/NumberText.hpp"

#include <charconv>
#include <cstdlib>
#include <system_error>

namespace logora::exporting {

namespace fs = std::filesystem;

ExportError::ExportError(std::u16string message)
    : std::runtime_error(text::toUtf8(message)), message_(std::move(message)) {}

namespace {

bool isPlainNumber(std::u16string_view t) {
    std::size_t i = 0;
    if (i < t.size() && t[i] == u'-') {
        ++i;
    }
    const std::size_t intStart = i;
    while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') {
        ++i;
    }
    if (i == intStart) {
        return false;
    }
    if (i < t.size() && t[i] == u'.') {
        const std::size_t fracStart = ++i;
        while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') {
            ++i;
        }
        if (i == fracStart) {
            return false;
        }
    }
    return i == t.size();
}

} // namespace

CellValue cellValue(std::u16string_view t, bool alwaysText) {
    if (t.empty()) {
        return {};
    }
    if (!alwaysText && isPlainNumber(t) && t.size() < 64) {
        const std::string ascii(t.begin(), t.end());
        double value = 0;
        const auto r = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
        if (r.ec == std::errc()) {
            return {CellValue::Kind::Number, value, {}};
        }
    }
    return {CellValue::Kind::Text, 0, std::u16string(t)};
}

BillFolder::BillFolder(fs::path folder, fs::path templates)
    : folder_(std::move(folder)), templates_(std::move(templates)) {}

fs::path BillFolder::defaultFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && *data == '/') {
        return fs::path(data) / "logora";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : ".") / ".local" / "share" / "logora";
}

fs::path BillFolder::workbook(const std::u16string& name) const {
    const fs::path target = folder_ / fs::path(text::toUtf8(name));
    std::error_code ec;
    if (fs::exists(target, ec)) {
        return target; // the user's copy, as the user may have adorned it
    }
    const fs::path source = templates_ / fs::path(text::toUtf8(name));
    if (!fs::is_regular_file(source, ec)) {
        throw ExportError(u"找不到账单模板：" + text::fromUtf8(source.string()));
    }
    fs::create_directories(folder_, ec);
    if (!ec) {
        fs::copy_file(source, target, ec);
    }
    if (!ec) {
        // Installed templates are read-only; the user's copy must take the bills.
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::add, ec);
    }
    if (ec) {
        throw ExportError(u"无法在文件夹 " + text::fromUtf8(folder_.string()) + u" 里建立账单：" +
                          text::fromUtf8(ec.message()));
    }
    return target;
}

BillExporter::BillExporter(Spreadsheet& spreadsheet, const BillFolder& bills,
                           ExportPrompts& prompts)
    : spreadsheet_(spreadsheet), bills_(bills), prompts_(prompts) {}

void BillExporter::attempt(const BillSpec& bill, const ui::Form& form) {
    const fs::path path = bills_.workbook(bill.workbook);
    spreadsheet_.start();
    spreadsheet_.openWorkbook(path);
    spreadsheet_.selectSheet(bill.sheet);
    for (const MappedCell& c : bill.cells) {
        const ui::Control& field = form.control(c.field.name, c.field.element);
        spreadsheet_.setCell(c.row, c.column, cellValue(field.text(), c.alwaysText));
    }
    spreadsheet_.save();
    spreadsheet_.closeAll();
    spreadsheet_.showToUser(path);
}

bool BillExporter::run(const BillSpec& bill, const ui::Form& form, int& count) {
    if (!fitsXls(bill)) {
        prompts_.failed(u"账单格式有误：有格子超出表格范围。");
        return false;
    }
    for (int attemptNo = 1;; ++attemptNo) {
        ++count;
        if (count == 1) {
            prompts_.remind(std::u16string(kReminder));
        }
        try {
            attempt(bill, form);
            return true;
        } catch (const ExportError& e) {
            spreadsheet_.abandon();
            if (bill.retryOnce && attemptNo == 1) {
                continue;
            }
            prompts_.failed(u"账单导出失败：" + e.message());
            return false;
        }
    }
}

} // namespace logora::exporting

// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/BillExport.hpp"
#include "text/PathText.hpp"
#include "ui/Folders.hpp"

#include "text/NumberText.hpp"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace logora::exporting {

namespace fs = std::filesystem;

ExportError::ExportError(std::u16string message, std::u16string detail, Kind kind)
    : std::runtime_error(text::toUtf8(detail.empty() ? message : message + u" " + detail)),
      message_(std::move(message)), detail_(std::move(detail)), kind_(kind) {}

std::u16string ExportError::fullText() const {
    return detail_.empty() ? message_ : message_ + u"\n" + detail_;
}

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
    return ui::xdgFolder("XDG_DATA_HOME", ".local/share");
}

namespace {

std::u16string shown(const fs::path& p) {
    return text::pathText(p);
}

} // namespace

std::string exportDate() {
    return ui::localNow("%Y-%m-%d");
}

fs::path BillFolder::workbook(const std::u16string& name) const {
    const fs::path target = folder_ / text::textPath(name);
    std::error_code ec;
    if (fs::exists(target, ec)) {
        return target; // the user's copy, as the user may have adorned it
    }
    const fs::path source = templates_ / text::textPath(name);
    if (!fs::is_regular_file(source, ec)) {
        throw ExportError(u"找不到空白账单 " + shown(source) +
                              u"，账单没有导出。请重新安装 Logora。",
                          {}, ExportError::Kind::Refused);
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
        throw ExportError(u"无法在文件夹 " + shown(folder_) + u" 里建立账单 " + name +
                              u"，账单没有导出。请让这个文件夹可写，再导出一次。",
                          text::fromUtf8(ec.message()), ExportError::Kind::Refused);
    }
    return target;
}

namespace {

fs::path detailFile(const fs::path& folder, const BillSpec& bill) {
    return folder / text::textPath(bill.workbook + u" " + bill.sheet + u" 价格明细行数.txt");
}

} // namespace

int BillFolder::detailRows(const BillSpec& bill) const {
    std::ifstream in(detailFile(folder_, bill));
    int rows = 0;
    return in >> rows && rows > 0 && rows < 1000 ? rows : 0;
}

void BillFolder::keepDetailRows(const BillSpec& bill, int rows) const {
    std::error_code ec;
    if (rows == 0) {
        fs::remove(detailFile(folder_, bill), ec);
        return;
    }
    std::ofstream(detailFile(folder_, bill)) << rows << "\n";
}

fs::path BillFolder::setAside(const std::u16string& name) const {
    const fs::path current = folder_ / text::textPath(name);
    const std::u16string stem =
        text::pathText(current.stem()) + u" 损坏 " + text::fromUtf8(ui::fileStamp());
    std::error_code ec;
    for (int n = 1; n < 100; ++n) {
        const fs::path aside =
            folder_ / text::textPath(stem + (n == 1 ? u"" : u" (" + text::intText(n) + u")") +
                                     text::pathText(current.extension()));
        if (fs::exists(fs::symlink_status(aside, ec))) {
            continue; // never over an earlier one
        }
        fs::rename(current, aside, ec);
        if (!ec) {
            return aside;
        }
        break;
    }
    throw ExportError(u"损坏的账单 " + shown(current) +
                          u" 无法改名保留，账单没有导出。请让文件夹可写，再导出一次。",
                      text::fromUtf8(ec.message()), ExportError::Kind::Refused);
}

BillExporter::BillExporter(Spreadsheet& spreadsheet, const BillFolder& bills,
                           ExportPrompts& prompts, const OfficeProbe& probe)
    : spreadsheet_(spreadsheet), bills_(bills), prompts_(prompts), probe_(probe) {}

void BillExporter::clearStaleLock(const fs::path& workbook) {
    const LockCheck lock = checkLock(workbook, probe_);
    if (lock.state == LockState::Held) {
        throw ExportError(u"账单 " + shown(workbook) + u" 正在被" + holderName(lock.holder) +
                              u"打开，这次没有导出。请先在那里关闭这个账单，再导出一次。",
                          {}, ExportError::Kind::Refused);
    }
    if (lock.state == LockState::Stale) {
        // Left by an office that died with the bill open; LibreOffice itself would offer
        // to ignore it.
        std::error_code ec;
        fs::remove(lockFileOf(workbook), ec);
        if (ec) {
            throw ExportError(u"账单 " + shown(workbook) + u" 留有一个无法删除的锁文件 " +
                                  shown(lockFileOf(workbook)) +
                                  u"，这次没有导出。请让这个文件夹可写，再导出一次。",
                              text::fromUtf8(ec.message()), ExportError::Kind::Refused);
        }
    }
}

fs::path BillExporter::attempt(const BillSpec& bill, const ui::Form& form) {
    const fs::path path = bills_.workbook(bill.workbook);
    std::error_code ec;
    if (fs::file_size(path, ec) == 0 && !ec) {
        throw ExportError(u"账单文件 " + shown(path) + u" 是空的，已经损坏。", u"file size 0",
                          ExportError::Kind::Damaged);
    }
    clearStaleLock(path);
    spreadsheet_.start();
    spreadsheet_.openWorkbook(path);
    spreadsheet_.selectSheet(bill.sheet);
    for (const MappedCell& c : bill.cells) {
        const ui::Control& field = form.control(c.field.name, c.field.element);
        spreadsheet_.setCell(c.row, c.column, cellValue(field.text(), c.alwaysText));
    }
    writeDetail(bill);
    if (bill.ruleRow > 0) {
        // The caption too, for a bill workbook of the user's own from before the rules.
        spreadsheet_.setCell(bill.ruleRow, bill.ruleColumn - 1,
                             {CellValue::Kind::Text, 0, u"检尺标准"});
        spreadsheet_.setCell(bill.ruleRow, bill.ruleColumn,
                             {CellValue::Kind::Text, 0,
                              form.control(bill.ruleField.name, bill.ruleField.element).text()});
    }
    if (bill.dateRow > 0) {
        spreadsheet_.setCell(bill.dateRow, bill.dateColumn,
                             {CellValue::Kind::Text, 0, text::fromUtf8(exportDate())});
    }
    if (bill.numberRow > 0 && !exported_.number.empty()) {
        // The caption too: a copy the user made before bills had numbers lacks it.
        spreadsheet_.setCell(bill.numberRow, bill.numberColumn - 1,
                             {CellValue::Kind::Text, 0, u"单号"});
        spreadsheet_.setCell(bill.numberRow, bill.numberColumn,
                             {CellValue::Kind::Text, 0, text::fromUtf8(exported_.number)});
    }
    spreadsheet_.save();
    if (detailWritten_ >= 0) {
        bills_.keepDetailRows(bill, detailWritten_);
    }
    makePdf();
    spreadsheet_.closeAll();
    return path;
}

void BillExporter::makePdf() {
    archiveProblem_.clear();
    pdf_.clear();
    std::error_code ec;
    fs::create_directories(bills_.archive(), ec);
    if (ec) {
        archiveProblem_ =
            u"无法建立存档文件夹 " + shown(bills_.archive()) + u"：" + text::fromUtf8(ec.message());
        return;
    }
    const fs::path pdf = bills_.archive() / (".logora-" + ui::fileStamp() + ".pdf.part");
    try {
        spreadsheet_.exportPdf(pdf);
        pdf_ = pdf;
    } catch (const ExportError& e) {
        fs::remove(pdf, ec);
        archiveProblem_ = u"PDF 没有生成：" + e.fullText();
    }
}

namespace {

// A part of a file name: no separators, no line breaks.
std::u16string nameSafe(std::u16string_view text) {
    std::u16string out;
    for (char16_t c : text) {
#ifdef _WIN32
        const bool reserved = std::u16string_view(u":*?\"<>|").find(c) != std::u16string_view::npos;
#else
        const bool reserved = false;
#endif
        out.push_back(c == u'/' || c == u'\\' || c < u' ' || reserved ? u'_' : c);
    }
    while (!out.empty() && (out.back() == u' ' || out.back() == u'.')) {
        out.pop_back();
    }
    return out;
}

} // namespace

void BillExporter::archive(const BillSpec& bill, const ui::Form& form, const fs::path& workbook) {
    // "2026-12-09 14.03.21 20261209-001 原木一 车号 辽A12345"
    std::u16string name = text::fromUtf8(ui::fileStamp());
    if (!exported_.number.empty()) {
        name += u" " + text::fromUtf8(exported_.number);
    }
    name += u" " + bill.sheet;
    for (const auto& [caption, field] : bill.captioned) {
        std::u16string label = form.control(caption.name, caption.element).text();
        while (!label.empty() && (label.back() == u':' || label.back() == u'：')) {
            label.pop_back();
        }
        const std::u16string& value = form.control(field.name, field.element).text();
        if (label == u"车号" && !value.empty()) {
            name += u" 车号 " + nameSafe(value);
            break;
        }
    }
    std::error_code ec;
    fs::path copy;
    for (int n = 1; n < 1000; ++n) {
        const std::u16string numbered = n == 1 ? name : name + u" (" + text::intText(n) + u")";
        copy = bills_.archive() / text::textPath(numbered + text::pathText(workbook.extension()));
        const fs::path pdf = fs::path(copy).replace_extension(".pdf");
        if (fs::exists(fs::symlink_status(copy, ec)) || fs::exists(fs::symlink_status(pdf, ec))) {
            continue; // never over an earlier bill
        }
        fs::copy_file(workbook, copy, fs::copy_options::none, ec); // the folder is made by makePdf
        if (ec) {
            archiveProblem_ += (archiveProblem_.empty() ? u"" : u"\n") +
                               std::u16string(u"账单副本没有存进 ") + shown(bills_.archive()) +
                               u"：" + text::fromUtf8(ec.message());
            break;
        }
        archived_ = copy;
        if (!pdf_.empty()) {
            fs::rename(pdf_, pdf, ec);
            if (!ec) {
                archivedPdf_ = pdf;
            } else {
                archiveProblem_ = u"PDF 没有存进 " + shown(bills_.archive()) + u"：" +
                                  text::fromUtf8(ec.message());
            }
        }
        break;
    }
    if (!pdf_.empty()) {
        fs::remove(pdf_, ec); // left only when it could not be named
        pdf_.clear();
    }
    if (!archiveProblem_.empty()) {
        prompts_.failed(u"账单已经导出，但没有完整存档，请检查存档文件夹 " +
                        shown(bills_.archive()) + u" 是否可写。\n" + archiveProblem_);
    }
}

bool BillExporter::offerFreshBill(const BillSpec& bill, const ExportError& why) {
    if (!prompts_.ask(why.message() +
                      u"\n要把它加上日期改名，留在原来的文件夹里，再用空白账单重新导出吗？")) {
        prompts_.failed(why.message() +
                        u"账单没有导出。要重新开始，请把这个文件改名或删除，再导出一次，"
                        u"程序会用空白账单重建它。");
        return false;
    }
    try {
        bills_.setAside(bill.workbook);
    } catch (const ExportError& e) {
        prompts_.failed(e.fullText());
        return false;
    }
    return true;
}

void BillExporter::show(const fs::path& workbook) {
    try {
        spreadsheet_.showToUser(workbook);
    } catch (const ExportError& e) {
        // The bill is saved: that is the export; only the viewing failed.
        prompts_.failed(e.fullText());
    }
}

bool BillExporter::run(const BillSpec& bill, const ui::Form& form, int& count) {
    if (!fitsXls(bill)) {
        prompts_.failed(u"账单格式有误：有格子超出表格范围，账单没有导出。");
        return false;
    }
    // Looked for before the first export's reminder: the reminder belongs to a bill that will
    // be shown, and an export that found no application to show it is not counted.
    if (count == 0) {
        if (const std::optional<ExportError> missing = spreadsheet_.missing()) {
            prompts_.failed(missing->fullText());
            return false;
        }
    }
    reserveNumber();
    // Whatever way the export fails, its number is given back.
    struct Held {
        BillExporter& e;
        bool saved = false;
        ~Held() {
            if (!saved) {
                e.releaseNumber();
            }
        }
    } held{*this};
    bool freshOffered = false;
    for (int attemptNo = 1;; ++attemptNo) {
        ++count;
        if (count == 1) {
            prompts_.remind(std::u16string(kReminder));
        }
        try {
            const fs::path saved = attempt(bill, form);
            // The archive never undoes the export: its failures are only reported.
            archive(bill, form, saved);
            held.saved = true;
            exported_.workbook = archived_.empty() ? saved : archived_;
            exported_.pdf = archivedPdf_;
            show(saved);
            return true;
        } catch (const ExportError& e) {
            if (e.kind() == ExportError::Kind::Office) {
                spreadsheet_.abandon();
                if (bill.retryOnce && attemptNo == 1) {
                    continue;
                }
                prompts_.failed(e.fullText());
                return false;
            }
            // The office is healthy: only the workbook is closed, so the next export is warm.
            try {
                spreadsheet_.closeAll();
            } catch (const std::exception&) {
                spreadsheet_.abandon();
            }
            if (e.kind() == ExportError::Kind::Damaged && !freshOffered) {
                freshOffered = true;
                if (offerFreshBill(bill, e)) {
                    attemptNo = 0;
                    continue;
                }
                return false;
            }
            prompts_.failed(e.fullText());
            return false;
        } catch (const std::exception& e) {
            spreadsheet_.abandon();
            prompts_.failed(std::u16string(kUnexpectedExportError) + text::fromUtf8(e.what()));
            return false;
        }
    }
}

void BillExporter::reserveNumber() {
    exported_ = {};
    exported_.moment = std::time(nullptr);
    archived_.clear();
    archivedPdf_.clear();
    if (numbers_ != nullptr) {
        // A bill without a number still goes out; the user hears why once it is saved.
        exported_.number =
            numbers_->reserve(ui::localTime(exported_.moment, "%Y%m%d"), exported_.numberProblem);
    }
}

void BillExporter::releaseNumber() {
    if (numbers_ != nullptr && !exported_.number.empty()) {
        numbers_->release(exported_.number);
    }
    exported_.number.clear();
}

void BillExporter::priceBy(std::u16string list, std::vector<prices::DetailRow> rows) {
    list_ = std::move(list);
    detail_ = std::move(rows);
}

void BillExporter::writeDetail(const BillSpec& bill) {
    detailWritten_ = -1;
    if (bill.detailRow <= 0) {
        return;
    }
    // A caption row, the headings, then the detail's rows.
    const int now = list_.empty() ? 0 : 2 + static_cast<int>(detail_.size());
    const int before = bills_.detailRows(bill);
    const auto& col = bill.detailColumns;
    for (int i = 0; i < std::max(now, before); ++i) {
        std::array<std::u16string, 5> texts{};
        if (i == 0 && now > 0) {
            texts = {u"价格表", list_, {}, {}, {}};
        } else if (i == 1 && now > 0) {
            texts = {u"分档", u"件数", u"材积", u"单价", u"金额"};
        } else if (i < now) {
            const prices::DetailRow& r = detail_[static_cast<std::size_t>(i - 2)];
            texts = {r.label, r.pieces, r.volume, r.price, r.amount};
        }
        for (std::size_t k = 0; k < 5; ++k) {
            // Figures as numbers; the captions, the name and the prices with their units as text.
            const bool figure = i >= 2 && (k == 1 || k == 2 || k == 4);
            spreadsheet_.setCell(bill.detailRow + i, col[k], cellValue(texts[k], !figure));
        }
    }
    detailWritten_ = now;
}

} // namespace logora::exporting

// SPDX-License-Identifier: GPL-3.0-or-later
// The spreadsheet application as the bill export sees it: the calls of one export.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace logora::exporting {

// What one cell receives.
struct CellValue {
    enum class Kind { Empty, Number, Text } kind = Kind::Empty;
    double number = 0;
    std::u16string text;
    friend bool operator==(const CellValue&, const CellValue&) = default;
};

// Whether a text put into a cell of the General format could be read by Excel or WPS as
// something else: a number (a phone number, leading zeros), a date or fraction ("1/2",
// "2026-12-09"), a time or percentage, or a formula ("=", "+", "-", "@"), or lose a leading
// apostrophe. Any such text goes into a cell of the Text format ("@") first. A text with no
// digit and none of those first characters ("杉木") is kept as it is by any format.
inline bool needsTextFormat(std::u16string_view text) {
    if (text.empty()) {
        return false;
    }
    if (std::u16string_view(u"=+-@'").find(text.front()) != std::u16string_view::npos) {
        return true;
    }
    for (char16_t c : text) {
        if ((c >= u'0' && c <= u'9') || (c >= u'\uFF10' && c <= u'\uFF19')) {
            return true;
        }
    }
    return false;
}

// A failed call. message() is one sentence for the user: what failed, which file, what to
// do; detail() is the technical reason, shown on a second line; what() is for logs.
class ExportError : public std::runtime_error {
  public:
    enum class Kind {
        Office,  // the office failed or stopped answering: end it, a retry may work
        Refused, // the bill, its folder or the installation: a retry would fail again
        Damaged, // the bill file is not a usable workbook: offer a fresh one
    };
    explicit ExportError(std::u16string message, std::u16string detail = {},
                         Kind kind = Kind::Office);
    const std::u16string& message() const { return message_; }
    const std::u16string& detail() const { return detail_; }
    Kind kind() const { return kind_; }
    // The message, and the detail on a line of its own.
    std::u16string fullText() const;

  private:
    std::u16string message_;
    std::u16string detail_;
    Kind kind_;
};

class Spreadsheet {
  public:
    virtual ~Spreadsheet() = default;
    // May start the application in the background ahead of an export; never throws.
    virtual void prepare() {}
    // Why there is no application to export to, told without starting one; nothing when one
    // is installed (it may still fail to start).
    virtual std::optional<ExportError> missing() const { return std::nullopt; }
    // Each call throws ExportError when it fails.
    virtual void start() = 0;
    virtual void openWorkbook(const std::filesystem::path& path) = 0;
    virtual void selectSheet(std::u16string_view name) = 0;
    virtual void setCell(int row, int column, const CellValue& value) = 0; // 1-based
    virtual void save() = 0;
    // A PDF of the selected sheet, as it prints, written to pdf.
    virtual void exportPdf(const std::filesystem::path& pdf) = 0;
    // Closes the workbook; the office stays up for the next export.
    virtual void closeAll() = 0;
    // Opens the saved workbook where the user can see and print it.
    virtual void showToUser(const std::filesystem::path& path) = 0;
    // After a failure: ends whatever this export started, leaving no process or lock behind.
    virtual void abandon() = 0;
};

// Stands in when the spreadsheet application is not installed.
class MissingSpreadsheet : public Spreadsheet {
  public:
    explicit MissingSpreadsheet(std::u16string why, std::u16string detail = {})
        : why_(std::move(why)), detail_(std::move(detail)) {}
    std::optional<ExportError> missing() const override { return error(); }
    void start() override { fail(); }
    void openWorkbook(const std::filesystem::path&) override { fail(); }
    void selectSheet(std::u16string_view) override { fail(); }
    void setCell(int, int, const CellValue&) override { fail(); }
    void save() override { fail(); }
    void exportPdf(const std::filesystem::path&) override { fail(); }
    void closeAll() override {}
    void showToUser(const std::filesystem::path&) override { fail(); }
    void abandon() override {}

  private:
    ExportError error() const { return ExportError(why_, detail_, ExportError::Kind::Refused); }
    [[noreturn]] void fail() const { throw error(); }
    std::u16string why_;
    std::u16string detail_;
};

} // namespace logora::exporting

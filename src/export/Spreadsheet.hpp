// The spreadsheet application as the bill export sees it: the calls of one export.
#pragma once

#include <filesystem>
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

// A failed call; what() is for logs, message() for the user.
class ExportError : public std::runtime_error {
  public:
    explicit ExportError(std::u16string message);
    const std::u16string& message() const { return message_; }

  private:
    std::u16string message_;
};

class Spreadsheet {
  public:
    virtual ~Spreadsheet() = default;
    // Each call throws ExportError when it fails.
    virtual void start() = 0;
    virtual void openWorkbook(const std::filesystem::path& path) = 0;
    virtual void selectSheet(std::u16string_view name) = 0;
    virtual void setCell(int row, int column, const CellValue& value) = 0; // 1-based
    virtual void save() = 0;
    virtual void closeAll() = 0;
    // Opens the saved workbook where the user can see and print it.
    virtual void showToUser(const std::filesystem::path& path) = 0;
    // After a failure: ends whatever this export started, leaving no process or lock behind.
    virtual void abandon() = 0;
};

// Stands in when the spreadsheet application is not installed.
class MissingSpreadsheet : public Spreadsheet {
  public:
    explicit MissingSpreadsheet(std::u16string why) : why_(std::move(why)) {}
    void start() override { throw ExportError(why_); }
    void openWorkbook(const std::filesystem::path&) override { throw ExportError(why_); }
    void selectSheet(std::u16string_view) override { throw ExportError(why_); }
    void setCell(int, int, const CellValue&) override { throw ExportError(why_); }
    void save() override { throw ExportError(why_); }
    void closeAll() override {}
    void showToUser(const std::filesystem::path&) override { throw ExportError(why_); }
    void abandon() override {}

  private:
    std::u16string why_;
};

} // namespace logora::exporting

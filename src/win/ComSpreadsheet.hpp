// SPDX-License-Identifier: GPL-3.0-or-later
// The spreadsheet application on Windows through COM automation, late-bound: Excel, else
// WPS Spreadsheets. Every call runs on a thread of its own and is given a time limit, so a
// hung application costs the user a message, never the program.
#pragma once

#include "export/Spreadsheet.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace logora::win {

struct OfficeChoice {
    std::wstring progId; // "Excel.Application"
    std::u16string name; // "Excel", as the user's messages name it
};

// Excel, then WPS Spreadsheets under both of its names.
std::vector<OfficeChoice> defaultOffices();

class ComSpreadsheet : public exporting::Spreadsheet {
  public:
    explicit ComSpreadsheet(std::vector<OfficeChoice> offices = defaultOffices(),
                            std::chrono::milliseconds limit = std::chrono::seconds(15));
    ~ComSpreadsheet() override;

    void start() override;
    void openWorkbook(const std::filesystem::path& path) override;
    void selectSheet(std::u16string_view name) override;
    void setCell(int row, int column, const exporting::CellValue& value) override;
    void save() override;
    void exportPdf(const std::filesystem::path& pdf) override;
    void closeAll() override;
    void showToUser(const std::filesystem::path& path) override;
    void abandon() override;
    std::optional<exporting::ExportError> missing() const override;

    // The application that started, once one has ("Excel", "WPS 表格").
    const std::u16string& officeName() const { return name_; }

  private:
    class Thread;
    struct Objects;
    // Runs the step on the COM thread; throws what it threw, or "not answering" after the
    // time limit (and the thread is given up).
    void run(const std::function<void(Objects&)>& step);
    std::u16string shownPath() const;

    std::vector<OfficeChoice> offices_;
    std::chrono::milliseconds limit_;
    std::shared_ptr<Thread> thread_;
    std::filesystem::path path_;
    std::u16string name_;
};

} // namespace logora::win

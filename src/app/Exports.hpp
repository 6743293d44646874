// SPDX-License-Identifier: GPL-3.0-or-later
// "导出表格" of the three calculators: the bill export with the real spreadsheet application,
// a busy cursor, and one export at a time.
#pragma once

#include "export/BillExport.hpp"
#include "export/Spreadsheet.hpp"
#include "ui/Shell.hpp"

#include <QObject>

#include <functional>
#include <memory>

namespace logora::app {

// A modal question under the program's title, the yes button the default.
bool askYesNo(const std::u16string& question, const QString& yes, const QString& no);

class QtExportPrompts : public exporting::ExportPrompts {
  public:
    void remind(const std::u16string& text) override;
    void failed(const std::u16string& text) override;
    bool ask(const std::u16string& question) override;
};

class Exports : public QObject {
    Q_OBJECT
  public:
    struct Options {
        std::filesystem::path billFolder = exporting::BillFolder::defaultFolder();
        exporting::Spreadsheet* spreadsheet = nullptr; // null: the LibreOffice plugin
        exporting::ExportPrompts* prompts = nullptr;   // null: message boxes
    };
    explicit Exports(Options options);
    ~Exports() override;

    // Exports one window's bill; a click while an export runs is ignored.
    bool exportBill(ui::Calculator window, const exporting::BillSpec& bill, const ui::Form& form);
    bool busy() const { return busy_; }
    // The spreadsheet application started ahead, at the first edit of a tally.
    void prepare();
    int count(int window) const { return counts_[window]; }

    static std::filesystem::path templateFolder();
    static std::vector<std::filesystem::path> pluginCandidates();

  private:
    exporting::Spreadsheet& spreadsheet();

    exporting::BillFolder bills_;
    std::unique_ptr<exporting::Spreadsheet> owned_;
    // Says why the plugin did not load; the next export tries again.
    std::unique_ptr<exporting::Spreadsheet> missing_;
    exporting::Spreadsheet* spreadsheet_;
    QtExportPrompts defaultPrompts_;
    exporting::ExportPrompts& prompts_;
    int counts_[3] = {0, 0, 0};
    bool busy_ = false;
    bool prepared_ = false;
};

} // namespace logora::app

// SPDX-License-Identifier: GPL-3.0-or-later
// "导出表格" on Qt: the real spreadsheet application, the busy cursor and the export's
// message boxes.
#pragma once

#include "export/BillExport.hpp"
#include "export/Spreadsheet.hpp"
#include "session/Session.hpp"
#include "ui/Shell.hpp"

#include <QString>

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

// The spreadsheet application of the Qt program (the LibreOffice plugin, loaded when first
// needed) and what the user sees while an export runs. The export itself is the session's.
class Exports {
  public:
    struct Options {
        std::filesystem::path billFolder = exporting::BillFolder::defaultFolder();
        exporting::Spreadsheet* spreadsheet = nullptr; // null: the LibreOffice plugin
        exporting::ExportPrompts* prompts = nullptr;   // null: message boxes
    };
    explicit Exports(Options options);
    ~Exports();
    Exports(const Exports&) = delete;
    Exports& operator=(const Exports&) = delete;

    exporting::Spreadsheet& spreadsheet();
    exporting::ExportPrompts& prompts() { return prompts_; }
    // A busy cursor while an export runs; at its end, the clicks that queued up meanwhile.
    void begins();
    void ends();

    // The session whose exports these are, for the counts the tests read.
    void watch(const session::Session& session) { session_ = &session; }
    bool busy() const { return session_ != nullptr && session_->exportBusy(); }
    int count(int window) const {
        return session_ != nullptr ? session_->exportCount(static_cast<ui::Calculator>(window)) : 0;
    }

    static std::filesystem::path templateFolder();
    static std::vector<std::filesystem::path> pluginCandidates();

  private:
    std::unique_ptr<exporting::Spreadsheet> owned_;
    // Says why the plugin did not load; the next export tries again.
    std::unique_ptr<exporting::Spreadsheet> missing_;
    exporting::Spreadsheet* spreadsheet_;
    QtExportPrompts defaultPrompts_;
    exporting::ExportPrompts& prompts_;
    const session::Session* session_ = nullptr;
};

} // namespace logora::app

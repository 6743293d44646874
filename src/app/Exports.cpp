// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Exports.hpp"

#include "app/Paths.hpp"
#include "export/CalcPlugin.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#ifndef LOGORA_INSTALL_LIBDIR
#define LOGORA_INSTALL_LIBDIR "lib"
#endif

namespace logora::app {

namespace fs = std::filesystem;

namespace {

void box(const std::u16string& text) {
    QMessageBox message(QMessageBox::NoIcon, QStringLiteral("Logora"),
                        QString::fromStdU16String(text), QMessageBox::Ok);
    message.exec();
}

} // namespace

void QtExportPrompts::remind(const std::u16string& text) {
    box(text);
}
void QtExportPrompts::failed(const std::u16string& text) {
    box(text);
}
bool askYesNo(const std::u16string& question, const QString& yes, const QString& no) {
    QMessageBox message(QMessageBox::Question, QStringLiteral("Logora"),
                        QString::fromStdU16String(question), QMessageBox::NoButton);
    QPushButton* yesButton = message.addButton(yes, QMessageBox::YesRole);
    message.addButton(no, QMessageBox::NoRole);
    message.setDefaultButton(yesButton);
    message.exec();
    return message.clickedButton() == yesButton;
}

bool QtExportPrompts::ask(const std::u16string& question) {
    return askYesNo(question, QStringLiteral("是"), QStringLiteral("否"));
}

Exports::Exports(Options options)
    : bills_(options.billFolder, templateFolder()), spreadsheet_(options.spreadsheet),
      prompts_(options.prompts != nullptr ? *options.prompts : defaultPrompts_) {}

Exports::~Exports() = default;

fs::path Exports::templateFolder() {
    return dataPath("bills");
}

std::vector<fs::path> Exports::pluginCandidates() {
    return {programDir() / ".." / LOGORA_INSTALL_LIBDIR / "logora" / "liblogora_calc.so",
            programDir() / "lib" / "logora" / "liblogora_calc.so"};
}

exporting::Spreadsheet& Exports::spreadsheet() {
    if (spreadsheet_ == nullptr) {
        // Tried at every export until it loads: the user may install what was missing.
        exporting::CalcPluginLoad load = exporting::tryLoadCalcPlugin(pluginCandidates());
        if (!load.spreadsheet) {
            missing_ = std::make_unique<exporting::MissingSpreadsheet>(load.why, load.detail);
            return *missing_;
        }
        missing_.reset();
        owned_ = std::move(load.spreadsheet);
        spreadsheet_ = owned_.get();
    }
    return *spreadsheet_;
}

void Exports::prepare() {
    if (!prepared_ && !busy_) {
        prepared_ = true;
        spreadsheet().prepare();
    }
}

namespace {

// Holds the busy flag and the wait cursor for one export, however it ends.
class BusyScope {
  public:
    explicit BusyScope(bool& busy) : busy_(busy) {
        busy_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyScope() {
        QApplication::restoreOverrideCursor();
        // Clicks that queued up while the export held the window are not new exports:
        // they are delivered now, while still busy, and ignored.
        QCoreApplication::processEvents();
        busy_ = false;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    bool& busy_;
};

} // namespace

bool Exports::exportBill(ui::Calculator window, const exporting::BillSpec& bill,
                         const ui::Form& form) {
    if (busy_) {
        return false;
    }
    BusyScope scope(busy_);
    try {
        exporting::BillExporter exporter(spreadsheet(), bills_, prompts_);
        return exporter.run(bill, form, counts_[static_cast<int>(window)]);
    } catch (const std::exception& e) {
        prompts_.failed(u"导出账单时出了意外的错误，账单可能没有保存。请再导出一次。\n" +
                        QString::fromUtf8(e.what()).toStdU16String());
        return false;
    }
}

} // namespace logora::app

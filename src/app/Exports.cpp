// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Exports.hpp"

#include "app/Paths.hpp"
#include "export/CalcPlugin.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

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
    : spreadsheet_(options.spreadsheet),
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

void Exports::begins() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void Exports::ends() {
    QApplication::restoreOverrideCursor();
    // Clicks that queued up while the export held the window are not new exports: they are
    // delivered now, while still busy, and ignored.
    QCoreApplication::processEvents();
}

} // namespace logora::app

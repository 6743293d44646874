#include "app/Exports.hpp"

#include "app/Paths.hpp"
#include "export/CalcPlugin.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
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
        owned_ = exporting::loadCalcPlugin(pluginCandidates());
        spreadsheet_ = owned_.get();
    }
    return *spreadsheet_;
}

bool Exports::exportBill(int window, const exporting::BillSpec& bill, const ui::Form& form) {
    if (busy_) {
        return false;
    }
    busy_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    exporting::BillExporter exporter(spreadsheet(), bills_, prompts_);
    const bool ok = exporter.run(bill, form, counts_[window]);
    QApplication::restoreOverrideCursor();
    // Clicks that queued up while the export held the window are not new exports: they
    // are delivered now, while still busy, and ignored.
    QCoreApplication::processEvents();
    busy_ = false;
    return ok;
}

} // namespace logora::app

// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the LibreOffice plugin in the soak test: records each export's cells in
// the file named by LOGORA_FAKE_OUT, opens nothing.
#include "export/Spreadsheet.hpp"
#include "text/NumberText.hpp"

#include <cstdlib>
#include <fstream>

namespace {

class FakeCalc : public logora::exporting::Spreadsheet {
  public:
    void start() override {}
    void openWorkbook(const std::filesystem::path&) override {
        const char* out = std::getenv("LOGORA_FAKE_OUT");
        file_.open(out != nullptr ? out : "/dev/null", std::ios::app);
        file_ << "export\n";
    }
    void selectSheet(std::u16string_view) override {}
    void setCell(int row, int column, const logora::exporting::CellValue& v) override {
        file_ << row << ',' << column << ',';
        if (v.kind == logora::exporting::CellValue::Kind::Number) {
            file_ << logora::text::toUtf8(logora::text::plainText(v.number));
        } else {
            file_ << logora::text::toUtf8(v.text);
        }
        file_ << '\n';
    }
    void save() override { file_.flush(); }
    void exportPdf(const std::filesystem::path& pdf) override { std::ofstream(pdf) << "%PDF"; }
    void closeAll() override { file_.close(); }
    void showToUser(const std::filesystem::path&) override {}
    void abandon() override {}

  private:
    std::ofstream file_;
};

} // namespace

extern "C" __attribute__((visibility("default"))) logora::exporting::Spreadsheet*
logora_calc_create() {
    return new FakeCalc();
}

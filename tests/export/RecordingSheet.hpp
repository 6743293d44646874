// SPDX-License-Identifier: GPL-3.0-or-later
// A spreadsheet stand-in that records what an export asks of the office, for the core tests
// and the Qt tests alike.
#pragma once

#include "export/Spreadsheet.hpp"
#include "text/NumberText.hpp"
#include "text/PathText.hpp"

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace logora::testing {

struct RecordingSheet : exporting::Spreadsheet {
    std::vector<std::string> calls;
    std::vector<std::tuple<int, int, exporting::CellValue>> cells;
    int failSetCellAt = -1; // fail when this many cells have been set (counting all attempts)
    bool failStart = false;
    int abandoned = 0;
    int setCount = 0;
    std::function<void()> duringSave;

    void start() override {
        calls.push_back("start");
        if (failStart) {
            throw exporting::ExportError(u"未找到 LibreOffice Calc，无法导出账单。");
        }
    }
    void openWorkbook(const std::filesystem::path& p) override {
        calls.push_back("open " + text::toUtf8(text::pathText(p.filename())));
    }
    void selectSheet(std::u16string_view s) override {
        calls.push_back("sheet " + text::toUtf8(s));
    }
    void setCell(int r, int c, const exporting::CellValue& v) override {
        if (setCount++ == failSetCellAt) {
            throw exporting::ExportError(u"没有响应");
        }
        cells.emplace_back(r, c, v);
    }
    void save() override {
        calls.push_back("save");
        if (duringSave) {
            duringSave();
        }
    }
    void exportPdf(const std::filesystem::path& p) override { std::ofstream(p) << "%PDF"; }
    void closeAll() override { calls.push_back("close"); }
    void showToUser(const std::filesystem::path&) override { calls.push_back("show"); }
    void abandon() override { ++abandoned; }
};

} // namespace logora::testing

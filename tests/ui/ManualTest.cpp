// SPDX-License-Identifier: GPL-3.0-or-later
// The manual behind "使用说明" names every window's buttons, every file the program keeps and
// every message it can show, opens at each calculator's section, and shows only pictures that
// exist. The messages are read from the program's sources, so a new one fails here until the
// manual says what it means.
#include "export/BillExport.hpp"
#include "export/BillMaps.hpp"
#include "files/FileOps.hpp"
#include "ledger/Ledger.hpp"
#include "ledger/LedgerView.hpp"
#include "prices/GradePriceStore.hpp"
#include "session/StoredRule.hpp"
#include "text/NumberText.hpp"
#include "ui/Shell.hpp"
#include "ui/Snapshot.hpp"
#include "ui/WindowDef.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

using namespace logora;
namespace fs = std::filesystem;

namespace {

const fs::path kSource = LOGORA_SOURCE_DIR;

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Blanks are left out on both sides: captions space their characters apart ("多 材 长").
std::u16string unspaced(std::u16string s) {
    std::erase_if(s,
                  [](char16_t c) { return c == u' ' || c == u'\n' || c == u'\t' || c == u'\r'; });
    return s;
}

// What a reader sees: the text without its tags and with the few entities it uses.
const std::u16string& manualText() {
    static const std::u16string text = [] {
        std::string html = readAll(kSource / "docs" / "manual.html");
        html = std::regex_replace(html, std::regex("<[^>]*>"), "");
        for (const auto& [entity, plain] :
             {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}) {
            html = std::regex_replace(html, std::regex(entity), plain);
        }
        return unspaced(text::fromUtf8(html));
    }();
    return text;
}

bool inManual(std::u16string_view phrase) {
    return manualText().find(unspaced(std::u16string(phrase))) != std::u16string::npos;
}

bool chinese(char16_t c) {
    return c >= 0x4E00 && c <= 0x9FFF;
}

// The sentences of the program's message texts: each string literal of the sources that ends
// a sentence, cut at sentence ends, line breaks and Qt's %1, without the punctuation and
// blanks at their ends; pieces of four Chinese characters or more, which a reader would meet.
std::vector<std::pair<std::u16string, std::string>> messageSentences() {
    std::vector<std::pair<std::u16string, std::string>> out;
    const std::regex literal(
        R"re((?:^|[^A-Za-z0-9_])(?:u8?|L|QStringLiteral\()"((?:[^"\\]|\\.)*)")re");
    for (const auto& entry : fs::recursive_directory_iterator(kSource / "src")) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".cpp" && ext != ".hpp") {
            continue;
        }
        std::istringstream lines(readAll(entry.path()));
        std::string line;
        for (int n = 1; std::getline(lines, line); ++n) {
            if (line.find_first_not_of(' ') != std::string::npos &&
                line.compare(line.find_first_not_of(' '), 2, "//") == 0) {
                continue;
            }
            for (auto m = std::sregex_iterator(line.begin(), line.end(), literal);
                 m != std::sregex_iterator(); ++m) {
                std::string body = (*m)[1].str();
                body = std::regex_replace(body, std::regex(R"(\\n|%\d)"), "\x1f");
                std::u16string s = text::fromUtf8(body);
                if (s.find_first_of(u"。？！") == std::u16string::npos) {
                    continue;
                }
                std::u16string piece;
                auto flush = [&] {
                    const std::u16string_view trim = u" ，：；）（、“”";
                    const auto first = piece.find_first_not_of(trim);
                    const auto last = piece.find_last_not_of(trim);
                    if (first != std::u16string::npos) {
                        piece = piece.substr(first, last - first + 1);
                        if (std::count_if(piece.begin(), piece.end(), chinese) >= 4) {
                            out.push_back({piece, entry.path().filename().string() + ":" +
                                                      std::to_string(n)});
                        }
                    }
                    piece.clear();
                };
                for (char16_t c : s) {
                    if (c == u'。' || c == u'？' || c == u'！' || c == u'\x1f') {
                        flush();
                    } else {
                        piece += c;
                    }
                }
                flush();
            }
        }
    }
    return out;
}

} // namespace

TEST(Manual, NamesEveryWindowButtonAndChoice) {
    for (const ui::WindowDef& w :
         {ui::gridWindowDef(), ui::listWindowDef(), ui::sawnWindowDef(), ui::priceWindowDef(),
          ui::listEditorDef(), ui::yardWindowDef(), ui::phoneWindowDef()}) {
        if (w.title != u"Logora" && w.title != u"Planora" && !w.title.empty()) {
            EXPECT_TRUE(inManual(w.title)) << text::toUtf8(w.title);
        }
        for (const ui::ControlDef& c : w.controls) {
            std::vector<std::u16string> shown;
            if (c.kind == ui::Kind::Button || c.clickable) {
                shown.push_back(c.text);
            }
            if (c.role == ui::Role::SwitchBox || c.pickOnly) {
                shown.insert(shown.end(), c.items.begin(), c.items.end());
            }
            if (!c.toolTip.empty()) {
                shown.push_back(c.toolTip);
            }
            for (const std::u16string& s : shown) {
                EXPECT_TRUE(inManual(s)) << text::toUtf8(w.name) << " " << text::toUtf8(c.name)
                                         << ": " << text::toUtf8(s);
            }
        }
    }
}

TEST(Manual, OpensAtASectionOfEachCalculator) {
    const std::string html = readAll(kSource / "docs" / "manual.html");
    for (ui::Calculator which :
         {ui::Calculator::Grid, ui::Calculator::List, ui::Calculator::Sawn}) {
        const std::string id = "id=\"" + std::string(ui::manualSection(which)) + "\"";
        EXPECT_NE(html.find(id), std::string::npos) << id;
    }
}

TEST(Manual, SaysWhereEveryFileIsKept) {
    const fs::path folder = "/x";
    std::vector<std::u16string> names = {
        prices::FilePriceStore(folder).fileOf(0).filename().u16string(),
        prices::FilePriceStore(folder).fileOf(2).filename().u16string(),
        session::StoredRule(folder, {}).file().filename().u16string(),
        exporting::BillFolder(folder, folder).archive().filename().u16string(),
        text::fromUtf8(ledger::kLedgerFile),
        std::u16string(ledger::kSummaryFolder),
        u"标准对照",
        u"tally-snapshot-",
        u"office-profile",
        u"价格明细行数.txt",
        // Where the platforms keep them, and what moves them.
        u"XDG_CONFIG_HOME",
        u"XDG_DATA_HOME",
        u"XDG_STATE_HOME",
        u"XDG_CACHE_HOME",
        u"%APPDATA%\\Logora",
        u"Documents\\Logora",
        u"LOGORA_PRICE_FOLDER",
        u"LOGORA_BILL_FOLDER",
        u"C:\\1(0).txt",
    };
    for (ui::Calculator which :
         {ui::Calculator::Grid, ui::Calculator::List, ui::Calculator::Sawn}) {
        const exporting::BillSpec bill = exporting::billFor(which, false);
        names.push_back(bill.workbook);
        names.push_back(bill.sheet);
    }
    for (const std::u16string& name : names) {
        EXPECT_TRUE(inManual(name)) << text::toUtf8(name);
    }
}

TEST(Manual, SaysWhatEveryMessageMeans) {
    const auto sentences = messageSentences();
    ASSERT_GT(sentences.size(), 50u); // the sources were read
    for (const auto& [sentence, where] : sentences) {
        EXPECT_TRUE(inManual(sentence)) << where << ": " << text::toUtf8(sentence);
    }
    for (std::u16string_view fixed : {exporting::kReminder, ui::kRestoreQuestion}) {
        EXPECT_TRUE(inManual(fixed)) << text::toUtf8(std::u16string(fixed));
    }
    for (int error : {EACCES, EROFS, ENOSPC, EDQUOT, ENOENT, ENOTDIR, EIO, ELOOP, EBUSY,
                      ENAMETOOLONG, EMFILE}) {
        EXPECT_TRUE(inManual(fileops::reasonOf(error))) << error;
    }
}

TEST(Manual, ShowsOnlyPicturesThatExist) {
    const std::string html = readAll(kSource / "docs" / "manual.html");
    const std::regex picture(R"re(<img src="([^"]+)")re");
    int count = 0;
    for (auto m = std::sregex_iterator(html.begin(), html.end(), picture);
         m != std::sregex_iterator(); ++m, ++count) {
        EXPECT_TRUE(fs::is_regular_file(kSource / "docs" / (*m)[1].str())) << (*m)[1].str();
    }
    EXPECT_GE(count, 8); // each window, on both platforms where it differs
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the bill workbooks' source as flat ODF spreadsheets (.fods); the build turns them
// into the .xls bills through LibreOffice. Every cell that an export writes has its place
// here, with the window's captions beside it, borders, widths and number formats.
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

struct Cell {
    std::string text;
    std::string style = "field";
    int span = 1; // columns merged to the right
};

struct Sheet {
    std::string name;
    std::vector<double> widths;              // cm, one per column
    std::map<int, std::map<int, Cell>> rows; // 1-based row -> column -> cell
    int lastRow = 0;

    void put(int row, int column, std::string text, std::string style, int span = 1) {
        rows[row][column] = Cell{std::move(text), std::move(style), span};
        lastRow = std::max(lastRow, row);
    }
    // A bordered value cell, empty in the template, that an export fills.
    void value(int row, int column, std::string style, int span = 1) {
        put(row, column, "", std::move(style), span);
    }
};

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

const char* kFont = "Noto Serif CJK SC";

std::string textProps(double points, bool bold) {
    const std::string size = std::to_string(points).substr(0, 4) + "pt";
    std::string p = "<style:text-properties style:font-name=\"" + std::string(kFont) +
                    "\" style:font-name-asian=\"" + kFont + "\" fo:font-size=\"" + size +
                    "\" style:font-size-asian=\"" + size + "\"";
    if (bold) {
        p += " fo:font-weight=\"bold\" style:font-weight-asian=\"bold\"";
    }
    return p + "/>";
}

std::string cellStyle(const std::string& name, const std::string& dataStyle, bool border,
                      const std::string& align, bool bold, double points,
                      const std::string& background = "") {
    std::string s = "<style:style style:name=\"" + name +
                    "\" style:family=\"table-cell\" style:parent-style-name=\"Default\"";
    if (!dataStyle.empty()) {
        s += " style:data-style-name=\"" + dataStyle + "\"";
    }
    s += "><style:table-cell-properties style:vertical-align=\"middle\"";
    if (border) {
        s += " fo:border=\"0.5pt solid #000000\"";
    }
    if (!background.empty()) {
        s += " fo:background-color=\"" + background + "\"";
    }
    s += "/><style:paragraph-properties fo:text-align=\"" + align + "\"/>" +
         textProps(points, bold) + "</style:style>\n";
    return s;
}

std::string numberStyle(const std::string& name, int decimals) {
    return "<number:number-style style:name=\"" + name +
           "\"><number:number number:decimal-places=\"" + std::to_string(decimals) +
           "\" number:min-decimal-places=\"" + std::to_string(decimals) +
           "\" number:min-integer-digits=\"1\"/></number:number-style>\n";
}

void write(const std::string& path, const std::vector<Sheet>& sheets) {
    std::ofstream out(path);
    out << R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:font-face-decls>
 <style:font-face style:name="Noto Serif CJK SC" svg:font-family="'Noto Serif CJK SC'"/>
</office:font-face-decls>
<office:styles>
)";
    out << numberStyle("N4", 4) << numberStyle("N3", 3) << numberStyle("N2", 2);
    out << "<style:style style:name=\"Default\" style:family=\"table-cell\">"
        << textProps(10.5, false)
        << "</style:style>\n</office:styles>\n<office:automatic-styles>\n";
    out << cellStyle("title", "", false, "center", true, 16);
    out << cellStyle("label", "", false, "start", true, 10.5);
    out << cellStyle("caption", "", true, "center", true, 10.5, "#efd5a0");
    out << cellStyle("field", "", true, "start", false, 10.5);
    out << cellStyle("n0", "", true, "center", false, 10.5);
    out << cellStyle("n4", "N4", true, "end", false, 10.5);
    out << cellStyle("n3", "N3", true, "end", false, 10.5);
    out << cellStyle("n2", "N2", true, "end", false, 10.5);
    out << cellStyle("t0", "", true, "center", true, 10.5, "#ffd8d8");
    out << cellStyle("t4", "N4", true, "end", true, 10.5, "#ffd8d8");
    out << cellStyle("t3", "N3", true, "end", true, 10.5, "#ffd8d8");
    out << cellStyle("t2", "N2", true, "end", true, 10.5, "#ffd8d8");
    out << "<style:style style:name=\"ro\" style:family=\"table-row\"><style:table-row-properties "
           "style:row-height=\"0.62cm\" style:use-optimal-row-height=\"false\"/></style:style>\n";
    out << "<style:style style:name=\"rotitle\" "
           "style:family=\"table-row\"><style:table-row-properties "
           "style:row-height=\"1.1cm\" style:use-optimal-row-height=\"false\"/></style:style>\n";
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        for (std::size_t c = 0; c < sheets[s].widths.size(); ++c) {
            out << "<style:style style:name=\"co" << s << "_" << c
                << "\" style:family=\"table-column\"><style:table-column-properties "
                   "style:column-width=\""
                << sheets[s].widths[c] << "cm\"/></style:style>\n";
        }
    }
    out << "<style:style style:name=\"ta\" style:family=\"table\" style:master-page-name=\"Bill\">"
           "<style:table-properties table:display=\"true\"/></style:style>\n";
    // One A4 page, portrait, whatever the user's printer defaults.
    out << "<style:page-layout style:name=\"pm\"><style:page-layout-properties "
           "fo:page-width=\"21cm\" fo:page-height=\"29.7cm\" style:print-orientation=\"portrait\" "
           "fo:margin-top=\"1.5cm\" fo:margin-bottom=\"1.5cm\" fo:margin-left=\"1.5cm\" "
           "fo:margin-right=\"1.5cm\" style:scale-to-pages=\"1\" "
           "style:table-centering=\"horizontal\"/></style:page-layout>\n";
    out << "</office:automatic-styles>\n<office:master-styles><style:master-page "
           "style:name=\"Bill\" style:page-layout-name=\"pm\"/></office:master-styles>\n";
    out << "<office:body><office:spreadsheet>\n";
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        const Sheet& sheet = sheets[s];
        const int columns = static_cast<int>(sheet.widths.size());
        out << "<table:table table:name=\"" << escape(sheet.name)
            << "\" table:style-name=\"ta\">\n";
        for (int c = 0; c < columns; ++c) {
            out << " <table:table-column table:style-name=\"co" << s << "_" << c << "\"/>\n";
        }
        for (int r = 1; r <= sheet.lastRow; ++r) {
            out << " <table:table-row table:style-name=\"" << (r == 1 ? "rotitle" : "ro") << "\">";
            const auto it = sheet.rows.find(r);
            int c = 1;
            while (c <= columns) {
                const Cell* cell = nullptr;
                if (it != sheet.rows.end()) {
                    const auto found = it->second.find(c);
                    if (found != it->second.end()) {
                        cell = &found->second;
                    }
                }
                if (cell == nullptr) {
                    out << "<table:table-cell/>";
                    ++c;
                    continue;
                }
                out << "<table:table-cell table:style-name=\"" << cell->style << "\"";
                if (cell->span > 1) {
                    out << " table:number-columns-spanned=\"" << cell->span
                        << "\" table:number-rows-spanned=\"1\"";
                }
                if (!cell->text.empty()) {
                    out << " office:value-type=\"string\"><text:p>" << escape(cell->text)
                        << "</text:p></table:table-cell>";
                } else {
                    out << "/>";
                }
                for (int k = 1; k < cell->span; ++k) {
                    out << "<table:covered-table-cell table:style-name=\"" << cell->style << "\"/>";
                }
                c += cell->span;
            }
            out << "</table:table-row>\n";
        }
        out << "</table:table>\n";
    }
    out << "</office:spreadsheet></office:body></office:document>\n";
}

Sheet gridSheet() {
    Sheet s{"原木一", {1.2, 1.3, 1.8, 1.2, 1.3, 1.8, 1.2, 1.3, 1.8, 1.2, 1.3, 1.8}, {}, 0};
    s.put(1, 1, "原木检尺码单", "title", 12);
    s.put(2, 1, "单号", "label");
    s.value(2, 2, "field", 3);
    s.put(2, 6, "检尺标准", "label");
    s.value(2, 7, "field", 3);
    s.put(2, 10, "日期：", "label");
    s.value(2, 11, "field", 2);
    s.put(3, 1, "购货单位", "caption", 2);
    s.value(3, 3, "field", 5);
    s.put(3, 8, "车号", "caption");
    s.value(3, 9, "field", 4);
    s.put(4, 1, "树   种", "caption", 2);
    s.value(4, 3, "field", 5);
    s.put(4, 8, "检 尺 员", "caption");
    s.value(4, 9, "field", 4);
    for (int g = 0; g < 4; ++g) {
        s.put(5, 3 * g + 1, "材长", "caption");
        s.value(5, 3 * g + 2, "n0");
        s.put(5, 3 * g + 3, "米", "label");
        s.put(6, 3 * g + 1, "径级", "caption");
        s.put(6, 3 * g + 2, "件数", "caption");
        s.put(6, 3 * g + 3, "材  积", "caption");
        for (int k = 1; k <= 14; ++k) {
            s.value(6 + k, 3 * g + 1, "n0");
            s.value(6 + k, 3 * g + 2, "n0");
            s.value(6 + k, 3 * g + 3, "n4");
        }
    }
    for (int g = 0; g < 4; ++g) {
        s.put(21, 3 * g + 1, "合计", "caption");
        s.value(21, 3 * g + 2, "t0");
        s.value(21, 3 * g + 3, "t4");
    }
    s.put(22, 1, "分    档", "caption", 3);
    s.put(22, 4, "件  数", "caption", 2);
    s.put(22, 6, "材   积", "caption", 2);
    s.put(22, 8, "单价(元/立方米)", "caption", 2);
    s.put(22, 10, "金   额(元)", "caption", 3);
    const char* classes[4] = {"直径12CM以下", "直径14-18CM", "直径20CM以上", "总   计"};
    for (int r = 0; r < 4; ++r) {
        const bool total = r == 3;
        s.put(23 + r, 1, classes[r], "caption", 3);
        s.value(23 + r, 4, total ? "t0" : "n0", 2);
        s.value(23 + r, 6, total ? "t4" : "n4", 2);
        s.value(23 + r, 8, total ? "t2" : "n2", 2);
        s.value(23 + r, 10, total ? "t2" : "n2", 3);
    }
    s.put(27, 1, "出货单位", "caption", 2);
    s.value(27, 3, "field", 5);
    s.put(27, 8, "联系人", "caption", 2);
    s.value(27, 10, "field", 3);
    return s;
}

Sheet listSheet() {
    Sheet s{"原木二", {2.4, 2.4, 2.4, 3.2, 2.6, 3.6}, {}, 0};
    s.put(1, 1, "多材长原木码单", "title", 6);
    s.put(2, 1, "购货单位", "caption");
    s.value(2, 2, "field", 5);
    s.put(3, 1, "检 尺 员", "caption");
    s.value(3, 2, "field", 2);
    s.put(3, 4, "树   种", "caption");
    s.value(3, 5, "field", 2);
    const char* headings[6] = {"材长", "径级", "件数", "材积", "单价", "金  额"};
    const char* styles[6] = {"n0", "n0", "n0", "n4", "n0", "n2"};
    for (int k = 0; k < 6; ++k) {
        s.put(4, k + 1, headings[k], "caption");
        for (int i = 0; i < 19; ++i) {
            s.value(5 + i, k + 1, styles[k]);
        }
    }
    s.put(24, 1, "合计", "caption");
    s.put(24, 2, "件数", "caption");
    s.value(24, 3, "t0");
    s.value(24, 4, "t3");
    s.put(24, 5, "分级金额", "caption");
    s.value(24, 6, "t2");
    s.put(25, 1, "平均单价", "caption");
    s.value(25, 2, "n0");
    s.put(25, 3, "均价金额", "caption", 2);
    s.value(25, 5, "t2");
    s.put(26, 1, "售货单位", "caption");
    s.value(26, 2, "field", 5);
    s.put(27, 1, "日期：", "label");
    s.value(27, 2, "field", 2);
    s.put(27, 4, "单号", "label");
    s.value(27, 5, "field", 2);
    s.put(28, 1, "检尺标准", "label");
    s.value(28, 2, "field", 2);
    return s;
}

Sheet sawnSheet() {
    Sheet s{"锯材账单", {2.2, 2.2, 2.2, 2.2, 3.0, 2.6, 3.2}, {}, 0};
    s.put(1, 1, "锯材码单", "title", 7);
    s.put(2, 1, "单号", "label");
    s.value(2, 2, "field", 3);
    s.put(2, 5, "日期：", "label");
    s.value(2, 6, "field", 2);
    s.put(3, 1, "购货单位", "caption");
    s.value(3, 2, "field", 3);
    s.put(3, 5, "车号", "caption");
    s.value(3, 6, "field", 2);
    const char* headings[7] = {"长", "宽", "厚", "件数", "材积", "单价", "金额"};
    const char* styles[7] = {"n0", "n0", "n0", "n0", "n4", "n0", "n2"};
    for (int k = 0; k < 7; ++k) {
        s.put(4, k + 1, headings[k], "caption");
        for (int i = 0; i < 8; ++i) {
            s.value(5 + i, k + 1, styles[k]);
        }
    }
    s.put(13, 1, "检尺员", "caption");
    s.value(13, 2, "field", 2);
    s.put(13, 4, "合计", "caption");
    s.value(13, 5, "t4");
    s.value(13, 6, "t4");
    s.put(14, 1, "出货单位", "caption");
    s.value(14, 2, "field", 3);
    s.put(14, 5, "联系人", "caption");
    s.value(14, 6, "field", 2);
    return s;
}

} // namespace

// The ledger's summary: a title; the program writes what was listed, the headings and a row
// per bill or group.
Sheet summarySheet() {
    Sheet s{"汇总", {3.0, 3.6, 2.2, 3.4, 3.4, 2.6, 2.0, 1.6, 2.6, 2.8, 3.0}, {}, 0};
    s.put(1, 1, "账单汇总", "title", 11);
    for (int c = 1; c <= 11; ++c) {
        s.value(3, c, "caption");
    }
    return s;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: logora_make_bills OUTPUT_DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    write(dir + "/账单明细.fods", {gridSheet()});
    write(dir + "/账单明细1.fods", {listSheet(), sawnSheet()});
    write(dir + "/账单汇总.fods", {summarySheet()});
    return 0;
}

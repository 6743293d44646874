// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/RecordText.hpp"

#include "text/NumberText.hpp"

namespace logora::ledger {

std::string encodeRows(const std::vector<std::vector<std::u16string>>& rows) {
    std::string out;
    for (const auto& row : rows) {
        for (const std::u16string& field : row) {
            for (char c : text::toUtf8(field)) {
                if (c == '\\' || c == '\x1e' || c == '\x1f') {
                    out.push_back('\\');
                    c = c == '\\' ? '\\' : (c == '\x1e' ? 'r' : 'u');
                }
                out.push_back(c);
            }
            out.push_back('\x1f');
        }
        out.push_back('\x1e');
    }
    return out;
}

std::vector<std::vector<std::u16string>> decodeRows(std::string_view in) {
    std::vector<std::vector<std::u16string>> out;
    std::vector<std::u16string> row;
    std::string current;
    bool afterField = false; // the last thing read ended a field
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '\x1f') {
            row.push_back(text::fromUtf8(current));
            current.clear();
            afterField = true;
            continue;
        }
        if (c == '\x1e') {
            // A last field without its US: the text of a header, as the first ledgers wrote it.
            if (!afterField) {
                row.push_back(text::fromUtf8(current));
                current.clear();
            }
            out.push_back(std::move(row));
            row.clear();
        } else if (c == '\\' && i + 1 < in.size()) {
            const char e = in[++i];
            current.push_back(e == 'r' ? '\x1e' : (e == 'u' ? '\x1f' : e));
        } else {
            current.push_back(c);
        }
        afterField = false;
    }
    return out;
}

namespace {

// Field k of a row, empty where a row is short.
std::u16string field(std::vector<std::u16string>& row, std::size_t k) {
    return k < row.size() ? std::move(row[k]) : std::u16string();
}

} // namespace

// Headers keep the ledger's first form: caption US text RS, the text without its own US.
std::string encodeHeaders(const std::vector<Header>& headers) {
    std::string out;
    for (const Header& h : headers) {
        std::string row = encodeRows({{h.caption, h.text}});
        row.erase(row.size() - 2, 1); // the text's US
        out += row;
    }
    return out;
}

std::vector<Header> decodeHeaders(std::string_view text) {
    std::vector<Header> out;
    for (auto& row : decodeRows(text)) {
        out.push_back({field(row, 0), field(row, 1)});
    }
    return out;
}

std::string encodeLines(const std::vector<Line>& lines) {
    std::vector<std::vector<std::u16string>> rows;
    for (const Line& l : lines) {
        rows.push_back(
            {l.length, l.diameter, l.width, l.thickness, l.pieces, l.volume, l.price, l.amount});
    }
    return encodeRows(rows);
}

std::vector<Line> decodeLines(std::string_view text) {
    std::vector<Line> out;
    for (auto& r : decodeRows(text)) {
        out.push_back({field(r, 0), field(r, 1), field(r, 2), field(r, 3), field(r, 4), field(r, 5),
                       field(r, 6), field(r, 7)});
    }
    return out;
}

std::string encodeClasses(const std::vector<PriceClass>& classes) {
    std::vector<std::vector<std::u16string>> rows;
    for (const PriceClass& c : classes) {
        rows.push_back({c.name, c.pieces, c.volume, c.price, c.amount});
    }
    return encodeRows(rows);
}

std::vector<PriceClass> decodeClasses(std::string_view text) {
    std::vector<PriceClass> out;
    for (auto& r : decodeRows(text)) {
        out.push_back({field(r, 0), field(r, 1), field(r, 2), field(r, 3), field(r, 4)});
    }
    return out;
}

} // namespace logora::ledger

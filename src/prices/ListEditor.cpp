// SPDX-License-Identifier: GPL-3.0-or-later
#include "prices/ListEditor.hpp"

#include "files/FileOps.hpp"
#include "prices/PriceListText.hpp"
#include "text/NumberText.hpp"
#include "text/PathText.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace logora::prices {

namespace {

constexpr int kLengths = ui::kListEditorLengths;
constexpr int kBands = ui::kListEditorBands;
constexpr int kFees = ui::kListEditorFees;

std::u16string quoted(const std::u16string& t) {
    return u"“" + t + u"”";
}

std::u16string cellText(const PriceCell& cell) {
    if (!cell.price) {
        return {};
    }
    return text::plainText(*cell.price) +
           (cell.unit == PriceUnit::PerPiece ? std::u16string(unitText(cell.unit)) : u"");
}

std::u16string nameOf(const ListTexts& t) {
    PriceList l;
    l.species = t.species;
    l.party = t.party;
    return l.name();
}

bool validUtf8(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::size_t len = c < 0x80           ? 1
                                : (c >> 5) == 0x6  ? 2
                                : (c >> 4) == 0xE  ? 3
                                : (c >> 3) == 0x1E ? 4
                                                   : 0;
        if (len == 0 || i + len > bytes.size()) {
            return false;
        }
        for (std::size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) >> 6) != 0x2) {
                return false;
            }
        }
        i += len;
    }
    return true;
}

} // namespace

std::optional<ListTexts> textsOf(const PriceList& list) {
    if (list.lengths.size() > kLengths || list.bands.size() > kBands || list.fees.size() > kFees) {
        return std::nullopt;
    }
    ListTexts t;
    t.species = list.species;
    t.party = list.party;
    t.kind = list.kind == ListKind::Log ? u"原木" : u"锯材";
    for (std::size_t c = 0; c < list.lengths.size(); ++c) {
        t.lengths[c] = bandText(list.lengths[c]);
    }
    for (std::size_t r = 0; r < list.bands.size(); ++r) {
        t.bands[r] = bandText(list.bands[r]);
        for (std::size_t c = 0; c < list.columns(); ++c) {
            t.prices[r][c] = cellText(list.cell(r, c));
        }
    }
    for (std::size_t k = 0; k < list.fees.size(); ++k) {
        t.feeNames[k] = list.fees[k].name;
        t.feeAmounts[k] = text::plainText(list.fees[k].amount);
        t.feeUnits[k] = std::u16string(unitText(list.fees[k].unit));
    }
    return t;
}

ReadList listOf(const ListTexts& t) {
    // The table as the text a spreadsheet would give: the one reader of lists serves.
    const std::u16string kindWord = t.kind == u"锯材" ? u"厚度" : u"径级";
    std::u16string text = u"价格表\t" + t.species + u"\t" + t.party + u"\t" + t.kind + u"\n";
    std::vector<int> columns; // the table's columns that have a length band
    text += kindWord;
    for (int c = 0; c < kLengths; ++c) {
        if (!keyText(t.lengths[c]).empty()) {
            columns.push_back(c);
            text += u"\t" + t.lengths[c];
        }
    }
    text += u"\n";
    const std::u16string name = nameOf(t);
    auto failed = [&](const std::u16string& why) {
        return ReadList{{}, u"价格表" + quoted(name) + u"：" + why};
    };
    for (int c : columns) {
        if (!bandOf(t.lengths[c])) {
            return failed(u"第" + text::intText(c + 1) + u"列的材长档“" + keyText(t.lengths[c]) +
                          u"”看不懂，应写成“4-5.9”“6-”或“4”");
        }
    }
    for (int r = 0; r < kBands; ++r) {
        const bool band = !keyText(t.bands[r]).empty();
        const std::u16string row = u"第" + text::intText(r + 1) + u"行";
        if (band && !bandOf(t.bands[r])) {
            return failed(row + u"的" + kindWord + u"档“" + keyText(t.bands[r]) +
                          u"”看不懂，应写成“14-18”“20-”或“14”");
        }
        for (int c = 0; c < kLengths; ++c) {
            if (keyText(t.prices[r][c]).empty()) {
                continue;
            }
            if (!cellOf(t.prices[r][c])) {
                return failed(row + u"第" + text::intText(c + 1) + u"列的单价“" +
                              keyText(t.prices[r][c]) + u"”看不懂，应写成“800”或“12元/根”");
            }
            if (!band) {
                return failed(u"第" + text::intText(r + 1) + u"行有单价，但没有填" + kindWord +
                              u"档");
            }
            if (std::find(columns.begin(), columns.end(), c) == columns.end() &&
                !(columns.empty() && c == 0)) {
                return failed(u"第" + text::intText(r + 1) + u"行第" + text::intText(c + 1) +
                              u"列有单价，但这一列没有材长档");
            }
        }
        if (!band) {
            continue;
        }
        text += t.bands[r];
        if (columns.empty()) {
            text += u"\t" + t.prices[r][0];
        }
        for (int c : columns) {
            text += u"\t" + t.prices[r][c];
        }
        text += u"\n";
    }
    for (int k = 0; k < kFees; ++k) {
        if (keyText(t.feeNames[k]).empty() && keyText(t.feeAmounts[k]).empty()) {
            continue;
        }
        text += u"费用\t" + t.feeNames[k] + u"\t" + t.feeAmounts[k] + u"\t" + t.feeUnits[k] + u"\n";
    }
    ParsedLists parsed = parseLists(text, u'\t');
    if (!parsed.problem.empty() || parsed.lists.size() != 1) {
        // Its rows are the table's: the header is the table's first line.
        return failed(parsed.problem.empty() ? u"读不出来" : parsed.problem);
    }
    return {std::move(parsed.lists.front()), {}};
}

std::u16string csvText(const std::string& bytes) {
    std::string b = bytes;
    if (b.starts_with("\xEF\xBB\xBF")) {
        b.erase(0, 3);
    }
    if (validUtf8(b)) {
        return text::fromUtf8(b);
    }
    return fileops::fromGbk(b).value_or(text::fromUtf8(b));
}

ListEditor::ListEditor(std::vector<PriceList> lists, EditorIo& io, MessageSink& messages,
                       std::function<std::u16string(const std::vector<PriceList>&)> save)
    : form_(ui::listEditorDef()), io_(io), messages_(messages), save_(std::move(save)) {
    for (const PriceList& l : lists) {
        if (auto t = textsOf(l)) {
            lists_.push_back(std::move(*t));
        }
    }
    if (lists_.empty()) {
        lists_.emplace_back();
    }
    saved_ = lists_;
    writeFields();
    form_.onClick(u"Command1", [this](int) { show(current_ == 0 ? 0 : current_ - 1); });
    form_.onClick(u"Command2", [this](int) { show(current_ + 1); });
    form_.onClick(u"Command3", [this](int) { addList(); });
    form_.onClick(u"Command4", [this](int) { removeList(); });
    form_.onClick(u"Command5", [this](int) { find(); });
    form_.onClick(u"Command6", [this](int) { copy(); });
    form_.onClick(u"Command7", [this](int) { paste(); });
    form_.onClick(u"Command8", [this](int) { importCsv(); });
    form_.onClick(u"Command9", [this](int) { exportCsv(); });
    form_.onClick(u"Command10", [this](int) { this->save(); });
    form_.onClick(u"Command11", [this](int) {
        if (mayClose() && onClose) {
            onClose();
        }
    });
    // The corner names the bands as the kind has them.
    form_.onChange(u"Combo1", [this](int) {
        form_.control(u"Label5").setText(
            form_.control(u"Combo1").text() == u"锯材" ? u"厚度＼材长" : u"径级＼材长");
    });
}

void ListEditor::readFields() {
    ListTexts& t = lists_[current_];
    t.species = form_.control(u"Text1").text();
    t.party = form_.control(u"Text2").text();
    t.kind = form_.control(u"Combo1").text();
    for (int c = 0; c < kLengths; ++c) {
        t.lengths[c] = form_.control(u"Text6", c).text();
    }
    for (int r = 0; r < kBands; ++r) {
        t.bands[r] = form_.control(u"Text7", r).text();
        for (int c = 0; c < kLengths; ++c) {
            t.prices[r][c] = form_.control(u"Text3", r * kLengths + c).text();
        }
    }
    for (int k = 0; k < kFees; ++k) {
        t.feeNames[k] = form_.control(u"Text8", k).text();
        t.feeAmounts[k] = form_.control(u"Text9", k).text();
        t.feeUnits[k] = form_.control(u"Combo2", k).text();
    }
}

void ListEditor::writeFields() {
    const ListTexts& t = lists_[current_];
    form_.control(u"Text1").setText(t.species);
    form_.control(u"Text2").setText(t.party);
    form_.control(u"Combo1").setText(t.kind);
    for (int c = 0; c < kLengths; ++c) {
        form_.control(u"Text6", c).setText(t.lengths[c]);
    }
    for (int r = 0; r < kBands; ++r) {
        form_.control(u"Text7", r).setText(t.bands[r]);
        for (int c = 0; c < kLengths; ++c) {
            form_.control(u"Text3", r * kLengths + c).setText(t.prices[r][c]);
        }
    }
    for (int k = 0; k < kFees; ++k) {
        form_.control(u"Text8", k).setText(t.feeNames[k]);
        form_.control(u"Text9", k).setText(t.feeAmounts[k]);
        form_.control(u"Combo2", k).setText(t.feeUnits[k]);
    }
    form_.control(u"Label4").setText(u"第 " + text::intText(static_cast<long long>(current_) + 1) +
                                     u" 张，共 " +
                                     text::intText(static_cast<long long>(lists_.size())) + u" 张");
}

const std::vector<ListTexts>& ListEditor::texts() {
    readFields();
    return lists_;
}

void ListEditor::show(std::size_t index) {
    readFields();
    current_ = std::min(index, lists_.size() - 1);
    writeFields();
}

void ListEditor::addList() {
    readFields();
    lists_.emplace_back();
    current_ = lists_.size() - 1;
    writeFields();
}

void ListEditor::removeList() {
    readFields();
    const std::u16string name = nameOf(lists_[current_]);
    if (!io_.ask(u"删除价格表" + quoted(name) + u"吗？点“保存”以后才真正删除。")) {
        return;
    }
    lists_.erase(lists_.begin() + static_cast<std::ptrdiff_t>(current_));
    if (lists_.empty()) {
        lists_.emplace_back();
    }
    current_ = std::min(current_, lists_.size() - 1);
    writeFields();
}

void ListEditor::find() {
    readFields();
    const std::u16string what = keyText(form_.control(u"Text5").text());
    if (what.empty()) {
        return;
    }
    // From the list after the one shown, round to it.
    for (std::size_t k = 1; k <= lists_.size(); ++k) {
        const std::size_t i = (current_ + k) % lists_.size();
        if (lists_[i].species.find(what) != std::u16string::npos ||
            lists_[i].party.find(what) != std::u16string::npos) {
            current_ = i;
            writeFields();
            return;
        }
    }
    messages_.message(u"没有找到树种或单位里有" + quoted(what) + u"的价格表。");
}

void ListEditor::copy() {
    readFields();
    const ReadList read = listOf(lists_[current_]);
    if (!read.problem.empty()) {
        messages_.message(read.problem + u"。改好再复制。");
        return;
    }
    io_.setClipboardText(listsText({read.list}, u'\t'));
}

void ListEditor::take(std::u16string_view text, char16_t separator, const std::u16string& from) {
    readFields();
    const ParsedLists parsed = parseLists(text, separator);
    if (!parsed.problem.empty()) {
        messages_.message(from + u"里的价格表读不出来，" + parsed.problem + u"。什么也没有改。");
        return;
    }
    if (parsed.lists.empty()) {
        messages_.message(from + u"里没有价格表：价格表应以“价格表”一行开始。");
        return;
    }
    std::vector<ListTexts> taken;
    for (const PriceList& l : parsed.lists) {
        auto t = textsOf(l);
        if (!t) {
            messages_.message(u"价格表" + quoted(l.name()) +
                              u"太大：这里最多 12 个档位、6 个材长档、"
                              u"4 项费用。什么也没有改。");
            return;
        }
        taken.push_back(std::move(*t));
    }
    std::optional<std::size_t> first;
    for (ListTexts& t : taken) {
        auto same = std::find_if(lists_.begin(), lists_.end(), [&](const ListTexts& l) {
            return keyText(l.species) == keyText(t.species) &&
                   keyText(l.party) == keyText(t.party) && l.kind == t.kind;
        });
        // An empty new list gives its place to what is pasted.
        if (same == lists_.end() && lists_.size() == 1 && lists_[0] == ListTexts{}) {
            same = lists_.begin();
        }
        if (same == lists_.end()) {
            lists_.push_back(std::move(t));
            same = lists_.end() - 1;
        } else {
            *same = std::move(t);
        }
        first = first.value_or(static_cast<std::size_t>(same - lists_.begin()));
    }
    current_ = *first;
    writeFields();
}

void ListEditor::paste() {
    take(io_.clipboardText(), u'\t', u"剪贴板");
}

void ListEditor::importCsv() {
    const auto path = io_.csvToOpen();
    if (!path) {
        return;
    }
    std::ifstream in(*path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (!in) {
        messages_.message(u"文件 " + text::pathText(*path) + u" 读不出来。");
        return;
    }
    take(csvText(bytes.str()), u',', u"文件 " + text::pathText(*path) + u" ");
}

std::optional<std::vector<PriceList>> ListEditor::readAll() {
    readFields();
    std::vector<PriceList> out;
    for (std::size_t i = 0; i < lists_.size(); ++i) {
        const ListTexts& t = lists_[i];
        if (t == ListTexts{}) {
            continue; // a new list left empty
        }
        ReadList read = listOf(t);
        if (!read.problem.empty()) {
            current_ = i;
            writeFields();
            messages_.message(read.problem + u"。");
            return std::nullopt;
        }
        out.push_back(std::move(read.list));
    }
    if (const std::u16string problem = problemOf(out); !problem.empty()) {
        messages_.message(problem + u"。");
        return std::nullopt;
    }
    return out;
}

void ListEditor::exportCsv() {
    const auto lists = readAll();
    if (!lists) {
        return;
    }
    const auto path = io_.csvToSave();
    if (!path) {
        return;
    }
    // With its mark, so that Excel and WPS read the Chinese as it is.
    std::ofstream out(*path, std::ios::binary | std::ios::trunc);
    out << "\xEF\xBB\xBF" << text::toUtf8(listsText(*lists, u','));
    out.close();
    if (!out) {
        messages_.message(u"文件 " + text::pathText(*path) + u" 写不进去，价格表没有导出。");
    }
}

bool ListEditor::save() {
    const auto lists = readAll();
    if (!lists) {
        return false;
    }
    if (const std::u16string problem = save_(*lists); !problem.empty()) {
        messages_.message(problem);
        return false;
    }
    saved_ = lists_;
    return true;
}

bool ListEditor::mayClose() {
    readFields();
    return lists_ == saved_ || io_.ask(u"价格表改了还没有保存。不保存就关闭吗？");
}

} // namespace logora::prices

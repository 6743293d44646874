// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Snapshot.hpp"
#include "text/PathText.hpp"
#include "ui/Folders.hpp"

#include <fstream>

#include "text/NumberText.hpp"

#include <charconv>

namespace logora::ui {

namespace {

constexpr std::string_view kHeader = "logora-snapshot 1";

void escape(std::string& out, std::u16string_view text) {
    for (char c : text::toUtf8(text)) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out.push_back(c);
        }
    }
}

std::optional<std::u16string> unescape(std::string_view in) {
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out.push_back(in[i]);
            continue;
        }
        if (++i == in.size()) {
            return std::nullopt;
        }
        switch (in[i]) {
        case '\\':
            out.push_back('\\');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        default:
            return std::nullopt;
        }
    }
    return text::fromUtf8(out);
}

std::vector<std::string_view> split(std::string_view line, char by) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == by) {
            out.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

} // namespace

Snapshot takeSnapshot(const std::vector<const Form*>& forms, bool twoLengthLayout) {
    Snapshot s;
    s.twoLengthLayout = twoLengthLayout;
    for (const Form* form : forms) {
        for (const Control& c : form->controls()) {
            if (c.def().kind == Kind::Text || c.def().kind == Kind::Combo) {
                s.fields.push_back({form->def().name, c.name(), c.element(), c.text()});
            }
        }
    }
    return s;
}

std::string writeSnapshot(const Snapshot& s) {
    std::string out(kHeader);
    out += "\nlayout\t";
    out += s.twoLengthLayout ? "two" : "four";
    out += '\n';
    for (const FieldText& f : s.fields) {
        out += "field\t";
        escape(out, f.window);
        out += '\t';
        escape(out, f.name);
        out += '\t';
        out += std::to_string(f.element);
        out += '\t';
        escape(out, f.text);
        out += '\n';
    }
    for (const std::u16string& tap : s.taps) {
        out += "tap\t";
        escape(out, tap);
        out += '\n';
    }
    out += "end\n"; // a snapshot cut short has none
    return out;
}

std::optional<Snapshot> readSnapshot(std::string_view text) {
    const std::vector<std::string_view> lines = split(text, '\n');
    if (lines.size() < 4 || lines[0] != kHeader || lines[lines.size() - 2] != "end" ||
        !lines.back().empty()) {
        return std::nullopt;
    }
    Snapshot s;
    const auto layout = split(lines[1], '\t');
    if (layout.size() != 2 || layout[0] != "layout" ||
        (layout[1] != "two" && layout[1] != "four")) {
        return std::nullopt;
    }
    s.twoLengthLayout = layout[1] == "two";
    for (std::size_t i = 2; i + 2 < lines.size(); ++i) {
        const auto parts = split(lines[i], '\t');
        if (parts.size() == 2 && parts[0] == "tap") {
            auto tap = unescape(parts[1]);
            if (!tap) {
                return std::nullopt;
            }
            s.taps.push_back(std::move(*tap));
            continue;
        }
        if (parts.size() != 5 || parts[0] != "field") {
            return std::nullopt;
        }
        int element = 0;
        const auto r = std::from_chars(parts[3].data(), parts[3].data() + parts[3].size(), element);
        auto window = unescape(parts[1]);
        auto name = unescape(parts[2]);
        auto value = unescape(parts[4]);
        if (r.ec != std::errc() || r.ptr != parts[3].data() + parts[3].size() || !window || !name ||
            !value) {
            return std::nullopt;
        }
        s.fields.push_back({std::move(*window), std::move(*name), element, std::move(*value)});
    }
    return s;
}

void restoreSnapshot(const Snapshot& s, Form& form) {
    for (const FieldText& f : s.fields) {
        if (f.window == form.def().name) {
            if (Control* c = form.find(f.name, f.element)) {
                c->setText(f.text);
            }
        }
    }
}

namespace {

std::string readSmallFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text;
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, static_cast<std::size_t>(in.gcount()));
        if (text.size() > (8u << 20)) {
            return {}; // no tally is that large
        }
    }
    return text;
}

} // namespace

LeftSnapshot takeLeftSnapshot(const std::filesystem::path& file) {
    LeftSnapshot left;
    std::error_code ec;
    if (file.empty() || !std::filesystem::exists(file, ec)) {
        return left;
    }
    if (std::optional<Snapshot> snapshot = readSnapshot(readSmallFile(file))) {
        left.kind = LeftSnapshot::Kind::Offer;
        left.snapshot = std::move(*snapshot);
        return left;
    }
    left.kind = LeftSnapshot::Kind::Unreadable;
    // Two programs' snapshots may turn out unreadable in the same second: neither replaces
    // the other.
    const std::string stamp = "tally-snapshot 无法读取 " + fileStamp();
    left.aside = file.parent_path() / text::utf8Path(stamp + ".txt");
    for (int n = 2; std::filesystem::exists(left.aside, ec) && n < 1000; ++n) {
        left.aside = file.parent_path() / text::utf8Path(stamp + " " + std::to_string(n) + ".txt");
    }
    std::filesystem::rename(file, left.aside, ec);
    return left;
}

std::vector<Calculator> calculatorsIn(const Snapshot& snapshot) {
    std::vector<Calculator> out;
    const std::pair<Calculator, std::u16string_view> windows[] = {
        {Calculator::Grid, u"Form1"}, {Calculator::List, u"Form2"}, {Calculator::Sawn, u"Form3"}};
    for (const auto& [which, name] : windows) {
        for (const FieldText& f : snapshot.fields) {
            if (f.window == name) {
                out.push_back(which);
                break;
            }
        }
    }
    return out;
}

} // namespace logora::ui

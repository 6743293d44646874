// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Shell.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

namespace logora::ui {

std::optional<Calculator> switchTarget(std::u16string_view text) {
    if (text == u"原木计算") {
        return Calculator::Grid;
    }
    if (text == u"多 材 长") {
        return Calculator::List;
    }
    if (text == u"锯材计算") {
        return Calculator::Sawn;
    }
    return std::nullopt;
}

std::string_view manualSection(Calculator which) {
    switch (which) {
    case Calculator::Grid:
        return "grid";
    case Calculator::List:
        return "list";
    case Calculator::Sawn:
        return "sawn";
    }
    return "grid";
}

std::u16string manualUrl(std::u16string_view path, std::string_view section) {
    constexpr std::pair<char16_t, std::u16string_view> kEscaped[] = {
        {u'\\', u"/"}, {u' ', u"%20"}, {u'%', u"%25"}, {u'#', u"%23"}, {u'?', u"%3F"}};
    std::u16string url = path.starts_with(u'/') ? u"file://" : u"file:///";
    for (char16_t c : path) {
        const auto* e = std::find_if(std::begin(kEscaped), std::end(kEscaped),
                                     [c](const auto& entry) { return entry.first == c; });
        if (e != std::end(kEscaped)) {
            url += e->second;
        } else {
            url += c;
        }
    }
    url += u'#';
    url.append(section.begin(), section.end());
    return url;
}

std::u16string controlWithRole(const Form& form, Role role) {
    for (const Control& c : form.controls()) {
        if (c.def().role == role) {
            return c.name();
        }
    }
    return {};
}

void wireByRole(Form& form, Calculator which, ShellActions& shell) {
    for (const Control& c : form.controls()) {
        const std::u16string name = c.name();
        switch (c.def().role) {
        case Role::None:
        case Role::PhoneCode:
            break;
        case Role::Export:
            form.onClick(name, [&shell, which](int) { shell.exportBill(which); });
            break;
        case Role::Exit:
            form.onClick(name, [&shell](int) { shell.exit(); });
            break;
        case Role::Minimise:
            form.onClick(name, [&shell, which](int) { shell.minimise(which); });
            break;
        case Role::BackToGrid:
            form.onClick(name, [&shell](int) { shell.switchTo(Calculator::Grid); });
            break;
        case Role::Manual:
            form.onClick(name, [&shell, which](int) { shell.openManual(which); });
            break;
        case Role::OpenPrices:
            form.onClick(name, [&shell](int) { shell.openPrices(); });
            break;
        case Role::Ledger:
            form.onClick(name, [&shell, which](int) { shell.openLedger(which); });
            break;
        case Role::Compare:
            form.onClick(name, [&shell, which](int) { shell.openComparison(which); });
            break;
        case Role::PriceDetail:
            form.onClick(name, [&shell, which](int) { shell.openPriceDetail(which); });
            break;
        case Role::Phone:
            form.onClick(name, [&shell, which](int) { shell.openPhone(which); });
            break;
        case Role::SwitchBox:
            form.onClick(name, [&shell, &form, name](int) {
                if (const auto target = switchTarget(form.control(name).text())) {
                    shell.switchTo(*target);
                }
            });
            break;
        }
    }
}

void ShellFlow::switchTo(Calculator which) {
    views_.show(which);
    for (Calculator other : kCalculators) {
        if (other != which) {
            views_.hide(other);
        }
    }
}

void ShellFlow::closedByPlatform(Calculator which) {
    if (ending_) {
        return;
    }
    if (which == Calculator::Sawn) {
        views_.show(Calculator::Grid);
        views_.unloadLater(Calculator::Sawn);
        return;
    }
    quit();
}

void ShellFlow::pricesSaved() {
    views_.show(Calculator::Grid);
    views_.hidePrices();
}

bool ShellFlow::quit() {
    if (ending_) {
        return false;
    }
    ending_ = true;
    views_.hidePrices();
    for (Calculator which : kCalculators) {
        if (views_.exists(which)) {
            views_.hide(which);
        }
    }
    views_.end();
    return true;
}

} // namespace logora::ui

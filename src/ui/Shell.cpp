// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Shell.hpp"

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

void wireByRole(Form& form, Calculator which, ShellActions& shell) {
    for (const Control& c : form.controls()) {
        const std::u16string name = c.name();
        switch (c.def().role) {
        case Role::None:
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

} // namespace logora::ui

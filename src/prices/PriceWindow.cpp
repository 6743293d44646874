// SPDX-License-Identifier: GPL-3.0-or-later
#include "prices/PriceWindow.hpp"

namespace logora::prices {

PriceWindow::PriceWindow(GradePriceStore& store, MessageSink& messages)
    : form_(ui::priceWindowDef()), store_(store), messages_(messages) {
    StoreLoad loaded = store_.load();
    for (int k = 0; k < 3; ++k) {
        if (auto& price = loaded.prices[static_cast<std::size_t>(k)]) {
            form_.control(u"Text1", k).setText(*price);
        }
    }
    if (!loaded.problems.empty()) {
        std::u16string text;
        for (const auto& line : loaded.problems) {
            if (!text.empty()) {
                text += u"\n";
            }
            text += line;
        }
        messages_.message(text);
    }
    form_.onClick(u"Label3", [this](int) {
        if (save() && onSaved) {
            onSaved();
        }
    });
}

bool PriceWindow::save() {
    const PriceTexts texts = {priceText(0), priceText(1), priceText(2)};
    const StoreSave saved = store_.save(texts);
    if (!saved.message.empty()) {
        messages_.message(saved.message);
    }
    return saved.ok;
}

} // namespace logora::prices

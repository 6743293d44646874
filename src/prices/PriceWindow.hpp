// SPDX-License-Identifier: GPL-3.0-or-later
// Form4: the unit price of each diameter price class, loaded from and saved to the store.
#pragma once

#include "prices/GradePriceStore.hpp"
#include "ui/Form.hpp"

#include <functional>

namespace logora::prices {

// Shows a modal message under the program's title.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual void message(const std::u16string& text) = 0;
};

class PriceWindow : public ui::Window {
  public:
    // Creating the window loads the store once; unreadable files are reported in one message.
    PriceWindow(GradePriceStore& store, MessageSink& messages);

    ui::Form& form() override { return form_; }
    void tick() override {} // the price window has no timer

    const std::u16string& priceText(int priceClass) const {
        return form_.control(u"Text1", priceClass).text();
    }
    // "保存退出": true when the prices are stored; on failure the user was told why and the
    // texts stay as typed.
    bool save();
    // Called after a successful save: show the grid window, then hide this one.
    std::function<void()> onSaved;

  private:
    ui::Form form_;
    GradePriceStore& store_;
    MessageSink& messages_;
};

} // namespace logora::prices

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Form.hpp"

#include <algorithm>
#include <cstdio>

#include "text/NumberText.hpp"

#include <utility>

namespace logora::ui {

namespace {
struct KeyView {
    std::u16string_view name;
    int element;
};
bool operator<(const ControlKey& a, const KeyView& b) {
    const int c = text::compareOrdinal(a.name, b.name);
    return c < 0 || (c == 0 && a.element < b.element);
}
bool operator<(const KeyView& a, const ControlKey& b) {
    const int c = text::compareOrdinal(a.name, b.name);
    return c < 0 || (c == 0 && a.element < b.element);
}
} // namespace

Control::Control(Form& form, const ControlDef& def)
    : form_(&form), def_(&def),
      text_(def.kind == Kind::Text || def.kind == Kind::Combo ? def.text : std::u16string()),
      visible_(def.visible) {}

void Control::setText(std::u16string_view text) {
    if (text_ == text) {
        return;
    }
    text_.assign(text);
    form_->markChanged(*this);
    form_->notify(*this);
}

void Control::setVisible(bool visible) {
    if (visible_ == visible) {
        return;
    }
    visible_ = visible;
    form_->markChanged(*this);
}

void Control::setLookedUp(bool lookedUp) {
    if (lookedUp_ == lookedUp) {
        return;
    }
    lookedUp_ = lookedUp;
    form_->markChanged(*this);
}

Form::Form(WindowDef def) : def_(std::move(def)) {
    controls_.reserve(def_.controls.size());
    for (std::size_t i = 0; i < def_.controls.size(); ++i) {
        const ControlDef& cd = def_.controls[i];
        controls_.emplace_back(*this, cd);
        if (!index_.emplace(cd.key(), i).second) {
            throw std::logic_error("duplicate control " + text::toUtf8(cd.name) + "(" +
                                   std::to_string(cd.element) + ")");
        }
    }
}

Control* Form::find(std::u16string_view name, int element) {
    const auto it = index_.find(KeyView{name, element});
    return it == index_.end() ? nullptr : &controls_[it->second];
}

Control& Form::control(std::u16string_view name, int element) {
    if (Control* c = find(name, element)) {
        return *c;
    }
    throw std::out_of_range("no control " + text::toUtf8(name) + "(" + std::to_string(element) +
                            ") in " + text::toUtf8(def_.name));
}

const Control& Form::control(std::u16string_view name, int element) const {
    return const_cast<Form*>(this)->control(name, element);
}

std::vector<Control*> Form::textFields() {
    std::vector<Control*> out;
    for (Control& c : controls_) {
        if (c.kind() == Kind::Text) {
            out.push_back(&c);
        }
    }
    return out;
}

void Form::onChange(std::u16string_view name, std::function<void(int)> handler) {
    auto& slot = changeHandlers_[std::u16string(name)];
    slot = std::make_unique<std::function<void(int)>>(std::move(handler));
    for (Control& c : controls_) {
        if (c.name() == name) {
            c.onChange_ = slot.get();
        }
    }
}

void Form::onClick(std::u16string_view name, std::function<void(int)> handler) {
    clickHandlers_[std::u16string(name)] = std::move(handler);
}

void Form::click(std::u16string_view name, int element) {
    const auto it = clickHandlers_.find(name);
    if (it != clickHandlers_.end() && it->second) {
        it->second(element);
    }
}

void Form::markChanged(Control& c) {
    if (!c.dirty_) {
        c.dirty_ = true;
        changed_.push_back(&c);
    }
}

void Form::notify(Control& c) {
    if (c.onChange_ == nullptr) {
        return;
    }
    if (depth_ >= kMaxNesting) {
        throw ChangeLoopError("change handlers of " + text::toUtf8(def_.name) +
                              " nest without end at " + text::toUtf8(c.name()));
    }
    ++depth_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{depth_};
    (*c.onChange_)(c.element());
}

std::vector<std::size_t> focusChain(const Form& form) {
    const auto& controls = form.controls();
    std::vector<std::size_t> order;
    std::vector<bool> placed(controls.size(), false);
    for (const ControlKey& key : form.def().focusOrder) {
        const Control* c = const_cast<Form&>(form).find(key.name, key.element);
        if (c != nullptr) {
            const auto i = static_cast<std::size_t>(c - controls.data());
            placed[i] = true;
            order.push_back(i);
        }
    }
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (!placed[i] && controls[i].kind() != Kind::Label) {
            order.push_back(i);
        }
    }
    return order;
}

int arrowStep(const Form& form, const Control& from, bool down) {
    // Element numbers of the array, in order.
    std::vector<int> elements;
    for (const Control& other : form.controls()) {
        if (other.name() == from.name()) {
            elements.push_back(other.element());
        }
    }
    const auto at = std::find(elements.begin(), elements.end(), from.element()) - elements.begin();
    const auto n = static_cast<std::ptrdiff_t>(elements.size());
    return elements[static_cast<std::size_t>(down ? (at + 1) % n : (at + n - 1) % n)];
}

void containChangeLoops(const std::function<void()>& action) {
    try {
        action();
    } catch (const ChangeLoopError& e) {
        std::fprintf(stderr, "logora: %s\n", e.what());
    }
}

} // namespace logora::ui

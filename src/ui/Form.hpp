// SPDX-License-Identifier: GPL-3.0-or-later
// The field model of a window: controls addressed by name and element, texts that raise
// their change notification synchronously inside every write that changes them.
#pragma once

#include "ui/WindowDef.hpp"

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace logora::ui {

class Form;

// Raised when change handlers re-enter each other without end: a programming error.
class ChangeLoopError : public std::logic_error {
  public:
    using std::logic_error::logic_error;
};

class Control {
  public:
    Control(Form& form, const ControlDef& def);

    const ControlDef& def() const { return *def_; }
    const std::u16string& name() const { return def_->name; }
    int element() const { return def_->element; }
    Kind kind() const { return def_->kind; }

    const std::u16string& text() const { return text_; }
    // Assigns the text; when it differs, runs the array's change handler inside the write.
    void setText(std::u16string_view text);

    bool visible() const { return visible_; }
    void setVisible(bool visible);

    // A value the logic filled in where the user may type (a price looked up in a list): the
    // views show it apart from a typed one.
    bool lookedUp() const { return lookedUp_; }
    void setLookedUp(bool lookedUp);

  private:
    friend class Form;
    Form* form_;
    const ControlDef* def_;
    std::u16string text_;
    bool visible_;
    bool lookedUp_ = false;
    bool dirty_ = false;
    const std::function<void(int)>* onChange_ = nullptr;
};

class Form {
  public:
    explicit Form(WindowDef def);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const WindowDef& def() const { return def_; }

    // Lookup by name and element; a missing control is a programming error (std::out_of_range).
    Control& control(std::u16string_view name, int element = kNoElement);
    const Control& control(std::u16string_view name, int element = kNoElement) const;
    Control* find(std::u16string_view name, int element = kNoElement);

    std::vector<Control>& controls() { return controls_; }
    const std::vector<Control>& controls() const { return controls_; }
    // All text fields, in definition order.
    std::vector<Control*> textFields();

    // One handler per control array, told the element that changed.
    void onChange(std::u16string_view name, std::function<void(int element)> handler);
    // Click of a button, a clickable label or a pick from a chooser's list.
    void onClick(std::u16string_view name, std::function<void(int element)> handler);
    void click(std::u16string_view name, int element = kNoElement);

    // Controls whose text or visibility changed since the last call, each once.
    template <typename F> void takeChanged(F&& visit) {
        std::vector<Control*> changed;
        changed.swap(changed_);
        for (Control* c : changed) {
            c->dirty_ = false;
            visit(*c);
        }
    }
    bool hasChanges() const { return !changed_.empty(); }

    static constexpr int kMaxNesting = 64;

  private:
    friend class Control;
    void markChanged(Control& c);
    void notify(Control& c);

    WindowDef def_;
    std::vector<Control> controls_;
    std::map<ControlKey, std::size_t, std::less<>> index_;
    std::map<std::u16string, std::unique_ptr<std::function<void(int)>>, std::less<>>
        changeHandlers_;
    std::map<std::u16string, std::function<void(int)>, std::less<>> clickHandlers_;
    std::vector<Control*> changed_;
    int depth_ = 0;
};

// A window model: its controls and the handler of its 100 ms timer.
class Window {
  public:
    virtual ~Window() = default;
    virtual Form& form() = 0;
    virtual void tick() = 0;
};

// The order Enter and Tab follow, as control indices: the definition's focus order first,
// then every other control that can take the focus (fields, choosers, buttons) in
// definition order.
std::vector<std::size_t> focusChain(const Form& form);

// Up or Down in a field of an array: the element it steps to, wrapping at both ends.
int arrowStep(const Form& form, const Control& from, bool down);

// Runs a user's action or a tick. A ChangeLoopError, a programming error, is reported on
// standard error and goes no further: it must not reach the platform's event loop, and the
// tally on screen stays as it is.
void containChangeLoops(const std::function<void()>& action);

} // namespace logora::ui

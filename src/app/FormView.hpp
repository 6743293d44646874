// SPDX-License-Identifier: GPL-3.0-or-later
// A window built from its definition, bound to its field model.
//
// Edits flow one way each: a user's edit (textEdited) writes the model; model changes are
// written to a widget only when it shows another text, keeping the caret of the focused
// field. Nothing listens to textChanged, which reports stale texts while a handler
// rewrites the field during a keystroke.
#pragma once

#include "ui/Form.hpp"

#include <QElapsedTimer>
#include <QHash>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace logora::app {

class FormView : public QWidget {
    Q_OBJECT
  public:
    // The room a control needs for its caption, or for the widest text its field can hold.
    static QSize neededSize(QWidget* widget, const ui::ControlDef& def);
    explicit FormView(ui::Form& form, QWidget* parent = nullptr);

    ui::Form& form() { return form_; }
    QWidget* widgetFor(std::u16string_view name, int element = ui::kNoElement) const;

    // Brings the widgets up to the model; touches only widgets whose control changed.
    // Returns the number of widgets written.
    int sync();

    // Runs after every user action on this window (edit or click) has reached the model.
    std::function<void()> afterUserAction;
    // After the user typed into a field or a chooser.
    std::function<void()> onUserEdit;
    // The platform closed the window (not a hide).
    std::function<void()> onClosed;
    // Asks the window system to move the window with the pointer; false where it refuses
    // (no window manager, some Wayland compositors). Replaceable for tests.
    std::function<bool()> startSystemMove;
    bool draggingByHand() const { return dragging_; }

    static int px(int twips) { return (twips + ui::kTwipsPerPixel / 2) / ui::kTwipsPerPixel; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    struct Bound {
        ui::Control* control = nullptr;
        QWidget* widget = nullptr;
        std::u16string shown; // the text the widget was last given or reported
        bool shownVisible = true;
        bool shownLookedUp = false;
    };
    Bound& boundOf(ui::Control& c);
    void build();
    QWidget* makeEdit(Bound& b);
    QWidget* makeChooser(Bound& b);
    QWidget* makeLabel(Bound& b);
    QWidget* makeButton(Bound& b);
    void placeFromDefinition(QWidget* w, const ui::ControlDef& d);
    void userEdited(Bound& b, const QString& text);
    void userClicked(Bound& b);
    void userAction();
    void chainFocus();
    void fitContents();
    bool arrowKey(Bound& b, int key);

    ui::Form& form_;
    std::vector<Bound> bound_;
    QHash<const QWidget*, Bound*> byWidget_;
    bool dragging_ = false;
    QPoint dragOffset_;
    // Where the window stood when the program hid it, to show it there again.
    std::optional<QPoint> hiddenAt_;
    QElapsedTimer restoreUntil_;
};

} // namespace logora::app

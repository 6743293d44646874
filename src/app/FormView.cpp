// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FormView.hpp"

#include "app/Artwork.hpp"
#include "app/Fonts.hpp"
#include "ui/Fit.hpp"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QWindow>

#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace logora::app {

namespace {

QColor colorOf(const ui::Rgb& c) {
    return QColor(c.r, c.g, c.b);
}

// A caption that acts as a button: word-wrapped like a label, clickable like a button.
class ClickLabel : public QLabel {
  public:
    ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
        setProperty("clickable", true);
    }
    std::function<void()> clicked;

  protected:
    // One in the window's focus order takes Tab, and Enter or Space presses it.
    void keyPressEvent(QKeyEvent* e) override {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter ||
             e->key() == Qt::Key_Space) &&
            clicked) {
            clicked();
            return;
        }
        QLabel::keyPressEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) {
            setPressed(true);
        }
        e->accept(); // a press on a button is not a press on the window's background
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        setPressed(false);
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && clicked) {
            clicked();
        }
    }

  private:
    void setPressed(bool pressed) {
        setProperty("pressed", pressed);
        style()->unpolish(this);
        style()->polish(this);
    }
};

// A caption of several lines with a gap between them, as ui::wrappedLineGap sets it.
class WrappedLabel : public QLabel {
  public:
    using QLabel::QLabel;

    static int pitch(const QFontMetrics& fm) {
        return fm.height() + ui::wrappedLineGap(fm.height(), fm.leading());
    }

    // The lines of text within width, laid out at the pitch from 0; the height they take.
    static int layOut(QTextLayout& layout, int width) {
        const QFontMetrics fm(layout.font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        int y = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += pitch(fm);
        }
        layout.endLayout();
        return layout.lineCount() == 0 ? 0 : y - pitch(fm) + fm.height();
    }

    // A line feed of the logic's text starts a new line, as it does on Windows.
    static QString lines(QString text) {
        return text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    }

    // The size the text takes within width, as it is painted.
    static QSize textSize(const QFont& font, int width, const QString& text) {
        QTextLayout layout(lines(text), font);
        const int height = layOut(layout, width);
        qreal widest = 0;
        for (int i = 0; i < layout.lineCount(); ++i) {
            widest = std::max(widest, layout.lineAt(i).naturalTextWidth());
        }
        return {static_cast<int>(std::ceil(widest)), height};
    }

  protected:
    void paintEvent(QPaintEvent* e) override {
        if (!wordWrap()) {
            QLabel::paintEvent(e);
            return;
        }
        QPainter painter(this);
        drawFrame(&painter);
        const QRect room = contentsRect();
        QTextLayout layout(lines(text()), font());
        const int height = layOut(layout, room.width());
        int top = room.top();
        if (alignment() & Qt::AlignVCenter) {
            top += (room.height() - height) / 2;
        } else if (alignment() & Qt::AlignBottom) {
            top += room.height() - height;
        }
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
        layout.draw(&painter, QPointF(room.left(), top));
    }
};

} // namespace

FormView::FormView(ui::Form& form, QWidget* parent) : QWidget(parent), form_(form) {
    setObjectName(QString::fromStdU16String(form.def().name));
    setWindowTitle(QString::fromStdU16String(form.def().title));
    setFixedSize(px(form.def().width), px(form.def().height));
    setWindowIcon(windowIcon());
    if (form.def().frameless) {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    } else {
        // A window of fixed size offers no maximise button.
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                       Qt::WindowCloseButtonHint);
    }
    setStyleSheet(buttonStyleSheet());
    startSystemMove = [this] {
        return windowHandle() != nullptr && windowHandle()->startSystemMove();
    };
    if (form.def().back) {
        QPalette pal = palette();
        pal.setColor(QPalette::Window, colorOf(*form.def().back));
        setPalette(pal);
        setAutoFillBackground(true);
    }
    build();
    fitContents();
    chainFocus();
    form_.takeChanged([](ui::Control&) {}); // the widgets start from the model as it is
}

namespace {

QString textToFit(QWidget* w, const ui::ControlDef& d) {
    if (!d.widest.empty()) {
        return QString::fromStdU16String(d.widest);
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        return button->text();
    }
    if (auto* box = qobject_cast<QComboBox*>(w)) {
        return box->currentText();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        return edit->text();
    }
    return {};
}

// What a widget spends around its text: frames, margins, Qt's own 2 px a side.
int chromeWidth(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return w->width() - label->contentsRect().width();
    }
    if (qobject_cast<QPushButton*>(w) != nullptr) {
        return 8;
    }
    if (auto* box = qobject_cast<QComboBox*>(w)) {
        // The edit field beside the drop-down arrow, as the style lays it out.
        QStyleOptionComboBox opt;
        opt.initFrom(box);
        opt.editable = true;
        opt.rect = QRect(0, 0, box->width(), box->height());
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &opt,
                                                         QStyle::SC_ComboBoxEditField, box);
        return box->width() - field.width() + 4;
    }
    QLineEdit* edit = qobject_cast<QLineEdit*>(w);
    if (edit == nullptr) {
        return 0;
    }
    const int frame =
        edit->hasFrame() ? 2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
    return w->width() - edit->width() + frame + 4 + edit->textMargins().left() +
           edit->textMargins().right();
}

} // namespace

QSize FormView::neededSize(QWidget* w, const ui::ControlDef& d) {
    auto* box = qobject_cast<QComboBox*>(w);
    const QFontMetrics fm(box != nullptr ? box->lineEdit()->font() : w->font());
    QString text = textToFit(w, d);
    if (box != nullptr) {
        // A chooser shows any of its items once picked: the widest of them has to fit.
        for (int i = 0; i < box->count(); ++i) {
            if (fm.horizontalAdvance(box->itemText(i)) > fm.horizontalAdvance(text)) {
                text = box->itemText(i);
            }
        }
    }
    if (auto* label = dynamic_cast<WrappedLabel*>(w); label != nullptr && label->wordWrap()) {
        const QSize need =
            WrappedLabel::textSize(label->font(), label->contentsRect().width(), text);
        return {need.width() + chromeWidth(w),
                need.height() + w->height() - label->contentsRect().height()};
    }
    if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && label->wordWrap()) {
        const int room = label->contentsRect().width();
        const QRect need = fm.boundingRect(QRect(0, 0, room, 10000), Qt::TextWordWrap, text);
        return {need.width() + chromeWidth(w),
                need.height() + w->height() - label->contentsRect().height()};
    }
    const int frameHeight = qobject_cast<QLabel*>(w) != nullptr
                                ? w->height() - qobject_cast<QLabel*>(w)->contentsRect().height()
                                : 2;
    return {fm.horizontalAdvance(text) + chromeWidth(w), fm.height() + frameHeight};
}

// The controls' sizes were made for SimSun's metrics. Where a caption or the widest value
// of a field still does not fit, the control first takes free room beside it (never over
// another control, never beyond the window); what does not fit then is set a little smaller.
void FormView::fitContents() {
    auto boxOf = [](const QRect& r) { return ui::Box{r.x(), r.y(), r.width(), r.height()}; };
    std::vector<ui::Box> taken;
    std::vector<bool> visible;
    for (const Bound& b : bound_) {
        taken.push_back(boxOf(b.widget->geometry()));
        visible.push_back(b.control->def().visible);
    }
    // A calculator's own frame is no room to grow into.
    const int frame = form_.def().frameless ? px(ui::kFrameTwips) : 0;
    const ui::Box window{frame, frame, width() - 2 * frame, height() - 2 * frame};
    for (std::size_t i = 0; i < bound_.size(); ++i) {
        QWidget* w = bound_[i].widget;
        const ui::ControlDef& d = bound_[i].control->def();
        QSize need = neededSize(w, d);
        auto* label = qobject_cast<QLabel*>(w);
        const bool centred = label != nullptr && (label->alignment() & Qt::AlignHCenter);
        const ui::Box r = ui::grownToFit(
            taken, visible, window, {i, need.width(), need.height(), centred, label != nullptr});
        if (r != taken[i]) {
            w->setGeometry(r.left, r.top, r.width, r.height);
            taken[i] = r;
            need = neededSize(w, d);
        }
        ui::shrunkToFit(w->font().pointSizeF(), [&](double points) {
            if (points != w->font().pointSizeF()) {
                QFont f = w->font();
                f.setPointSizeF(points);
                w->setFont(f);
                if (auto* box = qobject_cast<QComboBox*>(w)) {
                    box->lineEdit()->setFont(f);
                }
                need = neededSize(w, d);
            }
            return need.width() <= r.width && need.height() <= r.height;
        });
    }
}

void FormView::chainFocus() {
    const std::vector<std::size_t> order = ui::focusChain(form_);
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(bound_[order[i - 1]].widget, bound_[order[i]].widget);
    }
}

FormView::Bound& FormView::boundOf(ui::Control& c) {
    return bound_[static_cast<std::size_t>(&c - form_.controls().data())];
}

void FormView::build() {
    bound_.resize(form_.controls().size());
    for (ui::Control& c : form_.controls()) {
        Bound& b = boundOf(c);
        b.control = &c;
        b.shown = c.text();
        b.shownVisible = c.visible();
        QWidget* w = nullptr;
        switch (c.kind()) {
        case ui::Kind::Text:
            w = makeEdit(b);
            break;
        case ui::Kind::Combo:
            w = makeChooser(b);
            break;
        case ui::Kind::Label:
            w = makeLabel(b);
            break;
        case ui::Kind::Button:
            w = makeButton(b);
            break;
        }
        placeFromDefinition(w, c.def());
        w->setVisible(c.visible());
        b.widget = w;
        byWidget_.insert(w, &b);
    }
}

QWidget* FormView::makeEdit(Bound& b) {
    const ui::ControlDef& d = b.control->def();
    auto* edit = new QLineEdit(QString::fromStdU16String(b.control->text()), this);
    edit->setCursorPosition(0);
    if (d.password) {
        edit->setEchoMode(QLineEdit::Password);
    }
    connect(edit, &QLineEdit::textEdited, this, [this, &b](const QString& t) { userEdited(b, t); });
    edit->installEventFilter(this);
    if (d.back) {
        QPalette pal = edit->palette();
        pal.setColor(QPalette::Base, colorOf(*d.back));
        edit->setPalette(pal);
    }
    return edit;
}

QWidget* FormView::makeChooser(Bound& b) {
    auto* box = new QComboBox(this);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // A chooser shows exactly what was typed: no inline completion from its list.
    box->setCompleter(nullptr);
    for (const auto& item : b.control->def().items) {
        box->addItem(QString::fromStdU16String(item));
    }
    box->setEditText(QString::fromStdU16String(b.control->text()));
    box->lineEdit()->setCursorPosition(0);
    // A chooser of fixed names (the volume rules) is picked from, never typed into.
    box->lineEdit()->setReadOnly(b.control->def().pickOnly);
    connect(box->lineEdit(), &QLineEdit::textEdited, this,
            [this, &b](const QString& t) { userEdited(b, t); });
    box->installEventFilter(this);
    box->lineEdit()->installEventFilter(this);
    connect(box, &QComboBox::activated, this, [this, &b, box](int index) {
        const QString t = box->itemText(index);
        b.shown = t.toStdU16String();
        ui::containChangeLoops([&] { b.control->setText(b.shown); });
        userClicked(b);
    });
    return box;
}

QWidget* FormView::makeLabel(Bound& b) {
    const ui::ControlDef& d = b.control->def();
    const QString caption = QString::fromStdU16String(d.text);
    QWidget* w = nullptr;
    if (d.clickable) {
        auto* label = new ClickLabel(caption, this);
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        label->setCursor(Qt::PointingHandCursor);
        label->setFrameStyle(QFrame::Panel | QFrame::Raised);
        label->setLineWidth(2);
        label->clicked = [this, &b] { userClicked(b); };
        for (const ui::ControlKey& key : form_.def().focusOrder) {
            if (key.name == d.name && key.element == d.element) {
                label->setFocusPolicy(Qt::StrongFocus);
            }
        }
        w = label;
    } else {
        auto* label = new WrappedLabel(caption, this);
        label->setWordWrap(ui::wrapsOverLines(d));
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        w = label;
    }
    if (d.back) {
        const QColor back = colorOf(*d.back);
        if (d.clickable) {
            w->setStyleSheet(QStringLiteral("background: %1;").arg(back.name()));
        } else {
            QPalette pal = w->palette();
            pal.setColor(QPalette::Window, back);
            w->setPalette(pal);
            w->setAutoFillBackground(true);
        }
    }
    return w;
}

QWidget* FormView::makeButton(Bound& b) {
    auto* button = new QPushButton(QString::fromStdU16String(b.control->def().text), this);
    connect(button, &QPushButton::clicked, this, [this, &b] { userClicked(b); });
    button->setAutoDefault(false);
    button->installEventFilter(this);
    return button;
}

// Name, font, geometry and tool tip, as the window definition gives them.
void FormView::placeFromDefinition(QWidget* w, const ui::ControlDef& d) {
    w->setObjectName(
        QString::fromStdU16String(d.name) +
        (d.element == ui::kNoElement ? QString() : QStringLiteral("_%1").arg(d.element)));
    w->setFont(fontFor(d.font));
    if (auto* box = qobject_cast<QComboBox*>(w)) {
        // The style sheet keeps a chooser's own edit field from taking the chooser's font.
        box->lineEdit()->setFont(w->font());
    }
    w->setGeometry(px(d.left), px(d.top), px(d.width), px(d.height));
    if (!d.toolTip.empty()) {
        w->setToolTip(QString::fromStdU16String(d.toolTip));
    }
}

QWidget* FormView::widgetFor(std::u16string_view name, int element) const {
    const ui::Control* c = const_cast<ui::Form&>(form_).find(name, element);
    if (c == nullptr) {
        return nullptr;
    }
    return bound_[static_cast<std::size_t>(c - form_.controls().data())].widget;
}

int FormView::sync() {
    int written = 0;
    form_.takeChanged([&](ui::Control& c) {
        Bound& b = boundOf(c);
        if (b.shownVisible != c.visible()) {
            b.shownVisible = c.visible();
            b.widget->setVisible(c.visible());
            ++written;
        }
        if (b.shownLookedUp != c.lookedUp()) {
            // A looked-up value is grey and slanted; a typed one as the field's own.
            b.shownLookedUp = c.lookedUp();
            QFont font = b.widget->font();
            font.setItalic(c.lookedUp());
            b.widget->setFont(font);
            QPalette palette = b.widget->palette();
            palette.setColor(QPalette::Text, c.lookedUp() ? QColor(96, 96, 96) : QColor(0, 0, 0));
            b.widget->setPalette(palette);
            ++written;
        }
        if (b.shown == c.text()) {
            return;
        }
        b.shown = c.text();
        const QString text = QString::fromStdU16String(c.text());
        if (auto* edit = qobject_cast<QLineEdit*>(b.widget)) {
            if (edit->hasFocus()) {
                const int caret = edit->cursorPosition();
                edit->setText(text);
                edit->setCursorPosition(std::min(caret, static_cast<int>(text.size())));
            } else {
                edit->setText(text);
                edit->setCursorPosition(0); // the start shows, as in a field never entered
            }
        } else if (auto* label = qobject_cast<QLabel*>(b.widget)) {
            label->setText(text); // a status line the logic writes
        } else if (auto* box = qobject_cast<QComboBox*>(b.widget)) {
            QLineEdit* edit = box->lineEdit();
            const int caret = edit->cursorPosition();
            box->setEditText(text);
            edit->setCursorPosition(
                edit->hasFocus() ? std::min(caret, static_cast<int>(text.size())) : 0);
        }
        ++written;
    });
    return written;
}

void FormView::userEdited(Bound& b, const QString& text) {
    b.shown = text.toStdU16String();
    ui::containChangeLoops([&] { b.control->setText(b.shown); });
    if (onUserEdit) {
        onUserEdit();
    }
    userAction();
}

void FormView::userClicked(Bound& b) {
    ui::containChangeLoops([&] { form_.click(b.control->name(), b.control->element()); });
    userAction();
}

void FormView::userAction() {
    sync();
    if (afterUserAction) {
        afterUserAction();
    }
}

void FormView::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted() && onClosed) {
        onClosed();
    }
}

bool FormView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // A field that is left shows the start of its text, as one never entered does.
        if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
            edit->setCursorPosition(0);
        }
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) {
        return QWidget::eventFilter(watched, event);
    }
    // A combo's own line edit belongs to the combo's control.
    QWidget* owner = widget;
    if (auto* box = qobject_cast<QComboBox*>(widget->parentWidget());
        box != nullptr && box->lineEdit() == widget) {
        owner = box;
    }
    Bound* bound = byWidget_.value(owner, nullptr);
    if (bound == nullptr) {
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::FocusIn && bound->control->def().selectOnFocus) {
        // Deferred, so a mouse press that brought the focus does not undo the selection.
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            QTimer::singleShot(0, edit, [edit] {
                if (edit->hasFocus()) {
                    edit->selectAll();
                }
            });
        }
    } else if (event->type() == QEvent::KeyPress && widget == owner) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter works as Tab: the focus moves on along the window's focus order,
            // skipping hidden fields. Queued behind this key press, like a typed Tab.
            QCoreApplication::postEvent(
                widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
            return widget->inherits("QPushButton"); // a focused button is not pressed by it
        }
        if ((key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) &&
            arrowKey(*bound, key->key())) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool FormView::arrowKey(Bound& b, int key) {
    const ui::Control& c = *b.control;
    if (!c.def().arrowKeys) {
        return false;
    }
    if (QWidget* target = widgetFor(c.name(), ui::arrowStep(form_, c, key == Qt::Key_Down))) {
        target->setFocus(Qt::TabFocusReason);
    }
    return true;
}

void FormView::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!form_.def().frameless) {
        return;
    }
    QPainter p(this);
    paintTitleBand(p, QRect(0, 0, width(), px(ui::kTitleBandTwips)),
                   QString::fromStdU16String(form_.def().band));
    p.setPen(QPen(QColor(92, 56, 24), 2));
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}

// A window manager may place a window that is mapped again by its frame's offset once more
// (openbox doubles the position of a frameless one). The program's own hide remembers where
// the window stood; the first moves after it is shown again are taken back to there, for a
// moment only, so that a user's drag is never fought.
void FormView::hideEvent(QHideEvent* event) {
    if (!event->spontaneous() && isWindow()) {
        hiddenAt_ = pos();
    }
    QWidget::hideEvent(event);
}

void FormView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (hiddenAt_ && !event->spontaneous()) {
        restoreUntil_.start();
        if (pos() != *hiddenAt_) {
            move(*hiddenAt_);
        }
    }
}

void FormView::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (hiddenAt_ && restoreUntil_.isValid() && restoreUntil_.elapsed() < 1000 && !dragging_ &&
        pos() != *hiddenAt_) {
        move(*hiddenAt_);
    }
}

// Any free area moves a frameless window, with any mouse button; the move ends when the
// buttons are released.
void FormView::mousePressEvent(QMouseEvent* event) {
    if (!form_.def().frameless) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    // The window manager's move only for the left button: it ends a move by the left
    // button's release, so a move by another button would stick to the pointer.
    if (event->button() == Qt::LeftButton && startSystemMove && startSystemMove()) {
        return;
    }
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    grabMouse();
}

void FormView::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        move(event->globalPosition().toPoint() - dragOffset_);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void FormView::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ && event->buttons() == Qt::NoButton) {
        dragging_ = false;
        releaseMouse();
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

} // namespace logora::app

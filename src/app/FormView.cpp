#include "app/FormView.hpp"

#include "app/Fonts.hpp"

#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace logora::app {

namespace {

QColor colorOf(const ui::Rgb& c) { return QColor(c.r, c.g, c.b); }

// A caption that acts as a button: word-wrapped like a label, clickable like a button.
class ClickLabel : public QLabel {
  public:
    using QLabel::QLabel;
    std::function<void()> clicked;

  protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) &&
            clicked) {
            clicked();
        }
    }
};

} // namespace

FormView::FormView(ui::Form& form, QWidget* parent) : QWidget(parent), form_(form) {
    setObjectName(QString::fromStdU16String(form.def().name));
    setWindowTitle(QString::fromStdU16String(form.def().title));
    setFixedSize(px(form.def().width), px(form.def().height));
    if (form.def().back) {
        QPalette pal = palette();
        pal.setColor(QPalette::Window, colorOf(*form.def().back));
        setPalette(pal);
        setAutoFillBackground(true);
    }
    build();
    form_.takeChanged([](ui::Control&) {}); // the widgets start from the model as it is
}

FormView::Bound& FormView::boundOf(ui::Control& c) {
    return bound_[static_cast<std::size_t>(&c - form_.controls().data())];
}

void FormView::build() {
    bound_.resize(form_.controls().size());
    for (ui::Control& c : form_.controls()) {
        const ui::ControlDef& d = c.def();
        Bound& b = boundOf(c);
        b.control = &c;
        b.shown = c.text();
        b.shownVisible = c.visible();
        const QString caption = QString::fromStdU16String(d.text);
        QWidget* w = nullptr;
        switch (d.kind) {
        case ui::Kind::Text: {
            auto* edit = new QLineEdit(QString::fromStdU16String(c.text()), this);
            connect(edit, &QLineEdit::textEdited, this,
                    [this, &b](const QString& t) { userEdited(b, t); });
            if (d.selectOnFocus) {
                edit->installEventFilter(this);
            }
            if (d.back) {
                QPalette pal = edit->palette();
                pal.setColor(QPalette::Base, colorOf(*d.back));
                edit->setPalette(pal);
            }
            w = edit;
            break;
        }
        case ui::Kind::Combo: {
            auto* box = new QComboBox(this);
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);
            for (const auto& item : d.items) {
                box->addItem(QString::fromStdU16String(item));
            }
            box->setEditText(QString::fromStdU16String(c.text()));
            connect(box->lineEdit(), &QLineEdit::textEdited, this,
                    [this, &b](const QString& t) { userEdited(b, t); });
            connect(box, &QComboBox::activated, this, [this, &b, box](int index) {
                const QString t = box->itemText(index);
                b.shown = t.toStdU16String();
                b.control->setText(b.shown);
                userClicked(b);
            });
            w = box;
            break;
        }
        case ui::Kind::Label: {
            if (d.clickable) {
                auto* label = new ClickLabel(caption, this);
                label->setAlignment(Qt::AlignCenter);
                label->setWordWrap(true);
                label->setCursor(Qt::PointingHandCursor);
                label->setFrameStyle(QFrame::Panel | QFrame::Raised);
                label->setLineWidth(2);
                label->clicked = [this, &b] { userClicked(b); };
                w = label;
            } else {
                auto* label = new QLabel(caption, this);
                label->setWordWrap(d.height > 400);
                label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
                w = label;
            }
            if (d.back) {
                QPalette pal = w->palette();
                pal.setColor(QPalette::Window, colorOf(*d.back));
                w->setPalette(pal);
                w->setAutoFillBackground(true);
            }
            break;
        }
        case ui::Kind::Button: {
            auto* button = new QPushButton(caption, this);
            connect(button, &QPushButton::clicked, this, [this, &b] { userClicked(b); });
            w = button;
            break;
        }
        }
        w->setObjectName(QString::fromStdU16String(d.name) +
                         (d.element == ui::kNoElement ? QString()
                                                      : QStringLiteral("_%1").arg(d.element)));
        w->setFont(fontFor(d.font));
        w->setGeometry(px(d.left), px(d.top), px(d.width), px(d.height));
        if (!d.toolTip.empty()) {
            w->setToolTip(QString::fromStdU16String(d.toolTip));
        }
        w->setVisible(c.visible());
        b.widget = w;
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
            }
        } else if (auto* box = qobject_cast<QComboBox*>(b.widget)) {
            QLineEdit* edit = box->lineEdit();
            const int caret = edit->cursorPosition();
            box->setEditText(text);
            if (edit->hasFocus()) {
                edit->setCursorPosition(std::min(caret, static_cast<int>(text.size())));
            }
        }
        ++written;
    });
    return written;
}

void FormView::userEdited(Bound& b, const QString& text) {
    b.shown = text.toStdU16String();
    b.control->setText(b.shown);
    userAction();
}

void FormView::userClicked(Bound& b) {
    form_.click(b.control->name(), b.control->element());
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
    if (event->type() == QEvent::FocusIn) {
        // Deferred, so a mouse press that brought the focus does not undo the selection.
        if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
            QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace logora::app

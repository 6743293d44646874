// SPDX-License-Identifier: GPL-3.0-or-later
// Every caption, and the widest value a tally can reach in each computed field, is shown whole
// in its control with the fonts the program picks.
#include "TestSupport.hpp"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>

using namespace logora;
using namespace logora::testing;
using app::Calculator;

namespace {

QStringList problems(app::FormView& view) {
    QStringList out;
    for (const ui::Control& c : view.form().controls()) {
        QWidget* w = view.widgetFor(c.name(), c.element());
        QStringList shown{QString()};
        auto* box = qobject_cast<QComboBox*>(w);
        for (int i = 0; box != nullptr && i < box->count(); ++i) {
            shown << box->itemText(i); // every item a chooser can show, each picked in turn
        }
        for (const QString& item : shown) {
            const QString before = box != nullptr ? box->currentText() : QString();
            if (!item.isEmpty()) {
                box->setEditText(item);
            }
            const QSize need = app::FormView::neededSize(w, c.def());
            if (box != nullptr) {
                box->setEditText(before);
            }
            // Nothing reaches beyond its window: what stands past the border is cut.
            const QRect inWindow(w->mapTo(w->window(), QPoint(0, 0)), w->size());
            const int frame = view.form().def().frameless ? app::FormView::px(ui::kFrameTwips) : 0;
            if (w->isVisibleTo(w->window()) &&
                !w->window()->rect().adjusted(frame, frame, -frame, -frame).contains(inWindow)) {
                out << QStringLiteral("%1: at %2,%3 %4x%5, beyond its window's %6x%7")
                           .arg(w->objectName())
                           .arg(inWindow.x())
                           .arg(inWindow.y())
                           .arg(inWindow.width())
                           .arg(inWindow.height())
                           .arg(w->window()->width())
                           .arg(w->window()->height());
            }
            if (need.width() > w->width() || need.height() > w->height()) {
                out << QStringLiteral("%1 %6: needs %2x%3, has %4x%5")
                           .arg(w->objectName())
                           .arg(need.width())
                           .arg(need.height())
                           .arg(w->width())
                           .arg(w->height())
                           .arg(item);
            }
        }
    }
    return out;
}

} // namespace

class FitTest : public QObject {
    Q_OBJECT
  private slots:
    void everyCaptionAndReachableValueFits() {
        TestApp t;
        t.app->openPriceWindow();
        QStringList all;
        for (Calculator which : {Calculator::Grid, Calculator::List, Calculator::Sawn}) {
            all << problems(t.view(which));
        }
        all << problems(*t.app->priceView());
        t.app->session().openPriceLists();
        all << problems(*t.app->priceListsView());
        for (const QString& p : all) {
            qWarning("%s", qPrintable(p));
        }
        QVERIFY2(all.isEmpty(), qPrintable(QStringLiteral("%1 controls cut").arg(all.size())));
    }

    // A caption wrapped onto several lines shows them apart: a blank pixel row between them.
    void wrappedLinesStayApart() {
        TestApp t;
        t.app->openPriceWindow();
        QList<QLabel*> wrapped;
        for (QWidget* view : {static_cast<QWidget*>(&t.view(Calculator::Grid)),
                              static_cast<QWidget*>(&t.view(Calculator::List)),
                              static_cast<QWidget*>(&t.view(Calculator::Sawn)),
                              static_cast<QWidget*>(t.app->priceView())}) {
            for (QLabel* label : view->findChildren<QLabel*>()) {
                const QFontMetrics fm(label->font());
                if (label->wordWrap() && !label->property("clickable").toBool() &&
                    fm.horizontalAdvance(label->text()) > label->contentsRect().width()) {
                    wrapped << label;
                }
            }
        }
        QVERIFY(!wrapped.isEmpty());
        for (QLabel* label : wrapped) {
            const QImage image = label->grab().toImage();
            const QColor back = label->palette().color(label->backgroundRole());
            int runs = 0;
            bool inked = false;
            for (int y = 0; y < image.height(); ++y) {
                bool ink = false;
                for (int x = 0; x < image.width() && !ink; ++x) {
                    ink = qAbs(image.pixelColor(x, y).lightness() - back.lightness()) > 96;
                }
                runs += ink && !inked ? 1 : 0;
                inked = ink;
            }
            QVERIFY2(runs >= 2,
                     qPrintable(label->objectName() + QStringLiteral(" runs its lines together")));
        }
    }

    // A chooser or a field that is not focused shows the start of a text longer than it.
    void unfocusedFieldsShowTheStartOfTheirText() {
        TestApp t;
        app::FormView& grid = t.view(Calculator::Grid);
        grid.show();
        auto* buyer = qobject_cast<QComboBox*>(grid.widgetFor(u"Combo4"));
        auto* name = edit(grid, u"Text17");
        t.app->grid().form().control(u"Combo4").setText(u"购货单位名称很长很长很长很长:");
        t.app->grid().form().control(u"Text17").setText(
            u"县木材加工厂第一分厂第二车间很长很长很长");
        grid.sync();
        QCOMPARE(buyer->lineEdit()->cursorPosition(), 0);
        QCOMPARE(name->cursorPosition(), 0);
        QCOMPARE(qobject_cast<QComboBox*>(grid.widgetFor(u"Combo5"))->lineEdit()->cursorPosition(),
                 0);
    }
};

QTEST_MAIN(FitTest)
#include "FitTest.moc"

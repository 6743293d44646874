// SPDX-License-Identifier: GPL-3.0-or-later
// Every caption, and the widest value a tally can reach in each computed field, is shown whole
// in its control with the fonts the program picks.
#include "TestSupport.hpp"

#include <QComboBox>
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
        for (const QString& p : all) {
            qWarning("%s", qPrintable(p));
        }
        QVERIFY2(all.isEmpty(), qPrintable(QStringLiteral("%1 controls cut").arg(all.size())));
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

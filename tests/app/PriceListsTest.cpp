// SPDX-License-Identifier: GPL-3.0-or-later
// Price lists driven as a user would: a list pasted into "价格表" from a workbook and saved,
// species and customer typed into the grid, the tally priced band by band on screen, in
// "价格明细", on the bill and in the ledger.
#include "TestSupport.hpp"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace logora;
using namespace logora::testing;
using app::Calculator;

namespace {

// Chinese as an input method commits it.
void typeIn(QLineEdit* field, const QString& text) {
    field->setFocus();
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(field, &commit);
}

} // namespace

class PriceListsTest : public QObject {
    Q_OBJECT

  private slots:
    void aCustomersListPricesTheGridEverywhere() {
        TestApp t;
        app::FormView& grid = t.view(Calculator::Grid);
        QTest::mouseClick(grid.widgetFor(u"Command9"), Qt::LeftButton); // 价格明细
        app::PriceDetailDialog* detail = t.app->priceDetailDialog();
        QVERIFY(detail != nullptr && detail->isVisible());
        QCOMPARE(detail->chooser()->count(), 2); // automatic and the grade prices

        // 价格表…, a range copied from a workbook pasted, saved.
        const auto lists = detail->findChildren<QPushButton*>();
        auto open = std::find_if(lists.begin(), lists.end(), [](QPushButton* b) {
            return b->text() == QStringLiteral("价格表…");
        });
        QVERIFY(open != lists.end());
        QTest::mouseClick(*open, Qt::LeftButton);
        app::FormView* editor = t.app->priceListsView();
        QVERIFY(editor != nullptr && editor->isVisible());
        QGuiApplication::clipboard()->setText(
            QStringLiteral("价格表\t樟子松\t东港木业\t原木\n径级\t2-3.9\t4-5.9\t6-\n"
                           "6-12\t600\t650\t700\n14-18\t750\t800\t850\n20-\t900\t950\t1000\n"
                           "费用\t码费\t20\t元/立方米\n费用\t装车费\t100\t元/单\n"));
        QTest::mouseClick(editor->widgetFor(u"Command7"), Qt::LeftButton); // 粘贴
        QCOMPARE(edit(*editor, u"Text1")->text(), QStringLiteral("樟子松"));
        QTest::mouseClick(editor->widgetFor(u"Command10"), Qt::LeftButton); // 保存
        QVERIFY(t.messages.messages.empty());

        // The tally: species and customer typed, 10 cm × 4 m × 20, 16 cm × 4 m × 12.
        typeIn(edit(grid, u"Text27"), QStringLiteral("樟子松"));
        typeIn(edit(grid, u"Text17"), QStringLiteral("东港木业"));
        QTest::keyClicks(edit(grid, u"Text4", 1), QStringLiteral("20")); // 10 cm
        QTest::keyClicks(edit(grid, u"Text7", 1), QStringLiteral("12")); // 16 cm
        t.app->host(Calculator::Grid).tickOnce();
        auto* inForce = qobject_cast<QLabel*>(grid.widgetFor(u"Label23"));
        QCOMPARE(inForce->text(), QStringLiteral("樟子松 · 东港木业"));
        // 585.00 + 1017.60 + 码费 2.172 m³ × 20 + 装车费 100.
        QCOMPARE(edit(grid, u"Text28", 3)->text(), QStringLiteral("1746.04"));
        QTRY_COMPARE_WITH_TIMEOUT(detail->table()->rowCount(), 5, 5000);
        QCOMPARE(detail->table()->item(0, 0)->text(), QStringLiteral("径级6-12 长4-5.9米"));
        QCOMPARE(detail->table()->item(0, 3)->text(), QStringLiteral("650元/立方米"));
        QCOMPARE(detail->table()->item(2, 4)->text(), QStringLiteral("43.44"));

        // The bill and the ledger.
        QTest::mouseClick(grid.widgetFor(u"Command3"), Qt::LeftButton);
        QVERIFY(t.prompts.failures.empty());
        bool named = false;
        for (const auto& [row, column, value] : t.sheet.cells) {
            named = named || (row == 29 && value.text == u"樟子松 · 东港木业");
        }
        QVERIFY(named);
        const auto records = t.app->billLedger().list();
        QCOMPARE(records.size(), std::size_t(1));
        const auto whole = t.app->billLedger().load(records[0].number);
        QCOMPARE(whole->priceList, std::u16string(u"樟子松 · 东港木业"));
        QCOMPARE(whole->totals.amount, 174604);
        QCOMPARE(whole->classes.at(3).name, std::u16string(u"装车费"));

        // Picked by hand for this tally: the grade prices, as the grid always priced.
        detail->chooser()->setCurrentIndex(1);
        emit detail->chooser()->activated(1);
        t.app->host(Calculator::Grid).tickOnce();
        QCOMPARE(inForce->text(), QStringLiteral("默认三档单价"));
    }
};

QTEST_MAIN(PriceListsTest)
#include "PriceListsTest.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// 检尺标准 and 标准对照 driven as a user would: a tally, the comparison opened over it, a rule
// picked, the comparison following at the tick, and its workbook.
#include "TestSupport.hpp"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace logora;
using namespace logora::testing;
using app::Calculator;

class ComparisonTest : public QObject {
    Q_OBJECT

  private slots:
    void theComparisonFollowsTheTallyAndTheChosenRule() {
        TestApp t;
        auto& grid = t.app->session().grid();
        grid.pieces(5, 0).setText(u"3"); // 12 cm × 4 m
        t.view(Calculator::Grid).sync();
        QTest::mouseClick(t.view(Calculator::Grid).widgetFor(u"Command8"), Qt::LeftButton);
        app::ComparisonDialog* d = t.app->comparisonDialog();
        QVERIFY(d != nullptr && d->isVisible());
        QTableWidget* table = d->table();
        QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 2, 5000); // the 4 m group and the total
        QCOMPARE(table->item(1, 0)->text(), QStringLiteral("合计"));
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("3"));
        QCOMPARE(table->item(1, 2)->text(), QStringLiteral("0.1860")); // 国标
        QCOMPARE(table->item(1, 5)->text(), QStringLiteral("0.1740")); // JAS: 0.058 a log

        auto* chooser = qobject_cast<QComboBox*>(t.view(Calculator::Grid).widgetFor(u"Combo6"));
        QVERIFY(chooser->lineEdit()->isReadOnly());
        chooser->setCurrentIndex(1);
        emit chooser->activated(1);
        QTRY_VERIFY_WITH_TIMEOUT(d->heading()->text().contains(QStringLiteral("日本 JAS")), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(table->item(1, 7)->text(), QStringLiteral("所选"), 5000);
        QCOMPARE(table->item(1, 4)->text(), QStringLiteral("+0.0120 (+6.90%)"));

        QTest::mouseClick(d->exportButton(), Qt::LeftButton);
        QVERIFY(t.prompts.failures.empty());
        QCOMPARE(t.sheet.calls.at(2), std::string("sheet 汇总"));

        // The list calculator has its own, with the same rule chosen.
        t.app->switchTo(Calculator::List);
        QTest::mouseClick(t.view(Calculator::List).widgetFor(u"Command8"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(d->heading()->text().startsWith(QStringLiteral("多材长")), 5000);
        auto* listChooser = qobject_cast<QComboBox*>(t.view(Calculator::List).widgetFor(u"Combo1"));
        QTRY_COMPARE_WITH_TIMEOUT(listChooser->currentText(), QStringLiteral("日本 JAS"), 5000);
    }
};

QTEST_MAIN(ComparisonTest)
#include "ComparisonTest.moc"

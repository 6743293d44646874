// SPDX-License-Identifier: GPL-3.0-or-later
// 账单记录 driven as a user would: ten exports from the three calculators, then the list,
// its filters and groups, opening, voiding and the summary workbook.
#include "TestSupport.hpp"
#include "ui/Folders.hpp"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace logora;
using namespace logora::testing;
using app::Calculator;

class LedgerTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestApp> t_;

    QString cell(int row, int column) {
        QTableView* table = t_->app->ledgerDialog()->table();
        return table->model()->index(row, column).data().toString();
    }

  private slots:
    void tenExportsAreListedFilteredGroupedOpenedVoidedAndSummed() {
        t_ = std::make_unique<TestApp>();
        // Grid bills for two trucks, list and sawn bills for a third party.
        const std::tuple<Calculator, const char16_t*, const char16_t*, const char16_t*> exports[] =
            {{Calculator::Grid, u"Command3", u"Text22", u"辽A11111"},
             {Calculator::Grid, u"Command3", u"Text22", u"辽A11111"},
             {Calculator::Grid, u"Command3", u"Text22", u"辽B22222"},
             {Calculator::Grid, u"Command3", u"Text22", u"辽B22222"},
             {Calculator::List, u"Command2", u"Text27", u"青山林场"},
             {Calculator::List, u"Command2", u"Text27", u"青山林场"},
             {Calculator::List, u"Command2", u"Text27", u"东港木业"},
             {Calculator::Sawn, u"Command4", u"Text10", u"青山林场"},
             {Calculator::Sawn, u"Command4", u"Text10", u"东港木业"},
             {Calculator::Sawn, u"Command4", u"Text10", u"东港木业"}};
        for (const auto& [which, button, field, text] : exports) {
            t_->app->switchTo(which);
            t_->app->session().window(which).form().control(field).setText(text);
            t_->app->host(which).view().sync();
            QTest::mouseClick(t_->view(which).widgetFor(button), Qt::LeftButton);
        }
        QVERIFY(t_->prompts.failures.empty());

        t_->app->switchTo(Calculator::Sawn);
        QTest::mouseClick(t_->view(Calculator::Sawn).widgetFor(u"Command7"), Qt::LeftButton);
        app::LedgerDialog* d = t_->app->ledgerDialog();
        QVERIFY(d != nullptr && d->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(d->findField()->hasFocus(), 5000);
        const QString today = QString::fromStdString(ui::localNow("%Y%m%d"));
        QCOMPARE(d->table()->model()->rowCount(), 10);
        QCOMPARE(cell(0, 0), today + QStringLiteral("-010")); // newest first
        QCOMPARE(cell(9, 0), today + QStringLiteral("-001"));
        QCOMPARE(cell(9, 5), QStringLiteral("辽A11111"));
        QVERIFY(d->totals()->text().startsWith(QStringLiteral("合计：10 张")));

        d->findField()->insert(QStringLiteral("东港")); // as an input method types it
        QCOMPARE(d->table()->model()->rowCount(), 3);
        d->sheetBox()->setCurrentIndex(3); // 锯材账单
        QCOMPARE(d->table()->model()->rowCount(), 2);
        d->findField()->clear();
        d->sheetBox()->setCurrentIndex(0);
        d->periodBox()->setCurrentIndex(1); // 今天
        QCOMPARE(d->table()->model()->rowCount(), 10);
        d->viewBox()->setCurrentIndex(1); // 按日
        QCOMPARE(d->table()->model()->rowCount(), 1);
        QCOMPARE(cell(0, 1), QStringLiteral("10"));
        const int byBuyer = d->viewBox()->findText(QStringLiteral("按购货单位"));
        QVERIFY(byBuyer > 0);
        d->viewBox()->setCurrentIndex(byBuyer);
        QCOMPARE(d->table()->model()->rowCount(), 3); // 青山林场, 东港木业 and none
        d->viewBox()->setCurrentIndex(0);

        // Enter opens the archived PDF of the bill under the cursor.
        QUrl opened;
        d->openUrl = [&](const QUrl& url) {
            opened = url;
            return true;
        };
        d->table()->setFocus();
        d->table()->selectRow(9);
        QTest::keyClick(d->table(), Qt::Key_Return);
        QVERIFY(opened.toLocalFile().endsWith(QStringLiteral(".pdf")));
        QVERIFY(opened.toLocalFile().contains(today + QStringLiteral("-001")));

        // A void bill stays listed and leaves the totals.
        d->askReason = [](const QString&) { return QStringLiteral("车号录错"); };
        d->voidCurrent();
        QCOMPARE(d->table()->model()->rowCount(), 10);
        QCOMPARE(cell(9, 10), QStringLiteral("作废：车号录错"));
        QVERIFY(d->totals()->text().startsWith(QStringLiteral("合计：9 张")));

        // The summary: a row per bill, numbers as numbers, then the totals.
        t_->sheet.cells.clear();
        QTest::mouseClick(d->summaryButton(), Qt::LeftButton);
        QCOMPARE(t_->sheet.calls.back(), std::string("show"));
        int numbers = 0;
        for (const auto& [row, column, value] : t_->sheet.cells) {
            if (row >= 4 && row <= 13 && column >= 8 && column <= 10) {
                numbers += value.kind == exporting::CellValue::Kind::Number;
            }
        }
        QCOMPARE(numbers, 30);
        QCOMPARE(std::get<2>(t_->sheet.cells.back()).kind, exporting::CellValue::Kind::Number);

        QTest::keyClick(d, Qt::Key_Escape);
        QVERIFY(!d->isVisible());
    }

    // "共享账本…" opens the window; what is typed wrong, or a server that is not there, is
    // said in its line, and the desk keeps its own ledger.
    void aYardThatCannotBeJoinedIsSaidInTheWindow() {
        t_ = std::make_unique<TestApp>();
        t_->app->openLedger(Calculator::Grid);
        QTest::mouseClick(t_->app->ledgerDialog()->yardButton(), Qt::LeftButton);
        app::FormView* v = t_->app->yardView();
        QVERIFY(v != nullptr && v->isVisible());
        const ui::Form& f = t_->app->yardWindow()->form();
        QCOMPARE(f.control(u"Label8").text(), u"这台电脑没有加入共享账本，账单只记在本机。");
        const struct {
            const char* server;
            const char* station;
            std::u16string said;
        } cases[] = {
            {"127.0.0.1", "A-1", u"本机站号要填一到四个字母或数字，例如 A，每台电脑不同。"},
            {"127.0.0.1", "A", u"连不上共享账本的服务器 127.0.0.1:1："},
        };
        for (const auto& c : cases) {
            for (const auto& [name, text] : {std::pair{u"Text1", c.server},
                                             {u"Text2", "1"},
                                             {u"Text4", "desk"},
                                             {u"Text6", c.station}}) {
                QLineEdit* e = edit(*v, name);
                e->clear();
                QTest::keyClicks(e, QString::fromLatin1(text));
            }
            QTest::mouseClick(v->widgetFor(u"Command2"), Qt::LeftButton);
            // The worker connects; the window answers meanwhile.
            QTRY_VERIFY2_WITH_TIMEOUT(f.control(u"Label8").text().starts_with(c.said),
                                      text::toUtf8(f.control(u"Label8").text()).c_str(), 10000);
        }
        QVERIFY(!t_->app->deskLedger().inYard());
    }
};

QTEST_MAIN(LedgerTest)
#include "LedgerTest.moc"

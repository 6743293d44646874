// SPDX-License-Identifier: GPL-3.0-or-later
// The list and sawn windows, offscreen: typing a row shows its volume, amount and totals.
#include "TestSupport.hpp"
#include "ui/Folders.hpp"

#include <QTest>

#include <algorithm>
#include <tuple>

using namespace logora;
using namespace logora::testing;
using app::Calculator;

class CalculatorsTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { t_ = std::make_unique<TestApp>(); }
    void cleanup() { t_.reset(); }

    void listRowShowsVolumeAmountAndTotals() {
        app::FormView& v = t_->view(Calculator::List);
        v.show();
        const std::pair<const char16_t*, const char*> typed[] = {
            {u"Text1", "4"}, {u"Text2", "20"}, {u"Text3", "3"}, {u"Text5", "500"}};
        for (const auto& [name, keys] : typed) {
            QTest::keyClicks(edit(v, name, 18), keys); // the last row
        }
        t_->app->host(Calculator::List).tickOnce();
        QCOMPARE(edit(v, u"Text4", 18)->text(), QStringLiteral("0.4800"));
        QCOMPARE(edit(v, u"Text6", 18)->text(), QStringLiteral("240.00"));
        QCOMPARE(edit(v, u"Text22", 5)->text(), QStringLiteral("3"));
        QCOMPARE(edit(v, u"Text22", 4)->text(), QStringLiteral("0.480"));
        QCOMPARE(edit(v, u"Text22", 10)->text(), QStringLiteral("240.00"));
        QCOMPARE(v.size(), QSize(app::FormView::px(7500), app::FormView::px(10035)));
    }

    void averagePriceTypingStaysNatural() {
        app::FormView& v = t_->view(Calculator::List);
        v.show();
        QLineEdit* price = edit(v, u"Text22", 7);
        price->setFocus();
        QTest::keyClicks(price, "0");
        QCOMPARE(price->text(), QString()); // a leading 0 sorts below "1": emptied at once
        QCOMPARE(price->cursorPosition(), 0);
        QTest::keyClicks(price, "650");
        QCOMPARE(price->text(), QStringLiteral("650"));
        QCOMPARE(price->cursorPosition(), 3);
        QTest::keyClick(price, Qt::Key_Home);
        QTest::keyClicks(price, "1");
        QCOMPARE(price->text(), QStringLiteral("1650"));
        QCOMPARE(price->cursorPosition(), 1);
    }

    void hiddenWindowsKeepTicking() {
        app::FormView& v = t_->view(Calculator::Sawn);
        QVERIFY(!v.isVisible());
        auto& f = t_->app->sawn().form();
        for (auto [name, value] : {std::pair{u"Text1", u"400"},
                                   {u"Text2", u"20"},
                                   {u"Text3", u"5"},
                                   {u"Text4", u"10"},
                                   {u"Text6", u"1200"}}) {
            f.control(name, 0).setText(value);
        }
        QTRY_COMPARE_WITH_TIMEOUT(edit(v, u"Text7", 0)->text(), QStringLiteral("480.00"), 1000);
    }

    void sawnRowShowsVolumeAmountAndTotals() {
        app::FormView& v = t_->view(Calculator::Sawn);
        v.show();
        QCOMPARE(v.windowTitle(), QStringLiteral("Planora"));
        const std::pair<const char16_t*, const char*> typed[] = {{u"Text1", "400"},
                                                                 {u"Text2", "20"},
                                                                 {u"Text3", "5"},
                                                                 {u"Text4", "10"},
                                                                 {u"Text6", "1200"}};
        for (const auto& [name, keys] : typed) {
            QTest::keyClicks(edit(v, name, 7), keys);
        }
        t_->app->host(Calculator::Sawn).tickOnce();
        QCOMPARE(edit(v, u"Text5", 7)->text(), QStringLiteral("0.4000"));
        QCOMPARE(edit(v, u"Text7", 7)->text(), QStringLiteral("480.00"));
        QCOMPARE(edit(v, u"Text8")->text(), QStringLiteral("0.4000"));
        QCOMPARE(edit(v, u"Text9")->text(), QStringLiteral("480.0000"));
        QTest::mouseClick(v.widgetFor(u"Command1"), Qt::LeftButton);
        QCOMPARE(edit(v, u"Text1", 7)->text(), QString());
        QCOMPARE(edit(v, u"Text9")->text(), QString());
    }

    void exportButtonsExportTheirWindowsBill() {
        const std::tuple<Calculator, const char16_t*, const char*, int> cases[] = {
            // the mapped cells, the rule and the date, and the number with its caption
            {Calculator::Grid, u"Command3", "sheet 原木一", 210},
            {Calculator::List, u"Command2", "sheet 原木二", 128},
            {Calculator::Sawn, u"Command4", "sheet 锯材账单", 68}};
        for (const auto& [which, button, sheet, cells] : cases) {
            t_ = std::make_unique<TestApp>();
            t_->app->switchTo(which);
            QTest::mouseClick(t_->view(which).widgetFor(button), Qt::LeftButton);
            QCOMPARE(t_->sheet.calls.at(2), std::string(sheet));
            QCOMPARE(t_->sheet.calls.back(), std::string("show"));
            QCOMPARE(int(t_->sheet.cells.size()), cells);
            const std::u16string number = std::get<2>(t_->sheet.cells.back()).text;
            QCOMPARE(number, text::fromUtf8(ui::localNow("%Y%m%d") + "-001"));
            QCOMPARE(t_->prompts.reminders.size(), std::size_t(1));
        }
    }

    void aSecondClickDuringAnExportIsIgnored() {
        QWidget* button = t_->view(Calculator::Grid).widgetFor(u"Command3");
        bool busyCursor = false;
        t_->sheet.duringSave = [&] {
            busyCursor = QApplication::overrideCursor() != nullptr &&
                         QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            QTest::mouseClick(button, Qt::LeftButton); // while the export runs
        };
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(busyCursor);
        QCOMPARE(std::count(t_->sheet.calls.begin(), t_->sheet.calls.end(), "start"), 1);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        t_->sheet.duringSave = nullptr;
        QTRY_VERIFY(!t_->app->exports().busy());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(std::count(t_->sheet.calls.begin(), t_->sheet.calls.end(), "start"), 2);
        QCOMPARE(t_->app->exports().count(0), 2);
    }

    // Nothing thrown inside an export or a user's edit reaches Qt's event loop, and the
    // busy flag and the wait cursor end with the export however it ends.
    void errorsInsideAnExportOrAnEditStayInside() {
        QWidget* button = t_->view(Calculator::Grid).widgetFor(u"Command3");
        t_->sheet.duringSave = [] { throw std::runtime_error("exists: Input/output error"); };
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(t_->prompts.failures.size(), std::size_t(1));
        QVERIFY(!t_->app->exports().busy());
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        app::FormView& v = t_->view(Calculator::Grid);
        auto& f = t_->app->grid().form();
        f.onChange(u"Text17", [&f](int) { // a runaway chain of handlers
            auto& c = f.control(u"Text17");
            c.setText(c.text() + u"x");
        });
        QTest::keyClicks(edit(v, u"Text17"), "a");
        t_->sheet.duringSave = nullptr;
        QTest::mouseClick(button, Qt::LeftButton); // the program goes on
        QCOMPARE(t_->sheet.calls.back(), std::string("show"));
    }

  private:
    std::unique_ptr<TestApp> t_;
};

QTEST_MAIN(CalculatorsTest)
#include "CalculatorsTest.moc"

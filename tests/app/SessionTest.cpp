// SPDX-License-Identifier: GPL-3.0-or-later
// A whole working session, run under valgrind by the test suite: start, tally in every
// window, save prices, export each bill, exit.
#include "TestSupport.hpp"

#include <QTest>

#include <algorithm>

#include <fstream>

using namespace logora;
using namespace logora::testing;
using app::Calculator;

class SessionTest : public QObject {
    Q_OBJECT
  private slots:
    void aFullSession() {
        TestApp t;
        app::FormView& grid = t.view(Calculator::Grid);
        QTest::keyClicks(edit(grid, u"Text5", 1), "3");
        QTest::keyClicks(edit(grid, u"Text9", 4), "12");
        QTest::mouseClick(grid.widgetFor(u"Label19"), Qt::LeftButton);
        QTest::mouseClick(grid.widgetFor(u"Label5"), Qt::LeftButton);
        QTest::keyClicks(edit(*t.app->priceView(), u"Text1", 0), "480");
        QTest::mouseClick(t.app->priceView()->widgetFor(u"Label3"), Qt::LeftButton);
        // Real ticks, however slowly valgrind lets them come.
        QTRY_COMPARE_WITH_TIMEOUT(edit(grid, u"Text19", 0)->text(), QStringLiteral("480.00"),
                                  10000);
        QTest::mouseClick(grid.widgetFor(u"Command3"), Qt::LeftButton);

        t.app->switchTo(Calculator::List);
        app::FormView& list = t.view(Calculator::List);
        for (auto [name, keys] :
             {std::pair{u"Text1", "4"}, {u"Text2", "20"}, {u"Text3", "3"}, {u"Text5", "650"}}) {
            QTest::keyClicks(edit(list, name, 0), keys);
        }
        QTRY_COMPARE_WITH_TIMEOUT(edit(list, u"Text6", 0)->text(), QStringLiteral("312.00"), 10000);
        QTest::mouseClick(list.widgetFor(u"Command2"), Qt::LeftButton);

        t.app->switchTo(Calculator::Sawn);
        app::FormView& sawn = t.view(Calculator::Sawn);
        for (auto [name, keys] : {std::pair{u"Text1", "400"},
                                  {u"Text2", "20"},
                                  {u"Text3", "5"},
                                  {u"Text4", "10"},
                                  {u"Text6", "1200"}}) {
            QTest::keyClicks(edit(sawn, name, 0), keys);
        }
        QTRY_COMPARE_WITH_TIMEOUT(edit(sawn, u"Text9")->text(), QStringLiteral("480.0000"), 10000);
        QTest::mouseClick(sawn.widgetFor(u"Command4"), Qt::LeftButton);
        QTRY_VERIFY(!t.app->exports().busy());

        QCOMPARE(std::count(t.sheet.calls.begin(), t.sheet.calls.end(), "show"), 3);
        std::ifstream saved(t.priceFolder() / "1(0).txt", std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(saved)), {});
        QCOMPARE(bytes, std::string("480\r\n"));

        t.app->switchTo(Calculator::List);
        QTest::mouseClick(list.widgetFor(u"Command3"), Qt::LeftButton); // 退出
        QVERIFY(t.quitCalled);
    }
};

QTEST_MAIN(SessionTest)
#include "SessionTest.moc"

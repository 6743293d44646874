// On a real X server, with and without a window manager: windows come back where they were,
// every drag ends on release, choosers show what was typed, fixed windows cannot be maximised.
#include "../app/TestSupport.hpp"

#include <QComboBox>
#include <QTest>
#include <QWindow>

using namespace logora;
using namespace logora::testing;
using app::Calculator;

class DesktopTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { t_ = std::make_unique<TestApp>(); }
    void cleanup() { t_.reset(); }

    void theGridComesBackWhereItWas() {
        app::FormView& grid = t_->view(Calculator::Grid);
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.move(276, 189);
        QTRY_COMPARE(grid.pos(), QPoint(276, 189));
        for (Calculator other : {Calculator::List, Calculator::Sawn, Calculator::List}) {
            t_->app->switchTo(other);
            QVERIFY(QTest::qWaitForWindowExposed(&t_->view(other)));
            QTest::qWait(200);
            qDebug() << "before back" << grid.pos() << grid.geometry() << grid.frameGeometry();
            t_->app->switchTo(Calculator::Grid);
            qDebug() << "after show" << grid.pos() << grid.geometry() << grid.frameGeometry();
            QVERIFY(QTest::qWaitForWindowExposed(&grid));
            qDebug() << "exposed" << grid.pos() << grid.geometry() << grid.frameGeometry();
            QTest::qWait(200);
            QCOMPARE(grid.pos(), QPoint(276, 189));
        }
    }

  private:
    std::unique_ptr<TestApp> t_;
};

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"

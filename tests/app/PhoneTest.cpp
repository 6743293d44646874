// SPDX-License-Identifier: GPL-3.0-or-later
// 手机检尺 end to end: the code read off the desk's window by zbarimg, as a phone's camera
// reads it, a real headless Chromium in a phone's screen tapping (tests/phone/browser.py),
// and the desk's grid cells checked at each step the browser reports.
#include "TestSupport.hpp"

#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace logora;
using namespace logora::testing;
using app::Calculator;

// A port no one listens at now, as the system hands one out.
static int freePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    close(s);
    return ntohs(a.sin_port);
}

class PhoneTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestApp> t_;

    // The pieces of a class in a group of the grid, by the class's diameter.
    QString pieces(int group, const char16_t* diameter) {
        grid::GridWindow& g = t_->app->grid();
        for (int r = 1; r <= grid::kRows; ++r) {
            if (g.diameter(r, group).text() == diameter) {
                return QString::fromStdU16String(g.pieces(r, group).text());
            }
        }
        return QStringLiteral("no class");
    }

    // The next line the browser prints, the desk serving meanwhile; at most a minute.
    QString next(QProcess& browser) {
        QElapsedTimer clock;
        clock.start();
        while (!browser.canReadLine() && clock.elapsed() < 60000 &&
               browser.state() != QProcess::NotRunning) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            browser.waitForReadyRead(10);
        }
        if (!browser.canReadLine()) {
            qWarning().noquote() << browser.readAllStandardError();
            return QStringLiteral("(nothing)");
        }
        return QString::fromUtf8(browser.readLine()).trimmed();
    }

    // What zbarimg reads off the window as it is painted.
    QString scanned() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("code.png"));
        t_->app->phoneView()->grab().save(file);
        QProcess zbar;
        zbar.start(QStringLiteral("zbarimg"),
                   {QStringLiteral("--raw"), QStringLiteral("-q"), file});
        zbar.waitForFinished(20000);
        return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
    }

  private slots:
    void aPhoneTapsATruckThroughDropsAndRenewalsAndTwoPhonesAddUp() {
        t_ = std::make_unique<TestApp>();
        qputenv("LOGORA_PHONE_PORT", QByteArray::number(freePort()));
        t_->app->openPhone(Calculator::Grid);
        QVERIFY(t_->app->phone()->listening());
        const QString address = QString::fromStdString(t_->app->phone()->window().address());
        QVERIFY(address.startsWith(QStringLiteral("http://")));
        QCOMPARE(scanned(), address);

        QProcess browser;
        browser.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral(LOGORA_SOURCE_DIR "/tests/phone/browser.py"), address});
        QVERIFY(browser.waitForStarted());
        auto go = [&](const QString& extra = {}) {
            browser.write((QStringLiteral("go ") + extra + QStringLiteral("\n")).toUtf8());
        };

        QCOMPARE(next(browser), QStringLiteral("STEP tapped"));
        QCOMPARE(pieces(0, u"8"), QStringLiteral("2"));  // three taps, one taken back
        QCOMPARE(pieces(0, u"24"), QStringLiteral("1")); // typed on the number pad
        QVERIFY(!t_->app->grid().volume(3, 0).text().empty());
        go();

        // The desk's window closed mid-tally: the phone keeps its taps and sends them later.
        QCOMPARE(next(browser), QStringLiteral("STEP close"));
        QTest::mouseClick(t_->app->phoneView()->widgetFor(u"Command2"), Qt::LeftButton);
        QVERIFY(!t_->app->phone()->listening());
        go();
        QCOMPARE(next(browser), QStringLiteral("STEP reopen"));
        QCOMPARE(pieces(0, u"8"), QStringLiteral("2"));
        t_->app->openPhone(Calculator::Grid);
        QCOMPARE(QString::fromStdString(t_->app->phone()->window().address()), address);
        go();
        QCOMPARE(next(browser), QStringLiteral("STEP offline-done"));
        QCOMPARE(pieces(0, u"8"), QStringLiteral("5"));
        go();

        QCOMPARE(next(browser), QStringLiteral("STEP two"));
        QCOMPARE(pieces(1, u"10"), QStringLiteral("30"));
        go();

        // "换码": the old page is refused and keeps its taps; the new code takes them.
        QCOMPARE(next(browser), QStringLiteral("STEP renew"));
        QTest::mouseClick(t_->app->phoneView()->widgetFor(u"Command1"), Qt::LeftButton);
        const QString renewed = QString::fromStdString(t_->app->phone()->window().address());
        QVERIFY(renewed != address);
        QCOMPARE(scanned(), renewed);
        go(renewed);
        QCOMPARE(next(browser), QStringLiteral("STEP renewed"));
        QCOMPARE(pieces(0, u"12"), QStringLiteral("2"));
        go();

        // Abuse from the network: refused and counted, the tally untouched, the desk serving.
        QCOMPARE(next(browser), QStringLiteral("STEP abuse"));
        QCOMPARE(pieces(0, u"8"), QStringLiteral("5"));
        QCOMPARE(pieces(0, u"12"), QStringLiteral("2"));
        const phone::Refusals& r = t_->app->phone()->desk().refusals();
        QVERIFY2(r.token >= 1 && r.rate >= 1 && r.bad >= 3,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(r.token).arg(r.rate).arg(r.bad)));
        go();
        QCOMPARE(next(browser), QStringLiteral("DONE"));
        browser.waitForFinished(30000);
        QCOMPARE(browser.exitCode(), 0);
    }
};

QTEST_MAIN(PhoneTest)
#include "PhoneTest.moc"

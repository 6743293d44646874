// SPDX-License-Identifier: GPL-3.0-or-later
// Renders each calculator window with a sample tally into docs/, for the README.
// Run by scripts/screenshots on a real X server with a window manager (as the user sees the
// windows, frames included); with --offscreen it renders without any display.
#include "app/Application.hpp"
#include "app/Artwork.hpp"
#include "app/Fonts.hpp"
#include "prices/PriceListText.hpp"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

using namespace logora;

namespace {

bool desktop = true;

// The window as it stands on the screen, the window manager's frame included.
void shot(QWidget& window, const QString& path) {
    if (!desktop) {
        window.grab().save(path);
        return;
    }
    window.show();
    window.raise();
    QEventLoop wait;
    QTimer::singleShot(800, &wait, &QEventLoop::quit);
    wait.exec();
    const QRect r = window.frameGeometry();
    window.screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).save(path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && QByteArray(argv[2]) == "--offscreen") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        desktop = false;
    }
    QApplication qapp(argc, argv);
    QApplication::setFont(app::fontFor(ui::FontSpec{}));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(out);

    QTemporaryDir prices;
    const std::filesystem::path scratch(prices.path().toStdString());
    app::Application::Options options{scratch, nullptr, {}};
    options.exports.billFolder = scratch / "bills"; // a ledger of the shots' own
    app::Application a(options);
    a.start();
    auto& w = a.grid();
    const char16_t* pieces[][4] = {{u"", u"3", u"", u""},       {u"12", u"8", u"2", u""},
                                   {u"25", u"14", u"6", u"1"},  {u"31", u"20", u"9", u"3"},
                                   {u"18", u"22", u"12", u"4"}, {u"9", u"17", u"15", u"6"},
                                   {u"4", u"11", u"10", u"5"},  {u"2", u"6", u"7", u"2"},
                                   {u"", u"3", u"4", u"1"},     {u"", u"1", u"2", u""}};
    w.lengthField(1).setText(u"4.5");
    w.lengthField(3).setText(u"6");
    for (int r = 0; r < 10; ++r) {
        for (int g = 0; g < 4; ++g) {
            w.cell(r + 1, 3 * g + 1).setText(pieces[r][g]);
        }
    }
    auto& f = w.form();
    f.control(u"Text17").setText(u"县木材加工厂");
    f.control(u"Text22").setText(u"桂A·12345");
    f.control(u"Text27").setText(u"杉木");
    f.control(u"Text25").setText(u"李明");
    f.control(u"Text20").setText(u"青山林场");
    f.control(u"Text24").setText(u"王强");
    a.priceWindow().form().control(u"Text1", 0).setText(u"480");
    a.priceWindow().form().control(u"Text1", 1).setText(u"620");
    a.priceWindow().form().control(u"Text1", 2).setText(u"760");
    a.host(app::Calculator::Grid).tickOnce();
    a.host(app::Calculator::Grid).view().move(40, 40);
    shot(a.host(app::Calculator::Grid).view(), out + QStringLiteral("/grid.png"));
    a.openPriceWindow();
    shot(*a.priceView(), out + QStringLiteral("/price.png"));
    a.priceView()->hide();
    // The same truck under every rule, the national one chosen.
    a.openComparison(app::Calculator::Grid);
    a.comparisonDialog()->resize(1180, 260);
    shot(*a.comparisonDialog(), out + QStringLiteral("/comparison.png"));
    a.comparisonDialog()->hide();

    auto& l = a.list().form();
    const char16_t* rows[][4] = {{u"4", u"12", u"16", u"620"}, {u"4", u"16", u"22", u"680"},
                                 {u"6", u"20", u"9", u"760"},  {u"6", u"24", u"7", u"800"},
                                 {u"8", u"28", u"3", u"860"},  {u"2.5", u"10", u"30", u"520"}};
    for (int r = 0; r < 6; ++r) {
        for (int k = 0; k < 4; ++k) {
            const char16_t* names[4] = {u"Text1", u"Text2", u"Text3", u"Text5"};
            l.control(names[k], r).setText(rows[r][k]);
        }
    }
    l.control(u"Text27").setText(u"县木材加工厂");
    l.control(u"Text23").setText(u"青山林场");
    l.control(u"Text29").setText(u"松木");
    l.control(u"Text28").setText(u"李明");
    l.control(u"Text22", 7).setText(u"700");
    a.host(app::Calculator::List).tickOnce();
    a.switchTo(app::Calculator::List);
    shot(a.host(app::Calculator::List).view(), out + QStringLiteral("/list.png"));

    auto& s = a.sawn().form();
    const char16_t* boards[][5] = {{u"400", u"20", u"5", u"10", u"1200"},
                                   {u"400", u"15", u"3", u"24", u"1150"},
                                   {u"300", u"10", u"10", u"16", u"1300"},
                                   {u"200", u"30", u"4", u"8", u"1250"}};
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 5; ++k) {
            const char16_t* names[5] = {u"Text1", u"Text2", u"Text3", u"Text4", u"Text6"};
            s.control(names[k], r).setText(boards[r][k]);
        }
    }
    s.control(u"Text10").setText(u"城东家具厂");
    s.control(u"Text11").setText(u"桂B·67890");
    s.control(u"Text13").setText(u"青山木材加工厂");
    s.control(u"Text12").setText(u"王强");
    s.control(u"Text14").setText(u"李明");
    a.host(app::Calculator::Sawn).tickOnce();
    a.switchTo(app::Calculator::Sawn);
    shot(a.host(app::Calculator::Sawn).view(), out + QStringLiteral("/sawn.png"));

    // A fortnight of a yard's bills in the ledger.
    const char16_t* buyers[] = {u"县木材加工厂", u"城东家具厂", u"青山木材加工厂"};
    const char16_t* trucks[] = {u"桂A·12345", u"桂B·67890", u"桂A·55102", u"桂C·30817"};
    const char16_t* sheets[] = {u"原木一", u"原木二", u"锯材账单"};
    for (int i = 0; i < 24; ++i) {
        ledger::BillRecord r;
        char day[16], time[24];
        std::snprintf(day, sizeof day, "202612%02d", 1 + i / 3);
        std::snprintf(time, sizeof time, "2026-12-%02d %02d:%02d:00", 1 + i / 3, 8 + i % 3 * 3,
                      (i * 17) % 60);
        r.number = a.billLedger().reserveNumber(day);
        r.time = time;
        r.sheet = sheets[i % 3];
        r.calculator = static_cast<app::Calculator>(i % 3);
        r.headers = {{u"购货单位", buyers[i % 3]},
                     {u"出货单位", u"青山林场"},
                     {u"车号", trucks[i % 4]},
                     {u"树种", i % 3 == 2 ? u"松木" : u"杉木"}};
        r.totals = {40 + i * 7 % 50, 52130 + i * 3917 % 40000, 3518775 + i * 271357 % 2500000};
        r.voided = i == 20;
        r.voidReason = i == 20 ? u"车号录错" : u"";
        a.billLedger().record(r);
    }
    a.openLedger(app::Calculator::Sawn);
    a.ledgerDialog()->resize(1040, 560);
    shot(*a.ledgerDialog(), out + QStringLiteral("/ledger.png"));
    a.ledgerDialog()->hide();

    // The same truck priced by the list agreed with its buyer.
    const prices::ParsedLists lists = prices::parseLists(
        u"价格表\t杉木\t县木材加工厂\t原木\n径级\t2-3.9\t4-5.9\t6-\n4-12\t560\t600\t640\n"
        u"14-18\t700\t740\t780\n20-\t860\t900\t950\n费用\t码费\t20\t元/立方米\n"
        u"费用\t装车费\t100\t元/单\n\n价格表\t杉木\t\t原木\n径级\n4-12\t580\n14-\t760\n",
        u'\t');
    a.session().saveLists(lists.lists);
    a.switchTo(app::Calculator::Grid);
    a.host(app::Calculator::Grid).tickOnce();
    a.openPriceDetail(app::Calculator::Grid);
    a.priceDetailDialog()->resize(620, 420);
    a.priceDetailDialog()->refresh();
    shot(*a.priceDetailDialog(), out + QStringLiteral("/detail.png"));
    a.session().openPriceLists();
    shot(*a.priceListsView(), out + QStringLiteral("/lists.png"));

    // A desk about to join its yard, the connection tried.
    a.openYard();
    ui::Form& yard = a.yardWindow()->form();
    const std::pair<const char16_t*, const char16_t*> fields[] = {
        {u"Text1", u"192.168.1.10"},
        {u"Text4", u"kaidan_a"},
        {u"Text5", u"secret"},
        {u"Text6", u"A"},
        {u"Label8", u"连接成功：可以点“加入”。"}};
    for (const auto& [name, value] : fields) {
        yard.control(name).setText(value);
    }
    a.yardView()->sync();
    shot(*a.yardView(), out + QStringLiteral("/yard.png"));

    // 手机检尺 on the grid, two phones' taps in it, and the page as a phone shows it.
    qputenv("LOGORA_PHONE_ADDRESS", "192.168.1.20");
    a.openPhone(ui::Calculator::Grid);
    phone::PhoneDesk& desk = a.phone()->desk();
    const std::pair<const char*, const char*> taps[] = {
        {"p1", R"({"id":"s1","op":"add","group":0,"class":"24","n":1})"},
        {"p2", R"({"id":"s2","op":"add","group":1,"class":"18","n":1})"},
        {"p1", R"({"id":"s3","op":"log","group":0,"diameter":"26"})"}};
    for (const auto& [who, tap] : taps) {
        desk.handle({"POST", desk.pagePath() + "/taps",
                     std::string(R"({"phone":")") + who + R"(","taps":[)" + tap + "]}",
                     who[1] == '1' ? "192.168.1.31" : "192.168.1.47", phone::Clock::now()});
    }
    a.phone()->window().tick();
    a.phoneView()->sync();
    shot(*a.phoneView(), out + QStringLiteral("/phone.png"));
    QProcess chromium;
    // The same page by loopback: the address shown is the yard's.
    const std::string shown = a.phone()->window().address();
    const std::string port =
        shown.substr(shown.rfind(':') + 1, shown.find("/p/") - shown.rfind(':') - 1);
    const QString page = QString::fromStdString("http://127.0.0.1:" + port + desk.pagePath());
    chromium.start(QStringLiteral("chromium"),
                   {QStringLiteral("--headless=new"), QStringLiteral("--no-sandbox"),
                    QStringLiteral("--hide-scrollbars"), QStringLiteral("--window-size=390,900"),
                    QStringLiteral("--virtual-time-budget=4000"),
                    QStringLiteral("--screenshot=") + out + QStringLiteral("/phone-page.png"),
                    page});
    // The desk answers the page's requests meanwhile.
    while (!chromium.waitForFinished(20)) {
        QCoreApplication::processEvents();
        if (chromium.state() == QProcess::NotRunning) {
            break;
        }
    }
    return 0;
}

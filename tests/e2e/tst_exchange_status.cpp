// The status bar under the form names how the last exchange ended, as a
// technician pressing "单次" against the simulated sensor sees it.
#include "app/main_window.h"
#include "app/tool_window.h"
#include "message_recorder.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <QAccessible>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>

using namespace kv;
using namespace kv::test;

class tst_ExchangeStatus : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void lastExchangeInWords_data();
    void lastExchangeInWords();
};

void tst_ExchangeStatus::lastExchangeInWords_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("says"); // after the time of day
    QTest::newRow("answered") << QString() << QStringLiteral("正常，响应 \\d+ ms");
    QTest::newRow("silent") << QStringLiteral("no-reply:1") << QStringLiteral("无应答（等待 1\\.\\d s）");
    QTest::newRow("exception") << QStringLiteral("exception:1") << QStringLiteral("异常 04：从站设备故障");
    QTest::newRow("bad CRC") << QStringLiteral("bad-crc:1") << QStringLiteral("CRC 错误");
    QTest::newRow("partial") << QStringLiteral("partial:1")
                             << QStringLiteral("应答不完整：收到 \\d+ 字节，应为 15 字节");
    QTest::newRow("another station") << QStringLiteral("wrong-station:1") << QStringLiteral("应答与请求不符：.+");
}

void tst_ExchangeStatus::lastExchangeInWords()
{
    QFETCH(QString, fault);
    QFETCH(QString, says);
    MessageRecorder messages;
    SimProcess sim(fault.isEmpty() ? QStringList{} : QStringList{QStringLiteral("--fault"), fault});
    PortWiring com1(1, sim.devicePath());
    ToolWindow window;
    window.load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* status = window.statusBar()->findChild<QLabel*>(QStringLiteral("exchangeStatus"));
    QVERIFY(status && status->isVisible());
    QCOMPARE(status->text(), QStringLiteral("尚无通信"));

    QTest::mouseClick(window.form().controls().get<QPushButton>(u"comDoOnce"), Qt::LeftButton);
    const QRegularExpression expected(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d  ") + says + QLatin1Char('$'));
    QTRY_VERIFY2_WITH_TIMEOUT(expected.match(status->text()).hasMatch(), qPrintable(status->text()), 3000);
    // Read aloud as shown.
    QCOMPARE(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name), status->text());
    // The form keeps its place, the window grows by the bars.
    QCOMPARE(window.form().geometry().bottom() + 1, window.statusBar()->geometry().top());
    QCOMPARE(window.height(), window.menuBar()->height() + window.form().height() + window.statusBar()->height());
}

QTEST_MAIN(tst_ExchangeStatus)
#include "tst_exchange_status.moc"

// The window reading sensors behind an Ethernet gateway: the simulated sensor
// serves as a transparent gateway (--tcp) or a Modbus TCP one (--modbus-tcp)
// on 127.0.0.1, and the test connects as a technician would, through
// "网络连接…" (Ctrl+N), then reads with the form's buttons and the traffic log.
#include "app/exchange_status.h"
#include "app/line_in_use.h"
#include "app/main_window.h"
#include "app/network_connect_dialog.h"
#include "app/pick_list.h"
#include "app/tool_window.h"
#include "app/traffic_log/frame_columns.h"
#include "app/traffic_log/traffic_log_window.h"
#include "line/serial_line.h"
#include "message_recorder.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace kv;
using namespace kv::test;

namespace {

// The tool's window, started with COM1 on a pseudo-terminal, shown and active
// so that its shortcuts reach it.
struct Tool {
    Tool()
    {
        window.load();
        window.show();
        QApplication::setActiveWindow(&window);
    }

    frmMain& form() { return window.form(); }
    QString text(QStringView name, int index = -1) { return form().controls().text(name, index); }
    void click(QStringView button, int index = -1)
    {
        QTest::mouseClick(form().controls().get<QPushButton>(button, index), Qt::LeftButton);
    }
    PickList& ports() { return *form().controls().get<PickList>(u"Combo1"); }

    // Ctrl+N in the window (the traffic log may have been in front).
    NetworkConnectDialog* openDialog()
    {
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            return nullptr;
        QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
        NetworkConnectDialog* dialog = window.networkConnect();
        return dialog && QTest::qWaitForWindowExposed(dialog) ? dialog : nullptr;
    }

    // The dialog opened, the kind, host and port typed, "连接".
    void connect(const QString& kind, const QString& address)
    {
        NetworkConnectDialog* dialog = openDialog();
        QVERIFY(dialog);
        auto* kinds = dialog->findChild<QComboBox*>(QStringLiteral("cboGatewayKind"));
        kinds->setCurrentIndex(kinds->findText(kind, Qt::MatchStartsWith));
        auto* host = dialog->findChild<QLineEdit*>(QStringLiteral("txtGatewayHost"));
        host->clear();
        QTest::keyClicks(host, address.section(QLatin1Char(':'), 0, 0));
        dialog->findChild<QSpinBox*>(QStringLiteral("spnGatewayPort"))
            ->setValue(address.section(QLatin1Char(':'), 1).toInt());
        const auto buttons = dialog->findChildren<QPushButton*>();
        auto ok = std::find_if(
            buttons.begin(), buttons.end(), [](QPushButton* b) { return b->text() == QStringLiteral("连接"); });
        QVERIFY(ok != buttons.end());
        QTest::mouseClick(*ok, Qt::LeftButton);
    }

    // Column texts of every row of the traffic log.
    QStringList logColumn(LogColumn column)
    {
        if (!window.trafficLog())
            window.showTrafficLog();
        const QAbstractItemModel& model = window.trafficLog()->log();
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts << model.index(row, static_cast<int>(column)).data().toString();
        return texts;
    }

    MessageRecorder messages;
    PtyPair com1Line;
    PortWiring com1{1, com1Line.slavePath()};
    ToolWindow window;
};

} // namespace

class tst_GatewayWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        // The dialog remembers in a scratch place of this run's own.
        QVERIFY(m_settings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    }
    void readsThroughEachKindOfGateway_data();
    void readsThroughEachKindOfGateway();
    void lostConnectionIsToldOnceAndPollingStops();
    void portListGoesBackAndForth();

private:
    QTemporaryDir m_settings;
};

void tst_GatewayWindow::readsThroughEachKindOfGateway_data()
{
    QTest::addColumn<QString>("serves");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("requestLength");
    QTest::newRow("transparent") << "--tcp"
                                 << "RTU over TCP"
                                 << "TCP %1" << 8;
    QTest::newRow("modbus tcp") << "--modbus-tcp"
                                << "Modbus TCP"
                                << "Modbus TCP %1" << 12;
}

void tst_GatewayWindow::readsThroughEachKindOfGateway()
{
    QFETCH(QString, serves);
    QFETCH(QString, kind);
    QFETCH(QString, entry);
    QFETCH(int, requestLength);
    SimProcess gateway({serves, QStringLiteral("0")});
    QVERIFY(gateway.isRunning());
    Tool tool;
    QVERIFY(tool.form().serialPort().portOpen());

    tool.connect(kind, gateway.devicePath());

    QCOMPARE(tool.ports().currentText(), entry.arg(gateway.devicePath()));
    QCOMPARE(tool.ports().count(), 26); // COM1 to COM25 as they were, and the connection
    QCOMPARE(tool.ports().itemText(24), QStringLiteral("COM25"));
    QVERIFY(!tool.form().serialPort().portOpen());
    QCOMPARE(tool.window.form().frontLamp(), Lamp::Connected);
    QVERIFY(!tool.form().controls().get<PickList>(u"Combo2")->toolTip().isEmpty());

    tool.click(u"comDoOnce");
    QTRY_COMPARE(tool.text(u"txtValue", 0), QStringLiteral("25.00"));
    QCOMPARE(tool.text(u"txtValue", 1), QStringLiteral("60.00"));
    QCOMPARE(tool.text(u"txtValue", 4), QStringLiteral("9600"));
    QCOMPARE(tool.text(u"lblErrCounter"), QStringLiteral("1"));
    QCOMPARE(tool.window.form().frontLamp(), Lamp::Connected);
    QTRY_COMPARE(tool.logColumn(LogColumn::Length).size(), 2);
    QCOMPARE(tool.logColumn(LogColumn::Length).first(), QString::number(requestLength));
    QCOMPARE(tool.logColumn(LogColumn::Verdict).last(), QStringLiteral("正常"));

    tool.form().form().controls.setText(u"txtTimerSet", QStringLiteral("60"));
    tool.click(u"cmdOneM");
    QTRY_VERIFY_WITH_TIMEOUT(tool.text(u"lblErrCounter").toInt() >= 4, 5000);
    tool.click(u"cmdStopOnce");
    QTRY_COMPARE(tool.text(u"lblErrCounter"), tool.text(u"lblCounter"));
    // Every good reply is in the log: the single one and those of the polling,
    // whose count started at 1.
    QTRY_COMPARE(tool.logColumn(LogColumn::Verdict).count(QStringLiteral("正常")), tool.text(u"lblErrCounter").toInt());
    QVERIFY(tool.messages.shown.isEmpty());

    // The next time the dialog starts from what was typed.
    NetworkConnectDialog* again = tool.openDialog();
    QVERIFY(again);
    QCOMPARE(again->address().framing, serves == QStringLiteral("--tcp") ? Framing::Rtu : Framing::Mbap);
    QCOMPARE(again->address().host, QStringLiteral("127.0.0.1"));
    QCOMPARE(QString::number(again->address().port), gateway.devicePath().section(QLatin1Char(':'), 1));
    again->reject();
}

void tst_GatewayWindow::lostConnectionIsToldOnceAndPollingStops()
{
    auto gateway = std::make_unique<SimProcess>(QStringList{QStringLiteral("--tcp"), QStringLiteral("0")});
    QVERIFY(gateway->isRunning());
    const QString address = gateway->devicePath();
    Tool tool;
    tool.connect(QStringLiteral("RTU over TCP"), address);
    tool.form().form().controls.setText(u"txtTimerSet", QStringLiteral("50"));
    tool.click(u"cmdOneM");
    QTRY_VERIFY_WITH_TIMEOUT(tool.text(u"lblErrCounter").toInt() >= 2, 5000);

    gateway.reset(); // the gateway goes away

    QTRY_COMPARE_WITH_TIMEOUT(tool.messages.shown.size(), 1, 5000);
    QCOMPARE(tool.messages.shown.first().text, QStringLiteral("与 %1 的网络连接已断开").arg(address));
    QCOMPARE(tool.window.form().frontLamp(), Lamp::NotConnected);
    QVERIFY(!tool.form().variables().CycleOn);
    QTRY_COMPARE(tool.logColumn(LogColumn::Meaning).last(), QStringLiteral("网络连接已断开"));
    QVERIFY(tool.window.findChild<ExchangeStatus*>()->text().contains(QStringLiteral("网络连接已断开")));
    // Polling ticks on and sends nothing, and no tick adds a message.
    const QString sent = tool.text(u"lblCounter");
    QSignalSpy ticks(&tool.form().pollTimer(), &QTimer::timeout);
    for (int tick = 0; tick < 5 && tool.form().pollTimer().isActive(); ++tick)
        QVERIFY(ticks.wait(1000));
    QCOMPARE(tool.text(u"lblCounter"), sent);
    QCOMPARE(tool.messages.shown.size(), 1);
}

void tst_GatewayWindow::portListGoesBackAndForth()
{
    SimProcess gateway({QStringLiteral("--modbus-tcp"), QStringLiteral("0")});
    QVERIFY(gateway.isRunning());
    Tool tool;
    tool.connect(QStringLiteral("Modbus TCP"), gateway.devicePath());
    QVERIFY(tool.form().line().onNetwork());

    // COM1 chosen: the serial port again, the request on its line.
    tool.ports().chooseText(QStringLiteral("COM1"));
    QVERIFY(tool.form().serialPort().portOpen());
    QVERIFY(!tool.form().line().onNetwork());
    QVERIFY(tool.form().controls().get<PickList>(u"Combo2")->toolTip().isEmpty());
    tool.click(u"comDoOnce");
    QCOMPARE(tool.com1Line.receive(8).size(), 8);

    // The connection's entry chosen: connected again.
    tool.ports().choose(tool.ports().count() - 1);
    QVERIFY(tool.form().line().onNetwork());
    QVERIFY(!tool.form().serialPort().portOpen());
    tool.click(u"comDoOnce");
    QTRY_COMPARE(tool.text(u"txtValue", 0), QStringLiteral("25.00"));
    QVERIFY(tool.com1Line.drain().isEmpty());

    // The baud list leaves the connection alone; "设置" of the rate still
    // writes the sensor's and says the gateway must follow.
    tool.form().controls().get<PickList>(u"Combo2")->chooseText(QStringLiteral("19200"));
    QVERIFY(tool.form().line().isOpen());
    tool.form().form().controls.setText(u"txtValue", 4, QStringLiteral("19200"));
    tool.click(u"cmdSet", 2);
    QCOMPARE(tool.messages.shown.size(), 1);
    QVERIFY(tool.messages.shown.first().text.contains(QStringLiteral("网关串口一侧的波特率须随之在网关上改为 19200")));
    QTRY_COMPARE(tool.logColumn(LogColumn::Verdict).last(), QStringLiteral("正常"));
    tool.messages.shown.clear();

    // A gateway that is not there: said why, and the line in use stays.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const QString nowhere = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    tool.ports().chooseText(QStringLiteral("COM1"));
    tool.connect(QStringLiteral("RTU over TCP"), nowhere);
    QCOMPARE(tool.messages.shown.size(), 1);
    QVERIFY(tool.messages.shown.first().text.startsWith(nowhere + QStringLiteral(" 拒绝连接")));
    QVERIFY(tool.form().serialPort().portOpen());
    QCOMPARE(tool.window.form().frontLamp(), Lamp::Connected);
}

QTEST_MAIN(tst_GatewayWindow)
#include "tst_gateway_window.moc"

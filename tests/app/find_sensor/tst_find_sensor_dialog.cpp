#include "app/find_sensor/find_sensor_dialog.h"
#include "app/find_sensor/window_line.h"
#include "app/main_window.h"
#include "app/overview/overview_window.h"
#include "app/pick_list.h"
#include "app/tool_window.h"
#include "app/traffic_log/traffic_log_window.h"
#include "message_recorder.h"
#include "pty_pair.h"
#include "serial/comm_port.h"
#include "sim_process.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kv;
using namespace kv::test;

namespace {

constexpr int SweepMs = 60000;

// The tool's window with COM1 on the line given, open at 9600 as after
// start-up, and the search opened from it with Ctrl+F.
struct Bench {
    explicit Bench(const QString& com1Device)
        : com1(1, com1Device)
    {
        window.load();
        window.show();
        QApplication::setActiveWindow(&window);
    }

    FindSensorDialog* openSearch()
    {
        QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
        FindSensorDialog* dialog = window.findSensor();
        if (dialog && !QTest::qWaitForWindowActive(dialog))
            return nullptr;
        return dialog;
    }

    template <typename T = QWidget>
    T* child(const char* name) const
    {
        return window.findSensor()->findChild<T*>(QLatin1String(name));
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    // Each port, rate and box ticked exactly when it is named, toggled with Space as a user would.
    void tickOnly(const QStringList& devices, const QList<int>& rates, bool scan = false)
    {
        auto* ports = child<QListWidget>("portList");
        ports->setFocus();
        QTest::keyClick(ports, Qt::Key_Home);
        for (int row = 0; row < ports->count(); ++row) {
            const bool wanted = devices.contains(ports->item(row)->data(Qt::UserRole).toString());
            if ((ports->item(row)->checkState() == Qt::Checked) != wanted)
                QTest::keyClick(ports, Qt::Key_Space);
            QTest::keyClick(ports, Qt::Key_Down);
        }
        for (int rate : {2400, 4800, 9600, 19200}) {
            auto* box = child<QCheckBox>(QStringLiteral("rate%1").arg(rate).toLatin1());
            if (box->isChecked() != rates.contains(rate))
                QTest::keyClick(box, Qt::Key_Space);
        }
        if (child<QCheckBox>("scanStations")->isChecked() != scan)
            QTest::keyClick(child<QCheckBox>("scanStations"), Qt::Key_Space);
    }
    bool searchEnded() const { return child<QPushButton>("startButton")->isEnabled(); }
    // The rows of the table as shown: port, rate, station, temperature, humidity.
    QStringList rows() const
    {
        QStringList shown;
        const QAbstractItemModel* model = child<QTableView>("foundTable")->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int column : {0, 2, 3, 4, 5})
                cells << model->index(row, column).data().toString();
            shown << cells.join(QLatin1Char(' '));
        }
        return shown;
    }
    QString notes() const { return child<QPlainTextEdit>("notes")->toPlainText(); }
    QString form(QStringView name, int index = -1) { return window.form().controls().text(name, index); }

    MessageRecorder messages;
    PortWiring com1;
    ToolWindow window;
};

// A window that keeps, in order, what the dialog asks of it.
class RecordingWindow : public WindowLine {
public:
    int portCount() const override { return 2; }
    int portNumber() const override { return 1; }
    ReleasedLine releaseLine() override
    {
        asked << QStringLiteral("release");
        held = true;
        return {true, true};
    }
    bool lineHeld() const override { return held; }
    QString restoreLine() override
    {
        asked << QStringLiteral("restore");
        held = false;
        return {};
    }
    void choosePort(int number) override { asked << QStringLiteral("port %1").arg(number); }
    void chooseRate(int baudRate) override { asked << QStringLiteral("rate %1").arg(baudRate); }
    void chooseStation(int station) override { asked << QStringLiteral("station %1").arg(station); }

    QStringList asked;
    bool held = false;
};

} // namespace

class tst_FindSensorDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        // The overview remembers its sensors: never in the user's own settings.
        QVERIFY(m_settings.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_settings.path()));
    }
    void offersEveryPortAndRate();
    void findsEverySensorAndNothingElse();
    void faultyLines_data();
    void faultyLines();
    void useSetsUpTheWindowForASingleShot_data();
    void useSetsUpTheWindowForASingleShot();
    void lostPortIsSaidSo();
    void stopEndsTheSearchAtOnce_data();
    void stopEndsTheSearchAtOnce();
    void windowLineBackAsItWas_data();
    void windowLineBackAsItWas();
    void worksForAnyWindowThroughItsLine();

private:
    QTemporaryDir m_settings;
};

void tst_FindSensorDialog::offersEveryPortAndRate()
{
    PtyPair line;
    PortWiring com2(2, QStringLiteral("/dev/kv9240b-no-such-device")); // a port whose device is gone is still listed
    Bench bench(line.slavePath());
    FindSensorDialog* dialog = bench.openSearch();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("查找传感器"));
    QVERIFY(dialog->isModal());

    // Each port with a device, in the port list's words, ticked.
    auto* ports = bench.child<QListWidget>("portList");
    auto* combo1 = bench.window.form().controls().get<PickList>(u"Combo1");
    QVERIFY(ports->count() >= 2);
    QCOMPARE(ports->item(0)->text(), combo1->itemData(0, Qt::ToolTipRole).toString());
    QCOMPARE(ports->item(1)->text(), combo1->itemData(1, Qt::ToolTipRole).toString());
    QVERIFY(ports->item(0)->text().contains(line.slavePath()));
    for (int row = 0; row < ports->count(); ++row)
        QCOMPARE(ports->item(row)->checkState(), Qt::Checked);
    for (int rate : {2400, 4800, 9600, 19200})
        QVERIFY(bench.child<QCheckBox>(QStringLiteral("rate%1").arg(rate).toLatin1())->isChecked());
    QCOMPARE(bench.child<QCheckBox>("scanStations")->text(), QStringLiteral("逐个地址扫描 (1-247)"));
    QVERIFY(!bench.child<QCheckBox>("scanStations")->isChecked());
    QVERIFY(bench.child<QPushButton>("startButton")->isEnabled());
    QVERIFY(bench.child<QPushButton>("startButton")->hasFocus());
    QVERIFY(!bench.child<QPushButton>("stopButton")->isEnabled());
    QVERIFY(!bench.child<QPushButton>("useButton")->isEnabled());

    // Nothing to try, nothing to start.
    bench.tickOnly({}, {2400});
    QVERIFY(!bench.child<QPushButton>("startButton")->isEnabled());
    bench.tickOnly({line.slavePath()}, {});
    QVERIFY(!bench.child<QPushButton>("startButton")->isEnabled());
    bench.tickOnly({line.slavePath()}, {9600});
    QVERIFY(bench.child<QPushButton>("startButton")->isEnabled());
    QVERIFY(bench.messages.shown.isEmpty());
}

void tst_FindSensorDialog::findsEverySensorAndNothingElse()
{
    // Two sensors sharing COM1 at 19200 (their answers to 250 collide), one
    // alone on COM2 at 4800, nothing on COM3.
    SimProcess shared({"--station", "3,9", "--baud", "19200"});
    SimProcess alone({"--station", "42", "--baud", "4800", "--temperature", "21.5", "--humidity", "48.25"});
    PtyPair silent;
    QVERIFY(shared.isRunning() && alone.isRunning());
    PortWiring com2(2, alone.devicePath());
    PortWiring com3(3, silent.slavePath());
    Bench bench(shared.devicePath());
    QVERIFY(bench.openSearch());
    bench.tickOnly({shared.devicePath(), alone.devicePath(), silent.slavePath()}, {2400, 4800, 9600, 19200});

    bench.click("startButton");
    // A sensor appears as soon as it is found, while the scan goes on.
    QTRY_COMPARE_WITH_TIMEOUT(bench.rows().size(), 1, 10000);
    QVERIFY(!bench.searchEnded());
    QVERIFY(bench.child<QPushButton>("stopButton")->isEnabled());
    QTRY_VERIFY(bench.child<QLabel>("tryingLabel")->text().startsWith(QStringLiteral("COM1 · 19200 · 站号 ")));
    QVERIFY(bench.child<QProgressBar>("progressBar")->value() > 0);
    QVERIFY(bench.notes().contains(QStringLiteral("COM1 · 19200：多个传感器同时应答，正在逐个地址扫描")));
    QTRY_VERIFY_WITH_TIMEOUT(bench.searchEnded(), SweepMs);

    QCOMPARE(bench.rows(),
        (QStringList{"COM1 19200 3 25.00 60.00", "COM1 19200 9 26.00 62.00", "COM2 4800 42 21.50 48.25"}));
    QCOMPARE(bench.child<QLabel>("tryingLabel")->text(), QStringLiteral("找到 3 个传感器"));
    QVERIFY(bench.child<QLabel>("elapsedLabel")->text().startsWith(QStringLiteral("用时 ")));
    auto* bar = bench.child<QProgressBar>("progressBar");
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(!bench.notes().contains(QStringLiteral("无法")));
    // The port where nothing answered at all is named, in the order tried.
    QVERIFY2(bench.notes().contains(QStringLiteral("COM3：9600, 19200, 4800, 2400 波特率下均无应答")),
        qPrintable(bench.notes()));
    QCOMPARE(bench.notes().count(QStringLiteral("均无应答")), 1);
    QVERIFY(bench.messages.shown.isEmpty());

    // What the search found goes into the overview, each sensor at its port and rate.
    bench.click("addAllToOverviewButton");
    QVERIFY(bench.window.overview());
    QStringList listed;
    for (const OverviewSensor& sensor : bench.window.overview()->sensors())
        listed << QStringLiteral("COM%1 %2 %3").arg(sensor.port).arg(sensor.baudRate).arg(sensor.station);
    QCOMPARE(listed, (QStringList{"COM1 19200 3", "COM1 19200 9", "COM2 4800 42"}));
}

void tst_FindSensorDialog::lostPortIsSaidSo()
{
    PtyPair line;
    PtyPair com1Line;
    PortWiring com2(2, line.slavePath());
    Bench bench(com1Line.slavePath());
    QVERIFY(bench.openSearch());
    bench.tickOnly({line.slavePath()}, {9600, 19200});
    bench.click("startButton");
    QCOMPARE(line.receive(8).size(), 8);
    line.hangUp(); // the adapter pulled out while station 250 is asked
    QTRY_VERIFY_WITH_TIMEOUT(bench.searchEnded(), 5000);
    QVERIFY2(bench.notes().contains(QStringLiteral("COM2 在查找中断开：设备出错或已拔出，查找继续其余串口")),
        qPrintable(bench.notes()));
    QVERIFY(!bench.notes().contains(QStringLiteral("无法打开")));
    QVERIFY(!bench.notes().contains(QStringLiteral("均无应答")));
}

void tst_FindSensorDialog::faultyLines_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("notes");
    QTest::newRow("every reply garbled")
        << "bad-crc:1" << QStringList{} << "未找到传感器"
        << QStringList{"COM1 · 19200：多个传感器同时应答，正在逐个地址扫描",
               "COM1 · 19200 · 站号 7 的应答无法识别（bad-crc），可能有两个传感器使用同一站号"};
    QTest::newRow("every reply trailed by noise")
        << "extra-bytes:1" << QStringList{"COM1 19200 7 25.00 60.00"} << "找到 1 个传感器" << QStringList{};
    QTest::newRow("no reply at all") << "no-reply:1" << QStringList{} << "未找到传感器" << QStringList{};
}

void tst_FindSensorDialog::faultyLines()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, rows);
    QFETCH(QString, label);
    QFETCH(QStringList, notes);
    SimProcess sim({"--station", "7", "--baud", "19200", "--fault", fault});
    QVERIFY(sim.isRunning());
    Bench bench(sim.devicePath());
    QVERIFY(bench.openSearch());
    bench.tickOnly({sim.devicePath()}, {19200});

    bench.click("startButton");
    QTRY_VERIFY_WITH_TIMEOUT(bench.searchEnded(), SweepMs);

    QCOMPARE(bench.rows(), rows);
    QCOMPARE(bench.child<QLabel>("tryingLabel")->text(), label);
    for (const QString& line : notes)
        QVERIFY2(bench.notes().contains(line), qPrintable(bench.notes()));
    if (notes.isEmpty())
        QVERIFY(!bench.notes().contains(QStringLiteral("多个传感器")));
}

void tst_FindSensorDialog::useSetsUpTheWindowForASingleShot_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("click the row, then 使用") << "click";
    QTest::newRow("double-click the row") << "double-click";
    QTest::newRow("arrow down to the row, Enter") << "keyboard";
}

void tst_FindSensorDialog::useSetsUpTheWindowForASingleShot()
{
    QFETCH(QString, how);
    PtyPair nothing; // the window starts on COM1, where no sensor is
    SimProcess sim({"--station", "42", "--baud", "4800", "--temperature", "21.5", "--humidity", "48.25"});
    QVERIFY(sim.isRunning());
    PortWiring com2(2, sim.devicePath());
    Bench bench(nothing.slavePath());
    QVERIFY(bench.openSearch());
    bench.tickOnly({sim.devicePath()}, {2400, 4800, 9600, 19200});
    bench.click("startButton");
    QTRY_VERIFY_WITH_TIMEOUT(bench.searchEnded(), SweepMs);
    QCOMPARE(bench.rows(), QStringList{"COM2 4800 42 21.50 48.25"});

    auto* table = bench.child<QTableView>("foundTable");
    const QPoint row = table->visualRect(table->model()->index(0, 1)).center();
    if (how == "click") {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row);
        bench.click("useButton");
    } else if (how == "double-click") {
        // A double click begins as a click.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, row);
    } else {
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Down);
        QTest::keyClick(table, Qt::Key_Return);
    }
    QTRY_VERIFY(!bench.window.findSensor());

    // Set up as by hand: the port and rate chosen, the station typed.
    QCOMPARE(bench.form(u"Combo1"), QStringLiteral("COM2"));
    QCOMPARE(bench.form(u"Combo2"), QStringLiteral("4800"));
    QCOMPARE(bench.form(u"txtStationID"), QStringLiteral("42"));
    QTest::mouseClick(bench.window.form().controls().get<QPushButton>(u"comDoOnce"), Qt::LeftButton);
    QTRY_COMPARE(bench.form(u"txtValue", 0), QStringLiteral("21.50"));
    QCOMPARE(bench.form(u"txtValue", 1), QStringLiteral("48.25"));
    QCOMPARE(bench.form(u"txtValue", 4), QStringLiteral("4800"));
    QCOMPARE(bench.window.form().frontLamp(), Lamp::Connected);
    QVERIFY(bench.messages.shown.isEmpty());
}

void tst_FindSensorDialog::stopEndsTheSearchAtOnce_data()
{
    QTest::addColumn<bool>("closeDialog");
    QTest::newRow("停止") << false;
    QTest::newRow("Escape closes the dialog") << true;
}

void tst_FindSensorDialog::stopEndsTheSearchAtOnce()
{
    QFETCH(bool, closeDialog);
    PtyPair line; // silent: the scan asks all 247 stations
    PtyPair com1Line;
    PortWiring com2(2, line.slavePath());
    Bench bench(com1Line.slavePath());
    QVERIFY(bench.openSearch());
    bench.tickOnly({line.slavePath()}, {9600}, true);
    bench.click("startButton");
    QTRY_VERIFY_WITH_TIMEOUT(bench.child<QLabel>("tryingLabel")->text().endsWith(QStringLiteral("站号 3")), 5000);
    QVERIFY(bench.child<QPushButton>("stopButton")->hasFocus());

    if (closeDialog) {
        QTest::keyClick(bench.child<QPushButton>("stopButton"), Qt::Key_Escape);
        QTRY_VERIFY(!bench.window.findSensor());
    } else {
        QTest::keyClick(bench.child<QPushButton>("stopButton"), Qt::Key_Space);
        // Ended before the click returns.
        QVERIFY(bench.searchEnded());
        QCOMPARE(bench.child<QLabel>("tryingLabel")->text(), QStringLiteral("已停止，找到 0 个传感器"));
        QVERIFY(!bench.child<QPushButton>("stopButton")->isEnabled());
    }
    // What was sent up to now, then nothing more.
    QVERIFY(!line.drain(50).isEmpty());
    QTest::qWait(300);
    QCOMPARE(line.drain(50), QByteArray());
    QVERIFY(bench.window.form().serialPort().portOpen());
}

void tst_FindSensorDialog::windowLineBackAsItWas_data()
{
    QTest::addColumn<bool>("polling");
    QTest::addColumn<bool>("closedFirst");
    QTest::newRow("open and polling") << true << false;
    QTest::newRow("open, idle") << false << false;
    QTest::newRow("closed") << false << true;
}

void tst_FindSensorDialog::windowLineBackAsItWas()
{
    QFETCH(bool, polling);
    QFETCH(bool, closedFirst);
    SimProcess sim({"--station", "1"});
    QVERIFY(sim.isRunning());
    Bench bench(sim.devicePath());
    Form& form = bench.window.form().form();
    auto press = [&](QStringView button) { QTest::mouseClick(form.controls.get<QPushButton>(button), Qt::LeftButton); };
    if (closedFirst)
        press(u"Command1");
    if (polling) {
        press(u"cmdOneM");
        QTRY_VERIFY(bench.form(u"lblErrCounter").toInt() >= 2);
    }
    const QString settings = form.MSComm1.settings();
    const Lamp lamp = bench.window.form().frontLamp();

    QVERIFY(bench.openSearch());
    bench.tickOnly({sim.devicePath()}, {9600, 19200});
    bench.click("startButton");
    // The form's port is closed while the search has the line: else the
    // sensor's device would be busy.
    QVERIFY(!bench.searchEnded());
    QVERIFY(!form.MSComm1.portOpen());
    QCOMPARE(bench.window.form().frontLamp(), Lamp::NotConnected);
    QTRY_VERIFY_WITH_TIMEOUT(bench.searchEnded(), SweepMs);
    QCOMPARE(bench.rows(), QStringList{"COM1 9600 1 25.00 60.00"});
    QCOMPARE(bench.notes().contains(QStringLiteral("已停止主窗口的循环采集")), polling);
    QCOMPARE(bench.notes().contains(QStringLiteral("COM1 已重新打开")), !closedFirst);
    bench.click("closeButton");
    QTRY_VERIFY(!bench.window.findSensor());

    // The window's traffic log shows the search's frames beside its own.
    bench.window.findChild<QAction*>("actionTrafficLog")->trigger();
    QVERIFY(bench.window.trafficLog());
    const QAbstractItemModel* log = bench.window.trafficLog()->findChild<QTableView*>("trafficTable")->model();
    QStringList logged;
    for (int row = 0; row < log->rowCount(); ++row)
        logged << log->index(row, 4).data().toString();
    QVERIFY2(logged.contains(QStringLiteral("FA 03 00 00 00 01 91 81")), qPrintable(logged.join('\n')));
    QVERIFY(logged.contains(QStringLiteral("01 03 00 00 00 05 85 C9")));
    bench.window.trafficLog()->close();

    QCOMPARE(form.MSComm1.portOpen(), !closedFirst);
    QCOMPARE(form.MSComm1.commPort(), 1);
    QCOMPARE(form.MSComm1.settings(), settings);
    QCOMPARE(bench.form(u"Combo1"), QStringLiteral("COM1"));
    QVERIFY(!form.Timer2.isActive()); // polling stays stopped, as the dialog said
    if (!polling)                     // polling leaves the lamp yellow or green, as the search found it
        QCOMPARE(bench.window.form().frontLamp(), lamp);
    if (!closedFirst) {
        const QString replies = bench.form(u"lblErrCounter");
        press(u"comDoOnce");
        QTRY_COMPARE(bench.form(u"txtValue", 0), QStringLiteral("25.00"));
        QTRY_VERIFY(bench.form(u"lblErrCounter") != replies);
    }
    QVERIFY(bench.messages.shown.isEmpty());
}

void tst_FindSensorDialog::worksForAnyWindowThroughItsLine()
{
    // The dialog asks the window only through WindowLine: the line lent for
    // the search and given back, then port, rate and station in that order
    // (choosing the port opens it; the rate then reopens it at that rate).
    PtyPair nothing;
    SimProcess sim({"--station", "42", "--baud", "4800"});
    QVERIFY(sim.isRunning());
    PortWiring com1(1, nothing.slavePath());
    PortWiring com2(2, sim.devicePath());
    RecordingWindow window;
    FindSensorDialog dialog(window);
    dialog.show();
    auto* ports = dialog.findChild<QListWidget*>(QStringLiteral("portList"));
    QCOMPARE(ports->count(), 2);
    ports->item(0)->setCheckState(Qt::Unchecked);
    for (int rate : {2400, 9600, 19200})
        dialog.findChild<QCheckBox*>(QStringLiteral("rate%1").arg(rate))->setChecked(false);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("startButton")), Qt::LeftButton);
    QCOMPARE(window.asked, QStringList{"release"});
    QTRY_COMPARE_WITH_TIMEOUT(window.asked, (QStringList{"release", "restore"}), SweepMs);
    const QString notes = dialog.findChild<QPlainTextEdit*>(QStringLiteral("notes"))->toPlainText();
    QVERIFY2(notes.contains(QStringLiteral("已停止主窗口的循环采集")), qPrintable(notes));
    QVERIFY2(notes.contains(QStringLiteral("COM1 已重新打开")), qPrintable(notes));

    auto* table = dialog.findChild<QTableView*>(QStringLiteral("foundTable"));
    QCOMPARE(table->model()->rowCount(), 1);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(0, 1)).center());
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("useButton")), Qt::LeftButton);
    QCOMPARE(window.asked, (QStringList{"release", "restore", "port 2", "rate 4800", "station 42"}));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

QTEST_MAIN(tst_FindSensorDialog)
#include "tst_find_sensor_dialog.moc"

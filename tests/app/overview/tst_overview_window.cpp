// The overview as a user drives it: sensors added through its dialog, limits
// set on a chosen row, polling started, against a simulated bus of three
// sensors and one station nobody answers for; the list kept for next time.
#include "app/control_set.h"
#include "app/file_dialog.h"
#include "app/main_window.h"
#include "app/overview/overview_window.h"
#include "app/pick_list.h"
#include "app/tool_window.h"
#include "message_recorder.h"
#include "pty_pair.h"
#include "session/reading_history.h"
#include "session/sensor_readings.h"
#include "sim_process.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kv;
using namespace kv::test;

namespace {

using enum OverviewWindow::Column;

// Answers the next modal dialog: `fill` sets its boxes, then OK is pressed.
void answerNextDialog(const std::function<void(QDialog&)>& fill)
{
    QTimer::singleShot(0, [fill] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        fill(*dialog);
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
}

void click(QWidget& window, const char* name)
{
    window.findChild<QPushButton*>(QLatin1String(name))->click();
}

QString cell(const QTableWidget& table, int row, int column)
{
    return table.item(row, column) ? table.item(row, column)->text() : QString();
}

bool red(const QTableWidget& table, int row, int column)
{
    return table.item(row, column)->foreground().color() == QColor(200, 0, 0);
}

// The tool's overview, opened, without the sensors the tests before it kept.
OverviewWindow& emptyOverview(ToolWindow& tool)
{
    tool.showOverview();
    OverviewWindow& overview = *tool.overview();
    overview.findChild<QTableWidget*>(QStringLiteral("tblOverview"))->selectAll();
    click(overview, "cmdOverviewRemove");
    return overview;
}

} // namespace

class tst_OverviewWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QLocale::setDefault(QLocale::c());
    }
    void busWithASilentStationAndABreach();
    void keptListComesBack();
    void sharesTheWindowsLine();
    void rowKeepsItsPortWhenTheWindowMoves();

private:
    QTemporaryDir m_config;
};

void tst_OverviewWindow::busWithASilentStationAndABreach()
{
    SimProcess sim({QStringLiteral("--station"), QStringLiteral("1,2,7")});
    QVERIFY(sim.isRunning());
    PortWiring com2(2, sim.devicePath());
    MessageRecorder messages;
    OverviewWindow window([](int) { return nullptr; });
    window.show();
    auto* table = window.findChild<QTableWidget*>(QStringLiteral("tblOverview"));

    answerNextDialog([](QDialog& dialog) {
        dialog.findChild<QComboBox*>(QStringLiteral("cboAddPort"))->setCurrentText(QStringLiteral("COM2"));
        dialog.findChild<QLineEdit*>(QStringLiteral("txtAddStations"))->setText(QStringLiteral("1,2,7,9"));
    });
    click(window, "cmdOverviewAdd");
    QCOMPARE(table->rowCount(), 4);
    QCOMPARE(cell(*table, 1, Name), QStringLiteral("COM2 站 2"));

    // Station 2 may be at most 20 degrees: the simulator's 25 are too warm.
    table->selectRow(1);
    answerNextDialog([](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("txtTemperatureHigh"))->setText(QStringLiteral("20"));
    });
    click(window, "cmdOverviewLimits");

    // Faster than four sensors can be asked on the wire: refused, with the figure.
    window.findChild<QLineEdit*>(QStringLiteral("txtOverviewPeriod"))->setText(QStringLiteral("20"));
    click(window, "cmdOverviewStart");
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY2(
        messages.shown.first().text.contains(QStringLiteral("一轮至少需要")), qPrintable(messages.shown.first().text));
    QVERIFY(!window.polling());

    QSignalSpy taken(&window, &OverviewWindow::readingTaken);
    window.findChild<QLineEdit*>(QStringLiteral("txtOverviewPeriod"))->setText(QStringLiteral("400"));
    click(window, "cmdOverviewStart");
    QVERIFY(window.polling());
    // Two rounds: every sensor read twice, the silent one included.
    QTRY_VERIFY_WITH_TIMEOUT(window.sensors().at(3).exchanges >= 2 && window.sensors().at(0).exchanges >= 2, 5000);
    click(window, "cmdOverviewStop");

    // Each sensor's own values (the simulator's sensor i reads 25 + i degrees, 60 + 2i %RH).
    for (const auto& [row, temperature, humidity] :
        {std::tuple{0, "25.00", "60.00"}, std::tuple{2, "27.00", "64.00"}}) {
        QCOMPARE(cell(*table, row, Temperature), QLatin1String(temperature));
        QCOMPARE(cell(*table, row, Humidity), QLatin1String(humidity));
        QCOMPARE(cell(*table, row, Result), QStringLiteral("正常"));
        QVERIFY(!red(*table, row, Temperature));
    }
    QCOMPARE(cell(*table, 1, Temperature), QStringLiteral("26.00"));
    QVERIFY(cell(*table, 1, Result).startsWith(QStringLiteral("超出限值")));
    QVERIFY(red(*table, 1, Temperature));
    QVERIFY(cell(*table, 1, Breaches).toInt() >= 2);
    QVERIFY2(cell(*table, 3, Result).startsWith(QStringLiteral("无应答")), qPrintable(cell(*table, 3, Result)));
    QVERIFY(red(*table, 3, Name));
    QCOMPARE(cell(*table, 3, Share), QStringLiteral("0.0 %"));
    QCOMPARE(cell(*table, 0, Share), QStringLiteral("100.0 %"));
    // Every exchange reaches whoever charts or records them, with its port.
    QVERIFY(taken.size() >= 8);
    QCOMPARE(taken.first().at(1).toString(), QStringLiteral("COM2"));
    // The simulator heard each station asked, in turn.
    QVERIFY(sim.lines(QStringLiteral("RX")).size() >= 8);
}

void tst_OverviewWindow::keptListComesBack()
{
    // The first test's window kept its list when it went; a new one shows it.
    OverviewWindow window([](int) { return nullptr; });
    const QList<OverviewSensor>& sensors = window.sensors();
    QCOMPARE(sensors.size(), 4);
    QCOMPARE(sensors.at(3).station, std::uint8_t(9));
    QCOMPARE(sensors.at(1).limits.temperatureHigh, std::optional<double>(20));
    QVERIFY(!sensors.at(0).limits.temperatureHigh);
    QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("txtOverviewPeriod"))->text(), QStringLiteral("400"));

    // Handed to a colleague as a file and taken in again elsewhere.
    const QString file = m_config.filePath(QStringLiteral("bus.json"));
    FileDialog::setChooser([&](const FileDialog::SaveQuestion&) { return FileDialog::SaveAnswer{file, {}}; });
    click(window, "cmdOverviewExport");
    QVERIFY(QFile::exists(file));
    {
        QFile other(m_config.filePath(QStringLiteral("other.json")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("{\"sensors\": []}");
    }
    FileDialog::setChooser([&](const FileDialog::SaveQuestion&) {
        return FileDialog::SaveAnswer{m_config.filePath(QStringLiteral("other.json")), {}};
    });
    MessageRecorder messages;
    click(window, "cmdOverviewImport"); // not a list of ours: refused, the list stays
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(window.sensors().size(), 4);
    {
        OverviewWindow elsewhere([](int) { return nullptr; });
        FileDialog::setChooser([&](const FileDialog::SaveQuestion&) { return FileDialog::SaveAnswer{file, {}}; });
        auto* table = elsewhere.findChild<QTableWidget*>(QStringLiteral("tblOverview"));
        table->selectAll();
        click(elsewhere, "cmdOverviewRemove");
        QVERIFY(elsewhere.sensors().isEmpty());
        click(elsewhere, "cmdOverviewImport");
        QCOMPARE(elsewhere.sensors().size(), 4);
        QCOMPARE(elsewhere.sensors().at(1).limits.temperatureHigh, std::optional<double>(20));
    }
    FileDialog::setChooser({});

    // Removing a chosen row is kept too.
    auto* table = window.findChild<QTableWidget*>(QStringLiteral("tblOverview"));
    table->selectRow(0);
    click(window, "cmdOverviewRemove");
    OverviewWindow again([](int) { return nullptr; });
    QCOMPARE(again.sensors().size(), 3);
    QCOMPARE(again.sensors().first().station, std::uint8_t(2));
}

// The window polls its sensor while the overview polls the same line and a
// sensor on another port: on the shared line the two take turns, and no
// reply is lost to a collision; every sensor has its curves in the chart.
void tst_OverviewWindow::sharesTheWindowsLine()
{
    SimProcess bus({QStringLiteral("--station"), QStringLiteral("1,2,7")});
    SimProcess other(
        {QStringLiteral("--station"), QStringLiteral("42"), QStringLiteral("--baud"), QStringLiteral("19200")});
    QVERIFY(bus.isRunning() && other.isRunning());
    PortWiring com1(1, bus.devicePath());
    PortWiring com3(3, other.devicePath());
    MessageRecorder messages;
    ToolWindow tool;
    tool.load();
    frmMain& form = tool.form();
    form.form().controls.setText(u"txtTimerSet", QStringLiteral("100"));
    OverviewWindow& overview = emptyOverview(tool);
    overview.addSensors(1, 9600, {1, 2, 7});
    overview.addSensors(3, 19200, {42});
    overview.findChild<QLineEdit*>(QStringLiteral("txtOverviewPeriod"))->setText(QStringLiteral("200"));

    form.controls().get<QPushButton>(u"cmdOneM")->click();
    click(overview, "cmdOverviewStart");
    QTRY_VERIFY_WITH_TIMEOUT(overview.sensors().at(3).exchanges >= 8, 8000);
    form.controls().get<QPushButton>(u"cmdStopOnce")->click();
    click(overview, "cmdOverviewStop");

    for (const OverviewSensor& sensor : overview.sensors())
        QCOMPARE(sensor.sound, sensor.exchanges);
    const int asked = form.controls().text(u"lblCounter").toInt();
    QVERIFY(asked >= 8);
    // The window's replies: one short at most, the query still out when it stopped.
    QVERIFY(form.controls().text(u"lblErrCounter").toInt() >= asked - 1);
    QVERIFY(messages.shown.isEmpty());

    QStringList charted;
    for (const SensorReadings& sensor : tool.readings().sensors())
        charted << QStringLiteral("%1 %2").arg(sensor.id().port).arg(sensor.id().station);
    charted.sort();
    QCOMPARE(charted, (QStringList{"COM1 1", "COM1 2", "COM1 7", "COM3 42"}));
}

// The window goes to another port while the overview reads a row of the
// port it left: that row is read on its own port, never through the window's
// line to the other one.
void tst_OverviewWindow::rowKeepsItsPortWhenTheWindowMoves()
{
    SimProcess first({QStringLiteral("--temperature"), QStringLiteral("25")});
    SimProcess second({QStringLiteral("--temperature"), QStringLiteral("30")});
    QVERIFY(first.isRunning() && second.isRunning());
    PortWiring com1(1, first.devicePath());
    PortWiring com2(2, second.devicePath());
    MessageRecorder messages;
    ToolWindow tool;
    tool.load();
    OverviewWindow& overview = emptyOverview(tool);
    overview.addSensors(1, 9600, {1});
    overview.findChild<QLineEdit*>(QStringLiteral("txtOverviewPeriod"))->setText(QStringLiteral("100"));
    click(overview, "cmdOverviewStart");
    QTRY_VERIFY(overview.sensors().at(0).sound >= 2);

    tool.form().controls().get<PickList>(u"Combo1")->choose(1); // COM2
    const qint64 before = overview.sensors().at(0).exchanges;
    QTRY_VERIFY(overview.sensors().at(0).exchanges >= before + 5);
    click(overview, "cmdOverviewStop");
    QCOMPARE(overview.sensors().at(0).maxTemperature, std::optional<double>(25.0));
    QCOMPARE(overview.sensors().at(0).sound, overview.sensors().at(0).exchanges);
}

QTEST_MAIN(tst_OverviewWindow)
#include "tst_overview_window.moc"

#include "app/main_window.h"
#include "message_recorder.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

// The real window, shown and active, polling the simulated sensor every 50 ms.
struct PollingBench {
    PollingBench()
        : com1(1, sim.devicePath())
    {
        window.load();
        window.show();
        QApplication::setActiveWindow(&window);
    }

    bool startPolling()
    {
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        window.form().controls.setText(u"txtTimerSet", QStringLiteral("50"));
        QTest::mouseClick(button(u"cmdOneM"), Qt::LeftButton);
        return QTest::qWaitFor([&] { return text(u"txtValue", 0) == QLatin1String("25.00"); }, 5000);
    }

    QPushButton* button(QStringView name, int index = -1) const
    {
        return window.controls().get<QPushButton>(name, index);
    }
    QLineEdit* box(int row) const { return window.controls().get<QLineEdit>(u"txtValue", row); }
    QString text(QStringView name, int index = -1) const { return window.controls().text(name, index); }

    // Into the box as a technician does it: click, select all, type.
    void typeInto(int row, const QString& typed)
    {
        QTest::mouseClick(box(row), Qt::LeftButton);
        QTest::keyClick(box(row), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box(row), typed);
    }

    // Requests sent meanwhile: the polling goes on.
    int requests() const { return text(u"lblCounter").toInt(); }

    MessageRecorder messages;
    SimProcess sim;
    PortWiring com1;
    frmMain window;
};

} // namespace

class tst_EditedValues : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void typedSettingIsWrittenAsTyped_data();
    void typedSettingIsWrittenAsTyped();
    void escapePutsTheSensorsValueBack_data();
    void escapePutsTheSensorsValueBack();
};

void tst_EditedValues::typedSettingIsWrittenAsTyped_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written"); // the request the sensor receives
    QTest::addColumn<QString>("decoded"); // what the sensor then reports
    QTest::newRow("temperature calibration") << 2 << "0.5"
                                             << "FA 06 0A 00 00 32"
                                             << "0.50";
    QTest::newRow("humidity calibration") << 3 << "-1.25"
                                          << "FA 06 0A 02 FF 83"
                                          << "-1.25";
}

void tst_EditedValues::typedSettingIsWrittenAsTyped()
{
    QFETCH(int, row);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, decoded);
    PollingBench bench;
    QVERIFY(bench.sim.isRunning());
    QVERIFY(bench.startPolling());

    bench.typeInto(row, typed);
    const int before = bench.requests();
    QTest::qWait(300);

    // Several replies came in; the box kept what was typed, the rest went on.
    QVERIFY(bench.requests() >= before + 3);
    QCOMPARE(bench.text(u"txtValue", row), typed);
    QCOMPARE(bench.text(u"txtValue", 0), QStringLiteral("25.00"));

    QTest::mouseClick(bench.button(u"cmdSet", row - 2), Qt::LeftButton);

    QTRY_VERIFY(bench.sim.lines(QStringLiteral("RX")).filter(written).size() == 1);
    // Written: the box follows the sensor again.
    QTRY_COMPARE(bench.text(u"txtValue", row), decoded);
    QTest::mouseClick(bench.button(u"cmdStopOnce"), Qt::LeftButton);
    QVERIFY(bench.messages.shown.isEmpty());
}

void tst_EditedValues::escapePutsTheSensorsValueBack_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("reported");
    QTest::newRow("temperature calibration") << 2 << "0.00";
    QTest::newRow("humidity calibration") << 3 << "0.00";
    QTest::newRow("baud rate") << 4 << "9600";
}

void tst_EditedValues::escapePutsTheSensorsValueBack()
{
    QFETCH(int, row);
    QFETCH(QString, reported);
    PollingBench bench;
    QVERIFY(bench.startPolling());

    bench.typeInto(row, QStringLiteral("7"));
    QTest::qWait(200);
    QCOMPARE(bench.text(u"txtValue", row), QStringLiteral("7"));

    QTest::keyClick(bench.box(row), Qt::Key_Escape);
    QCOMPARE(bench.text(u"txtValue", row), reported);

    // And it follows the replies again: a stray text is overwritten.
    bench.box(row)->setText(QStringLiteral("stale"));
    QTRY_COMPARE(bench.text(u"txtValue", row), reported);
    QTest::mouseClick(bench.button(u"cmdStopOnce"), Qt::LeftButton);
    QVERIFY(bench.messages.shown.isEmpty());
}

QTEST_MAIN(tst_EditedValues)
#include "tst_edited_values.moc"

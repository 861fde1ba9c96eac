#include "serial/port_directory.h"

#include "pty_pair.h"

#include <QDir>
#include <QFile>
#include <QSerialPortInfo>
#include <QTest>

#include <algorithm>

using kv::test::PortWiring;

class TestPortDirectory : public QObject {
    Q_OBJECT

private slots:
    void naturalLess_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("less");
        QTest::newRow("2 before 10") << "ttyUSB2"
                                     << "ttyUSB10" << true;
        QTest::newRow("10 after 2") << "ttyUSB10"
                                    << "ttyUSB2" << false;
        QTest::newRow("9 before 10") << "ttyS9"
                                     << "ttyS10" << true;
        QTest::newRow("equal") << "ttyACM0"
                               << "ttyACM0" << false;
        QTest::newRow("letters first") << "ttyACM3"
                                       << "ttyUSB0" << true;
        QTest::newRow("prefix first") << "ttyS"
                                      << "ttyS0" << true;
        QTest::newRow("longer after") << "ttyS0"
                                      << "ttyS" << false;
        QTest::newRow("later number") << "ttyUSB1a2"
                                      << "ttyUSB1a10" << true;
    }

    void naturalLess()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, less);
        QCOMPARE(kv::naturalLess(a, b), less);
    }

    void orderPortNames_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("ordered");
        QTest::newRow("mixed") << QStringList{"ttyS91", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyAMA0"}
                               << QStringList{"ttyACM0", "ttyUSB2", "ttyUSB10", "ttyAMA0", "ttyS91"};
        QTest::newRow("usb only") << QStringList{"ttyUSB11", "ttyUSB1", "ttyACM12", "ttyACM2"}
                                  << QStringList{"ttyACM2", "ttyACM12", "ttyUSB1", "ttyUSB11"};
        QTest::newRow("others natural") << QStringList{"ttyS92", "rfcomm0", "ttyS910", "ttyAMA1"}
                                        << QStringList{"rfcomm0", "ttyAMA1", "ttyS92", "ttyS910"};
        QTest::newRow("empty") << QStringList{} << QStringList{};
    }

    void orderPortNames()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, ordered);
        QCOMPARE(kv::orderPortNames(names), ordered);
    }

    // Only the ttyS ports whose UART type reads 0 are left out.
    void orderPortNamesKeepsRealUarts()
    {
        const QStringList present = QDir(QStringLiteral("/sys/class/tty")).entryList({QStringLiteral("ttyS*")});
        if (present.isEmpty())
            QSKIP("no ttyS ports on this machine");
        QStringList real;
        for (const QString& name : present) {
            QFile type(QStringLiteral("/sys/class/tty/%1/type").arg(name));
            if (!type.open(QIODevice::ReadOnly) || type.readAll().trimmed() != "0")
                real << name;
        }
        std::sort(real.begin(), real.end(), kv::naturalLess);
        QCOMPARE(kv::orderPortNames(present), real);
    }

    void wiredPort()
    {
        PortWiring wiring(201, QStringLiteral("/dev/pts/kv-test"));
        const kv::PortDevice device = kv::portDevice(201);
        QCOMPARE(device.path, QStringLiteral("/dev/pts/kv-test"));
        QCOMPARE(device.source, QStringLiteral("KV9240B_COM201"));
        QVERIFY(kv::portDevice(202).path.isEmpty());

        const QString tip = kv::portToolTip(201);
        QVERIFY2(tip.contains(QStringLiteral("COM201")), qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("/dev/pts/kv-test")), qPrintable(tip));
        QVERIFY2(!tip.contains(QStringLiteral("未检测到")), qPrintable(tip));
    }

    void absentPort()
    {
        QVERIFY(kv::portDevice(250).path.isEmpty());
        QVERIFY(kv::portDevice(0).path.isEmpty());
        const QString tip = kv::portToolTip(250);
        QVERIFY2(tip.contains(QStringLiteral("COM250")), qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("未检测到")), qPrintable(tip));
    }

    void toolTipsAgreeWithEachPort()
    {
        PortWiring wiring(3, QStringLiteral("/dev/pts/kv-test"));
        const QStringList tips = kv::portToolTips(4);
        QCOMPARE(tips.size(), 4);
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(tips[n - 1], kv::portToolTip(n));
        QVERIFY2(tips[2].contains(QStringLiteral("/dev/pts/kv-test")), qPrintable(tips[2]));
    }

    // Wired devices come first, in port-number order, each once; then what is present.
    void everyPortDeviceListsWiredThenPresent()
    {
        PortWiring second(7, QStringLiteral("/dev/pts/kv-second"));
        PortWiring first(2, QStringLiteral("/dev/pts/kv-first"));
        PortWiring again(9, QStringLiteral("/dev/pts/kv-first"));
        const QStringList paths = kv::everyPortDevice();
        QVERIFY2(paths.size() >= 2, qPrintable(paths.join(' ')));
        QCOMPARE(paths.mid(0, 2), (QStringList{"/dev/pts/kv-first", "/dev/pts/kv-second"}));
        QCOMPARE(paths.count(QStringLiteral("/dev/pts/kv-first")), 1);
        QStringList present;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
            present << info.portName();
        QCOMPARE(paths.size(), 2 + kv::orderPortNames(present).size());
    }

    void wiringReadOnEveryCall()
    {
        {
            PortWiring wiring(250, QStringLiteral("/dev/pts/kv-test"));
            QCOMPARE(kv::portDevice(250).path, QStringLiteral("/dev/pts/kv-test"));
        }
        QVERIFY(kv::portDevice(250).path.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPortDirectory)
#include "tst_port_directory.moc"

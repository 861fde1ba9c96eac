#include "serial/comm_port.h"

#include "pty_pair.h"

#include <QFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using kv::CommPort;
using kv::test::PortWiring;
using kv::test::PtyPair;

namespace {

// Port numbers far from the ones a real adapter would take.
constexpr int WiredPort = 201;
constexpr int OtherWiredPort = 202;
constexpr int UnwiredPort = 250;

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i % 251); // period prime to 1024: any shift shows
    return bytes;
}

} // namespace

class TestCommPort : public QObject {
    Q_OBJECT

private:
    // Opens the port on a fresh pty wired to WiredPort.
    bool openOn(CommPort& port, const PtyPair& pty)
    {
        return pty.isValid() && port.setCommPort(WiredPort) && port.setPortOpen(true);
    }

    // The slave's line settings as the driver holds them. The port keeps the
    // tty exclusive, so this works only with the privilege to override that.
    static bool readLine(const QString& slavePath, termios& line)
    {
        const int fd = ::open(QFile::encodeName(slavePath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return false;
        const bool ok = ::tcgetattr(fd, &line) == 0;
        ::close(fd);
        return ok;
    }

private slots:
    void settingsAcceptedWhileClosed()
    {
        CommPort port;
        QVERIFY(port.setCommPort(7));
        QVERIFY(port.setSettings(QStringLiteral("19200,N,8,1")));
        QVERIFY(port.setInBufferCount(0));
        QVERIFY(port.setOutBufferCount(0));
        QVERIFY(port.setInputLen(4));
        QVERIFY(port.setRThreshold(3));
        QCOMPARE(port.commPort(), 7);
        QCOMPARE(port.settings(), QStringLiteral("19200,N,8,1"));
        QCOMPARE(port.inputLen(), 4);
        QCOMPARE(port.rThreshold(), 3);
        QVERIFY(!port.portOpen());
    }

    void settingsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("9600 8N1") << QStringLiteral("9600,N,8,1") << true;
        QTest::newRow("19200 8N1") << QStringLiteral("19200,N,8,1") << true;
        QTest::newRow("bad parity") << QStringLiteral("9600,X,8,1") << false;
        QTest::newRow("nine data bits") << QStringLiteral("9600,N,9,1") << false;
        QTest::newRow("not a format") << QStringLiteral("abc") << false;
        QTest::newRow("empty") << QString() << false;
    }

    void settingsText()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        CommPort port;
        QVERIFY(port.setSettings(QStringLiteral("4800,E,7,2")));
        QCOMPARE(port.setSettings(text), accepted);
        QCOMPARE(port.settings(), accepted ? text : QStringLiteral("4800,E,7,2"));
    }

    void portNumberRange_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("0") << 0 << false;
        QTest::newRow("1") << 1 << true;
        QTest::newRow("255") << 255 << true;
        QTest::newRow("256") << 256 << false;
        QTest::newRow("-1") << -1 << false;
    }

    void portNumberRange()
    {
        QFETCH(int, number);
        QFETCH(bool, accepted);
        CommPort port;
        QVERIFY(port.setCommPort(9));
        QCOMPARE(port.setCommPort(number), accepted);
        QCOMPARE(port.commPort(), accepted ? number : 9);
    }

    void portNumberFixedWhileOpen()
    {
        PtyPair pty;
        PortWiring wiring(WiredPort, pty.slavePath());
        CommPort port;
        QVERIFY(openOn(port, pty));
        QVERIFY(!port.setCommPort(3));
        QCOMPARE(port.commPort(), WiredPort);
        QVERIFY(!port.setPortOpen(true)); // already open
        QVERIFY(port.setPortOpen(false));
        QVERIFY(port.setCommPort(3));
    }

    void openFailures()
    {
        PortWiring wiring(WiredPort, QStringLiteral("/dev/kv9240b-no-such-device"));
        CommPort port;
        QVERIFY(port.setCommPort(WiredPort));
        QVERIFY(!port.setPortOpen(true));
        QVERIFY(!port.portOpen());
        QCOMPARE(port.devicePath(), QStringLiteral("/dev/kv9240b-no-such-device"));
        QCOMPARE(port.openFailure(), CommPort::OpenFailure::Missing);

        QVERIFY(port.setCommPort(UnwiredPort));
        QVERIFY(!port.setPortOpen(true));
        QVERIFY(!port.portOpen());
        QVERIFY(port.devicePath().isEmpty());
        QCOMPARE(port.openFailure(), CommPort::OpenFailure::NoDevice);
    }

    void busyPort()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        PortWiring wiring(WiredPort, pty.slavePath());
        QSerialPort other(pty.slavePath());
        QVERIFY2(other.open(QIODevice::ReadWrite), qPrintable(other.errorString()));

        CommPort port;
        QVERIFY(port.setCommPort(WiredPort));
        QVERIFY(!port.setPortOpen(true));
        QVERIFY(!port.portOpen());
        QCOMPARE(port.openFailure(), CommPort::OpenFailure::Busy);
        QVERIFY(!port.openFailureDetail().isEmpty());

        other.close();
        QVERIFY2(port.setPortOpen(true), qPrintable(port.openFailureDetail()));
        QCOMPARE(port.openFailure(), CommPort::OpenFailure::None);
    }

    // While reception is held the bytes wait in the driver: nothing is
    // published and no event raised until the hold ends, then all at once.
    void heldReceptionTakesTheBytesWhenItEnds()
    {
        PtyPair pty;
        PortWiring wiring(WiredPort, pty.slavePath());
        CommPort port;
        QVERIFY(openOn(port, pty));
        QSignalSpy events(&port, &CommPort::onComm);
        QSignalSpy chunks(&port, &CommPort::chunkArrived);
        QVERIFY(port.setRThreshold(4));

        port.holdReception(std::chrono::milliseconds(300));
        QVERIFY(port.holding());
        pty.send("\x01\x03");
        pty.send(QByteArray("\x02\x00\xfa", 3));
        QTest::qWait(150);
        QCOMPARE(chunks.count(), 0);
        QCOMPARE(events.count(), 0);

        QTRY_COMPARE_WITH_TIMEOUT(events.count(), 1, 1000);
        QVERIFY(!port.holding());
        QCOMPARE(port.commEvent(), int(CommPort::ReceiveEvent));
        QCOMPARE(chunks.count(), 1);
        QCOMPARE(chunks.first().first().toByteArray(), QByteArray("\x01\x03\x02\x00\xfa", 5));
        QCOMPARE(port.input(), QByteArray("\x01\x03\x02\x00\xfa", 5));

        // Ended early, the line is watched again at once: a byte short of the
        // threshold is taken once the rest has had its time, without an event.
        port.holdReception(std::chrono::seconds(5));
        pty.send("\x07");
        QTest::qWait(50);
        port.endHold();
        QTRY_COMPARE_WITH_TIMEOUT(chunks.count(), 2, 1000);
        QCOMPARE(chunks.last().first().toByteArray(), QByteArray("\x07"));
        QCOMPARE(events.count(), 1);

        // Closing ends it too, and a reopened port is watched as before.
        port.holdReception(std::chrono::seconds(5));
        QVERIFY(port.setPortOpen(false));
        QVERIFY(!port.holding());
        QVERIFY(port.setPortOpen(true));
        QVERIFY(port.setRThreshold(1));
        pty.send("\x08");
        QTRY_COMPARE_WITH_TIMEOUT(events.count(), 2, 1000);
    }

    void receiveThreshold()
    {
        PtyPair pty;
        PortWiring wiring(WiredPort, pty.slavePath());
        CommPort port;
        QVERIFY(openOn(port, pty));
        QSignalSpy spy(&port, &CommPort::onComm);

        // Threshold 0: bytes are kept but no event is raised.
        pty.send("\x01\x03");
        QTRY_COMPARE(port.inBufferCount(), 2);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(port.input(), QByteArray("\x01\x03"));

        QVERIFY(port.setRThreshold(6));
        const QByteArray frame("\x01\x03\x02\x00\xfa\x38", 6);
        pty.send(frame.left(5));
        QTRY_COMPARE(port.inBufferCount(), 5);
        QCOMPARE(spy.count(), 0);

        pty.send(frame.mid(5));
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(port.commEvent(), int(CommPort::ReceiveEvent));
        QCOMPARE(port.input(), frame);
        QCOMPARE(port.inBufferCount(), 0);
        QVERIFY(port.input().isEmpty());
    }

    void inputLenLimitsEachRead()
    {
        PtyPair pty;
        PortWiring wiring(WiredPort, pty.slavePath());
        CommPort port;
        QVERIFY(openOn(port, pty));
        QVERIFY(port.setInputLen(4));
        pty.send("abcdefghij");
        QTRY_COMPARE(port.inBufferCount(), 10);
        QCOMPARE(port.input(), QByteArray("abcd"));
        QCOMPARE(port.input(), QByteArray("efgh"));
        QCOMPARE(port.input(), QByteArray("ij"));
        QVERIFY(port.input().isEmpty());
    }

    void resetDiscardsWaitingBytes()
    {
        PtyPair pty;
        PortWiring wiring(WiredPort, pty.slavePath());
        CommPort port;
        QVERIFY(openOn(port, pty));
        pty.send("stale reply");
        QTRY_VERIFY(port.inBufferCount() > 0);
        QVERIFY(!port.setInBufferCount(3));
        QVERIFY(port.setInBufferCount(0));
        QCOMPARE(port.inBufferCount(), 0);
        QVERIFY(port.input().isEmpty());

        // Later bytes are still taken, and nothing stale comes with them.
        pty.send("fresh");
        QTRY_COMPARE(port.inBufferCount(), 5);
        const QByteArray fresh = port.input();
        QVERIFY2(fresh == "fresh", fresh.constData());
    }

    void receiveBufferIsBounded()
    {
        PtyPair pty;
        PortWiring wiring(WiredPort, pty.slavePath());
        CommPort port;
        QVERIFY(openOn(port, pty));
        int largest = 0;
        QList<int> events;
        connect(&port, &CommPort::onComm, this, [&] {
            largest = std::max(largest, port.inBufferCount());
            events << port.commEvent();
        });

        const QByteArray sent = pattern(3000);
        pty.send(sent);
        QTRY_VERIFY(events.contains(int(CommPort::ReceiveOverrun)));
        QVERIFY(std::all_of(events.cbegin(), events.cend(), [](int e) { return e == CommPort::ReceiveOverrun; }));
        QCOMPARE(largest, port.inBufferSize());
        QCOMPARE(port.inBufferCount(), 1024);
        QCOMPARE(port.input(), sent.left(1024));
    }

    void outputArrivesInOrder()
    {
        PtyPair pty;
        PortWiring wiring(WiredPort, pty.slavePath());
        CommPort port;
        QVERIFY(openOn(port, pty));
        const QByteArray first("\x01\x03\x00\x00\x00\x02\xc4\x0b", 8);
        const QByteArray second = pattern(300);
        QVERIFY(port.output(first));
        QVERIFY(port.output(second));
        QCOMPARE(pty.receive(first.size() + second.size()), first + second);
        QVERIFY(pty.drain().isEmpty());

        QVERIFY(port.setPortOpen(false));
        QVERIFY(!port.output(first));
        QVERIFY(pty.drain().isEmpty());
    }

    void settingsChangeWhileOpen_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("speed");
        QTest::addColumn<bool>("twoStopBits");
        QTest::newRow("19200 two stop bits") << QStringLiteral("19200,N,8,2") << true << int(B19200) << true;
        QTest::newRow("4800") << QStringLiteral("4800,N,8,1") << true << int(B4800) << false;
        QTest::newRow("not a format") << QStringLiteral("19200,Q,8,2") << false << int(B9600) << false;
        // A pty carries neither parity nor 7-bit characters: the device refuses
        // these, and the line must stay as it was.
        QTest::newRow("device refuses parity") << QStringLiteral("19200,E,8,2") << false << int(B9600) << false;
        QTest::newRow("device refuses 7 bits") << QStringLiteral("19200,N,7,2") << false << int(B9600) << false;
    }

    void settingsChangeWhileOpen()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(int, speed);
        QFETCH(bool, twoStopBits);
        PtyPair pty;
        PortWiring wiring(WiredPort, pty.slavePath());
        CommPort port;
        QVERIFY(port.setSettings(QStringLiteral("9600,N,8,1")));
        QVERIFY(openOn(port, pty));
        QCOMPARE(port.setSettings(text), accepted);
        QVERIFY(port.portOpen());
        QCOMPARE(port.settings(), accepted ? text : QStringLiteral("9600,N,8,1"));

        termios line{};
        if (!readLine(pty.slavePath(), line))
            QSKIP("cannot look at the pty's line settings from here");
        QCOMPARE(int(cfgetospeed(&line)), speed);
        QCOMPARE(bool(line.c_cflag & CSTOPB), twoStopBits);

        // The line still carries bytes both ways.
        QVERIFY(port.output("ping"));
        QCOMPARE(pty.receive(4), QByteArray("ping"));
        pty.send("pong");
        QTRY_COMPARE(port.inBufferCount(), 4);
        QCOMPARE(port.input(), QByteArray("pong"));
    }

    void portLost()
    {
        CommPort port;
        QList<int> events;
        connect(&port, &CommPort::onComm, this, [&] { events << port.commEvent(); });
        QSignalSpy spy(&port, &CommPort::onComm);
        // The window hears of the loss first, as it always did; the line's
        // listeners (the engine, the traffic record) after it, once.
        QStringList heard;
        connect(&port, &CommPort::onComm, this, [&] { heard << QStringLiteral("event"); });
        connect(&port, &kv::Line::lost, this, [&] { heard << QStringLiteral("lost"); });
        {
            PtyPair pty;
            PortWiring wiring(WiredPort, pty.slavePath());
            QVERIFY(openOn(port, pty));
            pty.send("partial");
            QTRY_COMPARE(port.inBufferCount(), 7);
            pty.hangUp();
            QTRY_VERIFY_WITH_TIMEOUT(!port.portOpen(), 1000);
            QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 1000);
            QVERIFY(!spy.wait(300)); // the failing device must not raise the event again
        }
        QCOMPARE(events, QList<int>{CommPort::PortLost});
        QCOMPARE(heard, (QStringList{QStringLiteral("event"), QStringLiteral("lost")}));
        QCOMPARE(port.commEvent(), int(CommPort::PortLost));
        QVERIFY(!port.output("x"));

        PtyPair fresh;
        PortWiring wiring(OtherWiredPort, fresh.slavePath());
        QVERIFY(fresh.isValid());
        QVERIFY(port.setCommPort(OtherWiredPort));
        QVERIFY2(port.setPortOpen(true), qPrintable(port.openFailureDetail()));
        QVERIFY(port.output("again"));
        QCOMPARE(fresh.receive(5), QByteArray("again"));
        fresh.send("ok");
        QTRY_COMPARE(port.inBufferCount(), 2);
        QCOMPARE(port.input(), QByteArray("ok"));
        QCOMPARE(events.size(), 1);
    }

    // Everything that crosses the line is published, also what the receive
    // event never hands over: a reply short of the threshold, and bytes a
    // buffer reset throws away.
    void everyChunkIsPublished()
    {
        PtyPair pty;
        CommPort port;
        QVERIFY(port.setDevice(pty.slavePath()));
        QVERIFY2(port.setPortOpen(true), qPrintable(port.openFailureDetail()));
        QByteArray written;
        QByteArray arrived;
        QList<qint64> times;
        connect(&port, &CommPort::chunkWritten, this, [&](const QByteArray& bytes, qint64 at) {
            written += bytes;
            times << at;
        });
        connect(&port, &CommPort::chunkArrived, this, [&](const QByteArray& bytes, qint64 at) {
            arrived += bytes;
            times << at;
        });
        // A reader acts on received(), when every chunk of the delivery is out.
        QByteArray publishedWhenReceived;
        connect(&port, &kv::Line::received, this, [&] { publishedWhenReceived = arrived; });

        const QByteArray request("\x01\x03\x00\x00\x00\x05", 6);
        QVERIFY(port.output(request));
        QCOMPARE(written, request);
        QVERIFY(port.setRThreshold(15));
        pty.send("\x01\x03\x0a"); // three of fifteen, and then nothing
        QTRY_COMPARE_WITH_TIMEOUT(arrived, QByteArray("\x01\x03\x0a"), 1000);
        QCOMPARE(port.inBufferCount(), 3);
        QCOMPARE(publishedWhenReceived, arrived);

        // Bytes that wait in the driver for the threshold and are then
        // emptied by a reset.
        QVERIFY(port.setRThreshold(15));
        pty.send("late");
        QTest::qWait(20);
        QVERIFY(port.setInBufferCount(0));
        QCOMPARE(arrived, QByteArray("\x01\x03\x0alate"));
        QVERIFY(std::is_sorted(times.begin(), times.end()));
        QVERIFY(times.first() > 0);
    }

    // A far end that stops reading fills the transmit queue: what does not
    // fit is refused, but the port stays open and recovers once the line drains.
    void stalledFarEndKeepsThePortOpen()
    {
        PtyPair pty;
        CommPort port;
        QList<int> events;
        connect(&port, &CommPort::onComm, this, [&] { events << port.commEvent(); });
        QVERIFY(port.setDevice(pty.slavePath()));
        QVERIFY2(port.setPortOpen(true), qPrintable(port.openFailureDetail()));

        const QByteArray chunk(256, 'x');
        bool refused = false;
        for (int i = 0; i < 4096 && !refused; ++i) {
            refused = !port.output(chunk);
            QCoreApplication::processEvents();
        }
        QVERIFY(refused);
        QTest::qWait(100);
        QVERIFY(port.portOpen());
        QVERIFY(!events.contains(CommPort::PortLost));

        QByteArray arrived = pty.drain(200);
        QTRY_COMPARE(port.outBufferCount(), 0);
        QVERIFY(port.output("again"));
        QTRY_VERIFY((arrived += pty.drain(20)).endsWith("again"));
        QVERIFY(port.portOpen());
        QVERIFY(events.isEmpty());
    }

    // Two names for one device: the second open finds it taken.
    void deviceReachedThroughALinkIsTaken()
    {
        PtyPair pty;
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("ttyKV"));
        QVERIFY(QFile::link(pty.slavePath(), link));
        CommPort first;
        QVERIFY(first.setDevice(link));
        QVERIFY2(first.setPortOpen(true), qPrintable(first.openFailureDetail()));
        QCOMPARE(first.devicePath(), link); // messages name the device as configured

        CommPort second;
        QVERIFY(second.setDevice(pty.slavePath()));
        QVERIFY(!second.setPortOpen(true));
        QCOMPARE(second.openFailure(), CommPort::OpenFailure::Busy);

        first.setPortOpen(false);
        QVERIFY2(second.setPortOpen(true), qPrintable(second.openFailureDetail()));
    }

    void deviceInPlaceOfThePortNumber()
    {
        PtyPair pty;
        CommPort port;
        QVERIFY(port.setCommPort(UnwiredPort));
        QVERIFY(port.setDevice(pty.slavePath()));
        QVERIFY2(port.setPortOpen(true), qPrintable(port.openFailureDetail()));
        QCOMPARE(port.devicePath(), pty.slavePath());
        QVERIFY(!port.setDevice(QString())); // not while open
        QVERIFY(!port.setPortOpen(true));
        QCOMPARE(port.openFailure(), CommPort::OpenFailure::AlreadyOpen);
        QVERIFY(port.portOpen());
        QVERIFY(port.output("x"));
        QCOMPARE(pty.receive(1), QByteArray("x"));
    }
};

QTEST_GUILESS_MAIN(TestCommPort)
#include "tst_comm_port.moc"

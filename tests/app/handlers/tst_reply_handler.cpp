#include "app/handlers/send_sequence.h"
#include "frames.h"
#include "protocol/modbus/hex_text.h"
#include "serial/comm_port.h"
#include "window_fixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

QStringList values(const frmMain& window)
{
    QStringList texts;
    for (int row = 0; row < 8; ++row)
        texts << window.controls().text(u"txtValue", row);
    return texts;
}

// Sends the default single shot and has the sensor answer with reply.
void exchange(StartedWindow& started, const QByteArray& reply)
{
    started.window->controls().get<QPushButton>(u"comDoOnce")->click();
    QCOMPARE(started.line.receive(8).size(), 8);
    started.line.send(reply);
}

} // namespace

class tst_ReplyHandler : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void measurementReachesTheValueBoxes();
    void repliesThatDoNotAnswerTheQuery_data();
    void repliesThatDoNotAnswerTheQuery();
    void soundMeasurementsArePublished_data();
    void soundMeasurementsArePublished();
    void bytesBeforeAnyRequest();
    void unaskedFloodIsNotCounted();
};

void tst_ReplyHandler::measurementReachesTheValueBoxes()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtDataLength", QStringLiteral("8"));
    auto* temperature = window.controls().get<QLineEdit>(u"txtValue", 0);
    QPalette grey = temperature->palette();
    grey.setColor(QPalette::Text, Qt::gray);
    temperature->setPalette(grey);

    exchange(started, readReply({2500, 6000, 0, 0, 9600, 0, 0, 0}, 1));

    QTRY_COMPARE(window.controls().text(u"lblErrCounter"), QStringLiteral("1"));
    QCOMPARE(values(window), QStringList({"25.00", "60.00", "0.00", "0.00", "9600", "0", "0", "0"}));
    QCOMPARE(window.controls().text(u"txtState").size(), 21 * 3);
    QVERIFY(window.controls().text(u"txtState").startsWith(QStringLiteral(" 01 03 10 09 C4")));
    QCOMPARE(temperature->palette().color(QPalette::Text), QColor(Qt::black));
    QCOMPARE(window.frontLamp(), Lamp::Connected);
}

void tst_ReplyHandler::soundMeasurementsArePublished_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("readings");
    QTest::addColumn<int>("temperature"); // of the reading published, in hundredths
    QTest::addColumn<int>("humidity");
    // The query asks station 1 for two registers.
    QTest::newRow("from register 0") << "0" << readReply({2500, 6000}, 1) << 1 << 2500 << 6000;
    QTest::newRow("from register 1, as the rows show it") << "1" << readReply({2500, 6000}, 1) << 1 << 2500 << 6000;
    QTest::newRow("from register 2: the offsets") << "2" << readReply({10, 20}, 1) << 0 << 0 << 0;
    QByteArray corrupt = readReply({2500, 6000}, 1);
    corrupt[8] = static_cast<char>(corrupt[8] ^ 0x01);
    QTest::newRow("bad CRC") << "0" << corrupt << 0 << 0 << 0;
}

void tst_ReplyHandler::soundMeasurementsArePublished()
{
    QFETCH(QString, start);
    QFETCH(QByteArray, reply);
    QFETCH(int, readings);
    QFETCH(int, temperature);
    QFETCH(int, humidity);
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtStartID", start);
    window.form().controls.setText(u"txtDataLength", QStringLiteral("2"));
    QList<Reading> published;
    connect(&window.readings(), &DecodedReadings::decoded, this, [&](const Reading& reading) { published << reading; });

    exchange(started, reply);
    QTRY_VERIFY(!window.controls().text(u"txtState").isEmpty());
    QTest::qWait(20);

    QCOMPARE(published.size(), readings);
    if (readings == 0)
        return;
    QCOMPARE(published.first().station, 1);
    QCOMPARE(published.first().values.temperature, temperature);
    QCOMPARE(published.first().values.humidity, humidity);
    QVERIFY(!published.first().values.baudRate); // the reply did not cover it
    QVERIFY(qAbs(published.first().time.msecsTo(QDateTime::currentDateTime())) < 5000);
}

void tst_ReplyHandler::repliesThatDoNotAnswerTheQuery_data()
{
    // The query asks station 1 for two registers.
    QTest::addColumn<QByteArray>("reply");
    QByteArray corrupt = readReply({2500, 6000}, 1);
    corrupt[8] = static_cast<char>(corrupt[8] ^ 0x01);
    QTest::newRow("bad CRC") << corrupt;
    QTest::newRow("another station") << readReply({2500, 6000}, 9);
    QTest::newRow("another function") << framed({0x01, 0x04, 0x04, 0x09, 0xC4, 0x17, 0x70});
    QTest::newRow("one register, then the answer")
        << framed({0x01, 0x03, 0x02, 0x00, 0x07}) + readReply({2500, 6000}, 1);
    QTest::newRow("exception, then noise") << framed({0x01, 0x83, 0x02}) + bytes({0x55, 0x55, 0x55, 0x55});
}

void tst_ReplyHandler::repliesThatDoNotAnswerTheQuery()
{
    QFETCH(QByteArray, reply);
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtDataLength", QStringLiteral("2"));

    exchange(started, reply);

    QTRY_COMPARE(window.controls().text(u"txtState"), receivedFrameText(asBytes(reply)));
    QCOMPARE(values(window), QStringList(8, QStringLiteral("0")));
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QCOMPARE(window.controls().text(u"lblErrCounter"), QStringLiteral("0"));
    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("1"));
}

void tst_ReplyHandler::bytesBeforeAnyRequest()
{
    StartedWindow started;
    frmMain& window = *started.window;
    started.line.send(bytes({0x41}));

    QTRY_COMPARE(window.controls().text(u"txtState"), QStringLiteral(" 41"));
    QCOMPARE(window.frontLamp(), Lamp::Connected);
    QCOMPARE(values(window), QStringList(8, QStringLiteral("0")));
    // No request, so no reply to accept: nothing is counted as received.
    QCOMPARE(window.controls().text(u"lblErrCounter"), QStringLiteral("0"));
}

// A flood while nothing is asked is shown as it comes, never counted.
void tst_ReplyHandler::unaskedFloodIsNotCounted()
{
    StartedWindow started;
    frmMain& window = *started.window;

    started.line.send(QByteArray(1100, '\x11'));

    QTRY_VERIFY(window.controls().text(u"txtState").startsWith(QStringLiteral(" 11 11")));
    QCOMPARE(window.controls().text(u"lblErrCounter"), QStringLiteral("0"));
}

QTEST_MAIN(tst_ReplyHandler)
#include "tst_reply_handler.moc"

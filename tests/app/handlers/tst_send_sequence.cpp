#include "app/handlers/send_sequence.h"
#include "frames.h"
#include "protocol/kv9240b/request_frames.h"
#include "protocol/modbus/hex_text.h"
#include "serial/comm_port.h"
#include "window_fixture.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

const FrameHead DefaultQuery{0x02, 0x03, 0x00, 0x00, 0x00, 0x08};
const WriteRequest AddressReadRequest{RequestKind::AddressRead, {0xFA, 0x03, 0x00, 0x00, 0x00, 0x01}, 7, 6};
const WriteRequest AddressChangeRequest{RequestKind::AddressChange, {0x01, 0x06, 0x0B, 0x00, 0x00, 0x02}, 6, 6};

void closePort(frmMain& window)
{
    window.controls().get<QPushButton>(u"Command1")->click();
}

} // namespace

class tst_SendSequence : public QObject {
    Q_OBJECT

private slots:
    void measurementQueryGoesOut();
    void measurementReplyLengthFollowsTheCount();
    void measurementQueryDropsOldBytes();
    void measurementQueryOnAClosedPort();
    void writeRequestGoesOut();
    void writeRequestOnAClosedPort();
    void writeWaitsForTheQueryReply_data();
    void writeWaitsForTheQueryReply();
};

void tst_SendSequence::measurementQueryGoesOut()
{
    StartedWindow started;
    frmMain& window = *started.window;

    sendMeasurementQuery(window.form(), DefaultQuery);

    QCOMPARE(started.line.receive(8), bytes({0x02, 0x03, 0x00, 0x00, 0x00, 0x08, 0x44, 0x3F}));
    QVERIFY(started.line.drain().isEmpty());
    QCOMPARE(window.controls().text(u"txtCommand"), QStringLiteral("02 03 00 00 00 08 44 3F "));
    QCOMPARE(window.variables().SendText, QStringLiteral("02 03 00 00 00 08 44 3F "));
    QCOMPARE(window.variables().CmdType, RequestKind::Measurement);
    QCOMPARE(window.variables().RecLen, std::int16_t(21));
    QCOMPARE(window.frontLamp(), Lamp::Yellow);
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_SendSequence::measurementReplyLengthFollowsTheCount()
{
    StartedWindow started;
    sendMeasurementQuery(started.form(), {0x02, 0x03, 0x00, 0x00, 0x00, 0x01});
    QCOMPARE(started.window->variables().RecLen, std::int16_t(7));
    QCOMPARE(started.line.receive(8).size(), 8);
}

// Bytes that came before the query cannot begin its answer.
void tst_SendSequence::measurementQueryDropsOldBytes()
{
    StartedWindow started;
    frmMain& window = *started.window;
    QSignalSpy heard(&window.serialPort(), &Line::chunkArrived);
    started.line.send(bytes({0x02, 0x03, 0x10}));
    QVERIFY(heard.wait());

    sendMeasurementQuery(started.form(), DefaultQuery);
    QCOMPARE(started.line.receive(8).size(), 8);
    const QByteArray reply = readReply({2500, 6000, 0, 0, 9600, 0, 0, 0});
    started.line.send(reply);

    QTRY_COMPARE(window.controls().text(u"txtState"), receivedFrameText(asBytes(reply)));
    QCOMPARE(window.controls().text(u"txtValue", 0), QStringLiteral("25.00"));
    QCOMPARE(window.frontLamp(), Lamp::Connected);
}

void tst_SendSequence::measurementQueryOnAClosedPort()
{
    StartedWindow started;
    frmMain& window = *started.window;
    sendWriteRequest(window.form(), AddressReadRequest);
    started.line.receive(8);
    closePort(window);
    window.form().lamp.show(Lamp::Connected);

    sendMeasurementQuery(window.form(), DefaultQuery);

    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().text, QStringLiteral("打开串口出错，请确定串口是否已被占用"));
    QCOMPARE(started.messages.shown.first().title, QStringLiteral("Orvane"));
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QVERIFY(!window.variables().CycleOn);
    // Nothing armed: the earlier request's state stands.
    QCOMPARE(window.variables().CmdType, RequestKind::AddressRead);
    QCOMPARE(window.variables().RecLen, std::int16_t(7));
    QCOMPARE(window.controls().text(u"txtCommand"), QStringLiteral("FA 03 00 00 00 01 91 81 "));
    QVERIFY(started.line.drain().isEmpty());
}

void tst_SendSequence::writeRequestGoesOut()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtState", QStringLiteral(" 01 02"));

    sendWriteRequest(window.form(), AddressReadRequest);

    QCOMPARE(started.line.receive(8), bytes({0xFA, 0x03, 0x00, 0x00, 0x00, 0x01, 0x91, 0x81}));
    QVERIFY(started.line.drain().isEmpty());
    QCOMPARE(window.controls().text(u"txtCommand"), QStringLiteral("FA 03 00 00 00 01 91 81 "));
    QCOMPARE(window.controls().text(u"txtState"), QString());
    QCOMPARE(window.variables().CmdType, RequestKind::AddressRead);
    QCOMPARE(window.variables().RecLen, std::int16_t(7));
    QCOMPARE(window.frontLamp(), Lamp::Connected);
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_SendSequence::writeRequestOnAClosedPort()
{
    StartedWindow started;
    frmMain& window = *started.window;
    closePort(window);
    window.form().lamp.show(Lamp::Connected);

    sendWriteRequest(window.form(), AddressChangeRequest);

    QCOMPARE(window.variables().CmdType, RequestKind::AddressChange);
    QCOMPARE(window.variables().RecLen, std::int16_t(6));
    QCOMPARE(window.controls().text(u"txtCommand"), QStringLiteral("01 06 0B 00 00 02 0A 2F "));
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QVERIFY(started.messages.shown.isEmpty());
    QVERIFY(started.line.drain().isEmpty());
}

void tst_SendSequence::writeWaitsForTheQueryReply_data()
{
    QTest::addColumn<bool>("replyCompletes");
    QTest::newRow("the reply comes whole") << true;
    QTest::newRow("the reply stops halfway") << false;
}

void tst_SendSequence::writeWaitsForTheQueryReply()
{
    QFETCH(bool, replyCompletes);
    StartedWindow started;
    frmMain& window = *started.window;
    sendMeasurementQuery(window.form(), DefaultQuery);
    QCOMPARE(started.line.receive(8).size(), 8);
    const QByteArray reply = readReply({2500, 6000, 0, 0, 9600, 0, 0, 0});
    QSignalSpy heard(&window.serialPort(), &Line::chunkArrived);
    started.line.send(reply.left(4));
    QVERIFY(heard.wait());

    // The sensor is still answering: the write would not be heard.
    sendWriteRequest(window.form(), AddressChangeRequest);
    QCOMPARE(window.variables().CmdType, RequestKind::Measurement);
    if (replyCompletes)
        started.line.send(reply.mid(4));

    QCOMPARE(started.line.receive(8), bytes({0x01, 0x06, 0x0B, 0x00, 0x00, 0x02, 0x0A, 0x2F}));
    QCOMPARE(window.controls().text(u"txtValue", 0), replyCompletes ? QStringLiteral("25.00") : QStringLiteral("0"));
    // Then the write takes the exchange over.
    QCOMPARE(window.variables().CmdType, RequestKind::AddressChange);
    QCOMPARE(window.variables().RecLen, std::int16_t(6));
}

QTEST_MAIN(tst_SendSequence)
#include "tst_send_sequence.moc"

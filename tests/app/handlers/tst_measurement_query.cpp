#include "app/handlers/measurement_query.h"
#include "app/handlers/send_sequence.h"
#include "frames.h"
#include "serial/comm_port.h"
#include "window_fixture.h"

#include <QPushButton>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

void setBoxes(
    frmMain& window, const QString& station, const QString& function, const QString& start, const QString& length)
{
    ControlSet& c = window.form().controls;
    c.setText(u"txtStationID", station);
    c.setText(u"txtFunID", function);
    c.setText(u"txtStartID", start);
    c.setText(u"txtDataLength", length);
}

void pressSingleShot(frmMain& window)
{
    window.controls().get<QPushButton>(u"comDoOnce")->click();
}

} // namespace

class tst_MeasurementQuery : public QObject {
    Q_OBJECT

private slots:
    void boxesMakeTheFrame_data();
    void boxesMakeTheFrame();
    void badBoxesAreReported_data();
    void badBoxesAreReported();
    void goesOutAfterAnAddressRead();
    void closedPort();
};

void tst_MeasurementQuery::boxesMakeTheFrame_data()
{
    QTest::addColumn<QStringList>("boxes"); // station, function, start, length
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("replyLength");
    QTest::newRow("design defaults") << QStringList{"2", "3", "0", "8"} << bytes({2, 3, 0, 0, 0, 8}) << 21;
    QTest::newRow("one register") << QStringList{"1", "3", "0", "1"} << bytes({1, 3, 0, 0, 0, 1}) << 7;
    QTest::newRow("length 8.9 reads 8") << QStringList{"1", "3", "0", "8.9"} << bytes({1, 3, 0, 0, 0, 8}) << 21;
    QTest::newRow("function 2.5 to 2") << QStringList{"2.9", "2.5", "0", "2"} << bytes({2, 2, 0, 0, 0, 2}) << 9;
    QTest::newRow("function 3.5 to 4") << QStringList{"10", "3.5", "4", "2"} << bytes({10, 4, 0, 4, 0, 2}) << 9;
    QTest::newRow("highest bytes") << QStringList{"255", "255", "255.9", "5"} << bytes({255, 255, 0, 255, 0, 5}) << 15;
}

void tst_MeasurementQuery::boxesMakeTheFrame()
{
    QFETCH(QStringList, boxes);
    QFETCH(QByteArray, head);
    QFETCH(int, replyLength);
    StartedWindow started;
    frmMain& window = *started.window;
    setBoxes(window, boxes[0], boxes[1], boxes[2], boxes[3]);

    pressSingleShot(window);

    const QByteArray sent = started.line.receive(8);
    QCOMPARE(sent.left(6), head);
    const std::uint16_t crc = crc16Modbus(asBytes(head));
    QCOMPARE(sent.mid(6), bytes({crc & 0xFF, crc >> 8}));
    QVERIFY(started.line.drain().isEmpty());
    QCOMPARE(window.variables().RecLen, replyLength);
    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("1"));
    QCOMPARE(window.controls().text(u"txtCommand").size(), 24);
    QCOMPARE(window.frontLamp(), Lamp::Yellow);
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_MeasurementQuery::badBoxesAreReported_data()
{
    QTest::addColumn<QStringList>("boxes"); // station, function, start, length
    QTest::addColumn<QString>("message");
    const QString station = QStringLiteral("你输入的设备地址格式有误!");
    const QString function = QStringLiteral("你输入的功能码格式有误!");
    const QString length = QStringLiteral("你输入的数据长度格式有误!");
    const QString start = QStringLiteral("你输入的起始地址格式有误!");
    const QString range = QStringLiteral("你输入的数据长度格式有误,正确的值应该为1-8!");
    QTest::newRow("station not a number") << QStringList{"a", "x", "", "0"} << station;
    QTest::newRow("first failing test wins") << QStringList{"2", "x", "", "8"} << function;
    QTest::newRow("length before start") << QStringList{"2", "3", "", "y"} << length;
    QTest::newRow("start empty") << QStringList{"2", "3", "", "8"} << start;
    QTest::newRow("length 0") << QStringList{"2", "3", "0", "0"} << range;
    QTest::newRow("length 9") << QStringList{"2", "3", "0", "9"} << range;
    QTest::newRow("length -1") << QStringList{"2", "3", "0", "-1"} << range;
    QTest::newRow("range before bytes") << QStringList{"300", "3", "0", "9"} << range;
    QTest::newRow("station 300") << QStringList{"300", "3", "0", "8"} << station;
    QTest::newRow("station -0.5") << QStringList{"-0.5", "3", "0", "8"} << station;
    QTest::newRow("function 255.5") << QStringList{"2", "255.5", "0", "8"} << function;
    QTest::newRow("start 256") << QStringList{"2", "3", "256", "8"} << start;
}

void tst_MeasurementQuery::badBoxesAreReported()
{
    QFETCH(QStringList, boxes);
    QFETCH(QString, message);
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtState", QStringLiteral(" 01"));
    window.form().controls.setText(u"txtCommand", QStringLiteral("old"));
    setBoxes(window, boxes[0], boxes[1], boxes[2], boxes[3]);

    pressSingleShot(window);

    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().text, message);
    QCOMPARE(started.messages.shown.first().title, QStringLiteral("Orvane"));
    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("0"));
    QCOMPARE(window.controls().text(u"txtState"), QStringLiteral(" 01"));
    QCOMPARE(window.controls().text(u"txtCommand"), QStringLiteral("old"));
    QCOMPARE(window.variables().CmdType, RequestKind::None);
    QVERIFY(started.line.drain().isEmpty());
}

void tst_MeasurementQuery::goesOutAfterAnAddressRead()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"lblErrCounter", QStringLiteral("5"));
    window.form().controls.setText(u"lblCounter", QStringLiteral("3"));

    pressSingleShot(window);

    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("4"));
    QCOMPARE(started.line.receive(8).size(), 8);
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_MeasurementQuery::closedPort()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.controls().get<QPushButton>(u"Command1")->click();
    window.form().controls.setText(u"txtState", QStringLiteral(" 01"));

    pressSingleShot(window);

    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().text, QStringLiteral("打开串口出错，请确定串口是否已被占用"));
    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("1"));
    QCOMPARE(window.controls().text(u"txtState"), QString());
    QCOMPARE(window.controls().text(u"txtCommand"), QString());
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QVERIFY(!window.variables().CycleOn);
    QVERIFY(started.line.drain().isEmpty());
}

QTEST_MAIN(tst_MeasurementQuery)
#include "tst_measurement_query.moc"

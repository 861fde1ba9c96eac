#include "app/exchange_state.h"
#include "frames.h"
#include "protocol/kv9240b/request_frames.h"
#include "protocol/modbus/hex_text.h"
#include "serial/comm_port.h"
#include "window_fixture.h"

#include <QPushButton>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

const QString NoExclamation = QStringLiteral("请指定正确的设备地址，正确值范围为1-250");
const QString WithExclamation = QStringLiteral("请指定正确的设备地址，正确值范围为1-250!");

// Runs a handler through its control, as a click would: the unavailable
// controls cannot be clicked, but their handlers stay wired.
void press(frmMain& window, QStringView button, int index = -1)
{
    emit window.controls().get<QPushButton>(button, index)->clicked();
}

} // namespace

class tst_SettingsAndAddress : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void settingFrames_data();
    void settingFrames();
    void refusedSettingChangesNothing_data();
    void refusedSettingChangesNothing();
    void settingOnAClosedPort();
    void addressRead();
    void addressChangeFrames_data();
    void addressChangeFrames();
    void addressChangeRefusals_data();
    void addressChangeRefusals();
    void addressReplies_data();
    void addressReplies();
};

void tst_SettingsAndAddress::settingFrames_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("temperature 1.5") << 0 << "1.5" << bytes({0xFA, 0x06, 0x0A, 0x00, 0x00, 0x96, 0x1F, 0xF7});
    QTest::newRow("temperature -1.5") << 0 << "-1.5" << bytes({0xFA, 0x06, 0x0A, 0x00, 0xFF, 0x6A, 0x5E, 0x46});
    QTest::newRow("temperature 0.125") << 0 << "0.125" << bytes({0xFA, 0x06, 0x0A, 0x00, 0x00, 0x0C, 0x9F, 0x9C});
    QTest::newRow("humidity 10") << 1 << "10" << bytes({0xFA, 0x06, 0x0A, 0x02, 0x03, 0xE8, 0x3E, 0xE7});
    QTest::newRow("humidity -10") << 1 << "-10" << bytes({0xFA, 0x06, 0x0A, 0x02, 0xFC, 0x18, 0x7F, 0x53});
    QTest::newRow("baud 2400") << 2 << "2400" << bytes({0xFA, 0x06, 0x0A, 0x04, 0x09, 0x60, 0xD8, 0x20});
    QTest::newRow("baud 4800") << 2 << "4800" << bytes({0xFA, 0x06, 0x0A, 0x04, 0x12, 0xC0, 0xD2, 0xA8});
    QTest::newRow("baud 9600") << 2 << "9600" << bytes({0xFA, 0x06, 0x0A, 0x04, 0x25, 0x80, 0xC5, 0x68});
    QTest::newRow("baud 19200") << 2 << "19200" << bytes({0xFA, 0x06, 0x0A, 0x04, 0x4B, 0x00, 0xE8, 0xA8});
    QTest::newRow("row 6") << 3 << "8" << bytes({0xFA, 0x06, 0x0A, 0x06, 0x00, 0x08, 0x7E, 0x5E});
    QTest::newRow("row 7") << 4 << "4095" << bytes({0xFA, 0x06, 0x0A, 0x08, 0x0F, 0xFF, 0x5B, 0xEB});
    QTest::newRow("row 8") << 5 << "9000" << bytes({0xFA, 0x06, 0x0A, 0x0A, 0x23, 0x28, 0xA6, 0xB5});
}

void tst_SettingsAndAddress::settingFrames()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(QByteArray, frame);
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtValue", index + 2, text);
    window.form().controls.setText(u"txtState", QStringLiteral(" 01"));

    press(window, u"cmdSet", index);

    QCOMPARE(started.line.receive(8), frame);
    QVERIFY(started.line.drain().isEmpty());
    QCOMPARE(window.controls().text(u"txtCommand"), sentHex(frame));
    QCOMPARE(window.controls().text(u"txtState"), QString());
    QCOMPARE(window.variables().CmdType, RequestKind::ParameterWrite);
    // The event waits for the whole 8-byte echo.
    QCOMPARE(window.variables().RecLen, std::int16_t(8));
    QCOMPARE(window.frontLamp(), Lamp::Connected);
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_SettingsAndAddress::refusedSettingChangesNothing_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("baud 9600.5") << 2 << "9600.5"
                                 << QStringLiteral("你输入的值有误，正确的值范围为2400,4800,9600或19200!");
    QTest::newRow("letters") << 0 << "1a" << QStringLiteral("你输入的值有误，请输入0-9的数据，不能含字母！");
    QTest::newRow("1e39, a number beyond single precision")
        << 0 << "1e39" << QStringLiteral("你输入的值有误，正确的值范围为-10到10!");
    QTest::newRow("1e-50 for the baud rate")
        << 2 << "1e-50" << QStringLiteral("你输入的值有误，正确的值范围为2400,4800,9600或19200!");
}

void tst_SettingsAndAddress::refusedSettingChangesNothing()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(QString, message);
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtValue", index + 2, text);
    window.form().controls.setText(u"txtState", QStringLiteral(" 01"));

    press(window, u"cmdSet", index);

    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().text, message);
    QCOMPARE(started.messages.shown.first().title, QStringLiteral("Orvane"));
    QCOMPARE(window.controls().text(u"txtState"), QStringLiteral(" 01"));
    QCOMPARE(window.controls().text(u"txtCommand"), QString());
    QCOMPARE(window.variables().CmdType, RequestKind::None);
    QVERIFY(started.line.drain().isEmpty());
}

void tst_SettingsAndAddress::settingOnAClosedPort()
{
    StartedWindow started;
    frmMain& window = *started.window;
    press(window, u"Command1");
    window.form().controls.setText(u"txtValue", 2, QStringLiteral("1.5"));

    press(window, u"cmdSet", 0);

    QCOMPARE(window.controls().text(u"txtCommand"), QStringLiteral("FA 06 0A 00 00 96 1F F7 "));
    QCOMPARE(window.variables().CmdType, RequestKind::ParameterWrite);
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QVERIFY(started.messages.shown.isEmpty());
    QVERIFY(started.line.drain().isEmpty());
}

void tst_SettingsAndAddress::addressRead()
{
    StartedWindow started;
    frmMain& window = *started.window;
    press(window, u"cmdReadAdd");

    QCOMPARE(started.line.receive(8), bytes({0xFA, 0x03, 0x00, 0x00, 0x00, 0x01, 0x91, 0x81}));
    QCOMPARE(window.controls().text(u"txtCommand"), QStringLiteral("FA 03 00 00 00 01 91 81 "));
    QCOMPARE(window.variables().CmdType, RequestKind::AddressRead);
    QCOMPARE(window.variables().RecLen, std::int16_t(7));
    QCOMPARE(window.frontLamp(), Lamp::Connected);
}

void tst_SettingsAndAddress::addressChangeFrames_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("design texts") << "1"
                                  << "1" << bytes({0x01, 0x06, 0x0B, 0x00, 0x00, 0x01, 0x4A, 0x2E});
    QTest::newRow("1 to 2") << "1"
                            << "2" << bytes({0x01, 0x06, 0x0B, 0x00, 0x00, 0x02, 0x0A, 0x2F});
    QTest::newRow("2 to 250") << "2"
                              << "250" << bytes({0x02, 0x06, 0x0B, 0x00, 0x00, 0xFA, 0x0B, 0x9E});
    QTest::newRow("255 to 5") << "255"
                              << "5" << bytes({0xFF, 0x06, 0x0B, 0x00, 0x00, 0x05, 0x5E, 0x33});
    QTest::newRow("fractions round down") << "3.99"
                                          << "2.9" << QByteArray();
}

void tst_SettingsAndAddress::addressChangeFrames()
{
    QFETCH(QString, current);
    QFETCH(QString, target);
    QFETCH(QByteArray, frame);
    if (frame.isEmpty()) {
        frame = bytes({0x03, 0x06, 0x0B, 0x00, 0x00, 0x02});
        const std::uint16_t crc = crc16Modbus(asBytes(frame));
        frame += bytes({crc & 0xFF, crc >> 8});
    }
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtSetID", 0, current);
    window.form().controls.setText(u"txtSetID", 1, target);

    press(window, u"cmdChangeID");

    QCOMPARE(started.line.receive(8), frame);
    QCOMPARE(window.variables().CmdType, RequestKind::AddressChange);
    QCOMPARE(window.variables().RecLen, std::int16_t(8));
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_SettingsAndAddress::addressChangeRefusals_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("message");
    QTest::newRow("current not a number") << "abc"
                                          << "x" << QStringLiteral("你输入的原设备地址格式有误!");
    QTest::newRow("target empty") << "1"
                                  << "" << QStringLiteral("你输入的目标设备地址格式有误!");
    QTest::newRow("target 251") << "1"
                                << "251" << WithExclamation;
    QTest::newRow("target 0") << "1"
                              << "0" << NoExclamation;
    QTest::newRow("target 0.7") << "1"
                                << "0.7" << NoExclamation;
    QTest::newRow("current 0") << "0"
                               << "5" << NoExclamation;
    QTest::newRow("zero wins over too high") << "0"
                                             << "300" << NoExclamation;
    QTest::newRow("target negative") << "1"
                                     << "-0.5" << NoExclamation;
    QTest::newRow("current negative") << "-1"
                                      << "5" << NoExclamation;
    QTest::newRow("current 256") << "256"
                                 << "5" << NoExclamation;
}

void tst_SettingsAndAddress::addressChangeRefusals()
{
    QFETCH(QString, current);
    QFETCH(QString, target);
    QFETCH(QString, message);
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtSetID", 0, current);
    window.form().controls.setText(u"txtSetID", 1, target);

    press(window, u"cmdChangeID");

    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().text, message);
    QCOMPARE(window.variables().CmdType, RequestKind::None);
    QVERIFY(started.line.drain().isEmpty());
}

void tst_SettingsAndAddress::addressReplies_data()
{
    QTest::addColumn<QString>("request"); // the button pressed
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("address"); // shown afterwards; "1" is the address before
    QTest::addColumn<int>("lamp");
    QTest::addColumn<bool>("whole"); // a whole reply: shown, and judged
    const int green = int(Lamp::Connected);
    const int red = int(Lamp::NotConnected);

    QTest::newRow("read: station 7") << "cmdReadAdd" << framed({0x07, 0x03, 0x02, 0x00, 0x07}) << "7" << green << true;
    QTest::newRow("read: answered as 250")
        << "cmdReadAdd" << framed({0xFA, 0x03, 0x02, 0x00, 0x07}) << "250" << green << true;
    QTest::newRow("read: last byte missing")
        << "cmdReadAdd" << framed({0x07, 0x03, 0x02, 0x00, 0x07}).left(6) << "1" << green << false;
    QTest::newRow("read: exception") << "cmdReadAdd" << framed({0x07, 0x83, 0x02}) << "1" << green << false;
    QByteArray corrupt = framed({0x07, 0x03, 0x02, 0x00, 0x07});
    corrupt[6] = static_cast<char>(corrupt[6] ^ 0x40);
    QTest::newRow("read: bad CRC") << "cmdReadAdd" << corrupt << "1" << red << true;
    QTest::newRow("read: noise") << "cmdReadAdd" << QByteArray(7, '\x55') << "1" << red << true;
    QTest::newRow("read: station 0") << "cmdReadAdd" << framed({0x00, 0x03, 0x02, 0x00, 0x07}) << "1" << red << true;
    QTest::newRow("read: a write echo") << "cmdReadAdd" << framed({0x07, 0x06, 0x00, 0x00, 0x00, 0x07}) << "1" << red
                                        << true;

    QTest::newRow("write: echo from 7") << "cmdSet" << framed({0x07, 0x06, 0x0A, 0x00, 0x00, 0x96}) << "7" << green
                                        << true;
    QTest::newRow("write: echo of another register")
        << "cmdSet" << framed({0x07, 0x06, 0x0A, 0x02, 0x00, 0x96}) << "1" << red << true;
    QTest::newRow("write: exception") << "cmdSet" << framed({0x07, 0x86, 0x02}) << "1" << green << false;

    QTest::newRow("change: echo") << "cmdChangeID" << framed({0x01, 0x06, 0x0B, 0x00, 0x00, 0x02}) << "2" << green
                                  << true;
    QTest::newRow("change: echo from another station")
        << "cmdChangeID" << framed({0x05, 0x06, 0x0B, 0x00, 0x00, 0x02}) << "1" << red << true;
}

void tst_SettingsAndAddress::addressReplies()
{
    QFETCH(QString, request);
    QFETCH(QByteArray, reply);
    QFETCH(QString, address);
    QFETCH(int, lamp);
    QFETCH(bool, whole);
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtValue", 2, QStringLiteral("1.5"));
    window.form().controls.setText(u"txtSetID", 1, QStringLiteral("2"));
    press(window, request, request == QLatin1String("cmdSet") ? 0 : -1);
    QCOMPARE(started.line.receive(8).size(), 8);

    started.line.send(reply);

    if (whole) {
        QTRY_COMPARE(window.controls().text(u"txtState"), receivedFrameText(asBytes(reply)));
    } else {
        QTest::qWait(150);
        QCOMPARE(window.controls().text(u"txtState"), QString()); // no event for a short reply
    }
    QCOMPARE(window.controls().text(u"txtSetID", 0), address);
    QCOMPARE(window.controls().text(u"txtStationID"), address);
    QCOMPARE(int(window.frontLamp()), lamp);
    // Only an accepted reply counts as a reception.
    const bool accepted = address != QLatin1String("1");
    QCOMPARE(window.controls().text(u"lblErrCounter"), accepted ? QStringLiteral("1") : QStringLiteral("0"));
}

QTEST_MAIN(tst_SettingsAndAddress)
#include "tst_settings_and_address.moc"

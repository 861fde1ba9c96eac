#include "protocol/modbus/crc16.h"

#include <QTest>

#include <array>
#include <vector>

using kv::Crc16;

Q_DECLARE_METATYPE(std::vector<std::uint8_t>)

class tst_Crc16 : public QObject {
    Q_OBJECT

private slots:
    void frameBytes_data();
    void frameBytes();
    void checkValue();
    void coversOnlyTheFirstBytes();
    void emptyRangeLeavesInitialValue();
    void rangePastTheFrameIsRefused();
};

void tst_Crc16::frameBytes_data()
{
    QTest::addColumn<std::vector<std::uint8_t>>("head");
    QTest::addColumn<int>("first");  // sent first: HiByte
    QTest::addColumn<int>("second"); // sent second: LoByte

    QTest::newRow("read one register at station 1")
        << std::vector<std::uint8_t>{0x01, 0x03, 0x00, 0x00, 0x00, 0x01} << 0x84 << 0x0A;
    QTest::newRow("default measurement query")
        << std::vector<std::uint8_t>{0x02, 0x03, 0x00, 0x00, 0x00, 0x08} << 0x44 << 0x3F;
    QTest::newRow("address read") << std::vector<std::uint8_t>{0xFA, 0x03, 0x00, 0x00, 0x00, 0x01} << 0x91 << 0x81;
    QTest::newRow("address change 1 to 2")
        << std::vector<std::uint8_t>{0x01, 0x06, 0x0B, 0x00, 0x00, 0x02} << 0x0A << 0x2F;
    QTest::newRow("temperature offset 1.5")
        << std::vector<std::uint8_t>{0xFA, 0x06, 0x0A, 0x00, 0x00, 0x96} << 0x1F << 0xF7;
    QTest::newRow("baud rate 19200") << std::vector<std::uint8_t>{0xFA, 0x06, 0x0A, 0x04, 0x4B, 0x00} << 0xE8 << 0xA8;
}

void tst_Crc16::frameBytes()
{
    QFETCH(std::vector<std::uint8_t>, head);
    QFETCH(int, first);
    QFETCH(int, second);

    std::array<std::uint8_t, 8> frame{};
    std::copy(head.begin(), head.end(), frame.begin());
    struct {
        std::int32_t HiByte = 0;
        std::uint8_t LoByte = 0;
    } state;
    Crc16(frame, 5, state.HiByte, state.LoByte);
    QCOMPARE(state.HiByte, first);
    QCOMPARE(int(state.LoByte), second);
}

void tst_Crc16::checkValue()
{
    const std::string digits = "123456789";
    const std::vector<std::uint8_t> bytes(digits.begin(), digits.end());
    QCOMPARE(kv::crc16Modbus(bytes), std::uint16_t(0x4B37));

    struct {
        std::int32_t HiByte = 0;
        std::uint8_t LoByte = 0;
    } state;
    Crc16(bytes, 8, state.HiByte, state.LoByte);
    QCOMPARE(state.HiByte, 0x37);
    QCOMPARE(int(state.LoByte), 0x4B);
}

void tst_Crc16::coversOnlyTheFirstBytes()
{
    // Bytes 6 and 7 hold an earlier CRC: they must not enter the new one.
    std::array<std::uint8_t, 8> frame{0x02, 0x03, 0x00, 0x00, 0x00, 0x08, 0xAA, 0x55};
    struct {
        std::int32_t HiByte = 0;
        std::uint8_t LoByte = 0;
    } state;
    Crc16(frame, 5, state.HiByte, state.LoByte);
    QCOMPARE(state.HiByte, 0x44);
    QCOMPARE(int(state.LoByte), 0x3F);
}

void tst_Crc16::emptyRangeLeavesInitialValue()
{
    std::array<std::uint8_t, 8> frame{0x01, 0x02};
    struct {
        std::int32_t HiByte = 0;
        std::uint8_t LoByte = 0;
    } state;
    Crc16(frame, -1, state.HiByte, state.LoByte);
    QCOMPARE(state.HiByte, 0xFF);
    QCOMPARE(int(state.LoByte), 0xFF);
}

void tst_Crc16::rangePastTheFrameIsRefused()
{
    std::array<std::uint8_t, 8> frame{};
    struct {
        std::int32_t HiByte = 0;
        std::uint8_t LoByte = 0;
    } state;
    state.HiByte = 7;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, Crc16(frame, 8, state.HiByte, state.LoByte));
    QCOMPARE(state.HiByte, 7);
}

QTEST_APPLESS_MAIN(tst_Crc16)
#include "tst_crc16.moc"

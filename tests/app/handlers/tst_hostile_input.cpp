#include "window_fixture.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kv;
using namespace kv::test;

namespace {

struct Box {
    const char16_t* name;
    int index;
    const char16_t* button;
    int buttonIndex;
    QString message; // shown when the text is not a number
};

QList<Box> typeableBoxes()
{
    const QString station = QStringLiteral("你输入的设备地址格式有误!");
    const QString value = QStringLiteral("你输入的值有误，请输入0-9的数据，不能含字母！");
    return {
        {u"txtStationID", -1, u"comDoOnce", -1, station},
        {u"txtFunID", -1, u"comDoOnce", -1, QStringLiteral("你输入的功能码格式有误!")},
        {u"txtStartID", -1, u"comDoOnce", -1, QStringLiteral("你输入的起始地址格式有误!")},
        {u"txtDataLength", -1, u"comDoOnce", -1, QStringLiteral("你输入的数据长度格式有误!")},
        {u"txtTimerSet", -1, u"cmdOneM", -1, QStringLiteral("你输入的定时时长格式有误，应该为数字，值范围为50-60000!")},
        {u"txtValue", 2, u"cmdSet", 0, value},
        {u"txtValue", 3, u"cmdSet", 1, value},
        {u"txtValue", 4, u"cmdSet", 2, value},
        {u"txtSetID", 0, u"cmdChangeID", -1, QStringLiteral("你输入的原设备地址格式有误!")},
    };
}

} // namespace

// Whatever is typed into a box that a request reads, the box's own message
// comes and nothing goes out, unless the text is a plain decimal number.
class tst_HostileInput : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void notNumbers_data();
    void notNumbers();
    void plainNumbersInOddDress();
};

void tst_HostileInput::notNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("a megabyte") << QString(1 << 20, QLatin1Char('9')) + QLatin1Char('x');
    QTest::newRow("a megabyte of digits") << QString(1 << 20, QLatin1Char('9'));
    QTest::newRow("1e999") << "1e999";
    QTest::newRow("-1e999") << "-1e999";
    QTest::newRow("NaN") << "NaN";
    QTest::newRow("Inf") << "Inf";
    QTest::newRow("0x10") << "0x10";
    QTest::newRow("&H10") << "&H10";
    QTest::newRow("full-width digits") << QStringLiteral("１２");
    QTest::newRow("decimal comma") << "1,5";
    QTest::newRow("control character") << QStringLiteral("1\u00002");
}

void tst_HostileInput::notNumbers()
{
    QFETCH(QString, text);
    StartedWindow started;
    frmMain& window = *started.window;
    int boxes = 0;
    for (const Box& box : typeableBoxes()) {
        started.messages.shown.clear();
        const QString before = window.controls().text(box.name, box.index);
        window.form().controls.setText(box.name, box.index, text);

        emit window.controls().get<QPushButton>(box.button, box.buttonIndex)->clicked();

        QCOMPARE(started.messages.shown.size(), 1);
        QCOMPARE(started.messages.shown.first().text, box.message);
        QVERIFY(!window.pollTimer().isActive());
        window.form().controls.setText(box.name, box.index, before);
        ++boxes;
    }
    QCOMPARE(boxes, 9);
    QVERIFY(started.line.drain(50).isEmpty());
    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("1")); // the Cycle button resets it
}

void tst_HostileInput::plainNumbersInOddDress()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtStationID", QStringLiteral("  7  "));
    window.form().controls.setText(u"txtFunID", QStringLiteral("+3"));
    window.form().controls.setText(u"txtStartID", QStringLiteral("-0"));
    window.form().controls.setText(u"txtDataLength", QStringLiteral("2e0"));

    emit window.controls().get<QPushButton>(u"comDoOnce")->clicked();

    QCOMPARE(started.line.receive(8).left(6), QByteArray("\x07\x03\x00\x00\x00\x02", 6));
    QVERIFY(started.messages.shown.isEmpty());
}

QTEST_MAIN(tst_HostileInput)
#include "tst_hostile_input.moc"

// What assistive tools read of the window: every text it shows, and each box
// named by its own caption.
#include "app/main_window.h"
#include "app/traffic_log/text_line.h"
#include "app/traffic_log/traffic_log_window.h"
#include "message_recorder.h"
#include "pty_pair.h"
#include "session/traffic_recorder.h"

#include <QAccessible>
#include <QTest>

using namespace kv;
using namespace kv::test;

class tst_Accessibility : public QObject {
    Q_OBJECT

private slots:
    void boxesAreNamedByTheirCaptions();
    void paintedTextLinesAreRead();
};

void tst_Accessibility::boxesAreNamedByTheirCaptions()
{
    PtyPair line;
    PortWiring com1(1, line.slavePath());
    MessageRecorder messages;
    frmMain window;
    window.load();
    const struct {
        const char16_t* box;
        int index;
        QString caption;
    } boxes[] = {
        {u"Combo1", -1, QStringLiteral("串口号")},
        {u"Combo2", -1, QStringLiteral("波特率")},
        {u"txtCommand", -1, QStringLiteral("串口发送数据")},
        {u"txtState", -1, QStringLiteral("串口接收数据")},
        {u"txtStationID", -1, QStringLiteral("设备地址")},
        {u"txtDataLength", -1, QStringLiteral("数据长度")},
        {u"txtSetID", 0, QStringLiteral("地址")},
        {u"txtValue", 0, QStringLiteral("温度值")},
        {u"txtValue", 1, QStringLiteral("湿度值")},
        {u"txtValue", 3, QStringLiteral("湿度误差校准")},
        {u"txtValue", 7, QStringLiteral("DA输出最小值")},
        {u"txtTimerSet", -1, QStringLiteral("定时时长(ms)")},
    };
    for (const auto& box : boxes) {
        QWidget* widget = window.controls().widget(QStringView(box.box), box.index);
        QVERIFY(widget);
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(read);
        // Labelled by its caption; a text box also takes it as its name (a
        // drop-down list's name is its text on this platform).
        QStringList labels;
        for (const auto& [label, relation] : read->relations(QAccessible::Label))
            labels << label->text(QAccessible::Name).trimmed();
        QVERIFY2(labels.contains(box.caption), qPrintable(labels.join(QLatin1Char('|'))));
        if (read->role() == QAccessible::EditableText)
            QCOMPARE(read->text(QAccessible::Name).trimmed(), box.caption);
    }
}

void tst_Accessibility::paintedTextLinesAreRead()
{
    TrafficRecorder recorder;
    MessageRecorder messages;
    TrafficLogWindow log(recorder);
    log.show();
    QVERIFY(QTest::qWaitForWindowExposed(&log));
    const QList<TextLine*> lines = log.findChildren<TextLine*>();
    QVERIFY(lines.size() >= 2);
    for (TextLine* line : lines) {
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(line);
        QVERIFY(read);
        QCOMPARE(read->role(), QAccessible::StaticText);
        QVERIFY(!line->text().isEmpty());
        QCOMPARE(read->text(QAccessible::Name), line->text());
        QCOMPARE(read->text(QAccessible::Value), line->text());
    }
    TextLine* statistics = log.findChild<TextLine*>(QStringLiteral("statistics"));
    QVERIFY(statistics->text().startsWith(QStringLiteral("请求 0")));
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"

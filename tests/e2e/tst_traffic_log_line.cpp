// The traffic log on a real exchange: the window polls the simulated sensor
// (or a pseudo-terminal the test plays) while the log records, and what the
// technician would read is read back through the log's table.
#include "app/main_window.h"
#include "app/tool_window.h"
#include "app/traffic_log/traffic_log_window.h"
#include "garbage_burst.h"
#include "message_recorder.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace kv;
using namespace kv::test;

namespace {

// The tool's window, started, with COM1 on the simulated sensor.
struct LoggedTool {
    explicit LoggedTool(const QStringList& simArguments = {})
        : sim(std::make_unique<SimProcess>(simArguments))
        , com1(1, sim->devicePath())
    {
        window.load();
    }

    frmMain& form() { return window.form(); }
    void click(QStringView button) { emit form().controls().get<QPushButton>(button)->clicked(); }
    void startPolling(int periodMs)
    {
        form().form().controls.setText(u"txtTimerSet", QString::number(periodMs));
        click(u"cmdOneM");
    }
    TrafficLogWindow& log()
    {
        if (!window.trafficLog())
            window.showTrafficLog();
        return *window.trafficLog();
    }
    // Column texts of every row of the log, as the table holds them.
    QStringList column(LogColumn column)
    {
        const QAbstractItemModel& model = log().log();
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts << model.index(row, static_cast<int>(column)).data().toString();
        return texts;
    }
    QString statistics() { return log().findChild<TextLine*>(QStringLiteral("statistics"))->text(); }

    MessageRecorder messages;
    std::unique_ptr<SimProcess> sim;
    PortWiring com1;
    ToolWindow window;
};

} // namespace

class tst_TrafficLogLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void openedByItsShortcutShowsWhatCameBefore();
    void faultsWhilePolling_data();
    void faultsWhilePolling();
    void lostPort();
    void garbageBurstWithTheLogOpen();
    void exceptionStampedWhenItArrived();
    void everyFloodedByteIsInTheLog();
};

void tst_TrafficLogLine::openedByItsShortcutShowsWhatCameBefore()
{
    LoggedTool tool;
    tool.click(u"comDoOnce");
    QTRY_COMPARE(tool.form().controls().text(u"txtValue", 0), QStringLiteral("25.00"));
    tool.window.show();
    QApplication::setActiveWindow(&tool.window);
    QVERIFY(QTest::qWaitForWindowActive(&tool.window));
    QVERIFY(!tool.window.trafficLog());

    QTest::keyClick(&tool.window, Qt::Key_L, Qt::ControlModifier);
    QTRY_VERIFY(tool.window.trafficLog() && tool.window.trafficLog()->isVisible());
    TrafficLogWindow* log = tool.window.trafficLog();
    QCOMPARE(log->windowTitle(), QStringLiteral("通信记录"));
    QVERIFY(QTest::qWaitForWindowActive(log));
    // The exchange before the log was opened is in it.
    const QAbstractItemModel& rows = log->log();
    QCOMPARE(rows.rowCount(), 2);
    QCOMPARE(rows.index(0, static_cast<int>(LogColumn::Meaning)).data().toString(),
        QStringLiteral("从站 1 读 5 个寄存器，起始地址 0"));
    QCOMPARE(rows.index(1, static_cast<int>(LogColumn::Meaning)).data().toString(),
        QStringLiteral("25.00 °C，60.00 %RH，校准 0.00 / 0.00，9600 波特"));

    // Chosen again through the menu: the same window comes to the front.
    QApplication::setActiveWindow(&tool.window);
    QVERIFY(QTest::qWaitForWindowActive(&tool.window));
    QTest::keyClick(&tool.window, Qt::Key_T, Qt::AltModifier);
    QMenu* tools = tool.window.toolsMenu();
    QTRY_VERIFY(tools->isVisible());
    QTest::keyClick(tools, Qt::Key_L);
    QVERIFY(QTest::qWaitForWindowActive(log));
    QCOMPARE(tool.window.trafficLog(), log);
    QCOMPARE(tool.window.findChildren<TrafficLogWindow*>().size(), 1);
    QVERIFY(tool.messages.shown.isEmpty());
}

void tst_TrafficLogLine::faultsWhilePolling_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("answer");  // the rows after each request
    QTest::addColumn<QString>("meaning");     // of the first row after a request
    QTest::addColumn<QStringList>("counted"); // on the statistics line

    QTest::newRow("no reply") << "no-reply:1" << QStringList{"无应答"} << "下一请求前无应答，等待 "
                              << QStringList{"正常 0", "无应答 ", "丢失率 100.0 %"};
    QTest::newRow("partial") << "partial:1" << QStringList{"不完整（"} << "收到 " << QStringList{"正常 0", "不完整 "};
    QTest::newRow("bad CRC") << "bad-crc:1" << QStringList{"CRC 错误"} << "校验不符，内容不可信"
                             << QStringList{"正常 0", "CRC 错误 "};
    QTest::newRow("exception") << "exception:1" << QStringList{"异常 04 从站设备故障"} << "异常 04：从站设备故障"
                               << QStringList{"正常 0", "异常 "};
    QTest::newRow("extra bytes") << "extra-bytes:1" << QStringList{"正常", "未请求"} << "25.00 °C"
                                 << QStringList{"无应答 0", "未请求 ", "丢失率 0.0 %"};
    QTest::newRow("wrong station") << "wrong-station:1" << QStringList{"不符"} << "来自从站 2，请求的是从站 1"
                                   << QStringList{"正常 0", "不符 "};
}

void tst_TrafficLogLine::faultsWhilePolling()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, answer);
    QFETCH(QString, meaning);
    QFETCH(QStringList, counted);
    LoggedTool tool({QStringLiteral("--fault"), fault});
    TrafficLogWindow& log = tool.log();
    log.show();

    tool.startPolling(50);
    QVERIFY(tool.sim->waitForLines(QStringLiteral("FAULT"), 6, 5000));
    tool.click(u"cmdStopOnce");
    QTest::qWait(400); // the last answer ends, and the log catches up

    const QStringList verdicts = tool.column(LogColumn::Verdict);
    const QStringList meanings = tool.column(LogColumn::Meaning);
    const QStringList directions = tool.column(LogColumn::Direction);
    int requests = 0;
    // Every request but the last is followed by the fault's rows; the last
    // one's may still be open.
    for (int row = 0; row + static_cast<int>(answer.size()) < verdicts.size(); ++row) {
        if (directions[row] != QStringLiteral("发送"))
            continue;
        // A no reply is stated once a late answer can no longer come: each
        // follows the next request, so the first request has none under it.
        if (++requests == 1 && fault == QStringLiteral("no-reply:1"))
            continue;
        QCOMPARE(meanings[row], QStringLiteral("从站 1 读 5 个寄存器，起始地址 0"));
        for (qsizetype i = 0; i < answer.size(); ++i)
            QVERIFY2(verdicts[row + 1 + i].startsWith(answer[i]), qPrintable(verdicts[row + 1 + i]));
        QVERIFY2(meanings[row + 1].startsWith(meaning), qPrintable(meanings[row + 1]));
    }
    QVERIFY2(requests >= 5, qPrintable(verdicts.join(QLatin1Char('|'))));
    for (const QString& part : counted)
        QTRY_VERIFY2(tool.statistics().contains(part), qPrintable(tool.statistics()));
    QVERIFY(tool.messages.shown.isEmpty());
}

void tst_TrafficLogLine::lostPort()
{
    LoggedTool tool;
    tool.log().show();
    tool.startPolling(50);
    QTRY_COMPARE(tool.form().controls().text(u"txtValue", 0), QStringLiteral("25.00"));

    tool.sim.reset(); // the other end goes away mid-poll

    QTRY_VERIFY(tool.column(LogColumn::Verdict).contains(QStringLiteral("端口丢失")));
    const QStringList meanings = tool.column(LogColumn::Meaning);
    QVERIFY(meanings.contains(QStringLiteral("串口设备已断开")));
    QTRY_VERIFY2(tool.statistics().contains(QStringLiteral("端口丢失 1")), qPrintable(tool.statistics()));
    QTRY_COMPARE(tool.messages.shown.size(), 1); // the window's own message, as before
    tool.click(u"cmdStopOnce");
}

void tst_TrafficLogLine::garbageBurstWithTheLogOpen()
{
    PtyPair line;
    PortWiring com1(1, line.slavePath());
    MessageRecorder messages;
    ToolWindow window;
    window.load();
    window.traffic().setCapacity(1000); // the burst overflows it: rows leave the top as it comes
    window.showTrafficLog();
    TrafficLogWindow& log = *window.trafficLog();
    window.form().form().controls.setText(u"txtTimerSet", QStringLiteral("50"));
    emit window.form().controls().get<QPushButton>(u"cmdOneM")->clicked();

    const QByteArray garbage = highBitGarbage(1 << 20, 7);

    // The technician's input must keep getting through.
    const InputProbe probe;
    for (qsizetype at = 0; at < garbage.size(); at += 4096)
        line.send(garbage.mid(at, 4096));
    QTest::qWait(300);
    emit window.form().controls().get<QPushButton>(u"cmdStopOnce")->clicked();

    QVERIFY2(probe.longestGapMs() < 100, qPrintable(QStringLiteral("longest gap %1 ms").arg(probe.longestGapMs())));
    QTRY_COMPARE(log.log().waiting(), 0); // the last chunks are in, and the table has caught up
    // Capped: the newest thousand frames, and at most a hundredth more before the oldest go.
    const int rows = log.log().rowCount();
    QVERIFY2(rows >= 1000 && rows <= 1010, qPrintable(QString::number(rows)));
    qsizetype longest = 0;
    for (int row = 0; row < rows; ++row)
        longest = std::max<qsizetype>(longest, log.log().frameAt(row)->bytes.size());
    QCOMPARE(longest, 256);
    const auto status = [&log] { return log.findChild<TextLine*>(QStringLiteral("logStatus"))->text(); };
    QTRY_VERIFY2(status().contains(QStringLiteral("超出 1000 帧的上限而移除")), qPrintable(status()));
    // The view shows the newest rows: it followed the burst down.
    const QScrollBar* scroll = log.table().verticalScrollBar();
    QCOMPARE(scroll->value(), scroll->maximum());
    QVERIFY(messages.shown.isEmpty());
}

// An answer shorter than the one asked for is stamped when its last byte
// came, not when the window would have given up waiting for the rest (the
// frame's time and 100 ms). The bound leaves room for the window being woken
// late on a busy machine.
void tst_TrafficLogLine::exceptionStampedWhenItArrived()
{
    LoggedTool tool({QStringLiteral("--turnaround-ms"), QStringLiteral("10"), QStringLiteral("--fault"),
        QStringLiteral("exception:1")});
    tool.startPolling(200);
    QVERIFY(tool.sim->waitForLines(QStringLiteral("TX"), 5, 5000));
    tool.click(u"cmdStopOnce");
    const QList<SimProcess::Entry> sent = tool.sim->entries(QStringLiteral("TX"));
    const TrafficRecorder& record = tool.window.traffic();
    const auto exceptionStamps = [&record] {
        QList<double> stamps;
        for (qsizetype row = 0; row < record.size(); ++row) {
            if (record.at(row).verdict == FrameVerdict::Exception)
                stamps << static_cast<double>(record.at(row).at) / 1e9;
        }
        return stamps;
    };
    QTRY_VERIFY(exceptionStamps().size() >= 5);
    const QList<double> stamps = exceptionStamps();
    QList<double> offMs;
    for (int i = 0; i < 5; ++i)
        offMs << std::abs(stamps[i] - sent[i].seconds) * 1e3;
    std::sort(offMs.begin(), offMs.end());
    QVERIFY2(offMs[2] < 10.0, qPrintable(QStringLiteral("stamped %1 ms off the sensor's, median").arg(offMs[2])));
}

// Garbage flooding the line while the window polls: every byte written is in
// the log, also those the window's buffer reset before each request empties.
void tst_TrafficLogLine::everyFloodedByteIsInTheLog()
{
    PtyPair line;
    PortWiring com1(1, line.slavePath());
    MessageRecorder messages;
    ToolWindow window;
    window.load();
    window.form().form().controls.setText(u"txtTimerSet", QStringLiteral("50"));
    emit window.form().controls().get<QPushButton>(u"cmdOneM")->clicked();

    const QByteArray garbage = highBitGarbage(1 << 20, 11);
    for (qsizetype at = 0; at < garbage.size(); at += 4096)
        line.send(garbage.mid(at, 4096));
    const TrafficRecorder& record = window.traffic();
    const auto receivedBytes = [&record] {
        qsizetype total = 0;
        for (qsizetype row = 0; row < record.size(); ++row) {
            if (record.at(row).direction == Direction::Received)
                total += record.at(row).bytes.size();
        }
        return total;
    };
    QTRY_COMPARE_WITH_TIMEOUT(receivedBytes(), garbage.size(), 10000);
    emit window.form().controls().get<QPushButton>(u"cmdStopOnce")->clicked();
    QCOMPARE(record.dropped(), 0u);
}

QTEST_MAIN(tst_TrafficLogLine)
#include "tst_traffic_log_line.moc"

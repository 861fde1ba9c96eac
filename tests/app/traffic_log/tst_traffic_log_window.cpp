#include "app/problem_line.h"
#include "app/traffic_log/log_file.h"
#include "app/traffic_log/traffic_log_window.h"
#include "frames.h"
#include "message_recorder.h"
#include "save_file_chooser.h"
#include "session/traffic_recorder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolTip>

using namespace kv;
using namespace kv::test;

namespace {

constexpr qint64 Ms = 1'000'000;
constexpr int Baud = 9600;

const QByteArray ReadFive = framed(bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x05}));
const QByteArray Answer = framed(bytes({0x01, 0x03, 0x0A, 0x09, 0xC4, 0x17, 0x70, 0, 0, 0, 0, 0x25, 0x80}));
const QByteArray Exception = framed(bytes({0x01, 0x83, 0x04}));

void exchange(TrafficRecorder& recorder, qint64 at, const QByteArray& answer)
{
    recorder.written(ReadFive, at * Ms, Baud);
    recorder.arrived(answer, (at + 30) * Ms, Baud);
    recorder.settle((at + 40) * Ms);
}

// The log window on its own recorder, shown, with a few exchanges in it.
struct OpenLog {
    TrafficRecorder recorder;
    MessageRecorder messages;
    SaveFileChooser chooser;
    std::unique_ptr<TrafficLogWindow> window;

    explicit OpenLog(int exchanges = 3)
    {
        for (int i = 0; i < exchanges; ++i)
            exchange(recorder, i * 100, i == 1 ? Exception : Answer);
        window = std::make_unique<TrafficLogWindow>(recorder);
        window->show();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    QTableView& table() { return window->table(); }
    QString statistics() { return window->findChild<TextLine*>(QStringLiteral("statistics"))->text(); }
    QString status() { return window->findChild<TextLine*>(QStringLiteral("logStatus"))->text(); }
    void click(const char* action)
    {
        auto* tools = window->findChild<QToolBar*>(QStringLiteral("logTools"));
        QWidget* button = tools->widgetForAction(window->findChild<QAction*>(QLatin1String(action)));
        QTest::mouseClick(button, Qt::LeftButton);
    }
};

// A CSV file read back by the rules it was written by (RFC 4180).
QList<QStringList> readCsv(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    QList<QStringList> records{{}};
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += c, ++i;
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            records.last() << std::exchange(field, {});
        } else if (c == u'\n') {
            records.last() << std::exchange(field, {});
            records.append(QStringList{});
        } else {
            field += c;
        }
    }
    if (records.last().isEmpty())
        records.removeLast();
    return records;
}

} // namespace

class tst_TrafficLogWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void statisticsLineAndItsReset();
    void pauseHoldsTheRowsWhileCounting();
    void clearKeepsTheStatistics();
    void problemsOnly();
    void copiesTheSelectedRows();
    void savesAsCsv();
    void savesAsText();
    void unwritableFileLosesNothing();
    void saysHowManyFellOff();
    void timingNoteOnTheTable();
};

void tst_TrafficLogWindow::statisticsLineAndItsReset()
{
    OpenLog log;
    QVERIFY(log.statistics().startsWith(QStringLiteral("请求 3　正常 2　无应答 0　不完整 0　CRC 错误 0　异常 1")));
    QVERIFY(log.statistics().contains(QStringLiteral("丢失率 33.3 %")));
    // Two answers 30 ms after their requests, less the 8.3 ms the request takes on the wire.
    QVERIFY2(log.statistics().contains(QStringLiteral("21.7 / 21.7 / 21.7 / 21.7 ms")), qPrintable(log.statistics()));

    QTest::mouseClick(log.window->findChild<QPushButton*>(QStringLiteral("resetStatistics")), Qt::LeftButton);
    QVERIFY(log.statistics().startsWith(QStringLiteral("请求 0　正常 0")));
    QVERIFY(log.statistics().contains(QStringLiteral("– / – / – / – ms")));
    QCOMPARE(log.table().model()->rowCount(), 6); // the log stays
}

void tst_TrafficLogWindow::pauseHoldsTheRowsWhileCounting()
{
    OpenLog log;
    log.click("actionPause");
    exchange(log.recorder, 1000, Answer);
    exchange(log.recorder, 1100, Answer);
    QTest::qWait(3 * TrafficLogModel::BatchInterval.count());

    QCOMPARE(log.table().model()->rowCount(), 6);
    QTRY_VERIFY(log.statistics().startsWith(QStringLiteral("请求 5　正常 4"))); // counted all the same
    QTRY_VERIFY2(log.status().contains(QStringLiteral("已暂停，4 帧待显示")), qPrintable(log.status()));

    log.click("actionPause"); // now "继续"
    QCOMPARE(log.table().model()->rowCount(), 10);
    QVERIFY(!log.status().contains(QStringLiteral("暂停")));
}

void tst_TrafficLogWindow::clearKeepsTheStatistics()
{
    OpenLog log;
    log.click("actionClear");
    QCOMPARE(log.table().model()->rowCount(), 0);
    QVERIFY(log.statistics().startsWith(QStringLiteral("请求 3　正常 2")));
    exchange(log.recorder, 1000, Answer);
    QTRY_COMPARE(log.table().model()->rowCount(), 2);
}

void tst_TrafficLogWindow::problemsOnly()
{
    OpenLog log;
    log.click("actionProblemsOnly");
    const QAbstractItemModel* shown = log.table().model();
    QCOMPARE(shown->rowCount(), 2);
    QCOMPARE(shown->index(1, static_cast<int>(LogColumn::Verdict)).data().toString(),
        QStringLiteral("异常 04 从站设备故障"));
    QCOMPARE(shown->index(0, static_cast<int>(LogColumn::Direction)).data().toString(), QStringLiteral("发送"));

    // It follows the log while it is on.
    exchange(log.recorder, 1000, Exception);
    exchange(log.recorder, 1100, Answer);
    QTRY_COMPARE(log.table().model()->rowCount(), 4);
    log.click("actionProblemsOnly");
    QCOMPARE(log.table().model()->rowCount(), 10);
}

void tst_TrafficLogWindow::copiesTheSelectedRows()
{
    OpenLog log;
    QTableView& table = log.table();
    QApplication::clipboard()->clear();
    // Click the second row, shift-click the fourth, copy with the keyboard.
    const auto rowPoint = [&table](int row) {
        return table.visualRect(table.model()->index(row, static_cast<int>(LogColumn::Hex))).center();
    };
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, rowPoint(1));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, Qt::ShiftModifier, rowPoint(3));
    QTest::keyClick(&table, Qt::Key_C, Qt::ControlModifier);

    const QStringList lines = QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), textLine(log.recorder.at(1)));
    QCOMPARE(lines.at(2), textLine(log.recorder.at(3)));
    const QStringList fields = lines.at(0).split(QLatin1Char('\t'));
    QCOMPARE(fields.size(), 7);
    QCOMPARE(fields.at(2), QStringLiteral("接收"));
    QCOMPARE(fields.at(4), QStringLiteral("01 03 0A 09 C4 17 70 00 00 00 00 25 80 BC 41"));
    QCOMPARE(fields.at(5), QStringLiteral("正常"));
}

void tst_TrafficLogWindow::savesAsCsv()
{
    OpenLog log;
    QTemporaryDir dir;
    log.chooser.path = dir.filePath(QStringLiteral("line")); // no suffix: the filter's
    log.click("actionSave");

    QCOMPARE(log.chooser.asked.size(), 1);
    const QList<QStringList> records = readCsv(dir.filePath(QStringLiteral("line.csv")));
    QCOMPARE(records.size(), 1 + log.recorder.size());
    QCOMPARE(records.first().join(QLatin1Char(',')), QLatin1String(CsvHeader));
    for (const QStringList& record : records)
        QCOMPARE(record.size(), 7);
    const QStringList request = records.at(3);
    QCOMPARE(request.at(1), QStringLiteral("70.000")); // 100 ms after the request, 30 after its answer
    QCOMPARE(request.at(2), QStringLiteral("发送"));
    QCOMPARE(request.at(3), QStringLiteral("8"));
    QCOMPARE(request.at(4), QStringLiteral("01 03 00 00 00 05 85 C9"));
    QCOMPARE(request.at(5), QString());
    QCOMPARE(request.at(6), QStringLiteral("从站 1 读 5 个寄存器，起始地址 0"));
    const QStringList exception = records.at(4);
    QCOMPARE(exception.at(1), QStringLiteral("30.000"));
    QCOMPARE(exception.at(5), QStringLiteral("异常 04 从站设备故障"));
    QCOMPARE(exception.at(0), log.table().model()->index(3, 0).data().toString());
    QVERIFY(log.messages.shown.isEmpty());
}

void tst_TrafficLogWindow::savesAsText()
{
    OpenLog log;
    QTemporaryDir dir;
    log.chooser.path = dir.filePath(QStringLiteral("line"));
    log.chooser.filter = QStringLiteral("文本文件 (*.txt)");
    log.click("actionSave");

    QFile file(dir.filePath(QStringLiteral("line.txt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + log.recorder.size());
    QVERIFY(lines.first().startsWith(QStringLiteral("时间\t")));
    QCOMPARE(lines.at(2), textLine(log.recorder.at(1)));
}

void tst_TrafficLogWindow::unwritableFileLosesNothing()
{
    OpenLog log;
    QTemporaryDir dir;
    // A path below an ordinary file cannot be written, whoever runs the test.
    QFile blocker(dir.filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    log.chooser.path = dir.filePath(QStringLiteral("file/line.csv"));
    log.click("actionSave");

    // Said in the window until closed; no box holds anything up.
    auto* problem = log.window->findChild<ProblemLine*>(QStringLiteral("problemLine"));
    QVERIFY(log.messages.shown.isEmpty());
    QVERIFY(problem->isVisible());
    QVERIFY2(problem->text().contains(QStringLiteral("line.csv")), qPrintable(problem->text()));
    QCOMPARE(log.recorder.size(), 6);
    QCOMPARE(log.table().model()->rowCount(), 6);

    // Another place then takes all of it.
    log.chooser.path = dir.filePath(QStringLiteral("line.csv"));
    log.click("actionSave");
    QCOMPARE(readCsv(log.chooser.path).size(), 7);
    QVERIFY(problem->isVisible());
    QTest::mouseClick(problem->findChild<QAbstractButton*>(QStringLiteral("dismissProblem")), Qt::LeftButton);
    QVERIFY(!problem->isVisible());
    QVERIFY(log.messages.shown.isEmpty());
}

void tst_TrafficLogWindow::saysHowManyFellOff()
{
    OpenLog log(0);
    log.recorder.setCapacity(4);
    for (int i = 0; i < 5; ++i)
        exchange(log.recorder, i * 100, Answer);
    QTRY_COMPARE(log.table().model()->rowCount(), 4);
    QTRY_VERIFY2(
        log.status().contains(QStringLiteral("已有 6 帧最早的记录超出 4 帧的上限而移除")), qPrintable(log.status()));

    log.click("actionClear"); // from here on the log is whole again
    QVERIFY(!log.status().contains(QStringLiteral("移除")));
}

void tst_TrafficLogWindow::timingNoteOnTheTable()
{
    OpenLog log;
    // Hovering over a row shows what the times are.
    QWidget* rows = log.table().viewport();
    const QPoint over = log.table().visualRect(log.table().model()->index(1, 0)).center();
    QHelpEvent hover(QEvent::ToolTip, over, rows->mapToGlobal(over));
    QApplication::sendEvent(rows, &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    QVERIFY(QToolTip::text().contains(QStringLiteral("数据到达本程序的时刻")));
    QVERIFY(QToolTip::text().contains(QStringLiteral("USB")));
    QVERIFY(QToolTip::text().contains(QStringLiteral("1 毫秒")));
    QToolTip::hideText();
}

QTEST_MAIN(tst_TrafficLogWindow)
#include "tst_traffic_log_window.moc"

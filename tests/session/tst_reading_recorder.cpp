#include "session/reading_recorder.h"

#include "recorded_csv.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kv;
using test::readRecordedCsv;
using test::RecordedCsv;
using test::RecordHeader;

Q_DECLARE_METATYPE(kv::RecordFailure)

namespace {

const QDateTime Start(QDate(2026, 3, 2), QTime(9, 0));

Reading reading(int second, OutcomeKind status, std::optional<int> temperature, std::optional<int> humidity)
{
    Reading made;
    made.time = Start.addSecs(second);
    made.station = 3;
    made.status = status;
    made.values.station = 3;
    made.values.temperature = temperature;
    made.values.humidity = humidity;
    return made;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString temperatureColumn(const RecordedCsv& recorded)
{
    QStringList values;
    for (const QStringList& row : recorded.rows)
        values << row.value(2);
    return values.join(QLatin1Char(' '));
}

const QByteArray HeaderLine = RecordHeader.toUtf8() + '\n';
const QByteArray EarlierRow = "2026-03-01T08:00:00.000+01:00,3,19.00,40.00,,,,ok\n";

} // namespace

class tst_ReadingRecorder : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void readingsBecomeRows();
    void appendsToARecording_data();
    void appendsToARecording();
    void leavesAFileOfSomethingElseAlone();
    void keepsToItsFormat_data();
    void keepsToItsFormat();
    void fileGoneStopsTheRecording_data();
    void fileGoneStopsTheRecording();
    void twoStartingOneFileWriteOneHeader();
    void cannotRecord_data();
    void cannotRecord();
    void fullDiskStopsTheRecording();
    void killedWhileRecordingLeavesWholeRows();

private:
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

void tst_ReadingRecorder::readingsBecomeRows()
{
    ReadingRecorder recorder;
    QSignalSpy rows(&recorder, &ReadingRecorder::rowWritten);
    QSignalSpy failures(&recorder, &ReadingRecorder::failed);
    const QString file = path("run.csv");
    recorder.record(reading(0, OutcomeKind::Ok, 1000, 2000)); // before the recording: not written
    QVERIFY(recorder.start(file));
    recorder.record(reading(1, OutcomeKind::Ok, 2534, 4507));
    recorder.record(reading(2, OutcomeKind::NoReply, std::nullopt, std::nullopt));
    recorder.record(reading(3, OutcomeKind::Ok, 2535, std::nullopt));
    recorder.record(reading(5, OutcomeKind::Ok, -120, 3000));
    QCOMPARE(recorder.rowsWritten(), 4);
    QCOMPARE(rows.count(), 4);

    // Each row is on the disk as soon as it is written, before the file is closed.
    const RecordedCsv recorded = readRecordedCsv(file);
    QCOMPARE(recorded.header, RecordHeader);
    QCOMPARE(recorded.invalidLines, QStringList());
    QCOMPARE(recorded.rows.size(), 4);
    QCOMPARE(temperatureColumn(recorded), QStringLiteral("25.34  25.35 -1.20"));
    QCOMPARE(recorded.rows[0].value(3), QStringLiteral("45.07"));
    QCOMPARE(recorded.rows[1].value(7), QStringLiteral("no-reply"));
    QCOMPARE(recorded.rows[2].value(3), QString());
    QCOMPARE(recorded.rows[3].value(0).left(23), QStringLiteral("2026-03-02T09:00:05.000"));

    recorder.stop();
    recorder.record(reading(6, OutcomeKind::Ok, 1, 1));
    QCOMPARE(readRecordedCsv(file).rows.size(), 4);
    QCOMPARE(failures.count(), 0);
}

void tst_ReadingRecorder::appendsToARecording_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("kept"); // of it, after the header

    QTest::newRow("new file") << QByteArray() << QByteArray();
    QTest::newRow("empty file") << QByteArray("") << QByteArray();
    QTest::newRow("a recording") << HeaderLine + EarlierRow << EarlierRow;
    QTest::newRow("last row cut off") << HeaderLine + EarlierRow + "2026-03-01T08:00:01.0" << EarlierRow;
    QTest::newRow("header cut off") << HeaderLine.left(20) << QByteArray();
    QTest::newRow("header without its newline") << HeaderLine.chopped(1) << QByteArray();
}

void tst_ReadingRecorder::appendsToARecording()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, kept);
    const QString file = path("appended.csv");
    QFile::remove(file);
    if (!before.isNull())
        write(file, before);

    ReadingRecorder recorder;
    QSignalSpy failures(&recorder, &ReadingRecorder::failed);
    QVERIFY(recorder.start(file));
    recorder.record(reading(1, OutcomeKind::Ok, 2100, 5100));
    recorder.stop();

    const QByteArray after = contents(file);
    QVERIFY2(after.startsWith(HeaderLine + kept), after.constData());
    QCOMPARE(after.count(HeaderLine), 1);
    const RecordedCsv recorded = readRecordedCsv(file);
    QCOMPARE(recorded.invalidLines, QStringList());
    QCOMPARE(recorded.cutOff, QByteArray());
    QCOMPARE(recorded.rows.last().value(2), QStringLiteral("21.00"));
    QCOMPARE(recorder.rowsWritten(), 1);
    QCOMPARE(failures.count(), 0);
}

void tst_ReadingRecorder::leavesAFileOfSomethingElseAlone()
{
    const QString file = path("notes.txt");
    const QByteArray notes = "calibration on Monday\nno newline at the end";
    write(file, notes);
    ReadingRecorder recorder;
    QSignalSpy failures(&recorder, &ReadingRecorder::failed);
    QVERIFY(!recorder.start(file));
    recorder.record(reading(1, OutcomeKind::Ok, 2100, 5100));
    QVERIFY(!recorder.isRecording());
    QCOMPARE(failures.count(), 1);
    QCOMPARE(failures[0][0].value<RecordFailure>(), RecordFailure::NotARecording);
    QCOMPARE(contents(file), notes);
}

Q_DECLARE_METATYPE(kv::RecordFormat)

void tst_ReadingRecorder::keepsToItsFormat_data()
{
    QTest::addColumn<RecordFormat>("format");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("kept"); // empty: the file is refused and left as it was

    const auto line
        = [](RecordFormat format) { return recordLineBytes(format, reading(0, OutcomeKind::Ok, 1900, 4000)); };
    const QByteArray json = line(RecordFormat::Json);
    const QByteArray influx = line(RecordFormat::Influx);
    const QByteArray crlf = HeaderLine.chopped(1) + "\r\n" + EarlierRow.chopped(1) + "\r\n";
    QTest::newRow("csv with CR LF") << RecordFormat::Csv << crlf << crlf;
    QTest::newRow("json, last line cut off") << RecordFormat::Json << json + json.left(30) << json;
    QTest::newRow("influx, last line cut off") << RecordFormat::Influx << influx + influx.left(12) << influx;
    QTest::newRow("json lines to csv") << RecordFormat::Csv << json << QByteArray();
    QTest::newRow("csv to json lines") << RecordFormat::Json << HeaderLine + EarlierRow << QByteArray();
    QTest::newRow("influx to json lines") << RecordFormat::Json << influx << QByteArray();
    QTest::newRow("json lines to influx") << RecordFormat::Influx << json << QByteArray();
}

// Every format is appended to only when the file holds its own records, with
// the file's line ends and after a cut-off line is dropped.
void tst_ReadingRecorder::keepsToItsFormat()
{
    QFETCH(RecordFormat, format);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, kept);
    const QString file = path("formats");
    write(file, before);

    ReadingRecorder recorder(format);
    QSignalSpy failures(&recorder, &ReadingRecorder::failed);
    const Reading added = reading(1, OutcomeKind::Ok, 2100, 5100);
    QCOMPARE(recorder.start(file), !kept.isEmpty());
    recorder.record(added);
    recorder.stop();
    if (kept.isEmpty()) {
        QCOMPARE(failures.count(), 1);
        QCOMPARE(failures[0][0].value<RecordFailure>(), RecordFailure::NotARecording);
        QCOMPARE(contents(file), before);
        return;
    }
    QByteArray row = recordLineBytes(format, added);
    if (kept.endsWith("\r\n"))
        row.insert(row.size() - 1, '\r');
    QCOMPARE(contents(file), kept + row);
    QCOMPARE(failures.count(), 0);
}

void tst_ReadingRecorder::fileGoneStopsTheRecording_data()
{
    QTest::addColumn<bool>("renamed");
    QTest::newRow("deleted") << false;
    QTest::newRow("renamed") << true;
}

// Rows written to a file nobody can reach any more are lost: the recording
// says so and ends at the first row after.
void tst_ReadingRecorder::fileGoneStopsTheRecording()
{
    QFETCH(bool, renamed);
    const QString file = path("gone.csv");
    QFile::remove(file);
    ReadingRecorder recorder;
    QSignalSpy failures(&recorder, &ReadingRecorder::failed);
    QVERIFY(recorder.start(file));
    QVERIFY(recorder.record(reading(1, OutcomeKind::Ok, 2100, 5100)));
    QVERIFY(renamed ? QFile::rename(file, path("gone-1.csv")) : QFile::remove(file));
    QVERIFY(!recorder.record(reading(2, OutcomeKind::Ok, 2100, 5100)));
    QCOMPARE(failures.count(), 1);
    QCOMPARE(failures[0][0].value<RecordFailure>(), RecordFailure::FileGone);
    QVERIFY(!recorder.isRecording());
    QCOMPARE(recorder.rowsWritten(), 1);
}

// Two processes told to start the same new file at the same moment: one
// header, then both rows.
void tst_ReadingRecorder::twoStartingOneFileWriteOneHeader()
{
    for (int round = 0; round < 20; ++round) {
        const QString file = path("shared.csv");
        const QString go = path("go");
        QFile::remove(file);
        QFile::remove(go);
        QProcess first;
        QProcess second;
        for (QProcess* child : {&first, &second}) {
            child->start(QStringLiteral(KV9240B_RECORDING_CHILD), {QStringLiteral("once"), file, go});
            QVERIFY(child->waitForStarted());
            QVERIFY(child->waitForReadyRead()); // ready, waiting for the word
        }
        write(go, "go");
        QVERIFY(first.waitForFinished() && second.waitForFinished());
        QCOMPARE(first.exitCode() + second.exitCode(), 0);
        const RecordedCsv recorded = readRecordedCsv(file);
        QCOMPARE(recorded.header, RecordHeader);
        QCOMPARE(recorded.invalidLines, QStringList());
        QCOMPARE(recorded.rows.size(), 2);
    }
}

void tst_ReadingRecorder::cannotRecord_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<RecordFailure>("failure");
    QTest::newRow("no such folder") << "missing/run.csv" << RecordFailure::CannotOpen;
    QTest::newRow("a folder") << "." << RecordFailure::CannotOpen;
    QTest::newRow("full device") << "/dev/full" << RecordFailure::WriteFailed;
}

void tst_ReadingRecorder::cannotRecord()
{
    QFETCH(QString, file);
    QFETCH(RecordFailure, failure);
    ReadingRecorder recorder;
    QSignalSpy failures(&recorder, &ReadingRecorder::failed);
    const QString where = file.startsWith(QLatin1Char('/')) ? file : m_dir.filePath(file);
    QVERIFY(!recorder.start(where));
    QVERIFY(!recorder.isRecording());
    for (int second = 0; second < 5; ++second)
        recorder.record(reading(second, OutcomeKind::Ok, 2000, 4000));
    QCOMPARE(failures.count(), 1); // once, not once a reading
    QCOMPARE(failures[0][0].value<RecordFailure>(), failure);
    QVERIFY(!failures[0][1].toString().isEmpty() || failure == RecordFailure::NotARecording);
    QCOMPARE(recorder.rowsWritten(), 0);
}

// A file that may not grow past 400 bytes holds the header and a few rows;
// the row that does not fit is reported once and the recording ends.
void tst_ReadingRecorder::fullDiskStopsTheRecording()
{
    const QString file = path("limited.csv");
    QProcess child;
    child.start(QStringLiteral(KV9240B_RECORDING_CHILD),
        {QStringLiteral("limited"), file, QStringLiteral("400"), QStringLiteral("50")});
    QVERIFY(child.waitForFinished(30000));
    const QByteArray report = child.readAllStandardOutput();
    QVERIFY2(report.contains("failures 1\n"), report.constData());
    QVERIFY2(report.contains("recording no\n"), report.constData());

    const RecordedCsv recorded = readRecordedCsv(file);
    QCOMPARE(recorded.header, RecordHeader);
    QCOMPARE(recorded.invalidLines, QStringList());
    QVERIFY(recorded.rows.size() >= 3 && recorded.rows.size() < 50);
    QVERIFY2(report.contains("rows " + QByteArray::number(recorded.rows.size()) + '\n'), report.constData());
    QVERIFY(contents(file).size() <= 400);
}

// SIGKILL at an arbitrary moment of a fast recording: every whole line is a
// valid row and the rows are the readings in order, none missing but the one
// being written. Recording again drops the cut-off row and carries on.
void tst_ReadingRecorder::killedWhileRecordingLeavesWholeRows()
{
    const QString file = path("killed.csv");
    QProcess child;
    child.start(QStringLiteral(KV9240B_RECORDING_CHILD), {QStringLiteral("forever"), file});
    QVERIFY(child.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(contents(file).count('\n') > 300, 30000);
    child.kill();
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    RecordedCsv recorded = readRecordedCsv(file);
    QCOMPARE(recorded.header, RecordHeader);
    QCOMPARE(recorded.invalidLines, QStringList());
    QVERIFY(recorded.rows.size() >= 300);
    for (int row = 0; row < recorded.rows.size(); ++row)
        QCOMPARE(recorded.rows[row].value(2), hundredthsText(row, QStringLiteral(".")));

    ReadingRecorder again;
    QVERIFY(again.start(file));
    again.record(reading(1, OutcomeKind::Ok, -4000, 100));
    again.stop();
    const qsizetype before = recorded.rows.size();
    recorded = readRecordedCsv(file);
    QCOMPARE(recorded.invalidLines, QStringList());
    QCOMPARE(recorded.cutOff, QByteArray());
    QCOMPARE(recorded.rows.size(), before + 1);
    QCOMPARE(recorded.rows.last().value(2), QStringLiteral("-40.00"));
}

QTEST_GUILESS_MAIN(tst_ReadingRecorder)
#include "tst_reading_recorder.moc"

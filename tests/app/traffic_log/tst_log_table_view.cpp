// The log's table moves what it already shows instead of painting it again:
// what is on screen after a run of batches must be what a fresh paint shows.
#include "app/traffic_log/traffic_log_window.h"
#include "frames.h"
#include "session/traffic_recorder.h"

#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWindow>

using namespace kv;
using namespace kv::test;

namespace {

constexpr qint64 Ms = 1'000'000;

const QByteArray ReadFive = framed(bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x05}));

// A different answer each time (the temperature counts up), so no two rows look alike.
void exchange(TrafficRecorder& recorder, int i)
{
    const qint64 at = (i + 1) * 100 * Ms;
    recorder.written(ReadFive, at, 9600);
    recorder.arrived(framed(bytes({0x01, 0x03, 0x0A, i >> 8, i & 0xFF, 0x17, 0x70, 0, 0, 0, 0, 0x25, 0x80})),
        at + (20 + i % 7) * Ms, 9600);
}

// What the screen shows of the table, and what painting it afresh shows.
QImage onScreen(QWidget& viewport)
{
    const QPoint at = viewport.mapTo(viewport.window(), QPoint(0, 0));
    const qreal ratio = viewport.devicePixelRatioF();
    return viewport.screen()
        ->grabWindow(viewport.window()->winId(), at.x(), at.y(), viewport.width(), viewport.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32)
        .scaled(viewport.size() * ratio);
}

QImage painted(QWidget& viewport)
{
    return viewport.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class tst_LogTableView : public QObject {
    Q_OBJECT

private slots:
    void screenMatchesAFreshPaint_data();
    void screenMatchesAFreshPaint();
};

void tst_LogTableView::screenMatchesAFreshPaint_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("perBatch"); // exchanges between batches
    QTest::addColumn<bool>("scrolledUp");
    QTest::newRow("growing, following") << 1000 << 3 << false;
    QTest::newRow("full, following") << 40 << 3 << false;
    QTest::newRow("full, more than a screen a batch") << 40 << 15 << false;
    QTest::newRow("full, the user scrolled up") << 40 << 2 << true;
    QTest::newRow("fewer rows than the screen holds") << 1000 << 1 << false;
}

void tst_LogTableView::screenMatchesAFreshPaint()
{
    QFETCH(int, capacity);
    QFETCH(int, perBatch);
    QFETCH(bool, scrolledUp);
    TrafficRecorder recorder;
    recorder.setCapacity(capacity);
    const int before = perBatch == 1 ? 1 : 30;
    for (int i = 0; i < before; ++i)
        exchange(recorder, i);
    TrafficLogWindow window(recorder);
    window.resize(900, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget& viewport = *window.table().viewport();
    QTRY_COMPARE(onScreen(viewport), painted(viewport));
    if (scrolledUp)
        window.table().verticalScrollBar()->setValue(window.table().verticalScrollBar()->maximum() / 2);

    int next = before;
    for (int batch = 0; batch < 5; ++batch) {
        for (int i = 0; i < perBatch; ++i)
            exchange(recorder, next++);
        window.log().catchUp();
        QTest::qWait(20); // the screen is brought up to date
        QCOMPARE(onScreen(viewport), painted(viewport));
    }
    const QScrollBar* bar = window.table().verticalScrollBar();
    QCOMPARE(bar->value() == bar->maximum(), !scrolledUp);
}

QTEST_MAIN(tst_LogTableView)
#include "tst_log_table_view.moc"

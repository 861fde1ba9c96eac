#include "app/chart/chart_window.h"
#include "app/control_table.h"
#include "app/find_sensor/find_sensor_dialog.h"
#include "app/main_window.h"
#include "app/network_connect_dialog.h"
#include "app/pick_list.h"
#include "app/start_up.h"
#include "app/tool_window.h"
#include "app/traffic_log/traffic_log_window.h"
#include "app/window_language.h"
#include "session/reading_history.h"
#include "session/traffic_recorder.h"

#include "caption_walk.h"

#include <QGroupBox>
#include <QMenuBar>
#include <QSet>
#include <QTest>

using namespace kv;

Q_DECLARE_METATYPE(kv::Language)

namespace {

// Checks every caption under `window`: the controls that do not fit, named,
// and how many captioned controls were looked at.
QStringList unfitCaptions(const QWidget& window, int& checked)
{
    QStringList unfit;
    QSet<const QWidget*> controls;
    for (const test::Caption& caption : test::captionsUnder(window)) {
        if (caption.needed > caption.room) {
            unfit << QStringLiteral("%1: \"%2\" needs %3 px, has %4")
                         .arg(test::nameOf(caption), caption.text)
                         .arg(caption.needed)
                         .arg(caption.room);
        }
        if (controls.contains(caption.control))
            continue;
        controls.insert(caption.control);
        // A control pushed past its container's edge is cut off there, whatever room it has itself.
        const QWidget& control = *caption.control;
        const QRect container = control.parentWidget()->rect();
        if (&control != &window && !container.contains(control.geometry())) {
            unfit << QStringLiteral("%1: runs past its container, %2 beyond %3 px")
                         .arg(test::nameOf(caption))
                         .arg(control.geometry().right() + 1)
                         .arg(container.width());
        }
    }
    checked = static_cast<int>(controls.size());
    return unfit;
}

} // namespace

class tst_CaptionsFit : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUpApplication(); }
    void form_data();
    void form();
    void menuBar_data() { form_data(); }
    void menuBar();
    void chartWindow_data() { form_data(); }
    void chartWindow();
    void trafficLogWindow_data() { form_data(); }
    void trafficLogWindow();
    void findSensorDialog_data() { form_data(); }
    void findSensorDialog();
    void networkConnectDialog_data() { form_data(); }
    void networkConnectDialog();
    void aCaptionTooLongIsCaught_data();
    void aCaptionTooLongIsCaught();
};

void tst_CaptionsFit::form_data()
{
    QTest::addColumn<Language>("language");
    QTest::newRow("Chinese") << Language::Chinese;
    QTest::newRow("English") << Language::English;
}

void tst_CaptionsFit::form()
{
    QFETCH(Language, language);
    const WindowLanguage chosen(language);
    frmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int checked = 0;
    const QStringList unfit = unfitCaptions(window, checked);
    QVERIFY2(unfit.isEmpty(), qPrintable(unfit.join(QStringLiteral("\n"))));
    // Every captioned label, button, frame and list of the form was looked at.
    const auto captioned = std::count_if(controlTable().begin(), controlTable().end(), [](const ControlRow& row) {
        return row.kind == ControlKind::GroupBox || row.kind == ControlKind::Button || row.kind == ControlKind::PickList
            || (row.kind == ControlKind::Label && !row.text.empty());
    });
    QCOMPARE(checked, static_cast<int>(captioned));
}

void tst_CaptionsFit::menuBar()
{
    QFETCH(Language, language);
    const WindowLanguage chosen(language);
    ToolWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QMenuBar* bar = window.menuBar();
    for (QAction* menu : bar->actions()) {
        if (menu->isVisible())
            QVERIFY2(bar->rect().contains(bar->actionGeometry(menu)), qPrintable(menu->text()));
    }
    for (const test::Caption& title : test::menuCaptions(window)) {
        if (title.control == bar)
            QVERIFY2(title.needed <= title.room, qPrintable(title.text));
    }
}

// Shows the window and checks its captions: every one fits, and at least
// `atLeast` were looked at (so a window that lost its controls cannot pass).
static void checkWindow(QWidget& window, int atLeast)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int checked = 0;
    const QStringList unfit = unfitCaptions(window, checked);
    QVERIFY2(unfit.isEmpty(), qPrintable(unfit.join(QStringLiteral("\n"))));
    QVERIFY2(checked >= atLeast, qPrintable(QString::number(checked)));
}

void tst_CaptionsFit::chartWindow()
{
    QFETCH(Language, language);
    const WindowLanguage chosen(language);
    ReadingHistory history;
    ChartWindow window(history);
    checkWindow(window, 20);
}

void tst_CaptionsFit::trafficLogWindow()
{
    QFETCH(Language, language);
    const WindowLanguage chosen(language);
    TrafficRecorder recorder;
    TrafficLogWindow window(recorder);
    // The statistics, the status line, the column titles, the reset button and the tools.
    checkWindow(window, 9);
}

void tst_CaptionsFit::findSensorDialog()
{
    QFETCH(Language, language);
    const WindowLanguage chosen(language);
    frmMain form;
    FindSensorDialog dialog(form);
    // The scan choice, the buttons, the rates and the list titles.
    checkWindow(dialog, 8);
}

void tst_CaptionsFit::networkConnectDialog()
{
    QFETCH(Language, language);
    const WindowLanguage chosen(language);
    NetworkConnectDialog dialog;
    // The three labels and the two buttons.
    checkWindow(dialog, 5);
}

void tst_CaptionsFit::aCaptionTooLongIsCaught_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("caption");
    QTest::newRow("button") << "cmdCom"
                            << "Open the serial port";
    QTest::newRow("label") << "Label3"
                           << "Serial port number";
    QTest::newRow("label under its box") << "Label8(0)"
                                         << "Station ID";
    QTest::newRow("frame") << "Frame5"
                           << "Settings of the serial port line";
}

void tst_CaptionsFit::aCaptionTooLongIsCaught()
{
    QFETCH(QString, control);
    QFETCH(QString, caption);
    frmMain window;
    window.controls().widget(control)->setProperty(
        qobject_cast<QGroupBox*>(window.controls().widget(control)) ? "title" : "text", caption);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int checked = 0;
    const QStringList unfit = unfitCaptions(window, checked);
    QCOMPARE(unfit.size(), 1);
    QVERIFY2(unfit.first().startsWith(control + QStringLiteral(": \"") + caption), qPrintable(unfit.first()));
}

QTEST_MAIN(tst_CaptionsFit)
#include "tst_captions_fit.moc"

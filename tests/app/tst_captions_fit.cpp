#include "app/chart/chart_window.h"
#include "app/compact_style.h"
#include "app/control_table.h"
#include "app/find_sensor/find_sensor_dialog.h"
#include "app/main_window.h"
#include "app/pick_list.h"
#include "app/tool_window.h"
#include "app/traffic_log/text_line.h"
#include "app/traffic_log/traffic_log_window.h"
#include "app/window_language.h"
#include "session/reading_history.h"
#include "session/traffic_recorder.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QToolButton>

using namespace kv;

Q_DECLARE_METATYPE(kv::Language)

namespace {

// A caption and the room its control gives it, in pixels.
struct Fit {
    QString text;
    int needed = 0;
    int room = 0;
};

QString withoutMnemonic(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

int widestLine(const QFontMetrics& metrics, const QString& text)
{
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

// What of a label's rectangle shows: a sibling stacked above it and standing
// in its first line covers the rest of that line.
int visibleWidth(const QLabel& label)
{
    const QRect text = label.contentsRect().translated(label.pos());
    const QRect firstLine(text.left(), text.top(), text.width(), label.fontMetrics().height());
    int right = text.right() + 1;
    const QObjectList& stack = label.parentWidget()->children();
    for (qsizetype above = stack.indexOf(&label) + 1; above < stack.size(); ++above) {
        auto* sibling = qobject_cast<QWidget*>(stack[above]);
        if (sibling && sibling->isVisible() && sibling->geometry().intersects(firstLine)
            && sibling->geometry().left() > text.left())
            right = std::min(right, sibling->geometry().left());
    }
    return right - text.left();
}

std::optional<Fit> labelFit(const QLabel& label)
{
    if (label.text().isEmpty() || label.wordWrap() || Qt::mightBeRichText(label.text()))
        return std::nullopt;
    const int lines = static_cast<int>(label.text().count(QLatin1Char('\n'))) + 1;
    const int height = lines * label.fontMetrics().lineSpacing();
    if (height > label.contentsRect().height())
        return Fit{label.text() + QStringLiteral(" (height)"), height, label.contentsRect().height()};
    return Fit{label.text(), widestLine(label.fontMetrics(), label.text()), visibleWidth(label)};
}

std::optional<Fit> buttonFit(const QPushButton& button)
{
    if (button.text().isEmpty())
        return std::nullopt;
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    if (button.autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    const QRect contents = button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    const QString text = withoutMnemonic(button.text());
    return Fit{text, button.fontMetrics().horizontalAdvance(text), contents.width()};
}

std::optional<Fit> checkBoxFit(const QCheckBox& box)
{
    QStyleOptionButton option;
    option.initFrom(&box);
    option.text = box.text();
    const QRect contents = box.style()->subElementRect(QStyle::SE_CheckBoxContents, &option, &box);
    const QString text = withoutMnemonic(box.text());
    return Fit{text, box.fontMetrics().horizontalAdvance(text), contents.width()};
}

// A title runs from where the style puts it to the frame's right edge.
std::optional<Fit> groupBoxFit(const QGroupBox& box)
{
    if (box.title().isEmpty())
        return std::nullopt;
    QStyleOptionGroupBox option;
    option.initFrom(&box);
    option.text = box.title();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.textAlignment = box.alignment();
    const QRect label = box.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &box);
    const QString text = withoutMnemonic(box.title());
    return Fit{text, box.fontMetrics().horizontalAdvance(text), box.width() - 1 - label.left()};
}

// Every entry of an editable list, as its text field shows it (the field keeps
// two pixels clear on either side).
std::optional<Fit> pickListFit(const QComboBox& list)
{
    if (!list.lineEdit())
        return std::nullopt;
    const QLineEdit& field = *list.lineEdit();
    Fit widest{field.text(), field.fontMetrics().horizontalAdvance(field.text()), field.contentsRect().width() - 4};
    for (int position = 0; position < list.count(); ++position) {
        const int needed = field.fontMetrics().horizontalAdvance(list.itemText(position));
        if (needed > widest.needed)
            widest = {list.itemText(position), needed, widest.room};
    }
    return widest;
}

// A few lines that end in an ellipsis when they do not fit.
std::optional<Fit> textLineFit(const TextLine& line)
{
    if (line.text().isEmpty())
        return std::nullopt;
    return Fit{line.text(), widestLine(line.fontMetrics(), line.text()), line.contentsRect().width()};
}

// A tool button is as wide as its icon and text need, unless squeezed.
std::optional<Fit> toolButtonFit(const QToolButton& button)
{
    if (button.toolButtonStyle() == Qt::ToolButtonIconOnly || button.text().isEmpty())
        return std::nullopt;
    return Fit{withoutMnemonic(button.text()), button.sizeHint().width(), button.width()};
}

// The widest column title against its column, less the header's margins.
std::optional<Fit> headerFit(const QHeaderView& header)
{
    if (header.orientation() != Qt::Horizontal || !header.model())
        return std::nullopt;
    const int margins = 2 * header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
    std::optional<Fit> tightest;
    for (int section = 0; section < header.count(); ++section) {
        const QString title = header.model()->headerData(section, Qt::Horizontal).toString();
        const Fit fit{title, header.fontMetrics().horizontalAdvance(title), header.sectionSize(section) - margins};
        if (!tightest || fit.room - fit.needed < tightest->room - tightest->needed)
            tightest = fit;
    }
    return tightest;
}

std::optional<Fit> captionFit(const QWidget& control)
{
    if (auto* line = qobject_cast<const TextLine*>(&control))
        return textLineFit(*line);
    if (auto* button = qobject_cast<const QToolButton*>(&control))
        return toolButtonFit(*button);
    if (auto* header = qobject_cast<const QHeaderView*>(&control))
        return headerFit(*header);
    if (auto* label = qobject_cast<const QLabel*>(&control))
        return labelFit(*label);
    if (auto* button = qobject_cast<const QPushButton*>(&control))
        return buttonFit(*button);
    if (auto* box = qobject_cast<const QCheckBox*>(&control))
        return checkBoxFit(*box);
    if (auto* box = qobject_cast<const QGroupBox*>(&control))
        return groupBoxFit(*box);
    if (auto* list = qobject_cast<const QComboBox*>(&control))
        return pickListFit(*list);
    return std::nullopt;
}

QString nameOf(const QWidget& control, const QString& text)
{
    return control.objectName().isEmpty() ? QStringLiteral("%1 \"%2\"").arg(control.metaObject()->className(), text)
                                          : control.objectName();
}

// Checks every caption under `window`: the controls that do not fit, named,
// and how many captions were looked at.
QStringList unfitCaptions(const QWidget& window, int& checked)
{
    QStringList unfit;
    checked = 0;
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        if (!control->isVisibleTo(&window))
            continue;
        const std::optional<Fit> fit = captionFit(*control);
        if (!fit)
            continue;
        ++checked;
        if (fit->needed > fit->room) {
            unfit << QStringLiteral("%1: \"%2\" needs %3 px, has %4")
                         .arg(nameOf(*control, fit->text), fit->text)
                         .arg(fit->needed)
                         .arg(fit->room);
        }
        // A control pushed past its container's edge is cut off there, whatever room it has itself.
        const QRect container = control->parentWidget()->rect();
        if (control != &window && !container.contains(control->geometry())) {
            unfit << QStringLiteral("%1: runs past its container, %2 beyond %3 px")
                         .arg(nameOf(*control, fit->text))
                         .arg(control->geometry().right() + 1)
                         .arg(container.width());
        }
    }
    return unfit;
}

} // namespace

class tst_CaptionsFit : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useCompactStyle(); }
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
        if (!menu->isVisible())
            continue;
        const QRect title = bar->actionGeometry(menu);
        QVERIFY2(bar->rect().contains(title), qPrintable(menu->text()));
        QVERIFY2(bar->fontMetrics().horizontalAdvance(withoutMnemonic(menu->text())) <= title.width(),
            qPrintable(menu->text()));
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

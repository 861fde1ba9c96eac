// Every text of the window, its menus and its tool windows, drawn in the font
// it is shown in, in both of the window's languages. CTest runs this under a
// Chinese, an English and the C locale: the fonts a desktop falls back on
// depend on its language.

#include "app/chart/chart_window.h"
#include "app/find_sensor/find_sensor_dialog.h"
#include "app/main_window.h"
#include "app/network_connect_dialog.h"
#include "app/start_up.h"
#include "app/tool_window.h"
#include "app/traffic_log/traffic_log_window.h"
#include "app/window_language.h"

#include "caption_walk.h"
#include "message_recorder.h"
#include "pty_pair.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <clocale>

using namespace kv;

Q_DECLARE_METATYPE(kv::Language)

namespace {

// Draws the character alone and looks for ink: a font can claim a character
// and still draw nothing for it.
bool drawsInk(char32_t character, const QFont& font)
{
    const QString text = QString::fromUcs4(&character, 1);
    const QFontMetrics metrics(font);
    QImage image(metrics.height() * 3, metrics.height() * 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(metrics.height() / 2, metrics.ascent() + metrics.height() / 2, text);
    painter.end();
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(line[x]) < 128)
                return true;
        }
    }
    return false;
}

// The characters of `text` that `font`, with the fonts it falls back on, cannot draw.
QString missingGlyphs(const QString& text, const QFont& font)
{
    const QFontMetrics metrics(font);
    QString missing;
    for (const char32_t character : text.toUcs4()) {
        if (QChar::isSpace(character) || QChar::category(character) == QChar::Other_Control)
            continue;
        if (!metrics.inFontUcs4(character) || !drawsInk(character, font))
            missing += QString::fromUcs4(&character, 1);
    }
    return missing;
}

// Every caption with characters its font cannot draw, named.
QStringList blankCaptions(const QList<test::Caption>& captions)
{
    QStringList blank;
    for (const test::Caption& caption : captions) {
        const QString missing = missingGlyphs(caption.text, caption.font);
        if (!missing.isEmpty()) {
            blank << QStringLiteral("%1: \"%2\" in %3 has no glyph for \"%4\"")
                         .arg(test::nameOf(caption), caption.text, caption.font.families().join(QLatin1Char(',')),
                             missing);
        }
    }
    return blank;
}

} // namespace

class tst_Glyphs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void everyWindow_data();
    void everyWindow();
    void aCharacterWithoutGlyphIsCaught();
};

void tst_Glyphs::initTestCase()
{
    // The locale CTest asked for must be the one in force, not C in its place.
    const QByteArray wanted = qgetenv("LANG");
    QVERIFY2(!wanted.isEmpty(), "run with LANG set to the locale under test");
    QVERIFY2(qgetenv("LC_ALL").isEmpty() && qgetenv("LANGUAGE").isEmpty(), "LC_ALL or LANGUAGE hides LANG");
    if (wanted != "C") {
        QVERIFY2(QByteArray(std::setlocale(LC_MESSAGES, nullptr)) == wanted,
            qPrintable(QStringLiteral("the locale %1 is not generated on this machine (./scripts/test generates it)")
                           .arg(QString::fromLatin1(wanted))));
    }
    setUpApplication();
}

void tst_Glyphs::everyWindow_data()
{
    QTest::addColumn<Language>("language");
    QTest::newRow("Chinese") << Language::Chinese;
    QTest::newRow("English") << Language::English;
}

void tst_Glyphs::everyWindow()
{
    QFETCH(Language, language);
    const WindowLanguage chosen(language);
    test::MessageRecorder messages;
    test::PtyPair line;
    test::PortWiring com1{1, line.slavePath()};
    ToolWindow window;
    window.load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.showChart();
    window.showTrafficLog();
    window.showFindSensor();
    window.showNetworkConnect();
    const QList<QWidget*> toolWindows
        = {window.chart(), window.trafficLog(), window.findSensor(), window.networkConnect()};

    QList<test::Caption> captions = test::captionsUnder(window) + test::menuCaptions(window);
    for (QWidget* toolWindow : toolWindows) {
        QVERIFY(toolWindow);
        QVERIFY(QTest::qWaitForWindowExposed(toolWindow));
        captions += test::captionsUnder(*toolWindow);
    }
    const QStringList blank = blankCaptions(captions);
    QVERIFY2(blank.isEmpty(), qPrintable(blank.join(QLatin1Char('\n'))));
    // The form's captions, the menus' and those of the three tool windows.
    QVERIFY2(captions.size() > 150, qPrintable(QString::number(captions.size())));
}

// A character that no installed font has (a private-use one) is reported, with its control.
void tst_Glyphs::aCharacterWithoutGlyphIsCaught()
{
    test::MessageRecorder messages;
    ToolWindow window;
    window.form().controls().widget(QStringLiteral("lblDanWei(0)"))->setProperty("text", QStringLiteral("\U000F0042"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QStringList blank = blankCaptions(test::captionsUnder(window));
    QCOMPARE(blank.size(), 1);
    QVERIFY2(blank.first().startsWith(QLatin1String("lblDanWei(0): ")), qPrintable(blank.first()));
}

QTEST_MAIN(tst_Glyphs)
#include "tst_glyphs.moc"

#include "app/command_line.h"
#include "app/tool_window.h"
#include "app/window_language.h"
#include "frames.h"
#include "protocol/modbus/hex_text.h"
#include "window_fixture.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kv;
using namespace kv::test;

Q_DECLARE_METATYPE(kv::Language)

namespace {

// The buttons of the message box on screen; closes it with its OK button.
QStringList closeMessageBox()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box)
        return {};
    QStringList texts;
    for (QAbstractButton* button : box->buttons())
        texts << button->text();
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    return texts;
}

// Shows a box with details through the real dialog and reads its buttons.
QStringList buttonsOfARealMessageBox()
{
    QStringList texts;
    QTimer::singleShot(0, [&texts] { texts = closeMessageBox(); });
    MessageBox::show(
        {QStringLiteral("title"), QStringLiteral("text"), MessageBox::Icon::Exclamation, QStringLiteral("detail")});
    return texts;
}

void typeInto(QLineEdit* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

} // namespace

class tst_WindowLanguage : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void defaultLanguage_data();
    void defaultLanguage();
    void languageOption_data();
    void languageOption();
    void captions_data();
    void captions();
    void menus_data();
    void menus();
    void messagesFollowTheLanguage_data();
    void messagesFollowTheLanguage();
    void qtOwnButtons_data();
    void qtOwnButtons();
    void leavingALanguageRestoresChinese();
    void decimalMarkStaysTheUsers_data();
    void decimalMarkStaysTheUsers();
};

void tst_WindowLanguage::defaultLanguage_data()
{
    QTest::addColumn<QStringList>("uiLanguages");
    QTest::addColumn<Language>("expected");
    QTest::newRow("no locale set") << QStringList{"C"} << Language::Chinese;
    QTest::newRow("nothing known") << QStringList{} << Language::Chinese;
    QTest::newRow("POSIX") << QStringList{"POSIX"} << Language::Chinese;
    QTest::newRow("zh_CN") << QStringList{"zh-CN", "zh-Hans-CN", "zh"} << Language::Chinese;
    QTest::newRow("zh_TW") << QStringList{"zh-TW", "zh-Hant-TW"} << Language::Chinese;
    QTest::newRow("en_US") << QStringList{"en-US", "en-Latn-US", "en"} << Language::English;
    QTest::newRow("de_DE") << QStringList{"de-DE", "de-Latn-DE", "de"} << Language::English;
    QTest::newRow("ja_JP") << QStringList{"ja-JP"} << Language::English;
    QTest::newRow("Chinese first, English after") << QStringList{"zh-CN", "en"} << Language::Chinese;
    QTest::newRow("French first, Chinese after") << QStringList{"fr-FR", "zh-CN"} << Language::English;
}

void tst_WindowLanguage::defaultLanguage()
{
    QFETCH(QStringList, uiLanguages);
    QFETCH(Language, expected);
    QCOMPARE(kv::defaultLanguage(uiLanguages), expected);
}

void tst_WindowLanguage::languageOption_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<std::optional<Language>>("expected");
    QTest::newRow("none") << QStringList{} << std::optional<Language>();
    QTest::newRow("--lang en") << QStringList{"--lang", "en"} << std::optional(Language::English);
    QTest::newRow("--lang=zh") << QStringList{"--lang=zh"} << std::optional(Language::Chinese);
    QTest::newRow("-lang en, one dash like the toolkit's")
        << QStringList{"-lang", "en"} << std::optional(Language::English);
    QTest::newRow("the last one wins") << QStringList{"--lang", "en", "--lang", "zh"}
                                       << std::optional(Language::Chinese);
    QTest::newRow("beside a toolkit option")
        << QStringList{"-style", "Fusion", "--lang", "en"} << std::optional(Language::English);
}

void tst_WindowLanguage::languageOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(std::optional<Language>, expected);
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const CommandLineAnswer answer
        = answerCommandLine(QStringList{"kv9240b-tool"} + arguments, QStringLiteral("1.0"), outStream, errStream);
    QCOMPARE(answer.exitStatus, std::optional<int>());
    QCOMPARE(answer.language, expected);
    QVERIFY(out.isEmpty() && err.isEmpty());
}

void tst_WindowLanguage::captions_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english");
    QTest::newRow("comDoOnce") << "comDoOnce"
                               << "单次"
                               << "Once";
    QTest::newRow("cmdOneM") << "cmdOneM"
                             << "循环"
                             << "Poll";
    QTest::newRow("cmdStopOnce") << "cmdStopOnce"
                                 << "停止"
                                 << "Stop";
    QTest::newRow("cmdCom") << "cmdCom"
                            << "打开串口"
                            << "Open port";
    QTest::newRow("Command1") << "Command1"
                              << "关闭串口"
                              << "Close port";
    QTest::newRow("cmdReadAdd") << "cmdReadAdd"
                                << "读地址"
                                << "Read address";
    QTest::newRow("cmdSet(0)") << "cmdSet(0)"
                               << "设置"
                               << "Set";
    QTest::newRow("cmdChangeID") << "cmdChangeID"
                                 << "执行"
                                 << "Apply";
    QTest::newRow("Label8(4)") << "Label8(4)"
                               << "定时时长(ms)"
                               << "Period (ms)";
    QTest::newRow("Frame5") << "Frame5"
                            << "串口设置"
                            << "Serial port";
    QTest::newRow("Label2(4)") << "Label2(4)"
                               << "值范围为：-10.00到10.00"
                               << "Range: -10.00 to 10.00";
    QTest::newRow("parity list") << "Combo3"
                                 << "无校验"
                                 << "None";
    // Model names and numbers are the same in both.
    QTest::newRow("Label1(3)") << "Label1(3)"
                               << "KV9240A KV7610B"
                               << "KV9240A KV7610B";
    QTest::newRow("lblDanWei(3)") << "lblDanWei(3)"
                                  << "%Rh"
                                  << "%Rh";
    QTest::newRow("Combo1") << "Combo1"
                            << "COM4"
                            << "COM4";
}

void tst_WindowLanguage::captions()
{
    QFETCH(QString, control);
    QFETCH(QString, chinese);
    QFETCH(QString, english);
    {
        const WindowLanguage language(Language::Chinese);
        ToolWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("KV9240B 温湿度传感器工具软件V14.11.13"));
        QCOMPARE(window.form().controls().text(control), chinese);
        QCOMPARE(window.form().controls().widget(u"imgConnected")->toolTip(), QStringLiteral("数据采集通讯状态指示"));
    }
    const WindowLanguage language(Language::English);
    ToolWindow window;
    QCOMPARE(window.windowTitle(), QStringLiteral("KV9240B Temperature and Humidity Sensor Tool V14.11.13"));
    QCOMPARE(window.form().controls().text(control), english);
    QCOMPARE(window.form().controls().widget(u"imgConnected")->toolTip(),
        QStringLiteral("Link status of the data exchange"));
}

void tst_WindowLanguage::menus_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("about");
    QTest::newRow("Chinese") << Language::Chinese << QStringList{"工具(&T)", "帮助(&H)"} << "关于…(&A)";
    QTest::newRow("English") << Language::English << QStringList{"&Tools", "&Help"} << "&About…";
}

void tst_WindowLanguage::menus()
{
    QFETCH(Language, language);
    QFETCH(QStringList, titles);
    QFETCH(QString, about);
    const WindowLanguage chosen(language);
    ToolWindow window;
    QStringList shown;
    for (QAction* action : window.menuBar()->actions())
        shown << action->text();
    QCOMPARE(shown.mid(shown.size() - 2), titles);
    auto* help = window.menuBar()->findChild<QMenu*>(QStringLiteral("menuHelp"));
    QCOMPARE(help->actions().constLast()->text(), about);
}

void tst_WindowLanguage::messagesFollowTheLanguage_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("period");
    QTest::addColumn<QString>("calibration");
    QTest::newRow("Chinese") << Language::Chinese << "你输入的定时时长格式有误，应该为数字，值范围为50-60000!"
                             << "你输入的值有误，正确的值范围为-10到10!";
    QTest::newRow("English") << Language::English
                             << "The period you entered is not valid: it must be a number from 50 to 60000!"
                             << "The value you entered is not valid: it must be -10 to 10!";
}

void tst_WindowLanguage::messagesFollowTheLanguage()
{
    QFETCH(Language, language);
    QFETCH(QString, period);
    QFETCH(QString, calibration);
    const WindowLanguage chosen(language);
    StartedWindow started;
    frmMain& window = *started.window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    typeInto(window.controls().get<QLineEdit>(u"txtTimerSet"), QStringLiteral("abc"));
    QTest::mouseClick(window.controls().get<QPushButton>(u"cmdOneM"), Qt::LeftButton);
    typeInto(window.controls().get<QLineEdit>(u"txtValue", 2), QStringLiteral("11"));
    QTest::mouseClick(window.controls().get<QPushButton>(u"cmdSet", 0), Qt::LeftButton);

    QCOMPARE(started.messages.shown.size(), 2);
    QCOMPARE(started.messages.shown[0].text, period);
    QCOMPARE(started.messages.shown[1].text, calibration);
    QVERIFY(started.line.drain().isEmpty());
}

void tst_WindowLanguage::qtOwnButtons_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QStringList>("buttons");
    QTest::newRow("Chinese") << Language::Chinese << QStringList{"确定", "显示详情..."};
    QTest::newRow("English") << Language::English << QStringList{"OK", "Show Details..."};
}

void tst_WindowLanguage::qtOwnButtons()
{
    QFETCH(Language, language);
    QFETCH(QStringList, buttons);
    const WindowLanguage chosen(language);
    QStringList shown = buttonsOfARealMessageBox();
    shown.sort();
    buttons.sort();
    QCOMPARE(shown, buttons);
}

void tst_WindowLanguage::leavingALanguageRestoresChinese()
{
    {
        const WindowLanguage english(Language::English);
        QCOMPARE(frmMain().windowTitle(), QStringLiteral("KV9240B Temperature and Humidity Sensor Tool V14.11.13"));
    }
    QCOMPARE(frmMain().windowTitle(), QStringLiteral("KV9240B 温湿度传感器工具软件V14.11.13"));
    QVERIFY(buttonsOfARealMessageBox().contains(QStringLiteral("OK")));
}

void tst_WindowLanguage::decimalMarkStaysTheUsers_data()
{
    QTest::addColumn<Language>("language");
    QTest::newRow("Chinese") << Language::Chinese;
    QTest::newRow("English") << Language::English;
}

void tst_WindowLanguage::decimalMarkStaysTheUsers()
{
    QFETCH(Language, language);
    // A technician whose numbers are written with a decimal comma.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const WindowLanguage chosen(language);
    StartedWindow started;
    frmMain& window = *started.window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    typeInto(window.controls().get<QLineEdit>(u"txtValue", 2), QStringLiteral("1,5"));
    QTest::mouseClick(window.controls().get<QPushButton>(u"cmdSet", 0), Qt::LeftButton);
    const QByteArray write = bytes({0xFA, 0x06, 0x0A, 0x00, 0x00, 0x96, 0x1F, 0xF7});
    QCOMPARE(started.line.receive(8), write);
    started.line.send(write); // the sensor's echo
    // Taken in before the next press, as on a wire: an echo still arriving
    // when the next request goes out would be that request's late predecessor.
    QTRY_COMPARE(window.controls().text(u"txtState"), receivedFrameText(asBytes(write)));

    // And a reading comes back with it: 23.45 °C from station 1.
    QTest::mouseClick(window.controls().get<QPushButton>(u"comDoOnce"), Qt::LeftButton);
    QVERIFY(!started.line.receive(8).isEmpty());
    started.line.send(readReply({2345, 5678, 150, 0, 9600}, 1));
    QTRY_COMPARE(window.controls().text(u"txtValue", 0), QStringLiteral("23,45"));
    QVERIFY(started.messages.shown.isEmpty());
}

QTEST_MAIN(tst_WindowLanguage)
#include "tst_window_language.moc"

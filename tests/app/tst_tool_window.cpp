#include "app/main_window.h"
#include "app/tool_window.h"
#include "message_recorder.h"
#include "pty_pair.h"

#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>

using namespace kv;
using namespace kv::test;

class tst_ToolWindow : public QObject {
    Q_OBJECT

private slots:
    void menuBarAboveTheUnchangedForm();
    void aboutFromTheHelpMenuByKeyboard();
};

void tst_ToolWindow::menuBarAboveTheUnchangedForm()
{
    PtyPair line;
    PortWiring com1(1, line.slavePath());
    MessageRecorder messages;
    ToolWindow window;
    window.load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QMenuBar* bar = window.menuBar();
    QCOMPARE(window.form().size(), QSize(607, 454));
    QCOMPARE(window.form().geometry().topLeft(), QPoint(0, bar->height()));
    // The status bar goes under the form, which keeps its size and place.
    const QStatusBar* status = window.statusBar();
    QCOMPARE(status->geometry().top(), bar->height() + 454);
    QCOMPARE(status->height(), bar->height()); // what scripts driving the window count on
    QCOMPARE(window.size(), QSize(607, 454 + bar->height() + status->height()));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QCOMPARE(window.windowTitle(), QStringLiteral("KV9240B 温湿度传感器工具软件V14.11.13"));
    // A control keeps its place relative to the form.
    QWidget* button = window.form().controls().widget(u"comDoOnce");
    QCOMPARE(button->mapTo(&window.form(), QPoint(0, 0)), QPoint(192 + 176, 248 + 152));

    QStringList titles;
    for (QAction* action : bar->actions()) {
        if (action->isVisible())
            titles << action->text();
    }
    QCOMPARE(titles, (QStringList{QStringLiteral("工具(&T)"), QStringLiteral("帮助(&H)")}));
    const QList<QAction*> tools = window.toolsMenu()->actions();
    QCOMPARE(tools.size(), 5);
    QCOMPARE(tools[0]->text(), QStringLiteral("通信记录…(&L)"));
    QCOMPARE(tools[0]->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
    QCOMPARE(tools[1]->text(), QStringLiteral("查找传感器…(&F)"));
    QCOMPARE(tools[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    QCOMPARE(tools[2]->text(), QStringLiteral("网络连接…(&N)"));
    QCOMPARE(tools[2]->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    QCOMPARE(tools[3]->text(), QStringLiteral("记录与曲线…(&R)"));
    QCOMPARE(tools[3]->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
    QCOMPARE(tools[4]->text(), QStringLiteral("传感器总览…(&B)"));
    QCOMPARE(tools[4]->shortcut(), QKeySequence(QStringLiteral("Ctrl+B")));
    QVERIFY(messages.shown.isEmpty());
}

void tst_ToolWindow::aboutFromTheHelpMenuByKeyboard()
{
    PtyPair line;
    PortWiring com1(1, line.slavePath());
    MessageRecorder messages;
    ToolWindow window;
    window.load();
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QTest::keyClick(&window, Qt::Key_H, Qt::AltModifier);
    QMenu* help = window.menuBar()->findChild<QMenu*>(QStringLiteral("menuHelp"));
    QTRY_VERIFY(help->isVisible());
    QTest::keyClick(help, Qt::Key_A);

    QTRY_COMPARE(messages.shown.size(), 1);
    const MessageBox::Message& about = messages.shown.first();
    QCOMPARE(about.icon, MessageBox::Icon::About);
    QVERIFY(about.text.contains(QStringLiteral("14.11.13")));
    QVERIFY(about.text.contains(QString::fromLatin1(qVersion())));
    QVERIFY(about.text.contains(QStringLiteral("保留一切权利")));
}

QTEST_MAIN(tst_ToolWindow)
#include "tst_tool_window.moc"

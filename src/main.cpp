#include "app/command_line.h"
#include "app/quit_on_signals.h"
#include "app/start_up.h"
#include "app/tool_window.h"
#include "app/window_language.h"

#include <QApplication>
#include <QLocale>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const kv::CommandLineAnswer answer = kv::answerCommandLine(arguments, QStringLiteral(KV9240B_VERSION), out, err);
    if (answer.exitStatus)
        return *answer.exitStatus;

    QApplication app(argc, argv);
    kv::setUpApplication();
    // Before any window: its texts are translated as its controls are made.
    const kv::WindowLanguage language(answer.language.value_or(kv::defaultLanguage(QLocale::system().uiLanguages())));
    kv::QuitOnSignals quitOnSignals;

    kv::ToolWindow window;
    window.load();
    window.show();
    return QApplication::exec();
}

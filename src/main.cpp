#include "app/command_line.h"
#include "app/compact_style.h"
#include "app/tool_window.h"
#include "app/quit_on_signals.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (const std::optional<int> status = kv::answerCommandLine(arguments, QStringLiteral(KV9240B_VERSION), out, err))
        return *status;

    QApplication app(argc, argv);
    kv::useCompactStyle();
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    kv::QuitOnSignals quitOnSignals;

    kv::ToolWindow window;
    window.load();
    window.show();
    return QApplication::exec();
}

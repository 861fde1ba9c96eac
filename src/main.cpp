#include "app/compact_style.h"
#include "app/tool_window.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(new kv::CompactStyle(QStyleFactory::create(QStringLiteral("Fusion"))));
    QApplication::setApplicationName(QStringLiteral("Orvane"));

    kv::ToolWindow window;
    window.load();
    window.show();
    return QApplication::exec();
}

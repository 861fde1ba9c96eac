#include "app/compact_style.h"
#include "app/main_window.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(new kv::CompactStyle(QStyleFactory::create(QStringLiteral("Fusion"))));
    QApplication::setApplicationName(QStringLiteral("Orvane"));

    kv::frmMain window;
    window.load();
    window.show();
    return QApplication::exec();
}

// The running window and its menu entry are paired by docks and task bars: by
// the desktop file name (Wayland's app_id), and on X11 by the window's class,
// which Qt's xcb platform takes from the application's name (WM_CLASS is
// "kv9240b-tool", "Orvane").

#include "app/start_up.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

class tst_DesktopIdentity : public QObject {
    Q_OBJECT

private slots:
    void windowNamesItsMenuEntry();
};

void tst_DesktopIdentity::windowNamesItsMenuEntry()
{
    kv::setUpApplication();
    const QString entryPath = QStringLiteral(KV9240B_DESKTOP_ENTRY);
    QVERIFY2(QFile::exists(entryPath), qPrintable(entryPath));
    QSettings entry(entryPath, QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));

    QCOMPARE(QGuiApplication::desktopFileName() + QStringLiteral(".desktop"), QFileInfo(entryPath).fileName());
    QCOMPARE(entry.value(QStringLiteral("StartupWMClass")).toString(), QCoreApplication::applicationName());
    // The window's instance name is its program's.
    QCOMPARE(entry.value(QStringLiteral("Exec")).toString(), QStringLiteral("kv9240b-tool"));
}

QTEST_MAIN(tst_DesktopIdentity)
#include "tst_desktop_identity.moc"

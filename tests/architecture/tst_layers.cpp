// Each layer may include only itself and the layers before it; the simulator
// only the protocol. Inside the protocol, the generic Modbus part knows no
// sensor model. A failure names the file and the include that breaks it.
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

// The layers in order; the window and the command line share the top rank
// but may not include each other, and so do the two transports, serial and
// net. The line interface lies under every transport, so a transport
// implements it without knowing the engine that works on it.
const QStringList Layers{QStringLiteral("protocol"), QStringLiteral("line"), QStringLiteral("serial"),
    QStringLiteral("net"), QStringLiteral("session"), QStringLiteral("app"), QStringLiteral("cli")};

int rank(const QString& layer)
{
    if (layer == QLatin1String("cli"))
        return rank(QStringLiteral("app"));
    if (layer == QLatin1String("net"))
        return rank(QStringLiteral("serial"));
    return Layers.indexOf(layer);
}

bool mayInclude(const QString& from, const QString& to)
{
    if (from == to)
        return true;
    if (rank(from) == rank(to))
        return false; // app and cli
    return rank(to) < rank(from);
}

// The window and the command line reach a transport through its face for
// them alone: the port list (which makes serial lines) and the gateway line.
// Everything else of a transport is the engine's business, through the line.
const QStringList TransportFaces{QStringLiteral("serial/port_directory.h"), QStringLiteral("net/tcp_line.h")};

bool frontEndMayInclude(const QString& path)
{
    const QString folder = path.section(QLatin1Char('/'), 0, 0);
    return (folder != QLatin1String("serial") && folder != QLatin1String("net")) || TransportFaces.contains(path);
}

struct Include {
    QString file;   // relative to the source root: "src/serial/comm_port.cpp"
    QString layer;  // the folder under src/ or tools/ the file lies in
    QString target; // the folder the include names
    QString path;   // the whole path the include names: "protocol/modbus/crc16.h"
    QString line;   // the include as written
};

// Whether a file of the generic Modbus part may include `path`: anything
// outside the protocol's own folders (Qt, the standard library), and within
// them only the generic part itself, never a sensor model beside it.
bool genericPartMayInclude(const QString& path)
{
    return !path.startsWith(QLatin1String("protocol/")) || path.startsWith(QLatin1String("protocol/modbus/"));
}

// Every `#include "folder/..."` in the sources under root/top.
QList<Include> includesUnder(const QString& root, const QString& top)
{
    static const QRegularExpression include(
        QStringLiteral("^\\s*#\\s*include\\s*\"(([a-z]+)/[^\"]+)\""), QRegularExpression::MultilineOption);
    QList<Include> found;
    QDirIterator files(root + QLatin1Char('/') + top, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
        QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString relative = path.mid(root.size() + 1);
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = include.globalMatch(text); match.hasNext();) {
            const QRegularExpressionMatch m = match.next();
            found.append({relative, relative.section(QLatin1Char('/'), 1, 1), m.captured(2), m.captured(1),
                m.captured(0).trimmed()});
        }
    }
    return found;
}

} // namespace

class tst_Layers : public QObject {
    Q_OBJECT

private slots:
    void ruleOrdersTheLayers_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("transport implements the line") << "serial"
                                                       << "line" << true;
        QTest::newRow("engine works on the line") << "session"
                                                  << "line" << true;
        QTest::newRow("line knows no transport") << "line"
                                                 << "serial" << false;
        QTest::newRow("line knows no engine") << "line"
                                              << "session" << false;
        QTest::newRow("line builds on the protocol") << "line"
                                                     << "protocol" << true;
        QTest::newRow("protocol knows no line") << "protocol"
                                                << "line" << false;
        QTest::newRow("transport knows no engine") << "serial"
                                                   << "session" << false;
        QTest::newRow("window and command line apart") << "cli"
                                                       << "app" << false;
        QTest::newRow("network transport implements the line") << "net"
                                                               << "line" << true;
        QTest::newRow("transports apart") << "net"
                                          << "serial" << false;
        QTest::newRow("network transport knows no engine") << "net"
                                                           << "session" << false;
        QTest::newRow("command line makes a network line") << "cli"
                                                           << "net" << true;
    }

    void ruleOrdersTheLayers()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, allowed);
        QCOMPARE(mayInclude(from, to), allowed);
    }

    void noLayerIncludesAHigherOne()
    {
        const QString root = QStringLiteral(KV9240B_SOURCE_DIR);
        QStringList broken;
        int checked = 0;
        for (const Include& include : includesUnder(root, QStringLiteral("src"))) {
            if (!Layers.contains(include.layer) || !Layers.contains(include.target))
                continue; // src/main.cpp, or a folder that is no layer
            ++checked;
            if (!mayInclude(include.layer, include.target))
                broken << QStringLiteral("%1: %2").arg(include.file, include.line);
        }
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QLatin1Char('\n'))));
        QVERIFY2(checked > 50, "the sources were not found");
    }

    void frontEndsReachTransportsOnlyThroughTheirFace()
    {
        QVERIFY(frontEndMayInclude(QStringLiteral("serial/port_directory.h")));
        QVERIFY(frontEndMayInclude(QStringLiteral("line/serial_line.h")));
        QVERIFY(!frontEndMayInclude(QStringLiteral("serial/comm_port.h")));
        QVERIFY(!frontEndMayInclude(QStringLiteral("serial/line_settings.h")));

        const QString root = QStringLiteral(KV9240B_SOURCE_DIR);
        QStringList broken;
        int checked = 0;
        for (const QString& frontEnd : {QStringLiteral("src/app"), QStringLiteral("src/cli")}) {
            for (const Include& include : includesUnder(root, frontEnd)) {
                ++checked;
                if (!frontEndMayInclude(include.path))
                    broken << QStringLiteral("%1: %2").arg(include.file, include.line);
            }
        }
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QLatin1Char('\n'))));
        QVERIFY2(checked > 100, "the front ends' sources were not found");
    }

    void genericModbusKnowsNoSensorModel()
    {
        QVERIFY(genericPartMayInclude(QStringLiteral("protocol/modbus/crc16.h")));
        QVERIFY(!genericPartMayInclude(QStringLiteral("protocol/kv9240b/measurement.h")));

        const QString root = QStringLiteral(KV9240B_SOURCE_DIR);
        QStringList broken;
        int checked = 0;
        for (const Include& include : includesUnder(root, QStringLiteral("src/protocol/modbus"))) {
            ++checked;
            if (!genericPartMayInclude(include.path))
                broken << QStringLiteral("%1: %2").arg(include.file, include.line);
        }
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QLatin1Char('\n'))));
        QVERIFY2(checked > 5, "the generic Modbus sources were not found");
    }

    void simulatorUsesOnlyTheProtocol()
    {
        const QString root = QStringLiteral(KV9240B_SOURCE_DIR);
        QStringList broken;
        for (const Include& include : includesUnder(root, QStringLiteral("tools"))) {
            if (Layers.contains(include.target) && include.target != QLatin1String("protocol"))
                broken << QStringLiteral("%1: %2").arg(include.file, include.line);
        }
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(tst_Layers)
#include "tst_layers.moc"

// The configuration of kv9240b serve: what a good file gives, and that a wrong
// one is refused whole with the line it went wrong on.
#include "cli/serve/serve_config.h"

#include <QTest>

using namespace kv::cli;

namespace {

const QByteArray Good = "poll_interval_ms = 2000\n"
                        "retries = 2\n"
                        "\n"
                        "[prometheus]\n"
                        "listen = \"127.0.0.1:9999\"\n"
                        "\n"
                        "[mqtt]\n"
                        "broker = \"127.0.0.1:1884\"\n"
                        "protocol = \"5\"\n"
                        "username = \"bridge\"\n"
                        "password_env = \"KV_PASSWORD\"\n"
                        "home_assistant = true\n"
                        "\n"
                        "[[line]]\n"
                        "name = \"hall\"\n"
                        "port = \"/dev/ttyUSB0\"\n"
                        "baud = 19200\n"
                        "\n"
                        "  [[line.sensor]]\n"
                        "  station = 3\n"
                        "  name = \"north\"\n"
                        "  labels = { room = \"hall\", floor = \"1\" }\n"
                        "\n"
                        "  [[line.sensor]]\n"
                        "  station = 4\n"
                        "\n"
                        "[[line]]\n"
                        "name = \"store\"\n"
                        "port = \"modbus-tcp://127.0.0.1\"\n"
                        "\n"
                        "  [[line.sensor]]\n"
                        "  station = 1\n"
                        "  name = \"shelf\"\n"
                        "\n";

} // namespace

class tst_ServeConfig : public QObject {
    Q_OBJECT

private slots:
    void readsAGoodFile();
    void theInstalledExampleIsGood();
    void refusesAWrongFile_data();
    void refusesAWrongFile();
};

void tst_ServeConfig::readsAGoodFile()
{
    const ServeConfigResult result = readServeConfig(Good, QStringLiteral("serve.toml"));
    QVERIFY2(result.config, qPrintable(result.problem));
    const ServeConfig& config = *result.config;
    QCOMPARE(config.interval, std::chrono::milliseconds(2000));
    QCOMPARE(config.staleness(), std::chrono::milliseconds(6000)); // three intervals unless told
    QCOMPARE(config.retries, 2);
    QCOMPARE(config.prometheus.port, quint16(9999));
    QVERIFY(config.mqtt.enabled);
    QCOMPARE(config.mqtt.port, quint16(1884));
    QCOMPARE(config.mqtt.protocolVersion, 5);
    QVERIFY(config.mqtt.homeAssistant);
    QCOMPARE(config.lines.size(), 2);
    const ServedLineConfig& hall = config.lines[0];
    QCOMPARE(hall.baudRate, 19200);
    QCOMPARE(hall.sensors.size(), 2);
    QCOMPARE(hall.sensors[0].name, QStringLiteral("north"));
    QCOMPARE(hall.sensors[0].labels.size(), 2);
    QCOMPARE(hall.sensors[1].name, QStringLiteral("station4")); // named after its station unless told
    QCOMPARE(config.lines[1].port, QStringLiteral("modbus-tcp://127.0.0.1"));
}

void tst_ServeConfig::theInstalledExampleIsGood()
{
    const ServeConfigResult result = loadServeConfig(QStringLiteral(KV9240B_SOURCE_DIR "/packaging/serve.toml"));
    QVERIFY2(result.config, qPrintable(result.problem));
    QCOMPARE(result.config->prometheus.host, QStringLiteral("127.0.0.1"));
    QCOMPARE(result.config->prometheus.port, quint16(9240));
    QVERIFY(!result.config->mqtt.enabled); // nothing leaves the machine until the administrator says so
}

void tst_ServeConfig::refusesAWrongFile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("problem");

    const QByteArray sensor = "[[line]]\nname = \"a\"\nport = \"COM1\"\n[[line.sensor]]\nstation = 1\n";
    QTest::newRow("not TOML") << QByteArray("poll_interval_ms = = 3\n") << "x.toml:1: ";
    QTest::newRow("no line") << QByteArray("retries = 1\n") << "x.toml:1: no [[line]]: nothing to serve";
    QTest::newRow("unknown key") << QByteArray("pol_interval_ms = 100\n" + sensor)
                                 << "x.toml:1: unknown key 'pol_interval_ms' in the file";
    QTest::newRow("interval too short") << QByteArray("\npoll_interval_ms = 10\n" + sensor)
                                        << "x.toml:2: poll_interval_ms must be from 100 to 3600000, not 10";
    QTest::newRow("wrong type") << QByteArray("retries = \"two\"\n" + sensor)
                                << "x.toml:1: retries must be a whole number";
    QTest::newRow("station twice") << QByteArray(sensor + "[[line.sensor]]\nstation = 1\nname = \"b\"\n")
                                   << "x.toml:6: station 1 is twice on line 'a'";
    QTest::newRow("station 250") << QByteArray(sensor).replace("station = 1", "station = 250")
                                 << "x.toml:5: station must be from 1 to 247, not 250";
    QTest::newRow("port on two lines") << QByteArray(sensor + QByteArray(sensor).replace("\"a\"", "\"b\""))
                                       << "x.toml:6: port 'COM1' is on two lines: one line, one master";
    QTest::newRow("label set by the bridge") << QByteArray(sensor + "labels = { station = \"x\" }\n")
                                             << "x.toml:6: label 'station' is set by kv9240b itself";
    QTest::newRow("name unfit for a topic") << QByteArray(sensor).replace("\"a\"", "\"a/b\"")
                                            << "x.toml:2: line name 'a/b' must be 1 to 64 letters, digits, '_' or '-'";
    QTest::newRow("gateway address") << QByteArray(sensor).replace("COM1", "tcp://127.0.0.1") << "x.toml:3: ";
    QTest::newRow("rate") << QByteArray(sensor + "").replace("port = \"COM1\"", "port = \"COM1\"\nbaud = 1200")
                          << "x.toml:4: baud must be 2400, 4800, 9600 or 19200";
    QTest::newRow("password without user")
        << QByteArray("[mqtt]\npassword_env = \"P\"\n" + sensor) << "x.toml:1: a password needs a username";
    QTest::newRow("MQTT version") << QByteArray("[mqtt]\nprotocol = \"3\"\n" + sensor)
                                  << "x.toml:2: protocol must be \"3.1.1\" or \"5\"";
    QTest::newRow("stale before the next poll") << QByteArray("stale_after_ms = 500\n" + sensor)
                                                << "x.toml:1: stale_after_ms must be at least poll_interval_ms";
}

void tst_ServeConfig::refusesAWrongFile()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, problem);
    const ServeConfigResult result = readServeConfig(text, QStringLiteral("x.toml"));
    QVERIFY(!result.config);
    QVERIFY2(result.problem.startsWith(problem), qPrintable(result.problem));
}

QTEST_GUILESS_MAIN(tst_ServeConfig)
#include "tst_serve_config.moc"

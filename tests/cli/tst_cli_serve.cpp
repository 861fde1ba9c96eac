// kv9240b serve run as a process against the simulated sensors: the metrics
// page as Prometheus reads it, stale values leaving it, a wrong configuration
// refused at the start and on SIGHUP, SIGTERM.
#include "cli_process.h"
#include "sim_process.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <ctime>
#include <optional>

using namespace kv::test;

namespace {

// A port on 127.0.0.1 nothing listens on: taken, then given back.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

QByteArray lineOn(const QString& name, const QString& port, const QByteArray& sensors)
{
    return "[[line]]\nname = \"" + name.toUtf8() + "\"\nport = \"" + port.toUtf8() + "\"\n" + sensors;
}

// kv9240b serve with a configuration file of its own, ended with the test.
class Serve {
public:
    explicit Serve(const QByteArray& config, const QProcessEnvironment& environment = {})
    {
        write(config);
        if (!environment.isEmpty())
            m_process.setProcessEnvironment(environment);
        m_process.start(cliPath(), {"serve", "--config", path()});
    }
    ~Serve()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    QString path() const { return m_folder.filePath(QStringLiteral("serve.toml")); }
    void write(const QByteArray& config)
    {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(config);
    }
    void signal(int number) { ::kill(static_cast<pid_t>(m_process.processId()), number); }

    // Standard error so far.
    QString err()
    {
        m_err += QString::fromUtf8(m_process.readAllStandardError());
        return m_err;
    }
    bool waitForErr(const QString& text, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return err().contains(text); }, timeoutMs);
    }
    // The metrics page, once the start-up has said where it is.
    QString page()
    {
        if (m_url.isEmpty()) {
            if (!waitForErr(QStringLiteral("metrics at ")))
                return {};
            m_url = QRegularExpression(QStringLiteral("metrics at (\\S+)")).match(err()).captured(1);
        }
        std::unique_ptr<QNetworkReply> reply(m_network.get(QNetworkRequest(QUrl(m_url))));
        QSignalSpy done(reply.get(), &QNetworkReply::finished);
        if (!done.wait(5000) || reply->error() != QNetworkReply::NoError)
            return {};
        m_contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
        return QString::fromUtf8(reply->readAll());
    }
    bool waitForPage(const std::function<bool(const QString&)>& holds, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return holds(m_last = page()); }, timeoutMs);
    }
    const QString& lastPage() const { return m_last; }
    const QString& contentType() const { return m_contentType; }
    int exitCode(int timeoutMs = 5000)
    {
        if (!m_process.waitForFinished(timeoutMs))
            return -1;
        err();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    QNetworkAccessManager m_network;
    QString m_err;
    QString m_url;
    QString m_last;
    QString m_contentType;
};

// A program of the mosquitto packages: the broker lives in /usr/sbin.
QString mosquittoProgram(const QString& name)
{
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? QStandardPaths::findExecutable(name, {"/usr/sbin", "/usr/bin"}) : found;
}

// A mosquitto broker on 127.0.0.1, on a port of its own, keeping nothing on disk.
class Broker {
public:
    // `settings`: more lines of mosquitto.conf (TLS, passwords); anyone may connect without them.
    explicit Broker(const QByteArray& settings = "allow_anonymous true\n")
        : m_port(closedPort())
    {
        QFile config(m_folder.filePath(QStringLiteral("mosquitto.conf")));
        if (config.open(QIODevice::WriteOnly))
            config.write(QStringLiteral("listener %1 127.0.0.1\npersistence false\n").arg(m_port).toUtf8() + settings);
    }
    ~Broker() { stop(); }

    quint16 port() const { return m_port; }
    // Starts it and waits until it takes connections.
    bool start()
    {
        m_process.start(
            mosquittoProgram(QStringLiteral("mosquitto")), {"-c", m_folder.filePath(QStringLiteral("mosquitto.conf"))});
        return m_process.waitForStarted() && QTest::qWaitFor([&] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            return probe.waitForConnected(200);
        });
    }
    void stop()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

private:
    QTemporaryDir m_folder;
    quint16 m_port;
    QProcess m_process;
};

// mosquitto_sub on every topic, its "topic payload" lines as they come.
class Subscriber {
public:
    explicit Subscriber(quint16 port, const QStringList& options = {})
    {
        m_process.start(mosquittoProgram(QStringLiteral("mosquitto_sub")),
            QStringList{"-h", "127.0.0.1", "-p", QString::number(port), "-t", "#", "-v"} + options);
    }
    ~Subscriber()
    {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
    // The payload of the first message on the topic from `from` on, once it came.
    std::optional<QByteArray> waitFor(const QByteArray& topic, int from = 0, int timeoutMs = 5000)
    {
        std::optional<QByteArray> payload;
        [[maybe_unused]] const bool came = QTest::qWaitFor(
            [&] {
                while (m_process.canReadLine())
                    m_lines << m_process.readLine().chopped(1);
                for (qsizetype i = from; i < m_lines.size(); ++i) {
                    if (m_lines[i].startsWith(topic + ' ')) {
                        payload = m_lines[i].mid(topic.size() + 1);
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return payload;
    }
    int count() const { return static_cast<int>(m_lines.size()); }

private:
    QProcess m_process;
    QList<QByteArray> m_lines;
};

double monotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Runs a program of the test's own to its end; whether it succeeded.
bool succeeds(const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A certificate authority and, signed by it for 127.0.0.1, a server's and a
// client's certificate and key (ca.crt, server.crt/.key, client.crt/.key).
// The keys are readable by all: the broker reads them as the user it drops to.
bool makeCertificates(const QString& folder)
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    const QStringList ecKey{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    QFile san(folder + QStringLiteral("/san.ext"));
    if (openssl.isEmpty() || !san.open(QIODevice::WriteOnly) || san.write("subjectAltName=IP:127.0.0.1\n") < 0)
        return false;
    san.close();
    if (!succeeds(openssl,
            QStringList{"req", "-x509"} + ecKey
                + QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-days", "1", "-subj", "/CN=kv9240b test CA"},
            folder))
        return false;
    for (const QString& name : {QStringLiteral("server"), QStringLiteral("client")}) {
        if (!succeeds(openssl,
                QStringList{"req"} + ecKey
                    + QStringList{"-keyout", name + ".key", "-out", name + ".csr", "-subj", "/CN=127.0.0.1"},
                folder)
            || !succeeds(openssl,
                {"x509", "-req", "-in", name + ".csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial", "-out",
                    name + ".crt", "-days", "1", "-extfile", "san.ext"},
                folder))
            return false;
        QFile::setPermissions(folder + "/" + name + ".key",
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther | QFileDevice::ReadGroup);
    }
    return true;
}

// The value of a series of the page, by its name and labels as written there.
std::optional<QString> valueOf(const QString& page, const QString& series)
{
    for (const QString& line : page.split(QLatin1Char('\n'))) {
        if (line.startsWith(series + QLatin1Char(' ')))
            return line.mid(series.size() + 1);
    }
    return std::nullopt;
}

} // namespace

class tst_CliServe : public QObject {
    Q_OBJECT

private slots:
    void metricsOfTheSimulatedSensors();
    void staleValuesLeaveThePage();
    void wrongFileRefusedAtTheStart();
    void reloadOnSighup();
    void sigtermEndsTheExchangeFirst();
    void mqtt_data();
    void mqtt();
    void mqttPasswordMissing();
    void mqttOverTlsWithCredentials();
    void mqttSensorRemovedOnReload();
};

void tst_CliServe::metricsOfTheSimulatedSensors()
{
    SimProcess sim({"--station", "1,2", "--temperature", "-3.5", "--humidity", "41.25"});
    QVERIFY(sim.isRunning());
    const QString gateway = QStringLiteral("tcp://127.0.0.1:%1").arg(closedPort());
    Serve serve("poll_interval_ms = 200\n[prometheus]\nlisten = \"127.0.0.1:0\"\n"
        + lineOn("hall", sim.devicePath(),
            "[[line.sensor]]\nstation = 1\nname = \"north\"\nlabels = { room = \"hall \\\"A\\\"\" }\n"
            "[[line.sensor]]\nstation = 2\n[[line.sensor]]\nstation = 9\n")
        + lineOn("far", gateway, "[[line.sensor]]\nstation = 1\n"));

    const QString hall = QStringLiteral("line=\"hall\",port=\"%1\"").arg(sim.devicePath());
    const QString north = hall + QStringLiteral(",station=\"1\",name=\"north\",room=\"hall \\\"A\\\"\"");
    const QString second = hall + QStringLiteral(",station=\"2\",name=\"station2\"");
    const QString silent = hall + QStringLiteral(",station=\"9\",name=\"station9\"");
    QVERIFY2(serve.waitForPage([&](const QString& page) {
        // The silent one asked twice: once, and once more (retries = 1 unless told).
        return valueOf(page, "kv9240b_exchanges_total{" + silent + ",outcome=\"no-reply\"}").value_or("0").toInt() >= 2
            && valueOf(page, "kv9240b_sensor_up{" + second + "}");
    }),
        qPrintable(serve.err()));
    const QString page = serve.lastPage();
    QVERIFY(serve.contentType().startsWith(QLatin1String("text/plain; version=0.0.4")));

    // What the simulator sent, as Prometheus' units name it.
    QCOMPARE(valueOf(page, "kv9240b_temperature_celsius{" + north + "}"), QStringLiteral("-3.50"));
    QCOMPARE(valueOf(page, "kv9240b_relative_humidity_percent{" + north + "}"), QStringLiteral("41.25"));
    QCOMPARE(valueOf(page, "kv9240b_temperature_celsius{" + second + "}"), QStringLiteral("-2.50"));
    QCOMPARE(valueOf(page, "kv9240b_relative_humidity_percent{" + second + "}"), QStringLiteral("43.25"));
    QCOMPARE(valueOf(page, "kv9240b_temperature_offset_celsius{" + north + "}"), QStringLiteral("0.00"));
    QCOMPARE(valueOf(page, "kv9240b_sensor_up{" + north + "}"), QStringLiteral("1"));
    // A silent sensor on an open line, beside a gateway nobody answers at.
    QCOMPARE(valueOf(page, "kv9240b_sensor_up{" + silent + "}"), QStringLiteral("0"));
    QVERIFY(!valueOf(page, "kv9240b_temperature_celsius{" + silent + "}"));
    QCOMPARE(valueOf(page, "kv9240b_line_up{" + hall + "}"), QStringLiteral("1"));
    QCOMPARE(
        valueOf(page, QStringLiteral("kv9240b_line_up{line=\"far\",port=\"%1\"}").arg(gateway)), QStringLiteral("0"));
    QVERIFY(valueOf(page, "kv9240b_exchanges_total{" + north + ",outcome=\"ok\"}"));
    const qint64 stamp = valueOf(page, "kv9240b_last_reading_timestamp_seconds{" + north + "}")->toDouble();
    QVERIFY(qAbs(stamp - QDateTime::currentSecsSinceEpoch()) < 60);
    QVERIFY(valueOf(page, "kv9240b_response_time_seconds_count{" + north + "}")->toInt() >= 1);

    if (QStringLiteral(KV9240B_PROMTOOL).isEmpty())
        qWarning("promtool (Debian package prometheus) is not installed: the page's format is not checked by it");
    else {
        QProcess promtool;
        promtool.start(QStringLiteral(KV9240B_PROMTOOL), {"check", "metrics"});
        promtool.write(page.toUtf8());
        promtool.closeWriteChannel();
        QVERIFY(promtool.waitForFinished(10000));
        QVERIFY2(promtool.exitCode() == 0, promtool.readAll().constData());
    }

    // Each event once: the gateway's refusal is not repeated with every retry.
    QVERIFY(serve.waitForErr(QStringLiteral("line hall, station 9 (station9): no reply")));
    QCOMPARE(serve.err().count(QStringLiteral("line far: cannot connect")), 1);
    serve.signal(SIGTERM);
    QCOMPARE(serve.exitCode(), 0);
    QVERIFY(serve.err().contains(QLatin1String("kv9240b: stopped")));
    QCOMPARE(serve.err().count(QStringLiteral("line far: cannot connect")), 1);
    QVERIFY2(!serve.err().contains(QLatin1String("station 1 (north)")), qPrintable(serve.err()));
}

void tst_CliServe::staleValuesLeaveThePage()
{
    std::optional<SimProcess> sim(std::in_place, QStringList{"--tcp", "0"});
    QVERIFY(sim->isRunning());
    const QString port = QStringLiteral("tcp://") + sim->devicePath();
    Serve serve("poll_interval_ms = 100\nstale_after_ms = 600\nretries = 0\n[prometheus]\nlisten = \"127.0.0.1:0\"\n"
        + lineOn("hall", port, "[[line.sensor]]\nstation = 1\n"));
    const QString sensor = QStringLiteral("line=\"hall\",port=\"%1\",station=\"1\",name=\"station1\"").arg(port);
    const QString temperature = "kv9240b_temperature_celsius{" + sensor + "}";
    QVERIFY2(serve.waitForPage([&](const QString& page) { return valueOf(page, temperature).has_value(); }),
        qPrintable(serve.err()));

    sim.reset(); // the gateway goes away
    QVERIFY(serve.waitForErr(QStringLiteral("line hall: ")));
    QVERIFY(serve.waitForPage([&](const QString& page) { return !valueOf(page, temperature); }));
    // Gone only after the staleness, and said why: the gateway, not the sensor.
    QVERIFY(valueOf(serve.lastPage(), "kv9240b_last_reading_timestamp_seconds{" + sensor + "}"));
    QCOMPARE(valueOf(serve.lastPage(), QStringLiteral("kv9240b_line_up{line=\"hall\",port=\"%1\"}").arg(port)),
        QStringLiteral("0"));
    QVERIFY(!valueOf(serve.lastPage(), "kv9240b_relative_humidity_percent{" + sensor + "}"));

    // The gateway comes back on its address: the line is opened again (after 1 s, 2 s, ...) and polled.
    sim.emplace(QStringList{"--tcp", port.section(QLatin1Char(':'), -1)});
    QVERIFY(sim->isRunning());
    QVERIFY(serve.waitForPage([&](const QString& page) { return valueOf(page, temperature).has_value(); }, 10000));
    QCOMPARE(serve.err().count(QStringLiteral("line hall: ")), 2); // lost, and open again: each said once
    QVERIFY2(serve.err().contains(QLatin1String("line hall: 127.0.0.1:")), qPrintable(serve.err()));
    QVERIFY(serve.err().contains(QLatin1String("open again, polling")));
}

void tst_CliServe::wrongFileRefusedAtTheStart()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("bad.toml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[[line]]\nname = \"a\"\nport = \"COM1\"\n[[line.sensor]]\nstation = 300\n");
    file.close();
    const CliRun run = runCli({"serve", "--config", path});
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.errLines(), QStringList{"kv9240b: " + path + ":5: station must be from 1 to 247, not 300"});
    QCOMPARE(runCli({"serve"}).exitCode, 2);
    QCOMPARE(runCli({"serve", "--config", path, "-p", "COM2"}).exitCode, 2);
}

void tst_CliServe::reloadOnSighup()
{
    SimProcess sim({"--station", "1,2"});
    QVERIFY(sim.isRunning());
    const QByteArray head = "poll_interval_ms = 200\n[prometheus]\nlisten = \"127.0.0.1:0\"\n";
    Serve serve(head + lineOn("hall", sim.devicePath(), "[[line.sensor]]\nstation = 1\nname = \"first\"\n"));
    const QString prefix = QStringLiteral("kv9240b_sensor_up{line=\"hall\",port=\"%1\",").arg(sim.devicePath());
    const QString first = prefix + QStringLiteral("station=\"1\",name=\"first\"}");
    const QString second = prefix + QStringLiteral("station=\"2\",name=\"second\"}");
    QVERIFY2(serve.waitForPage([&](const QString& page) { return valueOf(page, first) == QStringLiteral("1"); }),
        qPrintable(serve.err()));

    serve.write(head + "[[line]]\nname = \"hall\"\n"); // no port, no sensors
    serve.signal(SIGHUP);
    QVERIFY(serve.waitForErr(QStringLiteral("reload refused: still serving the configuration read before")));
    QVERIFY(serve.err().contains(serve.path() + QStringLiteral(":4: line 'hall' needs a port")));
    QVERIFY(serve.waitForPage([&](const QString& page) { return valueOf(page, first) == QStringLiteral("1"); }));

    serve.write(head
        + lineOn("hall", sim.devicePath(),
            "[[line.sensor]]\nstation = 1\nname = \"first\"\n[[line.sensor]]\nstation = 2\nname = \"second\"\n"));
    serve.signal(SIGHUP);
    QVERIFY(serve.waitForErr(QStringLiteral("configuration reloaded")));
    QVERIFY(serve.waitForPage([&](const QString& page) { return valueOf(page, second) == QStringLiteral("1"); }));
    serve.signal(SIGTERM);
    QCOMPARE(serve.exitCode(), 0);
}

void tst_CliServe::sigtermEndsTheExchangeFirst()
{
    SimProcess sim({"--turnaround-ms", "500"});
    QVERIFY(sim.isRunning());
    Serve serve("poll_interval_ms = 5000\ntimeout_ms = 2000\n[prometheus]\nlisten = \"127.0.0.1:0\"\n"
        + lineOn("hall", sim.devicePath(), "[[line.sensor]]\nstation = 1\n"));
    QVERIFY(sim.waitForLines("RX", 1));
    serve.signal(SIGTERM); // the sensor takes 500 ms to answer
    const double signalled = monotonicSeconds();
    QCOMPARE(serve.exitCode(), 0);
    const double ended = monotonicSeconds();
    QVERIFY(sim.waitForLines("TX", 1));
    const double answered = sim.entries("TX").first().seconds;
    QVERIFY(signalled < answered); // the signal came with the request in flight
    QVERIFY(ended >= answered);    // and the bridge waited for its answer
    QVERIFY(serve.err().contains(QLatin1String("stopping after the exchanges in flight")));
}

void tst_CliServe::mqtt_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::newRow("MQTT 3.1.1") << "3.1.1";
    QTest::newRow("MQTT 5") << "5";
}

void tst_CliServe::mqtt()
{
    QFETCH(QString, protocol);
    if (mosquittoProgram(QStringLiteral("mosquitto")).isEmpty()
        || mosquittoProgram(QStringLiteral("mosquitto_sub")).isEmpty())
        QSKIP("mosquitto and mosquitto_sub (Debian packages mosquitto, mosquitto-clients) are not installed");
    SimProcess sim({"--temperature", "-3.5", "--humidity", "41.25"});
    QVERIFY(sim.isRunning());
    Broker broker;
    QVERIFY(broker.start());
    Subscriber subscriber(broker.port());
    const QString password = QStringLiteral("never-in-a-log");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KV_TEST_MQTT_PASSWORD"), password);
    Serve serve(
        QStringLiteral("poll_interval_ms = 200\n[prometheus]\nenabled = false\n[mqtt]\nbroker = \"127.0.0.1:%1\"\n"
                       "protocol = \"%2\"\nusername = \"bridge\"\npassword_env = \"KV_TEST_MQTT_PASSWORD\"\n"
                       "home_assistant = true\nqueue_limit = 1\n")
                .arg(broker.port())
                .arg(protocol)
                .toUtf8()
            + lineOn("hall", sim.devicePath(),
                "[[line.sensor]]\nstation = 1\nname = \"north\"\nlabels = { room = \"hall\" }\n"
                "[[line.sensor]]\nstation = 3\n"),
        environment);

    const std::optional<QByteArray> state = subscriber.waitFor("kv9240b/hall/1/state");
    QVERIFY2(state, qPrintable(serve.err()));
    const QJsonObject reading = QJsonDocument::fromJson(*state).object();
    QCOMPARE(reading["temperature_c"].toDouble(), -3.5);
    QCOMPARE(reading["humidity_rh"].toDouble(), 41.25);
    QCOMPARE(reading["name"].toString(), QStringLiteral("north"));
    QCOMPARE(reading["room"].toString(), QStringLiteral("hall"));
    QCOMPARE(reading["status"].toString(), QStringLiteral("ok"));
    QCOMPARE(subscriber.waitFor("kv9240b/availability"), QByteArray("online"));
    QCOMPARE(subscriber.waitFor("kv9240b/hall/1/availability"), QByteArray("online"));
    QCOMPARE(subscriber.waitFor("kv9240b/hall/3/availability"), QByteArray("offline")); // never answered
    const std::optional<QByteArray> discovery
        = subscriber.waitFor("homeassistant/sensor/kv9240b_hall_1_humidity/config");
    QVERIFY(discovery);
    const QJsonObject humidity = QJsonDocument::fromJson(*discovery).object();
    QCOMPARE(humidity["device_class"].toString(), QStringLiteral("humidity"));
    QCOMPARE(humidity["unit_of_measurement"].toString(), QStringLiteral("%"));
    QCOMPARE(humidity["state_topic"].toString(), QStringLiteral("kv9240b/hall/1/state"));
    const std::optional<QByteArray> temperature
        = subscriber.waitFor("homeassistant/sensor/kv9240b_hall_1_temperature/config");
    QVERIFY(temperature);
    QCOMPARE(QJsonDocument::fromJson(*temperature).object()["unit_of_measurement"].toString(), QStringLiteral("°C"));

    // The broker goes away and comes back: the bridge reconnects and publishes on.
    broker.stop();
    QVERIFY(serve.waitForErr(QStringLiteral("mqtt: lost 127.0.0.1:")));
    // Three more sound readings while it is away: more than the queue keeps.
    const int answered = static_cast<int>(sim.lines(QStringLiteral("TX")).size());
    QVERIFY(sim.waitForLines(QStringLiteral("TX"), answered + 3));
    QVERIFY(broker.start());
    Subscriber again(broker.port()); // the broker kept nothing: all it has now came after the reconnection
    QVERIFY2(again.waitFor("kv9240b/hall/1/state", 0, 8000), qPrintable(serve.err()));
    QCOMPARE(again.waitFor("kv9240b/availability"), QByteArray("online"));
    // While it was away the newest message waited, and the older ones are said dropped.
    QVERIFY2(QRegularExpression(QStringLiteral("again; sending 1 waiting message\\(s\\), \\d+ older ones were dropped"))
                 .match(serve.err())
                 .hasMatch(),
        qPrintable(serve.err()));

    // SIGTERM: every sensor and the bridge say offline before the end.
    const int before = again.count();
    serve.signal(SIGTERM);
    QCOMPARE(serve.exitCode(), 0);
    QCOMPARE(again.waitFor("kv9240b/hall/1/availability", before), QByteArray("offline"));
    QCOMPARE(again.waitFor("kv9240b/availability", before), QByteArray("offline"));
    QVERIFY(!serve.err().contains(password));
}

void tst_CliServe::mqttPasswordMissing()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("serve.toml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[mqtt]\nusername = \"u\"\npassword_file = \"" + folder.filePath("absent").toUtf8() + "\"\n"
        + lineOn("a", "COM1", "[[line.sensor]]\nstation = 1\n"));
    file.close();
    const CliRun run = runCli({"serve", "--config", path});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QLatin1String("mqtt: cannot read the password file")), qPrintable(run.err));
}

void tst_CliServe::mqttOverTlsWithCredentials()
{
    if (mosquittoProgram(QStringLiteral("mosquitto")).isEmpty()
        || mosquittoProgram(QStringLiteral("mosquitto_passwd")).isEmpty())
        QSKIP("mosquitto (Debian package mosquitto) is not installed");
    if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
        QSKIP("openssl (Debian package openssl) is not installed");
    QTemporaryDir keys;
    // The broker reads these as the user it drops to.
    QFile::setPermissions(keys.path(),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
            | QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
    QVERIFY(makeCertificates(keys.path()));
    const QString secret = QStringLiteral("s3cret-of-the-bridge");
    QVERIFY(succeeds(mosquittoProgram(QStringLiteral("mosquitto_passwd")), {"-b", "-c", "passwords", "bridge", secret},
        keys.path()));
    QFile::setPermissions(
        keys.filePath("passwords"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    const QString k = keys.path();
    Broker broker(QStringLiteral("cafile %1/ca.crt\ncertfile %1/server.crt\nkeyfile %1/server.key\nrequire_certificate "
                                 "true\nallow_anonymous false\npassword_file %1/passwords\n")
                      .arg(k)
                      .toUtf8());
    QVERIFY(broker.start());
    Subscriber subscriber(broker.port(),
        {"--cafile", k + "/ca.crt", "--cert", k + "/client.crt", "--key", k + "/client.key", "-u", "bridge", "-P",
            secret});
    SimProcess sim;
    QVERIFY(sim.isRunning());

    const auto configWith = [&](const QString& passwordFile) {
        return QStringLiteral(
                   "poll_interval_ms = 200\n[prometheus]\nenabled = false\n[mqtt]\nbroker = \"127.0.0.1:%1\"\n"
                   "ca_file = \"%2/ca.crt\"\ncert_file = \"%2/client.crt\"\nkey_file = \"%2/client.key\"\n"
                   "username = \"bridge\"\npassword_file = \"%3\"\n")
                   .arg(broker.port())
                   .arg(k, passwordFile)
                   .toUtf8()
            + lineOn("hall", sim.devicePath(), "[[line.sensor]]\nstation = 1\n");
    };
    QFile good(k + "/good-password");
    QVERIFY(good.open(QIODevice::WriteOnly));
    good.write(secret.toUtf8() + "\n"); // as an editor leaves it
    good.close();
    {
        Serve serve(configWith(good.fileName()));
        QVERIFY2(subscriber.waitFor("kv9240b/hall/1/state"), qPrintable(serve.err()));
        serve.signal(SIGTERM);
        QCOMPARE(serve.exitCode(), 0);
        QVERIFY(!serve.err().contains(secret));
    }
    // A wrong password is refused by the broker, said once, and never shown.
    QFile wrong(k + "/wrong-password");
    QVERIFY(wrong.open(QIODevice::WriteOnly));
    wrong.write("not-" + secret.toUtf8());
    wrong.close();
    Serve refused(configWith(wrong.fileName()));
    QVERIFY(refused.waitForErr(QStringLiteral("refused the connection")));
    QVERIFY(!refused.err().contains(secret));
}

void tst_CliServe::mqttSensorRemovedOnReload()
{
    if (mosquittoProgram(QStringLiteral("mosquitto")).isEmpty()
        || mosquittoProgram(QStringLiteral("mosquitto_sub")).isEmpty())
        QSKIP("mosquitto and mosquitto_sub (Debian packages mosquitto, mosquitto-clients) are not installed");
    SimProcess sim({"--station", "1,2"});
    QVERIFY(sim.isRunning());
    Broker broker;
    QVERIFY(broker.start());
    Subscriber subscriber(broker.port());
    const QByteArray head = QStringLiteral("poll_interval_ms = 200\n[prometheus]\nenabled = false\n[mqtt]\n"
                                           "broker = \"127.0.0.1:%1\"\nhome_assistant = true\n")
                                .arg(broker.port())
                                .toUtf8();
    const QByteArray first = "[[line.sensor]]\nstation = 1\n";
    Serve serve(head + lineOn("hall", sim.devicePath(), first + "[[line.sensor]]\nstation = 2\n"));
    QVERIFY(subscriber.waitFor("homeassistant/sensor/kv9240b_hall_2_temperature/config"));
    QCOMPARE(subscriber.waitFor("kv9240b/hall/2/availability"), QByteArray("online"));

    const int before = subscriber.count();
    serve.write(head + lineOn("hall", sim.devicePath(), first));
    serve.signal(SIGHUP);
    QVERIFY(serve.waitForErr(QStringLiteral("configuration reloaded")));
    // Gone from Home Assistant (an empty retained config) and offline; station 1 stays.
    QCOMPARE(
        subscriber.waitFor("homeassistant/sensor/kv9240b_hall_2_temperature/config", before), QByteArray("(null)"));
    QCOMPARE(subscriber.waitFor("homeassistant/sensor/kv9240b_hall_2_humidity/config", before), QByteArray("(null)"));
    QCOMPARE(subscriber.waitFor("kv9240b/hall/2/availability", before), QByteArray("offline"));
    QVERIFY(subscriber.waitFor("kv9240b/hall/1/state", subscriber.count()));
}

QTEST_MAIN(tst_CliServe)
#include "tst_cli_serve.moc"

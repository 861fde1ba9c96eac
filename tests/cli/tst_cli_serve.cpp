// kv9240b serve run as a process against the simulated sensors: the metrics
// page as Prometheus reads it, stale values leaving it, a wrong configuration
// refused at the start and on SIGHUP, SIGTERM; and the faults around it: a
// broker in trouble, scrapes that stall, a file half written, a port another
// bridge holds, a gateway that never answers.
#include "cli_process.h"
#include "sim_process.h"

#include <QElapsedTimer>
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

#include <arpa/inet.h>
#include <csignal>
#include <ctime>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

using namespace kv::test;

namespace {

constexpr bool underAddressSanitizer()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

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
    qint64 processId() const { return m_process.processId(); }
    void signal(int number) { ::kill(static_cast<pid_t>(m_process.processId()), number); }
    bool running() const { return m_process.state() == QProcess::Running; }
    // Its resident memory (VmRSS), 0 when unknown.
    long residentKilobytes() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        const QRegularExpressionMatch rss
            = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)")).match(QString::fromLatin1(status.readAll()));
        return rss.captured(1).toLong();
    }

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
        return QTest::qWaitFor(
            [&] {
                QElapsedTimer scrape;
                scrape.start();
                m_last = page();
                m_slowest = std::max(m_slowest, scrape.elapsed());
                return holds(m_last);
            },
            timeoutMs);
    }
    const QString& lastPage() const { return m_last; }
    // The slowest scrape of waitForPage() so far, in milliseconds.
    qint64 slowestScrape() const { return m_slowest; }
    quint16 metricsPort() const { return static_cast<quint16>(QUrl(m_url).port()); }
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
    qint64 m_slowest = 0;
};

// A program of the mosquitto packages: the broker lives in /usr/sbin.
QString mosquittoProgram(const QString& name)
{
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? QStandardPaths::findExecutable(name, {"/usr/sbin", "/usr/bin"}) : found;
}

bool haveMosquitto()
{
    return !mosquittoProgram(QStringLiteral("mosquitto")).isEmpty()
        && !mosquittoProgram(QStringLiteral("mosquitto_sub")).isEmpty();
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

// How many exchanges of the sensor the page counts with that outcome.
int exchanges(const QString& page, const QString& sensor, const char* outcome = "ok")
{
    return valueOf(
        page, QStringLiteral("kv9240b_exchanges_total{%1,outcome=\"%2\"}").arg(sensor, QLatin1String(outcome)))
        .value_or(QStringLiteral("0"))
        .toInt();
}

// The exchanges of the page that did not succeed.
int failedExchanges(const QString& page)
{
    int failed = 0;
    for (const QString& line : page.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("kv9240b_exchanges_total{"))
            && !line.contains(QLatin1String("outcome=\"ok\"")))
            failed += line.section(QLatin1Char(' '), -1).toInt();
    }
    return failed;
}

// A plain socket connected to 127.0.0.1:port that the test writes to and
// never reads from, as a stalled client does; -1 when it cannot connect.
// What the peer refuses to take is not sent.
int stalledClient(quint16 port, const QByteArray& sent)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    [[maybe_unused]] const ssize_t written
        = ::send(fd, sent.constData(), static_cast<size_t>(sent.size()), MSG_NOSIGNAL);
    return fd;
}

// Whether the peer closed the connection (what it sent before is skipped).
bool closedByPeer(int fd)
{
    char skipped[4096];
    for (;;) {
        const ssize_t got = ::recv(fd, skipped, sizeof skipped, MSG_DONTWAIT);
        if (got == 0)
            return true;
        if (got < 0)
            return errno != EAGAIN && errno != EWOULDBLOCK;
    }
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
    void brokerInTrouble_data();
    void brokerInTrouble();
    void stalledScrapes();
    void reloadWhileTheFileIsWritten();
    void secondBridgeOnThePort();
    void unanswerableGatewayStallsNothing();
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
    if (!haveMosquitto())
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
    if (!haveMosquitto())
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

void tst_CliServe::brokerInTrouble_data()
{
    QTest::addColumn<bool>("silent");
    QTest::newRow("a broker that takes the connection and never answers") << true;
    QTest::newRow("a broker that goes away") << false;
}

void tst_CliServe::brokerInTrouble()
{
    QFETCH(bool, silent);
    if (!haveMosquitto())
        QSKIP("mosquitto and mosquitto_sub (Debian packages mosquitto, mosquitto-clients) are not installed");
    SimProcess sim;
    QVERIFY(sim.isRunning());
    Broker broker;
    // The silent one: a listener that takes every connection and never says a word.
    QTcpServer mute;
    std::vector<std::unique_ptr<QTcpSocket>> held;
    QObject::connect(&mute, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = mute.nextPendingConnection())
            held.emplace_back(socket);
    });
    if (silent)
        QVERIFY(mute.listen(QHostAddress::LocalHost, broker.port()));
    else
        QVERIFY(broker.start());
    Serve serve(QStringLiteral("poll_interval_ms = 200\n[prometheus]\nlisten = \"127.0.0.1:0\"\n[mqtt]\n"
                               "broker = \"127.0.0.1:%1\"\nkeepalive_s = 5\n")
                    .arg(broker.port())
                    .toUtf8()
        + lineOn("hall", sim.devicePath(), "[[line.sensor]]\nstation = 1\n"));
    const QString sensor
        = QStringLiteral("line=\"hall\",port=\"%1\",station=\"1\",name=\"station1\"").arg(sim.devicePath());
    if (!silent) {
        Subscriber subscriber(broker.port());
        QVERIFY2(subscriber.waitFor("kv9240b/hall/1/state"), qPrintable(serve.err()));
        broker.stop();
    }

    // While the broker is in trouble, polling and the page go on, and at once.
    QVERIFY2(
        serve.waitForPage([&](const QString& page) { return exchanges(page, sensor) > 0; }), qPrintable(serve.err()));
    const int before = exchanges(serve.lastPage(), sensor);
    QVERIFY2(serve.waitForPage(
                 [&](const QString& page) {
                     // The silent one: until the bridge gave up on it and came again.
                     return exchanges(page, sensor) >= before + 20 && (!silent || held.size() >= 2);
                 },
                 20000),
        qPrintable(serve.err()));
    QVERIFY2(serve.slowestScrape() < 1000, qPrintable(QString::number(serve.slowestScrape())));
    QCOMPARE(failedExchanges(serve.lastPage()), 0);
    // The trouble is said once, not with every reading or attempt.
    const QString trouble = silent ? QStringLiteral("mqtt: 127.0.0.1:%1 does not answer").arg(broker.port())
                                   : QStringLiteral("mqtt: lost 127.0.0.1:%1").arg(broker.port());
    QVERIFY2(serve.err().count(trouble) == 1, qPrintable(serve.err()));

    // The broker comes back on its port: what was kept, and the readings after, arrive.
    mute.close();
    held.clear();
    QVERIFY(broker.start());
    Subscriber again(broker.port());
    QVERIFY2(again.waitFor("kv9240b/hall/1/state", 0, 30000), qPrintable(serve.err()));
    QCOMPARE(again.waitFor("kv9240b/availability"), QByteArray("online"));
    QCOMPARE(again.waitFor("kv9240b/hall/1/availability"), QByteArray("online"));
    const QString back = silent ? QStringLiteral("mqtt: connected to 127.0.0.1:%1; sending")
                                : QStringLiteral("mqtt: connected to 127.0.0.1:%1 again; sending");
    QVERIFY2(serve.err().contains(back.arg(broker.port())), qPrintable(serve.err()));
    QCOMPARE(serve.err().count(trouble), 1);
}

void tst_CliServe::stalledScrapes()
{
    SimProcess sim;
    QVERIFY(sim.isRunning());
    Serve serve("poll_interval_ms = 200\n[prometheus]\nlisten = \"127.0.0.1:0\"\n"
        + lineOn("hall", sim.devicePath(), "[[line.sensor]]\nstation = 1\n"));
    const QString sensor
        = QStringLiteral("line=\"hall\",port=\"%1\",station=\"1\",name=\"station1\"").arg(sim.devicePath());
    QVERIFY2(
        serve.waitForPage([&](const QString& page) { return exchanges(page, sensor) > 0; }), qPrintable(serve.err()));
    const long memoryBefore = serve.residentKilobytes();

    // 50 clients that stall: half ask for the page and never read it, half
    // never finish asking; one more asks again and again without reading.
    std::vector<int> stalled;
    for (int i = 0; i < 50; ++i) {
        const int fd = stalledClient(serve.metricsPort(),
            i % 2 ? QByteArrayLiteral("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                  : QByteArrayLiteral("GET /metr"));
        QVERIFY(fd >= 0);
        stalled.push_back(fd);
    }
    QByteArray flood;
    for (int i = 0; i < 20000; ++i)
        flood += "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const int flooding = stalledClient(serve.metricsPort(), flood);
    QVERIFY(flooding >= 0);
    stalled.push_back(flooding);
    const auto closeAll = qScopeGuard([&] {
        for (const int fd : stalled)
            ::close(fd);
    });

    // Meanwhile a scrape is answered at once, and polling goes on.
    const int before = exchanges(serve.lastPage(), sensor);
    QVERIFY(serve.waitForPage([&](const QString& page) { return exchanges(page, sensor) >= before + 10; }));
    QVERIFY2(serve.slowestScrape() < 1000, qPrintable(QString::number(serve.slowestScrape())));
    QVERIFY(serve.running());
    // The page answered 20000 times over is not kept for a reader who never
    // takes it. (Under AddressSanitizer freed memory stays in its quarantine,
    // so the resident size tells nothing there.)
    if (!underAddressSanitizer())
        QVERIFY2(serve.residentKilobytes() - memoryBefore < 20'000,
            qPrintable(QStringLiteral("%1 kB -> %2 kB").arg(memoryBefore).arg(serve.residentKilobytes())));
    // And the stalled connections are closed in time, so they cannot pile up.
    QVERIFY(QTest::qWaitFor(
        [&] { return std::all_of(stalled.begin(), stalled.end(), [](int fd) { return closedByPeer(fd); }); }, 20000));
    QVERIFY(serve.waitForPage([&](const QString& page) { return exchanges(page, sensor) > 0; }));
}

void tst_CliServe::reloadWhileTheFileIsWritten()
{
    SimProcess sim({"--station", "1,2"});
    QVERIFY(sim.isRunning());
    const QByteArray head = "poll_interval_ms = 200\n[prometheus]\nlisten = \"127.0.0.1:0\"\n";
    const QByteArray one = "[[line.sensor]]\nstation = 1\nname = \"first\"\n";
    const QByteArray two = "[[line.sensor]]\nstation = 2\nname = \"second\"\n";
    Serve serve(head + lineOn("hall", sim.devicePath(), one));
    const QString prefix = QStringLiteral("kv9240b_sensor_up{line=\"hall\",port=\"%1\",").arg(sim.devicePath());
    const QString first = prefix + QStringLiteral("station=\"1\",name=\"first\"}");
    const QString second = prefix + QStringLiteral("station=\"2\",name=\"second\"}");
    const QString renamed = prefix + QStringLiteral("station=\"2\",name=\"renamed\"}");
    QVERIFY2(serve.waitForPage([&](const QString& page) { return valueOf(page, first) == QStringLiteral("1"); }),
        qPrintable(serve.err()));

    // Written in two parts, the signal in between: the first part alone is a
    // sound file too (the line without its first sensor), and must not be served.
    const QByteArray whole = head + lineOn("hall", sim.devicePath(), two + one);
    const qsizetype cut = whole.indexOf("[[line.sensor]]\nstation = 1");
    QFile file(serve.path());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(whole.left(cut));
    file.flush();
    serve.signal(SIGHUP);
    QVERIFY2(serve.waitForErr(QStringLiteral("changed moments ago")), qPrintable(serve.err()));
    file.write(whole.mid(cut));
    file.close();
    QVERIFY(serve.waitForErr(QStringLiteral("configuration reloaded")));
    QVERIFY(serve.waitForPage([&](const QString& page) {
        return valueOf(page, first) == QStringLiteral("1") && valueOf(page, second) == QStringLiteral("1");
    }));
    QCOMPARE(serve.err().count(QStringLiteral("configuration reloaded")), 1);

    // The editors' way: a new file renamed over the old one.
    QFile replacement(serve.path() + QStringLiteral(".new"));
    QVERIFY(replacement.open(QIODevice::WriteOnly));
    replacement.write(head + lineOn("hall", sim.devicePath(), one + two).replace("\"second\"", "\"renamed\""));
    replacement.close();
    QVERIFY(::rename(QFile::encodeName(replacement.fileName()).constData(), QFile::encodeName(serve.path()).constData())
        == 0);
    serve.signal(SIGHUP);
    QVERIFY(QTest::qWaitFor([&] { return serve.err().count(QStringLiteral("configuration reloaded")) == 2; }, 5000));
    QVERIFY(serve.waitForPage([&](const QString& page) { return valueOf(page, renamed) == QStringLiteral("1"); }));
    QVERIFY(!valueOf(serve.lastPage(), second));
}

void tst_CliServe::secondBridgeOnThePort()
{
    SimProcess sim;
    QVERIFY(sim.isRunning());
    const QByteArray config = "poll_interval_ms = 100\nretries = 0\n[prometheus]\nlisten = \"127.0.0.1:0\"\n"
        + lineOn("hall", sim.devicePath(), "[[line.sensor]]\nstation = 1\n");
    Serve first(config);
    const QString sensor
        = QStringLiteral("line=\"hall\",port=\"%1\",station=\"1\",name=\"station1\"").arg(sim.devicePath());
    QVERIFY2(
        first.waitForPage([&](const QString& page) { return exchanges(page, sensor) > 0; }), qPrintable(first.err()));

    Serve second(config);
    // Refused, with the reason and who holds the port.
    QVERIFY2(
        second.waitForErr(QStringLiteral("line hall: %1 is busy").arg(sim.devicePath())), qPrintable(second.err()));
    QVERIFY2(
        second.err().contains(QStringLiteral("kv9240b, process %1").arg(first.processId())), qPrintable(second.err()));
    QVERIFY(second.waitForPage([&](const QString& page) {
        return valueOf(page, QStringLiteral("kv9240b_line_up{line=\"hall\",port=\"%1\"}").arg(sim.devicePath()))
            == QStringLiteral("0");
    }));
    // The first polls on undisturbed: no request of the second crossed its line.
    const int before = exchanges(first.lastPage(), sensor);
    QVERIFY(first.waitForPage([&](const QString& page) { return exchanges(page, sensor) >= before + 20; }));
    QCOMPARE(failedExchanges(first.lastPage()), 0);
    QCOMPARE(exchanges(second.lastPage(), sensor), 0);
}

void tst_CliServe::unanswerableGatewayStallsNothing()
{
    SimProcess sim;
    QVERIFY(sim.isRunning());
    // A gateway whose listen queue is full: the system answers no further
    // connection attempt, and a connect to it hangs as to a host gone dark.
    QTcpServer full;
    full.setListenBacklogSize(0);
    QVERIFY(full.listen(QHostAddress::LocalHost, 0));
    full.pauseAccepting();
    std::vector<std::unique_ptr<QTcpSocket>> queued;
    for (int i = 0; i < 4; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, full.serverPort());
        const bool connected = socket->waitForConnected(300);
        queued.push_back(std::move(socket));
        if (!connected)
            break; // the queue is full
    }
    QVERIFY(queued.back()->state() != QAbstractSocket::ConnectedState);

    const QString gateway = QStringLiteral("tcp://127.0.0.1:%1").arg(full.serverPort());
    Serve serve("poll_interval_ms = 100\n[prometheus]\nlisten = \"127.0.0.1:0\"\n"
        + lineOn("hall", sim.devicePath(), "[[line.sensor]]\nstation = 1\n")
        + lineOn("far", gateway, "[[line.sensor]]\nstation = 1\n"));
    const QString sensor
        = QStringLiteral("line=\"hall\",port=\"%1\",station=\"1\",name=\"station1\"").arg(sim.devicePath());
    QVERIFY2(
        serve.waitForPage([&](const QString& page) { return exchanges(page, sensor) > 0; }), qPrintable(serve.err()));
    // Through several attempts at the gateway (2 s each, then 1 s, 2 s apart).
    const int before = exchanges(serve.lastPage(), sensor);
    QVERIFY(serve.waitForPage([&](const QString& page) { return exchanges(page, sensor) >= before + 50; }, 15000));
    QVERIFY2(
        serve.err().contains(
            QStringLiteral("line far: cannot connect to 127.0.0.1:%1: no answer within 2 s").arg(full.serverPort())),
        qPrintable(serve.err()));
    QVERIFY2(serve.slowestScrape() < 500, qPrintable(QString::number(serve.slowestScrape())));
    QCOMPARE(failedExchanges(serve.lastPage()), 0);
    QCOMPARE(valueOf(serve.lastPage(), QStringLiteral("kv9240b_line_up{line=\"far\",port=\"%1\"}").arg(gateway)),
        QStringLiteral("0"));
    serve.signal(SIGTERM);
    QCOMPARE(serve.exitCode(), 0);
}

QTEST_MAIN(tst_CliServe)
#include "tst_cli_serve.moc"

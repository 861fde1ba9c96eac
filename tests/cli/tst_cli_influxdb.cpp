// kv9240b read -f influx as Telegraf hands it on: the records written to a
// real InfluxDB 1.x over HTTP and read back, failed reading included.
#include "cli_process.h"
#include "sim_process.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace kv::test;

namespace {

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// influxd on 127.0.0.1 with its files in a folder of its own.
class InfluxDb {
public:
    InfluxDb()
        : m_port(freePort())
    {
        QFile config(m_folder.filePath(QStringLiteral("influxdb.conf")));
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write(QStringLiteral("reporting-disabled = true\n"
                                    "bind-address = \"127.0.0.1:%1\"\n"
                                    "[meta]\n  dir = \"%2/meta\"\n"
                                    "[data]\n  dir = \"%2/data\"\n  wal-dir = \"%2/wal\"\n  query-log-enabled = false\n"
                                    "[http]\n  bind-address = \"127.0.0.1:%3\"\n  log-enabled = false\n"
                                    "[monitor]\n  store-enabled = false\n")
                         .arg(freePort())
                         .arg(m_folder.path())
                         .arg(m_port)
                         .toUtf8());
        config.close();
        m_process.start(QStandardPaths::findExecutable(QStringLiteral("influxd")), {"-config", config.fileName()});
    }
    ~InfluxDb()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

    bool waitUntilUp()
    {
        return QTest::qWaitFor([&] { return request("GET", QStringLiteral("/ping"), {}, {}).first == 204; }, 10000);
    }
    // The HTTP status and body of a request to the server.
    std::pair<int, QByteArray> request(
        const QByteArray& verb, const QString& path, const QUrlQuery& query, const QByteArray& body)
    {
        QUrl url(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
        url.setQuery(query);
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/plain"));
        std::unique_ptr<QNetworkReply> reply(m_network.sendCustomRequest(request, verb, body));
        QSignalSpy done(reply.get(), &QNetworkReply::finished);
        if (!done.wait(5000))
            return {0, {}};
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
    }

private:
    QTemporaryDir m_folder;
    quint16 m_port;
    QProcess m_process;
    QNetworkAccessManager m_network;
};

} // namespace

class tst_CliInfluxDb : public QObject {
    Q_OBJECT

private slots:
    void recordsReadBackFromInfluxDb();
};

void tst_CliInfluxDb::recordsReadBackFromInfluxDb()
{
    if (QStandardPaths::findExecutable(QStringLiteral("influxd")).isEmpty())
        QSKIP("influxd (Debian package influxdb) is not installed");
    InfluxDb influx;
    SimProcess sim({"--station", "5", "--temperature", "-3.5", "--humidity", "41.25"});
    QVERIFY(sim.isRunning());
    const CliRun run = runCli({"read", "-p", sim.devicePath(), "-s", "5,6", "-f", "influx", "--exit-zero"});
    QCOMPARE(run.exitCode, 0);

    QVERIFY(influx.waitUntilUp());
    QCOMPARE(influx.request("POST", QStringLiteral("/query"), QUrlQuery{{"q", "CREATE DATABASE kv"}}, {}).first, 200);
    const auto written = influx.request("POST", QStringLiteral("/write"), QUrlQuery{{"db", "kv"}}, run.out.toUtf8());
    QVERIFY2(written.first == 204, written.second.constData());

    const auto read = influx.request("GET", QStringLiteral("/query"),
        QUrlQuery{
            {"db", "kv"}, {"q", "SELECT station, port, status, temperature_c, humidity_rh FROM kv9240b ORDER BY time"}},
        {});
    QCOMPARE(read.first, 200);
    const QJsonObject series = QJsonDocument::fromJson(read.second)["results"][0]["series"][0].toObject();
    const QJsonArray rows = series["values"].toArray();
    QCOMPARE(rows.size(), 2);
    // time, station, port, status, temperature_c, humidity_rh
    QCOMPARE(rows[0][1].toString(), QStringLiteral("5"));
    QCOMPARE(rows[0][2].toString(), sim.devicePath());
    QCOMPARE(rows[0][3].toString(), QStringLiteral("ok"));
    QCOMPARE(rows[0][4].toDouble(), -3.5);
    QCOMPARE(rows[0][5].toDouble(), 41.25);
    QCOMPARE(rows[1][1].toString(), QStringLiteral("6"));
    QCOMPARE(rows[1][3].toString(), QStringLiteral("no-reply"));
    QVERIFY(rows[1][4].isNull() && rows[1][5].isNull());
}

QTEST_MAIN(tst_CliInfluxDb)
#include "tst_cli_influxdb.moc"

// The Debian package as a technician's laptop gets it: CPack makes it from this build, then it is
// unpacked and looked at with the tools Debian and the desktops judge such packages with.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

const QString Version = QStringLiteral(KV9240B_VERSION);
const QString AppId = QStringLiteral("org.kv9240b.ServiceTool");
// What makes kv9240b serve a system service.
const QStringList ServiceFiles{QStringLiteral("usr/lib/systemd/system/kv9240b.service"),
    QStringLiteral("usr/lib/sysusers.d/kv9240b.conf"), QStringLiteral("etc/kv9240b/serve.toml"),
    QStringLiteral("usr/share/doc/kv9240b/examples/serve.toml")};
// The bitmap sizes desktops look for first, beside the scalable icon.
const QList<int> IconSizes = {16, 24, 32, 48, 64, 128, 256};

QStringList programs()
{
    QStringList names = {QStringLiteral("kv9240b-tool"), QStringLiteral("kv9240b-sim")};
    if (KV9240B_HAS_COMMAND_LINE)
        names << QStringLiteral("kv9240b");
    return names;
}

QStringList listed(const char* commaSeparated)
{
    return QString::fromLatin1(commaSeparated).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

struct Run {
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;
};

// Runs a program to its end; a program that is still running after the timeout is killed.
Run run(const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(), int timeoutMs = 120000)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run result;
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString describe(const Run& run)
{
    return QStringLiteral("exit %1\n%2%3").arg(run.exitCode).arg(run.out, run.err);
}

// What a desktop session without a display looks like: nothing to draw on.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return environment;
}

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class tst_Package : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void fileNameCarriesVersion();
    void controlFields_data();
    void controlFields();
    void contents_data();
    void contents();
    void everythingUnderUsr();
    void iconSizes_data();
    void iconSizes();
    void desktopEntryValidates();
    void desktopEntryStartsPackagedProgramWithPackagedIcon();
    void metainfoValidates();
    void metainfoReleaseIsThisVersion();
    void versions_data();
    void versions();
    void manualPagesListEveryOption_data();
    void manualPagesListEveryOption();
    void noteAfterInstallNamesDialout_data();
    void noteAfterInstallNamesDialout();
    void lintianFindsNoError();

private:
    QString unpacked(const QString& path) const { return m_work.filePath(QStringLiteral("root/") + path); }
    QString desktopEntryPath() const
    {
        return unpacked(QStringLiteral("usr/share/applications/%1.desktop").arg(AppId));
    }
    QString metainfoPath() const { return unpacked(QStringLiteral("usr/share/metainfo/%1.metainfo.xml").arg(AppId)); }

    QTemporaryDir m_work;
    QString m_deb;
    QStringList m_programs = programs();
    QStringList m_versioned = listed(KV9240B_VERSIONED_PROGRAMS);
};

void tst_Package::initTestCase()
{
    QVERIFY(m_work.isValid());
    const QString output = m_work.filePath(QStringLiteral("out"));
    const Run packed = run(QStringLiteral(KV9240B_CPACK),
        {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
            QStringLiteral(KV9240B_BINARY_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), output},
        QProcessEnvironment::systemEnvironment(), 300000);
    QVERIFY2(packed.finished && packed.exitCode == 0, qPrintable(describe(packed)));

    const QStringList debs = QDir(output).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    m_deb = QDir(output).filePath(debs.first());

    const Run extracted
        = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_work.filePath(QStringLiteral("root"))});
    QVERIFY2(extracted.exitCode == 0, qPrintable(describe(extracted)));
    const Run control
        = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), m_deb, m_work.filePath(QStringLiteral("control"))});
    QVERIFY2(control.exitCode == 0, qPrintable(describe(control)));
}

void tst_Package::fileNameCarriesVersion()
{
    const Run architecture = run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
    QCOMPARE(QFileInfo(m_deb).fileName(), QStringLiteral("kv9240b_%1_%2.deb").arg(Version, architecture.out.trimmed()));
}

void tst_Package::controlFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("pattern");

    QTest::newRow("name") << "Package"
                          << "^kv9240b$";
    QTest::newRow("version") << "Version" << QStringLiteral("^%1$").arg(QRegularExpression::escape(Version));
    QTest::newRow("section") << "Section"
                             << "^(electronics|utils)$";
    QTest::newRow("maintainer with address") << "Maintainer"
                                             << "^\\S.* <[^@> ]+@[^> ]+>$";
    // Found by dpkg-shlibdeps in the binaries, not written by hand.
    QTest::newRow("depends on Qt widgets") << "Depends"
                                           << "(^|, )libqt6widgets6 \\(>= [0-9.]+\\)";
    QTest::newRow("depends on Qt serial port") << "Depends"
                                               << "(^|, )libqt6serialport6 \\(>= [0-9.]+\\)";
    QTest::newRow("depends on the C library") << "Depends"
                                              << "(^|, )libc6 \\(>= [0-9.]+\\)";
    // A summary line, then more, which does not start by saying the summary again.
    QTest::newRow("description") << "Description"
                                 << "^(\\S[^\\n]*)\\n (?!\\1\\n)\\S";
}

void tst_Package::controlFields()
{
    QFETCH(QString, field);
    QFETCH(QString, pattern);
    const Run shown = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, field});
    QVERIFY2(shown.exitCode == 0, qPrintable(describe(shown)));
    const QString value = shown.out.trimmed();
    QVERIFY2(QRegularExpression(pattern).match(value).hasMatch(), qPrintable(field + QStringLiteral(": ") + value));
}

void tst_Package::contents_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");

    for (const QString& program : m_programs)
        QTest::newRow(qPrintable(program)) << QStringLiteral("usr/bin/") + program << true;
    for (const QString& program : m_versioned) {
        const QString page = QStringLiteral("usr/share/man/man1/%1.1.gz").arg(program);
        QTest::newRow(qPrintable(page)) << page << false;
    }
    const QStringList data = {
        QStringLiteral("usr/share/applications/%1.desktop").arg(AppId),
        QStringLiteral("usr/share/metainfo/%1.metainfo.xml").arg(AppId),
        QStringLiteral("usr/share/icons/hicolor/scalable/apps/%1.svg").arg(AppId),
        QStringLiteral("usr/share/doc/kv9240b/copyright"),
        QStringLiteral("usr/share/doc/kv9240b/changelog.gz"),
        QStringLiteral("usr/share/doc/kv9240b/README.md"),
        QStringLiteral("usr/share/doc/kv9240b/README.simulator.md"),
    };
    for (const QString& path : data)
        QTest::newRow(qPrintable(path)) << path << false;
#if KV9240B_HAS_COMMAND_LINE
    // kv9240b serve as a service: its unit, its user and its example configuration.
    for (const QString& path : ServiceFiles)
        QTest::newRow(qPrintable(path)) << path << false;
#endif
}

void tst_Package::contents()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    const QFileInfo file(unpacked(path));
    QVERIFY2(file.isFile(), qPrintable(path + QStringLiteral(" is not in the package")));
    QVERIFY(file.size() > 0);
    QCOMPARE(file.isExecutable(), executable);
}

void tst_Package::everythingUnderUsr()
{
    // Beside /usr only the service's configuration in /etc, where an administrator looks for it.
    const QStringList outsideUsr{
        QStringLiteral("./etc/"), QStringLiteral("./etc/kv9240b/"), QStringLiteral("./etc/kv9240b/serve.toml")};
    const Run listing = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), m_deb});
    QVERIFY2(listing.exitCode == 0, qPrintable(describe(listing)));
    const QStringList lines = listing.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    for (const QString& line : lines) {
        // Owner and group root, paths in /usr but not in /usr/local.
        QVERIFY2(line.contains(QLatin1String(" root/root ")), qPrintable(line));
        const QString path = line.section(QLatin1Char(' '), -1);
        QVERIFY2(path == QLatin1String("./") || path == QLatin1String("./usr/") || outsideUsr.contains(path)
                || (path.startsWith(QLatin1String("./usr/")) && !path.startsWith(QLatin1String("./usr/local/"))),
            qPrintable(path));
    }
}

void tst_Package::iconSizes_data()
{
    QTest::addColumn<int>("size");
    for (const int size : IconSizes)
        QTest::newRow(qPrintable(QStringLiteral("%1 px").arg(size))) << size;
}

void tst_Package::iconSizes()
{
    QFETCH(int, size);
    const QString path = unpacked(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId));
    const QImage icon(path);
    QVERIFY2(!icon.isNull(), qPrintable(path));
    QCOMPARE(icon.size(), QSize(size, size));
    // Drawn, not blank: the red of the thermometer and the blue of the drop are both there.
    bool red = false;
    bool blue = false;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QColor pixel = icon.pixelColor(x, y);
            if (pixel.alpha() < 200)
                continue;
            red = red || (pixel.red() > 150 && pixel.green() < 90 && pixel.blue() < 90);
            blue = blue || (pixel.blue() > 150 && pixel.red() < 130);
        }
    }
    QVERIFY(red);
    QVERIFY(blue);
}

void tst_Package::desktopEntryValidates()
{
    const Run validated = run(QStringLiteral("desktop-file-validate"), {desktopEntryPath()});
    QVERIFY2(validated.exitCode == 0, qPrintable(describe(validated)));
    // Warnings and hints leave the exit status alone; the entry has none.
    QVERIFY2(validated.out.trimmed().isEmpty() && validated.err.trimmed().isEmpty(), qPrintable(describe(validated)));
}

void tst_Package::desktopEntryStartsPackagedProgramWithPackagedIcon()
{
    QHash<QString, QString> entry;
    const QStringList lines = readAll(desktopEntryPath()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            entry.insert(line.left(equals), line.mid(equals + 1));
    }
    QVERIFY(QFileInfo(unpacked(QStringLiteral("usr/bin/") + entry.value(QStringLiteral("Exec")))).isExecutable());
    QCOMPARE(entry.value(QStringLiteral("Icon")), AppId);
    QVERIFY(!entry.value(QStringLiteral("Name")).isEmpty());
    QVERIFY(entry.value(QStringLiteral("Name[zh_CN]")).contains(QStringLiteral("温湿度传感器")));
    QVERIFY(!entry.value(QStringLiteral("Comment")).isEmpty());
    QVERIFY(!entry.value(QStringLiteral("Comment[zh_CN]")).isEmpty());
}

void tst_Package::metainfoValidates()
{
    // The whole installed tree: the metainfo file together with the desktop entry and icon it names.
    const Run validated = run(QStringLiteral("appstreamcli"),
        {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), m_work.filePath(QStringLiteral("root"))});
    QVERIFY2(validated.exitCode == 0, qPrintable(describe(validated)));
    const Run file
        = run(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfoPath()});
    QVERIFY2(file.exitCode == 0, qPrintable(describe(file)));
}

void tst_Package::metainfoReleaseIsThisVersion()
{
    QFile file(metainfoPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList releases;
    QString id;
    QString launchable;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("release"))
            releases << xml.attributes().value(QLatin1String("version")).toString();
        else if (xml.name() == QLatin1String("id"))
            id = xml.readElementText();
        else if (xml.name() == QLatin1String("launchable"))
            launchable = xml.readElementText();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(id, AppId);
    QCOMPARE(launchable, AppId + QStringLiteral(".desktop"));
    QCOMPARE(releases, QStringList{Version});
}

void tst_Package::versions_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("answers");
    for (const QString& program : m_programs)
        QTest::newRow(qPrintable(program)) << program << m_versioned.contains(program);
}

void tst_Package::versions()
{
    QFETCH(QString, program);
    QFETCH(bool, answers);
    const Run asked
        = run(unpacked(QStringLiteral("usr/bin/") + program), {QStringLiteral("--version")}, withoutDisplay(), 30000);
    const bool told = asked.finished && asked.exitCode == 0 && asked.out.contains(Version);
    if (!answers) {
        // The build gave this program no manual page because it did not expect an answer.
        QVERIFY2(!told,
            qPrintable(program + QStringLiteral(" now answers --version: packaging/ should give it a manual page")));
        QSKIP("This program does not answer --version yet");
    }
    QVERIFY2(asked.finished && asked.exitCode == 0, qPrintable(describe(asked)));
    const QString firstLine = asked.out.section(QLatin1Char('\n'), 0, 0).trimmed();
    QVERIFY2(firstLine.endsWith(QLatin1Char(' ') + Version), qPrintable(firstLine));
}

void tst_Package::manualPagesListEveryOption_data()
{
    QTest::addColumn<QString>("program");
    for (const QString& program : m_versioned)
        QTest::newRow(qPrintable(program)) << program;
}

void tst_Package::manualPagesListEveryOption()
{
    QFETCH(QString, program);
    const Run help
        = run(unpacked(QStringLiteral("usr/bin/") + program), {QStringLiteral("--help")}, withoutDisplay(), 30000);
    QVERIFY2(help.exitCode == 0, qPrintable(describe(help)));
    const Run page = run(QStringLiteral("gzip"),
        {QStringLiteral("-dc"), unpacked(QStringLiteral("usr/share/man/man1/%1.1.gz").arg(program))});
    QVERIFY2(page.exitCode == 0, qPrintable(describe(page)));
    // roff writes a hyphen as \-.
    QString text = page.out;
    text.replace(QLatin1String("\\-"), QLatin1String("-"));

    QVERIFY2(text.startsWith(QLatin1String(".\\\"")) || text.contains(QLatin1String(".TH")), "not a manual page");
    QVERIFY2(text.contains(Version), "the page names another version");
    QStringList options;
    const QRegularExpression longOption(QStringLiteral("--[a-z][a-z0-9-]*"));
    for (auto match = longOption.globalMatch(help.out); match.hasNext();)
        options << match.next().captured();
    options.removeDuplicates();
    QVERIFY2(options.contains(QLatin1String("--help")), qPrintable(help.out));
    for (const QString& option : std::as_const(options))
        QVERIFY2(text.contains(option), qPrintable(option + QStringLiteral(" is missing from the manual page")));

    // Written from the help in UTF-8 ("°C", not "??C"), and a negative number is not an option.
    for (const QChar character : help.out) {
        if (character.unicode() > 0x7f)
            QVERIFY2(page.out.contains(character), qPrintable(QString(character) + QStringLiteral(" is lost")));
    }
    const QRegularExpression numberAsOption(QStringLiteral("\\\\fB\\\\-[0-9]"));
    QVERIFY2(!page.out.contains(numberAsOption), qPrintable(numberAsOption.match(page.out).captured()));
}

void tst_Package::noteAfterInstallNamesDialout_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("installer");
    QTest::addColumn<QString>("groups");
    QTest::addColumn<QString>("expected");
    QTest::newRow("installed as root") << ""
                                       << ""
                                       << ""
                                       << "usermod -aG dialout USER";
    QTest::newRow("installed with sudo by a user outside the group") << "SUDO_USER"
                                                                     << "nobody"
                                                                     << ""
                                                                     << "usermod -aG dialout nobody";
    QTest::newRow("installed with pkexec by a user outside the group") << "PKEXEC_UID"
                                                                       << "65534"
                                                                       << ""
                                                                       << "usermod -aG dialout nobody";
    // Nothing to do for that user, so nothing is said.
    QTest::newRow("installed with sudo by a user in the group") << "SUDO_USER"
                                                                << "nobody"
                                                                << "nogroup plugdev dialout"
                                                                << "";
}

void tst_Package::noteAfterInstallNamesDialout()
{
    QFETCH(QString, variable);
    QFETCH(QString, installer);
    QFETCH(QString, groups);
    QFETCH(QString, expected);
    const QString script = m_work.filePath(QStringLiteral("control/postinst"));
    QVERIFY(QFileInfo(script).isExecutable());

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("SUDO_USER"));
    environment.remove(QStringLiteral("PKEXEC_UID"));
    if (!variable.isEmpty())
        environment.insert(variable, installer);
    // The user's groups as `id -nG` tells them, when the row gives them.
    QTemporaryDir fakeId;
    if (!groups.isEmpty()) {
        QFile id(fakeId.filePath(QStringLiteral("id")));
        QVERIFY(id.open(QIODevice::WriteOnly));
        id.write(QStringLiteral("#!/bin/sh\n[ \"$1\" = -nG ] && echo '%1' || exec /usr/bin/id \"$@\"\n")
                     .arg(groups)
                     .toUtf8());
        id.close();
        QVERIFY(id.setPermissions(id.permissions() | QFileDevice::ExeOwner));
        environment.insert(
            QStringLiteral("PATH"), fakeId.path() + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
    }
    const Run configured = run(script, {QStringLiteral("configure"), QString()}, environment);
    QVERIFY2(configured.exitCode == 0, qPrintable(describe(configured)));
    if (expected.isEmpty()) {
        QCOMPARE(configured.out, QString());
    } else {
        // Every kind of port a sensor's adapter shows up as.
        for (const char* ports : {"/dev/ttyUSB*", "/dev/ttyACM*", "/dev/ttyS*"})
            QVERIFY2(configured.out.contains(QLatin1String(ports)), qPrintable(configured.out));
        QVERIFY2(configured.out.contains(QLatin1String("dialout group")), qPrintable(configured.out));
        QVERIFY2(configured.out.contains(expected), qPrintable(configured.out));
    }

    // Only when the package is configured, not when it is taken away again.
    const Run other = run(script, {QStringLiteral("abort-remove")}, environment);
    QCOMPARE(other.exitCode, 0);
    QCOMPARE(other.out, QString());
}

void tst_Package::lintianFindsNoError()
{
    const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
    if (lintian.isEmpty())
        QSKIP("lintian is not installed");
    const Run checked = run(lintian, {QStringLiteral("--tag-display-limit"), QStringLiteral("0"), m_deb},
        QProcessEnvironment::systemEnvironment(), 300000);
    QVERIFY2(checked.finished, "lintian did not finish");
    const QStringList lines = (checked.out + checked.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList errors;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("E: ")))
            errors << line;
        else
            qInfo("%s", qPrintable(line));
    }
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
    QVERIFY2(checked.exitCode == 0, qPrintable(describe(checked)));
}

QTEST_GUILESS_MAIN(tst_Package)
#include "tst_package.moc"

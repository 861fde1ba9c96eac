#include "app/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

namespace kv {

namespace {

const QString ToolName = QStringLiteral("kv9240b-tool");

// Options of the toolkit's own that a window may be started with; it reads
// them from the arguments itself, so they are only accepted here.
void letToolkitOptionsThrough(QCommandLineParser& parser)
{
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display", "geometry",
                             "style", "stylesheet"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

// The refusal is one line, whatever the arguments hold: control characters
// in them are written out as escapes.
QString oneLine(const QString& text)
{
    QString line;
    line.reserve(text.size());
    for (const QChar character : text) {
        if (character.unicode() < 0x20 || character.unicode() == 0x7F)
            line += QStringLiteral("\\x%1").arg(static_cast<uint>(character.unicode()), 2, 16, QLatin1Char('0'));
        else
            line += character;
    }
    return line;
}

QString refusal(const QCommandLineParser& parser)
{
    if (!parser.errorText().isEmpty())
        return oneLine(parser.errorText());
    return oneLine(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()));
}

} // namespace

std::optional<int> answerCommandLine(const QStringList& arguments, const QString& version, QTextStream& out,
                                     QTextStream& err)
{
    QCommandLineParser parser;
    // The toolkit's options are spelt with one dash: "-platform" is one word.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Service tool for the KV9240B temperature and humidity sensor: reads, polls and sets it over Modbus RTU\n"
        "on a serial port (an RS-485 adapter). The window offers ports COM1 to COM25; on Linux COMn is the n-th\n"
        "serial device, USB adapters first, unless the environment variable KV9240B_COMn names a device."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit."));
    const QCommandLineOption showVersion({QStringLiteral("v"), QStringLiteral("version")},
                                         QStringLiteral("Show the version and exit."));
    parser.addOption(help);
    parser.addOption(showVersion);
    letToolkitOptionsThrough(parser);

    const QString program = arguments.isEmpty() ? ToolName : QFileInfo(arguments.constFirst()).fileName();
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        err << oneLine(program) << ": " << refusal(parser) << " Try '" << oneLine(program) << " --help'.\n";
        err.flush();
        return 2;
    }
    if (parser.isSet(help)) {
        // Without an application object the parser cannot know the program's name.
        out << parser.helpText().replace(QStringLiteral("<executable_name>"), program);
        out.flush();
        return 0;
    }
    if (parser.isSet(showVersion)) {
        out << program << ' ' << version << '\n';
        out.flush();
        return 0;
    }
    return std::nullopt;
}

} // namespace kv

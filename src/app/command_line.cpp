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
    for (const char* name :
        {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger", "qwindowgeometry", "qwindowicon",
            "qwindowtitle", "session", "display", "geometry", "style", "stylesheet"}) {
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

CommandLineAnswer answerCommandLine(
    const QStringList& arguments, const QString& version, QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    // The toolkit's options are spelt with one dash: "-platform" is one word.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Service tool for the KV9240B temperature and humidity sensor: reads, polls and sets it over Modbus RTU\n"
        "on a serial port (an RS-485 adapter). The window offers ports COM1 to COM25; on Linux COMn is the n-th\n"
        "serial device, USB adapters first, unless the environment variable KV9240B_COMn names a device."));
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit."));
    const QCommandLineOption showVersion(
        {QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version and exit."));
    const QCommandLineOption language(QStringLiteral("lang"),
        QStringLiteral("Language of the window: zh (simplified Chinese) or en (English). Without it the window "
                       "is Chinese for a Chinese locale and for the C locale, English for any other."),
        QStringLiteral("zh|en"));
    parser.addOption(help);
    parser.addOption(showVersion);
    parser.addOption(language);
    letToolkitOptionsThrough(parser);

    const QString program = arguments.isEmpty() ? ToolName : QFileInfo(arguments.constFirst()).fileName();
    const auto refuse = [&](const QString& why) {
        err << oneLine(program) << ": " << why << " Try '" << oneLine(program) << " --help'.\n";
        err.flush();
        return CommandLineAnswer{2, {}};
    };
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty())
        return refuse(refusal(parser));
    if (parser.isSet(help)) {
        // Without an application object the parser cannot know the program's name.
        out << parser.helpText().replace(QStringLiteral("<executable_name>"), program);
        out.flush();
        return {0, {}};
    }
    if (parser.isSet(showVersion)) {
        out << program << ' ' << version << '\n';
        out.flush();
        return {0, {}};
    }
    if (!parser.isSet(language))
        return {};
    // The last one given wins, as with any option repeated.
    const QString named = parser.values(language).constLast();
    const std::optional<Language> chosen = languageNamed(named);
    if (!chosen)
        return refuse(oneLine(QStringLiteral("Unknown language '%1' for --lang: zh or en.").arg(named)));
    return {std::nullopt, chosen};
}

} // namespace kv

#include "cli/commands.h"
#include "cli/line.h"
#include "cli/record_sink.h"

#include <QLocale>

#include <csignal>

namespace kv::cli {

int run(const QStringList& arguments)
{
    // Numbers are read and written with '.', whatever the user's language.
    QLocale::setDefault(QLocale::c());
    // A reader that goes away (| head) makes a write fail, which every command
    // takes as the end of its output, rather than killing the program.
    std::signal(SIGPIPE, SIG_IGN);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    switch (parsed.action) {
    case ParsedCommandLine::Action::Help: {
        RecordSink out;
        out.open({});
        out.writeLine(helpText().chopped(1));
        return Success;
    }
    case ParsedCommandLine::Action::Version: {
        RecordSink out;
        out.open({});
        out.writeLine(versionText().chopped(1));
        return Success;
    }
    case ParsedCommandLine::Action::UsageError:
        complain(parsed.problem);
        writeToStandardError(QStringLiteral("Try 'kv9240b --help' for more information."));
        return UsageError;
    case ParsedCommandLine::Action::Run:
        break;
    }
    switch (parsed.options.command) {
    case Command::Read:
    case Command::Watch:
        return runPolling(parsed.options);
    case Command::Set:
        return runSet(parsed.options);
    case Command::Address:
        return runAddress(parsed.options);
    case Command::Find:
        return runFind(parsed.options);
    case Command::Serve:
        return runServe(parsed.options);
    }
    return UsageError;
}

} // namespace kv::cli

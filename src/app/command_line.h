#pragma once

#include "app/window_language.h"

#include <QStringList>

#include <optional>

class QTextStream;

namespace kv {

// The tool's command line, answered before any window or application object
// exists, so that it works without a display (help2man runs it at build
// time). `arguments` are the raw ones, the program first.
//
// --help and --version print to `out` and give 0; an unknown option, an
// argument or a language other than zh and en gets one line on `err` and 2.
// Otherwise there is nothing to answer and the window opens, in the language
// --lang names: the options the toolkit reads itself (-platform, -style, ...)
// are let through to it.
struct CommandLineAnswer {
    std::optional<int> exitStatus;    // set when answered here: exit with it, no window
    std::optional<Language> language; // --lang; nothing: the user's locale decides
};

CommandLineAnswer answerCommandLine(
    const QStringList& arguments, const QString& version, QTextStream& out, QTextStream& err);

} // namespace kv

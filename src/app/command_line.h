#pragma once

#include <QStringList>

#include <optional>

class QTextStream;

namespace kv {

// The tool's command line, answered before any window or application object
// exists, so that it works without a display (help2man runs it at build
// time). `arguments` are the raw ones, the program first.
//
// --help and --version print to `out` and give 0; an unknown option or an
// argument gets one line on `err` and 2. Otherwise there is nothing to answer
// and the window opens: the options the toolkit reads itself (-platform,
// -style, ...) are let through to it.
std::optional<int> answerCommandLine(const QStringList& arguments, const QString& version, QTextStream& out,
                                     QTextStream& err);

} // namespace kv

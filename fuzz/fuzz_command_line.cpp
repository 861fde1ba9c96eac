// Any command line (arguments separated by NUL bytes): it is either answered
// on standard output with status 0, refused in one line on standard error
// with status 2, or left to the window without a word (a language only when
// one was asked for).
#include "app/command_line.h"
#include "fuzz_check.h"

#include <QTextStream>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QStringList arguments{QStringLiteral("kv9240b-tool")};
    const QByteArray line(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!line.isEmpty()) {
        for (const QByteArray& argument : line.split('\0'))
            arguments << QString::fromLocal8Bit(argument);
    }
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);

    const kv::CommandLineAnswer answer = kv::answerCommandLine(arguments, QStringLiteral("1.0"), outStream, errStream);
    const std::optional<int> status = answer.exitStatus;
    if (!status) {
        require(out.isEmpty() && err.isEmpty());
        require(!answer.language || line.contains("lang"));
    } else if (*status == 0) {
        require(!out.isEmpty() && err.isEmpty());
    } else {
        require(*status == 2 && out.isEmpty());
        require(err.startsWith(QStringLiteral("kv9240b-tool: ")) && err.indexOf(QLatin1Char('\n')) == err.size() - 1);
    }
    return 0;
}

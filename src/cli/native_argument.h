#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kv::cli {

// A file name on Linux is bytes, not always UTF-8. Arguments are read as
// UTF-8 where they are; a byte that is not keeps its value as a lone
// surrogate (U+DC80 to U+DCFF), so the name can be given back exactly.
QString argumentText(const QByteArray& bytes);
QByteArray argumentBytes(const QString& text);

// The program's arguments after its name, read as above.
QStringList argumentsOf(int argc, const char* const argv[]);

} // namespace kv::cli

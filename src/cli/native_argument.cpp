#include "cli/native_argument.h"

#include <algorithm>

namespace kv::cli {

namespace {

constexpr char16_t EscapeBase = 0xDC00;

bool isEscapedByte(QChar c)
{
    return c.unicode() >= EscapeBase + 0x80 && c.unicode() <= EscapeBase + 0xFF;
}

// Length of the well-formed UTF-8 sequence at `at`, or 0 when the byte there
// begins none.
qsizetype sequenceLength(const QByteArray& bytes, qsizetype at)
{
    const auto lead = static_cast<unsigned char>(bytes[at]);
    const qsizetype length = lead < 0x80 ? 1
        : lead >= 0xC2 && lead <= 0xDF   ? 2
        : lead >= 0xE0 && lead <= 0xEF   ? 3
        : lead >= 0xF0 && lead <= 0xF4   ? 4
                                         : 0;
    if (length == 0 || at + length > bytes.size())
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(bytes[at + i]) & 0xC0) != 0x80)
            return 0;
    }
    // The one decoder checks what remains: overlong forms and surrogates.
    const QString decoded = QString::fromUtf8(bytes.constData() + at, length);
    return decoded.contains(QChar::ReplacementCharacter) ? 0 : length;
}

} // namespace

QString argumentText(const QByteArray& bytes)
{
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    QString text;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype length = sequenceLength(bytes, at);
        if (length > 0) {
            text += QString::fromUtf8(bytes.constData() + at, length);
            at += length;
        } else {
            text += QChar(char16_t(EscapeBase + static_cast<unsigned char>(bytes[at])));
            ++at;
        }
    }
    return text;
}

QByteArray argumentBytes(const QString& text)
{
    if (std::none_of(text.begin(), text.end(), isEscapedByte))
        return text.toUtf8();
    QByteArray bytes;
    qsizetype runStart = 0;
    for (qsizetype at = 0; at <= text.size(); ++at) {
        if (at < text.size() && !isEscapedByte(text[at]))
            continue;
        bytes += QStringView(text).mid(runStart, at - runStart).toUtf8();
        if (at < text.size())
            bytes += static_cast<char>(text[at].unicode() - EscapeBase);
        runStart = at + 1;
    }
    return bytes;
}

QStringList argumentsOf(int argc, const char* const argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << argumentText(QByteArray(argv[i]));
    return arguments;
}

} // namespace kv::cli

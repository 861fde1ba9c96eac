#include "untranslated_texts.h"

#include <QRegularExpression>

namespace kv::test {

namespace {

struct Token {
    enum Kind { Identifier, Literal, Punctuation } kind;
    QString text;
    int line;
};

bool startsIdentifier(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool continuesIdentifier(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool isStringPrefix(const QString& word)
{
    static const QStringList prefixes{"u8", "u", "U", "L", "R", "u8R", "uR", "UR", "LR"};
    return prefixes.contains(word);
}

class Lexer {
public:
    explicit Lexer(const QString& source)
        : m_source(source)
    {
    }

    QList<Token> tokens()
    {
        QList<Token> found;
        while (m_at < m_source.size()) {
            const QChar c = m_source[m_at];
            if (c == QLatin1Char('\n')) {
                ++m_line;
                ++m_at;
            } else if (c.isSpace()) {
                ++m_at;
            } else if (lookingAt(u"//")) {
                skipTo(u"\n", false);
            } else if (lookingAt(u"/*")) {
                m_at += 2;
                skipTo(u"*/", true);
            } else if (c.isDigit()) {
                // Numbers, with their digit separators: 1'000'000.
                while (m_at < m_source.size()
                    && (continuesIdentifier(m_source[m_at]) || m_source[m_at] == QLatin1Char('\'')
                        || m_source[m_at] == QLatin1Char('.')))
                    ++m_at;
            } else if (startsIdentifier(c)) {
                const int line = m_line;
                const qsizetype start = m_at;
                while (m_at < m_source.size() && continuesIdentifier(m_source[m_at]))
                    ++m_at;
                const QString word = m_source.mid(start, m_at - start);
                if (isStringPrefix(word) && m_at < m_source.size() && m_source[m_at] == QLatin1Char('"'))
                    found.append({Token::Literal, word + literal(word.endsWith(QLatin1Char('R'))), line});
                else if (isStringPrefix(word) && m_at < m_source.size() && m_source[m_at] == QLatin1Char('\''))
                    quoted(QLatin1Char('\''));
                else
                    found.append({Token::Identifier, word, line});
            } else if (c == QLatin1Char('"')) {
                const int line = m_line;
                found.append({Token::Literal, literal(false), line});
            } else if (c == QLatin1Char('\'')) {
                quoted(QLatin1Char('\''));
            } else {
                found.append({Token::Punctuation, QString(c), m_line});
                ++m_at;
            }
        }
        return found;
    }

private:
    bool lookingAt(QStringView text) const { return QStringView(m_source).mid(m_at).startsWith(text); }

    // Past the next `end`, counting lines; the end itself is kept for a line comment.
    void skipTo(QStringView end, bool consume)
    {
        while (m_at < m_source.size() && !lookingAt(end)) {
            if (m_source[m_at] == QLatin1Char('\n'))
                ++m_line;
            ++m_at;
        }
        if (consume)
            m_at = std::min(m_source.size(), m_at + end.size());
    }

    // A quoted text from its opening quote, escapes skipped; returned as written.
    QString quoted(QChar quote)
    {
        const qsizetype start = m_at++;
        while (m_at < m_source.size() && m_source[m_at] != quote && m_source[m_at] != QLatin1Char('\n')) {
            if (m_source[m_at] == QLatin1Char('\\'))
                ++m_at;
            ++m_at;
        }
        ++m_at;
        return m_source.mid(start, m_at - start);
    }

    QString literal(bool raw)
    {
        if (!raw)
            return quoted(QLatin1Char('"'));
        // R"delimiter( ... )delimiter"
        const qsizetype start = m_at;
        const qsizetype open = m_source.indexOf(QLatin1Char('('), m_at);
        const QString close = QLatin1Char(')') + m_source.mid(m_at + 1, open - m_at - 1) + QLatin1Char('"');
        m_at = open < 0 ? m_source.size() : open;
        skipTo(close, true);
        return m_source.mid(start, m_at - start);
    }

    const QString& m_source;
    qsizetype m_at = 0;
    int m_line = 1;
};

bool holdsChinese(const QString& literal)
{
    static const QRegularExpression chinese(QStringLiteral("[\\p{Han}\\x{3000}-\\x{303F}\\x{FF00}-\\x{FFEF}]"));
    return literal.contains(chinese);
}

bool isIdentifier(const QList<Token>& tokens, qsizetype at, std::initializer_list<const char*> names)
{
    if (at < 0 || tokens[at].kind != Token::Identifier)
        return false;
    for (const char* name : names) {
        if (tokens[at].text == QLatin1String(name))
            return true;
    }
    return false;
}

bool isPunctuation(const QList<Token>& tokens, qsizetype at, char c)
{
    return at >= 0 && tokens[at].kind == Token::Punctuation && tokens[at].text == QLatin1Char(c);
}

// The first piece of the literal that ends at `last`.
qsizetype firstPiece(const QList<Token>& tokens, qsizetype last)
{
    while (last > 0 && tokens[last - 1].kind == Token::Literal)
        --last;
    return last;
}

bool isTranslatedText(const QList<Token>& tokens, qsizetype first)
{
    const qsizetype before = first - 1;
    if (isPunctuation(tokens, before, '('))
        return isIdentifier(tokens, before - 1, {"tr", "QT_TR_NOOP"});
    if (!isPunctuation(tokens, before, ',') || before < 1 || tokens[before - 1].kind != Token::Literal)
        return false;
    const qsizetype context = firstPiece(tokens, before - 1);
    return isPunctuation(tokens, context - 1, '(')
        && isIdentifier(tokens, context - 2, {"translate", "QT_TRANSLATE_NOOP", "QT_TRANSLATE_NOOP3"});
}

} // namespace

QList<UntranslatedText> untranslatedTexts(const QString& source)
{
    const QList<Token> tokens = Lexer(source).tokens();
    QList<UntranslatedText> found;
    for (qsizetype at = 0; at < tokens.size(); ++at) {
        if (tokens[at].kind != Token::Literal || (at > 0 && tokens[at - 1].kind == Token::Literal))
            continue;
        qsizetype last = at;
        QString whole = tokens[at].text;
        while (last + 1 < tokens.size() && tokens[last + 1].kind == Token::Literal)
            whole += tokens[++last].text;
        if (holdsChinese(whole) && !isTranslatedText(tokens, at))
            found.append({tokens[at].line, whole});
    }
    return found;
}

} // namespace kv::test

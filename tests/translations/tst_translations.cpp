// The window's English is complete and in step with the code: every text the
// code marks is in translations/kv9240b_en.ts with an English that keeps its
// placeholders, and no Chinese text in the code escapes translation.
#include "untranslated_texts.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace kv::test;

namespace {

const QString TranslationFile = QStringLiteral(KV9240B_SOURCE_DIR "/translations/kv9240b_en.ts");

struct Message {
    QString context;
    QString source;
    QString comment;
    QString translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty

    QString key() const { return context + QLatin1Char('|') + source + QLatin1Char('|') + comment; }
    QString name() const { return QStringLiteral("%1: \"%2\"").arg(context, source); }
};

// The text of a <translation>: its characters, or for a count ("%n sensors")
// every plural form, one per line; empty when a form is still missing.
QString translationText(QXmlStreamReader& xml)
{
    QStringList forms;
    QString text;
    while (xml.readNext() != QXmlStreamReader::Invalid) {
        if (xml.isEndElement() && xml.name() == u"translation")
            break;
        if (xml.isCharacters())
            text += xml.text();
        else if (xml.isStartElement() && xml.name() == u"numerusform")
            forms << xml.readElementText();
    }
    if (forms.isEmpty())
        return text;
    return forms.contains(QString()) ? QString() : forms.join(QLatin1Char('\n'));
}

QList<Message> readTranslations(const QString& path, QString* problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("cannot read ") + path;
        return {};
    }
    QList<Message> messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto element = xml.name();
        if (element == u"name") {
            context = xml.readElementText();
        } else if (element == u"message") {
            message = Message{context, {}, {}, {}, {}};
        } else if (element == u"source") {
            message.source = xml.readElementText();
        } else if (element == u"comment") {
            message.comment = xml.readElementText();
        } else if (element == u"translation") {
            message.type = xml.attributes().value(QStringLiteral("type")).toString();
            message.translation = translationText(xml);
            messages.append(message);
        }
    }
    if (xml.hasError())
        *problem = QStringLiteral("%1: %2").arg(path, xml.errorString());
    return messages;
}

QStringList placeholders(const QString& text)
{
    static const QRegularExpression placeholder(QStringLiteral("%L?[1-9][0-9]?"));
    QStringList found;
    for (auto match = placeholder.globalMatch(text); match.hasNext();)
        found << match.next().captured();
    found.sort();
    return found;
}

QStringList markup(const QString& text)
{
    static const QRegularExpression tag(QStringLiteral("</?[a-zA-Z0-9]+>"));
    QStringList found;
    for (auto match = tag.globalMatch(text); match.hasNext();)
        found << match.next().captured();
    return found;
}

bool hasMnemonic(const QString& text)
{
    static const QRegularExpression mnemonic(QStringLiteral("&[^&\\s]"));
    return text.contains(mnemonic);
}

} // namespace

class tst_Translations : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void everyTextHasItsEnglish();
    void englishKeepsWhatTheCodeFillsIn();
    void inStepWithTheCode();
    void noTextEscapesTranslation();
    void scanner_data();
    void scanner();

private:
    QList<Message> m_messages;
};

void tst_Translations::initTestCase()
{
    QString problem;
    m_messages = readTranslations(TranslationFile, &problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(m_messages.size() > 100);
}

void tst_Translations::everyTextHasItsEnglish()
{
    QStringList unfinished;
    for (const Message& message : std::as_const(m_messages)) {
        if (!message.type.isEmpty() || message.translation.isEmpty())
            unfinished << QStringLiteral("%1 (%2)").arg(
                message.name(), message.type.isEmpty() ? "empty" : message.type);
    }
    QVERIFY2(unfinished.isEmpty(), qPrintable(unfinished.join(QLatin1Char('\n'))));
}

// A translation that drops a %2 shows the wrong thing; one that drops the
// markup of the About box or a menu's key loses them.
void tst_Translations::englishKeepsWhatTheCodeFillsIn()
{
    QStringList broken;
    for (const Message& message : std::as_const(m_messages)) {
        if (message.translation.isEmpty())
            continue;
        if (placeholders(message.source) != placeholders(message.translation))
            broken << message.name() + QStringLiteral(": placeholders differ");
        if (markup(message.source) != markup(message.translation))
            broken << message.name() + QStringLiteral(": markup differs");
        if (hasMnemonic(message.source) != hasMnemonic(message.translation))
            broken << message.name() + QStringLiteral(": keyboard mnemonic differs");
    }
    QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QLatin1Char('\n'))));
}

// lupdate run over the code into a copy finds exactly the texts of the file:
// none new (an English missing), none gone (a stale entry).
void tst_Translations::inStepWithTheCode()
{
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString copy = scratch.filePath(QStringLiteral("kv9240b_en.ts"));
    QVERIFY(QFile::copy(TranslationFile, copy));
    QProcess lupdate;
    lupdate.start(QStringLiteral(KV9240B_LUPDATE),
        {QStringLiteral("@" KV9240B_TRANSLATED_SOURCES_LIST), QStringLiteral("-locations"), QStringLiteral("none"),
            QStringLiteral("-ts"), copy});
    QVERIFY(lupdate.waitForFinished(60000));
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
        lupdate.readAllStandardError().constData());

    QString problem;
    const QList<Message> fromCode = readTranslations(copy, &problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QSet<QString> kept;
    for (const Message& message : std::as_const(m_messages))
        kept << message.key();
    QStringList differences;
    for (const Message& message : fromCode) {
        if (message.type == QLatin1String("vanished") || message.type == QLatin1String("obsolete"))
            differences << message.name() + QStringLiteral(" is no longer in the code");
        else if (!kept.contains(message.key()))
            differences << message.name() + QStringLiteral(" has no English yet");
    }
    QVERIFY2(differences.isEmpty(),
        qPrintable(differences.join(QLatin1Char('\n'))
            + QStringLiteral("\n(cmake --build build --target update_translations, then translate)")));
    QCOMPARE(fromCode.size(), m_messages.size());

    // Byte for byte as lupdate writes it, so that updating an unchanged tree changes nothing.
    QFile written(copy);
    QFile committed(TranslationFile);
    QVERIFY(written.open(QIODevice::ReadOnly) && committed.open(QIODevice::ReadOnly));
    QVERIFY2(written.readAll() == committed.readAll(),
        "kv9240b_en.ts is not in the form lupdate writes (cmake --build build --target update_translations)");
}

void tst_Translations::noTextEscapesTranslation()
{
    QStringList escaped;
    int files = 0;
    for (const char* layer : {"protocol", "serial", "session", "app"}) {
        const QString root = QStringLiteral(KV9240B_SOURCE_DIR "/src/") + QLatin1String(layer);
        QDirIterator sources(
            root, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files, QDirIterator::Subdirectories);
        while (sources.hasNext()) {
            QFile file(sources.next());
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            ++files;
            const QString relative = file.fileName().mid(QStringLiteral(KV9240B_SOURCE_DIR).size() + 1);
            for (const UntranslatedText& text : untranslatedTexts(QString::fromUtf8(file.readAll())))
                escaped << QStringLiteral("%1:%2: %3").arg(relative).arg(text.line).arg(text.literal);
        }
    }
    QVERIFY(files > 50);
    QVERIFY2(escaped.isEmpty(), qPrintable(escaped.join(QLatin1Char('\n'))));
}

void tst_Translations::scanner_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QList<int>>("lines"); // of the texts that escape
    QTest::newRow("tr") << "a = tr(\"设置\");" << QList<int>{};
    QTest::newRow("translate") << "QCoreApplication::translate(\"kv::X\", \"设置\")" << QList<int>{};
    QTest::newRow("translate with a comment") << "translate(\"kv::X\", \"，\", \"between parts\")" << QList<int>{};
    QTest::newRow("marked in a table") << "{QT_TRANSLATE_NOOP(\"kv::X\", \"设置\"), 1}" << QList<int>{};
    QTest::newRow("QT_TR_NOOP") << "QT_TR_NOOP(\"设置\")" << QList<int>{};
    QTest::newRow("split over lines") << "tr(\"第一\"\n   \"第二\")" << QList<int>{};
    QTest::newRow("comment") << "// \"设置\"\n/* \"设置\" */ x = 1;" << QList<int>{};
    QTest::newRow("English") << "QStringLiteral(\"Set\")" << QList<int>{};
    QTest::newRow("QStringLiteral") << "x;\nQStringLiteral(\"设置\")" << QList<int>{2};
    QTest::newRow("plain literal") << "const char* t = \"设置\";" << QList<int>{1};
    QTest::newRow("full-width punctuation alone") << "join(QStringLiteral(\"，\"))" << QList<int>{1};
    QTest::newRow("u8 prefix") << "u8\"设置\"" << QList<int>{1};
    QTest::newRow("raw string") << "R\"x(\"设置\")x\"" << QList<int>{1};
    QTest::newRow("context not a literal") << "translate(context, \"设置\")" << QList<int>{1};
    QTest::newRow("the context itself") << "translate(\"设置\", \"x\")" << QList<int>{1};
    QTest::newRow("argument of another call") << "tr(\"%1\").arg(\"设置\")" << QList<int>{1};
    QTest::newRow("escaped quote") << "tr(\"a\\\"b\") + \"设置\"" << QList<int>{1};
    QTest::newRow("after a comment") << "/* a\nb */\n\"设置\"" << QList<int>{3};
    QTest::newRow("digit separators") << "x = 1'000'000;\n\"设置\"" << QList<int>{2};
    QTest::newRow("quote character") << "c = '\"';\n\"设置\"" << QList<int>{2};
    QTest::newRow("two on a line") << "\"甲\" + \"乙\"" << QList<int>{1, 1};
}

void tst_Translations::scanner()
{
    QFETCH(QString, source);
    QFETCH(QList<int>, lines);
    QList<int> found;
    for (const UntranslatedText& text : untranslatedTexts(source))
        found << text.line;
    QCOMPARE(found, lines);
}

QTEST_APPLESS_MAIN(tst_Translations)
#include "tst_translations.moc"

#include "app/window_language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace kv {

std::optional<Language> languageNamed(QStringView name)
{
    if (name == u"zh")
        return Language::Chinese;
    if (name == u"en")
        return Language::English;
    return std::nullopt;
}

Language defaultLanguage(const QStringList& uiLanguages)
{
    if (uiLanguages.isEmpty())
        return Language::Chinese;
    const QLocale::Language first = QLocale(uiLanguages.constFirst()).language();
    return first == QLocale::Chinese || first == QLocale::C ? Language::Chinese : Language::English;
}

WindowLanguage::WindowLanguage(Language language)
    : m_language(language)
{
    // The catalogs are embedded by the build (translations/CMakeLists.txt).
    if (language == Language::English) {
        install(QStringLiteral(":/i18n/kv9240b_en.qm"));
    } else {
        // Simplified Chinese also for a traditional Chinese locale: it is the
        // window's own script, and Qt's buttons should match it.
        install(QStringLiteral(":/i18n/qtbase_zh_CN.qm"));
        install(QStringLiteral(":/i18n/qtserialport_zh_CN.qm"));
    }
}

WindowLanguage::~WindowLanguage()
{
    for (const std::unique_ptr<QTranslator>& translator : m_translators)
        QCoreApplication::removeTranslator(translator.get());
}

void WindowLanguage::install(const QString& catalog)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(catalog)) {
        qWarning("Translation %s is missing from the build", qPrintable(catalog));
        return;
    }
    QCoreApplication::installTranslator(translator.get());
    m_translators.push_back(std::move(translator));
}

} // namespace kv

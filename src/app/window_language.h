#pragma once

#include <QStringList>
#include <QStringView>

#include <memory>
#include <optional>
#include <vector>

class QTranslator;

namespace kv {

// The languages the window speaks. Its texts are written in Chinese; English is
// a translation of them.
enum class Language { Chinese, English };

// The language `--lang` names: "zh" or "en"; nothing for any other name.
std::optional<Language> languageNamed(QStringView name);

// The language the window speaks when none is asked for. `uiLanguages` are the
// user's languages, most wanted first, as QLocale::uiLanguages() gives them; the
// first decides. Chinese for a Chinese locale and for the C/POSIX locale (a
// system with no locale set gets the window as it was designed), English for
// every other.
Language defaultLanguage(const QStringList& uiLanguages);

// Puts `language` into effect for as long as it lives: our own texts in English,
// or Qt's own texts (the buttons of message boxes and file dialogs) in Chinese.
// Build it after the application object and before any window: texts are
// translated as controls are made. Numbers are left to the user's locale.
class WindowLanguage {
public:
    explicit WindowLanguage(Language language);
    ~WindowLanguage();
    WindowLanguage(const WindowLanguage&) = delete;
    WindowLanguage& operator=(const WindowLanguage&) = delete;

    Language language() const { return m_language; }

private:
    void install(const QString& catalog);

    Language m_language;
    std::vector<std::unique_ptr<QTranslator>> m_translators;
};

} // namespace kv

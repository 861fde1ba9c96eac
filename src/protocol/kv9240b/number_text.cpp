#include "protocol/kv9240b/number_text.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace kv {

namespace {

// The shape of a number in the given locale: we check it ourselves because
// QLocale also accepts forms (group separators, "inf", "nan") that a
// technician's box must not.
QRegularExpression numberShape(const QLocale& locale)
{
    const QString point = QRegularExpression::escape(locale.decimalPoint());
    const QString signs
        = QRegularExpression::escape(QStringLiteral("+-") + locale.negativeSign() + locale.positiveSign());
    const QString exponent
        = QRegularExpression::escape(locale.exponential().toLower() + locale.exponential().toUpper());
    QRegularExpression shape(
        QStringLiteral("^[%1]?([0-9]+(%2[0-9]*)?|%2[0-9]+)([%3][%1]?[0-9]+)?$").arg(signs, point, exponent));
    shape.optimize();
    return shape;
}

bool hasNumberShape(const QString& trimmed, const QLocale& locale)
{
    // Built once per number format: every box of every request passes here.
    static QLocale cachedFor = locale;
    static QRegularExpression shape = numberShape(locale);
    if (locale != cachedFor) {
        cachedFor = locale;
        shape = numberShape(locale);
    }
    return shape.match(trimmed).hasMatch();
}

} // namespace

std::optional<double> readNumber(const QString& text)
{
    // Plain digits, as the counters and most boxes hold, read the same in
    // every locale; they are read at every poll, so without the rules below.
    if (!text.isEmpty() && text.size() <= 15
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        double whole = 0;
        for (const QChar c : text)
            whole = whole * 10 + (c.unicode() - u'0');
        return whole;
    }
    const QString trimmed = text.trimmed();
    const QLocale locale;
    if (trimmed.isEmpty() || !hasNumberShape(trimmed, locale))
        return std::nullopt;
    QLocale strict = locale;
    strict.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double value = strict.toDouble(trimmed, &ok);
    if (!ok) {
        // The locale may spell signs differently from what a user types; plain
        // C notation is the fallback for a text whose shape already passed.
        value = QLocale::c().toDouble(QString(trimmed).replace(locale.decimalPoint(), QStringLiteral(".")), &ok);
    }
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double wholePart(double value)
{
    return std::floor(value);
}

double roundHalfEven(double value)
{
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return rounded;
}

} // namespace kv

#pragma once

#include <QList>
#include <QString>

namespace kv::test {

// A string literal of C++ source that holds Chinese text outside the
// translation system.
struct UntranslatedText {
    int line = 0;    // where the literal starts, from 1
    QString literal; // as written, quotes included
};

// The literals of `source` that hold Chinese (Han characters, CJK or
// full-width punctuation) and are not the text of a translation call: the
// first argument of tr() or QT_TR_NOOP(), or the second of translate() or
// QT_TRANSLATE_NOOP() after a literal context. Literals split over several
// pieces count as one; comments, character literals and digit separators are
// skipped.
QList<UntranslatedText> untranslatedTexts(const QString& source);

} // namespace kv::test

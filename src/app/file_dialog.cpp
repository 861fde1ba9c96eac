#include "app/file_dialog.h"

#include <QFileDialog>

namespace kv::FileDialog {

namespace {

Chooser& chooser()
{
    static Chooser current;
    return current;
}

} // namespace

SaveAnswer askSaveFile(const SaveQuestion& question)
{
    if (chooser())
        return chooser()(question);
    QString filter = question.filters.value(0);
    const QString path = QFileDialog::getSaveFileName(question.parent, question.caption, question.suggestedPath,
                                                      question.filters.join(QStringLiteral(";;")), &filter);
    return {path, filter};
}

void setChooser(Chooser replacement)
{
    chooser() = std::move(replacement);
}

} // namespace kv::FileDialog

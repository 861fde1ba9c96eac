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
    QFileDialog dialog(
        question.parent, question.caption, question.suggestedPath, question.filters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(question.opens ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    if (question.opens)
        dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(question.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, question.appends);
    if (!question.filters.isEmpty())
        dialog.selectNameFilter(question.filters.first());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return {dialog.selectedFiles().value(0), dialog.selectedNameFilter()};
}

void setChooser(Chooser replacement)
{
    chooser() = std::move(replacement);
}

} // namespace kv::FileDialog

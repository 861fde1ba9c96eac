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

QString askSaveFileName(QWidget* parent, const Request& request)
{
    if (chooser())
        return chooser()(request);
    QFileDialog dialog(parent, request.title, request.suggestedName, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, request.appends);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

void setChooser(Chooser replacement)
{
    chooser() = std::move(replacement);
}

} // namespace kv::FileDialog

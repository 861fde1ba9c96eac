#pragma once

#include "app/file_dialog.h"

#include <QList>
#include <QStringList>

namespace kv::test {

// Takes the place of the file dialog while it lives: each question gets the
// next answer (empty, as a cancel, once they run out) and is kept.
class FileDialogAnswers {
public:
    explicit FileDialogAnswers(QStringList answers = {})
        : answers(std::move(answers))
    {
        FileDialog::setChooser([this](const FileDialog::SaveQuestion& question) {
            asked.append(question);
            return FileDialog::SaveAnswer{
                this->answers.isEmpty() ? QString() : this->answers.takeFirst(), question.filters.value(0)};
        });
    }
    ~FileDialogAnswers() { FileDialog::setChooser({}); }
    FileDialogAnswers(const FileDialogAnswers&) = delete;
    FileDialogAnswers& operator=(const FileDialogAnswers&) = delete;

    QStringList answers;
    QList<FileDialog::SaveQuestion> asked;
};

} // namespace kv::test

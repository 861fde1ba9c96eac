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
        FileDialog::setChooser([this](const FileDialog::Request& request) {
            asked.append(request);
            return this->answers.isEmpty() ? QString() : this->answers.takeFirst();
        });
    }
    ~FileDialogAnswers() { FileDialog::setChooser({}); }
    FileDialogAnswers(const FileDialogAnswers&) = delete;
    FileDialogAnswers& operator=(const FileDialogAnswers&) = delete;

    QStringList answers;
    QList<FileDialog::Request> asked;
};

} // namespace kv::test

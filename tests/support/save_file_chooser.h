#pragma once

#include "app/file_dialog.h"

#include <QList>

namespace kv::test {

// Takes the place of the file dialog while it lives: every question is kept,
// and answered with the path and filter the test set.
class SaveFileChooser {
public:
    SaveFileChooser()
    {
        FileDialog::setChooser([this](const FileDialog::SaveQuestion& question) {
            asked.append(question);
            return FileDialog::SaveAnswer{path, filter.isEmpty() ? question.filters.value(0) : filter};
        });
    }
    ~SaveFileChooser() { FileDialog::setChooser({}); }
    SaveFileChooser(const SaveFileChooser&) = delete;
    SaveFileChooser& operator=(const SaveFileChooser&) = delete;

    QString path;   // empty: the user cancels
    QString filter; // empty: the first offered
    QList<FileDialog::SaveQuestion> asked;
};

} // namespace kv::test

#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace kv {

// Every file the tool asks the user for goes through here. Tests put a chooser
// in place of the real dialog so nothing ever blocks on it.
namespace FileDialog {

struct SaveQuestion {
    QWidget* parent = nullptr;
    QString caption;
    QString suggestedPath;
    QStringList filters;   // "CSV 文件 (*.csv)", ...; the first is chosen at the start
    QString defaultSuffix; // added to a name typed without one
    bool appends = false;  // the file is added to, not replaced: no "replace it?" question
    bool opens = false;    // an existing file to read, not one to write
};

struct SaveAnswer {
    QString path;   // empty: the user cancelled
    QString filter; // the filter chosen, one of the question's
};

SaveAnswer askSaveFile(const SaveQuestion& question);

using Chooser = std::function<SaveAnswer(const SaveQuestion&)>;
// Replaces the dialog; an empty chooser restores it.
void setChooser(Chooser chooser);

} // namespace FileDialog
} // namespace kv

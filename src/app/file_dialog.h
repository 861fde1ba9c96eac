#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace kv {

// Every "save to which file?" question of the tool goes through here. Tests
// put an answer in place of the dialog so nothing ever blocks on it.
namespace FileDialog {

struct Request {
    QString title;
    QString filter;           // "CSV 文件 (*.csv)"
    QString suggestedName;    // file name the dialog starts with
    QString defaultSuffix;    // added to a name typed without one
    bool appends = false;     // the file is added to, not replaced: no "replace it?" question
};

// The file the user chose, or empty when they cancelled.
QString askSaveFileName(QWidget* parent, const Request& request);

using Chooser = std::function<QString(const Request&)>;
// Replaces the dialog; an empty chooser restores it.
void setChooser(Chooser chooser);

} // namespace FileDialog
} // namespace kv

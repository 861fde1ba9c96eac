#pragma once

#include <QHash>
#include <QString>

class QWidget;

namespace kv {

// The window's controls by name and array index, as the handlers address them.
class ControlSet {
public:
    // "txtValue(2)" for an array member, "txtStationID" (index -1) otherwise.
    static QString objectNameFor(QStringView name, int index = -1);

    void add(QWidget* control); // keyed by its objectName

    QWidget* widget(QStringView name, int index = -1) const;

    template <class T>
    T* get(QStringView name, int index = -1) const
    {
        return qobject_cast<T*>(widget(name, index));
    }

    // Text or caption of a label, box, list, button or group box; empty for a
    // control that does not exist.
    QString text(QStringView name, int index = -1) const;
    // False when there is no such control or it shows no text.
    bool setText(QStringView name, int index, const QString& text);
    bool setText(QStringView name, const QString& text) { return setText(name, -1, text); }

private:
    QHash<QString, QWidget*> m_controls;
};

} // namespace kv

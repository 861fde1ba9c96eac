#pragma once

#include <QHash>
#include <QString>

#include <unordered_map>

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
    // Looked up by name and index as the handlers give them, without putting
    // an object name together: controls are looked up some twenty times a poll.
    struct Key {
        QString name;
        int index;
    };
    struct KeyView {
        QStringView name;
        int index;
    };
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(KeyView key) const noexcept { return qHash(key.name, size_t(key.index)); }
        size_t operator()(const Key& key) const noexcept { return (*this)(KeyView{key.name, key.index}); }
    };
    struct KeyEqual {
        using is_transparent = void;
        static KeyView view(KeyView key) { return key; }
        static KeyView view(const Key& key) { return {key.name, key.index}; }
        template <class A, class B>
        bool operator()(const A& a, const B& b) const noexcept
        {
            return view(a).index == view(b).index && view(a).name == view(b).name;
        }
    };
    std::unordered_map<Key, QWidget*, KeyHash, KeyEqual> m_controls;
};

} // namespace kv

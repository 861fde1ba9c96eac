#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

namespace kv::cli {

// A file to be read once nobody is writing it. A SIGHUP may come while an
// editor or a script is still writing the configuration in place, and the
// part written so far can be a sound file of its own (a line without its
// last sensors): so the file is read only once it has been left alone for
// StillFor. A file renamed into place is still at once unless just written.
class SettledFile : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds StillFor{1000};

    explicit SettledFile(QString path, QObject* parent = nullptr);

    // settled() follows once the file has not changed for StillFor: at once
    // when it has not, else later, after unsettled() said it waits.
    void request();

signals:
    void unsettled();
    void settled();

private:
    void check();

    QString m_path;
    QTimer m_wait;
    bool m_waiting = false;
};

} // namespace kv::cli

#pragma once

#include <QPointer>
#include <QSocketNotifier>

class QSerialPort;

namespace kv {

// Pauses a serial port's watching of its device. The port watches with a read
// notifier of its own, a child object, and offers no way to pause it: it is
// found among its children (once for each opening). Without one (a Qt that
// does it otherwise) nothing is paused.
class ReadPause {
public:
    explicit ReadPause(QSerialPort& port)
        : m_port(port)
    {
    }

    // Stops the port's reading; false when there is nothing to pause (the
    // notifier is not found, or it is not watching).
    bool pause();
    // Lets the port read again, when it was paused.
    void resume();
    bool paused() const { return !m_paused.isNull(); }
    // The port closed: it makes a new notifier at its next opening.
    void forget();

private:
    QSocketNotifier* readNotifier();

    QSerialPort& m_port;
    QPointer<QSocketNotifier> m_paused;
    QPointer<QSocketNotifier> m_found; // the port's, once found
};

} // namespace kv

#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

namespace kv::test {

// A pseudo-terminal pair standing in for a serial line: the tool opens the
// slave device, the test plays the sensor on the master side.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Bytes the sensor sends to the tool; while the line is full the tool's
    // event loop runs so that it can read them.
    void send(const QByteArray& bytes);
    // Everything the tool has written so far that has not been read yet;
    // waits up to timeoutMs for at least minimum bytes to arrive.
    QByteArray receive(int minimum = 1, int timeoutMs = 2000);
    // What arrives within a short quiet period: for checking that nothing was sent.
    QByteArray drain(int quietMs = 100);

    // Closes the master side, as when the adapter is pulled out.
    void hangUp();

private:
    QByteArray readUntil(const QDeadlineTimer& deadline, qsizetype enough);

    int m_master = -1;
    QString m_slavePath;
};

// Points port number n at a device for the lifetime of the object.
class PortWiring {
public:
    PortWiring(int portNumber, const QString& devicePath);
    ~PortWiring();
    PortWiring(const PortWiring&) = delete;
    PortWiring& operator=(const PortWiring&) = delete;

private:
    QByteArray m_variable;
};

} // namespace kv::test

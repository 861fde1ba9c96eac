#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>

namespace kv::test {

// Bytes that are never a sound reply: every one has its top bit set, so no
// run of them starts with a station the window asks.
inline QByteArray highBitGarbage(qsizetype size, quint32 seed)
{
    QByteArray garbage(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char& byte : garbage)
        byte = static_cast<char>(0x80 | random.bounded(128));
    return garbage;
}

// A timer every 10 ms standing for the technician's input: the longest gap
// between two of its ticks is how long the window did not answer.
class InputProbe {
public:
    InputProbe()
    {
        QObject::connect(
            &m_timer, &QTimer::timeout, [this] { m_longestGapMs = std::max(m_longestGapMs, m_sinceTick.restart()); });
        m_sinceTick.start();
        m_timer.start(10);
    }

    qint64 longestGapMs() const { return m_longestGapMs; }

private:
    QElapsedTimer m_sinceTick;
    qint64 m_longestGapMs = 0;
    QTimer m_timer;
};

} // namespace kv::test

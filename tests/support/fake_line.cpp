#include "fake_line.h"

#include <QTimer>

namespace kv::test {

FakeLine::FakeLine(int baudRate, QObject* parent)
    : Line(parent)
    , m_baudRate(baudRate)
{
}

bool FakeLine::open()
{
    if (m_open)
        return false;
    m_open = true;
    ++m_opening;
    return true;
}

void FakeLine::close()
{
    m_open = false;
}

bool FakeLine::write(const QByteArray& bytes)
{
    if (!m_open || m_refuseWrites)
        return false;
    m_written.append(bytes);
    emit chunkWritten(bytes, monotonicNow());
    for (const Response& response : std::as_const(m_script)) {
        if (response.request != bytes)
            continue;
        QTimer::singleShot(response.after, this, [this, response, opening = m_opening] {
            if (!m_open || opening != m_opening)
                return;
            if (response.lose)
                lose();
            else
                deliver(response.reply);
        });
    }
    return true;
}

void FakeLine::answer(const QByteArray& request, const QByteArray& reply, std::chrono::milliseconds after)
{
    m_script.append({request, reply, after, false});
}

void FakeLine::loseOn(const QByteArray& request, std::chrono::milliseconds after)
{
    m_script.append({request, {}, after, true});
}

void FakeLine::deliver(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    emit chunkArrived(bytes, monotonicNow());
    emit received();
}

void FakeLine::lose()
{
    m_open = false;
    emit lost();
}

} // namespace kv::test

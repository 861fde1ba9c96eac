// The serial object's receive side fed in arbitrary chunks with arbitrary
// thresholds and reads in between: the buffer never exceeds its size, a
// receive event comes only at the threshold, and the bytes come out in order.
#include "fuzz_check.h"
#include "serial/comm_port.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    kv::CommPort port;
    QByteArray kept;    // every byte the buffer took, in order
    QByteArray readOut; // every byte read back
    QObject::connect(&port, &kv::CommPort::onComm, [&] {
        if (port.commEvent() == kv::CommPort::ReceiveEvent)
            require(port.rThreshold() > 0 && port.inBufferCount() >= port.rThreshold());
    });

    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::uint8_t command = data[at];
        const std::size_t length = data[at + 1];
        at += 2;
        switch (command % 4) {
        case 0: { // bytes arrive
            const std::size_t taken = std::min(length * 8, size - at);
            const QByteArray chunk(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(taken));
            at += taken;
            const int before = port.inBufferCount();
            port.acceptArrived(chunk);
            kept += chunk.left(port.inBufferCount() - before);
            break;
        }
        case 1:
            port.setRThreshold(static_cast<int>(length));
            break;
        case 2:
            port.setInputLen(static_cast<int>(length % 32));
            readOut += port.input();
            break;
        case 3:
            port.setInputLen(0);
            readOut += port.input(); // read all first: what a reset discards is not lost here
            port.setInBufferCount(0);
            break;
        }
        require(port.inBufferCount() <= port.inBufferSize());
    }
    port.setInputLen(0);
    readOut += port.input();
    require(readOut == kept);
    return 0;
}

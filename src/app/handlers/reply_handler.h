#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace kv {

struct Form;
struct Outcome;

// The end of an exchange the window started, as the line's engine reports
// it. A reply at least as long as the request expects is shown as hex and
// taken as the engine judged it: an accepted one is counted, decoded into
// the value or address boxes (a box the technician is editing is left alone)
// and lights the lamp green; one that does not answer the request shows red
// and changes nothing. No reply, or a shorter one, changes nothing: the lamp
// keeps the colour the request left. Exchanges of others on the line are not
// the window's.
void MSComm1_OnComm(Form& form, quint64 id, const Outcome& outcome);

// Bytes that answer no request of the window's (the late answer of one taken
// over, bytes after a timeout): shown as received when they are as long as a
// reply, never decoded or counted. Before the window's first request they
// bring the green lamp: the line lives.
void showStrayBytes(Form& form, const QByteArray& bytes);

} // namespace kv

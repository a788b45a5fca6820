#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

// The simulator's output: one line per event on standard output, flushed at once, so a test
// can follow it while the simulator runs. Bytes are written as upper-case two-digit hex
// numbers separated by blanks ("03 CE 00 00 01 01 D3").
namespace SimLog {
QString hex(const QByteArray& bytes);
void line(const QString& text);
// "10.77.0.1:5320"
QString endpoint(const QHostAddress& address, quint16 port);
// Addresses the simulator may send to or answer from: loopback and 10.77.0.0/16, the range
// of the test namespaces. Anything else would reach the machine's real network.
bool isAllowed(const QHostAddress& address);
} // namespace SimLog

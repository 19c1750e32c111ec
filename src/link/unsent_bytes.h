#pragma once
// Bytes written but not yet on the wire that the operating system still holds, below Qt's own
// buffer: a line is drained only when these are gone too. 0 where the platform cannot tell.
#include <QtGlobal>

class QAbstractSocket;
class QSerialPort;

// An open serial port's output queue in its driver.
qint64 driverUnsentBytes(const QSerialPort& port);
// A TCP socket's send queue in the kernel, not yet acknowledged by the peer.
qint64 socketUnsentBytes(const QAbstractSocket& socket);

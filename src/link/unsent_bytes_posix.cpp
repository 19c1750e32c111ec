#include "link/unsent_bytes.h"

#include <QAbstractSocket>
#include <QSerialPort>
#include <sys/ioctl.h>
#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#endif

qint64 driverUnsentBytes(const QSerialPort& port)
{
    int queued = 0;
#ifdef TIOCOUTQ
    // At 9600 baud a byte takes a millisecond to leave.
    if (::ioctl(port.handle(), TIOCOUTQ, &queued) != 0) queued = 0;
#else
    Q_UNUSED(port);
#endif
    return queued;
}

qint64 socketUnsentBytes(const QAbstractSocket& socket)
{
    const qintptr descriptor = socket.socketDescriptor();
    int queued = 0;
#ifdef SIOCOUTQ
    if (descriptor < 0 || ::ioctl(int(descriptor), SIOCOUTQ, &queued) != 0) queued = 0;
#else
    Q_UNUSED(descriptor);
#endif
    return queued;
}

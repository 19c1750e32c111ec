#include "link/unsent_bytes.h"

// Windows hands a write to the driver as a whole and tells no queue below it; Qt's own buffer
// is all there is to wait for.
qint64 driverUnsentBytes(const QSerialPort&)
{
    return 0;
}

qint64 socketUnsentBytes(const QAbstractSocket&)
{
    return 0;
}

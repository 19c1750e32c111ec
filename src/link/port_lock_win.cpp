#include "link/port_lock.h"

// Windows opens a COM port for one program at a time: its own refusal ("in use") is the lock.
bool PortLock::take(const QString&)
{
    return true;
}

void PortLock::holdExclusive()
{
    exclusive_ = true;
}

void PortLock::release()
{
    exclusive_ = false;
}

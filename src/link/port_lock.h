#pragma once
// What a local port's opener holds so that no other program uses the port at the same time,
// and how it respects the holds of others: a port that another process holds, by an exclusive
// flock, by exclusive mode (TIOCEXCL) or by a UUCP lock file whose process is alive, is in use,
// whoever we run as. Each platform has its own file behind this interface.
#include <QString>

class PortLock
{
  public:
    PortLock() = default;
    ~PortLock() { release(); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // Before the port is opened: false when another process holds `device`. A device that
    // cannot be looked at is not refused here; opening it says why.
    bool take(const QString& device);
    // Once the port is open: nobody else may open it too, not even through another name.
    void holdExclusive();
    // Lets the port go; harmless when nothing is held.
    void release();

  private:
    int fd_ = -1; // the open file that carries our hold
    bool exclusive_ = false;
};

#pragma once
// A pseudo-terminal that plays the projector's end of the line in tests: the code under test
// opens slavePath(); the test reads what was sent and writes replies on the master side.
#include <QByteArray>
#include <QString>

class PtyPeer
{
  public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool isValid() const { return master_ >= 0; }
    QString slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }

    // Bytes the code under test has written so far (non-blocking; waits up to timeoutMs
    // for at least `atLeast` bytes).
    QByteArray read(int atLeast = 0, int timeoutMs = 0);
    // Reads and discards everything waiting.
    void drain();
    bool write(const QByteArray& bytes);
    // Hangs up: closes the master and the kept slave fd, as an unplugged adapter would.
    void hangUp();

  private:
    int master_ = -1;
    int slaveKeep_ = -1; // keeps the line up while the code under test reopens the slave
    QString slavePath_;
};

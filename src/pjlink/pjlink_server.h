#pragma once
// PJLink class 1 on TCP: each client's requests go through the one exchange queue, behind
// everything queued before them, with the source "pjlink <address>". At most kMaxClients at
// once and kMaxPerAddress from one address (the rest are closed at once); a client that has
// not logged in or asked anything within kLoginMs, or asks nothing for kIdleMs after (a line
// feed or an empty line is not asking), a line that is too long or a byte that is not printable
// ASCII ends that connection. A wrong digest is answered after a wait that grows per address
// (pjlink_guesses.h). Connections, logins and refusals are told through noted(), at a bounded
// rate per address.
#include "exchange/exchange_queue.h"
#include "pjlink/pjlink_guesses.h"
#include "pjlink/pjlink_table.h"

#include <QAbstractSocket>
#include <QElapsedTimer>

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <optional>

class QTcpServer;
class PjlinkConnection;

// NAME ? is at most this long.
inline constexpr qsizetype kMaxPjlinkName = 64;

// Where to listen: "[ADDR:]PORT", ADDR an IPv4 address, an IPv6 one in brackets, or absent for
// every address of the machine. Port 0 takes a free one.
struct PjlinkAddress {
    QHostAddress address = QHostAddress::Any;
    quint16 port = 0;
};
std::optional<PjlinkAddress> parsePjlinkAddress(const QString& text);

// What NAME ? answers: `name`, else the device's file name, as printable ASCII ('?' for the
// rest) of at most kMaxPjlinkName characters.
QByteArray pjlinkName(const QString& name, const QString& device);

// What the command line says of PJLink.
struct PjlinkSetup {
    QString address;     // "[ADDR:]PORT"
    QByteArray password; // empty: no authentication (read with readPasswordFile)
    QByteArray name;     // NAME ?
};

class PjlinkServer : public QObject
{
    Q_OBJECT
  public:
    static constexpr int kMaxClients = 16;
    static constexpr int kMaxPerAddress = 4;
    static constexpr int kLoginMs = 5000;
    static constexpr int kIdleMs = 30000;
    // After an accept fails for want of descriptors or memory, the next try waits this long.
    static constexpr int kAcceptRetryMs = 500;
    // Answers a client does not read are bounded too: past this it is closed.
    static constexpr qint64 kMaxUnread = 64 * 1024;

    // An empty password: no authentication.
    PjlinkServer(ExchangeQueue& queue, PjlinkDevice device, QByteArray password,
                 QObject* parent = nullptr);
    ~PjlinkServer() override;

    // The failure's description, or nullopt once listening.
    std::optional<QString> listen(const PjlinkAddress& where);
    quint16 port() const;
    int clientCount() const { return int(connections_.size()); }
    // Test seams: how long a client may stay silent, or take to log in; clients per address.
    void setIdleMs(int ms) { idleMs_ = ms; }
    void setLoginMs(int ms) { loginMs_ = ms; }
    void setMaxPerAddress(int n) { maxPerAddress_ = n; }

  Q_SIGNALS:
    // Something for the journal: `source` is "pjlink" or "pjlink <address>".
    void noted(const QString& source, const QString& what);
    // The listener cannot go on: the program had better end.
    void failed(const QString& what);

  private:
    friend class PjlinkConnection;
    void accept();
    void acceptFailed(QAbstractSocket::SocketError error);
    void note(const QString& source, const QString& what);

    // Guarded: the queue may go first when both belong to one owner.
    QPointer<ExchangeQueue> queue_;
    PjlinkDevice device_;
    QByteArray password_;
    QTcpServer* server_;
    QList<PjlinkConnection*> connections_;
    int idleMs_ = kIdleMs;
    int loginMs_ = kLoginMs;
    int maxPerAddress_ = kMaxPerAddress;
    PjlinkGuesses guesses_;
    PjlinkNoteLimit noteLimit_;
    QElapsedTimer clock_;
    bool acceptFailing_ = false;
};

// A server on `queue` as the command line sets it up, listening; or the failure's description.
struct PjlinkStart {
    PjlinkServer* server = nullptr;
    QString error;
};
PjlinkStart startPjlink(ExchangeQueue& queue, const PjlinkSetup& setup, QObject* parent);

#pragma once
// The panel's serial-communications control, shaped like the properties the window uses
// (CommPort, Settings, PortOpen, Output, Input, CommEvent, OnComm). Behind it a transport reaches
// the line: a local device, a raw TCP port or an RFC 2217 port (see device_address.h).
// Every platform failure becomes one description string here; nothing else formats error text.
#include "link/line_settings.h"
#include "link/reconnector.h"
#include "link/transport.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <optional>

struct DeviceAddress;

// Empty when the operation succeeded, otherwise the failure's description.
using CommError = std::optional<QString>;

class SerialComm : public QObject
{
    Q_OBJECT
  public:
    // QSerialPort has no output buffer size: writes are never cut at 512 bytes.
    static constexpr int kInBufferSize = Transport::kInBufferSize;
    static constexpr int kEvReceive = 2; // CommEvent for "characters received"
    // A reopened line that drops sooner than this was a failed attempt, not the line back.
    static constexpr int kStableMs = 1000;

    explicit SerialComm(QObject* parent = nullptr);
    ~SerialComm() override;

    // Devices behind COM1 and COM2: device paths, socket://HOST:PORT or rfc2217://HOST:PORT.
    void setDevices(const QString& com1, const QString& com2);
    QString devicePath(int port) const;

    int CommPort() const { return commPort_; }
    CommError setCommPort(int port);
    QString Settings() const { return settings_; }
    CommError setSettings(const QString& settings);
    // A network address is open once it is ready to carry a command: setting PortOpen waits
    // for that, up to the connect and negotiation time-outs, and fails with the cause. A ready
    // network line closed and opened again within one handler (as start-up does) keeps its
    // connection.
    bool PortOpen() const { return transport_ && !lingering_ && transport_->isOpen(); }
    CommError setPortOpen(bool open);
    // Whether a lost line is reopened by itself (the window) or just reported (a script).
    void setReopensLostLine(bool reopens) { reopens_ = reopens; }
    // A server has nobody to choose another port: its descriptions say what it does itself.
    void setServing(bool serving) { serving_ = serving; }
    // Opens the port as setPortOpen(true) does; where lost lines are reopened, a device that is
    // not there yet is then waited for as after a loss and opened when it appears, with
    // reconnected(). The failure's description, also when waiting: awaitingLine() tells.
    CommError openWhenThere();
    bool awaitingLine() const { return outage_ && !PortOpen(); }

    // Each character goes out as one byte, in order; a character above 255 becomes '?'.
    CommError Output(const QString& text);
    // All characters waiting, one per received byte (Latin-1).
    QString Input();
    // Characters written and not yet sent on the line: what the port still holds, or what the
    // line at its speed cannot have carried since they were written, whichever is more (a USB
    // adapter or a pty takes bytes at once; the projector still gets them at the line's pace).
    qint64 OutBufferCount() const;
    int CommEvent() const { return commEvent_; }

    // Test seam: the next opening fails with this error without touching the device.
    void injectOpenFailure(QSerialPort::SerialPortError error) { injectedFailure_ = error; }
    // Test seam: bytes handed in as if they had just arrived on the line.
    void injectReceived(const QByteArray& bytes);

  Q_SIGNALS:
    // Raised on the owner's thread whenever at least one character has arrived.
    void OnComm();
    // The open port failed under us (adapter unplugged, peer hung up); it has been closed.
    // Raised once per outage. Where lost lines are reopened, the line is then reopened by
    // itself when it comes back, until a port is chosen, opened or closed.
    void lineLost(const QString& description);
    // Reopening attempt number `attempt` of this outage failed, or the line it reopened did not
    // last kStableMs; the port is closed, and the next attempt comes after a longer pause.
    void retryFailed(int attempt, const QString& description);
    // The lost line is open again.
    void reconnected();

  private:
    // Opens the chosen port and returns the outcome, or (later) starts opening it for the
    // reconnector, whose outcome comes as the transport's ready() or lost().
    CommError open(bool wait = true);
    Transport* transportFor(const DeviceAddress& address);
    void closeLine();
    void endOutage();
    void onLost(const LinkFailure& failure);
    void onReady();
    void onStable();
    void onReconnectAttempt();
    void startReconnecting();
    QString describe(const LinkFailure& failure) const;
    QString describe(QSerialPort::SerialPortError error, const QString& detail) const;
    QString describeNetwork(const LinkFailure& failure) const;
    QString describeLostLine(const QString& cause) const;
    QString describeMismatch(const LinkFailure& failure) const;
    QString describeServer(const LinkFailure& failure, const QString& hostPort) const;
    QString portLabel() const;
    qint64 nsPerCharacter() const;

    QPointer<Transport> transport_;
    QString transportDevice_; // the device transport_ was made for
    Reconnector reconnector_;
    QTimer stable_;
    bool reopens_ = false;
    bool serving_ = false;
    bool reopening_ = false; // an attempt of the reconnector is under way
    bool outage_ = false;    // lost, told once, and not back for kStableMs yet
    int attempt_ = 0;        // of the outage's reopening attempts
    bool lingering_ = false; // closed for everyone; the connection ends at the next turn
    QString lingerSettings_; // the settings the lingering line was opened with
    int commPort_ = 1;
    QString devices_[2];
    QString settings_ = settingsForSpeed(9600); // the control's own default until set
    LineSettings line_;
    int commEvent_ = 0;
    std::optional<QSerialPort::SerialPortError> injectedFailure_;
    QByteArray injectedInput_;
    QElapsedTimer lineClock_;
    qint64 lineFreeAtNs_ = 0; // on lineClock_: when the last character written is on the line
};

#pragma once
// The panel's serial-communications control, shaped like the properties the window uses
// (CommPort, Settings, PortOpen, Output, Input, CommEvent, OnComm). Behind it a transport reaches
// the line: a local device, a raw TCP port or an RFC 2217 port (see device_address.h).
// Every platform failure becomes one description string here; nothing else formats error text.
#include "link/line_settings.h"
#include "link/reconnector.h"
#include "link/transport.h"

#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QString>
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

    explicit SerialComm(QObject* parent = nullptr);
    ~SerialComm() override;

    // Devices behind COM1 and COM2: device paths, socket://HOST:PORT or rfc2217://HOST:PORT.
    void setDevices(const QString& com1, const QString& com2);
    QString devicePath(int port) const;

    int CommPort() const { return commPort_; }
    CommError setCommPort(int port);
    QString Settings() const { return settings_; }
    CommError setSettings(const QString& settings);
    // A network address counts as open from the moment it starts connecting: the window never
    // waits for it. Data written meanwhile goes out once the line is ready; a failure to get
    // there comes as lineLost.
    bool PortOpen() const { return transport_ && transport_->isOpen(); }
    CommError setPortOpen(bool open);

    // Each character goes out as one byte, in order; a character above 255 becomes '?'.
    CommError Output(const QString& text);
    // All characters waiting, one per received byte (Latin-1).
    QString Input();
    int CommEvent() const { return commEvent_; }

    // Test seam: the next opening fails with this error without touching the device.
    void injectOpenFailure(QSerialPort::SerialPortError error) { injectedFailure_ = error; }
    // Test seam: bytes handed in as if they had just arrived on the line.
    void injectReceived(const QByteArray& bytes);

  Q_SIGNALS:
    // Raised on the owner's thread whenever at least one character has arrived.
    void OnComm();
    // The open port failed under us (adapter unplugged, peer hung up), or a network address
    // could not be reached; it has been closed. Raised once per failure; the line is then
    // reopened by itself when it comes back, until a port is chosen, opened or closed.
    void lineLost(const QString& description);
    // The lost line is open again.
    void reconnected();

  private:
    CommError open();
    Transport* transportFor(const DeviceAddress& address);
    void onLost(const LinkFailure& failure);
    void onReady();
    void onReconnectAttempt();
    void startReconnecting();
    QString describe(const LinkFailure& failure) const;
    QString describe(QSerialPort::SerialPortError error, const QString& detail) const;
    QString describeNetwork(const LinkFailure& failure) const;
    QString describeLostLine(const QString& cause) const;
    QString portLabel() const;

    QPointer<Transport> transport_;
    QString transportDevice_; // the device transport_ was made for
    Reconnector reconnector_;
    bool reopening_ = false; // a silent attempt of the reconnector is under way
    int commPort_ = 1;
    QString devices_[2];
    QString settings_ = settingsForSpeed(9600); // the control's own default until set
    LineSettings line_;
    int commEvent_ = 0;
    std::optional<QSerialPort::SerialPortError> injectedFailure_;
    QByteArray injectedInput_;
};

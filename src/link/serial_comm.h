#pragma once
// The panel's serial-communications control: a small layer on QSerialPort shaped like the
// properties the window uses (CommPort, Settings, PortOpen, Output, Input, CommEvent, OnComm).
// Every platform failure becomes one description string here; nothing else formats error text.
#include "link/line_settings.h"

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <optional>

// Empty when the operation succeeded, otherwise the failure's description.
using CommError = std::optional<QString>;

class SerialComm : public QObject
{
    Q_OBJECT
  public:
    // QSerialPort has no output buffer size: writes are never cut at 512 bytes.
    static constexpr int kInBufferSize = 1024;
    static constexpr int kEvReceive = 2; // CommEvent for "characters received"

    explicit SerialComm(QObject* parent = nullptr);
    ~SerialComm() override;

    // Device paths behind COM1 and COM2.
    void setDevices(const QString& com1, const QString& com2);
    QString devicePath(int port) const;

    int CommPort() const { return commPort_; }
    CommError setCommPort(int port);
    QString Settings() const { return settings_; }
    CommError setSettings(const QString& settings);
    bool PortOpen() const { return port_.isOpen(); }
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
    // The open port failed under us (adapter unplugged, peer hung up); it has been closed.
    // Raised once per failure.
    void lineLost(const QString& description);

  private:
    void onError(QSerialPort::SerialPortError error);
    CommError open();
    CommError applySettings();
    QString describe(QSerialPort::SerialPortError error) const;
    QString portLabel() const;

    QSerialPort port_;
    int commPort_ = 1;
    QString devices_[2];
    QString settings_ = QStringLiteral("9600,N,8,1");
    LineSettings line_;
    int commEvent_ = 0;
    bool busy_ = false; // our own open/close is under way: its errors are returned, not raised
    std::optional<QSerialPort::SerialPortError> injectedFailure_;
    QByteArray injectedInput_;
};

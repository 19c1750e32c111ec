#pragma once
// A serial device on this machine, through QSerialPort.
#include "link/port_lock.h"
#include "link/transport.h"

#include <QSerialPort>

class LocalTransport : public Transport
{
    Q_OBJECT
  public:
    explicit LocalTransport(const QString& path, QObject* parent = nullptr);

    // The device itself, whatever link names it: two paths to one device then take the same
    // lock. Resolved at every opening, as a by-id link may lead elsewhere after a replug.
    static QString resolvedPath(const QString& path);
    ~LocalTransport() override;

    LinkResult open(const LineSettings& line) override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    LinkResult applySettings(const LineSettings& line) override;
    LinkResult write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesToWrite() const override;

  private:
    void onError(QSerialPort::SerialPortError error);
    LinkFailure failure() const
    {
        return {LinkFailure::Kind::Serial, port_.error(), port_.errorString()};
    }

    QString path_;
    QSerialPort port_;
    PortLock lock_;
    bool busy_ = false; // our own open/close is under way: its errors are returned, not raised
};

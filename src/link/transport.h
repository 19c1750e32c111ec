#pragma once
// The one small interface behind SerialComm: a local device, a raw TCP port or an RFC 2217 port.
// A transport never formats text for the operator: it reports what failed as a LinkFailure and
// SerialComm describes it.
#include "link/line_settings.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <optional>

struct LinkFailure {
    enum class Kind {
        Serial,      // the serial library's error, in `serialError`
        Refused,     // the server refused the connection
        UnknownHost, // the host name does not resolve
        NoAnswer,    // no connection within the connect time-out
        Negotiation, // the server did not acknowledge the line settings in time
        Dropped,     // an established connection was closed by the other end
        Network,     // any other socket failure
    };
    Kind kind = Kind::Serial;
    QSerialPort::SerialPortError serialError = QSerialPort::NoError;
    QString detail; // the platform's own words
};
using LinkResult = std::optional<LinkFailure>; // empty: it worked

class Transport : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;
    // The control's input buffer: what the reader has not taken holds the sender back.
    static constexpr int kInBufferSize = 1024;

    // Opens with these settings. A local device is open or failed on return; a network
    // transport starts connecting and reports a failure later through lost().
    virtual LinkResult open(const LineSettings& line) = 0;
    // Closes at once and quietly; closing a closed transport is harmless.
    virtual void close() = 0;
    // Open, or (network) connecting: what the window calls an open port.
    virtual bool isOpen() const = 0;
    virtual LinkResult applySettings(const LineSettings& line) = 0;
    // Bytes for the line, out now. A network transport still connecting keeps them until it can.
    virtual LinkResult write(const QByteArray& bytes) = 0;
    // Every received byte not read yet.
    virtual QByteArray readAll() = 0;
    // Bytes written and not yet on the line, as far as the transport can tell.
    virtual qint64 bytesToWrite() const { return 0; }

  Q_SIGNALS:
    // At least one byte has arrived.
    void dataArrived();
    // Ready for data: a network transport is connected (and, for RFC 2217, negotiated).
    void ready();
    // Opening failed late, or the open line failed under us. The transport is closed already;
    // raised once per failure.
    void lost(const LinkFailure& failure);
};

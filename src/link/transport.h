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
        Mismatch,    // the server set a line setting to another value than asked (detail)
        ClosedEarly, // the server closed the connection before the line was ready
        Dropped,     // an established connection was closed by the other end
        Stalled,     // the server took nothing of what was written for a while, or too much waits
        Overlong,    // the server sent a Telnet sub-negotiation past any sensible length
        Network,     // any other socket failure
    };
    Kind kind = Kind::Serial;
    QSerialPort::SerialPortError serialError = QSerialPort::NoError;
    QString detail; // the platform's own words
    // Mismatch: the COM-PORT-OPTION command and the values asked for and set.
    int setting = 0;
    quint32 asked = 0;
    quint32 got = 0;
};
using LinkResult = std::optional<LinkFailure>; // empty: it worked

class Transport : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;
    // The control's input buffer: what the reader has not taken holds the sender back.
    static constexpr int kInBufferSize = 1024;

    // Opens with these settings and returns when the line is ready to carry a command or has
    // failed: a network line waits for its connection and, for RFC 2217, for the server to
    // confirm every setting.
    virtual LinkResult open(const LineSettings& line) = 0;
    // The same without waiting: ready() or lost() tells the outcome, possibly before returning.
    virtual void openLater(const LineSettings& line)
    {
        if (LinkResult e = open(line))
            Q_EMIT lost(*e);
        else
            Q_EMIT ready();
    }
    // Closes at once and quietly; closing a closed transport is harmless.
    virtual void close() = 0;
    // Ready to carry a command: what the window calls an open port.
    virtual bool isOpen() const = 0;
    virtual LinkResult applySettings(const LineSettings& line) = 0;
    // Bytes for the line, out now. Nothing is kept for later on a line that is not open.
    virtual LinkResult write(const QByteArray& bytes) = 0;
    // Every received byte not read yet.
    virtual QByteArray readAll() = 0;
    // Bytes written and not yet on the line, as far as the transport can tell.
    virtual qint64 bytesToWrite() const { return 0; }

  Q_SIGNALS:
    // At least one byte has arrived.
    void dataArrived();
    // An openLater() has made the line ready.
    void ready();
    // An openLater() failed, or the open line failed under us. The transport is closed
    // already; raised once per failure, never for a failure that open() returns.
    void lost(const LinkFailure& failure);
};

#pragma once
// ser2net serving one serial device on two loopback ports: an RFC 2217 accepter and a raw TCP
// accepter, from a generated YAML configuration. Stopped with kill(), started again with start()
// on the same ports.
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

class Ser2netProcess
{
  public:
    static QString program()
    {
        const QStringList sbin{QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")};
        QString path = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
        return path.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("ser2net"), sbin)
                              : path;
    }

    explicit Ser2netProcess(const QString& device)
    {
        rfcPort_ = freePort();
        rawPort_ = freePort();
        QFile config(dir_.filePath(QStringLiteral("ser2net.yaml")));
        if (!config.open(QIODevice::WriteOnly)) return;
        const QString connector = QStringLiteral("serialdev,%1,19200n81,local").arg(device);
        config.write(QStringLiteral("connection: &rfc\n"
                                    "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                                    "  connector: %3\n"
                                    "connection: &raw\n"
                                    "  accepter: tcp,127.0.0.1,%2\n"
                                    "  connector: %3\n")
                         .arg(rfcPort_)
                         .arg(rawPort_)
                         .arg(connector)
                         .toUtf8());
    }
    ~Ser2netProcess() { kill(); }

    // Starts ser2net and waits until both ports listen.
    bool start()
    {
        process_.setProgram(program());
        process_.setArguments({QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"),
                               dir_.filePath(QStringLiteral("ser2net.yaml")), QStringLiteral("-P"),
                               dir_.filePath(QStringLiteral("ser2net.pid"))});
        // Its complaints (it finds no mDNS here) go to a file beside the configuration.
        process_.setStandardErrorFile(dir_.filePath(QStringLiteral("ser2net.log")));
        process_.start();
        if (!process_.waitForStarted(3000)) return false;
        for (int i = 0; i < 300; ++i) {
            if (listening(rfcPort_) && listening(rawPort_)) return true;
            QTest::qWait(10);
        }
        return false;
    }
    void kill()
    {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(3000);
    }

    QString rfc2217Address() const
    {
        return QStringLiteral("rfc2217://127.0.0.1:%1").arg(rfcPort_);
    }
    QString rawAddress() const { return QStringLiteral("socket://127.0.0.1:%1").arg(rawPort_); }
    quint16 rfcPort() const { return rfcPort_; }
    quint16 rawPort() const { return rawPort_; }

    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return probe.serverPort();
    }

  private:
    // A loopback port in LISTEN state, read from /proc/net/tcp: no connection is made, so
    // ser2net does not open the device for it.
    static bool listening(quint16 port)
    {
        QFile table(QStringLiteral("/proc/net/tcp"));
        if (!table.open(QIODevice::ReadOnly)) return false;
        const QByteArray local =
            QByteArray("0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
        for (QByteArray line = table.readLine(); !line.isEmpty(); line = table.readLine()) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() > 3 && f[1] == local && f[3] == "0A") return true;
        }
        return false;
    }

    QTemporaryDir dir_;
    QProcess process_;
    quint16 rfcPort_ = 0;
    quint16 rawPort_ = 0;
};

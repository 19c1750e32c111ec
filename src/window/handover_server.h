#pragma once
// The window's side of the hand-over: listens on one socket per device it may hold and sends
// the commands that scripts hand in through Form1, one at a time, behind the operator's own
// exchanges. Removes its sockets when it goes; a socket left by a panel that died is replaced.
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <optional>

class Form1;
class QLocalServer;
class QLocalSocket;

class HandoverServer : public QObject
{
    Q_OBJECT
  public:
    explicit HandoverServer(Form1& form, QObject* parent = nullptr);
    ~HandoverServer() override;

    // Starts listening for scripts that name this device; false when another running panel
    // already serves it or no private folder is to be had.
    bool listen(const QString& device);
    QStringList socketPaths() const;

  private:
    struct Request {
        QPointer<QLocalSocket> client;
        QString device; // canonical
        QString command;
        int replyWindowMs = 0;
    };

    void accept(QLocalServer* server, const QString& device);
    void readRequests(QLocalSocket* client, const QString& device);
    bool holds(const QString& device) const;
    void pump();
    void onReceived();
    void finish(bool timedOut);

    Form1& form_;
    QList<QLocalServer*> servers_;
    QList<Request> queue_;
    std::optional<Request> active_;
    qsizetype replyFrom_ = 0; // where the active command's reply starts in RxBuffer
    QString seen_;            // what of that reply has come so far
    QElapsedTimer clock_;
    QTimer retry_; // polls while the operator's exchange is under way
    QTimer guard_; // ends an exchange whose reply window was cut short
};

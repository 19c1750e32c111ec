#pragma once
// One listening socket of the hand-over, for this user only. An accept that fails for want of
// descriptors or memory is tried again every kRetryMs, told once until one succeeds; a
// listener that cannot go on says so through failed(). Its socket file stays while it runs and
// goes with it, unless another has taken its place meanwhile.
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QLocalSocket;

class HandoverListener : public QObject
{
    Q_OBJECT
  public:
    static constexpr int kRetryMs = 500;

    explicit HandoverListener(QObject* parent = nullptr);
    ~HandoverListener() override;

    // Listens at `path`, taking the place of a socket that no server answers any more; the
    // failure's description otherwise ("in use" when a live server has it).
    std::optional<QString> listen(const QString& path);
    const QString& path() const { return path_; }

  Q_SIGNALS:
    // A script connected: the socket is the listener's child until someone takes it.
    void connected(QLocalSocket* client);
    void noted(const QString& what);
    void failed(const QString& what);

  private:
    struct State;
    void acceptAll();
    void pause();

    QString path_;
    std::unique_ptr<State> state_;
    bool failing_ = false;
};

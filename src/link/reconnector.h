#pragma once
// When to try reopening a lost line: a local device once its path exists again (looked at
// once a second), a network address after a growing pause (1, 2, 4 ... 30 s). It only says
// when; SerialComm does the opening, reports each failed attempt (for the history), and calls
// retry() for the next, whose pause keeps growing until the line has lasted.
#include <QObject>
#include <QString>
#include <QTimer>

class Reconnector : public QObject
{
    Q_OBJECT
  public:
    static constexpr int kPollMs = 1000;
    static constexpr int kFirstPauseMs = 1000;
    static constexpr int kLongestPauseMs = 30000;

    explicit Reconnector(QObject* parent = nullptr);

    // The pause before network attempt number `attempt` (0 for the first).
    static int pauseMs(int attempt);

    void watchPath(const QString& path);
    void backOff();
    void retry();
    void stop();

  Q_SIGNALS:
    void attempt();

  private:
    void onTick();

    QTimer timer_;
    QString path_; // empty: a network address
    int attempts_ = 0;
    bool active_ = false;
};

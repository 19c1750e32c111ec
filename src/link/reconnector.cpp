#include "link/reconnector.h"

#include <QFileInfo>

Reconnector::Reconnector(QObject* parent) : QObject(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Reconnector::onTick);
}

int Reconnector::pauseMs(int attempt)
{
    int pause = kFirstPauseMs;
    for (int i = 0; i < attempt && pause < kLongestPauseMs; ++i)
        pause *= 2;
    return qMin(pause, kLongestPauseMs);
}

void Reconnector::watchPath(const QString& path)
{
    path_ = path;
    attempts_ = 0;
    active_ = true;
    timer_.setSingleShot(false);
    timer_.start(kPollMs);
}

void Reconnector::backOff()
{
    path_.clear();
    attempts_ = 0;
    active_ = true;
    retry();
}

void Reconnector::retry()
{
    if (!active_) return;
    if (!path_.isEmpty()) {
        if (!timer_.isActive()) timer_.start(kPollMs);
        return;
    }
    timer_.setSingleShot(true);
    timer_.start(pauseMs(attempts_++));
}

void Reconnector::stop()
{
    active_ = false;
    timer_.stop();
}

void Reconnector::onTick()
{
    // A link whose target is gone does not exist either: /dev/serial/by-id keeps no dead links.
    if (!path_.isEmpty() && !QFileInfo::exists(path_)) return;
    timer_.stop();
    Q_EMIT attempt();
}

#pragma once
// The virtual projector as a child process: started with options, its device read from the first
// line it prints.
#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess
{
  public:
    explicit SimProcess(const QStringList& options)
    {
        process_.setProgram(qEnvironmentVariable("ZEVA_SIM"));
        process_.setArguments(options);
        process_.start();
        if (!process_.waitForStarted(3000)) return;
        while (!process_.canReadLine() && process_.waitForReadyRead(3000)) {
        }
        device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~SimProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(2000)) process_.kill();
            process_.waitForFinished(1000);
        }
    }
    QString device() const { return device_; }
    QProcess& process() { return process_; }

  private:
    QProcess process_;
    QString device_;
};

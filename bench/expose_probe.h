#pragma once
// Catches the first expose of any window of the program: the moment the window is shown. Both
// programs of the start-up benchmark use it, so both are timed to the same event.
#include "bench_util.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

class ExposeProbe : public QObject
{
  public:
    ExposeProbe() { qApp->installEventFilter(this); }
    double exposedAtMs() const { return exposedAtMs_; }

    // Runs the event loop for settleMs, then prints one line for the start-up benchmark:
    // "SHOWN <main entered, ms> <first expose, ms> <RSS, MiB>" on the monotonic clock.
    int reportAfter(double mainAtMs, int settleMs)
    {
        QTimer::singleShot(settleMs, Qt::PreciseTimer, qApp, &QCoreApplication::quit);
        const int status = QApplication::exec();
        std::printf("SHOWN %.3f %.3f %.2f\n", mainAtMs, exposedAtMs_, bench::rssMiB());
        std::fflush(stdout);
        return status;
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (exposedAtMs_ < 0 && event->type() == QEvent::Expose) {
            const auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isExposed()) exposedAtMs_ = bench::monotonicMs();
        }
        return false;
    }

  private:
    double exposedAtMs_ = -1;
};

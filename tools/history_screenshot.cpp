// Makes the README's pictures: the panel on the virtual projector, a few presses, a hold and a
// typed command, then the History window grabbed into a PNG; with a third name, the panel itself
// in its full view just after a STATUS query.
//   zeva-history-screenshot SIM-PROGRAM HISTORY.png [PANEL.png]
#include "panel/adjuster_table.h"
#include "panel/command_table.h"
#include "window/form1.h"
#include "window/history_window.h"
#include "window/layout_builder.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <cstdio>

namespace
{

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void press(Form1& form, const char16_t* control)
{
    form.Command_Click(*findCommandRow(control));
    wait(2100); // the reply window of a query
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fputs("usage: zeva-history-screenshot SIM-PROGRAM HISTORY.png [PANEL.png]\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zeva-control"));
    installFontSubstitutions();
    QProcess sim;
    sim.start(QString::fromLocal8Bit(argv[1]), {QStringLiteral("--transition-ms"), "500"});
    if (!sim.waitForStarted(3000) || !sim.waitForReadyRead(3000)) return 1;
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    Form1 form;
    form.setDevices(device, QStringLiteral("/dev/null-zeva"));
    form.Form_Load();
    form.show();
    press(form, u"Command44"); // STATUS
    press(form, u"Command64"); // projector hours
    const AdjusterRow& zoom = *findAdjusterByControl(u"Command15");
    form.Adjuster_MouseDown(zoom);
    wait(1000);
    form.Adjuster_MouseUp(zoom);
    wait(300);
    form.Text1->setText(QStringLiteral("CR1"));
    form.Command53_Click();
    wait(700);
    form.Text1->setText(QStringLiteral("XYZ"));
    form.Command53_Click();
    wait(700);
    form.toggleHistoryWindow();
    HistoryWindow* window = form.historyWindow();
    window->resize(980, 300);
    window->table()->setFocus();
    wait(300);
    bool saved = window->grab().save(QString::fromLocal8Bit(argv[2]));
    if (argc == 4) {
        window->hide();
        form.Form_KeyDown(Qt::Key_J, 2); // Ctrl+J: the extended view
        form.Image1_DblClick();          // then the full view
        form.Command_Click(*findCommandRow(u"Command44"));
        wait(300);
        saved = form.grab().save(QString::fromLocal8Bit(argv[3])) && saved;
    }
    sim.terminate();
    sim.waitForFinished(2000);
    return saved ? 0 : 1;
}

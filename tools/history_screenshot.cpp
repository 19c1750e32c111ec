// Makes the README's pictures: the panel on the virtual projector, a few presses, a hold and a
// typed command, then the History window grabbed into a PNG; with a third name, the panel itself
// in its full view just after a STATUS query; with a fourth, the Ports dialog with its list of
// ports open, over two made-up adapters.
//   zeva-history-screenshot SIM-PROGRAM HISTORY.png [PANEL.png [PORTS.png]]
#include "panel/adjuster_table.h"
#include "panel/command_table.h"
#include "window/form1.h"
#include "window/history_window.h"
#include "window/layout_builder.h"
#include "window/ports_dialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QPainter>

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

// The dialog above its open list, as one picture.
bool grabPortsDialog(Form1& form, const QString& output)
{
    form.showPortsDialog();
    PortsDialog& dialog = *form.portsDialog();
    const QString byId = QStringLiteral("/dev/serial/by-id/");
    const QList<PortRecord> ports = {
        {QStringLiteral("/dev/ttyUSB0"),
         QStringLiteral("USB-Serial Controller"),
         QStringLiteral("Example Devices"),
         QStringLiteral("A1B2C3"),
         {byId + QStringLiteral("usb-Example_USB_Serial_A1B2C3-if00-port0")}},
        {QStringLiteral("/dev/ttyS0"), QString(), QString(), QString(), {}},
    };
    dialog.offer({ports[0].byIdLinks.first(), QStringLiteral("rfc2217://192.0.2.50:2217")}, ports,
                 QDir::homePath() + QStringLiteral("/.config/zeva-control/zeva-control.conf"));
    dialog.adjustSize();
    wait(200);
    QPixmap top = dialog.grab();
    dialog.deviceBox(1)->showPopup();
    wait(200);
    QWidget* list = dialog.deviceBox(1)->view()->window();
    const QPixmap popup = list->grab();
    dialog.deviceBox(1)->hidePopup();
    QPixmap both(qMax(top.width(), popup.width()), top.height() + popup.height());
    both.fill(Qt::white);
    QPainter painter(&both);
    painter.drawPixmap(0, 0, top);
    painter.drawPixmap(0, top.height(), popup);
    painter.end();
    return both.save(output);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 5) {
        std::fputs(
            "usage: zeva-history-screenshot SIM-PROGRAM HISTORY.png [PANEL.png [PORTS.png]]\n",
            stderr);
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
    if (argc >= 4) {
        window->hide();
        form.Form_KeyDown(Qt::Key_J, 2); // Ctrl+J: the extended view
        form.Image1_DblClick();          // then the full view
        form.Command_Click(*findCommandRow(u"Command44"));
        wait(300);
        saved = form.grab().save(QString::fromLocal8Bit(argv[3])) && saved;
    }
    if (argc == 5) saved = grabPortsDialog(form, QString::fromLocal8Bit(argv[4])) && saved;
    sim.terminate();
    sim.waitForFinished(2000);
    return saved ? 0 : 1;
}

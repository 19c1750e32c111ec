// What COM1 and COM2 stand for: the Ports dialog beside the designed window, the choice kept
// for the next start, and the port in use reopened on its new device.
#include "link/device_address.h"
#include "ports/list_ports.h"
#include "ports/port_choice_settings.h"
#include "window/form1.h"
#include "window/ports_dialog.h"

#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

void Form1::connectPortsDialog()
{
    // "COM" and the frame it shows offer the dialog, as Ctrl+P does.
    for (QWidget* w : {Frame8.data(), control(QStringLiteral("Command33"))}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint& at) {
            QMenu menu(this);
            connect(menu.addAction(QStringLiteral("Ports...\tCtrl+P")), &QAction::triggered, this,
                    &Form1::showPortsDialog);
            menu.exec(w->mapToGlobal(at));
        });
    }
}

PortsDialog* Form1::portsDialog() const
{
    return portsDialog_;
}

void Form1::showPortsDialog()
{
    if (!portsDialog_) {
        portsDialog_ = new PortsDialog(this);
        connect(portsDialog_, &PortsDialog::chosen, this, &Form1::keepPortChoice);
    }
    if (!portsDialog_->isVisible()) {
        portsDialog_->offer({MSComm1.devicePath(1), MSComm1.devicePath(2)}, systemPorts(),
                            openPortChoiceStore()->fileName());
        portsDialog_->setNote(portChoiceNote_);
    }
    portsDialog_->show();
    portsDialog_->raise();
    portsDialog_->activateWindow();
}

void Form1::keepPortChoice(const PortChoice& before, const PortChoice& after)
{
    // Kept first: the choice is the operator's even when its device cannot be opened now.
    const QString notKept = writePortChoice(*openPortChoiceStore(), before, after);
    if (notKept.isEmpty()) portChoiceNote_.clear();
    setPortDevices(after.com1, after.com2);
    if (!notKept.isEmpty()) showWarning(notKept);
}

void Form1::setPortDevices(const QString& com1, const QString& com2)
{
    const int inUse = MSComm1.CommPort();
    const bool moved = MSComm1.devicePath(inUse) != portDevice(inUse, com1, com2);
    MSComm1.setDevices(com1, com2);
    Option1->setToolTip(com1);
    Option2->setToolTip(com2);
    Q_EMIT portDevicesChanged(com1, com2);
    if (moved) selectPort(inUse);
}

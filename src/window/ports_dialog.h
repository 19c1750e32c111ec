#pragma once
// The Ports dialog beside the panel: which device or address COM1 and COM2 stand for, picked from
// the serial ports this machine reports (with description, maker and serial number) or typed in,
// and checked before it is kept.
#include "ports/list_ports.h"
#include "ports/port_choice_settings.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QStandardItemModel;

class PortsDialog : public QDialog
{
    Q_OBJECT
  public:
    explicit PortsDialog(QWidget* parent = nullptr);

    // What the ports stand for now, the ports to pick from, and where the choice is kept.
    void offer(const PortChoice& current, const QList<PortRecord>& ports, const QString& keptIn);
    // Said above the buttons until the next offer: a settings file that could not be used.
    void setNote(const QString& note);

    QComboBox* deviceBox(int port) const { return port == 1 ? com1_ : com2_; }
    QLabel* messageLine() const { return message_; }

    // OK: keeps what is typed when it can be, else says why and keeps the dialog open.
    void accept() override;

  Q_SIGNALS:
    void chosen(const PortChoice& before, const PortChoice& after);

  private:
    QComboBox* makeDeviceBox();
    void lookAgain();
    QStringList knownPorts() const;

    QComboBox* com1_ = nullptr;
    QComboBox* com2_ = nullptr;
    QLabel* keptIn_ = nullptr;
    QLabel* message_ = nullptr;
    QStandardItemModel* found_ = nullptr;
    PortChoice current_;
    QString keptInPath_;
};

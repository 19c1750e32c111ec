#include "window/ports_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace
{
constexpr int kPopupMinWidth = 560; // room for a by-id name beside its description
const char* const kFoundColumns[] = {"Device", "Description", "Maker", "Serial number"};
} // namespace

PortsDialog::PortsDialog(QWidget* parent) : QDialog(parent), found_(new QStandardItemModel(this))
{
    setWindowTitle(QStringLiteral("Ports"));
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral("Which device or address COM1 and COM2 stand for: a port of this machine, "
                       "a device path, socket://HOST:PORT or rfc2217://HOST:PORT. The choice is "
                       "kept for the next start and for scripts; --com1 and --com2 on a command "
                       "line win over it."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    com1_ = makeDeviceBox();
    com2_ = makeDeviceBox();
    form->addRow(QStringLiteral("COM&1:"), com1_);
    form->addRow(QStringLiteral("COM&2:"), com2_);
    layout->addLayout(form);
    keptIn_ = new QLabel(this);
    keptIn_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(keptIn_);
    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText); // device texts are never markup
    layout->addWidget(message_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* again =
        buttons->addButton(QStringLiteral("&Look again"), QDialogButtonBox::ResetRole);
    again->setToolTip(QStringLiteral("List the serial ports again (after plugging an adapter in)"));
    connect(again, &QPushButton::clicked, this, &PortsDialog::lookAgain);
    connect(buttons, &QDialogButtonBox::accepted, this, &PortsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PortsDialog::reject);
    layout->addWidget(buttons);
}

QComboBox* PortsDialog::makeDeviceBox()
{
    // The list shows each port's details in columns; the box keeps the device itself.
    auto* box = new QComboBox(this);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMinimumContentsLength(32);
    box->setModel(found_);
    auto* view = new QTreeView(box);
    view->setRootIsDecorated(false);
    view->setMinimumWidth(kPopupMinWidth);
    box->setView(view);
    box->setModelColumn(0);
    return box;
}

void PortsDialog::offer(const PortChoice& current, const QList<PortRecord>& ports,
                        const QString& keptIn)
{
    current_ = current;
    keptInPath_ = keptIn;
    found_->clear();
    QStringList titles;
    for (const char* title : kFoundColumns)
        titles << QString::fromLatin1(title);
    found_->setHorizontalHeaderLabels(titles);
    for (const PortRecord& port : ports) {
        // A by-id name stays the same when the adapter moves to another socket.
        const QString device = port.byIdLinks.isEmpty() ? port.path : port.byIdLinks.first();
        QList<QStandardItem*> row;
        for (const QString& text : {device, port.description, port.maker, port.serialNumber})
            row << new QStandardItem(text);
        row.first()->setToolTip(port.path);
        found_->appendRow(row);
    }
    for (QComboBox* box : {com1_, com2_}) {
        auto* view = qobject_cast<QTreeView*>(box->view());
        if (!view) continue;
        // Every column in view: the serial number tells two adapters of one kind apart.
        view->header()->resizeSections(QHeaderView::ResizeToContents);
        view->setMinimumWidth(
            qMax(kPopupMinWidth, view->header()->length() + 2 * view->frameWidth()));
    }
    com1_->setEditText(current.com1);
    com2_->setEditText(current.com2);
    keptIn_->setText(QStringLiteral("Kept in %1").arg(keptIn));
    message_->clear();
}

void PortsDialog::setNote(const QString& note)
{
    message_->setText(note);
}

QStringList PortsDialog::knownPorts() const
{
    QStringList known;
    for (int row = 0; row < found_->rowCount(); ++row)
        known << found_->item(row, 0)->text() << found_->item(row, 0)->toolTip();
    return known;
}

void PortsDialog::lookAgain()
{
    const PortChoice typed{com1_->currentText().trimmed(), com2_->currentText().trimmed()};
    const PortChoice current = current_;
    offer(current, systemPorts(), keptInPath_);
    com1_->setEditText(typed.com1);
    com2_->setEditText(typed.com2);
}

void PortsDialog::accept()
{
    const PortChoice after{com1_->currentText().trimmed(), com2_->currentText().trimmed()};
    const QString* was[] = {&current_.com1, &current_.com2};
    const QString* now[] = {&after.com1, &after.com2};
    QStringList refusals;
    for (int i = 0; i < 2; ++i) {
        // What stands there already is kept as it is: an adapter unplugged for now is still it.
        if (*now[i] == *was[i]) continue;
        const QString why = now[i]->isEmpty() ? QStringLiteral("COM%1 needs a device.").arg(i + 1)
                                              : checkTypedDevice(*now[i], knownPorts());
        if (why.isEmpty()) continue;
        const QString sentence = why.endsWith(QLatin1Char('.')) ? why : why + QLatin1Char('.');
        refusals << QStringLiteral("COM%1: %2 It stays %3.").arg(i + 1).arg(sentence, *was[i]);
    }
    if (!refusals.isEmpty()) {
        message_->setText(refusals.join(QLatin1Char('\n')));
        return;
    }
    Q_EMIT chosen(current_, after);
    current_ = after;
    QDialog::accept();
}

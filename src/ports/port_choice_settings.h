#pragma once
// What COM1 and COM2 stand for as the operator chose them in the Ports dialog, kept between runs
// in QSettings' native store: the file zeva-control/zeva-control.conf in the user's configuration
// folder on Linux, the registry key HKEY_CURRENT_USER\Software\zeva-control\zeva-control on
// Windows; keys ports/com1 and ports/com2. The window, scripts and the server read it; a device
// on the command line wins over it. No widgets: the modes without a window use it too.
#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

struct PortChoice {
    QString com1; // empty: nothing chosen
    QString com2;
};

struct PortChoiceRead {
    PortChoice choice;    // what can be used
    QStringList problems; // one sentence for each thing that cannot
};

// The user's own store.
std::unique_ptr<QSettings> openPortChoiceStore();

PortChoiceRead readPortChoice(QSettings& store);
// Keeps the ports whose device `after` changes from `before`, and only those, so that another
// panel's choice of the other port meanwhile stays; an empty device is forgotten. A store that
// could not be read is not written over (it may hold what the operator wants back). The
// failure's sentence, or empty.
QString writePortChoice(QSettings& store, const PortChoice& before, const PortChoice& after);

// A device or address typed in, checked before it is kept: empty when it can be, else why not.
// A path must exist, or be one of `knownPorts` (Windows names its ports without a file); an
// address must be well formed (it is not dialled here: the network may be elsewhere today).
QString checkTypedDevice(const QString& text, const QStringList& knownPorts);

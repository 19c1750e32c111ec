#include "ports/port_choice_settings.h"

#include "link/device_address.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace
{

const QString kKeys[] = {QStringLiteral("ports/com1"), QStringLiteral("ports/com2")};

QString whereKept(const QSettings& store)
{
    return QDir::toNativeSeparators(store.fileName());
}

bool plausibleLocalPath(const QString& path)
{
#ifdef Q_OS_WIN
    return !path.trimmed().isEmpty(); // COM3, \\.\COM10
#else
    return QDir::isAbsolutePath(path);
#endif
}

// The value kept for one port, or why it cannot be used.
QString readOne(const QSettings& store, const QString& key, QString& device)
{
    const QVariant value = store.value(key);
    if (!value.isValid()) return {};
    // A hand-edited "a, b" reads as a list, "@Variant(...)" as anything: only text is a device.
    if (value.typeId() != QMetaType::QString)
        return QStringLiteral("%1 holds no device for %2; it is not used.")
            .arg(whereKept(store), key);
    const QString text = value.toString();
    if (text.isEmpty()) return {};
    const DeviceAddressResult parsed = parseDeviceAddress(text);
    if (!parsed.address)
        return QStringLiteral("%1, %2: %3").arg(whereKept(store), key, parsed.error);
    if (!parsed.address->isNetwork() && !plausibleLocalPath(text))
        return QStringLiteral("%1, %2: '%3' is not a device path; it is not used.")
            .arg(whereKept(store), key, text);
    device = text;
    return {};
}

} // namespace

std::unique_ptr<QSettings> openPortChoiceStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("zeva-control"),
                                       QStringLiteral("zeva-control"));
}

PortChoiceRead readPortChoice(QSettings& store)
{
    PortChoiceRead read;
    if (store.status() != QSettings::NoError) {
        read.problems << QStringLiteral("%1 cannot be read; the ports chosen there are not used.")
                             .arg(whereKept(store));
        return read;
    }
    QString* devices[] = {&read.choice.com1, &read.choice.com2};
    for (int i = 0; i < 2; ++i)
        if (const QString problem = readOne(store, kKeys[i], *devices[i]); !problem.isEmpty())
            read.problems << problem;
    return read;
}

QString writePortChoice(QSettings& store, const PortChoice& before, const PortChoice& after)
{
    if (store.status() != QSettings::NoError)
        return QStringLiteral("%1 cannot be read, so it is left as it is: the ports chosen hold "
                              "for this run only. Mend or remove it to keep them.")
            .arg(whereKept(store));
    const QString* was[] = {&before.com1, &before.com2};
    const QString* devices[] = {&after.com1, &after.com2};
    for (int i = 0; i < 2; ++i) {
        if (*devices[i] == *was[i]) continue;
        if (devices[i]->isEmpty())
            store.remove(kKeys[i]);
        else
            store.setValue(kKeys[i], *devices[i]);
    }
    // Written under QSettings' lock file, merged with what another panel wrote meanwhile.
    store.sync();
    if (store.status() != QSettings::NoError)
        return QStringLiteral("The ports chosen could not be kept in %1; they hold for this run "
                              "only.")
            .arg(whereKept(store));
    return {};
}

QString checkTypedDevice(const QString& text, const QStringList& knownPorts)
{
    const DeviceAddressResult parsed = parseDeviceAddress(text);
    if (!parsed.address) return parsed.error;
    if (parsed.address->isNetwork() || knownPorts.contains(text)) return {};
    if (!QFileInfo::exists(text))
        return QStringLiteral("There is no device %1 on this machine.").arg(text);
    if (!plausibleLocalPath(text))
        return QStringLiteral("'%1' is not a device path: give the whole path, as /dev/ttyUSB0.")
            .arg(text);
    return {};
}

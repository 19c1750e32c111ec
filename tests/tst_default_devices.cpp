// Which devices COM1 and COM2 stand for when the command line does not say, on made-up /dev
// trees: each entry is a file "name" or a link "name->target" (relative, as udev makes them).
#include "ports/default_devices.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestDefaultDevices : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void devicesFound_data();
    void devicesFound();
};

void TestDefaultDevices::devicesFound_data()
{
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QString>("com1");
    QTest::addColumn<QString>("com2");
    const QString byId = QStringLiteral("serial/by-id/");
    QTest::newRow("nothing at all: the built-in names") << QStringList{} << "ttyS0"
                                                        << "ttyS1";
    QTest::newRow("built-in ports only") << QStringList{"ttyS0", "ttyS1", "ttyS2"} << "ttyS0"
                                         << "ttyS1";
    QTest::newRow("one USB adapter, then the built-in port")
        << QStringList{"ttyS0", "ttyS1", "ttyUSB0"} << "ttyUSB0"
        << "ttyS0";
    QTest::newRow("numbers sort as numbers") << QStringList{"ttyUSB10", "ttyUSB2"} << "ttyUSB2"
                                             << "ttyUSB10";
    QTest::newRow("ttyUSB before ttyACM") << QStringList{"ttyACM0", "ttyUSB3"} << "ttyUSB3"
                                          << "ttyACM0";
    QTest::newRow("by-id links first, sorted, targets not repeated")
        << QStringList{"ttyUSB0", "ttyUSB1", "serial/by-id/usb-b->../../ttyUSB0",
                       "serial/by-id/usb-a->../../ttyUSB1"}
        << byId + "usb-a" << byId + "usb-b";
    QTest::newRow("a dead by-id link is passed over")
        << QStringList{"ttyACM0", "serial/by-id/usb-gone->../../ttyUSB9"} << "ttyACM0"
        << "ttyS1";
}

void TestDefaultDevices::devicesFound()
{
    QFETCH(QStringList, tree);
    QFETCH(QString, com1);
    QFETCH(QString, com2);
    QTemporaryDir dev;
    QVERIFY(QDir(dev.path()).mkpath(QStringLiteral("serial/by-id")));
    for (const QString& entry : tree) {
        const QString name = entry.section(QStringLiteral("->"), 0, 0);
        const QString target = entry.section(QStringLiteral("->"), 1);
        if (target.isEmpty()) {
            QFile file(dev.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(QFile::link(target, dev.filePath(name)));
        }
    }
    const DefaultDevices found = defaultDevices(dev.path());
    QCOMPARE(found.com1, dev.filePath(com1));
    QCOMPARE(found.com2, dev.filePath(com2));
}

QTEST_GUILESS_MAIN(TestDefaultDevices)
#include "tst_default_devices.moc"

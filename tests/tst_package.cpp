// Builds the Debian package from this build tree into a scratch folder and checks what it holds
// and declares. Nothing is installed.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

class TestPackage : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void holdsFile_data();
    void holdsFile();
    void controlField_data();
    void controlField();
    void descriptionFitsEightyColumns();
    void copyrightCarriesTheLicence();
    void iconsHaveTheirSizes();
    void desktopEntryValid();
    void extractedProgramRuns();
    void serverUnitVerifies();
    void lintianFindsNothing();

  private:
    QTemporaryDir scratch_;
    QString deb_;
    QStringList files_;
    QString root_; // the package unpacked
};

namespace
{
// Runs a program to its end; its standard output, or nothing when it failed.
std::optional<QString> run(const QString& program, const QStringList& args, int timeoutMs = 60000)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning("%s %s failed:\n%s", qPrintable(program), qPrintable(args.join(' ')),
                 process.readAllStandardError().constData());
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString field(const QString& deb, const QString& name)
{
    return run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, name})
        .value_or(QString())
        .trimmed();
}

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

const int kIconSizes[] = {16, 32, 48, 64, 128, 256};
} // namespace

void TestPackage::initTestCase()
{
    QVERIFY(scratch_.isValid());
    const std::optional<QString> built =
        run(QStringLiteral(ZEVA_CPACK),
            {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), scratch_.path(),
             QStringLiteral("--config"), QStringLiteral(ZEVA_CPACK_CONFIG)});
    QVERIFY(built);
    const QStringList debs = QDir(scratch_.path()).entryList({QStringLiteral("*.deb")});
    QCOMPARE(debs.size(), 1);
    deb_ = QDir(scratch_.path()).filePath(debs.first());
    const std::optional<QString> listing =
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb_});
    QVERIFY(listing);
    for (const QString& line : listing->split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        files_ << line.section(QLatin1Char(' '), -1); // the path is the last column
    root_ = scratch_.filePath(QStringLiteral("root"));
    QVERIFY(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb_, root_}));
}

void TestPackage::holdsFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("the panel") << "./usr/bin/zeva-control";
    QTest::newRow("the window's module") << "./usr/lib/zeva-control/zeva-panel.so";
    QTest::newRow("the virtual projector") << "./usr/bin/zeva-projector-sim";
    QTest::newRow("menu entry") << "./usr/share/applications/zeva-control.desktop";
    QTest::newRow("scalable icon") << "./usr/share/icons/hicolor/scalable/apps/zeva-control.svg";
    for (const int size : kIconSizes) {
        const QString path =
            QStringLiteral("./usr/share/icons/hicolor/%1x%1/apps/zeva-control.png").arg(size);
        QTest::newRow(qPrintable(QStringLiteral("icon %1 px").arg(size))) << path;
    }
    QTest::newRow("man page, compressed") << "./usr/share/man/man1/zeva-control.1.gz";
    QTest::newRow("copyright") << "./usr/share/doc/zeva-control/copyright";
    QTest::newRow("server unit") << "./usr/lib/systemd/system/zeva-control-serve@.service";
    QTest::newRow("server's example options") << "./usr/share/doc/zeva-control/examples/serve.conf";
    QTest::newRow("rotation of the server's logs") << "./etc/logrotate.d/zeva-control";
    QTest::newRow("virtual projector's man page") << "./usr/share/man/man1/zeva-projector-sim.1.gz";
    QTest::newRow("changelog") << "./usr/share/doc/zeva-control/changelog.gz";
}

void TestPackage::holdsFile()
{
    QFETCH(QString, path);
    QVERIFY2(files_.contains(path), qPrintable(files_.join(QLatin1Char('\n'))));
}

void TestPackage::controlField_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern"); // must match somewhere in the field
    QTest::newRow("package name") << "Package"
                                  << "^zeva-control$";
    QTest::newRow("version") << "Version"
                             << "^1\\.40$";
    QTest::newRow("depends on the Gothic fonts") << "Depends"
                                                 << "(^|, )fonts-ipafont-gothic(,|$)";
    QTest::newRow("depends on the serial library, found by shlibdeps")
        << "Depends"
        << "(^|, )libqt6serialport6 \\(>= [0-9.]+\\)";
    QTest::newRow("depends on the widgets library") << "Depends"
                                                    << "(^|, )libqt6widgets6 \\(";
    QTest::newRow("depends on the C library") << "Depends"
                                              << "(^|, )libc6 \\(";
    QTest::newRow("maintainer")
        << "Maintainer"
        << "^ZEVA Control maintainers <maintainers@zeva-control\\.invalid>$";
    QTest::newRow("has a description") << "Description"
                                       << "\\S+";
    QTest::newRow("description tells of the server and PJLink") << "Description"
                                                                << "(?s)server.*PJLink";
}

void TestPackage::controlField()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    const QString value = field(deb_, name);
    QVERIFY2(QRegularExpression(pattern).match(value).hasMatch(), qPrintable(name + ": " + value));
}

void TestPackage::descriptionFitsEightyColumns()
{
    const QStringList lines = field(deb_, QStringLiteral("Description")).split(QLatin1Char('\n'));
    QVERIFY(lines.size() > 1); // a summary and a long description
    for (const QString& line : lines)
        QVERIFY2(line.size() <= 80, qPrintable(line));
}

// Debian's machine-readable format, with the licence text of LICENSE word for word.
void TestPackage::copyrightCarriesTheLicence()
{
    const QString copyright =
        readText(root_ + QStringLiteral("/usr/share/doc/zeva-control/copyright"));
    QVERIFY(copyright.startsWith(QStringLiteral(
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n")));
    QVERIFY(
        copyright.contains(QStringLiteral("\nFiles: *\nCopyright: 2026 ZEVA Control maintainers\n"
                                          "License: Expat\n")));
    const qsizetype stanza = copyright.indexOf(QStringLiteral("\n\nLicense: Expat\n"));
    QVERIFY(stanza > 0);
    // Continuation lines start with a space; " ." stands for an empty line.
    QString text = copyright.mid(stanza + 17);
    text.replace(QStringLiteral("\n .\n"), QStringLiteral("\n\n"))
        .replace(QStringLiteral("\n "), QStringLiteral("\n"));
    const QString licence = readText(QStringLiteral(ZEVA_SOURCE_DIR "/LICENSE"));
    QVERIFY(!licence.isEmpty());
    QCOMPARE(text.mid(1).trimmed(),
             licence.mid(licence.indexOf(QStringLiteral("Permission"))).trimmed());
}

void TestPackage::iconsHaveTheirSizes()
{
    for (const int size : kIconSizes) {
        const QImage icon(
            root_ +
            QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/zeva-control.png").arg(size));
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel()); // rounded corners, not a square on the menu
    }
}

void TestPackage::desktopEntryValid()
{
    const QString entry = root_ + QStringLiteral("/usr/share/applications/zeva-control.desktop");
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {entry});
    QVERIFY2(validate.waitForFinished(10000), "desktop-file-validate (package desktop-file-utils)");
    QCOMPARE(validate.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(validate.readAll()), QString()); // not even a hint
}

void TestPackage::extractedProgramRuns()
{
    const auto out =
        run(root_ + QStringLiteral("/usr/bin/zeva-control"), {QStringLiteral("--version")});
    QCOMPARE(out.value_or(QString()), QStringLiteral("zeva-control 1.40\n"));
}

// Installed under a prefix of its own, the unit starts the program there and systemd finds
// nothing to object to in it: not even a warning, which leaves the exit status at 0.
void TestPackage::serverUnitVerifies()
{
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty()) QSKIP("systemd-analyze (package systemd) is not installed");
    const QString prefix = scratch_.filePath(QStringLiteral("prefix"));
    QVERIFY(run(QStringLiteral(ZEVA_CMAKE),
                {QStringLiteral("--install"), QStringLiteral(ZEVA_BUILD_DIR),
                 QStringLiteral("--prefix"), prefix}));
    const QString units = prefix + QStringLiteral("/lib/systemd/system/");
    const QString unit = units + QStringLiteral("zeva-control-serve@ttyS0.service");
    QVERIFY(QFile::link(units + QStringLiteral("zeva-control-serve@.service"), unit));
    QVERIFY(readText(unit).contains(QStringLiteral("\nExecStart=") + prefix +
                                    QStringLiteral("/bin/zeva-control --serve ")));
    QProcess verify;
    verify.start(analyze, {QStringLiteral("verify"), QStringLiteral("--man=no"), unit});
    QVERIFY(verify.waitForFinished(30000));
    const QString said = QString::fromUtf8(verify.readAllStandardError());
    QVERIFY2(verify.exitCode() == 0 && !said.contains(units), qPrintable(said));
}

// Debian's own check of a package: no error and no warning (its hints are not counted).
void TestPackage::lintianFindsNothing()
{
    if (QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty())
        QSKIP("lintian (package lintian) is not installed");
    QProcess lintian;
    lintian.setProcessChannelMode(QProcess::MergedChannels);
    lintian.start(QStringLiteral("lintian"),
                  {QStringLiteral("--fail-on"), QStringLiteral("error,warning"), deb_});
    QVERIFY(lintian.waitForFinished(60000));
    QVERIFY2(lintian.exitCode() == 0, lintian.readAll().constData());
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"

// Every seed and every kept crash of the fuzzers, replayed through the fuzzers' own entries.
// An entry aborts when an invariant breaks, so a failing row ends the program; the row's
// name is printed first, so the log says which input it was.
#include "fuzz_entries.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <cstdio>

namespace
{

using Entry = void (*)(const uint8_t*, size_t);

struct Target {
    const char* name; // folder under fuzz/corpus and fuzz/regressions
    Entry entry;
};

// clang-format off
const Target kTargets[] = {
    // name             entry
    {"display_form",    fuzzDisplayForm},
    {"decode_reply",    fuzzDecodeReply},
    {"number_reader",   fuzzNumberReader},
    {"line_settings",   fuzzLineSettings},
    {"receive_path",    fuzzReceivePath},
    {"control_options", fuzzControlOptions},
    {"sim_options",     fuzzSimOptions},
    {"port_list",       fuzzPortList},
    {"sim_framing",     fuzzSimFraming},
    {"telnet",          fuzzTelnet},
    {"pjlink",          fuzzPjlink},
};
// clang-format on

QStringList filesIn(const QString& folder)
{
    QStringList paths;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

} // namespace

class TstFuzzRegressions : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void everyTargetHasSeeds_data();
    void everyTargetHasSeeds();
    void inputKeepsInvariants_data();
    void inputKeepsInvariants();
    void cleanupTestCase() { fuzzReceivePathShutdown(); }
};

void TstFuzzRegressions::everyTargetHasSeeds_data()
{
    QTest::addColumn<QString>("folder");
    for (const Target& t : kTargets)
        QTest::newRow(t.name) << QStringLiteral(ZEVA_FUZZ_DIR "/corpus/") + t.name;
}

// A missing or empty seed folder would make the replay below pass without testing anything.
void TstFuzzRegressions::everyTargetHasSeeds()
{
    QFETCH(QString, folder);
    QVERIFY2(!filesIn(folder).isEmpty(), qPrintable(folder));
}

void TstFuzzRegressions::inputKeepsInvariants_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("path");
    for (int t = 0; t < int(std::size(kTargets)); ++t) {
        for (const char* kind : {"corpus", "regressions"}) {
            const QString folder =
                QStringLiteral(ZEVA_FUZZ_DIR "/%1/%2").arg(kind, kTargets[t].name);
            for (const QString& path : filesIn(folder)) {
                const QString row = QStringLiteral("%1/%2/%3")
                                        .arg(kind, kTargets[t].name, QFileInfo(path).fileName());
                QTest::newRow(qPrintable(row)) << t << path;
            }
        }
    }
}

void TstFuzzRegressions::inputKeepsInvariants()
{
    QFETCH(int, target);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray bytes = file.readAll();
    std::fprintf(stderr, "replaying %s\n", qPrintable(path));
    kTargets[target].entry(reinterpret_cast<const uint8_t*>(bytes.constData()),
                           size_t(bytes.size()));
}

QTEST_MAIN(TstFuzzRegressions)
#include "tst_fuzz_regressions.moc"

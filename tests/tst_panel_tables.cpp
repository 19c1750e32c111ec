#include "panel/adjuster_table.h"
#include "panel/command_table.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

// The tables are typed once in the sources; the transcription rows below are typed again,
// independently, so that a slip in either copy shows up as a failing row.
class TestPanelTables : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void tablesHaveEveryButton();
    void controlNamesAreUniqueAcrossTables();
    void holdCodesAreUniqueAndNonZero();
    void commandTexts_data();
    void commandTexts();
    void commandRows_data();
    void commandRows();
    void groupsFollowPanelOrder();
    void clearDelayIsReplyWindowPlus500();
    void onlyFourRowsLeaveIntervals();
    void navigationRows();
    void sVideoIsTheLongestCommand();
    void adjusterRows_data();
    void adjusterRows();
    void repeatRowsReplyWithinRepeat();
    void releaseAndContextConstants();
    void arrowIntervalsByContext_data();
    void arrowIntervalsByContext();
    void lookupByControl_data();
    void lookupByControl();
    void lookupByCode_data();
    void lookupByCode();
};

namespace
{

QStringList controlsOf(auto rows, auto predicate)
{
    QStringList out;
    for (const auto& row : rows)
        if (predicate(row)) out << QString::fromLatin1(row.control);
    return out;
}

} // namespace

void TestPanelTables::tablesHaveEveryButton()
{
    QCOMPARE(commandTable().size(), 45u);
    QCOMPARE(adjusterTable().size(), 17u);
    const auto arrows = controlsOf(
        adjusterTable(), [](const AdjusterRow& row) { return row.kind == AdjusterKind::Arrow; });
    QCOMPARE(arrows, (QStringList{"Command5", "Command7", "Command9", "Command8"}));
}

void TestPanelTables::controlNamesAreUniqueAcrossTables()
{
    QSet<QString> seen;
    for (const QString& name : controlsOf(commandTable(), [](auto&) { return true; }) +
                                   controlsOf(adjusterTable(), [](auto&) { return true; })) {
        QVERIFY2(!seen.contains(name), qPrintable(name));
        seen.insert(name);
    }
    QCOMPARE(seen.size(), 62);
}

void TestPanelTables::holdCodesAreUniqueAndNonZero()
{
    QSet<quint8> seen;
    for (const AdjusterRow& row : adjusterTable()) {
        QVERIFY2(row.holdCode != 0, row.control);
        QVERIFY2(!seen.contains(row.holdCode), row.control);
        seen.insert(row.holdCode);
        QVERIFY2(findAdjusterByCode(row.holdCode) == &row, row.control);
    }
}

void TestPanelTables::commandTexts_data()
{
    QTest::addColumn<QString>("command");
    for (const CommandRow& row : commandTable())
        QTest::newRow(row.control) << QString::fromLatin1(row.command);
    for (const AdjusterRow& row : adjusterTable())
        QTest::newRow(row.control) << QString::fromLatin1(row.command);
}

void TestPanelTables::commandTexts()
{
    QFETCH(QString, command);
    static const QRegularExpression direct(QStringLiteral("^C[0-9A-F]{2}$"));
    static const QRegularExpression query(QStringLiteral("^CR([0-9]| [A-Z]+)$"));
    static const QRegularExpression named(QStringLiteral("^CF [A-Z]+ [A-Z0-9-]+$"));
    QVERIFY(command.size() >= 3 && command.size() <= 17);
    for (QChar c : command)
        QVERIFY2(c.unicode() >= 0x20 && c.unicode() < 0x7f, "printable ASCII only");
    QVERIFY2(direct.match(command).hasMatch() || query.match(command).hasMatch() ||
                 named.match(command).hasMatch(),
             qPrintable(command));
}

void TestPanelTables::commandRows_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("replyWindow");
    QTest::addColumn<int>("clearDelay");
    const int no = kNoInterval;
    // clang-format off
    QTest::newRow("POWER ON")           << "Command17" << "POWER"               << "C00"               << 5000 << 5500;
    QTest::newRow("POWER OFF")          << "Command18" << "POWER"               << "C02"               << no   << no;
    QTest::newRow("INPUT PC1")          << "Command40" << "INPUT"               << "C05"               << 2000 << 2500;
    QTest::newRow("INPUT PC2")          << "Command63" << "INPUT"               << "C06"               << 2000 << 2500;
    QTest::newRow("INPUT VIDEO")        << "Command28" << "INPUT"               << "C07"               << 2000 << 2500;
    QTest::newRow("SOURCE AUTO")        << "Command56" << "SOURCE"              << "CF SOURCE AUTO"    << 2000 << 2500;
    QTest::newRow("SOURCE DVI")         << "Command4"  << "SOURCE"              << "CF SOURCE DIGTAL"  << 2000 << 2500;
    QTest::newRow("SOURCE RGB")         << "Command14" << "SOURCE"              << "CF SOURCE ANALOG"  << 2000 << 2500;
    QTest::newRow("SOURCE W I")         << "Command27" << "SOURCE"              << "CF SOURCE WI"      << 2000 << 2500;
    QTest::newRow("SOURCE MCI")         << "Command55" << "SOURCE"              << "CF SOURCE MCI"     << 2000 << 2500;
    QTest::newRow("SOURCE VIDEO")       << "Command29" << "SOURCE"              << "CF SOURCE VIDEO"   << 2000 << 2500;
    QTest::newRow("SOURCE S-VIDEO")     << "Command57" << "SOURCE"              << "CF SOURCE S-VIDEO" << 2000 << 2500;
    QTest::newRow("SOURCE YPbPr")       << "Command58" << "SOURCE"              << "CF SOURCE YPBPR"   << 2000 << 2500;
    QTest::newRow("AUDIO MUTE ON")      << "Command19" << "AUDIO MUTE"          << "C0B"               << 500  << 1000;
    QTest::newRow("AUDIO MUTE OFF")     << "Command20" << "AUDIO MUTE"          << "C0C"               << 500  << 1000;
    QTest::newRow("No Show ON")         << "Command21" << "No Show"             << "C0D"               << 500  << 1000;
    QTest::newRow("No Show OFF")        << "Command22" << "No Show"             << "C0E"               << 500  << 1000;
    QTest::newRow("FREEZE ON")          << "Command25" << "FREEZE"              << "C43"               << 500  << 1000;
    QTest::newRow("FREEZE OFF")         << "Command26" << "FREEZE"              << "C44"               << 500  << 1000;
    QTest::newRow("MENU ON")            << "Command23" << "MENU"                << "C1C"               << 500  << 1000;
    QTest::newRow("MENU OFF")           << "Command24" << "MENU"                << "C1D"               << 500  << 1000;
    QTest::newRow("VIDEO image Normal") << "Command31" << "VIDEO  image"        << "C0F"               << 500  << 1000;
    QTest::newRow("VIDEO image Wide")   << "Command32" << "VIDEO  image"        << "C10"               << 500  << 1000;
    QTest::newRow("A-IMAGE")            << "Command13" << "right-hand column"   << "C89"               << 5000 << 5500;
    QTest::newRow("IMAGE")              << "Command73" << "right-hand column"   << "C27"               << no   << no;
    QTest::newRow("P-Timer")            << "Command39" << "right-hand column"   << "C8A"               << no   << no;
    QTest::newRow("DISPLAY CLEAR")      << "Command3"  << "right-hand column"   << "C1E"               << no   << no;
    QTest::newRow("STAND")              << "Command10" << "image modes"         << "CF IMAGE STAND"    << 2000 << 2500;
    QTest::newRow("REAL")               << "Command12" << "image modes"         << "CF IMAGE REAL"     << 2000 << 2500;
    QTest::newRow("CINEMA")             << "Command41" << "image modes"         << "CF IMAGE CINEMA"   << 2000 << 2500;
    QTest::newRow("IMAGE1")             << "Command11" << "image modes"         << "CF IMAGE CUSTOM1"  << 2000 << 2500;
    QTest::newRow("IMAGE2")             << "Command30" << "image modes"         << "CF IMAGE CUSTOM2"  << 2000 << 2500;
    QTest::newRow("IMAGE3")             << "Command42" << "image modes"         << "CF IMAGE CUSTOM3"  << 2000 << 2500;
    QTest::newRow("IMAGE4")             << "Command43" << "image modes"         << "CF IMAGE CUSTOM4"  << 2000 << 2500;
    QTest::newRow("STATUS")             << "Command44" << "query block"         << "CR0"               << 2000 << 2500;
    QTest::newRow("L-TIME")             << "Command46" << "query block"         << "CR3"               << 2000 << 2500;
    QTest::newRow("MODE")               << "Command45" << "query block"         << "CR1"               << 2000 << 2500;
    QTest::newRow("SETTING")            << "Command47" << "query block"         << "CR4"               << 2000 << 2500;
    QTest::newRow("C01 sends caption")  << "Command52" << "beside STATUS frame" << "C01"               << 3000 << 3500;
    QTest::newRow("LAMP MODE FULL")     << "Command66" << "LAMP MODE"           << "CF LAMPMODE FUL"   << 2000 << 2500;
    QTest::newRow("LAMP MODE ECO")      << "Command67" << "LAMP MODE"           << "CF LAMPMODE ECO"   << 2000 << 2500;
    QTest::newRow("FAN SPEED MAX")      << "Command60" << "FAN SPEED"           << "CF FANSPEED MAX"   << 2000 << 2500;
    QTest::newRow("FAN SPEED NOR")      << "Command61" << "FAN SPEED"           << "CF FANSPEED NOR"   << 2000 << 2500;
    QTest::newRow("PJ USE")             << "Command64" << "below FAN SPEED"     << "CR PROJH"          << 2000 << 2500;
    QTest::newRow("L-MODE")             << "Command65" << "below FAN SPEED"     << "CR LAMPMODE"       << 2000 << 2500;
    // clang-format on
}

void TestPanelTables::commandRows()
{
    QFETCH(QString, control);
    QFETCH(QString, group);
    QFETCH(QString, command);
    QFETCH(int, replyWindow);
    QFETCH(int, clearDelay);
    const CommandRow* row = findCommandRow(control);
    QVERIFY(row);
    QCOMPARE(QString::fromLatin1(row->group), group);
    QCOMPARE(QString::fromLatin1(row->command), command);
    QCOMPARE(row->replyWindowMs, replyWindow);
    QCOMPARE(row->clearDelayMs, clearDelay);
}

void TestPanelTables::groupsFollowPanelOrder()
{
    // Each group appears as one run of rows, and the runs follow the panel.
    QStringList runs;
    for (const CommandRow& row : commandTable())
        if (runs.isEmpty() || runs.last() != QLatin1String(row.group))
            runs << QString::fromLatin1(row.group);
    const QStringList expected{"POWER",       "INPUT",        "SOURCE",
                               "AUDIO MUTE",  "No Show",      "FREEZE",
                               "MENU",        "VIDEO  image", "right-hand column",
                               "image modes", "query block",  "beside STATUS frame",
                               "LAMP MODE",   "FAN SPEED",    "below FAN SPEED"};
    QCOMPARE(runs, expected);
}

void TestPanelTables::clearDelayIsReplyWindowPlus500()
{
    for (const CommandRow& row : commandTable()) {
        if (!row.hasIntervals()) {
            QVERIFY2(row.clearDelayMs == kNoInterval, row.control);
            continue;
        }
        QVERIFY2(row.replyWindowMs > 0, row.control);
        QVERIFY2(row.clearDelayMs == row.replyWindowMs + 500, row.control);
    }
}

void TestPanelTables::onlyFourRowsLeaveIntervals()
{
    const auto without =
        controlsOf(commandTable(), [](const CommandRow& r) { return !r.hasIntervals(); });
    QCOMPARE(without, (QStringList{"Command18", "Command73", "Command39", "Command3"}));
}

void TestPanelTables::navigationRows()
{
    const auto nav = controlsOf(commandTable(), [](const CommandRow& r) { return r.navigation; });
    QCOMPARE(nav, (QStringList{"Command23", "Command13"}));
    QCOMPARE(kNavigationContext, quint8(1));
    QCOMPARE(kNavigationRepeatMs, 200);
}

void TestPanelTables::sVideoIsTheLongestCommand()
{
    const auto lengths = [](const auto& row) { return qstrlen(row.command); };
    const auto longest = std::ranges::max_element(commandTable(), {}, lengths);
    QCOMPARE(longest->control, "Command57");
    QCOMPARE(lengths(*longest), 17u);
    for (const AdjusterRow& row : adjusterTable())
        QVERIFY(lengths(row) < 17u);
}

void TestPanelTables::adjusterRows_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("group");
    QTest::addColumn<int>("holdCode");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<int>("replyWindow");
    QTest::addColumn<int>("clearDelay");
    QTest::addColumn<bool>("dZoom");
    const int ctx = kByContext;
    const int keep = kKeepRepeat;
    // clang-format off
    QTest::newRow("VOL +")             << "Command1"  << "VOL"        << 1  << "C09" << 250  << 200 << 245 << false;
    QTest::newRow("VOL -")             << "Command2"  << "VOL"        << 2  << "C0A" << 250  << 200 << 245 << false;
    QTest::newRow("Zoom +")            << "Command15" << "Zoom"       << 7  << "C47" << 50   << 25  << 25  << false;
    QTest::newRow("Zoom -")            << "Command35" << "Zoom"       << 8  << "C46" << 50   << 25  << 25  << false;
    QTest::newRow("Focus +")           << "Command36" << "Focus"      << 9  << "C4B" << 50   << 25  << 25  << false;
    QTest::newRow("Focus -")           << "Command37" << "Focus"      << 10 << "C4A" << 50   << 25  << 25  << false;
    QTest::newRow("D.Zoom +")          << "Command48" << "D.Zoom"     << 17 << "C30" << 250  << 200 << 245 << true;
    QTest::newRow("D.Zoom -")          << "Command49" << "D.Zoom"     << 18 << "C31" << 250  << 200 << 245 << true;
    QTest::newRow("Keystone +")        << "Command50" << "Keystone"   << 19 << "C8E" << 250  << 200 << 245 << false;
    QTest::newRow("Keystone -")        << "Command51" << "Keystone"   << 20 << "C8F" << 250  << 200 << 245 << false;
    QTest::newRow("LENS SHIFT up 30")  << "Command59" << "LENS SHIFT" << 21 << "C5D" << 30   << 30  << 30  << false;
    QTest::newRow("LENS SHIFT down")   << "Command62" << "LENS SHIFT" << 22 << "C5E" << 50   << 25  << 25  << false;
    QTest::newRow("SELECT 500")        << "Command6"  << "arrow pad"  << 13 << "C3F" << 500  << 200 << 245 << false;
    QTest::newRow("arrow up")          << "Command5"  << "arrow pad"  << 3  << "C3C" << keep << ctx << ctx << false;
    QTest::newRow("arrow down")        << "Command7"  << "arrow pad"  << 4  << "C3D" << keep << ctx << ctx << false;
    QTest::newRow("arrow left")        << "Command9"  << "arrow pad"  << 5  << "C3B" << keep << ctx << ctx << false;
    QTest::newRow("arrow right")       << "Command8"  << "arrow pad"  << 6  << "C3A" << keep << ctx << ctx << false;
    // clang-format on
}

void TestPanelTables::adjusterRows()
{
    QFETCH(QString, control);
    QFETCH(QString, group);
    QFETCH(int, holdCode);
    QFETCH(QString, command);
    QFETCH(int, repeat);
    QFETCH(int, replyWindow);
    QFETCH(int, clearDelay);
    QFETCH(bool, dZoom);
    const AdjusterRow* row = findAdjusterByControl(control);
    QVERIFY(row);
    QCOMPARE(QString::fromLatin1(row->group), group);
    QCOMPARE(int(row->holdCode), holdCode);
    QCOMPARE(QString::fromLatin1(row->command), command);
    QCOMPARE(row->repeatMs, repeat);
    QCOMPARE(row->replyWindowMs, replyWindow);
    QCOMPARE(row->clearDelayMs, clearDelay);
    QCOMPARE(row->dZoom, dZoom);
    QCOMPARE(row->kind == AdjusterKind::Arrow, repeat == kKeepRepeat);
}

void TestPanelTables::repeatRowsReplyWithinRepeat()
{
    // A repeat must not outrun its own reply window or clear delay.
    for (const AdjusterRow& row : adjusterTable()) {
        if (row.kind != AdjusterKind::Repeat) continue;
        QVERIFY2(row.replyWindowMs > 0 && row.replyWindowMs <= row.repeatMs, row.control);
        QVERIFY2(row.clearDelayMs >= row.replyWindowMs, row.control);
        QVERIFY2(row.clearDelayMs <= row.repeatMs, row.control);
    }
}

void TestPanelTables::releaseAndContextConstants()
{
    QCOMPARE(kReleaseReplyWindowMs, 500);
    QCOMPARE(kReleaseClearDelayMs, 1000);
    QCOMPARE(kDZoomReleaseRepeatMs, 5);
    QCOMPARE(kDZoomContext, quint8(3));
    const auto dZoom = controlsOf(adjusterTable(), [](const AdjusterRow& r) { return r.dZoom; });
    QCOMPARE(dZoom, (QStringList{"Command48", "Command49"}));
}

void TestPanelTables::arrowIntervalsByContext_data()
{
    QTest::addColumn<int>("context");
    QTest::addColumn<bool>("sets");
    QTest::addColumn<int>("replyWindow");
    QTest::addColumn<int>("clearDelay");
    QTest::newRow("0 after start-up leaves both") << 0 << false << 0 << 0;
    QTest::newRow("1 navigation") << 1 << true << 150 << 190;
    QTest::newRow("2 unused leaves both") << 2 << false << 0 << 0;
    QTest::newRow("3 after D.Zoom release") << 3 << true << 5 << 5;
    QTest::newRow("255 leaves both") << 255 << false << 0 << 0;
}

void TestPanelTables::arrowIntervalsByContext()
{
    QFETCH(int, context);
    QFETCH(bool, sets);
    QFETCH(int, replyWindow);
    QFETCH(int, clearDelay);
    const auto intervals = arrowIntervals(quint8(context));
    QCOMPARE(intervals.has_value(), sets);
    if (sets) QCOMPARE(*intervals, std::pair(replyWindow, clearDelay));
}

void TestPanelTables::lookupByControl_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("isCommand");
    QTest::addColumn<bool>("isAdjuster");
    QTest::newRow("first command row") << "Command17" << true << false;
    QTest::newRow("last command row") << "Command65" << true << false;
    QTest::newRow("first adjuster row") << "Command1" << false << true;
    QTest::newRow("last adjuster row") << "Command8" << false << true;
    QTest::newRow("END is neither") << "Command16" << false << false;
    QTest::newRow("data toggle is neither") << "Command34" << false << false;
    QTest::newRow("case matters") << "command17" << false << false;
    QTest::newRow("trailing blank") << "Command17 " << false << false;
    QTest::newRow("empty") << "" << false << false;
}

void TestPanelTables::lookupByControl()
{
    QFETCH(QString, control);
    QFETCH(bool, isCommand);
    QFETCH(bool, isAdjuster);
    const CommandRow* command = findCommandRow(control);
    const AdjusterRow* adjuster = findAdjusterByControl(control);
    QCOMPARE(command != nullptr, isCommand);
    QCOMPARE(adjuster != nullptr, isAdjuster);
    if (command) QCOMPARE(QString::fromLatin1(command->control), control);
    if (adjuster) QCOMPARE(QString::fromLatin1(adjuster->control), control);
}

void TestPanelTables::lookupByCode_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("control");
    QTest::newRow("0 means nothing held") << 0 << QString();
    QTest::newRow("VOL + is 1") << 1 << "Command1";
    QTest::newRow("arrow up is 3") << 3 << "Command5";
    QTest::newRow("SELECT is 13") << 13 << "Command6";
    QTest::newRow("LENS SHIFT down is 22") << 22 << "Command62";
    QTest::newRow("gap 11 is unused") << 11 << QString();
    QTest::newRow("23 is past the last") << 23 << QString();
    QTest::newRow("255 is unused") << 255 << QString();
}

void TestPanelTables::lookupByCode()
{
    QFETCH(int, code);
    QFETCH(QString, control);
    const AdjusterRow* row = findAdjusterByCode(quint8(code));
    QCOMPARE(row ? QString::fromLatin1(row->control) : QString(), control);
}

QTEST_APPLESS_MAIN(TestPanelTables)
#include "tst_panel_tables.moc"

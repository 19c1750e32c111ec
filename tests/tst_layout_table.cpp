#include "panel/layout_table.h"

#include <QRect>
#include <QSet>
#include <QTest>
#include <algorithm>

namespace
{

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

const LayoutRow& row(const char* name)
{
    const LayoutRow* found = findLayoutRow(utf8(name));
    if (!found) qFatal("no control %s", name);
    return *found;
}

QRect rectOf(const LayoutRow& r)
{
    return QRect(r.left, r.top, r.width, r.height);
}

// The window's three horizontal bands: the views cut the window between them.
struct Band {
    const char* name;
    int top, bottom;
};
constexpr Band kBands[] = {
    {"control panel", 0, 4815},
    {"monitor", 4920, 6492},
    {"lower", 6960, 8655},
};

} // namespace

class TstLayoutTable : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void namesAreUnique();
    void parentsAreFramesListedEarlier();
    void controlLiesInsideItsParent_data();
    void controlLiesInsideItsParent();
    void tabIndicesAreUnique();
    void command17IsFirstInFocusOrder();
    void captionKeepsItsBlanks_data();
    void captionKeepsItsBlanks();
    void sameCaptionDifferentControls_data();
    void sameCaptionDifferentControls();
    void windowControlLiesInOneBand_data();
    void windowControlLiesInOneBand();
    void startStateFlags();
    void arrowPadOutlineIsClosed();
    void faceNamesAreFullWidth();
    void twipsToPixels_data();
    void twipsToPixels();
    void findLayoutRowMatchesWholeNames_data();
    void findLayoutRowMatchesWholeNames();
};

void TstLayoutTable::namesAreUnique()
{
    QSet<QString> names;
    for (const LayoutRow& r : layoutTable())
        names.insert(utf8(r.name));
    for (const LayoutLine& l : layoutLines())
        names.insert(utf8(l.name));
    QCOMPARE(names.size(), qsizetype(layoutTable().size() + layoutLines().size()));
}

void TstLayoutTable::parentsAreFramesListedEarlier()
{
    QSet<QString> framesSoFar;
    for (const LayoutRow& r : layoutTable()) {
        const QString parent = utf8(r.parent);
        if (!parent.isEmpty()) QVERIFY2(framesSoFar.contains(parent), r.name);
        if (r.kind == ControlKind::Frame) framesSoFar.insert(utf8(r.name));
    }
}

void TstLayoutTable::controlLiesInsideItsParent_data()
{
    QTest::addColumn<QString>("name");
    for (const LayoutRow& r : layoutTable())
        QTest::newRow(r.name) << utf8(r.name);
}

void TstLayoutTable::controlLiesInsideItsParent()
{
    QFETCH(QString, name);
    const LayoutRow* r = findLayoutRow(name);
    QVERIFY(r);
    const QString parentName = utf8(r->parent);
    const QRect bounds = parentName.isEmpty()
                             ? QRect(0, 0, kDesignClientWidthTwips, kDesignClientHeightTwips)
                             : QRect(QPoint(0, 0), rectOf(*findLayoutRow(parentName)).size());
    QVERIFY(bounds.contains(rectOf(*r)));
}

void TstLayoutTable::tabIndicesAreUnique()
{
    QSet<int> seen;
    int listed = 0;
    for (const LayoutRow& r : layoutTable()) {
        if (r.tabIndex < 0) continue;
        ++listed;
        QVERIFY2(!seen.contains(r.tabIndex), r.name);
        seen.insert(r.tabIndex);
    }
    QCOMPARE(listed, int(layoutTable().size()) - 1); // all but the emblem
    QCOMPARE(row("Image1").tabIndex, -1);
}

void TstLayoutTable::command17IsFirstInFocusOrder()
{
    const LayoutRow* first = nullptr;
    for (const LayoutRow& r : layoutTable())
        if (takesFocus(r.kind) && (!first || r.tabIndex < first->tabIndex)) first = &r;
    QVERIFY(first);
    QCOMPARE(utf8(first->name), QStringLiteral("Command17"));
}

void TstLayoutTable::captionKeepsItsBlanks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("DVI ends in a blank") << "Command4"
                                         << "DVI ";
    QTest::newRow("W I has one inner blank") << "Command27"
                                             << "W I";
    QTest::newRow("PJ USE has two blanks") << "Command64"
                                           << "PJ  USE";
    QTest::newRow("VIDEO image has two blanks") << "Label6"
                                                << "VIDEO  image";
    QTest::newRow("LENS SHIFT one blank") << "Label20"
                                          << "LENS SHIFT";
    QTest::newRow("DISPLAY CLEAR one blank") << "Command3"
                                             << "DISPLAY CLEAR";
    QTest::newRow("lens shift up arrow") << "Command59" << QStringLiteral("\u2191");
    QTest::newRow("arrow pad left arrow") << "Command9" << QStringLiteral("\u2190");
    QTest::newRow("data toggle in Japanese")
        << "Command34" << QStringLiteral("\u30C7\u30FC\u30BF\u3092\u8868\u793A\u3059\u308B");
    QTest::newRow("monitor starts empty") << "Label11"
                                          << "";
    QTest::newRow("status line starts empty") << "Label25"
                                              << "";
}

void TstLayoutTable::captionKeepsItsBlanks()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    const LayoutRow* r = findLayoutRow(name);
    QVERIFY(r);
    QCOMPARE(utf8(r->caption), caption);
}

void TstLayoutTable::sameCaptionDifferentControls_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("caption");
    QTest::newRow("VIDEO in INPUT and in SOURCE") << "Command28"
                                                  << "Command29"
                                                  << "VIDEO";
    QTest::newRow("STATUS title and query button") << "Label26"
                                                   << "Command44"
                                                   << "STATUS";
}

void TstLayoutTable::sameCaptionDifferentControls()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, caption);
    const LayoutRow* a = findLayoutRow(first);
    const LayoutRow* b = findLayoutRow(second);
    QVERIFY(a && b && a != b);
    QCOMPARE(utf8(a->caption), caption);
    QCOMPARE(utf8(b->caption), caption);
    QVERIFY(utf8(a->parent) != utf8(b->parent) || rectOf(*a) != rectOf(*b));
    QVERIFY(a->tabIndex != b->tabIndex);
}

void TstLayoutTable::windowControlLiesInOneBand_data()
{
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("bottom");
    for (const LayoutRow& r : layoutTable())
        if (*r.parent == '\0') QTest::newRow(r.name) << r.top << r.top + r.height;
    for (const LayoutLine& l : layoutLines())
        QTest::newRow(l.name) << std::min(l.y1, l.y2) << std::max(l.y1, l.y2);
}

void TstLayoutTable::windowControlLiesInOneBand()
{
    QFETCH(int, top);
    QFETCH(int, bottom);
    int holding = 0;
    for (const Band& band : kBands) {
        if (top >= band.top && top <= band.bottom) {
            ++holding;
            QVERIFY2(bottom <= band.bottom, band.name); // a view never cuts through it
        }
    }
    QCOMPARE(holding, 1);
}

void TstLayoutTable::startStateFlags()
{
    QStringList hidden, selected, wrapping;
    for (const LayoutRow& r : layoutTable()) {
        if (r.has(LayoutFlag::HiddenAtStart)) hidden << utf8(r.name);
        if (r.has(LayoutFlag::SelectedAtStart)) selected << utf8(r.name);
        if (r.has(LayoutFlag::Wraps)) wrapping << utf8(r.name);
    }
    QCOMPARE(hidden, QStringList({"Frame8", "Command34"}));
    QCOMPARE(selected, QStringList({"Option3"}));
    QCOMPARE(wrapping, QStringList({"Label20"}));
    // Port and speed are separate choices because each pair has its own frame.
    QCOMPARE(utf8(row("Option1").parent), utf8(row("Option2").parent));
    QCOMPARE(utf8(row("Option3").parent), utf8(row("Option4").parent));
    QVERIFY(utf8(row("Option1").parent) != utf8(row("Option3").parent));
}

void TstLayoutTable::arrowPadOutlineIsClosed()
{
    QHash<QPair<int, int>, int> ends;
    for (const LayoutLine& l : layoutLines()) {
        QVERIFY2(l.x1 == l.x2 || l.y1 == l.y2, l.name); // straight across or straight down
        ++ends[{l.x1, l.y1}];
        ++ends[{l.x2, l.y2}];
    }
    QCOMPARE(layoutLines().size(), std::size_t(12));
    for (auto it = ends.cbegin(); it != ends.cend(); ++it)
        QCOMPARE(it.value(), 2); // every corner joins exactly two lines
}

void TstLayoutTable::faceNamesAreFullWidth()
{
    QCOMPARE(utf8(faceName(FontFace::A)),
             QStringLiteral("\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF"));
    QCOMPARE(utf8(faceName(FontFace::B)), QStringLiteral("\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF"));
    QCOMPARE(utf8(faceName(FontFace::NoFont)), QString());
    QCOMPARE(utf8(kWindowTitle), QStringLiteral("ZEVA   LQ500 & LQ400  CONTROL  Ver.1.40"));
}

void TstLayoutTable::twipsToPixels_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("one pixel") << 15 << 1;
    QTest::newRow("just under half rounds down") << 7 << 0;
    QTest::newRow("just over half rounds up") << 8 << 1;
    QTest::newRow("lens shift button width 492") << 492 << 33;
    QTest::newRow("lens shift button height 252") << 252 << 17;
    QTest::newRow("status title top 204") << 204 << 14;
    QTest::newRow("monitor frame height 1068") << 1068 << 71;
    QTest::newRow("client width") << kDesignClientWidthTwips << 634;
    QTest::newRow("negative rounds symmetrically") << -8 << -1;
}

void TstLayoutTable::twipsToPixels()
{
    QFETCH(int, twips);
    QFETCH(int, pixels);
    QCOMPARE(::twipsToPixels(twips), pixels);
}

void TstLayoutTable::findLayoutRowMatchesWholeNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("found");
    QTest::newRow("listed control") << "Command17" << true;
    QTest::newRow("prefix of a listed name") << "Command" << false;
    QTest::newRow("longer than a listed name") << "Command170" << false;
    QTest::newRow("wrong case") << "command17" << false;
    QTest::newRow("a line is not a control") << "Line1" << false;
    QTest::newRow("empty") << "" << false;
}

void TstLayoutTable::findLayoutRowMatchesWholeNames()
{
    QFETCH(QString, name);
    QFETCH(bool, found);
    const LayoutRow* r = findLayoutRow(name);
    QCOMPARE(r != nullptr, found);
    if (r) QCOMPARE(utf8(r->name), name);
}

QTEST_APPLESS_MAIN(TstLayoutTable)
#include "tst_layout_table.moc"

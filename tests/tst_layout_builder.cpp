#include "panel/layout_table.h"
#include "window/emblem.h"
#include "window/layout_builder.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <memory>

namespace
{

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

bool hasKind(QWidget* w, ControlKind kind)
{
    switch (kind) {
    case ControlKind::Frame:
        return w->metaObject() == &QFrame::staticMetaObject;
    case ControlKind::Label:
        return qobject_cast<QLabel*>(w) && !qobject_cast<EmblemLabel*>(w);
    case ControlKind::Button:
        return qobject_cast<QPushButton*>(w);
    case ControlKind::Option:
        return qobject_cast<QRadioButton*>(w);
    case ControlKind::TextBox:
        return qobject_cast<QLineEdit*>(w);
    case ControlKind::Image:
        return qobject_cast<EmblemLabel*>(w);
    }
    return false;
}

} // namespace

class TstLayoutBuilder : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void controlIsBuiltAtItsPlace_data();
    void controlIsBuiltAtItsPlace();
    void substitutionsNameTheStandIns();
    void fontOfControl_data();
    void fontOfControl();
    void windowLook();
    void startVisibility();
    void optionsExcludeWithinTheirFrame_data();
    void optionsExcludeWithinTheirFrame();
    void focusChainFollowsTabIndices();
    void focusStartsOnPowerOn();
    void colours();
    void flatButtonEdge_data();
    void flatButtonEdge();
    void labelsShowTextLiterally();
    void borderedLabelHasBlackBox_data();
    void borderedLabelHasBlackBox();
    void frameInsideKeepsItsColour();
    void longCaptionWrapsOntoTwoLines();
    void lensShiftTitleWrapsOntoTwoLines();
    void buttonsDoNotActOnTheirOwn();
    void arrowPadLinesAreDrawn();
    void emblem();
    void emblemReportsDoubleClick();

  private:
    QWidget* widget(const char* name) const { return widgets_.value(utf8(name)); }
    template <typename T> T* as(const char* name) const { return qobject_cast<T*>(widget(name)); }

    std::unique_ptr<QWidget> window_;
    QHash<QString, QWidget*> widgets_;
};

void TstLayoutBuilder::initTestCase()
{
    installFontSubstitutions();
}

void TstLayoutBuilder::init()
{
    window_ = std::make_unique<QWidget>();
    window_->resize(twipsToPixels(kDesignClientWidthTwips),
                    twipsToPixels(kDesignClientHeightTwips));
    widgets_ = buildLayout(window_.get());
}

void TstLayoutBuilder::cleanup()
{
    widgets_.clear();
    window_.reset();
}

void TstLayoutBuilder::controlIsBuiltAtItsPlace_data()
{
    QTest::addColumn<QString>("name");
    for (const LayoutRow& r : layoutTable())
        QTest::newRow(r.name) << utf8(r.name);
}

void TstLayoutBuilder::controlIsBuiltAtItsPlace()
{
    QFETCH(QString, name);
    const LayoutRow* r = findLayoutRow(name);
    QWidget* w = window_->findChild<QWidget*>(name);
    QVERIFY(r && w);
    QCOMPARE(widgets_.value(name), w);
    QVERIFY(hasKind(w, r->kind));
    const QString parent = utf8(r->parent);
    QCOMPARE(w->parentWidget(), parent.isEmpty() ? window_.get() : widgets_.value(parent));
    QCOMPARE(w->geometry(), QRect(twipsToPixels(r->left), twipsToPixels(r->top),
                                  twipsToPixels(r->width), twipsToPixels(r->height)));
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        QCOMPARE(button->text(), utf8(r->caption));
    if (auto* label = qobject_cast<QLabel*>(w); label && r->kind == ControlKind::Label)
        QCOMPARE(label->text(), utf8(r->caption));
}

void TstLayoutBuilder::substitutionsNameTheStandIns()
{
    // Qt keeps substitutes in lower case. Checked on the mapping, since font aliases of the
    // desktop may resolve the designed faces even without it.
    QCOMPARE(QFont::substitute(utf8(kFaceAName)), QString::fromLatin1(kFaceASubstitute).toLower());
    QCOMPARE(QFont::substitute(utf8(kFaceBName)), QString::fromLatin1(kFaceBSubstitute).toLower());
}

void TstLayoutBuilder::fontOfControl_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("bold");
    QTest::newRow("POWER ON: B 9 bold") << "Command17" << kFaceBSubstitute << 9.0 << true;
    QTest::newRow("DVI: A 9 regular") << "Command4" << kFaceASubstitute << 9.0 << false;
    QTest::newRow("PC1: B 8.25 bold") << "Command40" << kFaceBSubstitute << 8.25 << true;
    QTest::newRow("TXD monitor: A 9.75 bold") << "Label11" << kFaceASubstitute << 9.75 << true;
    QTest::newRow("TXD title: B 8.25 regular") << "Label9" << kFaceBSubstitute << 8.25 << false;
    QTest::newRow("command entry: A 9.75 bold") << "Text1" << kFaceASubstitute << 9.75 << true;
    QTest::newRow("COM1 option: B 9 bold") << "Option1" << kFaceBSubstitute << 9.0 << true;
}

void TstLayoutBuilder::fontOfControl()
{
    QFETCH(QString, name);
    QFETCH(QString, family);
    QFETCH(qreal, points);
    QFETCH(bool, bold);
    const QFont font = widgets_.value(name)->font();
    QCOMPARE(font.pointSizeF(), points);
    QCOMPARE(font.weight(), bold ? QFont::Bold : QFont::Normal);
    if (!QFontDatabase::families().contains(family))
        QSKIP("stand-in Gothic fonts are not installed");
    QCOMPARE(QFontInfo(font).family(), family);
}

void TstLayoutBuilder::windowLook()
{
    QCOMPARE(window_->font().pointSizeF(), 7.5);
    QCOMPARE(window_->font().weight(), QFont::Normal);
    QCOMPARE(window_->palette().color(QPalette::Window), QColor(0xC0C0C0));
    QVERIFY(window_->autoFillBackground());
    QVERIFY(window_->windowTitle().isEmpty()); // the window class owns its title
}

void TstLayoutBuilder::startVisibility()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    for (const char* name : {"Frame8", "Option1", "Option3", "Frame13", "Command34"})
        QVERIFY2(!widget(name)->isVisible(), name);
    for (const char* name : {"Command33", "Frame9", "Label25", "Text1", "Image1", "Line1"})
        QVERIFY2(widget(name)->isVisible(), name);
}

void TstLayoutBuilder::optionsExcludeWithinTheirFrame_data()
{
    QTest::addColumn<QStringList>("selectInTurn");
    QTest::addColumn<QStringList>("checked");
    QTest::newRow("at creation only 19200") << QStringList{} << QStringList{"Option3"};
    QTest::newRow("COM1 keeps the speed")
        << QStringList{"Option1"} << QStringList{"Option1", "Option3"};
    QTest::newRow("COM2 replaces COM1")
        << QStringList{"Option1", "Option2"} << QStringList{"Option2", "Option3"};
    QTest::newRow("9600 replaces 19200, port untouched")
        << QStringList{"Option1", "Option4"} << QStringList{"Option1", "Option4"};
    QTest::newRow("back to 19200") << QStringList{"Option4", "Option3"} << QStringList{"Option3"};
}

void TstLayoutBuilder::optionsExcludeWithinTheirFrame()
{
    QFETCH(QStringList, selectInTurn);
    QFETCH(QStringList, checked);
    for (const QString& name : selectInTurn)
        qobject_cast<QRadioButton*>(widgets_.value(name))->setChecked(true);
    QStringList actual;
    for (const char* name : {"Option1", "Option2", "Option3", "Option4"})
        if (as<QRadioButton>(name)->isChecked()) actual << utf8(name);
    QCOMPARE(actual, checked);
}

void TstLayoutBuilder::focusChainFollowsTabIndices()
{
    std::vector<const LayoutRow*> rows;
    for (const LayoutRow& r : layoutTable())
        if (widget(r.name)->focusPolicy() & Qt::TabFocus) rows.push_back(&r);
    std::sort(rows.begin(), rows.end(), [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
    QStringList expected;
    for (const LayoutRow* r : rows)
        expected << utf8(r->name);

    QStringList chain;
    for (QWidget* w = window_->nextInFocusChain(); w != window_.get(); w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus) chain << w->objectName();
    QCOMPARE(chain.first(), QStringLiteral("Command17"));
    QCOMPARE(chain, expected);
}

void TstLayoutBuilder::focusStartsOnPowerOn()
{
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QTRY_COMPARE(QApplication::focusWidget(), widget("Command17"));
}

void TstLayoutBuilder::colours()
{
    const auto textOf = [](QWidget* w) { return w->palette().color(w->foregroundRole()); };
    QCOMPARE(textOf(widget("Label25")), QColor(0xFF0000));
    QCOMPARE(textOf(widget("Label1")), QColor(0xC00000));
    QCOMPARE(textOf(widget("Label21")), QColor(Qt::black));
    const auto backOf = [](QWidget* w) { return w->palette().color(w->backgroundRole()); };
    QCOMPARE(backOf(widget("Label25")), QColor(Qt::white));
    QCOMPARE(backOf(widget("Option1")), QColor(0xC0C0C0));
    QVERIFY(widget("Option1")->autoFillBackground());
    QCOMPARE(widget("Command17")->palette().color(QPalette::Button), QColor(0xC0FFC0));
    QCOMPARE(widget("Command6")->palette().color(QPalette::Button), QColor(0xFF8000));
    // COM keeps the system's button face.
    QCOMPARE(widget("Command33")->palette().color(QPalette::Button),
             QApplication::palette().color(QPalette::Button));
    QCOMPARE(widget("Text1")->palette().color(QPalette::Base),
             QApplication::palette().color(QPalette::Base));
}

void TstLayoutBuilder::flatButtonEdge_data()
{
    QTest::addColumn<bool>("focused");
    QTest::addColumn<bool>("down");
    QTest::addColumn<QList<QRgb>>("faceUpperLeftLowerRight");
    const QRgb green = 0xC0FFC0;
    QTest::newRow("raised") << false << false << QList<QRgb>{green, 0xFFFFFF, 0x808080};
    QTest::newRow("focused") << true << false << QList<QRgb>{green, 0x404040, 0x000000};
    QTest::newRow("pressed: darker, sunken")
        << true << true
        << QList<QRgb>{QColor(green).darker(115).rgb() & RGB_MASK, 0x808080, 0xFFFFFF};
}

void TstLayoutBuilder::flatButtonEdge()
{
    QFETCH(bool, focused);
    QFETCH(bool, down);
    QFETCH(QList<QRgb>, faceUpperLeftLowerRight);
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    auto* on = as<QPushButton>("Command17");
    (focused ? on : as<QPushButton>("Command33"))->setFocus();
    QTRY_COMPARE(on->hasFocus(), focused);
    on->setDown(down);
    const QImage image = on->grab().toImage();
    const int right = image.width() - 1, bottom = image.height() - 1;
    // The top row and the left column are the upper-left colour corner to corner.
    QList<QRgb> seen{image.pixel(1, bottom / 2), image.pixel(right, 0), image.pixel(0, bottom),
                     image.pixel(right, bottom)};
    for (QRgb& pixel : seen)
        pixel &= RGB_MASK;
    const QList<QRgb>& want = faceUpperLeftLowerRight;
    QCOMPARE(seen, (QList<QRgb>{want[0], want[1], want[1], want[2]}));
}

void TstLayoutBuilder::labelsShowTextLiterally()
{
    auto* monitor = as<QLabel>("Label12");
    QCOMPARE(monitor->textFormat(), Qt::PlainText);
    QVERIFY(as<QLabel>("Label20")->wordWrap());
    QVERIFY(!as<QLabel>("Label6")->wordWrap());
    QCOMPARE(as<QLabel>("Label9")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(as<QLabel>("Label4")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

void TstLayoutBuilder::borderedLabelHasBlackBox_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("text");
    QTest::newRow("TXD monitor") << "Label11" << QColor(Qt::black);
    QTest::newRow("RXD monitor") << "Label12" << QColor(Qt::black);
    QTest::newRow("status line, red text") << "Label25" << QColor(0xFF0000);
}

void TstLayoutBuilder::borderedLabelHasBlackBox()
{
    QFETCH(QString, name);
    QFETCH(QColor, text);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QWidget* label = widgets_.value(name);
    QCOMPARE(label->palette().color(label->foregroundRole()), text);
    const QImage image = label->grab().toImage();
    const QPoint inside(image.width() / 2, 2);
    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black));
    QCOMPARE(image.pixelColor(image.width() - 1, image.height() - 1), QColor(Qt::black));
    QCOMPARE(image.pixelColor(inside), QColor(Qt::white));
}

void TstLayoutBuilder::frameInsideKeepsItsColour()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    // An empty spot inside the POWER frame, left of its buttons and below its title.
    const QImage image = widget("Frame1")->grab().toImage();
    QCOMPARE(image.pixelColor(4, 40), QColor(0xC0C0C0));
}

void TstLayoutBuilder::longCaptionWrapsOntoTwoLines()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    // "DISPLAY CLEAR" is wider than its button: its words stand one above the other, so ink
    // appears in both the upper and the lower third, which a single centred line never reaches.
    const QImage image = widget("Command3")->grab().toImage();
    const auto inkInRows = [&image](int from, int to) {
        int ink = 0;
        for (int y = from; y < to; ++y)
            for (int x = 2; x < image.width() - 2; ++x)
                ink += image.pixelColor(x, y).lightness() < 64;
        return ink;
    };
    const int third = image.height() / 3;
    QVERIFY(inkInRows(2, third) > 0);
    QVERIFY(inkInRows(2 * third, image.height() - 2) > 0);
    QCOMPARE(qobject_cast<QPushButton*>(widget("Command3"))->text(),
             QStringLiteral("DISPLAY CLEAR"));
}

void TstLayoutBuilder::lensShiftTitleWrapsOntoTwoLines()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    // The title is top-aligned and two lines high: "SHIFT" stands in the lower half.
    const QImage image = widget("Label20")->grab().toImage();
    int lowerInk = 0;
    for (int y = image.height() / 2; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            lowerInk += image.pixelColor(x, y).lightness() < 64;
    QVERIFY(lowerInk > 0);
    QCOMPARE(qobject_cast<QLabel*>(widget("Label20"))->text(), QStringLiteral("LENS SHIFT"));
}

void TstLayoutBuilder::buttonsDoNotActOnTheirOwn()
{
    for (QPushButton* button : window_->findChildren<QPushButton*>()) {
        QVERIFY2(!button->autoDefault() && !button->isDefault(), qPrintable(button->objectName()));
        QVERIFY2(!button->autoRepeat(), qPrintable(button->objectName()));
        QCOMPARE(button->focusPolicy(), Qt::StrongFocus);
    }
}

void TstLayoutBuilder::arrowPadLinesAreDrawn()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    const QImage image = window_->grab().toImage();
    const QColor line(kLineColour);
    // Line1 is solid from (72,160) down to (72,192); Line7 is dotted from (72,160) to (144,160).
    for (int y = 162; y < 190; ++y)
        QCOMPARE(image.pixelColor(70 + 1, y), line);
    int onLine = 0;
    for (int x = 76; x < 140; ++x)
        onLine += image.pixelColor(x, 160) == line;
    QVERIFY2(onLine > 10 && onLine < 60, "a dotted line has gaps");
    QVERIFY(widget("Line9")->testAttribute(Qt::WA_TransparentForMouseEvents));
}

void TstLayoutBuilder::emblem()
{
    QCOMPARE(emblemPixmap().size(), QSize(kEmblemWidth, kEmblemHeight));
    QVERIFY(!emblemPixmap().hasAlphaChannel());
    auto* image = as<EmblemLabel>("Image1");
    QVERIFY(image);
    QCOMPARE(image->pixmap().size(), QSize(80, 26));
    QCOMPARE(image->size(), QSize(80, 26));
    const QList<QSize> sizes = appIcon().availableSizes();
    for (const int side : {16, 32, 48, 64, 256})
        QVERIFY(sizes.contains(QSize(side, side)));
}

void TstLayoutBuilder::emblemReportsDoubleClick()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    auto* image = as<EmblemLabel>("Image1");
    QSignalSpy spy(image, &EmblemLabel::doubleClicked);
    QTest::mouseClick(image, Qt::LeftButton);
    QCOMPARE(spy.count(), 0);
    QTest::mouseDClick(image, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
}

QTEST_MAIN(TstLayoutBuilder)
#include "tst_layout_builder.moc"

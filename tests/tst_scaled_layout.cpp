// The panel at 200 % scaling: every position doubles exactly in device pixels, and the window is
// painted at the doubled resolution rather than enlarged from a 100 % picture.
#include "panel/layout_table.h"
#include "window/emblem.h"
#include "window/form1.h"
#include "window/layout_builder.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

class TestScaledLayout : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void paintedAtDoubleResolution();
    void buttonEdgesAtDoubledPixels_data();
    void buttonEdgesAtDoubledPixels();
    void titleBarStaysOnAShortScreen();

  private:
    Form1* form_ = nullptr;
    QImage grab_;
};

namespace
{
constexpr int kScale = 2;

// A control's top-left in window pixels at 100 %, from the layout table alone.
QPoint designedTopLeft(const char* name)
{
    QPoint at;
    for (const LayoutRow* row = findLayoutRow(QString::fromUtf8(name)); row;
         row = *row->parent ? findLayoutRow(QString::fromUtf8(row->parent)) : nullptr)
        at += QPoint(twipsToPixels(row->left), twipsToPixels(row->top));
    return at;
}

QSize designedSize(const char* name)
{
    const LayoutRow* row = findLayoutRow(QString::fromUtf8(name));
    return QSize(twipsToPixels(row->width), twipsToPixels(row->height));
}
} // namespace

void TestScaledLayout::initTestCase()
{
    QCOMPARE(qApp->devicePixelRatio(), qreal(kScale));
    installFontSubstitutions();
    form_ = new Form1;
    const QPixmap pixmap = form_->grab();
    QCOMPARE(pixmap.devicePixelRatio(), qreal(kScale));
    grab_ = pixmap.toImage();
}

void TestScaledLayout::cleanupTestCase()
{
    delete form_;
}

void TestScaledLayout::paintedAtDoubleResolution()
{
    const QSize logical(twipsToPixels(kDesignClientWidthTwips), form_->height());
    QCOMPARE(form_->width(), logical.width());
    QCOMPARE(grab_.size(), logical * kScale);
    // Text is drawn at device resolution: the designed point sizes ask for twice the pixels.
    QWidget* power = form_->control(QStringLiteral("Command17"));
    QCOMPARE(power->font().pointSizeF(), 9.0);
    QCOMPARE(power->devicePixelRatio(), qreal(kScale));
    // The emblem is drawn for the scaled screen, not stretched.
    const QPixmap emblem = form_->Image1->pixmap();
    QCOMPARE(emblem.devicePixelRatio(), qreal(kScale));
    QCOMPARE(emblem.size(), QSize(kEmblemWidth, kEmblemHeight) * kScale);
}

void TestScaledLayout::buttonEdgesAtDoubledPixels_data()
{
    QTest::addColumn<QByteArray>("control");
    QTest::addColumn<QColor>("face");
    QTest::newRow("POWER ON, in a frame") << QByteArray("Command17") << QColor(0xC0FFC0);
    QTest::newRow("POWER OFF, overlapping its neighbour")
        << QByteArray("Command18") << QColor(0xFFC0C0);
    QTest::newRow("arrow pad SELECT") << QByteArray("Command6") << QColor(0xFF8000);
    QTest::newRow("VOL +, on the window") << QByteArray("Command1") << QColor(0xFFC080);
    QTest::newRow("A-IMAGE, right column") << QByteArray("Command13") << QColor(0x00C0C0);
    QTest::newRow("SEND, lowest frame") << QByteArray("Command53") << QColor(0xC0FFC0);
}

void TestScaledLayout::buttonEdgesAtDoubledPixels()
{
    QFETCH(QByteArray, control);
    QFETCH(QColor, face);
    const QRect device(designedTopLeft(control.constData()) * kScale,
                       designedSize(control.constData()) * kScale);
    QCOMPARE(form_->control(QString::fromLatin1(control))->mapTo(form_, QPoint()) * kScale,
             device.topLeft());
    // The one-pixel raised edge becomes two device pixels: light along the top and left, dark
    // along the bottom, and the face starts right inside it. (The right edge may lie under the
    // neighbour that overlaps by one pixel.)
    const QColor light(0xFFFFFF), dark(0x808080);
    const QPoint along(3 * kScale, 0), down(0, 3 * kScale), inset(kScale, kScale);
    QCOMPARE(grab_.pixelColor(device.topLeft() + along), light);
    QCOMPARE(grab_.pixelColor(device.topLeft() + along + QPoint(0, 1)), light);
    QCOMPARE(grab_.pixelColor(device.topLeft() + down), light);
    QCOMPARE(grab_.pixelColor(device.topLeft() + down + QPoint(1, 0)), light);
    QCOMPARE(grab_.pixelColor(device.topLeft() + inset), face);
    QCOMPARE(grab_.pixelColor(device.bottomLeft() + along), dark);
    QCOMPARE(grab_.pixelColor(device.bottomLeft() + along - QPoint(0, 1)), dark);
    QCOMPARE(grab_.pixelColor(device.bottomLeft() + along - QPoint(0, kScale)), face);
}

void TestScaledLayout::titleBarStaysOnAShortScreen()
{
    // 1600 x 1200 at 200 %: 600 logical pixels, shorter than the full window.
    Form1::setMessageBoxHook([](const QString&, const QString&) {});
    Form1 form;
    form.MSComm1.setDevices(QStringLiteral("/dev/zeva-test-none"), QString());
    form.Form_Load();
    Form1::setMessageBoxHook({});
    QCOMPARE(form.screen()->availableGeometry().height(), 600);
    QCOMPARE(form.frameGeometry().top(), 0);
}

int main(int argc, char** argv)
{
    // Before the application exists, as a desktop set to 200 % would have it, on a screen of
    // 1600 x 1200 device pixels.
    qputenv("QT_SCALE_FACTOR", QByteArray::number(kScale));
    QTemporaryDir dir;
    QFile screens(dir.filePath(QStringLiteral("screens.json")));
    if (!screens.open(QIODevice::WriteOnly) ||
        screens.write(R"({"screens": [{"name": "panel-test", "x": 0, "y": 0, "width": 1600,
                      "height": 1200, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") < 0)
        return 1;
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    QApplication app(argc, argv);
    TestScaledLayout test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_scaled_layout.moc"

#include "form_harness.h"
#include "panel/layout_table.h"
#include "panel/views.h"
#include "window/emblem.h"

#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

// The compact, monitor, extended and full views: how they are reached and what each shows.
class TestViews : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void ctrlJOnlyWithCtrlAlone_data();
    void ctrlJOnlyWithCtrlAlone();
    void ctrlJFromTheTextBox();
    void emblemOpensFullViewOnlyAfterCtrlJ();
    void toggleClosesAndSwitchesMonitor();
    void toggleRestartsPortFrameTimer();
    void toggleCaptionIsNotCut();
    void heightsShowTheirBands_data();
    void heightsShowTheirBands();
    void focusAtOpenAndFixedWidth();
    void screenshots();

  private:
    std::unique_ptr<FormHarness> h;
    Form1& form() { return *h->form; }
    // Through the window, so the key reaches the focused control as the platform delivers it.
    void ctrlJ() { QTest::keyClick(form().windowHandle(), Qt::Key_J, Qt::ControlModifier); }
    void doubleClickEmblem() { QTest::mouseDClick(form().Image1, Qt::LeftButton); }
};

void TestViews::init()
{
    h = std::make_unique<FormHarness>();
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
}

void TestViews::ctrlJOnlyWithCtrlAlone_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("opens");
    QTest::newRow("Ctrl+J") << int(Qt::ControlModifier) << true;
    QTest::newRow("Ctrl+Shift+J") << int(Qt::ControlModifier | Qt::ShiftModifier) << false;
    QTest::newRow("Ctrl+Alt+J") << int(Qt::ControlModifier | Qt::AltModifier) << false;
    QTest::newRow("J alone") << int(Qt::NoModifier) << false;
    QTest::newRow("Shift+J") << int(Qt::ShiftModifier) << false;
}

void TestViews::ctrlJOnlyWithCtrlAlone()
{
    QFETCH(int, modifiers);
    QFETCH(bool, opens);
    QTest::keyClick(form().windowHandle(), Qt::Key_J, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(form().windowHeightTwips(), opens ? kExtendedHeightTwips : kCompactHeightTwips);
    QCOMPARE(form().ExtendedView, qint16(opens ? 1 : 0));
    QCOMPARE(form().Command34->isHidden(), !opens);
    if (opens)
        QCOMPARE(form().Command34->text(), QStringLiteral("CLOSE"));
    else
        QCOMPARE(form().Command34->text(), QStringLiteral("データを表示する"));
}

void TestViews::ctrlJFromTheTextBox()
{
    form().Text1->setFocus();
    QTest::keyClick(form().Text1, Qt::Key_J, Qt::ControlModifier);
    QCOMPARE(form().windowHeightTwips(), kExtendedHeightTwips);
    QTest::keyClicks(form().Text1, QStringLiteral("cr0")); // keys still reach the box
    QCOMPARE(form().Text1->text(), QStringLiteral("cr0"));
}

void TestViews::emblemOpensFullViewOnlyAfterCtrlJ()
{
    doubleClickEmblem();
    QCOMPARE(form().windowHeightTwips(), kCompactHeightTwips);
    QVERIFY(form().Command34->isHidden());
    ctrlJ();
    doubleClickEmblem();
    QCOMPARE(form().windowHeightTwips(), kFullHeightTwips);
    QCOMPARE(form().Command34->text(), QStringLiteral("CLOSE"));
    ctrlJ();
    QCOMPARE(form().windowHeightTwips(), kExtendedHeightTwips);
    QCOMPARE(form().Command34->text(), QStringLiteral("CLOSE"));
    QCOMPARE(form().ExtendedView, qint16(1));
}

void TestViews::toggleClosesAndSwitchesMonitor()
{
    ctrlJ();
    QTest::mouseClick(form().Command34, Qt::LeftButton);
    QCOMPARE(form().windowHeightTwips(), kCompactHeightTwips);
    QCOMPARE(form().Command34->text(), QStringLiteral("データを表示する"));
    QCOMPARE(form().ExtendedView, qint16(0));
    doubleClickEmblem(); // no longer opens the full view
    QCOMPARE(form().windowHeightTwips(), kCompactHeightTwips);
    form().Command34_Click(); // it lies below the edge now; the handler still works
    QCOMPARE(form().windowHeightTwips(), kMonitorHeightTwips);
    QCOMPARE(form().Command34->text(), QStringLiteral("データを表示しない"));
    QTest::mouseClick(form().Command34, Qt::LeftButton);
    QCOMPARE(form().windowHeightTwips(), kCompactHeightTwips);
    QVERIFY(!form().Command34->isHidden()); // nothing hides it again
}

void TestViews::toggleCaptionIsNotCut()
{
    form().Command34->show();
    form().Command34_Click(); // the monitor view: the caption needs two lines
    QPushButton* toggle = form().Command34;
    QCOMPARE(toggle->text(), QStringLiteral("データを表示しない"));
    QStyleOptionButton option;
    option.initFrom(toggle);
    const QRect area =
        toggle->style()->subElementRect(QStyle::SE_PushButtonContents, &option, toggle);
    const QImage image = toggle->grab().toImage();
    // Strokes cut at the caption's area would leave ink on its first or last row.
    auto inkOnRow = [&](int y) {
        int ink = 0;
        for (int x = area.left() + 1; x < area.right(); ++x)
            ink += qGray(image.pixel(x, y)) < 96;
        return ink;
    };
    QCOMPARE(inkOnRow(area.top()), 0);
    QCOMPARE(inkOnRow(area.bottom()), 0);
    int inkRows = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        inkRows += inkOnRow(y) > 0;
    QVERIFY(inkRows >= area.height() / 2); // two lines still drawn, not shrunk away
}

void TestViews::toggleRestartsPortFrameTimer()
{
    form().Command33_Click();
    QTest::qWait(300);
    QVERIFY(form().Timer3.remainingTime() < 4800);
    form().Command34_Click();
    QVERIFY(form().Timer3.isActive());
    QVERIFY(form().Timer3.remainingTime() > 4900);
    QVERIFY(!form().Frame8->isHidden());
}

void TestViews::heightsShowTheirBands_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QStringList>("inside");
    QTest::addColumn<QStringList>("cut");
    QTest::addColumn<QStringList>("outside");
    QTest::newRow("compact 5350") << kCompactHeightTwips
                                  << QStringList{"Frame1", "Command16", "Command43", "Command33"}
                                  << QStringList{} << QStringList{"Frame9", "Command34", "Frame15"};
    QTest::newRow("monitor 6645") << kMonitorHeightTwips
                                  << QStringList{"Frame9", "Command34", "Command44", "Command46"}
                                  << QStringList{"Frame15", "Command45", "Command47"}
                                  << QStringList{"Frame16", "Frame2", "Frame14"};
    QTest::newRow("extended 7200")
        << kExtendedHeightTwips << QStringList{"Frame9", "Frame15", "Command52", "Command47"}
        << QStringList{} << QStringList{"Frame16", "Frame2", "Command64", "Frame14"};
    QTest::newRow("full 9100") << kFullHeightTwips
                               << QStringList{"Frame15", "Frame16", "Frame2", "Command65",
                                              "Frame14"}
                               << QStringList{} << QStringList{};
}

void TestViews::heightsShowTheirBands()
{
    QFETCH(int, height);
    QFETCH(QStringList, inside);
    QFETCH(QStringList, cut);
    QFETCH(QStringList, outside);
    form().setWindowHeightTwips(height);
    const int client = form().height();
    auto span = [&](const QString& name) {
        QWidget* w = form().control(name);
        const int top = w->mapTo(&form(), QPoint(0, 0)).y();
        return std::pair{top, top + w->height()};
    };
    for (const QString& name : inside)
        QVERIFY2(span(name).second <= client, qPrintable(name));
    for (const QString& name : cut) {
        const auto [top, bottom] = span(name);
        QVERIFY2(top < client && bottom > client, qPrintable(name));
    }
    for (const QString& name : outside)
        QVERIFY2(span(name).first >= client, qPrintable(name));
}

void TestViews::focusAtOpenAndFixedWidth()
{
    form().control(QStringLiteral("Command17"))->setFocus();
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command17"));
    QCOMPARE(form().minimumWidth(), form().maximumWidth());
    QCOMPARE(form().width(), twipsToPixels(kDesignClientWidthTwips));
    QCOMPARE(form().windowTitle(), QStringLiteral("ZEVA   LQ500 & LQ400  CONTROL  Ver.1.40"));
}

void TestViews::screenshots()
{
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots");
    QVERIFY(QDir().mkpath(dir));
    auto shoot = [&](const char* name) {
        QCoreApplication::processEvents();
        QVERIFY(form().grab().save(dir + QLatin1Char('/') + QLatin1String(name) + ".png"));
    };
    shoot("compact");
    form().Command33_Click();
    shoot("port-frame");
    form().Timer3_Timer();
    form().Command34->show();
    form().Command34_Click();
    form().LastCommand = QStringLiteral("CR0\r");
    form().Hyouji(form().LastCommand, 1);
    QVERIFY(h->reply("00\r"));
    shoot("data-on");
    ctrlJ();
    shoot("extended");
    doubleClickEmblem();
    shoot("full");
}

QTEST_MAIN(TestViews)
#include "tst_views.moc"

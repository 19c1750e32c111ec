#include "panel/layout_table.h"
#include "window/form1.h"
#include "window/layout_builder.h"
#include "window/panel_accessibility.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>

class TestAccessibility : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void namedControl_data();
    void namedControl();
    void everyButtonNamedOnce();
    void dataToggleKeepsItsNameInEveryView();

  private:
    Form1* form_ = nullptr;
};

namespace
{
// What a screen reader or an automation tool reads.
QString spoken(QWidget* widget, QAccessible::Text kind)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(kind) : QString();
}
} // namespace

void TestAccessibility::initTestCase()
{
    installFontSubstitutions();
    form_ = new Form1;
}

void TestAccessibility::cleanupTestCase()
{
    delete form_;
}

void TestAccessibility::namedControl_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("toolTip");
    QTest::newRow("command: POWER ON") << "Command17"
                                       << "POWER ON"
                                       << "C00";
    QTest::newRow("same caption, INPUT") << "Command28"
                                         << "INPUT VIDEO"
                                         << "C07";
    QTest::newRow("same caption, SOURCE") << "Command29"
                                          << "SOURCE VIDEO"
                                          << "CF SOURCE VIDEO";
    QTest::newRow("caption with a trailing blank") << "Command4"
                                                   << "SOURCE DVI"
                                                   << "CF SOURCE DIGTAL";
    QTest::newRow("two inner blanks") << "Command64"
                                      << "below FAN SPEED PJ USE"
                                      << "CR PROJH";
    QTest::newRow("group with two blanks") << "Command31"
                                           << "VIDEO image Normal"
                                           << "C0F";
    QTest::newRow("query button, not the STATUS label") << "Command44"
                                                        << "query block STATUS"
                                                        << "CR0";
    QTest::newRow("adjuster: Zoom +") << "Command15"
                                      << "Zoom +"
                                      << "C47";
    QTest::newRow("adjuster: VOL -") << "Command2"
                                     << "VOL -"
                                     << "C0A";
    QTest::newRow("arrow pad up") << "Command5"
                                  << "arrow pad ↑"
                                  << "C3C";
    QTest::newRow("arrow pad centre") << "Command6"
                                      << "arrow pad SELECT"
                                      << "C3F";
    QTest::newRow("lens shift up, not the arrow") << "Command59"
                                                  << "LENS SHIFT ↑"
                                                  << "C5D";
    QTest::newRow("entry button from its frame title") << "Command53"
                                                       << "CMD SEND"
                                                       << "";
    QTest::newRow("entry clear") << "Command54"
                                 << "CMD CLS"
                                 << "";
    QTest::newRow("entry text box") << "Text1"
                                    << "CMD"
                                    << "";
    QTest::newRow("button on the window: END") << "Command16"
                                               << "END"
                                               << "";
    QTest::newRow("button on the window: COM") << "Command33"
                                               << "COM"
                                               << "";
    QTest::newRow("port option") << "Option2"
                                 << "port COM2"
                                 << "";
    QTest::newRow("speed option in the inner frame") << "Option3"
                                                     << "speed 19200"
                                                     << "";
    QTest::newRow("data toggle") << "Command34"
                                 << "data toggle"
                                 << "";
}

void TestAccessibility::namedControl()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, toolTip);
    QWidget* widget = form_->control(control);
    QVERIFY(widget);
    QCOMPARE(spoken(widget, QAccessible::Name), name);
    QCOMPARE(widget->toolTip(), toolTip);
    QCOMPARE(accessibleTextFor(control).name, name);
    if (!toolTip.isEmpty()) QCOMPARE(spoken(widget, QAccessible::Description), toolTip);
}

void TestAccessibility::everyButtonNamedOnce()
{
    // Unique across the window, which is stricter than unique within each group.
    QSet<QString> seen;
    const QList<QAbstractButton*> buttons = form_->findChildren<QAbstractButton*>();
    QVERIFY(buttons.size() >= 70);
    for (QAbstractButton* button : buttons) {
        const QString name = spoken(button, QAccessible::Name);
        QVERIFY2(!name.trimmed().isEmpty(), qPrintable(button->objectName()));
        QVERIFY2(!seen.contains(name), qPrintable(button->objectName() + ": " + name));
        seen.insert(name);
    }
}

void TestAccessibility::dataToggleKeepsItsNameInEveryView()
{
    form_->Form_KeyDown(Qt::Key_J, 2); // Ctrl+J: the toggle shows and changes its caption
    QCOMPARE(form_->Command34->text(), QStringLiteral("CLOSE"));
    QCOMPARE(spoken(form_->Command34.data(), QAccessible::Name),
             QString::fromUtf8(kDataToggleName));
    form_->Command34_Click();
    QVERIFY(form_->Command34->text() != QStringLiteral("CLOSE"));
    QCOMPARE(spoken(form_->Command34.data(), QAccessible::Name),
             QString::fromUtf8(kDataToggleName));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"

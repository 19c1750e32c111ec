#include "window/form1.h"

#include "panel/layout_table.h"
#include "panel/views.h"
#include "window/emblem.h"
#include "window/layout_builder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <limits>

namespace
{

Form1::MessageBoxHook& messageBoxHook()
{
    static Form1::MessageBoxHook hook;
    return hook;
}

} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    controls_ = buildLayout(this);
    bindControls();
    setUpTimers();
    connectHandlers();
    connectPanel();
    connectHistory();
    connectPortsDialog();
    endProgram = [] { QCoreApplication::quit(); };
    setWindowHeightTwips(kDesignClientHeightTwips + chromeTwips());
    qApp->installEventFilter(this);
}

Form1::~Form1()
{
    qApp->removeEventFilter(this);
}

void Form1::setMessageBoxHook(MessageBoxHook hook)
{
    messageBoxHook() = std::move(hook);
}

void Form1::showWarning(const QString& text)
{
    if (endingBySignal_) return; // the program is ending: a box would only hold it up
    const QString title = QCoreApplication::applicationName();
    if (messageBoxHook()) {
        messageBoxHook()(text, title);
        return;
    }
    // Device paths and system messages are text, never markup to render.
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void Form1::bindControls()
{
    Label11 = qobject_cast<QLabel*>(control(QStringLiteral("Label11")));
    Label12 = qobject_cast<QLabel*>(control(QStringLiteral("Label12")));
    Label25 = qobject_cast<QLabel*>(control(QStringLiteral("Label25")));
    Frame8 = control(QStringLiteral("Frame8"));
    Option1 = qobject_cast<QRadioButton*>(control(QStringLiteral("Option1")));
    Option2 = qobject_cast<QRadioButton*>(control(QStringLiteral("Option2")));
    Option3 = qobject_cast<QRadioButton*>(control(QStringLiteral("Option3")));
    Option4 = qobject_cast<QRadioButton*>(control(QStringLiteral("Option4")));
    Command34 = qobject_cast<QPushButton*>(control(QStringLiteral("Command34")));
    Text1 = qobject_cast<QLineEdit*>(control(QStringLiteral("Text1")));
    Image1 = qobject_cast<EmblemLabel*>(control(QStringLiteral("Image1")));
    Q_ASSERT(Label11 && Label12 && Label25 && Frame8 && Option1 && Option2 && Option3 && Option4 &&
             Command34 && Text1 && Image1);
    // The monitor shows whatever the line carries: never let a reply be read as markup.
    for (QLabel* label : {Label11.data(), Label12.data(), Label25.data()})
        label->setTextFormat(Qt::PlainText);
    // The entry takes a command of any length.
    Text1->setMaxLength(std::numeric_limits<int>::max());
}

void Form1::setUpTimers()
{
    const std::pair<QTimer*, int> timers[] = {
        {&Timer1, 200}, {&Timer2, 500}, {&Timer3, 5000}, {&Timer4, 1000}};
    for (auto [timer, interval] : timers) {
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(interval);
    }
}

void Form1::connectHandlers()
{
    connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    connect(&Timer3, &QTimer::timeout, this, &Form1::Timer3_Timer);
    connect(&Timer4, &QTimer::timeout, this, &Form1::Timer4_Timer);
    connect(&MSComm1, &SerialComm::OnComm, this, &Form1::MSComm1_OnComm);
    connect(&MSComm1, &SerialComm::reconnected, this, &Form1::MSComm1_Reconnected);
    connect(&MSComm1, &SerialComm::lineLost, this, [this](const QString& description) {
        portFailed_ = true;
        history.addLineLost(description);
        forgetReceived();
        // A loss is also found inside a write, in the middle of a transmission: the modal box
        // and its event loop wait until the current event has been handled to its end.
        QMetaObject::invokeMethod(
            this, [this, description] { showWarning(description); }, Qt::QueuedConnection);
    });
    // One box per outage; the attempts to reopen the line are for the history.
    MSComm1.setReopensLostLine(true);
    connect(&MSComm1, &SerialComm::retryFailed, this,
            [this](int attempt, const QString& description) {
                portFailed_ = true;
                history.addRetry(attempt, description);
            });
    const std::pair<const char*, void (Form1::*)()> clicks[] = {
        {"Option1", &Form1::Option1_Click},     {"Option2", &Form1::Option2_Click},
        {"Option3", &Form1::Option3_Click},     {"Option4", &Form1::Option4_Click},
        {"Command33", &Form1::Command33_Click}, {"Command16", &Form1::Command16_Click},
        {"Command53", &Form1::Command53_Click}, {"Command54", &Form1::Command54_Click},
        {"Command34", &Form1::Command34_Click}};
    for (auto [name, handler] : clicks) {
        auto* button = qobject_cast<QAbstractButton*>(control(QLatin1String(name)));
        Q_ASSERT(button);
        connect(button, &QAbstractButton::clicked, this, handler);
    }
    connect(Image1, &EmblemLabel::doubleClicked, this, &Form1::Image1_DblClick);
}

int Form1::chromeTwips() const
{
    // The heights were designed for a frame with a title bar. Before the window is shown, and on
    // platforms that decorate nothing or give only a thin border (offscreen, a bare X server),
    // the designed frame stands in, so that every view still shows exactly its bands.
    const int framePixels = frameGeometry().height() - geometry().height();
    return framePixels >= kMinTitledFramePixels ? framePixels * kTwipsPerPixel
                                                : kFallbackChromeTwips;
}

void Form1::setWindowHeightTwips(int twips)
{
    heightTwips_ = twips;
    appliedChromeTwips_ = chromeTwips();
    const int clientPixels = qMax(0, (twips - appliedChromeTwips_) / kTwipsPerPixel);
    setFixedSize(twipsToPixels(kDesignClientWidthTwips), clientPixels);
}

bool Form1::event(QEvent* event)
{
    // A window manager reports its frame only after the window is mapped: keep the outer
    // height once the real frame is known.
    const bool result = QWidget::event(event);
    if ((event->type() == QEvent::Move || event->type() == QEvent::Show) &&
        chromeTwips() != appliedChromeTwips_)
        setWindowHeightTwips(heightTwips_);
    return result;
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat() && key->key() == heldKey_) heldKey_ = 0;
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        // Key preview: the window sees the key first, at its first receiver only (the focused
        // control), and lets it travel on.
        QWidget* target = QApplication::focusWidget();
        if (watched == (target ? target : this) && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == this) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const Qt::KeyboardModifiers m = key->modifiers();
            const int shift = (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
                              (m & Qt::AltModifier ? 4 : 0);
            Form_KeyDown(key->key(), shift);
            return clickFocusedButton(target, key);
        }
        return false;
    }
    return handleAdjusterMouse(watched, event);
}

bool Form1::clickFocusedButton(QWidget* target, const QKeyEvent* key)
{
    // Return and Enter activate the focused button as Space does; adjusters are held with the
    // mouse only.
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    auto* button = qobject_cast<QPushButton*>(target);
    if (!button || adjusterOf_.contains(button) || !button->isEnabled()) return false;
    // A held key sends once. Its first press always counts, even when it comes marked as a
    // repeat: a key released in another program's window (a box dismissed with Return) can
    // leave the mark on our next press.
    const bool firstPress = !key->isAutoRepeat() || heldKey_ != key->key();
    heldKey_ = key->key();
    if (firstPress) button->click();

    return true;
}

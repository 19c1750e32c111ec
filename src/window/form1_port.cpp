// Port settings, start-up and shut-down.
#include "panel/layout_table.h"
#include "panel/views.h"
#include "window/form1.h"

#include <QApplication>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>

void Form1::Form_Load()
{
    PortSettings = settingsForSpeed(kStartSpeed);
    centreWithDesignedHeight();
    setWindowHeightTwips(kCompactHeightTwips);
    HoldCode = 0;
    AwaitingReply = 0;
    forgetReceived();
    // Which device or address each option stands for, where the operator chooses.
    Option1->setToolTip(MSComm1.devicePath(1));
    Option2->setToolTip(MSComm1.devicePath(2));
    (void)MSComm1.setCommPort(1);
    (void)MSComm1.setSettings(PortSettings);
    // A port that cannot be opened here is reported once, by the port choice just below; a
    // port that opens is recorded there too, when the choice reopens it.
    startFailure_ = openPort();
    portFailed_ = startFailure_.has_value();
    // Selecting the option in code runs its click, as a click by the operator would.
    Option1->setChecked(true);
    Option1_Click();
}

void Form1::centreWithDesignedHeight()
{
    // The top is where the full-height window would sit when centred, so the compact window
    // opens above the middle of the screen.
    const QScreen* screen = this->screen();
    if (!screen) return;
    const QRect area = screen->geometry();
    const int outerWidth = frameGeometry().width();
    const int outerHeight = (kDesignClientHeightTwips + chromeTwips()) / kTwipsPerPixel;
    // On a screen shorter than the full window the title bar must stay reachable.
    const QRect usable = screen->availableGeometry();
    move(qMax(usable.left(), area.left() + (area.width() - outerWidth) / 2),
         qMax(usable.top(), area.top() + (area.height() - outerHeight) / 2));
}

void Form1::selectPort(int port)
{
    CommError failure;
    bool wasOpen = false;
    if (MSComm1.PortOpen()) {
        failure = MSComm1.setPortOpen(false);
        wasOpen = true;
    }
    if (CommError e = MSComm1.setCommPort(port); e && !failure) failure = e;
    // After a failure the port is closed although the operator wants it open: a port choice
    // ends with the chosen port open, or with the warning.
    // Start-up's failure is this one's: trying again at once would only wait once more for
    // an address that does not answer.
    if (!failure && (wasOpen || portFailed_))
        failure = startFailure_ ? std::exchange(startFailure_, std::nullopt) : openPort();
    if (failure) {
        history.addPortFailed(*failure);
        showWarning(*failure);
        const int other = port == 1 ? 2 : 1;
        (void)MSComm1.setCommPort(other);
        // The frame shows the port in use, not the one that failed.
        QRadioButton* inUse = other == 1 ? Option1 : Option2;
        const QSignalBlocker blocker(inUse);
        inUse->setChecked(true);
        portFailed_ = true;
        return;
    }
    if (MSComm1.PortOpen() && (wasOpen || portFailed_)) notePortOpened();
    portFailed_ = false;
    Frame8->hide();
}

CommError Form1::openPort()
{
    CommError failure = MSComm1.setPortOpen(true);
    // Characters from a previous line belong to no reply on this one.
    if (!failure) forgetReceived();
    return failure;
}

void Form1::MSComm1_Reconnected()
{
    // As after a port choice: the port is open again and nothing of the old line is kept.
    portFailed_ = false;
    forgetReceived();
    notePortOpened();
}

void Form1::selectSpeed(const QString& settings)
{
    PortSettings = settings;
    (void)MSComm1.setSettings(PortSettings); // both strings are fixed and valid
    history.addSpeedChanged(PortSettings);
    Frame8->hide();
}

void Form1::Command33_Click()
{
    Frame8->show();
    Frame8->raise(); // it covers "COM" while shown
    enableTimer(Timer3);
}

void Form1::Timer3_Timer()
{
    Frame8->hide();
    Timer3.stop();
}

void Form1::endBySignal()
{
    // The box may belong to start-up, before the event loop runs, where quitting the loop
    // would not end its modal one: close the box itself.
    endingBySignal_ = true;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget)) box->done(QMessageBox::Ok);
    Command16_Click();
}

void Form1::Command16_Click()
{
    (void)MSComm1.setPortOpen(false);
    close();
    endProgram();
}

// What the panel's buttons do: single-press rows from the command table, hold-to-repeat rows from
// the adjuster table. Both are joined to the window's controls by control name.
#include "panel/adjuster_table.h"
#include "panel/command_table.h"
#include "window/form1.h"
#include "window/panel_accessibility.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

void Form1::connectPanel()
{
    for (const CommandRow& row : commandTable()) {
        auto* button = qobject_cast<QPushButton*>(control(QLatin1String(row.control)));
        Q_ASSERT(button);
        connect(button, &QPushButton::clicked, this, [this, &row] { Command_Click(row); });
    }
    for (const AdjusterRow& row : adjusterTable()) {
        auto* button = qobject_cast<QPushButton*>(control(QLatin1String(row.control)));
        Q_ASSERT(button);
        button->setAutoRepeat(false);
        adjusterOf_.insert(button, &row);
    }
    describePanelForAccessibility(*this);
}

void Form1::Command_Click(const CommandRow& row)
{
    sendCommand(QLatin1String(row.command),
                row.hasIntervals() ? std::optional(Intervals{row.replyWindowMs, row.clearDelayMs})
                                   : std::nullopt);
    if (row.navigation) {
        Timer1.setInterval(kNavigationRepeatMs);
        ArrowContext = kNavigationContext;
    }
}

void Form1::Adjuster_MouseDown(const AdjusterRow& row)
{
    heldRow_ = &row;
    if (row.kind == AdjusterKind::Arrow) {
        const auto intervals = arrowIntervals(ArrowContext);
        HoldCode = row.holdCode;
        sendCommand(QLatin1String(row.command),
                    intervals ? std::optional(Intervals{intervals->first, intervals->second})
                              : std::nullopt);
        enableTimer(Timer1);
        return;
    }
    HoldCode = row.holdCode;
    sendCommand(QLatin1String(row.command));
    // Set after the send: a running timer restarts from its new interval, so the exchange just
    // started gets the short window that fits between two repeats.
    Timer1.setInterval(row.repeatMs);
    Timer2.setInterval(row.replyWindowMs);
    Timer4.setInterval(row.clearDelayMs);
    enableTimer(Timer1);
}

void Form1::Adjuster_MouseUp(const AdjusterRow& row)
{
    heldRow_ = nullptr;
    HoldCode = 0;
    Timer1.stop();
    Timer2.stop();
    enableTimer(Timer4);
    Label11->clear();
    Label12->clear();
    Timer2.setInterval(kReleaseReplyWindowMs);
    Timer4.setInterval(kReleaseClearDelayMs);
    forgetReceived();
    if (row.dZoom) {
        Timer1.setInterval(kDZoomReleaseRepeatMs);
        ArrowContext = kDZoomContext;
    }
}

void Form1::Timer1_Timer()
{
    if (HoldCode == 0) return;
    const AdjusterRow* row = findAdjusterByCode(HoldCode);
    if (!row) return;
    // A tick faster than the line (the 5 ms arrow repeat at 9600 baud) must not queue commands
    // that would go on moving after the release: it skips while the last one is still going out.
    if (MSComm1.OutBufferCount() > 0) return;
    sendCommand(QLatin1String(row->command));
    enableTimer(Timer1);
}

bool Form1::handleAdjusterMouse(QObject* watched, QEvent* event)
{
    const AdjusterRow* row = adjusterOf_.value(watched);
    if (!row) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: // a double click's second press arrives as this alone
        Adjuster_MouseDown(*row);
        break;
    case QEvent::MouseButtonRelease:
        // The release reaches the pressed button wherever the pointer is; a release whose hold
        // was already ended as lost is not run twice.
        if (heldRow_) Adjuster_MouseUp(*heldRow_);
        break;
    case QEvent::Hide:
    case QEvent::EnabledChange:
        if (heldRow_ == row) releaseLostHold();
        break;
    default:
        break;
    }
    return false; // the button still shows itself pressed and released
}

void Form1::releaseLostHold()
{
    // Without its release a hold would drive zoom or lens shift forever.
    if (heldRow_) Adjuster_MouseUp(*heldRow_);
}

void Form1::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        releaseLostHold();
        heldKey_ = 0; // its release goes to another window
    }
    QWidget::changeEvent(event);
}

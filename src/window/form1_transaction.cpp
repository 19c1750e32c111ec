// The command transaction and the line monitor: out through Hyouji mode 1, in through
// MSComm1_OnComm and Hyouji mode 2; Timer2 ends the reply window, Timer4 empties the monitor.
#include "status/display_form.h"
#include "window/form1.h"

#include <QLabel>

namespace
{

// RxBuffer holds at most kMaxRenderedChars characters, so a line that floods with no window
// ending costs one bounded rendering per event instead of an ever longer one. Past the bound it
// drops what came before the reply to the last command first, from the front, so that a reply
// keeps its start even when stray characters had filled the buffer before it was asked for:
// the decoding reads replies from their start. Of the reply itself it keeps the first characters.
void appendBounded(QString& buffer, qsizetype& replyStart, QStringView piece)
{
    const qsizetype excess = buffer.size() + piece.size() - kMaxRenderedChars;
    if (excess > 0) {
        const qsizetype older = qMin(excess, replyStart);
        buffer.remove(0, older);
        replyStart -= older;
    }
    const qsizetype room = kMaxRenderedChars - buffer.size();
    if (room > 0) buffer += piece.left(room);
}

} // namespace

void Form1::Hyouji(const QString& text, int mode)
{
    if (mode == 1) {
        // A closed port sends nothing; the exchange still runs and ends with the time-out mark.
        const CommError unsent = MSComm1.Output(text);
        // The reply to this command starts here: what was collected before it belongs to an
        // earlier exchange, or to none, and must not be read as part of this one.
        replyStart_ = RxBuffer.size();
        replyCutOff_ = false;
        Label11->setText(DisplayForm(text));
        history.addTx(text, HoldCode != 0 && Timer1.isActive());
        if (unsent) history.addNotSent(*unsent);
        enableTimer(Timer2);
        AwaitingReply = 1;
        enableTimer(Timer4);
        return;
    }
    // The monitor shows everything collected; the decoding reads only the reply to the last
    // command, in the same rendering.
    Label12->setText(DisplayForm(text));
    if (replyCutOff_) return;
    const QStringView reply = QStringView(text).mid(qMin(replyStart_, text.size()));
    const Decoded decoded = history.addDecoded(LastCommand, reply);
    if (decoded.status) Label25->setText(*decoded.status);
    if (decoded.readingValue) ReadingValue = *decoded.readingValue;
}

void Form1::MSComm1_OnComm()
{
    if (MSComm1.CommEvent() != SerialComm::kEvReceive) return;
    const QString piece = MSComm1.Input();
    history.addRx(piece, Timer2.isActive());
    appendBounded(RxBuffer, replyStart_, piece);
    AwaitingReply = 0;
    Hyouji(RxBuffer, 2);
    checkHandedOverReply();
    // Characters outside any exchange would otherwise stay on the monitor and the status line
    // indefinitely.
    if (!Timer2.isActive()) enableTimer(Timer4);
}

void Form1::Timer2_Timer()
{
    if (AwaitingReply == 1) Label12->setText(kTimeOutMark);
    if (AwaitingReply == 1) history.addTimeOut(kTimeOutMark);
    // A reply cut off by the window's end: its rest, arriving after RxBuffer was emptied, is no
    // reply on its own ("34" of "1234" is not 34 hours), so nothing is decoded until the next
    // command goes out. A reply that had not begun yet still decodes when it comes late.
    const QStringView reply = QStringView(RxBuffer).mid(qMin(replyStart_, RxBuffer.size()));
    replyCutOff_ = !reply.isEmpty() && !reply.contains(u'\r');
    Timer2.stop();
    // A handed-over command's reply window ran out: what had come of its reply goes with it.
    if (handedOver_) endHandedOver(ExchangeOutcome::TimedOut, RxBuffer.mid(replyStart_));
    forgetReceived();
    AwaitingReply = 0;
}

void Form1::forgetReceived()
{
    RxBuffer.clear();
    replyStart_ = 0;
    replyHeld_ = false;
}

void Form1::Timer4_Timer()
{
    Label11->clear();
    Label12->clear();
    Label25->clear();
    Timer4.stop();
}

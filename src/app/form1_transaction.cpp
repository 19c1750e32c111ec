// The command transaction and the line monitor: out through Hyouji mode 1, in through
// MSComm1_OnComm and Hyouji mode 2; Timer2 ends the reply window, Timer4 empties the monitor.
#include "app/form1.h"
#include "link/display_form.h"
#include "status/decode.h"

#include <QLabel>

namespace
{

const QString kTimeOutMark = QStringLiteral(" X X X X");

// RxBuffer keeps its first kMaxRenderedChars characters and drops what arrives after them until
// the reply window ends. The decoding reads replies from the start of the buffer, so the start is
// what carries meaning; a line that floods with no window ending then costs one bounded rendering
// per event instead of an ever longer one.
void appendBounded(QString& buffer, const QString& piece)
{
    const qsizetype room = kMaxRenderedChars - buffer.size();
    if (room > 0) buffer += QStringView(piece).left(room);
}

} // namespace

void Form1::Hyouji(const QString& text, int mode)
{
    if (mode == 1) {
        // A closed port sends nothing; the exchange still runs and ends with the time-out mark.
        (void)MSComm1.Output(text);
        Label11->setText(DisplayForm(text));
        history.addTx(text, HoldCode != 0 && Timer1.isActive());
        enableTimer(Timer2);
        AwaitingReply = 1;
        enableTimer(Timer4);
        return;
    }
    Label12->setText(DisplayForm(text));
    const Decoded decoded = decodeReply(LastCommand, Label12->text());
    if (decoded.status) Label25->setText(*decoded.status);
    if (decoded.status) history.addStatus(*decoded.status);
    if (decoded.readingValue) ReadingValue = *decoded.readingValue;
}

void Form1::MSComm1_OnComm()
{
    if (MSComm1.CommEvent() != SerialComm::kEvReceive) return;
    const QString piece = MSComm1.Input();
    history.addRx(piece, Timer2.isActive());
    appendBounded(RxBuffer, piece);
    AwaitingReply = 0;
    Hyouji(RxBuffer, 2);
}

void Form1::Timer2_Timer()
{
    if (AwaitingReply == 1) Label12->setText(kTimeOutMark);
    if (AwaitingReply == 1) history.addTimeOut(kTimeOutMark);
    Timer2.stop();
    RxBuffer.clear();
    AwaitingReply = 0;
}

void Form1::Timer4_Timer()
{
    Label11->clear();
    Label12->clear();
    Label25->clear();
    Timer4.stop();
}

// The free command entry: SEND puts the typed text and one CR on the line, CLS empties the box.
#include "window/form1.h"

#include <QLineEdit>

namespace
{
constexpr int kEntryReplyWindowMs = 500;
constexpr int kEntryClearDelayMs = 1000;
} // namespace

void Form1::Command53_Click()
{
    EntryText = Text1->text();
    sendCommand(EntryText, Intervals{kEntryReplyWindowMs, kEntryClearDelayMs});
    sentCommands.remember(EntryText);
}

void Form1::Command54_Click()
{
    Text1->clear();
}

// The free command entry: SEND puts the typed text and one CR on the line, CLS empties the box.
#include "window/form1.h"

#include <QLineEdit>

void Form1::Command53_Click()
{
    Timer2.setInterval(500);
    Timer4.setInterval(1000);
    EntryText = Text1->text();
    LastCommand = EntryText + QLatin1Char('\r');
    Hyouji(LastCommand, 1);
    sentCommands.remember(EntryText);
}

void Form1::Command54_Click()
{
    Text1->clear();
}

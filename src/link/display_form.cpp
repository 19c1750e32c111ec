#include "display_form.h"

QString DisplayForm(const QString& text)
{
    const qsizetype count = qMin(text.size(), kMaxRenderedChars);
    QString out;
    out.reserve(1 + 4 * count);
    out += QLatin1Char(' ');
    for (qsizetype i = 0; i < count; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 6) {
            out += QLatin1String("ACK ");
        } else if (c == 13) {
            out += QLatin1String("CR ");
        } else if (c == 10) {
            out += QLatin1String("LF  ");
        } else if (c >= 32 && c <= 'z') {
            out += QChar(c);
            out += QLatin1Char(' ');
        } else {
            out += QLatin1String("? ");
        }
    }
    return out;
}

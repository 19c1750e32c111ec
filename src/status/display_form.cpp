#include "display_form.h"

namespace
{

// Writes one character's piece at `out` and returns the position after it.
QChar* appendPiece(QChar* out, char16_t c)
{
    auto put = [&out](const char* piece) {
        while (*piece)
            *out++ = QLatin1Char(*piece++);
    };
    if (c == 6)
        put("ACK ");
    else if (c == 13)
        put("CR ");
    else if (c == 10)
        put("LF  ");
    else if (c >= 32 && c <= 'z') {
        *out++ = QChar(c);
        *out++ = QLatin1Char(' ');
    } else
        put("? ");
    return out;
}

} // namespace

QString DisplayForm(QStringView text)
{
    // The receive path renders the whole buffer on every piece: write into one buffer sized
    // for the longest pieces instead of appending piece by piece.
    const qsizetype count = qMin(text.size(), kMaxRenderedChars);
    QString out(1 + 4 * count, Qt::Uninitialized);
    QChar* end = out.data();
    *end++ = QLatin1Char(' ');
    const QChar* in = text.data();
    for (qsizetype i = 0; i < count; ++i)
        end = appendPiece(end, in[i].unicode());
    out.truncate(end - out.constData());
    return out;
}

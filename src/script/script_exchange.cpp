#include "script/script_exchange.h"

#include "link/display_form.h"
#include "status/decode.h"

namespace
{

const QString kRefused = QStringLiteral("?\r");

// The decoding reads the RXD line's rendering of the reply, as in the window.
Decoded decodeResult(const ExchangeResult& r)
{
    return decodeReply(r.command + QLatin1Char('\r'), DisplayForm(r.reply));
}

QByteArray jsonString(const QString& text)
{
    QByteArray out = "\"";
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'"' || u == u'\\') {
            out += '\\';
            out += char(u);
        } else if (u == u'\r') {
            out += "\\r";
        } else if (u == u'\n') {
            out += "\\n";
        } else if (u < 0x20 || u == 0x7f) {
            out += QByteArray("\\u00") + QByteArray::number(u, 16).rightJustified(2, '0');
        } else {
            out += QString(c).toUtf8();
        }
    }
    return out + '"';
}

} // namespace

QString formatLine(const ExchangeResult& r)
{
    QString line =
        r.command + QLatin1Char('\t') +
        ((r.timedOut || r.interrupted) && r.reply.isEmpty() ? kTimeOutMark : DisplayForm(r.reply));
    if (const Decoded d = decodeResult(r); d.status) line += QLatin1Char('\t') + *d.status;
    return line;
}

QByteArray formatJson(const ExchangeResult& r)
{
    const Decoded d = decodeResult(r);
    return "{\"command\":" + jsonString(r.command) + ",\"reply\":" + jsonString(r.reply) +
           ",\"reply_hex\":\"" + r.reply.toLatin1().toHex() +
           "\",\"status\":" + (d.status ? jsonString(*d.status) : QByteArray("null")) +
           ",\"reading\":" +
           (d.readingValue ? QByteArray::number(*d.readingValue) : QByteArray("null")) +
           ",\"timed_out\":" + (r.timedOut ? "true" : "false") +
           ",\"ms\":" + QByteArray::number(r.ms) + '}';
}

ScriptExit exitStatusOf(const ExchangeResult& r)
{
    if (r.interrupted) return kExitInterrupted;
    if (r.timedOut) return kExitTimedOut;
    return r.reply == kRefused ? kExitRefused : kExitReplied;
}

#include "script/script_exchange.h"

#include "status/decode.h"
#include "status/display_form.h"

#include <QLocale>
#include <QRegularExpression>

namespace
{

const QString kRefused = QStringLiteral("?\r");

Decoded decodeResult(const ExchangeResult& r)
{
    return decodeExchange(r.command + QLatin1Char('\r'), r.answer.reply);
}

// No reply came in time, or the line could not carry the command; an operator's interruption
// is told apart.
bool timedOut(const ExchangeAnswer& a)
{
    return a.outcome == ExchangeOutcome::TimedOut || a.outcome == ExchangeOutcome::NotOpen;
}

QByteArray jsonString(QStringView text)
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

// The reply before its CR, where the projector writes its numbers; nothing when no CR came, as
// a number cut off by the time-out would be a wrong one.
QStringView replyText(const QString& reply)
{
    const qsizetype cr = reply.indexOf(u'\r');
    return cr < 0 ? QStringView() : QStringView(reply).left(cr);
}

// A plain decimal field ("512", "+25.0", "-3.5") as a JSON number; null for anything else.
QByteArray jsonNumber(QStringView field)
{
    static const QRegularExpression kDecimal(QStringLiteral("^[+-]?[0-9]{1,15}(\\.[0-9]{1,15})?$"));
    if (!kDecimal.match(field.toString()).hasMatch()) return "null";
    return QByteArray::number(field.toDouble(), 'g', QLocale::FloatingPointShortest);
}

// Lamp hours: the reply's digits. Temperatures: the first three fields between blanks, or null
// when none of them is a number (a refusal). Other queries: the window's ReadingValue.
QByteArray jsonReading(const ExchangeResult& r, const Decoded& d)
{
    if (r.command == QLatin1String("CR3")) return jsonNumber(replyText(r.answer.reply));
    if (r.command == QLatin1String("CR6")) {
        const QList<QStringView> fields = replyText(r.answer.reply).split(u' ', Qt::SkipEmptyParts);
        QByteArrayList numbers;
        for (qsizetype i = 0; i < 3; ++i)
            numbers << jsonNumber(i < fields.size() ? fields.at(i) : QStringView());
        if (numbers.count("null") == 3) return "null";
        return '[' + numbers.join(',') + ']';
    }
    return d.readingValue ? QByteArray::number(*d.readingValue) : QByteArray("null");
}

} // namespace

QString formatLine(const ExchangeResult& r)
{
    const ExchangeAnswer& a = r.answer;
    QString line =
        r.command + QLatin1Char('\t') +
        (a.outcome != ExchangeOutcome::Replied && a.reply.isEmpty() ? kTimeOutMark
                                                                    : DisplayForm(a.reply));
    if (const Decoded d = decodeResult(r); d.status) line += QLatin1Char('\t') + *d.status;
    return line;
}

QByteArray formatJson(const ExchangeResult& r)
{
    const Decoded d = decodeResult(r);
    const ExchangeAnswer& a = r.answer;
    return "{\"command\":" + jsonString(r.command) + ",\"reply\":" + jsonString(a.reply) +
           ",\"reply_hex\":\"" + a.reply.toLatin1().toHex() +
           "\",\"status\":" + (d.status ? jsonString(*d.status) : QByteArray("null")) +
           ",\"state\":" +
           (d.state ? jsonString(QString(stateRow(*d.state).name)) : QByteArray("null")) +
           ",\"reading\":" + jsonReading(r, d) +
           ",\"timed_out\":" + (timedOut(a) ? "true" : "false") +
           ",\"ms\":" + QByteArray::number(a.ms) + '}';
}

ScriptExit exitStatusOf(const ExchangeResult& r)
{
    if (r.answer.outcome == ExchangeOutcome::Interrupted) return kExitInterrupted;
    if (timedOut(r.answer)) return kExitTimedOut;
    return r.answer.reply == kRefused ? kExitRefused : kExitReplied;
}

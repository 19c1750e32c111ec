// The readers of the two programs' command lines, of the port listing's device texts and of the
// simulator's incoming byte stream.
#include "fuzz_entries.h"

#include "app/list_ports.h"
#include "app/options.h"
#include "sim_options.h"
#include "sim_projector.h"

#include <QStringList>
#include <algorithm>
#include <climits>
#include <random>

namespace
{

// The arguments an input stands for: its bytes as UTF-8, cut at every NUL (which no real
// argument can hold).
QStringList argumentsOf(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList args;
    for (const QByteArray& arg : bytes.split('\0'))
        args << QString::fromUtf8(arg);
    if (size == 0) args.clear();
    return args;
}

// zeva-control's command line read plainly, form by form as the help text lists them.
Options modelOptions(const QStringList& args)
{
    Options o;
    o.com1 = defaultDevice(1);
    o.com2 = defaultDevice(2);
    for (qsizetype i = 0; i < args.size() && o.error.isEmpty(); ++i) {
        const QString& a = args[i];
        const bool com1 = a.startsWith("--com1"), com2 = a.startsWith("--com2");
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--list-ports") {
            o.listPorts = true;
        } else if ((com1 || com2) && (a.size() == 6 || a[6] == u'=')) {
            QString value = a.mid(7);
            if (a.size() == 6) value = i + 1 < args.size() ? args[++i] : QString();
            if (value.isEmpty())
                o.error = "needs a device path";
            else
                (com1 ? o.com1 : o.com2) = value;
        } else {
            o.error = "unknown option";
        }
    }
    return o;
}

// The command line that stands for `o`, in the long form with '='.
QStringList simArguments(const SimOptions& o)
{
    QStringList args{"zeva-projector-sim"};
    const auto add = [&args](const char* name, qint64 value) {
        args << QStringLiteral("--%1=%2").arg(QLatin1String(name)).arg(value);
    };
    add("transition-ms", o.timing.countDownMs);
    add("pieces", o.style.pieces);
    add("late", o.style.lateMs);
    add("flood", o.floodRate);
    if (o.hangUpAfter > 0) add("hangup-after", o.hangUpAfter);
    add("seed", o.seed);
    if (o.style.silent) args << "--silent";
    if (o.style.garbage > 0) args << "--garbage";
    if (!o.linkPath.isEmpty()) args << "--link=" + o.linkPath;
    return args;
}

bool sameSimOptions(const SimOptions& a, const SimOptions& b)
{
    return a.style.silent == b.style.silent && a.style.pieces == b.style.pieces &&
           a.style.garbage == b.style.garbage && a.style.lateMs == b.style.lateMs &&
           a.timing.countDownMs == b.timing.countDownMs &&
           a.timing.coolingMs == b.timing.coolingMs && a.linkPath == b.linkPath &&
           a.floodRate == b.floodRate && a.hangUpAfter == b.hangUpAfter && a.seed == b.seed;
}

void checkSimOptionsInRange(const SimOptions& o, const QStringList& args)
{
    FUZZ_CHECK(o.style.pieces >= 1 && o.style.pieces <= 1000, args.join(u'|'));
    FUZZ_CHECK(o.style.lateMs >= 0 && o.style.lateMs <= 600'000, args.join(u'|'));
    FUZZ_CHECK(o.style.garbage == 0 || o.style.garbage == 3, args.join(u'|'));
    FUZZ_CHECK(o.floodRate >= 0 && o.floodRate <= 1'000'000, args.join(u'|'));
    FUZZ_CHECK(o.hangUpAfter >= 0, args.join(u'|'));
    FUZZ_CHECK(o.timing.countDownMs >= 0 && o.timing.countDownMs <= INT_MAX, args.join(u'|'));
    FUZZ_CHECK(o.timing.coolingMs == o.timing.countDownMs, args.join(u'|'));
}

// The commands a byte stream holds, read in one go: cut at CR, LFs left out, a line longer
// than the limit replaced by an empty command; what follows the last CR is not a command yet.
QList<QByteArray> modelCommands(const QByteArray& stream)
{
    QList<QByteArray> lines = stream.split('\r');
    lines.removeLast();
    for (QByteArray& line : lines) {
        line.replace('\n', QByteArray());
        if (line.size() > CommandFramer::kMaxLine) line.clear();
    }
    return lines;
}

} // namespace

void fuzzControlOptions(const uint8_t* data, size_t size)
{
    const QStringList args = argumentsOf(data, size);
    const Options o = parseOptions(args);
    const Options model = modelOptions(args);
    const auto detail = [&] { return args.join(u'|') + " -> " + o.error; };
    FUZZ_CHECK(o.error.isEmpty() == model.error.isEmpty(), detail());
    if (!o.error.isEmpty()) {
        FUZZ_CHECK(o.error.startsWith("unknown option '") || o.error.endsWith(model.error),
                   detail());
        return;
    }
    FUZZ_CHECK(o.com1 == model.com1 && o.com2 == model.com2, detail());
    FUZZ_CHECK(o.help == model.help && o.version == model.version, detail());
    FUZZ_CHECK(o.listPorts == model.listPorts, detail());
}

void fuzzSimOptions(const uint8_t* data, size_t size)
{
    const QStringList args = QStringList{"zeva-projector-sim"} + argumentsOf(data, size);
    const SimCommandLine line = readSimCommandLine(args);
    const auto detail = [&] { return args.join(u'|'); };
    FUZZ_CHECK(line.exitCode >= -1 && line.exitCode <= kExitUsage, detail());
    FUZZ_CHECK((line.exitCode == kExitUsage) == !line.error.isEmpty(), detail());
    if (line.exitCode >= 0) return;
    checkSimOptionsInRange(line.options, args);
    // Written back as a command line, the options read the same again.
    const QStringList again = simArguments(line.options);
    const SimCommandLine reread = readSimCommandLine(again);
    FUZZ_CHECK(reread.exitCode == -1 && sameSimOptions(reread.options, line.options),
               detail() + " -> " + again.join(u'|') + " -> " + reread.error);
}

// Bytes 0-3 seed the cutting of the rest into pieces of 1 to 300 bytes, fed one at a time.
void fuzzSimFraming(const uint8_t* data, size_t size)
{
    if (size < 4) return;
    std::minstd_rand cuts(data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24);
    const QByteArray stream(reinterpret_cast<const char*>(data + 4), qsizetype(size - 4));
    CommandFramer framer;
    SimProjector projector(SimTiming{0, 0});
    QList<QByteArray> commands;
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype length = qsizetype(cuts() % 300) + 1;
        for (const QByteArray& command : framer.feed(stream.mid(at, length))) {
            FUZZ_CHECK(command.size() <= CommandFramer::kMaxLine, QString::number(command.size()));
            const QByteArray reply = projector.answer(command, 0);
            FUZZ_CHECK(reply.endsWith('\r') && reply.indexOf('\r') == reply.size() - 1,
                       QString::fromLatin1(command) + " -> " + QString::fromLatin1(reply));
            commands << command;
        }
        at += length;
    }
    FUZZ_CHECK(commands == modelCommands(stream), QString::number(commands.size()));
}

// Ports made up from the bytes: records cut at NUL, fields at 0x01 (path, description, maker,
// serial number, then by-id links), each field as UTF-8.
void fuzzPortList(const uint8_t* data, size_t size)
{
    QList<PortRecord> ports;
    qsizetype expectedLines = 1; // the heading
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& record : bytes.split('\0')) {
        if (size == 0) break;
        QStringList fields;
        for (const QByteArray& field : record.split('\x01'))
            fields << QString::fromUtf8(field);
        while (fields.size() < 4)
            fields << QString();
        ports << PortRecord{fields[0], fields[1], fields[2], fields[3], fields.mid(4)};
        // A blank line, the path, and one line for every field that is not empty.
        expectedLines += 2 + std::count_if(fields.cbegin() + 1, fields.cend(),
                                           [](const QString& f) { return !f.isEmpty(); });
    }
    const QString out = formatPortList(ports);
    FUZZ_CHECK(out.endsWith(u'\n'), out.right(200));
    if (ports.isEmpty()) return;
    // A device's texts must not reach the terminal as control characters, nor start lines.
    for (const QChar c : out) {
        const bool control =
            c.category() == QChar::Other_Control || c.category() == QChar::Other_Format;
        FUZZ_CHECK(c == u'\n' || !control, QString::number(c.unicode(), 16));
    }
    FUZZ_CHECK(out.count(u'\n') == expectedLines, out.left(2000));
}

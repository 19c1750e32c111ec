// The readers of the two programs' command lines, of the port listing's device texts and of the
// simulator's incoming byte stream.
#include "fuzz_entries.h"

#include "app/options.h"
#include "link/device_address.h"
#include "ports/list_ports.h"
#include "sim_options.h"
#include "sim_projector.h"

#include <QHash>
#include <QHostAddress>
#include <QRegularExpression>
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

// Where the fuzzed parser looks for default devices: nowhere, so that no input waits on /dev
// and the defaults are known.
const QString kNoDevices = QStringLiteral("/nonexistent-zeva-fuzz-dev");

// What a value option does to `o`, written out option by option; an error text or empty.
QString modelValue(Options& o, const QString& name, const QString& value)
{
    bool number = false;
    const int n = value.toInt(&number);
    if (name == "--com1" || name == "--com2") {
        if (value.isEmpty()) return "needs a device path";
        if (!parseDeviceAddress(value).address) return "not a device address";
        (name == "--com1" ? o.com1 : o.com2) = value;
    } else if (name == "--log") {
        if (value.isEmpty()) return "needs a file name";
        o.logPath = value;
    } else if (name == "--send") {
        if (value.contains(u'\r') || value.contains(u'\n')) return "line break";
        o.sends << value;
    } else if (name == "--query") {
        static const QHash<QString, QString> queries{
            {"status", "CR0"},      {"input", "CR1"},      {"lamp-hours", "CR3"},
            {"setting", "CR4"},     {"hours", "CR PROJH"}, {"pressure", "CR PRESSURE"},
            {"temperatures", "CR6"}};
        if (!queries.contains(value)) return "unknown query";
        o.sends << queries.value(value);
    } else if (name == "--power") {
        if (value != "on" && value != "off") return "unknown power";
        o.sends << (value == "on" ? "C00" : "C02");
    } else if (name == "--port") {
        if (!number || (n != 1 && n != 2)) return "port";
        o.port = n;
    } else if (name == "--speed") {
        if (!number || (n != 19200 && n != 9600)) return "speed";
        o.settings = QString::number(n) + ",N,8,1";
    } else if (name == "--pjlink") {
        static const QRegularExpression address("^((\\[[0-9A-Fa-f:.]+\\]|[0-9.]+):)?[0-9]{1,5}$");
        const QString host = value.section(u':', 0, -2).remove(u'[').remove(u']');
        if (!address.match(value).hasMatch() || value.section(u':', -1).toUInt() > 65535 ||
            (!host.isEmpty() && QHostAddress(host).isNull()))
            return "pjlink address";
        o.pjlink = value;
    } else if (name == "--pjlink-password-file") {
        if (value.isEmpty()) return "needs a file name";
        if (!o.pjlinkPasswordFile.isEmpty()) return "given twice";
        o.pjlinkPasswordFile = value;
    } else if (name == "--name") {
        const bool ascii =
            std::all_of(value.cbegin(), value.cend(), [](QChar c) { return c >= ' ' && c <= '~'; });
        if (value.isEmpty() || !ascii || value.size() > 64) return "name";
        o.name = value;
    } else {
        if (!number || n < 1 || n > kMaxReplyTimeoutMs) return "timeout";
        o.timeoutMs = n;
    }
    return {};
}

// zeva-control's command line read plainly, form by form as the help text lists them.
Options modelOptions(const QStringList& args)
{
    static const QStringList valueOptions{
        "--com1",  "--com2",    "--send", "--query",  "--power", "--port",
        "--speed", "--timeout", "--log",  "--pjlink", "--name",  "--pjlink-password-file"};
    Options o;
    for (qsizetype i = 0; i < args.size() && o.error.isEmpty(); ++i) {
        const QString& a = args[i];
        const qsizetype eq = a.startsWith("--") ? a.indexOf(u'=') : -1;
        const QString name = eq > 0 ? a.left(eq) : a;
        if (valueOptions.contains(name)) {
            if (eq < 0 && i + 1 == args.size())
                o.error = "needs a value";
            else
                o.error = modelValue(o, name, eq > 0 ? a.mid(eq + 1) : args[++i]);
        } else if (eq < 0 && (a == "--help" || a == "-h")) {
            o.help = true;
        } else if (eq < 0 && a == "--version") {
            o.version = true;
        } else if (eq < 0 && a == "--list-ports") {
            o.listPorts = true;
        } else if (eq < 0 && a == "--json") {
            o.json = true;
        } else if (eq < 0 && a == "--serve") {
            o.serve = true;
        } else {
            o.error = "unknown option";
        }
    }
    // Script-only options without a command to send, and a log with one, are refused; the
    // check reads every argument, values included.
    if (o.error.isEmpty() && !o.sends.isEmpty() && !o.logPath.isEmpty()) o.error = "log";
    if (o.error.isEmpty() && !o.sends.isEmpty() && (o.serve || !o.pjlink.isEmpty()))
        o.error = "serve with send";
    // The service names its password file whether or not the site serves PJLink.
    if (o.error.isEmpty() && o.pjlink.isEmpty() &&
        ((!o.pjlinkPasswordFile.isEmpty() && !o.serve) || !o.name.isEmpty()))
        o.error = "pjlink options without --pjlink";
    for (const QString& a : args) {
        const QString name = a.section(u'=', 0, 0);
        const bool serveMay = o.serve && (name == "--port" || name == "--speed");
        if (o.error.isEmpty() && o.sends.isEmpty() && !serveMay &&
            (name == "--port" || name == "--speed" || name == "--timeout" || name == "--json"))
            o.error = "script only";
    }
    if (o.com1.isEmpty()) o.com1 = kNoDevices + "/ttyS0";
    if (o.com2.isEmpty()) o.com2 = kNoDevices + "/ttyS1";
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
    if (!o.listenHost.isEmpty()) {
        const bool v6 = o.listenHost.contains(u':');
        args << QStringLiteral("--listen=%1%2%3:%4")
                    .arg(v6 ? "[" : "", o.listenHost, v6 ? "]" : "")
                    .arg(o.listenPort);
    }
    return args;
}

bool sameSimOptions(const SimOptions& a, const SimOptions& b)
{
    return a.style.silent == b.style.silent && a.style.pieces == b.style.pieces &&
           a.style.garbage == b.style.garbage && a.style.lateMs == b.style.lateMs &&
           a.timing.countDownMs == b.timing.countDownMs &&
           a.timing.coolingMs == b.timing.coolingMs && a.linkPath == b.linkPath &&
           a.floodRate == b.floodRate && a.hangUpAfter == b.hangUpAfter && a.seed == b.seed &&
           a.listenHost == b.listenHost && a.listenPort == b.listenPort;
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
    FUZZ_CHECK(o.listenHost.isEmpty() || o.linkPath.isEmpty(), args.join(u'|'));
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
    const Options o = parseOptions(args, kNoDevices);
    const Options model = modelOptions(args);
    const auto detail = [&] { return args.join(u'|') + " -> " + o.error; };
    FUZZ_CHECK(o.error.isEmpty() == model.error.isEmpty(), detail() + " / " + model.error);
    if (!o.error.isEmpty()) return;
    FUZZ_CHECK(o.com1 == model.com1 && o.com2 == model.com2, detail());
    FUZZ_CHECK(o.help == model.help && o.version == model.version, detail());
    FUZZ_CHECK(o.listPorts == model.listPorts && o.json == model.json, detail());
    FUZZ_CHECK(o.sends == model.sends && o.logPath == model.logPath, detail());
    FUZZ_CHECK(o.port == model.port && o.settings == model.settings, detail());
    FUZZ_CHECK(o.timeoutMs == model.timeoutMs, detail());
    FUZZ_CHECK(o.serve == model.serve && o.pjlink == model.pjlink, detail());
    FUZZ_CHECK(o.pjlinkPasswordFile == model.pjlinkPasswordFile && o.name == model.name, detail());
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

#include "app/options.h"

#include "link/device_address.h"
#include "panel/command_table.h"
#include "ports/default_devices.h"

namespace
{

// Names for the commands a script needs most. Queries name their command; power names the
// panel's button, whose row in the command table holds the command.
struct NamedCommand {
    QLatin1StringView option;
    QLatin1StringView value;
    const char* command; // or nullptr: the command of `control`'s row
    const char* control;
};

// clang-format off
constexpr NamedCommand kNamedCommands[] = {
    // option                    value                         command         control
    {QLatin1StringView("--query"), QLatin1StringView("status"),       "CR0",          nullptr},
    {QLatin1StringView("--query"), QLatin1StringView("input"),        "CR1",          nullptr},
    {QLatin1StringView("--query"), QLatin1StringView("lamp-hours"),   "CR3",          nullptr},
    {QLatin1StringView("--query"), QLatin1StringView("setting"),      "CR4",          nullptr},
    {QLatin1StringView("--query"), QLatin1StringView("hours"),        "CR PROJH",     nullptr},
    {QLatin1StringView("--query"), QLatin1StringView("pressure"),     "CR PRESSURE",  nullptr},
    {QLatin1StringView("--query"), QLatin1StringView("temperatures"), "CR6",          nullptr},
    {QLatin1StringView("--power"), QLatin1StringView("on"),           nullptr,        "Command17"},
    {QLatin1StringView("--power"), QLatin1StringView("off"),          nullptr,        "Command18"},
};
// clang-format on

QString addNamed(Options& o, const QString& option, const QString& value)
{
    QStringList known;
    for (const NamedCommand& row : kNamedCommands) {
        if (row.option != option) continue;
        if (row.value == value) {
            o.sends << QLatin1String(
                row.command ? row.command
                            : findCommandRow(QString::fromLatin1(row.control))->command);
            return {};
        }
        known << row.value;
    }
    return QStringLiteral("option %1 takes one of: %2")
        .arg(option, known.join(QLatin1String(", ")));
}

QString addSend(Options& o, const QString& value)
{
    // The CR that ends a command is ours to add; a text with a line break would be two commands.
    if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')))
        return QStringLiteral("option --send takes one command without line breaks");
    o.sends << value;
    return {};
}

QString setChoice(int& field, const QString& value, std::initializer_list<int> choices,
                  QLatin1StringView option)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (ok && std::find(choices.begin(), choices.end(), n) != choices.end()) {
        field = n;
        return {};
    }
    QStringList names;
    for (int c : choices)
        names << QString::number(c);
    return QStringLiteral("option %1 takes %2").arg(option, names.join(QLatin1String(" or ")));
}

QString setSpeed(Options& o, const QString& value)
{
    int speed = 0;
    QString e = setChoice(speed, value, {19200, 9600}, QLatin1StringView("--speed"));
    if (e.isEmpty()) o.settings = QStringLiteral("%1,N,8,1").arg(speed);
    return e;
}

QString setTimeout(Options& o, const QString& value)
{
    bool ok = false;
    const int ms = value.toInt(&ok);
    if (!ok || ms < 1 || ms > kMaxReplyTimeoutMs)
        return QStringLiteral("option --timeout takes milliseconds from 1 to %1")
            .arg(kMaxReplyTimeoutMs);
    o.timeoutMs = ms;
    return {};
}

// Applies one option that takes a value; returns an error text, empty when all is well.
QString applyValue(Options& o, const QString& name, const QString& value)
{
    if (name == QLatin1String("--com1") || name == QLatin1String("--com2")) {
        if (value.isEmpty()) return QStringLiteral("option %1 needs a device path").arg(name);
        if (const DeviceAddressResult a = parseDeviceAddress(value); !a.address)
            return QStringLiteral("option %1: %2").arg(name, a.error);
        (name == QLatin1String("--com1") ? o.com1 : o.com2) = value;
        return {};
    }
    if (name == QLatin1String("--log")) {
        if (value.isEmpty()) return QStringLiteral("option --log needs a file name");
        o.logPath = value;
        return {};
    }
    if (name == QLatin1String("--send")) return addSend(o, value);
    if (name == QLatin1String("--query") || name == QLatin1String("--power"))
        return addNamed(o, name, value);
    if (name == QLatin1String("--port"))
        return setChoice(o.port, value, {1, 2}, QLatin1StringView("--port"));
    if (name == QLatin1String("--speed")) return setSpeed(o, value);
    return setTimeout(o, value);
}

const QLatin1StringView kValueOptions[] = {
    QLatin1StringView("--com1"),  QLatin1StringView("--com2"),    QLatin1StringView("--send"),
    QLatin1StringView("--query"), QLatin1StringView("--power"),   QLatin1StringView("--port"),
    QLatin1StringView("--speed"), QLatin1StringView("--timeout"), QLatin1StringView("--log")};

bool takesValue(const QString& name)
{
    return std::find(std::begin(kValueOptions), std::end(kValueOptions), name) !=
           std::end(kValueOptions);
}

// A flag without a value; false when `name` is none.
bool applyFlag(Options& o, const QString& name)
{
    const std::pair<const char*, bool Options::*> flags[] = {{"--help", &Options::help},
                                                             {"-h", &Options::help},
                                                             {"--version", &Options::version},
                                                             {"--list-ports", &Options::listPorts},
                                                             {"--json", &Options::json}};
    for (auto [flag, field] : flags) {
        if (name == QLatin1String(flag)) {
            o.*field = true;
            return true;
        }
    }
    return false;
}

// What only a script may ask for makes no sense without a command to send.
QString checkScriptOptions(const Options& o, const QStringList& args)
{
    if (!o.sends.isEmpty() && !o.logPath.isEmpty())
        return QStringLiteral(
            "option --log keeps the window's history; it does not go with --send, "
            "--query or --power");
    if (!o.sends.isEmpty()) return {};
    for (const QString& arg : args) {
        for (const char* option : {"--port", "--speed", "--timeout", "--json"}) {
            if (arg.section(QLatin1Char('='), 0, 0) == QLatin1String(option))
                return QStringLiteral("option %1 needs --send, --query or --power").arg(option);
        }
    }
    return {};
}

} // namespace

QString defaultDevice(int port)
{
    const DefaultDevices d = defaultDevices();
    return port == 1 ? d.com1 : d.com2;
}

Options parseOptions(const QStringList& args, const QString& devDirectory)
{
    Options o;
    for (qsizetype i = 0; i < args.size() && o.error.isEmpty(); ++i) {
        const QString& arg = args.at(i);
        const qsizetype eq = arg.startsWith(QLatin1String("--")) ? arg.indexOf(u'=') : -1;
        const QString name = eq > 0 ? arg.left(eq) : arg;
        if (takesValue(name)) {
            if (eq < 0 && i + 1 >= args.size())
                o.error =
                    QStringLiteral("option %1 needs %2")
                        .arg(name, name.startsWith(QLatin1String("--com"))
                                       ? QLatin1String("a device path")
                                   : name == QLatin1String("--log") ? QLatin1String("a file name")
                                                                    : QLatin1String("a value"));
            else
                o.error = applyValue(o, name, eq > 0 ? arg.mid(eq + 1) : args.at(++i));
        } else if (eq > 0 || !applyFlag(o, name)) {
            o.error = QStringLiteral("unknown option '%1'").arg(arg);
        }
    }
    if (o.error.isEmpty()) o.error = checkScriptOptions(o, args);
    // The search under /dev only for a device the command line leaves open.
    if (o.error.isEmpty() && (o.com1.isEmpty() || o.com2.isEmpty())) {
        const DefaultDevices defaults = defaultDevices(devDirectory);
        if (o.com1.isEmpty()) o.com1 = defaults.com1;
        if (o.com2.isEmpty()) o.com2 = defaults.com2;
    }
    return o;
}

QString usageText()
{
    return QStringLiteral(
               "Usage: zeva-control [--com1 DEVICE] [--com2 DEVICE] [--log FILE]\n"
               "       zeva-control --send TEXT [--send TEXT ...] [--query NAME] [--power on|off]\n"
               "                    [--com1 DEVICE] [--port 1|2] [--speed 19200|9600]\n"
               "                    [--timeout MS] [--json]\n"
               "       zeva-control --list-ports\n"
               "Remote-control panel for the projector on a serial line.\n\n"
               "  --com1 DEVICE  device behind the COM1 option (here %1)\n"
               "  --com2 DEVICE  device behind the COM2 option (here %2)\n"
               "                 any path: /dev/ttyUSB0, /dev/serial/by-id/..., /dev/pts/N;\n"
               "                 socket://HOST:PORT for a raw TCP port, or\n"
               "                 rfc2217://HOST:PORT for a Telnet COM Port Control port\n"
               "                 (default: the first and second USB serial adapter found,\n"
               "                 else /dev/ttyS0 and /dev/ttyS1)\n"
               "  --log FILE     append every command, reply, status and port event to FILE,\n"
               "                 one line each (Ctrl+H shows them in the History window)\n"
               "  --list-ports   list the serial ports this system knows, and which COM1 and\n"
               "                 COM2 stand for, and exit\n"
               "  --help         show this help and exit\n"
               "  --version      show the version and exit\n\n"
               "Scripting (no window): each command goes out with a CR, in order; one line per\n"
               "command is printed: the command, the reply as the RXD line shows it, and the\n"
               "decoded status when there is one. A panel already running on the device sends\n"
               "the commands for the script, as if they were typed into its command entry.\n"
               "  --send TEXT    send TEXT and wait for the reply up to its first CR\n"
               "  --query NAME   status, input, lamp-hours, setting, hours, pressure or\n"
               "                 temperatures: the query of that name\n"
               "  --power on|off the power commands\n"
               "  --port 1|2     use COM1 (default) or COM2\n"
               "  --speed 19200|9600  line speed (default 19200)\n"
               "  --timeout MS   wait at most MS milliseconds for each reply (default %3)\n"
               "  --json         print one JSON object per command instead: command, reply,\n"
               "                 reply_hex, status, reading, timed_out, ms; reading is the\n"
               "                 number of hours, pressure and lamp-hours, an array of the\n"
               "                 three temperatures (null where one is not a number), or\n"
               "                 null when the reply gave none\n\n"
               "Exit status: 0 every command got a reply; 1 a reply was \"?\" (refused);\n"
               "2 bad usage; 3 a reply did not come in time; 4 the port could not be opened.\n")
        .arg(defaultDevice(1), defaultDevice(2))
        .arg(kDefaultReplyTimeoutMs);
}

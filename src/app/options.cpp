#include "app/options.h"

#include "link/device_address.h"
#include "link/line_settings.h"
#include "panel/command_table.h"
#include "pjlink/pjlink_server.h"
#include "ports/default_devices.h"

#include <span>

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

QString addSend(Options& o, const QString&, const QString& value)
{
    // The CR that ends a command is ours to add; a text with a line break would be two commands.
    if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')))
        return QStringLiteral("option --send takes one command without line breaks");
    o.sends << value;
    return {};
}

QString setChoice(int& field, const QString& value, std::initializer_list<int> choices,
                  const QString& option)
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

QString setDevice(Options& o, const QString& name, const QString& value)
{
    if (const DeviceAddressResult a = parseDeviceAddress(value); !a.address)
        return QStringLiteral("option %1: %2").arg(name, a.error);
    (name == QLatin1String("--com1") ? o.com1 : o.com2) = value;
    return {};
}

QString setLog(Options& o, const QString&, const QString& value)
{
    o.logPath = value;
    return {};
}

QString setPjlink(Options& o, const QString& name, const QString& value)
{
    if (!parsePjlinkAddress(value))
        return QStringLiteral("option %1 takes [ADDR:]PORT, as 4352 or 127.0.0.1:4352").arg(name);
    o.pjlink = value;
    return {};
}

QString setPasswordFile(Options& o, const QString& name, const QString& value)
{
    // One place for the password: a second one would silently take its place.
    if (!o.pjlinkPasswordFile.isEmpty())
        return QStringLiteral("option %1 is given twice").arg(name);
    o.pjlinkPasswordFile = value;
    return {};
}

QString setName(Options& o, const QString& name, const QString& value)
{
    const bool ascii =
        std::all_of(value.cbegin(), value.cend(), [](QChar c) { return c >= u' ' && c <= u'~'; });
    if (!ascii || value.size() > kMaxPjlinkName)
        return QStringLiteral("option %1 takes up to %2 printable ASCII characters")
            .arg(name)
            .arg(kMaxPjlinkName);
    o.name = value;
    return {};
}

QString setPort(Options& o, const QString& name, const QString& value)
{
    return setChoice(o.port, value, {1, 2}, name);
}

QString setSpeed(Options& o, const QString& name, const QString& value)
{
    int speed = 0;
    QString e = setChoice(speed, value, {19200, 9600}, name);
    if (e.isEmpty()) o.settings = settingsForSpeed(speed);
    return e;
}

QString setTimeout(Options& o, const QString& name, const QString& value)
{
    bool ok = false;
    const int ms = value.toInt(&ok);
    if (!ok || ms < 1 || ms > kMaxReplyTimeoutMs)
        return QStringLiteral("option %1 takes milliseconds from 1 to %2")
            .arg(name)
            .arg(kMaxReplyTimeoutMs);
    o.timeoutMs = ms;
    return {};
}

enum class Section { Window, Script, Serve };
using Apply = QString (*)(Options&, const QString& name, const QString& value);

// One row per option: parsing and the usage text are both made from it. A row with `apply`
// takes a value named `value`; a row with `flag` takes none. `help` may hold %1 and %2 (the
// default devices) and %3 (the default time-out); its line breaks continue the description.
struct OptionRow {
    const char* name;
    const char* alias;   // a short form, or nullptr
    const char* value;   // how the usage names the value, or nullptr for a flag
    const char* missing; // what the error says is missing when no value follows
    bool refusesEmpty;   // an empty value is as good as none
    Section section;
    bool scriptOnly; // meaningless without a command to send
    Apply apply;
    bool Options::*flag;
    const char* help;
};

// clang-format off
constexpr OptionRow kOptionRows[] = {
    // name        alias    value         missing          empty? section          script apply       flag
    //     help
    {"--com1",       nullptr, "DEVICE",     "a device path", true,  Section::Window, false, setDevice,  nullptr,
         "device behind the COM1 option (here %1)"},
    {"--com2",       nullptr, "DEVICE",     "a device path", true,  Section::Window, false, setDevice,  nullptr,
         "device behind the COM2 option (here %2)\n"
         "any path: /dev/ttyUSB0, /dev/serial/by-id/..., /dev/pts/N;\n"
         "socket://HOST:PORT for a raw TCP port, or\n"
         "rfc2217://HOST:PORT for a Telnet COM Port Control port\n"
         "(default: the first and second USB serial adapter found,\n"
         "else /dev/ttyS0 and /dev/ttyS1)"},
    {"--log",        nullptr, "FILE",       "a file name",   true,  Section::Window, false, setLog,     nullptr,
         "append every command, reply, status and port event to FILE,\n"
         "one line each (Ctrl+H shows them in the History window)"},
    {"--list-ports", nullptr, nullptr,      nullptr,         false, Section::Window, false, nullptr,    &Options::listPorts,
         "list the serial ports this system knows, and which COM1 and\n"
         "COM2 stand for, and exit"},
    {"--help",       "-h",    nullptr,      nullptr,         false, Section::Window, false, nullptr,    &Options::help,
         "show this help and exit"},
    {"--version",    nullptr, nullptr,      nullptr,         false, Section::Window, false, nullptr,    &Options::version,
         "show the version and exit"},
    {"--send",       nullptr, "TEXT",       "a value",       false, Section::Script, false, addSend,    nullptr,
         "send TEXT and wait for the reply up to its first CR"},
    {"--query",      nullptr, "NAME",       "a value",       false, Section::Script, false, addNamed,   nullptr,
         "status, input, lamp-hours, setting, hours, pressure or\n"
         "temperatures: the query of that name"},
    {"--power",      nullptr, "on|off",     "a value",       false, Section::Script, false, addNamed,   nullptr,
         "the power commands"},
    {"--port",       nullptr, "1|2",        "a value",       false, Section::Script, true,  setPort,    nullptr,
         "use COM1 (default) or COM2"},
    {"--speed",      nullptr, "19200|9600", "a value",       false, Section::Script, true,  setSpeed,   nullptr,
         "line speed (default 19200)"},
    {"--timeout",    nullptr, "MS",         "a value",       false, Section::Script, true,  setTimeout, nullptr,
         "wait at most MS milliseconds for each reply (default %3)"},
    {"--json",       nullptr, nullptr,      nullptr,         false, Section::Script, true,  nullptr,    &Options::json,
         "print one JSON object per command instead: command, reply,\n"
         "reply_hex, status, state, reading, timed_out, ms; state is\n"
         "the plain name of the status, input or setting (\"on\",\n"
         "\"pc1\"... as the manual lists them); reading is the number\n"
         "of hours, pressure and lamp-hours, an array of the three\n"
         "temperatures (null where one is not a number), or null when\n"
         "the reply gave none"},
    {"--serve",      nullptr, nullptr,      nullptr,         false, Section::Serve,  false, nullptr,    &Options::serve,
         "no window: hold the port open (--port and --speed as for\n"
         "scripts) and serve it to scripts and, with --pjlink, PJLink"},
    {"--pjlink",     nullptr, "[ADDR:]PORT", "a port",       true,  Section::Serve,  false, setPjlink,  nullptr,
         "answer PJLink class 1 on this TCP port (4352 is PJLink's),\n"
         "on every address or on ADDR only; the window does too"},
    {"--pjlink-password-file", nullptr, "FILE", "a file name", true, Section::Serve, false, setPasswordFile, nullptr,
         "PJLink's password, read from FILE (mode 600)"},
    {"--name",       nullptr, "TEXT",       "a value",       true,  Section::Serve,  false, setName,    nullptr,
         "what PJLink's NAME ? answers (default: the device's name)"},
};
// clang-format on

const OptionRow* findOption(const QString& name)
{
    for (const OptionRow& row : kOptionRows) {
        if (name == QLatin1String(row.name) || (row.alias && name == QLatin1String(row.alias)))
            return &row;
    }
    return nullptr;
}

// Applies one argument (and the next one when it holds the value); an error text or empty.
QString applyOption(Options& o, const QStringList& args, qsizetype& i)
{
    const QString& arg = args.at(i);
    const qsizetype eq = arg.startsWith(QLatin1String("--")) ? arg.indexOf(u'=') : -1;
    const QString name = eq > 0 ? arg.left(eq) : arg;
    const OptionRow* row = findOption(name);
    // A device path given alone is the commonest slip: say where it goes.
    if (!row && !arg.startsWith(QLatin1Char('-')))
        return QStringLiteral("'%1' is not an option; a device goes after --com1 or --com2")
            .arg(arg);
    if (!row) return QStringLiteral("unknown option '%1'").arg(arg);
    if (eq > 0 && !row->apply) return QStringLiteral("option %1 takes no value").arg(name);
    if (!row->apply) {
        o.*(row->flag) = true;
        return {};
    }
    const QString needs =
        QStringLiteral("option %1 needs %2").arg(name, QLatin1String(row->missing));
    if (eq < 0 && i + 1 >= args.size()) return needs;
    const QString value = eq > 0 ? arg.mid(eq + 1) : args.at(++i);
    if (row->refusesEmpty && value.isEmpty()) return needs;
    return row->apply(o, name, value);
}

// What only a script may ask for makes no sense without a command to send.
QString checkScriptOptions(const Options& o, const QStringList& args)
{
    if (!o.sends.isEmpty() && !o.logPath.isEmpty())
        return QStringLiteral(
            "option --log keeps the window's history; it does not go with --send, "
            "--query or --power");
    if (!o.sends.isEmpty() && (o.serve || !o.pjlink.isEmpty()))
        return QStringLiteral("options --serve and --pjlink do not go with --send, --query or "
                              "--power");
    // The service names its password file whether or not the site serves PJLink.
    if (!o.pjlinkPasswordFile.isEmpty() && o.pjlink.isEmpty() && !o.serve)
        return QStringLiteral("option --pjlink-password-file needs --pjlink or --serve");
    if (!o.name.isEmpty() && o.pjlink.isEmpty())
        return QStringLiteral("option --name needs --pjlink");
    if (!o.sends.isEmpty()) return {};
    for (const QString& arg : args) {
        const OptionRow* row = findOption(arg.section(QLatin1Char('='), 0, 0));
        // The server holds the port as a script would open it.
        if (o.serve && row && (row->apply == setPort || row->apply == setSpeed)) continue;
        if (row && row->scriptOnly)
            return QStringLiteral("option %1 needs --send, --query or --power")
                .arg(QLatin1String(row->name));
    }
    return {};
}

// "  --com1 DEVICE  device behind ...": the option and its value in a column of 15, the
// description's further lines under its first.
QString usageLines(Section section)
{
    constexpr qsizetype kColumn = 15;
    const QString indent = QString(kColumn + 2, QLatin1Char(' '));
    QString text;
    for (const OptionRow& row : kOptionRows) {
        if (row.section != section) continue;
        QString head = QLatin1String(row.name);
        if (row.value) head += QLatin1Char(' ') + QLatin1String(row.value);
        head = head.size() < kColumn ? head.leftJustified(kColumn) : head + QLatin1String("  ");
        const QStringList help = QString::fromLatin1(row.help).split(QLatin1Char('\n'));
        text += QLatin1String("  ") + head + help.first() + QLatin1Char('\n');
        for (const QString& line : help.mid(1))
            text += indent + line + QLatin1Char('\n');
    }
    return text;
}

} // namespace

QString defaultDevice(int port)
{
    const DefaultDevices d = defaultDevices();
    return portDevice(port, d.com1, d.com2);
}

Options parseOptions(const QStringList& args, const QString& devDirectory,
                     const PortChoice& remembered)
{
    Options o;
    for (qsizetype i = 0; i < args.size() && o.error.isEmpty(); ++i)
        o.error = applyOption(o, args, i);
    if (o.error.isEmpty()) o.error = checkScriptOptions(o, args);
    if (o.com1.isEmpty()) o.com1 = remembered.com1;
    if (o.com2.isEmpty()) o.com2 = remembered.com2;
    // The search under /dev only for a device the command line leaves open.
    if (o.error.isEmpty() && (o.com1.isEmpty() || o.com2.isEmpty())) {
        const DefaultDevices defaults = defaultDevices(devDirectory);
        if (o.com1.isEmpty()) o.com1 = defaults.com1;
        if (o.com2.isEmpty()) o.com2 = defaults.com2;
    }
    return o;
}

QString usageErrorText(const QString& error)
{
    return QStringLiteral("zeva-control: %1\nTry 'zeva-control --help'.\n").arg(error);
}

QString usageText()
{
    return (QStringLiteral("Usage: zeva-control [--com1 DEVICE] [--com2 DEVICE] [--log FILE]\n"
                           "                    [--pjlink [ADDR:]PORT] [--pjlink-password-file "
                           "FILE] [--name TEXT]\n"
                           "       zeva-control --send TEXT [--send TEXT ...] [--query NAME] "
                           "[--power on|off]\n"
                           "                    [--com1 DEVICE] [--port 1|2] [--speed 19200|9600]\n"
                           "                    [--timeout MS] [--json]\n"
                           "       zeva-control --serve [--com1 DEVICE] [--port 1|2] "
                           "[--speed 19200|9600] [--log FILE]\n"
                           "                    [--pjlink [ADDR:]PORT] [--pjlink-password-file "
                           "FILE] [--name TEXT]\n"
                           "       zeva-control --list-ports | --help | --version\n"
                           "Remote-control panel for the projector on a serial line.\n\n") +
            usageLines(Section::Window) +
            QStringLiteral(
                "\nScripting (no window): each command goes out with a CR, in order; one line per\n"
                "command is printed: the command, the reply as the RXD line shows it, and the\n"
                "decoded status when there is one. A panel already running on the device sends\n"
                "the commands for the script, as if they were typed into its command entry.\n") +
            usageLines(Section::Script) +
            QStringLiteral("\nServer mode: the port stays open without a window and reopens "
                           "after a loss;\nscripts hand their commands to it as to a window.\n") +
            usageLines(Section::Serve) +
            QStringLiteral(
                "\nExit status: 0 every command got a reply; 1 a reply was \"?\" (refused);\n"
                "2 bad usage; 3 a reply did not come in time; 4 the port could not be opened\n"
                "or its line was lost; 5 a command handed over to a running panel was\n"
                "interrupted by the operator.\n"))
        .arg(defaultDevice(1), defaultDevice(2))
        .arg(kDefaultReplyTimeoutMs);
}

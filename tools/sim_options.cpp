#include "sim_options.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <QRandomGenerator>
#include <climits>
#include <cstdio>

namespace
{

constexpr int kMostFloodRate = 1'000'000;
constexpr int kMostLateMs = 600'000;
constexpr int kMostPieces = 1000;

struct OptionSet {
    // clang-format off
    QCommandLineOption help       {{"h", "help"},    "Show this help."};
    QCommandLineOption silent     {"silent",         "Never answer."};
    QCommandLineOption split      {"split",          "Same as --pieces 2."};
    QCommandLineOption pieces     {"pieces",         "Send every reply in <n> pieces, 20 ms apart.", "n"};
    QCommandLineOption late       {"late",           "Answer <ms> after the command.", "ms"};
    QCommandLineOption garbage    {"garbage",        "Insert a few random bytes into every reply."};
    QCommandLineOption flood      {"flood",          "Send <rate> random bytes a second, unasked.", "rate"};
    QCommandLineOption hangUp     {"hangup-after",   "Answer <n> commands, then hang up and exit.", "n"};
    QCommandLineOption seed       {"seed",           "Seed for --garbage and --flood (default: random).", "n"};
    QCommandLineOption link       {"link",           "Also make a symlink to the slave at <path>.", "path"};
    QCommandLineOption transition {"transition-ms",  "Count-down and cooling time (default 3000).", "ms"};
    QCommandLineOption listen     {"listen",         "Listen on TCP instead (ADDR 127.0.0.1 if left out; PORT 0: any).", "[ADDR:]PORT"};
    // clang-format on

    QList<QCommandLineOption> all() const
    {
        return {help,  silent, split, pieces, late,       garbage,
                flood, hangUp, seed,  link,   transition, listen};
    }
};

constexpr int kGarbagePerReply = 3;

void describe(QCommandLineParser& parser, const OptionSet& set)
{
    parser.setApplicationDescription(
        "A virtual projector on a pseudo-terminal or a TCP port. Prints what the panel opens as "
        "its first line: the slave path, or socket://ADDR:PORT.");
    parser.addOptions(set.all());
}

// The help is made only when it is printed: making it costs more than reading the line.
SimCommandLine usageError(const QString& why)
{
    return {{}, kExitUsage, why};
}

// Reads a whole number from least to most into `out`, which is left alone when the option is
// not given. Returns an error text, empty when all is well.
template <typename Number>
QString readNumber(const QCommandLineParser& parser, const QCommandLineOption& option, qint64 least,
                   qint64 most, Number& out)
{
    if (!parser.isSet(option)) return {};
    bool ok = false;
    const qint64 value = parser.value(option).toLongLong(&ok);
    if (!ok || value < least || value > most)
        return QString("Bad --%1 value: use %2 to %3.")
            .arg(option.names().constFirst())
            .arg(least)
            .arg(most);
    out = Number(value);
    return {};
}

QString readValues(const QCommandLineParser& parser, const OptionSet& set, SimOptions& options)
{
    if (parser.isSet(set.split) && parser.isSet(set.pieces))
        return "Use either --split or --pieces.";
    qint64 transitionMs = options.timing.countDownMs;
    options.seed = QRandomGenerator::system()->generate();
    for (const QString& error :
         {readNumber(parser, set.transition, 0, INT_MAX, transitionMs),
          readNumber(parser, set.pieces, 1, kMostPieces, options.style.pieces),
          readNumber(parser, set.late, 0, kMostLateMs, options.style.lateMs),
          readNumber(parser, set.flood, 0, kMostFloodRate, options.floodRate),
          readNumber(parser, set.hangUp, 1, INT_MAX, options.hangUpAfter),
          readNumber(parser, set.seed, 0, UINT_MAX, options.seed)})
        if (!error.isEmpty()) return error;
    options.timing = {transitionMs, transitionMs};
    options.style.silent = parser.isSet(set.silent);
    if (parser.isSet(set.split)) options.style.pieces = 2;
    if (parser.isSet(set.garbage)) options.style.garbage = kGarbagePerReply;
    options.linkPath = parser.value(set.link);
    if (!parser.isSet(set.listen)) return {};
    if (parser.isSet(set.link)) return "Use either --link or --listen.";
    return readListenAddress(parser.value(set.listen), options);
}

} // namespace

QString readListenAddress(const QString& text, SimOptions& options)
{
    const qsizetype colon = text.lastIndexOf(u':');
    QString host = colon < 0 ? QStringLiteral("127.0.0.1") : text.left(colon);
    const bool bracketed = host.startsWith(u'[') && host.endsWith(u']');
    if (bracketed) host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    QHostAddress address;
    if (!ok || port > 65535 || !address.setAddress(host) || host.contains(u':') != bracketed)
        return "Bad --listen value: use [ADDR:]PORT, ADDR an address (IPv6 in brackets), "
               "PORT 0 to 65535.";
    options.listenHost = host;
    options.listenPort = quint16(port);
    return {};
}

SimCommandLine readSimCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const OptionSet set;
    describe(parser, set);

    if (!parser.parse(arguments)) return usageError(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usageError("Unexpected argument: " + parser.positionalArguments().first());
    SimCommandLine line;
    if (const QString error = readValues(parser, set, line.options); !error.isEmpty())
        return usageError(error);
    if (parser.isSet(set.help)) return {{}, 0, {}};
    return line;
}

QString simHelpText()
{
    QCommandLineParser parser;
    const OptionSet set;
    describe(parser, set);
    return parser.helpText();
}

int parseSimOptions(const QStringList& arguments, SimOptions& options)
{
    const SimCommandLine line = readSimCommandLine(arguments);
    if (line.exitCode == 0) std::printf("%s", qPrintable(simHelpText()));
    if (line.exitCode > 0)
        std::fprintf(stderr, "%s\n\n%s", qPrintable(line.error), qPrintable(simHelpText()));
    if (line.exitCode < 0) options = line.options;
    return line.exitCode;
}

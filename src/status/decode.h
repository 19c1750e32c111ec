#pragma once
#include <QLatin1StringView>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <optional>
#include <span>

// What a query with a fixed set of answers reported, one value per answer: the power state
// ("CR0"), the selected input ("CR1") and the picture reversal ("CR4").
enum class DecodedState : quint8 {
    PowerOn,
    Standby,
    CountDown,
    Cooling,
    PowerFail,
    TemperatureWarningCooling,
    TemperatureWarningOn,
    TemperatureWarningRecovered,
    NoKeyInput,
    LampOffTemperatureWarning,
    LampOff,
    Pc1,
    Video,
    Pc2,
    Normal,
    TopBottom,
    LeftRight,
    TopBottomLeftRight,
};

// What one decoding pass makes of a reply: a new status line text and a new numeric reading.
struct Decoded {
    std::optional<QString> status = {};      // nullopt: the status line keeps its text
    std::optional<qint16> readingValue = {}; // nullopt: the last reading stays
    std::optional<DecodedState> state = {};  // for the queries with a fixed set of answers
};

// Decodes the RXD line's rendering (DisplayForm of everything received so far) as the reply
// to lastCommand (the command string as sent, CR included). Only the seven decoded queries,
// matched exactly and case-sensitively, give a result; everything else keeps both.
Decoded decodeReply(const QString& lastCommand, const QString& rxdCaption);

// A finished exchange as every sender has it: the command as sent (CR included) and the
// characters received, read as the RXD line shows them.
Decoded decodeExchange(const QString& sent, QStringView reply);

// One answer of a query with a fixed set of answers.
struct StateRow {
    QStringView command; // the query as sent, with its CR
    QStringView prefix;  // first characters of the RXD line that give it
    DecodedState state;
    QLatin1StringView name; // plain name, as --json gives it
    QStringView text;       // the status line's text
};

// Every state, query by query in the order of the queries.
std::span<const StateRow> stateRows();
const StateRow& stateRow(DecodedState state);

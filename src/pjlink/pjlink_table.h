#pragma once
// The PJLink class 1 requests this projector answers, each mapped onto the panel's buttons whose
// commands it sends, and how what the panel decodes of the replies becomes PJLink answers. Free of
// sockets and of the line: the bridge sends a row's commands and hands their replies back here.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <optional>
#include <span>

// What the answers need besides the projector's replies.
struct PjlinkDevice {
    QByteArray name; // NAME ?: printable ASCII
    QByteArray info; // INFO ?: the program and its version
    // AVMT ?: the projector cannot be asked, so the last state set through this program.
    bool videoMuted = false;
    bool audioMuted = false;
};

struct PjlinkRow;

// The answer's parameter ("OK", a value or "ERRn") from the replies of the row's commands,
// one per command, each complete with its CR and none of them "?".
using PjlinkAnswer = QByteArray (*)(const PjlinkRow& row, PjlinkDevice& device,
                                    std::span<const QString> replies);

inline constexpr int kMaxPjlinkCommands = 2;

struct PjlinkRow {
    const char* body;  // four characters: "POWR"
    const char* param; // "1", or "?" for a query
    // The projector's commands without their CR, sent in this order; nullptr after the last.
    // Taken from the panel's buttons for them, as is the reply window.
    std::array<const char*, kMaxPjlinkCommands> commands;
    int replyWindowMs; // for each of them
    PjlinkAnswer answer;

    bool isQuery() const { return param[0] == '?'; }
    int commandCount() const { return commands[0] ? (commands[1] ? 2 : 1) : 0; }
};

std::span<const PjlinkRow> pjlinkTable();
// The row for this request, or nullptr.
const PjlinkRow* findPjlinkRow(QByteArrayView body, QByteArrayView param);
// Whether any row has this body (an unknown parameter is then ERR2, not ERR1).
bool isPjlinkBody(QByteArrayView body);

// The answer when a command of the row got nothing to decode: no reply in time, or the line
// not open or taken by the operator (nullopt reply) is ERR3; "?" is ERR2 for a setting and
// ERR3 for a query; a setting's reply other than ACK is ERR4. nullopt when the reply is one
// to decode.
std::optional<QByteArray> pjlinkFailure(const PjlinkRow& row, const std::optional<QString>& reply);

// One request's way through its row: the commands one after another, each sent once the one
// before has a reply to decode, and the answer. The first that has none ends it.
class PjlinkRun
{
  public:
    PjlinkRun(const PjlinkRow& row, PjlinkDevice& device);

    // The next command to send, without its CR; nullopt once the answer is ready.
    std::optional<QString> nextCommand() const;
    // The reply to the command nextCommand() gave: complete with its CR, or nullopt for none.
    void take(const std::optional<QString>& reply);
    bool done() const { return done_; }
    const QByteArray& answer() const { return answer_; }
    const PjlinkRow& row() const { return row_; }

  private:
    void finishIfDone();

    const PjlinkRow& row_;
    PjlinkDevice& device_;
    std::array<QString, kMaxPjlinkCommands> replies_;
    int taken_ = 0;
    bool done_ = false;
    QByteArray answer_;
};

// The inputs this projector has, as INST ? lists them.
inline constexpr QByteArrayView kPjlinkInputs = "11 12 21";
inline constexpr QByteArrayView kPjlinkMaker = "ZEVA";
inline constexpr QByteArrayView kPjlinkModel = "LQ500 LQ400";

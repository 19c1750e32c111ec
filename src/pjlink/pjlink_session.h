#pragma once
// One PJLink client's side of the conversation, free of sockets and of the line: bytes in,
// what to do out. Requests are "%1CMMD PARAM" and CR; with a password the first of them comes
// after the MD5 digest of the salt and the password (class 1 authentication), which a client may
// repeat before later ones.
#include "pjlink/pjlink_table.h"

#include <QByteArray>
#include <QByteArrayView>

// One request line, without its CR, as the bridge reads it.
struct PjlinkRequest {
    char classDigit = '1'; // echoed in the answer
    QByteArray body;       // as it came: four characters on any line that is a request at all
    QByteArray param;
    const PjlinkRow* row = nullptr;
    QByteArray error; // "ERR1" or "ERR2" when there is no row
};

PjlinkRequest parsePjlinkRequest(QByteArrayView line);
// "%1POWR=1" and CR.
QByteArray pjlinkAnswerLine(const PjlinkRequest& request, QByteArrayView answer);

// 8 lowercase hexadecimal digits from the system's random source.
QByteArray pjlinkSalt();
// MD5 of the salt followed by the password, in 32 lowercase hexadecimal digits.
QByteArray pjlinkDigest(QByteArrayView salt, QByteArrayView password);
// Whether a digest as received equals the expected one (letters in either case), in a time
// that does not depend on where they differ.
bool sameDigest(QByteArrayView received, QByteArrayView expected);

class PjlinkSession
{
  public:
    // "%1CMMD " and a parameter of up to 128 characters, before the CR.
    static constexpr qsizetype kMaxLine = 135;
    static constexpr qsizetype kDigestLength = 32;

    // An empty password: no authentication, and the salt is not used.
    PjlinkSession(QByteArray password, QByteArray salt);

    // What the client is told on connecting: "PJLINK 0" or "PJLINK 1 <salt>", and CR.
    QByteArray greeting() const;
    // The digest was right (or none is asked for).
    bool authenticated() const { return authenticated_; }

    enum class Kind {
        NeedMore, // no complete line yet: everything given was taken
        Request,  // a request to answer (its row, or its error)
        Nothing,  // a line with nothing to answer (empty, or only the digest)
        Refused,  // wrong or missing digest: write `text`, then close
        Close,    // a byte that is not printable ASCII, or a line too long: close
    };
    struct Step {
        Kind kind = Kind::NeedMore;
        PjlinkRequest request;
        QByteArray text;
    };

    // Takes bytes from the front of `input` up to the end of one line (or all of them) and
    // says what that line asks. A line feed is ignored, whatever sends it.
    Step next(QByteArray& input);

  private:
    Step finishLine();

    QByteArray password_;
    QByteArray salt_;
    bool authenticated_;
    QByteArray line_;
};

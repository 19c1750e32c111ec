#pragma once
// PJLink's password from its file, read before the server opens anything else. Only a regular
// file is read: a FIFO or a device is refused at once, never waited on. Only its owner may read
// it, unless it is one of the credentials systemd hands a service (LoadCredential=), whose
// folder is the service's alone and whose modes are systemd's to choose. It holds 1 to 32
// printable ASCII characters without blanks and a line end at most; a file with nothing but a
// line end means that PJLink asks for no password (the unit's stand-in when a site has none).
#include <QByteArray>
#include <QString>

struct PasswordFile {
    QByteArray password; // empty: no password
    QString error;       // the refusal's description; empty when read
};
PasswordFile readPasswordFile(const QString& path);

// The rules on what was read, the same on every platform. `privateFile`: only its owner may
// read it, or it is a service's credential.
PasswordFile checkPasswordFile(const QString& path, bool regularFile, bool privateFile,
                               QByteArray text);

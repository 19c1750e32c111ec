// Prints the table of decoded states that --json's "state" gives, from the decoding itself, for
// the README ("markdown": with the status line's text) or the manual page ("man"); the docs
// hold its output verbatim, and a test sees that they still do.
#include "status/decode.h"

#include <QString>
#include <cstdio>
#include <cstring>

namespace
{

// "CR0\r" as "CR0"; the RXD line's " 0 0" as the reply's "00".
QString command(const StateRow& row)
{
    return row.command.chopped(1).toString();
}
QString reply(const StateRow& row)
{
    return row.prefix.toString().remove(u' ');
}

QString markdown()
{
    QString out =
        QStringLiteral("| query | reply starts | `state` | status line |\n|---|---|---|---|\n");
    for (const StateRow& row : stateRows())
        out += QStringLiteral("| %1 | %2 | `%3` | \"%4\" |\n")
                   .arg(command(row), reply(row), row.name, row.text);
    return out;
}

QString man()
{
    QString out = QStringLiteral(".PP\n.RS\n.nf\n");
    for (const StateRow& row : stateRows())
        out +=
            QStringLiteral("%1  %2  %3\n").arg(command(row), reply(row).leftJustified(2), row.name);
    return out + QStringLiteral(".fi\n.RE\n");
}

} // namespace

int main(int argc, char** argv)
{
    const bool isMan = argc == 2 && std::strcmp(argv[1], "man") == 0;
    if (argc != 2 || (!isMan && std::strcmp(argv[1], "markdown") != 0)) {
        std::fputs("usage: zeva-state-table markdown|man\n", stderr);
        return 2;
    }
    std::fputs(qPrintable(isMan ? man() : markdown()), stdout);
    return 0;
}

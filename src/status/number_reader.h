#pragma once
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <optional>

// A number read from the start of a text, the way the reply decoding reads readings.
// ok is false when the number cannot be held: too large for a double, or an "&H"/"&O"
// value that does not fit 32 bits. value is then 0 and must not be shown.
struct NumberReading {
    double value = 0;
    bool ok = true;
    bool anyDigit = false; // at least one digit was read (the "&H" letters A-F count)
};

// Blanks, tabs and LFs are ignored wherever they stand (they join the digits of the monitor
// rendering again). Reads an optional sign, digits, an optional '.' and digits, and an optional
// exponent (E or D, either case, optional sign, digits); or "&H"/"&O" and hexadecimal/octal
// digits. Reading stops at the first character that does not continue the number; nothing
// read gives 0. Linear in the length of the text.
NumberReading readNumber(QStringView text);

// Nearest integer, exactly half to the even neighbour; nullopt when the result falls outside
// -32768..32767 or v is not finite.
std::optional<qint16> roundToInt16(double v);

// Decimal digits with a leading '-' when negative: "-12", "0", "1234".
QString decimalText(qint16 v);

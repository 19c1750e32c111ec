#pragma once
#include <QString>

// The monitor's readable rendering of a string: a leading blank, then every character followed
// by a blank, control characters by mnemonic and everything above 'z' as "? ".
// The reply decoding reads this rendering back, so its shape is binding.
QString DisplayForm(QStringView text);
inline QString DisplayForm(const QString& text)
{
    return DisplayForm(QStringView(text));
}

// Longest string DisplayForm renders (the character count is a 16-bit signed integer).
inline constexpr qsizetype kMaxRenderedChars = 32767;

// What the RXD line shows when a reply window ends with nothing received.
inline const QString kTimeOutMark = QStringLiteral(" X X X X");

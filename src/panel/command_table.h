#pragma once
#include <QStringView>
#include <span>

// "none" in the interval columns: the press leaves Timer2 and Timer4 as the last sender set them.
inline constexpr int kNoInterval = 0;

// One single-press button of the panel. Captions live in the window's layout table and are
// joined to these rows by control name.
struct CommandRow {
    const char* control; // button on Form1; its handler is <control>_Click
    const char* group;   // frame label or position group on the panel
    const char* command; // command text without the trailing CR
    int replyWindowMs;   // Timer2 interval set before sending, or kNoInterval
    int clearDelayMs;    // Timer4 interval set before sending, or kNoInterval
    bool navigation;     // after sending: Timer1 to the navigation repeat, ArrowContext to 1

    constexpr bool hasIntervals() const { return replyWindowMs != kNoInterval; }
};

// All single-press buttons, group by group in panel order (top to bottom, left to right).
std::span<const CommandRow> commandTable();

// The row of the button with this control name, or nullptr.
const CommandRow* findCommandRow(QStringView control);

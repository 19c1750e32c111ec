#pragma once
#include <QStringView>
#include <QtGlobal>
#include <optional>
#include <span>
#include <utility>

// An arrow of the pad takes its reply window and clear delay from ArrowContext.
inline constexpr int kByContext = -1;
// An arrow press leaves Timer1 alone: it repeats at whatever interval was set last.
inline constexpr int kKeepRepeat = -2;

// What every release restores on Timer2 and Timer4.
inline constexpr int kReleaseReplyWindowMs = 500;
inline constexpr int kReleaseClearDelayMs = 1000;
// A "D.Zoom" release switches the arrows to a fast repeat in their own context.
inline constexpr int kDZoomReleaseRepeatMs = 5;
inline constexpr quint8 kDZoomContext = 3;
// Set after sending by the two navigation buttons of the command table.
inline constexpr quint8 kNavigationContext = 1;
inline constexpr int kNavigationRepeatMs = 200;

enum class AdjusterKind {
    Repeat, // sets Timer1, Timer2 and Timer4 on press
    Arrow,  // arrow pad: Timer2/Timer4 by ArrowContext, Timer1 untouched
};

// One hold-to-repeat button. Captions live in the window's layout table, joined by control name.
struct AdjusterRow {
    const char* control; // button on Form1; handlers <control>_MouseDown / _MouseUp
    const char* group;   // label above the pair, or the frame holding the buttons
    quint8 holdCode;     // HoldCode while held; never 0, which means "nothing held"
    const char* command; // command text without the trailing CR
    int repeatMs;        // Timer1 interval set on press, or kKeepRepeat
    int replyWindowMs;   // Timer2 interval set on press, or kByContext
    int clearDelayMs;    // Timer4 interval set on press, or kByContext
    AdjusterKind kind;
    bool dZoom; // release also sets Timer1 to kDZoomReleaseRepeatMs and ArrowContext to 3
};

std::span<const AdjusterRow> adjusterTable();

// nullptr when no adjuster has this control name or code (code 0 never matches).
const AdjusterRow* findAdjusterByControl(QStringView control);
const AdjusterRow* findAdjusterByCode(quint8 holdCode);

// {Timer2, Timer4} that an arrow press sets in this context; nullopt leaves both unchanged.
std::optional<std::pair<int, int>> arrowIntervals(quint8 arrowContext);

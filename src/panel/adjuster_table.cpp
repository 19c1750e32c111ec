#include "panel/adjuster_table.h"

#include <QLatin1String>
#include <algorithm>
#include <array>

namespace
{

constexpr auto kRep = AdjusterKind::Repeat;
constexpr auto kArr = AdjusterKind::Arrow;
constexpr int kCtx = kByContext;
constexpr int kKeep = kKeepRepeat;

// clang-format off
constexpr std::array kAdjusterRows{
    //          control      group         code command Timer1 Timer2 Timer4 kind  dZoom
    AdjusterRow{"Command1",  "VOL",        1,   "C09",  250,   200,   245,   kRep, false},
    AdjusterRow{"Command2",  "VOL",        2,   "C0A",  250,   200,   245,   kRep, false},
    AdjusterRow{"Command15", "Zoom",       7,   "C47",  50,    25,    25,    kRep, false},
    AdjusterRow{"Command35", "Zoom",       8,   "C46",  50,    25,    25,    kRep, false},
    AdjusterRow{"Command36", "Focus",      9,   "C4B",  50,    25,    25,    kRep, false},
    AdjusterRow{"Command37", "Focus",      10,  "C4A",  50,    25,    25,    kRep, false},
    AdjusterRow{"Command48", "D.Zoom",     17,  "C30",  250,   200,   245,   kRep, true },
    AdjusterRow{"Command49", "D.Zoom",     18,  "C31",  250,   200,   245,   kRep, true },
    AdjusterRow{"Command50", "Keystone",   19,  "C8E",  250,   200,   245,   kRep, false},
    AdjusterRow{"Command51", "Keystone",   20,  "C8F",  250,   200,   245,   kRep, false},
    AdjusterRow{"Command59", "LENS SHIFT", 21,  "C5D",  30,    30,    30,    kRep, false},
    AdjusterRow{"Command62", "LENS SHIFT", 22,  "C5E",  50,    25,    25,    kRep, false},
    AdjusterRow{"Command6",  "arrow pad",  13,  "C3F",  500,   200,   245,   kRep, false},
    AdjusterRow{"Command5",  "arrow pad",  3,   "C3C",  kKeep, kCtx,  kCtx,  kArr, false},
    AdjusterRow{"Command7",  "arrow pad",  4,   "C3D",  kKeep, kCtx,  kCtx,  kArr, false},
    AdjusterRow{"Command9",  "arrow pad",  5,   "C3B",  kKeep, kCtx,  kCtx,  kArr, false},
    AdjusterRow{"Command8",  "arrow pad",  6,   "C3A",  kKeep, kCtx,  kCtx,  kArr, false},
};

struct ArrowContextRow {
    quint8 context;
    int replyWindowMs;
    int clearDelayMs;
};

// Contexts not listed leave Timer2 and Timer4 unchanged.
constexpr std::array kArrowContexts{
    //              context             Timer2 Timer4
    ArrowContextRow{kNavigationContext, 150,   190},
    ArrowContextRow{kDZoomContext,      5,     5  },
};
// clang-format on

} // namespace

std::span<const AdjusterRow> adjusterTable()
{
    return kAdjusterRows;
}

const AdjusterRow* findAdjusterByControl(QStringView control)
{
    const auto it = std::ranges::find_if(kAdjusterRows, [control](const AdjusterRow& row) {
        return QLatin1String(row.control) == control;
    });
    return it == kAdjusterRows.end() ? nullptr : &*it;
}

const AdjusterRow* findAdjusterByCode(quint8 holdCode)
{
    if (holdCode == 0) // "nothing held"
        return nullptr;
    const auto it = std::ranges::find(kAdjusterRows, holdCode, &AdjusterRow::holdCode);
    return it == kAdjusterRows.end() ? nullptr : &*it;
}

std::optional<std::pair<int, int>> arrowIntervals(quint8 arrowContext)
{
    const auto it = std::ranges::find(kArrowContexts, arrowContext, &ArrowContextRow::context);
    if (it == kArrowContexts.end()) return std::nullopt;
    return std::pair{it->replyWindowMs, it->clearDelayMs};
}

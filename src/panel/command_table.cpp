#include "panel/command_table.h"

#include <QLatin1String>
#include <algorithm>
#include <array>

namespace
{

constexpr int kNo = kNoInterval;

// clang-format off
constexpr std::array kCommandRows{
    //         control      group                  command              Timer2 Timer4 navigation
    CommandRow{"Command17", "POWER",               "C00",               5000,  5500,  false},
    CommandRow{"Command18", "POWER",               "C02",               kNo,   kNo,   false},
    CommandRow{"Command40", "INPUT",               "C05",               2000,  2500,  false},
    CommandRow{"Command63", "INPUT",               "C06",               2000,  2500,  false},
    CommandRow{"Command28", "INPUT",               "C07",               2000,  2500,  false},
    CommandRow{"Command56", "SOURCE",              "CF SOURCE AUTO",    2000,  2500,  false},
    CommandRow{"Command4",  "SOURCE",              "CF SOURCE DIGTAL",  2000,  2500,  false},
    CommandRow{"Command14", "SOURCE",              "CF SOURCE ANALOG",  2000,  2500,  false},
    CommandRow{"Command27", "SOURCE",              "CF SOURCE WI",      2000,  2500,  false},
    CommandRow{"Command55", "SOURCE",              "CF SOURCE MCI",     2000,  2500,  false},
    CommandRow{"Command29", "SOURCE",              "CF SOURCE VIDEO",   2000,  2500,  false},
    CommandRow{"Command57", "SOURCE",              "CF SOURCE S-VIDEO", 2000,  2500,  false},
    CommandRow{"Command58", "SOURCE",              "CF SOURCE YPBPR",   2000,  2500,  false},
    CommandRow{"Command19", "AUDIO MUTE",          "C0B",               500,   1000,  false},
    CommandRow{"Command20", "AUDIO MUTE",          "C0C",               500,   1000,  false},
    CommandRow{"Command21", "No Show",             "C0D",               500,   1000,  false},
    CommandRow{"Command22", "No Show",             "C0E",               500,   1000,  false},
    CommandRow{"Command25", "FREEZE",              "C43",               500,   1000,  false},
    CommandRow{"Command26", "FREEZE",              "C44",               500,   1000,  false},
    CommandRow{"Command23", "MENU",                "C1C",               500,   1000,  true },
    CommandRow{"Command24", "MENU",                "C1D",               500,   1000,  false},
    CommandRow{"Command31", "VIDEO  image",        "C0F",               500,   1000,  false},
    CommandRow{"Command32", "VIDEO  image",        "C10",               500,   1000,  false},
    CommandRow{"Command13", "right-hand column",   "C89",               5000,  5500,  true },
    CommandRow{"Command73", "right-hand column",   "C27",               kNo,   kNo,   false},
    CommandRow{"Command39", "right-hand column",   "C8A",               kNo,   kNo,   false},
    CommandRow{"Command3",  "right-hand column",   "C1E",               kNo,   kNo,   false},
    CommandRow{"Command10", "image modes",         "CF IMAGE STAND",    2000,  2500,  false},
    CommandRow{"Command12", "image modes",         "CF IMAGE REAL",     2000,  2500,  false},
    CommandRow{"Command41", "image modes",         "CF IMAGE CINEMA",   2000,  2500,  false},
    CommandRow{"Command11", "image modes",         "CF IMAGE CUSTOM1",  2000,  2500,  false},
    CommandRow{"Command30", "image modes",         "CF IMAGE CUSTOM2",  2000,  2500,  false},
    CommandRow{"Command42", "image modes",         "CF IMAGE CUSTOM3",  2000,  2500,  false},
    CommandRow{"Command43", "image modes",         "CF IMAGE CUSTOM4",  2000,  2500,  false},
    CommandRow{"Command44", "query block",         "CR0",               2000,  2500,  false},
    CommandRow{"Command46", "query block",         "CR3",               2000,  2500,  false},
    CommandRow{"Command45", "query block",         "CR1",               2000,  2500,  false},
    CommandRow{"Command47", "query block",         "CR4",               2000,  2500,  false},
    CommandRow{"Command52", "beside STATUS frame", "C01",               3000,  3500,  false},
    CommandRow{"Command66", "LAMP MODE",           "CF LAMPMODE FUL",   2000,  2500,  false},
    CommandRow{"Command67", "LAMP MODE",           "CF LAMPMODE ECO",   2000,  2500,  false},
    CommandRow{"Command60", "FAN SPEED",           "CF FANSPEED MAX",   2000,  2500,  false},
    CommandRow{"Command61", "FAN SPEED",           "CF FANSPEED NOR",   2000,  2500,  false},
    CommandRow{"Command64", "below FAN SPEED",     "CR PROJH",          2000,  2500,  false},
    CommandRow{"Command65", "below FAN SPEED",     "CR LAMPMODE",       2000,  2500,  false},
};
// clang-format on

} // namespace

std::span<const CommandRow> commandTable()
{
    return kCommandRows;
}

const CommandRow* findCommandRow(QStringView control)
{
    const auto it = std::ranges::find_if(kCommandRows, [control](const CommandRow& row) {
        return QLatin1String(row.control) == control;
    });
    return it == kCommandRows.end() ? nullptr : &*it;
}

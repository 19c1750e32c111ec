#include "panel/layout_table.h"

#include <QLatin1StringView>
#include <algorithm>

namespace
{

using enum ControlKind;
using enum FontFace;
using enum TextAlign;
using enum LineStyle;

constexpr quint8 NoFlags = LayoutFlag::None;
constexpr quint8 Hidden = LayoutFlag::HiddenAtStart;
constexpr quint8 Border = LayoutFlag::SingleBorder;
constexpr quint8 Wraps = LayoutFlag::Wraps;
constexpr quint8 Selected = LayoutFlag::SelectedAtStart;

// Frames come before the controls they hold, so one pass in this order can create every parent
// first. Within a parent, later rows lie on top of earlier ones (Frame8 covers Command33).
// clang-format off
constexpr LayoutRow kRows[] = {
//   name         kind     parent     caption          left   top  width   ht  back           text           font {face, pt, bold} tab  align   flags
    // Top area: POWER, INPUT, SOURCE, emblem
    {"Frame1",    Frame,   "",        "",                90,   90, 1440, 1215, 0xC0C0C0,      kBlack,        {NoFont,  0, false},   0, Left,   NoFlags},
    {"Label1",    Label,   "Frame1",  "POWER",          120,  240, 1095,  255, 0xC0C0C0,      0xC00000,      {B,       9, true},    2, Centre, NoFlags},
    {"Command17", Button,  "Frame1",  "ON",             120,  720,  615,  300, 0xC0FFC0,      kBlack,        {B,       9, true},    1, Centre, NoFlags},
    {"Command18", Button,  "Frame1",  "OFF",            720,  720,  615,  300, 0xFFC0C0,      kBlack,        {B,       9, true},   24, Centre, NoFlags},
    {"Frame11",   Frame,   "",        "",              1680,  120, 4350,  600, 0xC0C0C0,      kBlack,        {NoFont,  0, false},  66, Left,   NoFlags},
    {"Label21",   Label,   "Frame11", "INPUT",          120,  240,  855,  255, 0xC0C0C0,      kBlack,        {B,       9, true},   69, Left,   NoFlags},
    {"Command40", Button,  "Frame11", "PC1",            960,  240,  720,  300, 0xC0FFFF,      kBlack,        {B,    8.25, true},   76, Centre, NoFlags},
    {"Command63", Button,  "Frame11", "PC2",           2040,  240,  690,  300, 0xC0FFFF,      kBlack,        {B,    8.25, true},   68, Centre, NoFlags},
    {"Command28", Button,  "Frame11", "VIDEO",         3000,  240,  975,  300, 0xC0FFFF,      kBlack,        {B,    8.25, true},   92, Centre, NoFlags},
    {"Frame12",   Frame,   "",        "",              1680,  720, 7665,  615, 0xC0C0C0,      kBlack,        {NoFont,  0, false},  67, Left,   NoFlags},
    {"Label22",   Label,   "Frame12", "SOURCE",         120,  240,  975,  255, 0xC0C0C0,      kBlack,        {B,       9, true},   70, Left,   NoFlags},
    {"Command56", Button,  "Frame12", "AUTO",          1200,  195,  855,  300, 0xC0FFFF,      kBlack,        {A,       9, true},   96, Centre, NoFlags},
    {"Command4",  Button,  "Frame12", "DVI ",          2280,  195,  615,  300, 0xC0FFFF,      kBlack,        {A,       9, false}, 100, Centre, NoFlags},
    {"Command14", Button,  "Frame12", "RGB",           2880,  195,  615,  300, 0xC0FFFF,      kBlack,        {A,       9, false},  93, Centre, NoFlags},
    {"Command27", Button,  "Frame12", "W I",           3480,  195,  615,  300, 0xC0FFFF,      kBlack,        {A,       9, false},  94, Centre, NoFlags},
    {"Command55", Button,  "Frame12", "MCI",           4080,  195,  615,  300, 0xC0FFFF,      kBlack,        {A,       9, false},  95, Centre, NoFlags},
    {"Command29", Button,  "Frame12", "VIDEO",         4680,  195,  855,  300, 0xC0FFFF,      kBlack,        {A,       9, false},  97, Centre, NoFlags},
    {"Command57", Button,  "Frame12", "S-VIDEO",       5520,  195, 1095,  300, 0xC0FFFF,      kBlack,        {A,       9, false},  98, Centre, NoFlags},
    {"Command58", Button,  "Frame12", "YPbPr",         6600,  195,  975,  300, 0xC0FFFF,      kBlack,        {A,       9, false},  99, Centre, NoFlags},
    {"Image1",    Image,   "",        "",              8280,    0, 1200,  390, kSystemColour, kSystemColour, {NoFont,  0, false},  -1, Left,   NoFlags},
    // Switch frames: AUDIO MUTE, No Show, FREEZE, MENU, VIDEO image, LENS SHIFT
    {"Frame3",    Frame,   "",        "",               120, 1320, 1455,  975, 0xC0C0C0,      kBlack,        {NoFont,  0, false},   6, Left,   NoFlags},
    {"Label4",    Label,   "Frame3",  "AUDIO MUTE",     120,  240, 1215,  255, 0xC0C0C0,      kBlack,        {B,       9, true},    7, Centre, NoFlags},
    {"Command19", Button,  "Frame3",  "ON",             120,  600,  615,  300, 0xC0FFC0,      kBlack,        {B,       9, true},   25, Centre, NoFlags},
    {"Command20", Button,  "Frame3",  "OFF",            840,  600,  495,  300, 0xFFC0C0,      kBlack,        {B,       9, true},   26, Centre, NoFlags},
    {"Frame4",    Frame,   "",        "",              1680, 1320, 1455,  975, 0xC0C0C0,      kBlack,        {NoFont,  0, false},   8, Left,   NoFlags},
    {"Label5",    Label,   "Frame4",  "No Show",        240,  240, 1095,  255, 0xC0C0C0,      kBlack,        {A,       9, true},    9, Centre, NoFlags},
    {"Command21", Button,  "Frame4",  "ON",             120,  600,  615,  300, 0xC0FFC0,      kBlack,        {B,       9, true},   27, Centre, NoFlags},
    {"Command22", Button,  "Frame4",  "OFF",            840,  600,  495,  300, 0xFFC0C0,      kBlack,        {B,       9, true},   28, Centre, NoFlags},
    {"Frame7",    Frame,   "",        "",              3240, 1320, 1455,  975, 0xC0C0C0,      kBlack,        {NoFont,  0, false},  20, Left,   NoFlags},
    {"Label8",    Label,   "Frame7",  "FREEZE",         120,  240, 1215,  255, 0xC0C0C0,      kBlack,        {B,       9, true},   21, Centre, NoFlags},
    {"Command25", Button,  "Frame7",  "ON",             120,  600,  615,  300, 0xC0FFC0,      kBlack,        {B,       9, true},   31, Centre, NoFlags},
    {"Command26", Button,  "Frame7",  "OFF",            840,  600,  495,  300, 0xFFC0C0,      kBlack,        {B,       9, true},   32, Centre, NoFlags},
    {"Frame6",    Frame,   "",        "",              4800, 1320, 1455,  975, 0xC0C0C0,      kBlack,        {NoFont,  0, false},  12, Left,   NoFlags},
    {"Label7",    Label,   "Frame6",  "MENU",           240,  240,  975,  255, 0xC0C0C0,      kBlack,        {B,       9, true},   13, Centre, NoFlags},
    {"Command23", Button,  "Frame6",  "ON",             120,  600,  615,  300, 0xC0FFC0,      kBlack,        {B,       9, true},   29, Centre, NoFlags},
    {"Command24", Button,  "Frame6",  "OFF",            840,  600,  495,  300, 0xFFC0C0,      kBlack,        {B,       9, true},   30, Centre, NoFlags},
    {"Frame5",    Frame,   "",        "",              6360, 1320, 1695,  975, 0xC0C0C0,      kBlack,        {NoFont,  0, false},  10, Left,   NoFlags},
    {"Label6",    Label,   "Frame5",  "VIDEO  image",   120,  240, 1455,  375, 0xC0C0C0,      kBlack,        {B,       9, true},   11, Centre, NoFlags},
    {"Command31", Button,  "Frame5",  "Normal",         120,  600,  735,  300, 0xC0FFFF,      kBlack,        {B,       9, false},  33, Centre, NoFlags},
    {"Command32", Button,  "Frame5",  "Wide",           960,  600,  615,  300, 0xC0FFFF,      kBlack,        {B,       9, false},  34, Centre, NoFlags},
    {"Frame10",   Frame,   "",        "",              8160, 1320, 1215, 1440, 0xC0C0C0,      kBlack,        {NoFont,  0, false},  62, Left,   NoFlags},
    {"Label20",   Label,   "Frame10", "LENS SHIFT",     120,  240,  975,  495, 0xC0C0C0,      kBlack,        {B,    8.25, true},   65, Centre, Wraps},
    {"Command59", Button,  "Frame10", "↑",              360,  720,  492,  252, 0xFFE0C0,      kBlack,        {B,    8.25, false},  63, Centre, NoFlags},
    {"Command62", Button,  "Frame10", "↓",              360, 1080,  492,  252, 0xFFE0C0,      kBlack,        {B,    8.25, false},  64, Centre, NoFlags},
    // Adjuster row: VOL, Zoom, Focus, D.Zoom, Keystone
    {"Label3",    Label,   "",        "VOL",           3600, 2520,  495,  255, 0xC0C0C0,      kBlack,        {B,       9, true},    5, Centre, NoFlags},
    {"Command1",  Button,  "",        "+",             3600, 2880,  375,  255, 0xFFC080,      kBlack,        {B,       9, true},    3, Centre, NoFlags},
    {"Command2",  Button,  "",        "-",             3600, 3240,  375,  255, 0xFFC080,      kBlack,        {B,       9, true},    4, Centre, NoFlags},
    {"Label13",   Label,   "",        "Zoom",          4200, 2520,  735,  255, 0xC0C0C0,      kBlack,        {B,       9, false},  47, Centre, NoFlags},
    {"Command15", Button,  "",        "+",             4440, 2880,  375,  255, 0xFFE0C0,      kBlack,        {B,       9, false},  45, Centre, NoFlags},
    {"Command35", Button,  "",        "-",             4440, 3240,  375,  255, 0xFFE0C0,      kBlack,        {B,       9, false},  46, Centre, NoFlags},
    {"Label14",   Label,   "",        "Focus",         5160, 2520,  735,  255, 0xC0C0C0,      kBlack,        {B,       9, false},  50, Centre, NoFlags},
    {"Command36", Button,  "",        "+",             5280, 2880,  375,  255, 0xFFE0C0,      kBlack,        {B,       9, false},  48, Centre, NoFlags},
    {"Command37", Button,  "",        "-",             5280, 3240,  375,  255, 0xFFE0C0,      kBlack,        {B,       9, false},  49, Centre, NoFlags},
    {"Label17",   Label,   "",        "D.Zoom",        6000, 2520,  855,  255, 0xC0C0C0,      kBlack,        {B,       9, false},  57, Centre, NoFlags},
    {"Command48", Button,  "",        "+",             6240, 2880,  375,  255, 0xC0FFFF,      kBlack,        {B,       9, false},  55, Centre, NoFlags},
    {"Command49", Button,  "",        "-",             6240, 3240,  375,  255, 0xC0FFFF,      kBlack,        {B,       9, false},  56, Centre, NoFlags},
    {"Label18",   Label,   "",        "Keystone",      7080, 2520,  975,  255, 0xC0C0C0,      kBlack,        {B,       9, false},  60, Centre, NoFlags},
    {"Command50", Button,  "",        "+",             7320, 2880,  375,  255, 0xC0FFFF,      kBlack,        {B,       9, false},  58, Centre, NoFlags},
    {"Command51", Button,  "",        "-",             7320, 3240,  375,  255, 0xC0FFFF,      kBlack,        {B,       9, false},  59, Centre, NoFlags},
    // Arrow pad
    {"Command5",  Button,  "",        "↑",             1200, 2520,  855,  375, 0xFFE0C0,      kBlack,        {B,       9, true},   15, Centre, NoFlags},
    {"Command9",  Button,  "",        "←",              240, 3000,  855,  375, 0xFFE0C0,      kBlack,        {B,       9, true},   19, Centre, NoFlags},
    {"Command6",  Button,  "",        "SELECT",        1200, 3000,  855,  375, 0xFF8000,      kBlack,        {B,       9, false},  16, Centre, NoFlags},
    {"Command8",  Button,  "",        "→",             2160, 3000,  855,  375, 0xFFE0C0,      kBlack,        {B,       9, true},   18, Centre, NoFlags},
    {"Command7",  Button,  "",        "↓",             1200, 3480,  855,  375, 0xFFE0C0,      kBlack,        {B,       9, true},   17, Centre, NoFlags},
    // Right column, port selection and image modes
    {"Command13", Button,  "",        "A-IMAGE",       8400, 2850,  975,  250, 0x00C0C0,      kBlack,        {B,       9, false},  22, Centre, NoFlags},
    {"Command73", Button,  "",        "IMAGE",         8400, 3120,  972,  252, 0xC0C0FF,      kBlack,        {B,       9, false},  71, Centre, NoFlags},
    {"Command39", Button,  "",        "P-Timer",       8400, 3390,  975,  255, 0xC0C0FF,      kBlack,        {B,       9, false},  75, Centre, NoFlags},
    {"Command3",  Button,  "",        "DISPLAY CLEAR", 8400, 3660,  975,  492, 0xC0C0FF,      kBlack,        {B,       9, false},  14, Centre, NoFlags},
    {"Command16", Button,  "",        "END",           8400, 4320,  975,  375, 0xC0C0C0,      kBlack,        {B,       9, true},   23, Centre, NoFlags},
    {"Command33", Button,  "",        "COM",           4080, 4200, 1815,  375, kSystemColour, kBlack,        {A,       9, false},  35, Centre, NoFlags},
    {"Frame8",    Frame,   "",        "",              3480, 3600, 2775, 1185, 0xC0C0C0,      kBlack,        {NoFont,  0, false},  36, Left,   Hidden},
    {"Option1",   Option,  "Frame8",  "COM1",           240,  240, 1215,  255, 0xC0C0C0,      kBlack,        {B,       9, true},   37, Left,   NoFlags},
    {"Option2",   Option,  "Frame8",  "COM2",          1560,  240, 1095,  255, 0xC0C0C0,      kBlack,        {B,       9, true},   38, Left,   NoFlags},
    {"Frame13",   Frame,   "Frame8",  "",               120,  480, 2535,  615, 0xC0C0C0,      kBlack,        {NoFont,  0, false},  77, Left,   NoFlags},
    {"Option3",   Option,  "Frame13", "19200",          120,  240, 1095,  255, 0xC0C0C0,      kBlack,        {B,       9, true},   78, Left,   Selected},
    {"Option4",   Option,  "Frame13", "9600",          1440,  240,  975,  255, 0xC0C0C0,      kBlack,        {B,       9, true},   79, Left,   NoFlags},
    {"Command10", Button,  "",        "STAND",          240, 4080,  975,  255, 0xC0FFFF,      kBlack,        {B,       9, false},  80, Centre, NoFlags},
    {"Command12", Button,  "",        "REAL",          1200, 4080,  975,  255, 0xC0FFFF,      kBlack,        {B,       9, false},  82, Centre, NoFlags},
    {"Command41", Button,  "",        "CINEMA",        2160, 4080,  975,  255, 0xC0FFFF,      kBlack,        {B,       9, false},  84, Centre, NoFlags},
    {"Command11", Button,  "",        "IMAGE1",         240, 4320,  975,  255, 0xC0FFFF,      kBlack,        {B,       9, false},  81, Centre, NoFlags},
    {"Command30", Button,  "",        "IMAGE2",        1200, 4320,  975,  255, 0xC0FFFF,      kBlack,        {B,       9, false},  83, Centre, NoFlags},
    {"Command42", Button,  "",        "IMAGE3",        2160, 4320,  975,  255, 0xC0FFFF,      kBlack,        {B,       9, false},  85, Centre, NoFlags},
    {"Command43", Button,  "",        "IMAGE4",         240, 4560,  975,  255, 0xC0FFFF,      kBlack,        {B,       9, false},  86, Centre, NoFlags},
    // Monitor, status and query band (taller views only)
    {"Frame9",    Frame,   "",        "",               120, 4920, 6855, 1068, 0xC0C0C0,      kBlack,        {NoFont,  0, false},  39, Left,   NoFlags},
    {"Label9",    Label,   "Frame9",  "TXD",            120,  240,  372,  252, 0xC0C0C0,      kBlack,        {B,    8.25, false},  40, Right,  NoFlags},
    {"Label11",   Label,   "Frame9",  "",               600,  195, 6135,  300, 0xFFFFFF,      kBlack,        {A,    9.75, true},   42, Left,   Border},
    {"Label10",   Label,   "Frame9",  "RXD",            120,  600,  375,  300, 0xC0C0C0,      kBlack,        {B,    8.25, false},  41, Right,  NoFlags},
    {"Label12",   Label,   "Frame9",  "",               585,  600, 6135,  300, 0xFFFFFF,      kBlack,        {A,    9.75, true},   43, Left,   Border},
    {"Command34", Button,  "",        "データを表示する", 7440, 5040,  975,  375, 0xC0C0C0,      kBlack,        {B,       9, false},  44, Centre, Hidden},
    {"Command44", Button,  "",        "STATUS",        7320, 5760,  975,  255, 0xC0FFFF,      kBlack,        {B,    8.25, true},   51, Centre, NoFlags},
    {"Command46", Button,  "",        "L-TIME",        8280, 5760, 1095,  255, 0xC0FFFF,      kBlack,        {B,    8.25, true},   53, Centre, NoFlags},
    {"Command45", Button,  "",        "MODE",          7320, 6000,  975,  255, 0xC0FFFF,      kBlack,        {B,    8.25, true},   52, Centre, NoFlags},
    {"Command47", Button,  "",        "SETTING",       8280, 6000, 1095,  255, 0xC0FFFF,      kBlack,        {B,    8.25, true},   54, Centre, NoFlags},
    {"Frame15",   Frame,   "",        "",               720, 6000, 6255,  492, 0xC0C0C0,      kBlack,        {NoFont,  0, false},  72, Left,   NoFlags},
    {"Label26",   Label,   "Frame15", "STATUS",         120,  204,  732,  180, 0xC0C0C0,      kBlack,        {B,    8.25, false},  74, Left,   NoFlags},
    {"Label25",   Label,   "Frame15", "",               840,  135, 5295,  285, 0xFFFFFF,      0xFF0000,      {A,       9, true},   73, Left,   Border},
    {"Command52", Button,  "",        "C01",            120, 6120,  495,  255, 0xFFC0C0,      kBlack,        {B,       9, false},  61, Centre, NoFlags},
    // Lowest band: LAMP MODE, FAN SPEED, command entry (full view only)
    {"Frame16",   Frame,   "",        "",              4800, 6960, 2295,  975, 0xC0C0C0,      kBlack,        {NoFont,  0, false}, 107, Left,   NoFlags},
    {"Label16",   Label,   "Frame16", "LAMP MODE",      240,  240, 1935,  255, 0xC0C0C0,      kBlack,        {A,       9, true},  108, Centre, NoFlags},
    {"Command66", Button,  "Frame16", "FULL",           240,  555,  975,  300, 0xC0FFC0,      kBlack,        {A,    8.25, true},  109, Centre, NoFlags},
    {"Command67", Button,  "Frame16", "ECO",           1320,  555,  855,  300, 0xFFE0C0,      kBlack,        {A,    8.25, true},  110, Centre, NoFlags},
    {"Frame2",    Frame,   "",        "",              7200, 6960, 2175,  975, 0xC0C0C0,      kBlack,        {NoFont,  0, false}, 101, Left,   NoFlags},
    {"Label2",    Label,   "Frame2",  "FAN SPEED",      240,  240, 1695,  255, 0xC0C0C0,      kBlack,        {A,       9, true},  102, Centre, NoFlags},
    {"Command60", Button,  "Frame2",  "MAX",            120,  555,  975,  300, 0xC0FFC0,      kBlack,        {A,    8.25, true},  103, Centre, NoFlags},
    {"Command61", Button,  "Frame2",  "NOR",           1200,  555,  855,  300, 0xC0FFC0,      kBlack,        {A,    8.25, true},  104, Centre, NoFlags},
    {"Command64", Button,  "",        "PJ  USE",       8040, 8040, 1335,  255, 0xFFE0C0,      kBlack,        {A,    8.25, true},  105, Centre, NoFlags},
    {"Command65", Button,  "",        "L-MODE",        8040, 8280, 1335,  255, 0xFFE0C0,      kBlack,        {A,    8.25, true},  106, Centre, NoFlags},
    {"Frame14",   Frame,   "",        "",               240, 8085, 7455,  570, 0xC0C0C0,      kBlack,        {NoFont,  0, false},  87, Left,   NoFlags},
    {"Label15",   Label,   "Frame14", "CMD",            120,  240,  615,  255, 0xC0C0C0,      kBlack,        {A,       9, false},  91, Left,   NoFlags},
    {"Text1",     TextBox, "Frame14", "",               735,  165, 4815,  330, kSystemColour, kSystemColour, {A,    9.75, true},   88, Left,   NoFlags},
    {"Command53", Button,  "Frame14", "SEND",          5625,  195,  855,  255, 0xC0FFC0,      kBlack,        {A,       9, true},   89, Centre, NoFlags},
    {"Command54", Button,  "Frame14", "CLS",           6480,  195,  735,  255, 0xFFC0C0,      kBlack,        {A,       9, true},   90, Centre, NoFlags},
};

// The plus-shaped outline around the arrow pad.
constexpr LayoutLine kLines[] = {
//   name       x1    y1    x2    y2   style
    {"Line7",  1080, 2400, 2160, 2400, Dotted},
    {"Line1",  1080, 2400, 1080, 2880, Solid},
    {"Line2",  2160, 2400, 2160, 2880, Dotted},
    {"Line8",   120, 2880, 1080, 2880, Solid},
    {"Line9",  2160, 2880, 3120, 2880, Dashed},
    {"Line6",   120, 2880,  120, 3480, Solid},
    {"Line3",  3120, 2880, 3120, 3480, Solid},
    {"Line10",  120, 3480, 1080, 3480, Solid},
    {"Line12", 2160, 3480, 3120, 3480, Solid},
    {"Line5",  1080, 3480, 1080, 3960, Solid},
    {"Line4",  2160, 3480, 2160, 3960, Solid},
    {"Line11", 1080, 3960, 2160, 3960, Solid},
};
// clang-format on

} // namespace

std::span<const LayoutRow> layoutTable()
{
    return kRows;
}

std::span<const LayoutLine> layoutLines()
{
    return kLines;
}

const LayoutRow* findLayoutRow(QStringView name)
{
    const auto it = std::find_if(std::begin(kRows), std::end(kRows), [name](const LayoutRow& row) {
        return name == QLatin1StringView(row.name);
    });
    return it == std::end(kRows) ? nullptr : it;
}

const char* faceName(FontFace face)
{
    switch (face) {
    case A:
        return kFaceAName;
    case B:
        return kFaceBName;
    case NoFont:
        break;
    }
    return "";
}

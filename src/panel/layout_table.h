#pragma once
#include "panel/views.h" // kTwipsPerPixel

#include <QStringView>
#include <QtGlobal>
#include <span>

// The window's controls as data: where each sits, how it looks and its state when the window is
// created. Widgets are built from these rows by one loop (layout_builder.h); nothing here needs
// a widget, so the table is checked on its own.

enum class ControlKind : quint8 { Frame, Label, Button, Option, TextBox, Image };
enum class FontFace : quint8 { NoFont, A, B };
enum class TextAlign : quint8 { Left, Centre, Right };
enum class LineStyle : quint8 { Solid, Dotted, Dashed };

namespace LayoutFlag
{
inline constexpr quint8 None = 0;
inline constexpr quint8 HiddenAtStart = 1;   // shown later by its handler
inline constexpr quint8 SingleBorder = 2;    // a one-pixel box around a label
inline constexpr quint8 Wraps = 4;           // caption wraps within the label's width
inline constexpr quint8 SelectedAtStart = 8; // option button checked when created
} // namespace LayoutFlag

// Colours are 0xRRGGBB; kSystemColour leaves the toolkit's own colour in place.
inline constexpr quint32 kSystemColour = 0xFFFFFFFFu;
inline constexpr quint32 kBlack = 0x000000u;

// Japanese Gothic faces the panel was designed with (proportional A, fixed-pitch B).
inline constexpr const char* kFaceAName = "ＭＳ Ｐゴシック";
inline constexpr const char* kFaceBName = "ＭＳ ゴシック";

struct LayoutFont {
    FontFace face;
    double points;
    bool bold;
};

// One control. Positions are twips, relative to the parent frame or, when parent is "",
// to the window's client area. Captions are UTF-8.
struct LayoutRow {
    const char* name;
    ControlKind kind;
    const char* parent;
    const char* caption;
    int left, top, width, height;
    quint32 backColour;
    quint32 textColour;
    LayoutFont font;
    int tabIndex; // -1: not in the focus order
    TextAlign align;
    quint8 flags;

    bool has(quint8 flag) const { return (flags & flag) != 0; }
};

// A straight line drawn on the window, in client-area twips.
struct LayoutLine {
    const char* name;
    int x1, y1, x2, y2;
    LineStyle style;
};

inline constexpr int kLineWidthPixels = 2;
inline constexpr quint32 kLineColour = 0x8080FF;

inline constexpr const char* kWindowTitle = "ZEVA   LQ500 & LQ400  CONTROL  Ver.1.40";
inline constexpr int kDesignClientWidthTwips = 9510;
inline constexpr int kDesignClientHeightTwips = 8730;
inline constexpr quint32 kWindowBackColour = 0xC0C0C0;
inline constexpr LayoutFont kWindowFont{FontFace::A, 7.5, false};

// Nearest whole pixel (15 is odd, so there is never a tie).
constexpr int twipsToPixels(int twips)
{
    const int half = kTwipsPerPixel / 2;
    return twips >= 0 ? (twips + half) / kTwipsPerPixel : -((-twips + half) / kTwipsPerPixel);
}

std::span<const LayoutRow> layoutTable();
const LayoutRow* findLayoutRow(QStringView name); // nullptr when no control has that name
// Buttons, options and the text box take the keyboard focus; frames, labels and images do not.
constexpr bool takesFocus(ControlKind kind)
{
    return kind == ControlKind::Button || kind == ControlKind::Option ||
           kind == ControlKind::TextBox;
}
std::span<const LayoutLine> layoutLines();
const char* faceName(FontFace face); // "" for FontFace::NoFont

#pragma once
#include <QHash>
#include <QString>

class QFont;
class QRect;
class QWidget;

// Installed stand-ins for the two designed Japanese Gothic faces, which Linux desktops lack.
inline constexpr const char* kFaceASubstitute = "IPAPGothic";
inline constexpr const char* kFaceBSubstitute = "IPAGothic";

// Maps the designed faces to their stand-ins. Call before the first widget is created, so that
// no font is resolved without them.
void installFontSubstitutions();

// Creates every control and line of the layout table on `window` at its designed place and in
// its state at creation, sets the window's own colour and font (not its title or size), and
// chains the keyboard focus order. Returns the widgets by control name.
QHash<QString, QWidget*> buildLayout(QWidget* window);

// A wrapped button caption's font: the button's own, made smaller only as far as the caption
// needs to fit `area` in height.
QFont fittedCaptionFont(const QFont& font, const QRect& area, const QString& caption);

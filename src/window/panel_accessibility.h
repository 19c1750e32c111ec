#pragma once
// Names for screen readers and UI automation, taken from the tables that build and drive the
// panel: a button is called by its group and caption ("POWER ON", "Zoom +", "arrow pad ↑") and
// its tooltip shows the command it sends ("C00").
#include <QString>
#include <QStringView>

class QWidget;

struct AccessibleText {
    QString name;    // empty: the control is not one that takes the focus
    QString toolTip; // the command sent, for command and adjuster buttons only
};

// The data toggle's caption changes with the view (CLOSE, データを表示する, データを表示しない);
// its name stays fixed so that automation finds it in every view.
inline constexpr const char* kDataToggleName = "data toggle";

// Pure: computed from the layout, command and adjuster tables alone.
AccessibleText accessibleTextFor(QStringView control);

// Sets the accessible name and tooltip of every button, option and text box on `window`.
void describePanelForAccessibility(QWidget& window);

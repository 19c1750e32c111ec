#include "window/panel_accessibility.h"

#include "panel/adjuster_table.h"
#include "panel/command_table.h"
#include "panel/layout_table.h"

#include <QLatin1StringView>
#include <QWidget>
#include <utility>

namespace
{

// clang-format off
// Controls whose name is not made from a caption, and frames without a title label.
constexpr std::pair<const char*, const char*> kFixedNames[] = {
    //  control or frame  name
    {"Command34",         kDataToggleName},
    {"Frame8",            "port"},
    {"Frame13",           "speed"},
};
// clang-format on

const char* fixedName(QStringView name)
{
    for (const auto& [control, fixed] : kFixedNames)
        if (QLatin1StringView(control) == name) return fixed;
    return nullptr;
}

// The title of a frame is the first label inside it; "" for a control on the window itself.
QString frameTitle(QStringView frame)
{
    if (frame.isEmpty()) return {};
    if (const char* fixed = fixedName(frame)) return QString::fromUtf8(fixed);
    for (const LayoutRow& row : layoutTable())
        if (row.kind == ControlKind::Label && QLatin1StringView(row.parent) == frame)
            return QString::fromUtf8(row.caption);
    return {};
}

// Captions keep their designed blanks on screen ("PJ  USE", "DVI "); a spoken name does not.
QString joined(const QString& group, const char* caption)
{
    return (group + QLatin1Char(' ') + QString::fromUtf8(caption)).simplified();
}

} // namespace

AccessibleText accessibleTextFor(QStringView control)
{
    const LayoutRow* row = findLayoutRow(control);
    if (!row || !takesFocus(row->kind)) return {};
    if (const char* fixed = fixedName(control)) return {QString::fromUtf8(fixed), {}};
    if (const CommandRow* command = findCommandRow(control))
        return {joined(QString::fromUtf8(command->group), row->caption),
                QString::fromLatin1(command->command)};
    if (const AdjusterRow* adjuster = findAdjusterByControl(control))
        return {joined(QString::fromUtf8(adjuster->group), row->caption),
                QString::fromLatin1(adjuster->command)};
    return {joined(frameTitle(QString::fromUtf8(row->parent)), row->caption), {}};
}

void describePanelForAccessibility(QWidget& window)
{
    for (const LayoutRow& row : layoutTable()) {
        if (!takesFocus(row.kind)) continue;
        const QString name = QString::fromUtf8(row.name);
        auto* widget = window.findChild<QWidget*>(name);
        if (!widget) continue;
        const AccessibleText text = accessibleTextFor(name);
        widget->setAccessibleName(text.name);
        if (!text.toolTip.isEmpty()) widget->setToolTip(text.toolTip);
    }
}

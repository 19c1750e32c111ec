// The compact, monitor, extended and full views, switched by height.
#include "panel/layout_table.h"
#include "panel/views.h"
#include "window/form1.h"

#include <QPushButton>

namespace
{
constexpr int kShiftMask = 7;
constexpr int kCtrlOnly = 2;
const char kCloseCaption[] = "CLOSE";
const char kHideDataCaption[] = "データを表示しない";
// The toggle's designed caption, which shows the data.
QString showDataCaption()
{
    return QString::fromUtf8(findLayoutRow(u"Command34")->caption);
}
} // namespace

void Form1::Form_KeyDown(int keyCode, int shift)
{
    if (keyCode == Qt::Key_H && (shift & kShiftMask) == kCtrlOnly) return toggleHistoryWindow();
    if (keyCode == Qt::Key_P && (shift & kShiftMask) == kCtrlOnly) return showPortsDialog();
    if (shift == 0 && recallCommand(keyCode)) return;
    if (keyCode != Qt::Key_J || (shift & kShiftMask) != kCtrlOnly) return;
    setWindowHeightTwips(kExtendedHeightTwips);
    ExtendedView = 1;
    showCloseToggle();
}

void Form1::Image1_DblClick()
{
    if (ExtendedView != 1) return;
    setWindowHeightTwips(kFullHeightTwips);
    showCloseToggle();
}

void Form1::showCloseToggle()
{
    Command34->setText(QString::fromUtf8(kCloseCaption));
    Command34->show();
}

void Form1::Command34_Click()
{
    Timer3.stop();
    ExtendedView = 0;
    if (windowHeightTwips() >= kToggleThresholdTwips) {
        setWindowHeightTwips(kCompactHeightTwips);
        Command34->setText(showDataCaption());
    } else {
        setWindowHeightTwips(kMonitorHeightTwips);
        Command34->setText(QString::fromUtf8(kHideDataCaption));
    }
    enableTimer(Timer3);
}

// The compact, monitor, extended and full views, switched by height.
#include "panel/views.h"
#include "window/form1.h"

#include <QPushButton>

namespace
{
constexpr int kKeyJ = 74;
constexpr int kKeyH = 72;
constexpr int kShiftMask = 7;
constexpr int kCtrlOnly = 2;
const char kCloseCaption[] = "CLOSE";
const char kShowDataCaption[] = "データを表示する";
const char kHideDataCaption[] = "データを表示しない";
} // namespace

void Form1::Form_KeyDown(int keyCode, int shift)
{
    if (keyCode == kKeyH && (shift & kShiftMask) == kCtrlOnly) return toggleHistoryWindow();
    if (shift == 0 && recallCommand(keyCode)) return;
    if (keyCode != kKeyJ || (shift & kShiftMask) != kCtrlOnly) return;
    setWindowHeightTwips(kExtendedHeightTwips);
    ExtendedView = 1;
    Command34->setText(QString::fromUtf8(kCloseCaption));
    Command34->show();
}

void Form1::Image1_DblClick()
{
    if (ExtendedView != 1) return;
    setWindowHeightTwips(kFullHeightTwips);
    Command34->setText(QString::fromUtf8(kCloseCaption));
    Command34->show();
}

void Form1::Command34_Click()
{
    Timer3.stop();
    ExtendedView = 0;
    if (windowHeightTwips() >= kToggleThresholdTwips) {
        setWindowHeightTwips(kCompactHeightTwips);
        Command34->setText(QString::fromUtf8(kShowDataCaption));
    } else {
        setWindowHeightTwips(kMonitorHeightTwips);
        Command34->setText(QString::fromUtf8(kHideDataCaption));
    }
    enableTimer(Timer3);
}

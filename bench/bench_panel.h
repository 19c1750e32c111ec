#pragma once
// The panel as the benchmarks drive it: COM1 on a pty, loaded, and shown in the view asked for.
#include "pty_peer.h"
#include "window/form1.h"
#include "window/layout_builder.h"

#include <QTest>

// Call before the QApplication exists: offscreen unless another platform is chosen.
inline void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

struct BenchPanel {
    enum class View { Hidden, Compact, Full };

    PtyPeer peer;
    bool fonts = (installFontSubstitutions(), true); // before the first widget
    Form1 form;
    bool ready = true;

    explicit BenchPanel(View view)
    {
        form.MSComm1.setDevices(peer.slavePath(), QStringLiteral("/dev/null-zeva"));
        form.Form_Load();
        if (view == View::Hidden) return;
        form.show();
        if (view == View::Full) { // Ctrl+J, then a double click on the emblem
            form.Form_KeyDown(Qt::Key_J, 2);
            form.Image1_DblClick();
        }
        ready = QTest::qWaitForWindowExposed(&form);
    }
};

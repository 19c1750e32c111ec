// Prints the window's controls as "objectName x y width height", one a line, sorted, at the
// platform's scale 1: the Windows build is compared against the Linux build with it.
//   zeva-layout-dump [FONT-FOLDER]   (fonts to add first, as the packages ship them)
#include "window/form1.h"
#include "window/layout_builder.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QStringList>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    installFontSubstitutions();
    if (argc > 1) {
        const QDir fonts(QString::fromLocal8Bit(argv[argc - 1]));
        for (const QString& name : fonts.entryList({QStringLiteral("*.ttf")}, QDir::Files))
            QFontDatabase::addApplicationFont(fonts.filePath(name));
    }
    Form1 form;
    form.show();
    QStringList lines;
    const QRect window = form.geometry();
    lines << QStringLiteral("Form1 client %1 %2").arg(window.width()).arg(window.height());
    for (const QWidget* w : form.findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(u"qt_")) continue;
        const QRect r = w->geometry();
        lines << QStringLiteral("%1 %2 %3 %4 %5")
                     .arg(w->objectName())
                     .arg(r.x())
                     .arg(r.y())
                     .arg(r.width())
                     .arg(r.height());
    }
    lines.sort();
    std::fputs(qPrintable(lines.join(u'\n') + u'\n'), stdout);
    return 0;
}

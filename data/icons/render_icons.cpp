// Writes the application icon as PNG files, one per size, from the same drawing as the window
// icon, so the menu entry and the running window look alike.
// Usage: zeva-render-icons OUTDIR SIZE...   (writes OUTDIR/SIZExSIZE.png)
#include "window/emblem.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fputs("usage: zeva-render-icons OUTDIR SIZE...\n", stderr);
        return 2;
    }
    const QDir out(args.first());
    if (!out.mkpath(QStringLiteral("."))) return 1;
    const QIcon icon = appIcon();
    for (const QString& text : args.mid(1)) {
        const int size = text.toInt();
        const QPixmap pixmap = icon.pixmap(QSize(size, size), 1.0);
        if (size <= 0 || pixmap.size() != QSize(size, size)) {
            std::fprintf(stderr, "zeva-render-icons: no %s pixel icon\n", qPrintable(text));
            return 1;
        }
        if (!pixmap.save(out.filePath(QStringLiteral("%1x%1.png").arg(size)))) return 1;
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Build-time tool: renders the application icon for the hicolor icon theme.
// Usage: corvane-render-icons OUTPUT_ROOT SIZE... writes
// OUTPUT_ROOT/NxN/apps/org.corvane.Corvane.png, named after the desktop entry so that docks and the
// AppStream catalogue find it.

#include "Pictures.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

int main(int argc, char* argv[])
{
    // Runs during the build, where there may be no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: corvane-render-icons OUTPUT_ROOT SIZE...\n");
        return 2;
    }
    const QString root = arguments.at(1);
    for (const QString& argument : arguments.mid(2)) {
        bool ok = false;
        const int side = argument.toInt(&ok);
        if (!ok || side <= 0) {
            std::fprintf(stderr, "not a size: %s\n", qPrintable(argument));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(side);
        const QPixmap pixmap = Pictures::renderSvg(
            Pictures::path(Pictures::Picture::ApplicationIcon), QSize(side, side));
        if (pixmap.isNull() || !QDir().mkpath(folder)
            || !pixmap.save(folder + QStringLiteral("/org.corvane.Corvane.png"), "PNG")) {
            std::fprintf(stderr, "could not render the %dx%d icon into %s\n", side, side,
                qPrintable(folder));
            return 1;
        }
    }
    return 0;
}

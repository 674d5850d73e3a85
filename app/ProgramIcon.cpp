#include "app/ProgramIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

QIcon ProgramIcon()
{
    // Drawn here rather than through Qt's image plugins, so that the program's link (and
    // with it the package's dependencies) names the library that draws it.
    QSvgRenderer renderer(QStringLiteral(":/weirlink-config.svg"));
    if (!renderer.isValid()) return {};
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

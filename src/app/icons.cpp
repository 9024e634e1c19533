#include "app/icons.h"

#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace varlo {

QIcon toolIcon(const QString &name)
{
    QSvgRenderer renderer(QStringLiteral(":/icons/%1.svg").arg(name));
    Q_ASSERT_X(renderer.isValid(), "toolIcon", qPrintable(name));
    QIcon icon;
    for (int side : {16, 24, 32, 48}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon applicationIcon()
{
    QIcon builtIn;
    const QDir folder(QStringLiteral(":/appicon"));
    for (const QString &name : folder.entryList({QStringLiteral("varlo-*.png")}, QDir::Files))
        builtIn.addFile(folder.filePath(name));
    return QIcon::fromTheme(QStringLiteral("varlo"), builtIn);
}

} // namespace varlo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/publishwindowloader.h"

#include "windowkit/publishwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QPluginLoader>

namespace varlo {

QString publishModulePath()
{
    // Kept as plain bytes in the program, where the package's check finds it.
    static const char kFromProgram[] = VARLO_PUBLISH_MODULE_FROM_BINDIR "/publish.so";
    return QDir::cleanPath(QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromUtf8(kFromProgram)));
}

PublishWindow *loadPublishWindow(const QString &modulePath, Dialogs &dialogs, QWidget *parent, QString *error)
{
    // Qt keeps a loaded plugin until the program ends, and hands the same
    // instance to every loader of the same file.
    QPluginLoader loader(modulePath);
    auto *maker = qobject_cast<PublishWindowMaker *>(loader.instance());
    if (!maker) {
        *error = loader.errorString();
        if (!error->contains(modulePath))
            *error = QStringLiteral("%1: %2").arg(modulePath, *error);
        return nullptr;
    }
    return maker->makePublishWindow(dialogs, parent);
}

PublishWindowSource publishModuleSource()
{
    return [](Dialogs &dialogs, QWidget *parent, QString *error) {
        return loadPublishWindow(publishModulePath(), dialogs, parent, error);
    };
}

} // namespace varlo

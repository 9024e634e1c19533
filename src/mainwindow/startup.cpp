// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/startup.h"

#include "charset/fontinuse.h"
#include "charset/shippedfonts.h"
#include "windowkit/dialogs.h"
#include "windowkit/icons.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace varlo {

MainWindow::Folders defaultFolders()
{
    const QString executableDir = QCoreApplication::applicationDirPath();
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return {executableDir, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
            userData.isEmpty() ? QString() : userData + QStringLiteral("/recovery"), FontInUse::defaultConfigHome(),
            shippedFontFolders(executableDir)};
}

std::unique_ptr<MainWindow> startWindows(MainWindow::Folders folders, std::unique_ptr<Dialogs> dialogs,
                                         const QString &fileToOpen)
{
    // For every window and message box of the program.
    QApplication::setWindowIcon(applicationIcon());
    auto main = std::make_unique<MainWindow>(std::move(folders), std::move(dialogs));
    main->show();
    // The Open dialog always answers with a full path, and so the caption
    // and a later Save see one here too.
    if (!fileToOpen.isEmpty())
        main->openDocument(QDir::cleanPath(QFileInfo(fileToOpen).absoluteFilePath()));
    // After the file: a restored set takes its place, and the file is still
    // on disk, so neither is lost.
    main->offerRecoveryCopy();
    return main;
}

} // namespace varlo

// SPDX-License-Identifier: GPL-3.0-or-later
// The program's windows with the Preview open on a scrolling slot, started
// the way varlo's main() starts them and then left alone: bench_display
// measures the processor time this process takes while the text scrolls.
//
//   bench_preview   prints "ready" once the Preview shows, then runs until
//                   it is ended

#include "console/programoutput.h"
#include "mainwindow/startup.h"
#include "slotrows/slotedit.h"
#include "slotrows/slotrows.h"
#include "windowkit/dialogs.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    varlo::nameProgram(QStringLiteral("varlo"));
    // The user's copy of unsaved messages is no business of a benchmark: none
    // is offered, kept or removed.
    varlo::MainWindow::Folders folders = varlo::defaultFolders();
    folders.recoveryDir.clear();
    const auto window = varlo::startWindows(folders, std::make_unique<varlo::WidgetDialogs>());
    // Plain, bold, a picture and flash cells, at the default speed, the
    // fastest: a step every 17 ms and a flash change every 500 ms.
    window->slotRows()->edit(0)->setMarkup("HELLO ~H ~BSALE~A ~Fnow~F");
    window->slotRows()->edit(0)->setFocus();
    QAction *preview = window->findChild<QAction *>(QStringLiteral("Preview1"));
    if (!preview)
        return 1;
    preview->trigger();
    QTimer::singleShot(0, [] {
        std::printf("ready\n");
        std::fflush(stdout);
    });
    return QApplication::exec();
}

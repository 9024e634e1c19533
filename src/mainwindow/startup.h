// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mainwindow/mainwindow.h"

#include <memory>

namespace varlo {

class Dialogs;

// The folders the program uses: for its support files, beside the
// executable, or the per-user data folder when that can't be written; the
// user's config folder for the font in use; the shipped fonts' folders.
MainWindow::Folders defaultFolders();

// Starts the program: the main window (it writes the support files and sets
// the first glyphs as it is built), then shows it, which on its first
// showing runs New and puts the focus in slot A. The other windows (About,
// Help, Preview, Publish, the Character Generator) are made when first
// asked for, so nothing the first frame does not show is built before it.
//
// A `fileToOpen` (the file named on the command line) is opened after that,
// as a confirmed Open of it would be: a relative path is taken from the
// working directory, and a file that can't be read is reported and leaves
// the new empty set as it is. An empty text opens nothing. Last, messages
// a run before left unsaved are offered back.
std::unique_ptr<MainWindow> startWindows(MainWindow::Folders folders, std::unique_ptr<Dialogs> dialogs,
                                         const QString &fileToOpen = QString());

} // namespace varlo

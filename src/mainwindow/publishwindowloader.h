// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace varlo {

class Dialogs;
class PublishWindow;

// How the main window gets its Publish window: a new one owned by parent,
// or null with the reason in *error. Tests make the window directly.
using PublishWindowSource = std::function<PublishWindow *(Dialogs &dialogs, QWidget *parent, QString *error)>;

// Where the program looks for the Publish window's module: relative to the
// program's folder, where the build and the package put it.
QString publishModulePath();

// Loads the module at modulePath (it stays loaded) and makes a Publish
// window with it; null, with a reason that names the file, when the module
// is missing or is not one.
PublishWindow *loadPublishWindow(const QString &modulePath, Dialogs &dialogs, QWidget *parent, QString *error);

// The program's own source: the module at publishModulePath().
PublishWindowSource publishModuleSource();

} // namespace varlo

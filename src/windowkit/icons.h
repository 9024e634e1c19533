// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>

namespace varlo {

// A tool bar or menu picture by its name ("star", "save", ...), drawn from
// its SVG at whatever size it is shown, so it stays crisp at any screen
// scale; each size is drawn when first needed.
QIcon toolIcon(const QString &name);

// The program's icon: the one named by the program's id in the desktop's
// icon theme when it is installed there, otherwise the same drawing built
// into the program.
QIcon applicationIcon();

} // namespace varlo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

class QWidget;

namespace varlo {

// The colour of text that warns: a slot whose text fills more cells than the
// panel shows.
inline constexpr QColor kWarningRed{200, 0, 0};

// Shows the widget's text in the warning colour, or again in the colours of
// its parent.
void showAsWarning(QWidget *widget, bool warn);

} // namespace varlo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowkit/warningtext.h"

#include <QPalette>
#include <QWidget>

namespace varlo {

void showAsWarning(QWidget *widget, bool warn)
{
    QPalette palette = widget->parentWidget()->palette();
    if (warn)
        palette.setColor(QPalette::WindowText, kWarningRed);
    widget->setPalette(palette);
}

} // namespace varlo

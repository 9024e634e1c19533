// SPDX-License-Identifier: GPL-3.0-or-later
#include "slotrows/speedbutton.h"

#include "display/panelscroller.h"
#include "model/messageset.h"

#include <QKeyEvent>

namespace varlo {

SpeedButton::SpeedButton(QWidget *parent)
    : QToolButton(parent)
{
    // Tab only: a click must not take the caret out of the slot being typed in.
    setFocusPolicy(Qt::TabFocus);
}

QString SpeedButton::describe(quint8 speedCode)
{
    if (speedCode >= MessageSet::kSpeedCodeCount) {
        // Only a stray byte in a message file gives such a code; the panel
        // runs it at the fastest speed.
        return tr("Speed code %1 from the file, run as the fastest — click to change").arg(speedCode);
    }
    return tr("Speed %1, %2 — click to change")
        .arg(speedCode + 1)
        .arg(QString::fromLatin1(scrollSpeedFor(speedCode).name).toLower());
}

void SpeedButton::showSpeed(quint8 speedCode)
{
    const QString text = describe(speedCode);
    if (toolTip() == text)
        return;
    setToolTip(text);
    setAccessibleDescription(text);
}

void SpeedButton::keyPressEvent(QKeyEvent *event)
{
    // Space already clicks a button; Enter does here too, as it does on the
    // other buttons of the window.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QToolButton::keyPressEvent(event);
}

} // namespace varlo

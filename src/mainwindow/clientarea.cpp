// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/clientarea.h"

#include <QMoveEvent>

namespace varlo {

ClientArea::ClientArea(QWidget *parent)
    : QWidget(parent)
{
}

void ClientArea::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    emit moved(event->pos().y());
}

} // namespace varlo

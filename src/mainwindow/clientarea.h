// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace varlo {

// The main window's client area, below the menu bar and the tool bar. The
// window's controls stand at fixed places measured from the top of the
// window, while the menu bar takes the height its font needs, so the area
// tells where its top is whenever it moves.
class ClientArea : public QWidget
{
    Q_OBJECT

public:
    explicit ClientArea(QWidget *parent = nullptr);

signals:
    void moved(int top);

protected:
    void moveEvent(QMoveEvent *event) override;
};

} // namespace varlo

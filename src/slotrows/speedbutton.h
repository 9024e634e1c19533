// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QToolButton>

namespace varlo {

// A slot's speed button. Tab reaches it from its slot's edit box, and Space
// or Enter step it as a click does; a click with the mouse leaves the focus
// in the slot being typed in. Its tool tip and accessible description say
// the speed in words, since the glyph alone says nothing to a screen reader.
class SpeedButton : public QToolButton
{
    Q_OBJECT

public:
    explicit SpeedButton(QWidget *parent = nullptr);

    // "Speed 5, fastest — click to change" for speed code 4.
    static QString describe(quint8 speedCode);
    void showSpeed(quint8 speedCode);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace varlo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/escapetable.h"

#include <QByteArray>
#include <QIcon>
#include <QString>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

class QAction;
class QObject;

namespace varlo {

class SlotRows;

// A command that inserts one escape at the caret of the focused slot: the
// pictures, the tilde, the blank cell, flash and the two fonts. Each is one
// action, shared by its tool button and its Picture menu entry.
struct InsertCommand
{
    const char *button; // its tool button
    const char *menuItem; // its entry of the Picture menu, or nullptr
    const char *hint; // status tip and tool tip, or nullptr for none
    const char *icon; // the picture's name (see toolIcon)
    char selector; // the escape is the tilde and this
    bool separatorBefore; // on the tool bar

    QByteArray escape() const { return QByteArray(1, kEscapeLead) + selector; }
    // The menu entry says what the escape table calls it.
    QString menuText() const;
};

// In tool bar order.
inline constexpr std::array<InsertCommand, 14> kInsertCommands{{
    {"PicStar", "Star1", "Picture Star", "star", '+', false},
    {"BtnHeart", "Heart1", "Picture Heart", "heart", 'H', false},
    {"BtnRight", "RightArrow1", "Picture Right Arrow", "right", '>', false},
    {"BtnLeft", "LeftArrow1", "Picture Left Arrow", "left", '<', false},
    {"BtnSmile", "Smile1", "Picture Smile", "smile", 'S', false},
    {"BtnPlane", "Plane1", "Picture Plane", "plane", 'x', false},
    {"BtnCircleSolid", "Circle01", "Picture Circle Solid", "circlesolid", 'O', false},
    {"BtnCircle", "Circle1", "Picture Circle", "circle", 'o', false},
    {"BtnPhone", "Phone1", "Picture Phone", "phone", 'P', false},
    {"ToolButton8", nullptr, nullptr, "tilde", '~', false},
    {"BtnNull", "UserDefine1", "Null", "null", 'R', false},
    {"BtnSpeed1", nullptr, "FLASH!", "flash", 'F', true},
    {"ToolButton2", nullptr, "Font Normal", "fontnormal", 'A', true},
    {"ToolButton3", nullptr, "Font Bold", "fontbold", 'B', false},
}};
static_assert(std::ranges::all_of(kInsertCommands,
                                  [](const InsertCommand &c) { return findEscape(c.selector).has_value(); }),
              "every insertion command inserts an escape the encoder knows");

// The Picture menu lists its entries in an order of its own.
inline constexpr std::array<const char *, 10> kPictureMenuOrder{
    "Star1", "Heart1", "LeftArrow1", "RightArrow1", "Phone1", "Plane1", "Smile1", "Circle01", "Circle1", "UserDefine1"};

using IconSource = std::function<QIcon(const QString &name)>;

// One action per command, in tool bar order, named after its menu entry or
// else its tool button; triggering it inserts the escape into the focused
// slot of `rows`.
std::vector<QAction *> makeInsertActions(SlotRows *rows, const IconSource &icon, QObject *parent);

} // namespace varlo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <array>
#include <optional>

namespace varlo {

// The markup language: a tilde and the byte after it (the selector) form one
// escape. This table is the single list of selectors the encoder knows, and
// the insertion commands of the editor take their texts from it.
enum class EscapeKind {
    Picture, // one cell, the picture's code, always attribute 0
    Blank, // one cell, code 31, the current attributes
    Tilde, // one cell, code 0x7E, the current attributes
    BoldOff, // no cell
    BoldOn, // no cell
    FlashToggle, // no cell
};

struct Escape
{
    char selector;
    EscapeKind kind;
    quint8 code; // cell code for the kinds that fill a cell, else 0
    const char *name;
};

inline constexpr char kEscapeLead = '~';

inline constexpr std::array<Escape, 14> kEscapes{{
    {'+', EscapeKind::Picture, 13, "Star"},
    {'H', EscapeKind::Picture, 15, "Heart"},
    {'<', EscapeKind::Picture, 17, "Left Arrow"},
    {'>', EscapeKind::Picture, 19, "Right Arrow"},
    {'P', EscapeKind::Picture, 21, "Phone"},
    {'x', EscapeKind::Picture, 23, "Plane"},
    {'S', EscapeKind::Picture, 25, "Smile"},
    {'O', EscapeKind::Picture, 27, "Solid Circle"},
    {'o', EscapeKind::Picture, 29, "Circle"},
    {'R', EscapeKind::Blank, 31, "Null"},
    {'~', EscapeKind::Tilde, 0x7E, "Tilde"},
    {'A', EscapeKind::BoldOff, 0, "Font Normal"},
    {'B', EscapeKind::BoldOn, 0, "Font Bold"},
    {'F', EscapeKind::FlashToggle, 0, "FLASH!"},
}};

// Selectors are case-sensitive; anything not in the table is no escape.
constexpr std::optional<Escape> findEscape(char selector)
{
    for (const Escape &e : kEscapes) {
        if (e.selector == selector)
            return e;
    }
    return std::nullopt;
}

} // namespace varlo

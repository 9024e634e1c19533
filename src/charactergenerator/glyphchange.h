// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fontfile.h"

#include <QUndoCommand>

#include <array>
#include <functional>

namespace varlo {

// One change of one glyph in the Character Generator: its dots, its label
// or both, as an undo step. Every edit goes through one, so each can be
// undone and redone; `changed` tells the window which glyph to redraw.
// The dots of one stroke of the mouse (`stroke`, the same number from press
// to release, 0 for none) merge into one step.
class GlyphChange : public QUndoCommand
{
public:
    using Columns = std::array<quint8, FontTable::kGlyphBytes>;
    struct State
    {
        Columns columns{};
        QString label;
    };

    GlyphChange(FontFile &font, FontTable::Font face, quint8 code, const State &after, const QString &text,
                std::function<void(FontTable::Font, quint8)> changed, int stroke = 0);

    static State stateOf(const FontFile &font, FontTable::Font face, quint8 code);

    void undo() override { apply(m_before); }
    void redo() override { apply(m_after); }
    int id() const override { return m_stroke != 0 ? kStrokeId : -1; }
    bool mergeWith(const QUndoCommand *other) override;

private:
    static constexpr int kStrokeId = 1;

    void apply(const State &state);

    FontFile &m_font;
    FontTable::Font m_face;
    quint8 m_code;
    State m_before;
    State m_after;
    std::function<void(FontTable::Font, quint8)> m_changed;
    int m_stroke;
};

} // namespace varlo

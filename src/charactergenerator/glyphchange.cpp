// SPDX-License-Identifier: GPL-3.0-or-later
#include "charactergenerator/glyphchange.h"

namespace varlo {

GlyphChange::GlyphChange(FontFile &font, FontTable::Font face, quint8 code, const State &after, const QString &text,
                         std::function<void(FontTable::Font, quint8)> changed, int stroke)
    : QUndoCommand(text)
    , m_font(font)
    , m_face(face)
    , m_code(code)
    , m_before(stateOf(font, face, code))
    , m_after(after)
    , m_changed(std::move(changed))
    , m_stroke(stroke)
{
}

bool GlyphChange::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const GlyphChange *>(other);
    if (next->m_stroke != m_stroke || next->m_face != m_face || next->m_code != m_code)
        return false;
    m_after = next->m_after;
    return true;
}

GlyphChange::State GlyphChange::stateOf(const FontFile &font, FontTable::Font face, quint8 code)
{
    State state;
    const FontTable::Glyph glyph = font.glyph(face, code);
    std::copy(glyph.begin(), glyph.end(), state.columns.begin());
    state.label = font.label(face, code);
    return state;
}

void GlyphChange::apply(const State &state)
{
    m_font.setGlyph(m_face, m_code, state.columns);
    m_font.setLabel(m_face, m_code, writtenFontLabel(state.label));
    m_changed(m_face, m_code);
}

} // namespace varlo

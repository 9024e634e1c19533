// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/panelcharmap.h"

#include <QByteArray>
#include <QLineEdit>

namespace varlo {

// One slot's edit box. It holds the slot's markup as bytes and shows each
// byte as the panel draws it with the font in use (its PanelCharMap). The typing limit of 124
// characters binds only what the user types or pastes: texts that the
// program sets (a file, an inserted escape, a moved text) may be longer, and
// deleting from such a text always works. A typed character the panel cannot
// draw is not inserted; pasted text keeps what fits and what the panel can
// show (pictures as escapes, typographic marks as look-alikes); refused()
// says what was left out, for the status bar.
class SlotEdit : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int kTypingLimit = 124;

    explicit SlotEdit(QWidget *parent = nullptr);

    // The font of the slot boxes: FreeMono at 10 points, so that every
    // character a box can show takes one width, the control pictures
    // included, and the twenty boxes line up column by column on every
    // machine. The generic "monospace" depends on what is installed: a font
    // without the control pictures, whose own width differs from theirs, or
    // one that Qt does not even take for fixed-pitch. FreeMono lacks two of
    // the stand-ins (ȼ and ‐), which then come from DejaVu Sans Mono, a hair
    // wider; full hinting rounds every advance to whole pixels, so they line
    // up too. DejaVu Sans Mono, then any fixed-pitch font, stand in for a
    // missing FreeMono.
    static QFont slotFont();

    QByteArray markup() const;
    // Writing an equal text is no change and emits nothing.
    void setMarkup(const QByteArray &markup);

    // The meaning of the codes, the built-in font's at first. The bytes stay
    // as they are, and so do the caret and the selection (one character a
    // byte in every map); only what shows, and what typing gives, changes.
    void setCharMap(const PanelCharMap &map);
    const PanelCharMap &charMap() const { return m_map; }

signals:
    void refused(const QString &why);
    // The box got the keyboard focus.
    void focusEntered();

protected:
    void focusInEvent(QFocusEvent *event) override;

private:
    class Validator;
    friend class Validator;

    PanelCharMap m_map;
    bool m_settingByProgram = false;
    // The text before the edit being validated.
    QString m_textBefore;
};

} // namespace varlo

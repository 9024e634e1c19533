// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/slotedit.h"

#include "charset/panelcharmap.h"

#include <QFocusEvent>
#include <QFont>
#include <QValidator>

#include <algorithm>

namespace varlo {

// A validator sees every user edit, typed, pasted, dropped or composed, which
// a key filter would not. Returning Invalid makes the line edit undo the edit.
class SlotEdit::Validator : public QValidator
{
public:
    explicit Validator(SlotEdit *edit)
        : QValidator(edit)
        , m_edit(edit)
    {
    }

    State validate(QString &input, int &) const override
    {
        if (m_edit->m_settingByProgram)
            return Acceptable;
        const qsizetype bad = PanelCharMap::builtIn().firstUndrawable(input);
        if (bad >= 0) {
            emit m_edit->refused(
                tr("The panel has no character \u201c%1\u201d, so it was not typed.")
                    .arg(input.at(bad)));
            return Invalid;
        }
        // A text longer than the limit (set by the program) may shrink, but
        // nothing typed may make it grow past the limit.
        if (input.size() > std::max<qsizetype>(kTypingLimit, m_edit->m_lengthBefore)) {
            emit m_edit->refused(
                tr("Typing stops at %1 characters in a slot.").arg(kTypingLimit));
            return Invalid;
        }
        return Acceptable;
    }

private:
    SlotEdit *m_edit;
};

SlotEdit::SlotEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setValidator(new Validator(this));
    // Connected first, so it runs after every accepted change and before the
    // window hears of it.
    connect(this, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_lengthBefore = text.size(); });
}

QFont SlotEdit::slotFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("FreeMono"), QStringLiteral("DejaVu Sans Mono")});
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPointSize(10);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QByteArray SlotEdit::markup() const
{
    return PanelCharMap::builtIn().toBytes(text());
}

void SlotEdit::setMarkup(const QByteArray &markup)
{
    const QString display = PanelCharMap::builtIn().toDisplay(markup);
    if (display == text())
        return;
    m_settingByProgram = true;
    setText(display);
    m_settingByProgram = false;
}

void SlotEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    // Like the Tab key, focus given by the program (a moved text follows the
    // focus) selects the whole text; a click places the caret.
    if (event->reason() == Qt::OtherFocusReason)
        selectAll();
    emit focusEntered();
}

} // namespace varlo

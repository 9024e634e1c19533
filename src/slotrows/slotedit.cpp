// SPDX-License-Identifier: GPL-3.0-or-later
#include "slotrows/slotedit.h"

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

    State validate(QString &input, int &pos) const override
    {
        if (m_edit->m_settingByProgram)
            return Acceptable;
        const QString &before = m_edit->m_textBefore;
        // The edit as the text before and after it differ: what stays in
        // front, what stays behind, and what came in between.
        qsizetype front = 0;
        const qsizetype shorter = std::min(before.size(), input.size());
        while (front < shorter && before.at(front) == input.at(front))
            ++front;
        qsizetype back = 0;
        while (back < shorter - front && before.at(before.size() - 1 - back) == input.at(input.size() - 1 - back))
            ++back;
        const QString added = input.mid(front, input.size() - front - back);
        const qsizetype room = std::max<qsizetype>(kTypingLimit, before.size()) - front - back;
        if (added.size() > 1)
            return fitPasted(input, pos, front, back, added, room);

        // The map shows the zero byte too (as ␀), but a zero byte ends a
        // slot's text in a message file: the slot would lose the rest.
        const QChar zero = m_edit->m_map.toChar(0);
        if (added.contains(zero)) {
            emit m_edit->refused(tr("A slot can't hold \u201c%1\u201d, the zero byte, so it was not typed.").arg(zero));
            return Invalid;
        }
        const qsizetype bad = m_edit->m_map.firstUndrawable(input);
        if (bad >= 0) {
            emit m_edit->refused(
                tr("The panel has no character \u201c%1\u201d, so it was not typed.").arg(input.at(bad)));
            return Invalid;
        }
        // A text longer than the limit (set by the program) may shrink, but
        // nothing typed may make it grow past the limit.
        if (added.size() > room) {
            emit m_edit->refused(tr("Typing stops at %1 characters in a slot.").arg(kTypingLimit));
            return Invalid;
        }
        return Acceptable;
    }

private:
    // Pasted or dropped text keeps what the slot can take: characters the
    // panel lacks become their picture escape or look-alike, or are left out
    // and named, and what goes past the typing limit is cut off. Throwing the
    // whole paste away would lose it without a trace.
    State fitPasted(QString &input, int &pos, qsizetype front, qsizetype back, const QString &added,
                    qsizetype room) const
    {
        const PanelCharMap &map = m_edit->m_map;
        QByteArray bytes;
        QStringList leftOut;
        bool zeroLeftOut = false;
        // One character at a time, so that one the panel lacks is skipped
        // and the rest still come in.
        for (const char32_t codePoint : added.toUcs4()) {
            const PanelCharMap::Conversion one = map.fromText(QString::fromUcs4(&codePoint, 1));
            // The zero byte (␀) would end the slot's text in a file.
            if (one.bytes.contains('\0')) {
                zeroLeftOut = true;
                continue;
            }
            bytes += one.bytes;
            if (one.undrawable && !leftOut.contains(one.undrawable->describe()))
                leftOut << one.undrawable->describe();
        }
        const QString converted = map.toDisplay(bytes);
        const QString kept = converted.left(std::max<qsizetype>(room, 0));
        QStringList notes;
        if (kept.size() < converted.size())
            notes << tr("Pasted %1 of %2 characters: the slot holds %3 typed characters.")
                         .arg(kept.size())
                         .arg(converted.size())
                         .arg(kTypingLimit);
        if (!leftOut.isEmpty())
            notes << tr("Left out what the panel has no character for: %1.").arg(leftOut.join(QStringLiteral(", ")));
        if (zeroLeftOut)
            notes << tr("Left out \u201c%1\u201d: a slot can't hold the zero byte.").arg(map.toChar(0));
        if (!notes.isEmpty())
            emit m_edit->refused(notes.join(QLatin1Char(' ')));
        input = input.left(front) + kept + input.right(back);
        pos = int(front + kept.size());
        return Acceptable;
    }

    SlotEdit *m_edit;
};

SlotEdit::SlotEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setValidator(new Validator(this));
    // Connected first, so it runs after every accepted change and before the
    // window hears of it.
    connect(this, &QLineEdit::textChanged, this, [this](const QString &text) { m_textBefore = text; });
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
    return m_map.toBytes(text());
}

void SlotEdit::setMarkup(const QByteArray &markup)
{
    const QString display = m_map.toDisplay(markup);
    if (display == text())
        return;
    m_settingByProgram = true;
    setText(display);
    m_settingByProgram = false;
}

void SlotEdit::setCharMap(const PanelCharMap &map)
{
    const QByteArray bytes = markup();
    const int cursor = cursorPosition();
    const int selectedFrom = selectionStart();
    const int selectedLength = int(selectedText().size());
    m_map = map;
    const QString before = text();
    // The change notices that follow carry the same bytes: the document
    // sees no change.
    setMarkup(bytes);
    if (text() == before)
        return;
    if (selectedFrom >= 0 && selectedLength > 0) {
        // The caret stays at the end of the selection it was at.
        if (cursor == selectedFrom)
            setSelection(selectedFrom + selectedLength, -selectedLength);
        else
            setSelection(selectedFrom, selectedLength);
    } else {
        setCursorPosition(cursor);
    }
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

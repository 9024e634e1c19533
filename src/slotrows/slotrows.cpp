// SPDX-License-Identifier: GPL-3.0-or-later
#include "slotrows/slotrows.h"

#include "model/messageblock.h"
#include "slotrows/slotedit.h"
#include "slotrows/speedbutton.h"
#include "windowkit/warningtext.h"

#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QToolButton>

#include <algorithm>
#include <optional>

namespace varlo {

namespace {

// Columns, in pixels at 96 dpi.
constexpr int kLetterLeft = 8;
constexpr int kEditLeft = 24;
constexpr QSize kEditSize{497, 21};
constexpr int kSpeedLeft = 528;
constexpr QSize kSpeedSize{23, 22};
constexpr int kRunLeft = 566;

QString runTip(int slot)
{
    return SlotRows::tr("Checked: Send has the panel show slot %1. The number counts its characters.")
        .arg(QLatin1Char(MessageSet::slotLetter(slot)));
}

QString editName(int slot)
{
    return slot < 5 ? QStringLiteral("Edit%1").arg(slot + 3) : QStringLiteral("suiEdit%1").arg(slot - 4);
}

} // namespace

SlotRows::SlotRows(GlyphSource glyphs, QWidget *parent)
    : QWidget(parent)
    , m_glyphs(std::move(glyphs))
{
    m_headings = {new QLabel(tr("Text Item"), this), new QLabel(tr("Speed"), this), new QLabel(tr("Run"), this)};

    const QFont slotFont = SlotEdit::slotFont();
    for (int i = 0; i < kSlots; ++i) {
        const QChar letter = QLatin1Char(MessageSet::slotLetter(i));

        auto *label = new QLabel(QString(letter), this);
        label->setAlignment(Qt::AlignCenter);
        m_letters[i] = label;

        auto *edit = new SlotEdit(this);
        edit->setObjectName(editName(i));
        edit->setFont(slotFont);
        edit->setAccessibleName(tr("Slot %1 text").arg(letter));
        edit->setToolTip(tr("The text of slot %1; the tool bar puts in pictures, bold and flash").arg(letter));
        connect(edit, &QLineEdit::textChanged, this, [this, i, edit] { emit textChanged(i, edit->markup()); });
        connect(edit, &SlotEdit::focusEntered, this, [this, i] { emit slotFocused(i); });
        connect(edit, &SlotEdit::refused, this, &SlotRows::refused);
        label->setBuddy(edit);
        m_edits[i] = edit;

        auto *speed = new SpeedButton(this);
        speed->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 1));
        speed->setAutoRaise(true);
        speed->setIconSize(QSize(16, 16));
        speed->setAccessibleName(tr("Speed of slot %1").arg(letter));
        connect(speed, &QToolButton::clicked, this, [this, i] { emit speedClicked(i); });
        m_speedButtons[i] = speed;

        auto *run = new QCheckBox(this);
        run->setObjectName(QStringLiteral("suiCheckBox%1").arg(i + 1));
        run->setChecked(true);
        run->setAccessibleName(tr("Run slot %1").arg(letter));
        run->setToolTip(runTip(i));
        connect(run, &QCheckBox::toggled, this, [this, i](bool on) { emit runToggled(i, on); });
        m_runBoxes[i] = run;
    }

    layOut();

    // Tab walks down the slots, each edit box followed by its speed button,
    // then through the rest.
    for (int i = 0; i < kSlots; ++i) {
        setTabOrder(m_edits[i], m_speedButtons[i]);
        if (i + 1 < kSlots)
            setTabOrder(m_speedButtons[i], m_edits[i + 1]);
    }
}

void SlotRows::layOut()
{
    // The places and sizes at the default font are the fixed ones above; a
    // larger user-interface font widens and heightens what holds its text
    // (headings, letters, run check boxes with their counts), and the
    // columns and rows move apart to make room. The edit boxes keep their
    // own font and size.
    const auto hint = [](QWidget *widget) { return widget->sizeHint(); };
    const int headingHeight = std::max(kEditSize.height() - 3, hint(m_headings[0]).height());
    m_headingHeight = std::max(kHeadingHeight, headingHeight + 2);
    int letterWidth = 14;
    int rowHeight = kEditSize.height();
    for (QLabel *letter : m_letters) {
        letterWidth = std::max(letterWidth, hint(letter).width());
        rowHeight = std::max(rowHeight, hint(letter).height());
    }
    // The widest count a box shows is three digits.
    const QString text = m_runBoxes[0]->text();
    m_runBoxes[0]->setText(QStringLiteral("888"));
    const QSize runHint = hint(m_runBoxes[0]);
    m_runBoxes[0]->setText(text);
    rowHeight = std::max(rowHeight, runHint.height());
    m_rowPitch = std::max(kRowPitch, rowHeight + 3);

    const int editLeft = std::max(kEditLeft, kLetterLeft + letterWidth + 2);
    const int speedLeft = editLeft + kEditSize.width() + (kSpeedLeft - kEditLeft - kEditSize.width());
    const int speedHeadingWidth = std::max(40, hint(m_headings[1]).width());
    const int runLeft = std::max({kRunLeft + speedLeft - kSpeedLeft, speedLeft - 7 + speedHeadingWidth + 4});
    const int runWidth = std::max(kWidth - kRunLeft - 4, runHint.width());
    const int width = std::max(kWidth, runLeft + runWidth + 4);

    const int labelHeight = std::max(18, headingHeight);
    m_headings[0]->setGeometry(editLeft, 0, std::max(120, hint(m_headings[0]).width()), labelHeight);
    m_headings[1]->setGeometry(speedLeft - 7, 0, speedHeadingWidth, labelHeight);
    m_headings[2]->setGeometry(runLeft, 0, std::max(40, hint(m_headings[2]).width()), labelHeight);
    for (int i = 0; i < kSlots; ++i) {
        const int y = m_headingHeight + m_rowPitch * i;
        m_letters[i]->setGeometry(kLetterLeft, y, letterWidth, rowHeight);
        m_edits[i]->setGeometry(QRect(QPoint(editLeft, y), kEditSize));
        m_speedButtons[i]->setGeometry(QRect(QPoint(speedLeft, y), kSpeedSize));
        m_runBoxes[i]->setGeometry(runLeft, y, runWidth, rowHeight);
    }
    setFixedSize(width, m_headingHeight + m_rowPitch * kSlots);
}

int SlotRows::focusedSlot() const
{
    const QWidget *focus = window()->focusWidget();
    for (int i = 0; i < kSlots; ++i) {
        if (m_edits[i] == focus)
            return i;
    }
    return -1;
}

bool SlotRows::insertEscape(const QByteArray &escape)
{
    const int slot = focusedSlot();
    if (slot < 0)
        return false;
    SlotEdit *edit = m_edits[slot];
    // The lower end of the selection; selected text is kept, after the escape.
    const int at = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    QByteArray markup = edit->markup();
    markup.insert(at, escape);
    // No length limit: the limit binds typing only.
    edit->setMarkup(markup);
    edit->setCursorPosition(at + int(escape.size()));
    return true;
}

void SlotRows::moveFocusedText(int step)
{
    const int from = focusedSlot();
    const int to = from + step;
    if (from < 0 || !MessageSet::isSlotIndex(to))
        return;
    // Each write is an ordinary text change.
    const QByteArray moving = m_edits[from]->markup();
    m_edits[from]->setMarkup(m_edits[to]->markup());
    m_edits[to]->setMarkup(moving);
    m_edits[to]->setFocus(Qt::OtherFocusReason);
}

void SlotRows::setCharMap(const PanelCharMap &map)
{
    for (SlotEdit *edit : m_edits)
        edit->setCharMap(map);
}

void SlotRows::showTexts(const MessageSet &set)
{
    // A box that shows a new set starts at the beginning of its text: a
    // long text then shows its first words, not its last.
    for (int i = 0; i < kSlots; ++i) {
        m_edits[i]->setMarkup(set.markup(i));
        m_edits[i]->setCursorPosition(0);
    }
}

void SlotRows::refreshSpeedGlyphs(const MessageSet::SpeedCodes &codes)
{
    // Read at every call, so that a repainted glyph file shows at once; each
    // glyph once per call.
    std::array<std::optional<QImage>, MessageSet::kSpeedCodeCount> glyphs;
    std::array<QIcon, MessageSet::kSpeedCodeCount> icons;
    for (int i = 0; i < kSlots; ++i) {
        const quint8 code = codes[i];
        m_speedButtons[i]->showSpeed(code);
        if (code >= MessageSet::kSpeedCodeCount)
            continue; // a code from a file that no glyph shows: keep the old one
        if (!glyphs[code])
            glyphs[code] = m_glyphs(code);
        // Pixel by pixel: a file written again with the same picture is no
        // change either.
        if (*glyphs[code] == m_shownGlyphs[i])
            continue;
        if (icons[code].isNull())
            icons[code] = QIcon(QPixmap::fromImage(*glyphs[code]));
        m_speedButtons[i]->setIcon(icons[code]);
        m_shownGlyphs[i] = *glyphs[code];
    }
}

void SlotRows::showCounts(const MessageSet &set)
{
    // Ten times a second, mostly with nothing changed: a slot whose text is
    // the one counted last time (most often the very same shared bytes) is
    // left as it is, so that an idle window costs next to nothing.
    for (int i = 0; i < kSlots; ++i) {
        const QByteArray &markup = set.markup(i);
        if (m_counted[i] && *m_counted[i] == markup)
            continue;
        m_runBoxes[i]->setText(QString::number(markup.size()));
        showCellOverflow(i, markup);
        m_counted[i] = markup;
    }
}

void SlotRows::showCellOverflow(int slot, const QByteArray &markup)
{
    // The panel keeps 125 cells of a message and drops the rest without a
    // word, so the count turns red where the user looks, and says why.
    QCheckBox *box = m_runBoxes[slot];
    const bool over = markupOverflows(markup);
    const QString tip = over ? tr("Slot %1 fills %2 cells; the panel shows only the first %3.")
                                   .arg(QLatin1Char(MessageSet::slotLetter(slot)))
                                   .arg(markupCellCount(markup))
                                   .arg(block::kCellCapacity)
                             : QString();
    if (box->statusTip() == tip)
        return;
    box->setStatusTip(tip);
    // Without the warning, the tip says what the box is.
    box->setToolTip(over ? tip : runTip(slot));
    showAsWarning(box, over);
}

} // namespace varlo

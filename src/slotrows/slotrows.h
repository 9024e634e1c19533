// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/messageset.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QToolButton;

namespace varlo {

class PanelCharMap;
class SlotEdit;
class SpeedButton;

// The twenty slot rows under their column headings "Text Item", "Speed" and
// "Run": each row holds the slot's letter, its edit box, its speed button
// and its run check box, and the rows stand 24 pixels apart. The controls
// keep the names they always had, in slot order: Edit3 to Edit7 then
// suiEdit1 to suiEdit15, SpeedButton1 to SpeedButton20, suiCheckBox1 to
// suiCheckBox20.
//
// The rows show what they are given and tell what the user did (a text
// changed, a speed button clicked, a run check box toggled); the document
// keeps the slots' texts, speed codes and run flags.
class SlotRows : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kSlots = MessageSet::kSlotCount;
    // The headings stand above the first row, at the top of this widget.
    // These are the sizes at the default font; a larger font may need more
    // (headingHeight(), rowPitch(), the widget's own width).
    static constexpr int kHeadingHeight = 20;
    static constexpr int kRowPitch = 24;
    static constexpr int kWidth = 624;
    static constexpr int kHeight = kHeadingHeight + kRowPitch * kSlots;

    // The glyph of a speed code a speed button gives (0 to 4), as read now.
    using GlyphSource = std::function<QImage(quint8 code)>;

    explicit SlotRows(GlyphSource glyphs, QWidget *parent = nullptr);

    int headingHeight() const { return m_headingHeight; }
    int rowPitch() const { return m_rowPitch; }

    SlotEdit *edit(int slot) const { return m_edits.at(slot); }
    SpeedButton *speedButton(int slot) const { return m_speedButtons.at(slot); }
    QCheckBox *runBox(int slot) const { return m_runBoxes.at(slot); }

    // The slot whose edit box is the window's focus widget, or -1. The focus
    // widget stays set while a menu is open, so a menu command finds the slot
    // the user was typing in.
    int focusedSlot() const;

    // Puts the escape (or any bytes) into the focused slot's edit box at the lower end of
    // its selection, keeping the selected text behind it, and leaves the
    // caret just behind the escape. Does nothing, and returns false, when no
    // slot has the focus.
    bool insertEscape(const QByteArray &escape);
    // Swaps the focused slot's text with the one `step` slots further down
    // (-1: up) and moves the focus along with it, which selects the moved
    // text. Only the texts trade places: speed codes and run flags stay with
    // their slots. Nothing happens at the first or last slot or without a
    // focused slot.
    void moveFocusedText(int step);

    // Every edit box shows, types and pastes through this map from now on;
    // the slots' bytes stay as they are.
    void setCharMap(const PanelCharMap &map);

    // Every edit box shows its slot's text from `set`; a box that holds it
    // already stays as it is and tells nothing.
    void showTexts(const MessageSet &set);
    // Each speed button shows the glyph of its slot's code, read afresh from
    // the glyph source; a code no speed button gives (above 4) leaves the
    // glyph the button shows. A button is given a new icon only when the
    // glyph read differs from the one it shows: setting an icon repaints
    // the button, and most refreshes (one per keystroke) change nothing.
    // Its tool tip says the speed in words, whatever the code.
    void refreshSpeedGlyphs(const MessageSet::SpeedCodes &codes);
    // Each run check box's caption is its slot's number of characters. A
    // slot filling more cells than the panel keeps shows it in the warning
    // colour, with a tip that says why.
    void showCounts(const MessageSet &set);

signals:
    // Any change of a slot's text, typed or set by the program.
    void textChanged(int slot, const QByteArray &markup);
    void speedClicked(int slot);
    void runToggled(int slot, bool run);
    // A slot's edit box got the keyboard focus.
    void slotFocused(int slot);
    // Why typed text was not taken, for the status bar.
    void refused(const QString &why);

private:
    // Places the headings and rows for the font they have.
    void layOut();
    void showCellOverflow(int slot, const QByteArray &markup);

    GlyphSource m_glyphs;
    std::array<SlotEdit *, kSlots> m_edits{};
    std::array<SpeedButton *, kSlots> m_speedButtons{};
    std::array<QImage, kSlots> m_shownGlyphs; // what each speed button's icon was made from
    std::array<QCheckBox *, kSlots> m_runBoxes{};
    std::array<QLabel *, kSlots> m_letters{};
    std::array<QLabel *, 3> m_headings{};
    int m_headingHeight = kHeadingHeight;
    int m_rowPitch = kRowPitch;
    // The text each run check box's count and warning were made from.
    std::array<std::optional<QByteArray>, kSlots> m_counted;
};

} // namespace varlo

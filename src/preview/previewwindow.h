// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/ledpainter.h"
#include "display/panelscroller.h"

#include <QElapsedTimer>
#include <QWidget>

class QLabel;

namespace varlo {
class LedDisplay;
}
class QTimer;

namespace varlo {

// A tool window that shows one slot as the panel would: its text scrolling
// through the 80-dot display at the slot's speed, flash cells blinking, bold
// cells in the bold font, and how many of the panel's 125 cells it fills.
//
// It only shows what it is given; the main window tells it which slot and
// text to show. Closing it only hides it, so it keeps its size and place for
// the run. It animates only while it is visible.
class PreviewWindow : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewWindow(QWidget *parent);

    // Shows a slot. A change of slot, text or speed starts the scroll over,
    // from the right edge; the same again changes nothing.
    void showSlot(int slot, const QByteArray &markup, quint8 speedCode);
    // The character generator to draw from, both faces, FontTable's layout
    // (the built-in fonts at first; an image of another size is ignored).
    // The scroll goes on where it was, in the new glyphs.
    void setGlyphs(const QByteArray &image);
    // Shows the window where it was last closed, or, the first time, under
    // its parent.
    void open();

    int slot() const { return m_slot; }
    const PanelScroller &scroller() const { return m_scroller; }
    // The display now on screen.
    const DotMatrix &frame() const { return m_frame; }
    bool isAnimating() const;
    // How long the text shown has been scrolling, from its start.
    qint64 elapsedMs() const { return m_clockOffsetMs + m_clock.elapsed(); }
    // Shows the display this long after the text started; the scroll goes on
    // from there.
    void seek(qint64 elapsedMs);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void tick();
    void showFrame(qint64 passElapsedMs);
    void paintFrame();
    // The frame shown on the display: its part of the slot's strip.
    void showFramePart();
    void placeFirstTime();
    // Makes the scroller of the slot's text afresh.
    void drawText();

    int m_slot = -1;
    QByteArray m_markup;
    quint8 m_speedCode = 0;
    QByteArray m_glyphs;
    PanelScroller m_scroller;
    DotMatrix m_frame;
    int m_step = 0; // of m_frame
    bool m_phaseOn = true; // of m_frame
    // The dots at the display's pitch, and the slot's whole scroll drawn
    // from them once, flash cells lit and dark: each frame is a part of it.
    LedDotImages m_dots;
    QPixmap m_stripLit;
    QPixmap m_stripDark;
    bool m_stripsDrawn = false;
    QElapsedTimer m_clock;
    qint64 m_clockOffsetMs = 0;

    LedDisplay *m_display = nullptr;
    QLabel *m_cells = nullptr;
    QLabel *m_speed = nullptr;
    QTimer *m_timer = nullptr;
    QRect m_closedGeometry;
};

} // namespace varlo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/ledrenderer.h"

#include <array>
#include <span>

namespace varlo {

// How fast a slot scrolls, by its speed code. The window shows code c as
// Speed c + 1.
struct ScrollSpeed
{
    quint8 code;
    const char *name; // as the help text names the speed
    int dotsPerSecond; // one step moves the text one dot to the left
};

namespace display {

// The display's size in dots: 80 columns of the 7 rows a glyph may light.
inline constexpr int kWidthDots = 80;
inline constexpr int kHeightDots = FontTable::kGlyphRows;

// The rates of the five speeds, slowest first. Each is about 1.5 times the
// one before, so every step of the speed button is a change that shows;
// at the slowest a 6-dot letter passes in 0.6 s, readable from across a
// room, at the fastest an 80-dot display is crossed in 1.3 s.
inline constexpr std::array<ScrollSpeed, 5> kScrollSpeeds{{
    {0, "SLOW", 10},
    {1, "NORMAL", 16},
    {2, "FAST", 25},
    {3, "FASTER", 40},
    {4, "FASTEST", 60},
}};

// Flash cells are lit for this long, then dark for as long, and so on,
// lit first.
inline constexpr int kFlashHalfPeriodMs = 500;

} // namespace display

// The speed of a code. A code above 4 can only come from a message file
// with a stray byte; it scrolls at the fastest speed, the nearest there is.
const ScrollSpeed &scrollSpeedFor(quint8 speedCode);

// Whether flash cells are lit this many milliseconds after a display
// started. Negative times count as 0.
bool flashPhaseOn(qint64 elapsedMs);

// One message scrolling through the display: the text enters at the right
// edge and moves left one dot per step until its last column has left at the
// left edge. Everything is a function of the steps or the milliseconds since
// the message started, so that every front end shows the very same frames.
//
// At step s, text column c is at display column c + width - s: at step 0 the
// text waits just beyond the right edge, at step `width` its first column
// reaches the left edge, and the last step, width + textWidth - 1, shows its
// last column at the left edge. A message of no cells still takes `width`
// steps of dark display, as the panel spends that time on it too.
//
// The cells are drawn once, when the scroller is made, so the glyph source
// need not outlive it.
class PanelScroller
{
public:
    PanelScroller(std::span<const LedCell> cells, quint8 speedCode, FontTable::Image glyphs = FontTable::bytes(),
                  int widthDots = display::kWidthDots, int heightDots = display::kHeightDots);
    // The cells of a message block, up to its count.
    static PanelScroller fromBlock(const MessageBlock &block, quint8 speedCode,
                                   FontTable::Image glyphs = FontTable::bytes(), int widthDots = display::kWidthDots,
                                   int heightDots = display::kHeightDots);

    int widthDots() const { return m_widthDots; }
    int heightDots() const { return m_lit.height(); }
    // The text as one row, flash cells lit; its width is the text's width.
    const DotMatrix &text() const { return m_lit; }
    int textWidthDots() const { return m_lit.width(); }
    const ScrollSpeed &speed() const { return *m_speed; }

    // Steps in one pass of the text through the display.
    int stepCount() const { return m_widthDots + textWidthDots(); }
    // The step shown this long after the message started; stepCount() once
    // the pass is over.
    int stepAt(qint64 elapsedMs) const;
    // When the pass is over: the first moment at which stepAt() reaches
    // stepCount().
    qint64 passDurationMs() const;

    // Whether the text has flash cells, whose blinking changes the display
    // between steps.
    bool hasFlash() const { return !(m_lit == m_dark); }
    // The first moment after `elapsedMs` at which the display may change:
    // the next step, or the next flash change of a text that has flash
    // cells; passDurationMs() at the latest. Between two such moments
    // frameAt() shows the same dots, so a front end need not look sooner.
    qint64 nextChangeMs(qint64 elapsedMs) const;

    // The text with a display's width of dark columns before and after it,
    // flash cells lit or dark: the display at step s is this strip's columns
    // s to s + widthDots() - 1, so a front end can draw the strip once and
    // show each step as a part of it.
    DotMatrix strip(bool phaseOn) const;

    // The display at a step, flash cells lit or dark.
    DotMatrix frameAtStep(int step, bool phaseOn) const;
    // The display this long after the message started: its step at the
    // slot's speed and the flash phase of the same moment.
    DotMatrix frameAt(qint64 elapsedMs) const;
    // The text from its start: its first column at the left edge, flash
    // cells lit. What a still picture of the message shows.
    DotMatrix still() const { return frameAtStep(m_widthDots, true); }

private:
    int m_widthDots;
    const ScrollSpeed *m_speed;
    DotMatrix m_lit; // the text with flash cells lit
    DotMatrix m_dark; // and with them dark
};

} // namespace varlo

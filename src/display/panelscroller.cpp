// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/panelscroller.h"

#include <algorithm>

namespace varlo {

const ScrollSpeed &scrollSpeedFor(quint8 speedCode)
{
    const size_t index = std::min<size_t>(speedCode, display::kScrollSpeeds.size() - 1);
    return display::kScrollSpeeds[index];
}

bool flashPhaseOn(qint64 elapsedMs)
{
    return (std::max<qint64>(elapsedMs, 0) / display::kFlashHalfPeriodMs) % 2 == 0;
}

PanelScroller::PanelScroller(std::span<const LedCell> cells, quint8 speedCode, FontTable::Image glyphs, int widthDots,
                             int heightDots)
    : m_widthDots(std::max(widthDots, 1))
    , m_speed(&scrollSpeedFor(speedCode))
    , m_lit(renderCells(cells, true, glyphs, heightDots))
    , m_dark(renderCells(cells, false, glyphs, heightDots))
{
}

PanelScroller PanelScroller::fromBlock(const MessageBlock &block, quint8 speedCode, FontTable::Image glyphs,
                                       int widthDots, int heightDots)
{
    return PanelScroller(messageBlockCells(block), speedCode, glyphs, widthDots, heightDots);
}

int PanelScroller::stepAt(qint64 elapsedMs) const
{
    const qint64 step = std::max<qint64>(elapsedMs, 0) * m_speed->dotsPerSecond / 1000;
    return int(std::min<qint64>(step, stepCount()));
}

qint64 PanelScroller::passDurationMs() const
{
    // The smallest t with t * rate / 1000 >= stepCount, rounded up.
    const qint64 rate = m_speed->dotsPerSecond;
    return (qint64(stepCount()) * 1000 + rate - 1) / rate;
}

qint64 PanelScroller::nextChangeMs(qint64 elapsedMs) const
{
    const qint64 now = std::max<qint64>(elapsedMs, 0);
    const int step = stepAt(now);
    if (step >= stepCount())
        return std::max(now + 1, passDurationMs());
    // The smallest t with t * rate / 1000 >= step + 1, rounded up.
    const qint64 rate = m_speed->dotsPerSecond;
    qint64 next = ((qint64(step) + 1) * 1000 + rate - 1) / rate;
    if (hasFlash())
        next = std::min(next, (now / display::kFlashHalfPeriodMs + 1) * display::kFlashHalfPeriodMs);
    return next;
}

DotMatrix PanelScroller::strip(bool phaseOn) const
{
    const DotMatrix &text = phaseOn ? m_lit : m_dark;
    DotMatrix strip(2 * m_widthDots + text.width(), text.height());
    for (int x = 0; x < text.width(); ++x)
        strip.setColumn(m_widthDots + x, text.column(x));
    return strip;
}

DotMatrix PanelScroller::frameAtStep(int step, bool phaseOn) const
{
    const DotMatrix &text = phaseOn ? m_lit : m_dark;
    DotMatrix frame(m_widthDots, text.height());
    // Display column x shows text column x + step - width.
    const int shift = step - m_widthDots;
    const int first = std::max(0, -shift);
    const int last = std::min(m_widthDots, text.width() - shift);
    for (int x = first; x < last; ++x) {
        frame.setColumn(x, text.column(x + shift));
    }
    return frame;
}

DotMatrix PanelScroller::frameAt(qint64 elapsedMs) const
{
    return frameAtStep(stepAt(elapsedMs), flashPhaseOn(elapsedMs));
}

} // namespace varlo

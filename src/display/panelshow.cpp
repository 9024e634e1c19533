// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/panelshow.h"

#include <algorithm>

namespace varlo {

PanelShow::PanelShow(int widthDots, int heightDots)
    : m_widthDots(std::max(widthDots, 1))
    , m_heightDots(heightDots)
{
}

void PanelShow::append(int slot, PanelScroller scroller)
{
    Q_ASSERT(scroller.widthDots() == m_widthDots && scroller.heightDots() == m_heightDots);
    m_items.push_back({slot, std::move(scroller)});
}

qint64 PanelShow::cycleDurationMs() const
{
    qint64 total = 0;
    for (const Item &item : m_items)
        total += item.scroller.passDurationMs();
    return total;
}

PanelShow::Moment PanelShow::momentAt(qint64 elapsedMs) const
{
    const qint64 cycle = cycleDurationMs();
    if (cycle <= 0)
        return {};
    qint64 left = std::max<qint64>(elapsedMs, 0) % cycle;
    for (int i = 0; i < int(m_items.size()); ++i) {
        const qint64 pass = m_items[size_t(i)].scroller.passDurationMs();
        if (left < pass)
            return {i, m_items[size_t(i)].slot, left};
        left -= pass;
    }
    Q_UNREACHABLE();
    return {};
}

qint64 PanelShow::nextChangeMs(qint64 elapsedMs) const
{
    const Moment moment = momentAt(elapsedMs);
    if (moment.item < 0)
        return -1;
    const PanelScroller &scroller = m_items[size_t(moment.item)].scroller;
    const qint64 itemStartMs = std::max<qint64>(elapsedMs, 0) - moment.itemElapsedMs;
    return itemStartMs + std::min(scroller.nextChangeMs(moment.itemElapsedMs), scroller.passDurationMs());
}

DotMatrix PanelShow::frameAt(qint64 elapsedMs) const
{
    const Moment moment = momentAt(elapsedMs);
    if (moment.item < 0)
        return DotMatrix(m_widthDots, m_heightDots);
    // Each item blinks on its own clock, so every message starts with its
    // flash cells lit.
    return m_items[size_t(moment.item)].scroller.frameAt(moment.itemElapsedMs);
}

} // namespace varlo

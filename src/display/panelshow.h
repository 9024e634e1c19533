// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/panelscroller.h"

#include <vector>

namespace varlo {

// What the panel shows in its run: the running slots one after another,
// each scrolling fully through at its own speed, then the first again. Like
// PanelScroller it is a function of the milliseconds since the run started.
class PanelShow
{
public:
    struct Item
    {
        int slot; // 0 for A ... 19 for T
        PanelScroller scroller;
    };

    // Where the run is at a moment.
    struct Moment
    {
        int item = -1; // index into items(); -1 when nothing runs
        int slot = -1;
        qint64 itemElapsedMs = 0; // since that item's pass began
    };

    explicit PanelShow(int widthDots = display::kWidthDots, int heightDots = display::kHeightDots);

    // Adds a slot at the end of the run. Its scroller should have this
    // show's width.
    void append(int slot, PanelScroller scroller);

    const std::vector<Item> &items() const { return m_items; }
    bool isEmpty() const { return m_items.empty(); }
    int widthDots() const { return m_widthDots; }
    int heightDots() const { return m_heightDots; }
    // One round of every item.
    qint64 cycleDurationMs() const;

    Moment momentAt(qint64 elapsedMs) const;
    // The first moment after `elapsedMs` at which the display may change
    // (a step, a flash change, the next item); -1 when nothing runs, as
    // then it never does.
    qint64 nextChangeMs(qint64 elapsedMs) const;
    // The display at a moment; all dark when nothing runs.
    DotMatrix frameAt(qint64 elapsedMs) const;

private:
    int m_widthDots;
    int m_heightDots;
    std::vector<Item> m_items;
};

} // namespace varlo

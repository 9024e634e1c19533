// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/ledrenderer.h"

#include <QByteArray>
#include <QStringList>

namespace varlo::panel {

// LED dots as terminal text: each character cell holds two dot rows, the
// upper as ▀, the lower as ▄, both as █, neither as a space; one character
// per dot column. A terminal cell is about twice as high as it is wide, so
// the dots come out square. A 7-row display takes 4 lines.
QStringList dotLines(const DotMatrix &dots);

// The terminal on standard output while varlo-panel shows the display: the
// alternate screen, the cursor hidden, the whole screen redrawn in one write
// and only when it changed.
class TerminalScreen
{
public:
    explicit TerminalScreen(int fd);
    ~TerminalScreen();
    TerminalScreen(const TerminalScreen &) = delete;
    TerminalScreen &operator=(const TerminalScreen &) = delete;

    static bool isTerminal(int fd);
    // The terminal's width in characters (80 if it does not say), as asked
    // when the screen was entered or last told of a resize.
    int columns() const { return m_columns; }
    // Asks the terminal for its width again: after SIGWINCH. Not asked at
    // every draw, which at 60 steps a second would be 60 system calls for
    // a figure that changes only when the user resizes the window.
    void sizeChanged();

    void enter();
    // Back to the normal screen, cursor shown. Safe to call twice.
    void leave();

    // Text lines, the dots in red on black between two rules, more text
    // lines; every line cut to the terminal's width.
    void draw(const QStringList &above, const DotMatrix &dots, const QStringList &below);

private:
    void write(const QByteArray &bytes);

    int m_fd;
    bool m_entered = false;
    int m_columns = 80;
    int m_lastColumns = 0;
    QByteArray m_lastScreen;
};

} // namespace varlo::panel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-panel/terminalscreen.h"

#include <cerrno>

#include <sys/ioctl.h>
#include <unistd.h>

namespace varlo::panel {

namespace {

constexpr QChar kUpper(0x2580); // ▀
constexpr QChar kLower(0x2584); // ▄
constexpr QChar kBoth(0x2588); // █
constexpr QChar kRule(0x2500); // ─

const QByteArray kAlternateScreen = "\x1b[?1049h";
const QByteArray kNormalScreen = "\x1b[?1049l";
const QByteArray kHideCursor = "\x1b[?25l";
const QByteArray kShowCursor = "\x1b[?25h";
const QByteArray kHome = "\x1b[H";
const QByteArray kClearScreen = "\x1b[2J";
const QByteArray kClearToLineEnd = "\x1b[K";
const QByteArray kClearBelow = "\x1b[J";
// Bright red on black: lit LEDs on the panel's dark face.
const QByteArray kLedColours = "\x1b[91;40m";
const QByteArray kPlain = "\x1b[0m";

} // namespace

QStringList dotLines(const DotMatrix &dots)
{
    QStringList lines;
    for (int y = 0; y < dots.height(); y += 2) {
        QString line;
        line.reserve(dots.width());
        for (int x = 0; x < dots.width(); ++x) {
            const bool upper = dots.lit(x, y);
            const bool lower = dots.lit(x, y + 1);
            line += upper && lower ? kBoth : upper ? kUpper : lower ? kLower : QLatin1Char(' ');
        }
        lines << line;
    }
    return lines;
}

TerminalScreen::TerminalScreen(int fd)
    : m_fd(fd)
{
}

TerminalScreen::~TerminalScreen()
{
    leave();
}

bool TerminalScreen::isTerminal(int fd)
{
    return ::isatty(fd) == 1;
}

void TerminalScreen::sizeChanged()
{
    winsize size{};
    m_columns = ::ioctl(m_fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

void TerminalScreen::enter()
{
    if (m_entered)
        return;
    m_entered = true;
    sizeChanged();
    write(kAlternateScreen + kHideCursor + kClearScreen);
}

void TerminalScreen::leave()
{
    if (!m_entered)
        return;
    m_entered = false;
    write(kPlain + kShowCursor + kNormalScreen);
}

void TerminalScreen::draw(const QStringList &above, const DotMatrix &dots, const QStringList &below)
{
    const int width = columns();
    QByteArray screen;
    if (width != m_lastColumns) {
        // Lines that were wider than the terminal now are wrapped garbage.
        screen += kClearScreen;
        m_lastScreen.clear();
    }
    QByteArray content;
    const auto addLine = [&](const QString &text, bool led) {
        const QByteArray cut = text.left(width).toUtf8();
        content += led ? kLedColours + cut + kPlain : cut;
        content += kClearToLineEnd + "\r\n";
    };
    // Rules above and below mark the display's width on any background.
    const QString rule(dots.width(), kRule);
    for (const QString &line : above)
        addLine(line, false);
    addLine(rule, false);
    for (const QString &line : dotLines(dots))
        addLine(line, true);
    addLine(rule, false);
    for (const QString &line : below)
        addLine(line, false);
    if (content == m_lastScreen && width == m_lastColumns)
        return;
    m_lastScreen = content;
    m_lastColumns = width;
    write(screen + kHome + content + kClearBelow);
}

void TerminalScreen::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return; // the terminal has gone; nothing to tell it any more
        done += written;
    }
}

} // namespace varlo::panel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-panel/panelprogram.h"

#include "varlo-panel/panelline.h"
#include "varlo-panel/panelstate.h"
#include "varlo-panel/portslink.h"
#include "varlo-panel/terminalscreen.h"

#include "display/ledpainter.h"
#include "console/programoutput.h"
#include "files/replacefile.h"
#include "model/messageset.h"

#include <QBuffer>

#include <algorithm>

#include <unistd.h>

namespace varlo::panel {

namespace {

// Errors shown under the display; the rest are counted.
constexpr int kShownErrors = 8;
// Upload lines kept for printing when the display ends: a sender that sends
// nothing but end frames makes an upload of every three bytes.
constexpr qsizetype kKeptUploadLines = 1000;

QString fileError(const QString &path, const QString &reason)
{
    return QStringLiteral("cannot write %1: %2").arg(path, reason);
}

} // namespace

PanelProgram::PanelProgram(const PanelOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_showDisplay(!options.quiet && TerminalScreen::isTerminal(STDOUT_FILENO))
    , m_show(options.widthDots)
{
    // One shot to the next change of the display: with nothing running the
    // program sleeps until bytes, a signal or a new terminal size come. A
    // coarse timer may fire early; a precise one shows each step on time.
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &PanelProgram::redraw);
}

PanelProgram::~PanelProgram()
{
    stop();
}

bool PanelProgram::start()
{
    m_line = std::make_unique<PanelLine>();
    if (!m_line->open()) {
        printMessage(QStringLiteral("cannot open a pseudo-terminal: %1").arg(m_line->errorString()));
        return false;
    }
    // Read before the link exists, so that a sender that finds the link
    // finds a line that answers.
    m_line->start([this] { QMetaObject::invokeMethod(this, &PanelProgram::takeEvents, Qt::QueuedConnection); });
    m_link = std::make_unique<PortsLink>();
    if (!m_link->claim(m_options.com, m_line->slavePath())) {
        printMessage(m_link->errorString());
        return false;
    }
    printMessage(QStringLiteral("COM%1 is %2 (%3); waiting for uploads, Ctrl-C ends.")
                     .arg(m_options.com)
                     .arg(m_line->slavePath(), m_link->entryPath()));
    if (m_showDisplay) {
        m_screen = std::make_unique<TerminalScreen>(STDOUT_FILENO);
        m_screen->enter();
        m_showClock.start();
        redraw();
    }
    return true;
}

void PanelProgram::stop()
{
    m_frameTimer.stop();
    // The reader first: nothing may arrive for a program on its way out.
    m_line.reset();
    m_link.reset();
    if (m_screen) {
        m_screen->leave();
        m_screen.reset();
        // What the run received stays readable in the terminal.
        if (m_uploadLinesDropped > 0)
            printOut(QStringLiteral("(%1 earlier uploads)\n").arg(m_uploadLinesDropped));
        for (const QString &line : std::as_const(m_uploadLines))
            printOut(line + QLatin1Char('\n'));
    }
}

void PanelProgram::takeEvents()
{
    if (!m_line)
        return;
    for (const FrameDecoder::Event &event : m_line->takeEvents()) {
        if (const std::optional<PanelMemory::Upload> upload = m_memory.apply(event))
            complete(*upload);
        // With --once the line is gone after the first upload: what came
        // after it is not looked at.
        if (!m_line)
            return;
    }
}

void PanelProgram::complete(const PanelMemory::Upload &upload)
{
    m_show = showOf(m_memory, m_options.widthDots);
    m_showClock.start();
    // A file that could not be written comes first: the upload's own
    // errors may run on past what is kept of them.
    const QStringList fileErrors = writeFiles(upload);
    m_lastErrors = fileErrors + upload.errors;
    m_lastErrorsDropped = upload.errorsDropped;
    report(uploadLine(m_memory, upload));
    if (m_options.once) {
        m_options.once = false;
        m_line.reset();
        Q_EMIT finished(fileErrors.isEmpty() ? 0 : 1);
    }
}

QStringList PanelProgram::writeFiles(const PanelMemory::Upload &upload)
{
    QStringList errors;
    // Saved as every program saves a file: never onto a pipe, a device or
    // the panel's own output, and never half of one.
    if (!m_options.jsonPath.isEmpty()) {
        if (const QString reason = replaceFile(m_options.jsonPath, stateJson(m_memory, upload)); !reason.isEmpty())
            errors << fileError(m_options.jsonPath, reason);
    }
    if (!m_options.pngPath.isEmpty()) {
        // The first running slot from its start; dark when nothing runs.
        const DotMatrix still = m_show.isEmpty() ? DotMatrix(m_options.widthDots, display::kHeightDots)
                                                 : m_show.items().front().scroller.still();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        const QString reason = renderLedPicture(still).save(&buffer, "PNG")
            ? replaceFile(m_options.pngPath, png)
            : QStringLiteral("the picture could not be made");
        if (!reason.isEmpty())
            errors << fileError(m_options.pngPath, reason);
    }
    return errors;
}

void PanelProgram::report(const QString &line)
{
    keepUploadLine(line);
    m_textStale = true;
    if (m_showDisplay) {
        redraw();
        return;
    }
    printOut(line + QLatin1Char('\n'));
    for (const QString &error : std::as_const(m_lastErrors))
        printMessage(error);
    if (m_lastErrorsDropped > 0)
        printMessage(QStringLiteral("and %1 more errors").arg(m_lastErrorsDropped));
}

void PanelProgram::keepUploadLine(const QString &line)
{
    m_uploadLines << line;
    if (m_uploadLines.size() > kKeptUploadLines) {
        m_uploadLines.removeFirst();
        ++m_uploadLinesDropped;
    }
}

void PanelProgram::terminalResized()
{
    if (!m_screen)
        return;
    m_screen->sizeChanged();
    redraw();
}

void PanelProgram::redraw()
{
    if (!m_screen)
        return;
    const qint64 nowMs = m_showClock.elapsed();
    const PanelShow::Moment moment = m_show.momentAt(nowMs);
    // The text around the dots changes only with an upload or the slot on
    // show; most redraws are scroll steps.
    if (m_textStale || moment.item != m_textItem) {
        const QString fonts = m_memory.fontLoaded() ? QStringLiteral("loaded fonts") : QStringLiteral("built-in fonts");
        m_textAbove = QStringList{
            QStringLiteral("varlo-panel  COM%1 = %2  %3  Ctrl-C ends")
                .arg(m_options.com)
                .arg(m_line ? m_line->slavePath() : QString(), fonts),
        };
        m_textBelow = statusLines(moment);
        m_textItem = moment.item;
        m_textStale = false;
    }
    m_screen->draw(m_textAbove, m_show.frameAt(nowMs), m_textBelow);
    const qint64 nextMs = m_show.nextChangeMs(nowMs);
    if (nextMs < 0)
        m_frameTimer.stop();
    else
        m_frameTimer.start(int(std::max<qint64>(nextMs - nowMs, 1)));
}

QStringList PanelProgram::statusLines(const PanelShow::Moment &moment) const
{
    QStringList lines;
    if (m_uploadLines.isEmpty()) {
        lines << QStringLiteral("Waiting for an upload: Send with the port box on AUTO or COM %1.").arg(m_options.com);
        return lines;
    }
    QStringList shown;
    for (const PanelShow::Item &item : m_show.items())
        shown << QString(QLatin1Char(MessageSet::slotLetter(item.slot)));
    if (moment.item < 0) {
        lines << QStringLiteral("No slot runs.");
    } else {
        const ScrollSpeed &speed = m_show.items()[size_t(moment.item)].scroller.speed();
        lines << QStringLiteral("Slot %1  Speed %2 %3  (%4 of %5: %6)")
                     .arg(QLatin1Char(MessageSet::slotLetter(moment.slot)))
                     .arg(speed.code + 1)
                     .arg(QLatin1String(speed.name))
                     .arg(moment.item + 1)
                     .arg(m_show.items().size())
                     .arg(shown.join(QLatin1Char(' ')));
    }
    QStringList leftOut;
    for (const int slot : m_memory.runningSlots()) {
        if (!blockSound(m_memory, slot))
            leftOut << QString(QLatin1Char(MessageSet::slotLetter(slot)));
    }
    if (!leftOut.isEmpty())
        lines << QStringLiteral("Not shown, damaged: %1").arg(leftOut.join(QLatin1Char(' ')));
    lines << QStringLiteral("Last upload: ") + m_uploadLines.last();
    for (qsizetype i = 0; i < m_lastErrors.size() && i < kShownErrors; ++i)
        lines << QStringLiteral("  ") + m_lastErrors[i];
    const qint64 notShown = qMax<qint64>(0, m_lastErrors.size() - kShownErrors) + m_lastErrorsDropped;
    if (notShown > 0)
        lines << QStringLiteral("  and %1 more").arg(notShown);
    return lines;
}

} // namespace varlo::panel

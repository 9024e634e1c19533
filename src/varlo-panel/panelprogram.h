// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/panelshow.h"
#include "virtualpanel/panelmemory.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace varlo::panel {

class PortsLink;
class PanelLine;
class TerminalScreen;

struct PanelOptions
{
    int com = 1;
    bool quiet = false; // one line per upload instead of the display
    bool once = false; // end after the first complete upload
    QString jsonPath; // the memory after each upload
    QString pngPath; // a still of the display after each upload
    int widthDots = display::kWidthDots;
};

// varlo-panel: a panel that exists only in software, on a pseudo-terminal
// mapped as a COM number. It keeps the panel's memory from the frames that
// arrive and shows what the panel would display, or writes one line per
// upload.
class PanelProgram : public QObject
{
    Q_OBJECT

public:
    explicit PanelProgram(const PanelOptions &options, QObject *parent = nullptr);
    ~PanelProgram() override;

    // Opens the line and maps it as the COM number. False, with the reason
    // on standard error, when either fails.
    bool start();
    // Removes the mapping, leaves the display and prints what it showed.
    // Also done on destruction.
    void stop();
    // Draws the display at the terminal's new size.
    void terminalResized();

Q_SIGNALS:
    // --once: the first upload is done. Non-zero when its files could not
    // be written.
    void finished(int exitCode);

private:
    void takeEvents();
    void complete(const PanelMemory::Upload &upload);
    // Writes --json and --png; returns what could not be written.
    QStringList writeFiles(const PanelMemory::Upload &upload);
    void report(const QString &line);
    void keepUploadLine(const QString &line);
    void redraw();
    QStringList statusLines(const PanelShow::Moment &moment) const;

    PanelOptions m_options;
    bool m_showDisplay;
    PanelMemory m_memory;
    PanelShow m_show;
    QElapsedTimer m_showClock;
    QTimer m_frameTimer;
    QStringList m_uploadLines; // the last kKeptUploadLines upload lines of the run
    qint64 m_uploadLinesDropped = 0; // the ones before those
    QStringList m_lastErrors; // those kept of the last upload, and any file errors
    qint64 m_lastErrorsDropped = 0; // the last upload's errors not kept
    // The lines above and below the dots as last drawn, for the item of
    // the show they name; stale after an upload.
    QStringList m_textAbove;
    QStringList m_textBelow;
    int m_textItem = -1;
    bool m_textStale = true;
    std::unique_ptr<PanelLine> m_line;
    std::unique_ptr<PortsLink> m_link;
    std::unique_ptr<TerminalScreen> m_screen;
};

} // namespace varlo::panel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/linkreporter.h"

#include <QStringList>

#include <functional>
#include <mutex>

namespace varlo::test {

// Records what an upload reports, in order, as short lines:
//   "message:<text>|<reason>", "lamp:green", "lamp:red", "status:<text>",
//   "max:<n>", "pos:<n>".
// Safe to call from the upload's thread while the test reads.
class RecordingReporter final : public LinkReporter
{
public:
    // Called on the upload's thread after a position is recorded; a test can
    // hold the upload there (to make a device vanish, for example).
    std::function<void(int position)> onProgressPosition;

    void showMessage(const QString &text, const QString &reason) override;
    void showLamp(Lamp lamp) override;
    void showStatus(const QString &text) override;
    void setProgressMaximum(int maximum) override;
    void setProgressPosition(int position) override;

    QStringList events() const;
    // The events that are not progress positions.
    QStringList eventsWithoutPositions() const;
    // The positions in order.
    QList<int> positions() const;
    // The reason given with the last message, or an empty string.
    QString lastReason() const;

private:
    void record(const QString &event);

    mutable std::mutex m_mutex;
    QStringList m_events;
    QString m_lastReason;
};

} // namespace varlo::test

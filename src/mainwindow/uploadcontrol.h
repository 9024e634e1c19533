// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "console/uploadwords.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QLabel;
class QStatusBar;
class QWidget;

namespace varlo {

class BottomRow;
class Dialogs;
class MessageSet;
class PictureSource;
class UploadWorker;
struct UploadOutcome;

// Send and Initial: runs their uploads on a thread of their own and shows
// how each ended, in the box, the Send button's lamp, the progress bar and a
// line that stays in the status bar. The window turns its controls off in
// between (busyChanged).
class UploadControl : public QObject
{
    Q_OBJECT

public:
    UploadControl(BottomRow &row, PictureSource &pictures, Dialogs &dialogs, QStatusBar *statusBar, QWidget *window);
    ~UploadControl() override;

    UploadWorker &worker() { return *m_worker; }
    bool isUploading() const { return m_uploading; }

    // The set as it is now, with the slider's Commu Delay, to the chosen port.
    void send(const MessageSet &set);
    // A character generator table (4,096 bytes) to the chosen port.
    void loadFonts(const QByteArray &image);

signals:
    // An upload began (true), or its end has been shown (false).
    void busyChanged(bool uploading);

private:
    class EndView;

    void ended(const UploadOutcome &outcome);

    BottomRow &m_row;
    PictureSource &m_pictures;
    Dialogs &m_dialogs;
    QPointer<QWidget> m_window;
    QStatusBar *m_statusBar;
    // How the last upload ended, kept beside the port.
    QLabel *m_lastEnd;
    UploadPurpose m_purpose = UploadPurpose::Messages;
    bool m_uploading = false;
    // Last, so that it goes first: an upload still running ends before the
    // controls it reports to go.
    std::unique_ptr<UploadWorker> m_worker;
};

} // namespace varlo

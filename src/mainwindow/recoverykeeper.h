// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/recoverycopy.h"

#include <QObject>

class QTimer;
class QWidget;

namespace varlo {

class Dialogs;
class Document;

// Keeps a copy of the document's unsaved messages (RecoveryCopy) for as long
// as it has some, so that nothing typed is lost to Cancel at the close
// question, a crash or a power cut, and offers it back at the next start.
// It never changes what Open, Save, the caption or the modified flag do.
class RecoveryKeeper : public QObject
{
    Q_OBJECT

public:
    // How long after the last change the copy is written: long enough not
    // to write at every keystroke, short enough that little is lost.
    static constexpr int kDelayMs = 2000;

    RecoveryKeeper(const QString &folder, Document &document, Dialogs &dialogs, QWidget *window);

    // At start, once the window is up: offers the messages a run before
    // left unsaved, if a copy of them was kept. Until this has run, no copy
    // is written or removed.
    void offer();
    // The copy as the document is now: written while it holds changes worth
    // keeping, removed once it holds none (saved, or replaced by New or Open
    // after the question). Also at close.
    void keepNow();

signals:
    // The copy could not be written: why.
    void failed(const QString &problem);

private:
    // A while after an edit.
    void edited();

    RecoveryCopy m_copy;
    Document &m_document;
    Dialogs &m_dialogs;
    QWidget *m_window;
    QTimer *m_timer;
    bool m_armed = false;
};

} // namespace varlo

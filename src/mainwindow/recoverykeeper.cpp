// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/recoverykeeper.h"

#include "files/document.h"
#include "windowkit/dialogs.h"

#include <QLocale>
#include <QTimer>
#include <QWidget>

namespace varlo {

RecoveryKeeper::RecoveryKeeper(const QString &folder, Document &document, Dialogs &dialogs, QWidget *window)
    : QObject(window)
    , m_copy(folder)
    , m_document(document)
    , m_dialogs(dialogs)
    , m_window(window)
    , m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("RecoveryTimer"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(kDelayMs);
    connect(m_timer, &QTimer::timeout, this, &RecoveryKeeper::keepNow);
    connect(&m_document, &Document::slotChanged, this, &RecoveryKeeper::edited);
    // New, Open and a restore replace the whole set at once: the copy
    // follows at once, so that New or Open after the question removes it.
    connect(&m_document, &Document::slotsReplaced, this, &RecoveryKeeper::keepNow);
    connect(&m_document, &Document::saved, this, &RecoveryKeeper::keepNow);
}

void RecoveryKeeper::offer()
{
    if (const std::optional<RecoveryCopy::Found> found = m_copy.read()) {
        const QString when = QLocale().toString(found->writtenAt.toLocalTime(), QLocale::ShortFormat);
        if (m_dialogs.askRestore(m_window, tr("Unsaved messages"),
                                 tr("Restore the messages that were not saved on %1?").arg(when)))
            m_document.restoreUnsaved(found->set, found->fileName);
    }
    m_armed = true;
    keepNow();
}

void RecoveryKeeper::edited()
{
    if (m_armed)
        m_timer->start();
}

void RecoveryKeeper::keepNow()
{
    if (!m_armed)
        return;
    m_timer->stop();
    const MessageSet &set = m_document.messageSet();
    bool anyText = false;
    for (int i = 0; i < MessageSet::kSlotCount; ++i)
        anyText = anyText || !set.markup(i).isEmpty();
    // Twenty empty slots are nothing to offer back.
    if (!m_document.isModified() || !anyText) {
        m_copy.remove();
        return;
    }
    const QString problem = m_copy.write(set, m_document.fileName());
    if (!problem.isEmpty())
        emit failed(problem);
}

} // namespace varlo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/documentcommands.h"

#include "files/document.h"
#include "files/documentname.h"
#include "files/messagefile.h"
#include "windowkit/dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace varlo {

namespace {

// Beneath a file error: which file, in full, and why.
QString fileDetail(const QString &path, const QString &reason)
{
    const QString file = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    return reason.isEmpty() ? file : file + QLatin1Char('\n') + reason;
}

} // namespace

DocumentCommands::DocumentCommands(Document &document, Dialogs &dialogs, QWidget *window)
    : QObject(window)
    , m_document(document)
    , m_dialogs(dialogs)
    , m_window(window)
{
}

bool DocumentCommands::changesMayGo()
{
    if (!m_document.isModified())
        return true;
    switch (
        m_dialogs.askSaveChanges(m_window, tr("Confirm"), tr("The messages have changed. Save the changes first?"))) {
    case Dialogs::SaveChoice::Save:
        // When that save does not happen (its dialog cancelled, the write
        // failed), the edits stay and the command stops.
        return saveClicked();
    case Dialogs::SaveChoice::Discard:
        return true;
    case Dialogs::SaveChoice::Cancel:
        break;
    }
    return false;
}

void DocumentCommands::newClicked()
{
    if (changesMayGo())
        m_document.newDocument();
}

void DocumentCommands::openClicked()
{
    if (!changesMayGo())
        return;
    const QString path = m_dialogs.openFileName(m_window, QString::fromLatin1(documentname::kFilter), m_openDialogName);
    if (!path.isEmpty())
        openDocument(path);
}

void DocumentCommands::openDocument(const QString &path)
{
    m_openDialogName = path;
    const MessageFileReadResult result = m_document.open(path);
    // A rejected file is named under the last box, with the reason.
    const QString detail = result.replaced() ? QString() : fileDetail(path, result.reason);
    for (qsizetype i = 0; i < result.messages.size(); ++i) {
        const bool last = i + 1 == result.messages.size();
        m_dialogs.showMessage(m_window, result.messages[i], last ? detail : QString());
    }
}

QString DocumentCommands::askSaveName()
{
    const QString chosen =
        m_dialogs.saveFileName(m_window, QString::fromLatin1(documentname::kFilter), m_document.fileName());
    return chosen.isEmpty() ? chosen : documentname::withDefaultExtension(chosen);
}

bool DocumentCommands::written(const QString &path, const MessageFileWriteResult &result)
{
    if (!result.ok()) {
        const bool fileFailed = result.status == MessageFileWriteResult::Status::Failed;
        m_dialogs.showMessage(m_window, result.message(), fileFailed ? fileDetail(path, result.reason) : result.reason);
    }
    return result.ok();
}

bool DocumentCommands::saveClicked()
{
    if (!m_document.isUntitled())
        return written(m_document.fileName(), m_document.save());
    const QString path = askSaveName();
    return !path.isEmpty() && written(path, m_document.saveAs(path));
}

void DocumentCommands::saveAsClicked()
{
    const QString path = askSaveName();
    if (!path.isEmpty())
        written(path, m_document.saveAs(path));
}

} // namespace varlo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/picturesource.h"

#include "windowkit/dialogs.h"

#include <QWidget>

namespace varlo {

PictureSource::PictureSource(SupportFiles files, Dialogs &dialogs, QWidget *window)
    : QObject(window)
    , m_files(std::move(files))
    , m_dialogs(dialogs)
    , m_window(window)
{
}

QImage PictureSource::load(SupportFiles::Picture picture)
{
    SupportFiles::Loaded loaded = m_files.load(picture);
    if (loaded.image.isNull()) {
        reportError(picture, loaded.error);
        return SupportFiles::builtInPicture(picture);
    }
    return loaded.image;
}

void PictureSource::reportError(SupportFiles::Picture picture, const QString &error)
{
    // Once per file and run: a missing glyph must not cost a box per keystroke.
    if (m_reported.contains(picture))
        return;
    m_reported.insert(picture);
    const QString text =
        tr("Can't load the picture file %1; the built-in picture is shown instead.").arg(m_files.path(picture));
    // Shown once the current command is over, not in the middle of a change.
    QMetaObject::invokeMethod(
        this, [this, text, error] { m_dialogs.showMessage(m_window, text, error); }, Qt::QueuedConnection);
}

} // namespace varlo

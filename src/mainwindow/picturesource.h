// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "supportpictures/supportfiles.h"

#include <QImage>
#include <QObject>
#include <QSet>

class QWidget;

namespace varlo {

class Dialogs;

// Where the main window gets its support pictures (the speed glyphs and the
// lamps): from their files, so that they can be repainted, or the built-in
// picture when a file can't be read, which is then reported once per file
// and run.
class PictureSource : public QObject
{
    Q_OBJECT

public:
    PictureSource(SupportFiles files, Dialogs &dialogs, QWidget *window);

    const SupportFiles &files() const { return m_files; }
    QImage load(SupportFiles::Picture picture);

private:
    void reportError(SupportFiles::Picture picture, const QString &error);

    SupportFiles m_files;
    Dialogs &m_dialogs;
    QWidget *m_window;
    // Picture files already reported as unreadable in this run.
    QSet<SupportFiles::Picture> m_reported;
};

} // namespace varlo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fontinuse.h"

#include <QObject>
#include <QStringList>

class QAction;
class QLabel;
class QMainWindow;

namespace varlo {

class Dialogs;

// The font in use as the window keeps it: Action > "Font in Use…", which
// offers the built-in font, the shipped fonts by name and any file; the
// part of the status bar that names it; and the setting that remembers it
// for the next start and for varlo-cli. The slot boxes, the Preview and
// Initial follow it (changed()).
class FontChoice : public QObject
{
    Q_OBJECT

public:
    // Reads the remembered choice from `configHome` (none when empty: the
    // built-in font, remembered nowhere); `shippedFolders` hold the fonts
    // offered by name.
    FontChoice(QString configHome, QStringList shippedFolders, Dialogs &dialogs, QMainWindow *window);

    const FontInUse &current() const { return m_current; }
    QAction *action() const { return m_action; }
    // The status bar's part, "Font: cyrillic.vlf".
    QLabel *label() const { return m_label; }

    // The menu command: the list of fonts, and for "Open…" the file dialog.
    void chooseClicked();
    // Makes the file (empty: the built-in font) the font in use and
    // remembers it. A file that can't be used is reported and changes
    // nothing; false then.
    bool use(const QString &path);
    // Reads the font file again, as it is now: before Initial, and after
    // the Character Generator saved it. A file that has gone or no longer
    // reads gives the built-in font, said in the status bar.
    void reload();
    // A font file was saved: the font in use again if it is that one.
    void fileSaved(const QString &path);

signals:
    // The glyphs or the meaning of the codes changed.
    void changed();

private:
    // Takes a font read, tells the status bar, and changed() when it differs.
    void take(FontInUse font);
    void showName();

    QString m_configHome;
    QStringList m_shippedFolders;
    Dialogs &m_dialogs;
    QMainWindow *m_window;
    FontInUse m_current;
    QAction *m_action = nullptr;
    QLabel *m_label = nullptr;
};

} // namespace varlo

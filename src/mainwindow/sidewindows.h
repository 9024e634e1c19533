// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mainwindow/publishwindowloader.h"

#include <QByteArray>
#include <QObject>

class QWidget;

namespace varlo {

class AboutBox;
class Dialogs;
class Document;
class FontEditorWindow;
class HelpWindow;
class PreviewWindow;
class PublishWindow;
class SlotRows;

// The windows the main window opens beside itself: the Preview, File >
// Publish…, the Character Generator, About and Help. Each is made when it
// is first asked for, not before the main window's first frame, and kept
// until the main window goes.
class SideWindows : public QObject
{
    Q_OBJECT

public:
    SideWindows(Document &document, SlotRows *rows, Dialogs &dialogs, QWidget *window);

    // Action menu: opens the Preview window on the focused slot, or on the
    // slot last focused.
    void previewClicked();
    // File menu: the Publish dialog, not modal, with the set as it stands.
    // The first time, from its source; a source that fails says why in a
    // box, and the next Publish… tries again.
    void publishClicked();
    // Where Publish… gets its window: the module, unless a test says else.
    void setPublishWindowSource(PublishWindowSource source) { m_publishSource = std::move(source); }
    // Action menu: opens the Character Generator, the glyph editor.
    void characterGeneratorClicked();
    void aboutClicked();
    void helpClicked();

    // The Preview follows the focus into a slot edit box; focus elsewhere
    // leaves the slot it shows.
    void slotFocused(int slot);
    // A slot's text or speed changed.
    void slotChanged(int slot);
    // Gives the open Preview window the text and speed of its slot.
    void updatePreview();
    // The Preview draws from this character generator, the font in use.
    void setFontImage(const QByteArray &image);

    // Before the main window closes: the Character Generator asks about its
    // own changes. False when they were kept (the font could not be saved).
    bool fontEditorMayClose();

    // Made now if they were not yet.
    AboutBox *about();
    HelpWindow *help();

signals:
    // The Character Generator's "Use This Font": the font file it saved.
    void useFontAsked(const QString &path);
    // The Character Generator saved a font file.
    void fontSaved(const QString &path);

public:
    // Null until first opened.
    PreviewWindow *preview() const { return m_preview; }
    PublishWindow *publish() const { return m_publish; }
    FontEditorWindow *fontEditor() const { return m_fontEditor; }

private:
    Document &m_document;
    SlotRows *m_rows;
    Dialogs &m_dialogs;
    QWidget *m_window;

    AboutBox *m_about = nullptr;
    HelpWindow *m_help = nullptr;
    PreviewWindow *m_preview = nullptr;
    PublishWindowSource m_publishSource = publishModuleSource();
    PublishWindow *m_publish = nullptr;
    FontEditorWindow *m_fontEditor = nullptr;
    QByteArray m_fontImage;
    // The slot edit box that last had the focus.
    int m_previewSlot = 0;
};

} // namespace varlo

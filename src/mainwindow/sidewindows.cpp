// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/sidewindows.h"

#include "aboutandhelp/aboutbox.h"
#include "aboutandhelp/helpwindow.h"
#include "charactergenerator/fonteditorwindow.h"
#include "files/document.h"
#include "preview/previewwindow.h"
#include "slotrows/slotrows.h"
#include "windowkit/dialogs.h"
#include "windowkit/publishwindow.h"

#include <QDialog>
#include <QStatusBar>
#include <QWidget>

namespace varlo {

namespace {

void bringUp(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

SideWindows::SideWindows(Document &document, SlotRows *rows, Dialogs &dialogs, QWidget *window)
    : QObject(window)
    , m_document(document)
    , m_rows(rows)
    , m_dialogs(dialogs)
    , m_window(window)
{
}

AboutBox *SideWindows::about()
{
    if (!m_about)
        m_about = new AboutBox(m_window);
    return m_about;
}

HelpWindow *SideWindows::help()
{
    if (!m_help)
        m_help = new HelpWindow(m_window);
    return m_help;
}

void SideWindows::previewClicked()
{
    if (!m_preview) {
        m_preview = new PreviewWindow(m_window);
        m_preview->setGlyphs(m_fontImage);
    }
    const int focused = m_rows->focusedSlot();
    if (focused >= 0)
        m_previewSlot = focused;
    m_preview->open();
    updatePreview();
}

void SideWindows::publishClicked()
{
    if (!m_publish) {
        QString error;
        m_publish = m_publishSource(m_dialogs, m_window, &error);
        if (!m_publish) {
            m_dialogs.showMessage(m_window, tr("Publish… is not available: its part of the program can't be loaded."),
                                  error);
            return;
        }
    }
    // What the slots hold now, as Save would write it.
    m_publish->setMessageSet(m_document.messageSet());
    bringUp(m_publish->dialog());
}

void SideWindows::characterGeneratorClicked()
{
    if (!m_fontEditor) {
        m_fontEditor = new FontEditorWindow(m_dialogs, m_window);
        // Any code, icons 1 to 12 included, can go into a slot this way.
        connect(m_fontEditor, &FontEditorWindow::insertCode, m_rows, [this](quint8 code) {
            if (!m_rows->insertEscape(QByteArray(1, char(code))))
                m_fontEditor->statusBar()->showMessage(
                    tr("Not inserted: no slot to insert into. Click into a slot of the main window first."));
        });
        connect(m_fontEditor, &FontEditorWindow::useFont, this, &SideWindows::useFontAsked);
        connect(m_fontEditor, &FontEditorWindow::saved, this, &SideWindows::fontSaved);
    }
    bringUp(m_fontEditor);
}

void SideWindows::aboutClicked()
{
    about()->exec();
}

void SideWindows::helpClicked()
{
    help()->exec();
}

void SideWindows::slotFocused(int slot)
{
    if (slot == m_previewSlot)
        return;
    m_previewSlot = slot;
    updatePreview();
}

void SideWindows::slotChanged(int slot)
{
    if (slot == m_previewSlot)
        updatePreview();
}

void SideWindows::updatePreview()
{
    // A hidden preview is brought up to date when it opens.
    if (!m_preview || m_preview->isHidden())
        return;
    const MessageSet &set = m_document.messageSet();
    m_preview->showSlot(m_previewSlot, set.markup(m_previewSlot), set.speedCode(m_previewSlot));
}

void SideWindows::setFontImage(const QByteArray &image)
{
    m_fontImage = image;
    if (m_preview)
        m_preview->setGlyphs(image);
}

bool SideWindows::fontEditorMayClose()
{
    if (!m_fontEditor)
        return true;
    if (m_fontEditor->isVisible())
        return m_fontEditor->close();
    // Hidden, its edits are still there to lose: it comes up to show what
    // the question is about.
    if (!m_fontEditor->isModifiedFont())
        return true;
    bringUp(m_fontEditor);
    return m_fontEditor->close();
}

} // namespace varlo

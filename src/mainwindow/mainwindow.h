// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/document.h"
#include "mainwindow/publishwindowloader.h"
#include "supportpictures/supportfiles.h"

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <memory>
#include <vector>

class QAction;
class QScrollArea;
class QTimer;
class QToolButton;

namespace varlo {

class BottomRow;
class Dialogs;
class RecoveryKeeper;
class UploadControl;
class WindowCommands;
class DocumentCommands;
class PictureSource;
class SideWindows;
class PortChoice;
class FontChoice;
class FontEditorWindow;
class PreviewWindow;
class SlotRows;
class AboutBox;
class HelpWindow;
class UploadWorker;

// The program's main window, the first of its three forms; its widgets keep
// the object names the tests and the manual use. It owns the document (the
// message set, its file name and its modified flag) and shows it in the slot
// rows; it holds the upload settings (port box, Commu Delay), runs the
// commands of its menus, tool bar and buttons, and asks the questions around
// them. Each handler is named after what the user did (newClicked) or what it
// does (refreshCounts).
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int kRefreshIntervalMs = 100;

    struct Folders
    {
        QString executableDir;
        // Used for the support files when the executable's folder can't be
        // written (an installed program).
        QString fallbackDir;
        // Where a copy of unsaved messages is kept (see RecoveryCopy); none
        // is kept when it is empty.
        QString recoveryDir;
        // Holds varlo/varlo.conf, where the font in use is remembered; none
        // when empty (the built-in font, remembered nowhere).
        QString configHome;
        // Where the fonts offered by name are.
        QStringList shippedFontFolders;
    };

    // Builds every control with its start value, then runs startUp().
    MainWindow(Folders folders, std::unique_ptr<Dialogs> dialogs, QWidget *parent = nullptr);
    ~MainWindow() override;

    // What a confirmed Open does with the chosen path: reads the file into
    // the slots, or shows why it can't and changes nothing. The Open dialog
    // shows the path next time. Also opens the file named on the command
    // line.
    void openDocument(const QString &path);
    // At start, once the window is up: offers the messages a run before
    // left unsaved, if a copy of them was kept. Until this has run, no copy
    // is written or removed.
    void offerRecoveryCopy();

    Document &document() { return m_document; }
    SlotRows *slotRows() const { return m_rows; }
    UploadWorker &uploads();
    const SupportFiles &supportFiles() const;
    // The About and Help boxes, made when first asked for.
    AboutBox *aboutBox();
    HelpWindow *helpWindow();
    // Null until the Preview window was first opened.
    PreviewWindow *previewWindow() const;
    // Null until File > Publish… was first chosen.
    QDialog *publishDialog() const;
    // Where File > Publish… gets its window, before it is first chosen: the
    // module beside the program unless a test gives another.
    void setPublishWindowSource(PublishWindowSource source);
    // Null until the Character Generator was first opened.
    FontEditorWindow *fontEditor() const;
    FontChoice &fontChoice() const { return *m_fontChoice; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildStatusBar();
    // Every command, control and report to the handler that serves it.
    void connectCommands();
    // The controls at their places in client-area coordinates; `clientTop`
    // is where the client area begins below the bars.
    void placeControls(int clientTop);

    // startUp() when the window is built: the caption, the support files
    // and the speed glyphs; firstShown() when it is first shown: an empty
    // set (as New) and the focus in slot A.
    void startUp();
    void firstShown();

    // Document: its commands are DocumentCommands'.
    void updateCaption();
    // Gives the slot rows the document's texts and speed codes.
    void showSlots();
    // Refreshes what shows a slot that the document changed.
    void slotChanged(int slot);

    // Slot controls.
    void refreshSpeedGlyphs();
    // On the refresh timer (Timer1, 100 ms) and after an upload: the slots'
    // character counts and whether the Save button is on. The timer runs
    // from a change of the document to the tick that shows it.
    void refreshCounts();
    void refreshSoon();
    void commuDelayChanged(int position);

    // The slot boxes and the Preview show the font in use.
    void fontInUseChanged();

    // Uploads: Send (the button and the File menu's entry) and Initial.
    void sendClicked();
    void initialClicked();
    // While an upload runs, and until its end has been shown, the window
    // takes no input, keeps repainting and shows that it is busy.
    void setUploading(bool uploading);

    Document m_document;
    std::unique_ptr<Dialogs> m_dialogs;
    PictureSource *m_pictures = nullptr;
    DocumentCommands *m_documentCommands = nullptr;
    SideWindows *m_sideWindows = nullptr;
    RecoveryKeeper *m_recovery = nullptr;
    FontChoice *m_fontChoice = nullptr;
    bool m_shown = false;

    SlotRows *m_rows = nullptr;
    QScrollArea *m_rowsArea = nullptr;
    bool m_placing = false;
    // The window does not fit the screen: the rows scroll, and the user may
    // resize it.
    bool m_resizable = false;
    BottomRow *m_bottom = nullptr;
    QTimer *m_refreshTimer = nullptr;

    WindowCommands *m_commands = nullptr;
    QPointer<QWidget> m_focusBeforeUpload;

    // Last, so that it goes first: an upload still running ends before the
    // controls it reports to go.
    std::unique_ptr<UploadControl> m_uploads;
};

} // namespace varlo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/supportfiles.h"
#include "files/document.h"
#include "link/linkreporter.h"
#include "model/messageset.h"

#include <QMainWindow>
#include <QSet>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QThread;
class QTimer;
class QToolButton;

namespace varlo {

class Dialogs;
class PreviewWindow;
class SlotEdit;
class SlotRows;
class TForm2;
class TForm3;

// The main window. It owns the document (the message set, its file name and
// its modified flag) and shows it, and holds the upload settings (port box,
// Commu Delay). Its methods carry the names of the handlers they always had
// (control name + event).
//
// It is also the front end of the uploads: they run on a worker thread and
// report through LinkReporter, whose calls come back to this thread.
class TForm1 : public QMainWindow, public LinkReporter
{
    Q_OBJECT

public:
    static constexpr int kSlots = MessageSet::kSlotCount;
    static constexpr int kTimerIntervalMs = 100;

    struct Folders
    {
        QString executableDir;
        // Used for the support files when the executable's folder can't be
        // written (an installed program).
        QString fallbackDir;
    };

    // An upload, run off the user-interface thread; returns whether it
    // completed.
    using UploadJob = std::function<bool(LinkReporter &)>;

    // Builds every control with its start value, then runs FormCreate.
    TForm1(Folders folders, std::unique_ptr<Dialogs> dialogs, QWidget *parent = nullptr);
    ~TForm1() override;

    void setSecondaryWindows(TForm2 *about, TForm3 *help);

    Document &document() { return m_document; }
    const SupportFiles &supportFiles() const { return m_supportFiles; }
    Dialogs &dialogs() { return *m_dialogs; }
    bool isUploading() const { return m_uploadThread != nullptr; }
    SlotRows *slotRows() const { return m_rows; }

    // Start-up.
    void FormCreate();
    void FormShow();

    // Document. Nothing here loses work: a cancelled dialog or a failed
    // read or write leaves the document, its name and its modified flag as
    // they were.
    void BtnNewClick();
    void BtnOpenClick();
    // What a confirmed Open does with the chosen path: reads the file into
    // the slots, or shows why it can't and changes nothing. The Open dialog
    // shows the path next time. Also opens the file named on the command
    // line.
    void openDocument(const QString &path);
    // Returns whether the set was written.
    bool BtnSaveClick();
    void SaveAs1Click();

    // Slot controls.
    void RefreshSpeedGlyphs();
    void Timer1Timer();
    void suiTrackBar1Change(int position);
    void ToolButton6Click();
    void ToolButton7Click();
    // Refreshes what shows a slot that the document changed.
    void slotChanged(int slot);

    // Uploads.
    void suitempSendClick();
    void Send1Click();
    void suiButton1Click();
    // Runs the job on a worker thread. Until it ends the window takes no
    // input but keeps repainting; uploadFinished() follows.
    void startUpload(UploadJob job);

    // Help menu.
    void About1Click();
    void Help2Click();

    // Action menu: opens the Preview window on the focused slot, or on the
    // slot last focused.
    void Preview1Click();
    // Null until the Preview window was first opened.
    PreviewWindow *previewWindow() const { return m_preview; }

    // LinkReporter: callable from any thread.
    void showMessage(const QString &text, const QString &reason) override;
    void showLamp(Lamp lamp) override;
    void showStatus(const QString &text) override;
    void setProgressMaximum(int maximum) override;
    void setProgressPosition(int position) override;

signals:
    void uploadFinished(bool completed);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildActions();
    void buildMenus();
    void buildToolBar();
    void buildBottomRows(QWidget *client);
    void placeControls();

    void updateCaption();
    // Tells the user why a save failed; returns whether it succeeded.
    bool written(const MessageFileWriteResult &result);
    // Shows the document's texts and speed codes.
    void showSlots();
    // Asks the Save dialog for a name, with ".vlo" added where it has no
    // extension. Empty when cancelled.
    QString askSaveName();
    QImage loadPicture(SupportFiles::Picture picture);
    void reportPictureError(SupportFiles::Picture picture, const QString &error);
    // Runs f on this window's thread; when `wait`, the caller waits for it.
    void onUiThread(std::function<void()> f, bool wait);
    void finishUpload(bool completed);
    // The Preview follows the focus into a slot edit box; focus elsewhere
    // leaves the slot it shows.
    void slotFocused(int slot);
    // Gives the open Preview window the text and speed of its slot.
    void updatePreview();

    Document m_document;
    // The name last confirmed in the Open dialog, which it shows next time.
    QString m_openDialogName;

    SupportFiles m_supportFiles;
    std::unique_ptr<Dialogs> m_dialogs;
    // Picture files already reported as unreadable in this run.
    QSet<SupportFiles::Picture> m_reportedPictures;

    TForm2 *m_about = nullptr;
    TForm3 *m_help = nullptr;
    bool m_shown = false;
    PreviewWindow *m_preview = nullptr;
    // The slot edit box that last had the focus.
    int m_previewSlot = 0;

    SlotRows *m_rows = nullptr;
    QLabel *m_maxLabel = nullptr;
    QLabel *m_label9 = nullptr;
    QWidget *m_rule = nullptr;
    QPushButton *m_initial = nullptr;
    QComboBox *m_portBox = nullptr;
    QSlider *m_trackBar = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_send = nullptr;
    QTimer *m_timer = nullptr;
    QToolButton *m_btnSave = nullptr;

    QAction *m_new = nullptr;
    QAction *m_open = nullptr;
    QAction *m_save = nullptr;
    QAction *m_saveAs = nullptr;
    QAction *m_sendAction = nullptr;
    QAction *m_exit = nullptr;
    QAction *m_moveUp = nullptr;
    QAction *m_moveDown = nullptr;
    QAction *m_helpAction = nullptr;
    QAction *m_aboutAction = nullptr;
    QAction *m_previewAction = nullptr;
    // The insertion commands in tool bar order.
    std::vector<QAction *> m_insertActions;

    QThread *m_uploadThread = nullptr;
};

} // namespace varlo

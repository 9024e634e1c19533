// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/mainwindow.h"

#include "link/uploadworker.h"
#include "mainwindow/bottomrow.h"
#include "mainwindow/clientarea.h"
#include "mainwindow/documentcommands.h"
#include "mainwindow/fontchoice.h"
#include "mainwindow/picturesource.h"
#include "mainwindow/recoverykeeper.h"
#include "mainwindow/sidewindows.h"
#include "mainwindow/uploadcontrol.h"
#include "mainwindow/windowcommands.h"
#include "slotrows/slotedit.h"
#include "slotrows/slotrows.h"
#include "windowkit/dialogs.h"
#include "windowkit/publishwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

namespace varlo {

namespace {

// The window's geometry at the default font, in pixels at 96 dpi, measured
// from the top left corner of the client area (below the title bar). A
// larger font makes what holds text larger, and the window grows with it.
constexpr int kClientWidth = 624;
constexpr int kClientHeight = 673;
constexpr int kStatusBarHeight = 19;
// The top of slot A's edit box.
constexpr int kFirstRowTop = 96;
// Below the bottom row, above the status bar.
constexpr int kBottomMargin = 12;
// The least height the rows keep when the window is made small.
constexpr int kLeastRowsHeight = 120;

// Qt reads "[*]" in a window title as the modified marker; a file name can
// hold it, so it is doubled, which shows it as it is.
QString literalTitle(QString title)
{
    return title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

} // namespace

MainWindow::MainWindow(Folders folders, std::unique_ptr<Dialogs> dialogs, QWidget *parent)
    : QMainWindow(parent)
    , m_dialogs(std::move(dialogs))
{
    setObjectName(QStringLiteral("Form1"));
    move(201, 14);

    m_pictures = new PictureSource(SupportFiles(SupportFiles::chooseFolder(folders.executableDir, folders.fallbackDir)),
                                   *m_dialogs, this);
    auto *client = new ClientArea(this);
    client->setObjectName(QStringLiteral("suiForm1"));
    setCentralWidget(client);
    m_rows = new SlotRows([this](quint8 code) { return m_pictures->load(SupportFiles::speedGlyph(code)); }, client);
    // The rows scroll only when the window can't show them all on the
    // screen (a large font or scale on a small screen); otherwise the area
    // is exactly their size and shows no scroll bar.
    m_rowsArea = new QScrollArea(client);
    m_rowsArea->setObjectName(QStringLiteral("SlotRowsArea"));
    m_rowsArea->setFrameShape(QFrame::NoFrame);
    m_rowsArea->setFocusPolicy(Qt::NoFocus);
    m_rowsArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_rowsArea->setBackgroundRole(QPalette::Window);
    m_rowsArea->viewport()->setAutoFillBackground(false);
    m_rowsArea->setWidget(m_rows);
    m_documentCommands = new DocumentCommands(m_document, *m_dialogs, this);
    m_sideWindows = new SideWindows(m_document, m_rows, *m_dialogs, this);
    m_fontChoice = new FontChoice(folders.configHome, folders.shippedFontFolders, *m_dialogs, this);
    m_recovery = new RecoveryKeeper(folders.recoveryDir, m_document, *m_dialogs, this);
    m_bottom = new BottomRow(client);
    m_commands = new WindowCommands(this, m_rows, m_fontChoice->action());
    buildStatusBar();
    m_uploads = std::make_unique<UploadControl>(*m_bottom, *m_pictures, *m_dialogs, statusBar(), this);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setObjectName(QStringLiteral("Timer1"));
    m_refreshTimer->setInterval(kRefreshIntervalMs);

    connectCommands();
    m_refreshTimer->start();
    setFixedSize(kClientWidth, kClientHeight);
    placeControls(centralWidget()->y());
    startUp();
}

MainWindow::~MainWindow()
{
    // The controls go after this object's own parts, and their going may
    // move the focus: what the rows say then must not reach a window that is
    // half gone.
    m_rows->disconnect(this);
}

void MainWindow::openDocument(const QString &path)
{
    m_documentCommands->openDocument(path);
}

const SupportFiles &MainWindow::supportFiles() const
{
    return m_pictures->files();
}

AboutBox *MainWindow::aboutBox()
{
    return m_sideWindows->about();
}

HelpWindow *MainWindow::helpWindow()
{
    return m_sideWindows->help();
}

PreviewWindow *MainWindow::previewWindow() const
{
    return m_sideWindows->preview();
}

QDialog *MainWindow::publishDialog() const
{
    return m_sideWindows->publish() ? m_sideWindows->publish()->dialog() : nullptr;
}

void MainWindow::setPublishWindowSource(PublishWindowSource source)
{
    m_sideWindows->setPublishWindowSource(std::move(source));
}

FontEditorWindow *MainWindow::fontEditor() const
{
    return m_sideWindows->fontEditor();
}

// ---------------------------------------------------------------- building

void MainWindow::buildStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(false);
}

void MainWindow::connectCommands()
{
    connect(m_commands->newFile(), &QAction::triggered, m_documentCommands, &DocumentCommands::newClicked);
    connect(m_commands->open(), &QAction::triggered, m_documentCommands, &DocumentCommands::openClicked);
    connect(m_commands->save(), &QAction::triggered, m_documentCommands, &DocumentCommands::saveClicked);
    connect(m_commands->saveAs(), &QAction::triggered, m_documentCommands, &DocumentCommands::saveAsClicked);
    connect(m_commands->send(), &QAction::triggered, this, &MainWindow::sendClicked);
    connect(m_commands->publish(), &QAction::triggered, m_sideWindows, &SideWindows::publishClicked);
    connect(m_commands->exit(), &QAction::triggered, this, &QWidget::close);
    connect(m_commands->help(), &QAction::triggered, m_sideWindows, &SideWindows::helpClicked);
    connect(m_commands->about(), &QAction::triggered, m_sideWindows, &SideWindows::aboutClicked);
    connect(m_commands->preview(), &QAction::triggered, m_sideWindows, &SideWindows::previewClicked);
    connect(m_commands->fontEditor(), &QAction::triggered, m_sideWindows, &SideWindows::characterGeneratorClicked);
    connect(m_fontChoice, &FontChoice::changed, this, &MainWindow::fontInUseChanged);
    connect(m_sideWindows, &SideWindows::useFontAsked, m_fontChoice, &FontChoice::use);
    connect(m_sideWindows, &SideWindows::fontSaved, m_fontChoice, &FontChoice::fileSaved);
    connect(m_commands->moveUp(), &QAction::triggered, m_rows, [this] { m_rows->moveFocusedText(-1); });
    connect(m_commands->moveDown(), &QAction::triggered, m_rows, [this] { m_rows->moveFocusedText(+1); });
    // The insertion actions come wired from makeInsertActions.

    connect(m_bottom->send(), &QPushButton::clicked, this, &MainWindow::sendClicked);
    connect(m_bottom->initial(), &QPushButton::clicked, this, &MainWindow::initialClicked);
    connect(m_bottom->commuDelaySlider(), &QSlider::valueChanged, this, &MainWindow::commuDelayChanged);
    connect(m_refreshTimer, &QTimer::timeout, this, &MainWindow::refreshCounts);
    // Whatever changes a count or the modified flag goes through these.
    connect(&m_document, &Document::slotChanged, this, &MainWindow::refreshSoon);
    connect(&m_document, &Document::slotsReplaced, this, &MainWindow::refreshSoon);
    connect(&m_document, &Document::saved, this, &MainWindow::refreshSoon);
    connect(static_cast<ClientArea *>(centralWidget()), &ClientArea::moved, this, &MainWindow::placeControls);

    connect(m_rows, &SlotRows::textChanged, &m_document, &Document::setMarkup);
    connect(m_rows, &SlotRows::speedClicked, &m_document, &Document::stepSpeed);
    connect(m_rows, &SlotRows::runToggled, &m_document, &Document::setRun);
    connect(m_rows, &SlotRows::slotFocused, m_sideWindows, &SideWindows::slotFocused);
    connect(m_rows, &SlotRows::refused, this, [this](const QString &why) { statusBar()->showMessage(why, 5000); });
    connect(m_recovery, &RecoveryKeeper::failed, this, [this](const QString &problem) {
        statusBar()->showMessage(tr("Can't keep a copy of the unsaved messages: %1").arg(problem));
    });
    connect(m_uploads.get(), &UploadControl::busyChanged, this, &MainWindow::setUploading);

    connect(&m_document, &Document::slotChanged, this, &MainWindow::slotChanged);
    connect(&m_document, &Document::slotsReplaced, this, &MainWindow::showSlots);
    connect(&m_document, &Document::fileNameChanged, this, &MainWindow::updateCaption);
}

void MainWindow::placeControls(int clientTop)
{
    if (m_placing)
        return;
    m_placing = true;
    // From the top: the rows, below the bars however tall the menu bar's
    // font makes them; then the bottom row and the status bar.
    const int width = std::max({kClientWidth, m_rows->width(), m_bottom->neededWidth()});
    const int rowsTop = std::max(kFirstRowTop - m_rows->headingHeight(), clientTop);
    const int statusHeight = std::max(kStatusBarHeight, statusBar()->fontMetrics().height() + 4);
    statusBar()->setFixedHeight(statusHeight);
    const int aroundRows = rowsTop + m_bottom->height() + kBottomMargin + statusHeight;
    const int fullHeight = aroundRows + m_rows->height();

    // All of it when the screen has room; otherwise as much as the screen
    // has, the rows scrolling, and the user may resize the window.
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
    const int frame = std::max(frameGeometry().height() - height(), 0);
    const bool fits = screen.isEmpty() || fullHeight + frame <= screen.height();
    const int scrollBar = fits ? 0 : m_rowsArea->verticalScrollBar()->sizeHint().width();
    if (fits) {
        setFixedSize(width, fullHeight);
    } else {
        setMinimumSize(width + scrollBar, aroundRows + kLeastRowsHeight);
        setMaximumSize(QWIDGETSIZE_MAX, fullHeight);
        if (!m_resizable)
            resize(width + scrollBar, screen.height() - frame);
    }
    m_resizable = !fits;
    const int rowsHeight = fits ? m_rows->height() : std::max(kLeastRowsHeight, height() - aroundRows);
    m_rowsArea->setGeometry(0, rowsTop - clientTop, m_rows->width() + scrollBar, rowsHeight);
    m_bottom->place(rowsTop + rowsHeight - clientTop, this->width());
    m_placing = false;
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_shown)
        placeControls(centralWidget()->y());
}

// ---------------------------------------------------------------- start-up

void MainWindow::startUp()
{
    updateCaption();
    m_pictures->files().writeMissing();
    refreshSpeedGlyphs();
    fontInUseChanged();
}

void MainWindow::firstShown()
{
    m_documentCommands->newClicked();
    m_rows->edit(0)->setFocus();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        placeControls(centralWidget()->y());
        firstShown();
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // FormClose. An upload can't be stopped half-way; the window waits for it.
    if (m_uploads->isUploading()) {
        event->ignore();
        return;
    }
    // "OK" saves as Save does; when that save did not happen (its dialog was
    // cancelled or the write failed) the window stays open, so nothing is
    // lost. "Cancel" closes without saving.
    if (m_document.isModified() && m_dialogs->confirm(this, tr("Confirm"), QStringLiteral(" Save change ?"))
        && !m_documentCommands->saveClicked()) {
        event->ignore();
        return;
    }
    // The Character Generator asks about its own changes first; a font it
    // could not save keeps both windows open.
    if (!m_sideWindows->fontEditorMayClose()) {
        event->ignore();
        return;
    }
    // Messages the question let go (Cancel, Esc) are kept for the next run.
    m_recovery->keepNow();
    event->accept();
}

void MainWindow::offerRecoveryCopy()
{
    m_recovery->offer();
}

// ---------------------------------------------------------------- document

void MainWindow::updateCaption()
{
    setWindowTitle(literalTitle(m_document.caption()));
}

void MainWindow::showSlots()
{
    // The boxes' own change notices find the document's texts already there.
    m_rows->showTexts(m_document.messageSet());
    refreshSpeedGlyphs();
    m_sideWindows->updatePreview();
}

void MainWindow::slotChanged(int slot)
{
    refreshSpeedGlyphs();
    m_sideWindows->slotChanged(slot);
}

// ---------------------------------------------------------------- slot controls

void MainWindow::refreshSpeedGlyphs()
{
    m_rows->refreshSpeedGlyphs(m_document.messageSet().speedCodes());
}

void MainWindow::refreshCounts()
{
    m_rows->showCounts(m_document.messageSet());
    // The Save action is off while an upload runs.
    m_commands->saveButton()->setEnabled(m_commands->save()->isEnabled() && m_document.isModified());
    // All is shown; the timer rests until the document changes again. Ten
    // wake-ups a second with nothing to do were most of what an idle window
    // cost.
    m_refreshTimer->stop();
}

void MainWindow::refreshSoon()
{
    // Not restarted while it runs, so that steady typing still shows its
    // count within one interval.
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start();
}

void MainWindow::commuDelayChanged(int position)
{
    m_bottom->showCommuDelay(position);
}

void MainWindow::fontInUseChanged()
{
    const FontInUse &font = m_fontChoice->current();
    m_rows->setCharMap(font.charMap());
    m_sideWindows->setFontImage(font.image());
}

// ---------------------------------------------------------------- uploads

UploadWorker &MainWindow::uploads()
{
    return m_uploads->worker();
}

void MainWindow::sendClicked()
{
    m_uploads->send(m_document.messageSet());
}

void MainWindow::initialClicked()
{
    // The font file as it is now, should it have changed since it was read.
    m_fontChoice->reload();
    m_uploads->loadFonts(m_fontChoice->current().image());
}

void MainWindow::setUploading(bool uploading)
{
    // No second upload, no edit, no command meanwhile; the window goes on
    // repainting, and the progress bar and the cursor show the upload. A
    // control that is turned off loses the keyboard focus, so it comes back
    // afterwards, as it does when the window is activated again: the caret
    // where it was.
    if (uploading)
        m_focusBeforeUpload = focusWidget();
    m_commands->setEnabled(!uploading);
    menuBar()->setEnabled(!uploading);
    m_rows->setEnabled(!uploading);
    m_bottom->setControlsEnabled(!uploading);
    if (uploading) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
        if (m_focusBeforeUpload)
            m_focusBeforeUpload->setFocus(Qt::ActiveWindowFocusReason);
    }
    // The Save button follows the modified flag again at once.
    refreshCounts();
}

} // namespace varlo

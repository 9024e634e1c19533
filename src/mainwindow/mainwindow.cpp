// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/mainwindow.h"

#include "charset/fonttable.h"
#include "console/uploadendview.h"
#include "console/uploadwords.h"
#include "files/messagefile.h"
#include "link/fontupload.h"
#include "link/messageupload.h"
#include "link/portchoice.h"
#include "link/uploadworker.h"
#include "mainwindow/clientarea.h"
#include "mainwindow/documentcommands.h"
#include "mainwindow/fontchoice.h"
#include "mainwindow/picturesource.h"
#include "mainwindow/sidewindows.h"
#include "slotrows/insertcommands.h"
#include "slotrows/slotedit.h"
#include "slotrows/slotrows.h"
#include "windowkit/dialogs.h"
#include "windowkit/icons.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <array>
#include <tuple>

namespace varlo {

namespace {

// The window's geometry at the default font, in pixels at 96 dpi, measured
// from the top left corner of the client area (below the title bar). A
// larger font makes what holds text larger, and the window grows with it.
constexpr int kClientWidth = 624;
constexpr int kClientHeight = 673;
constexpr int kToolBarHeight = 28;
constexpr int kStatusBarHeight = 19;
// The top of slot A's edit box.
constexpr int kFirstRowTop = 96;
constexpr int kLeft = 8;
// Between the controls of the bottom row.
constexpr int kGap = 12;
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

QAction *makeAction(QObject *parent, const char *name, const QString &text, const char *hint = nullptr,
                    const char *icon = nullptr)
{
    auto *action = new QAction(text, parent);
    action->setObjectName(QString::fromLatin1(name));
    if (hint) {
        action->setStatusTip(QString::fromLatin1(hint));
        action->setToolTip(QString::fromLatin1(hint));
    }
    if (icon)
        action->setIcon(toolIcon(QString::fromLatin1(icon)));
    return action;
}

QAction *makeDisabledAction(QObject *parent, const char *name, const QString &text)
{
    QAction *action = makeAction(parent, name, text);
    action->setEnabled(false);
    return action;
}

} // namespace

MainWindow::MainWindow(Folders folders, std::unique_ptr<Dialogs> dialogs, QWidget *parent)
    : QMainWindow(parent)
    , m_dialogs(std::move(dialogs))
    , m_recovery(folders.recoveryDir)
    , m_uploads(std::make_unique<UploadWorker>())
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
    buildBottomRow(client);
    buildActions();
    buildMenus();
    buildToolBar();
    buildStatusBar();

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setObjectName(QStringLiteral("Timer1"));
    m_refreshTimer->setInterval(kRefreshIntervalMs);
    m_recoveryTimer = new QTimer(this);
    m_recoveryTimer->setObjectName(QStringLiteral("RecoveryTimer"));
    m_recoveryTimer->setSingleShot(true);
    m_recoveryTimer->setInterval(kRecoveryDelayMs);

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

PublishDialog *MainWindow::publishDialog() const
{
    return m_sideWindows->publish();
}

FontEditorWindow *MainWindow::fontEditor() const
{
    return m_sideWindows->fontEditor();
}

// ---------------------------------------------------------------- building

void MainWindow::buildActions()
{
    m_new = makeAction(this, "New1", tr("&New"), "Create a new file", "new");
    m_open = makeAction(this, "Open1", tr("&Open"), "Open a file", "open");
    m_save = makeAction(this, "Save1", tr("&Save"), "Save", "save");
    m_saveAs = makeAction(this, "SaveAs1", tr("S&ave As"), nullptr, "saveas");
    m_sendAction = makeAction(this, "Send1", tr("S&end..."), nullptr, "send");
    m_publishAction = makeAction(this, "Publish1", tr("&Publish…"));
    m_publishAction->setStatusTip(tr("Publish the messages to panels on an MQTT broker"));
    m_exit = makeAction(this, "Exit1", tr("&Exit"), nullptr, "exit");
    m_helpAction = makeAction(this, "Help2", tr("&Help"), nullptr, "help");
    m_aboutAction = makeAction(this, "About1", tr("&About"), nullptr, "about");
    // The desktop's usual keys, beside the menus' underlined letters. Some
    // desktops define no key for Save As or Quit; the common one stands in.
    const auto standardKey = [](QAction *action, QKeySequence::StandardKey key, const char *fallback) {
        QList<QKeySequence> keys = QKeySequence::keyBindings(key);
        if (keys.isEmpty() && fallback)
            keys << QKeySequence(QString::fromLatin1(fallback));
        action->setShortcuts(keys);
    };
    standardKey(m_new, QKeySequence::New, nullptr);
    standardKey(m_open, QKeySequence::Open, nullptr);
    standardKey(m_save, QKeySequence::Save, nullptr);
    standardKey(m_saveAs, QKeySequence::SaveAs, "Ctrl+Shift+S");
    standardKey(m_exit, QKeySequence::Quit, "Ctrl+Q");
    m_previewAction = makeAction(this, "Preview1", tr("Preview"));
    m_previewAction->setStatusTip(tr("Show the focused slot as the panel shows it"));
    m_fontEditorAction = makeAction(this, "CharacterGenerator1", tr("Character Generator…"));
    m_fontEditorAction->setStatusTip(tr("Draw the panel's glyphs and keep them in a font file"));
    // No hint for the two move buttons; their pictures say it.
    m_moveUp = makeAction(this, "ToolButton6", QString(), nullptr, "up");
    m_moveDown = makeAction(this, "ToolButton7", QString(), nullptr, "down");
    m_insertActions = makeInsertActions(m_rows, toolIcon, this);

    m_commands = {m_new,
                  m_open,
                  m_save,
                  m_saveAs,
                  m_sendAction,
                  m_publishAction,
                  m_exit,
                  m_helpAction,
                  m_aboutAction,
                  m_previewAction,
                  m_fontEditorAction,
                  m_moveUp,
                  m_moveDown,
                  m_fontChoice->action()};
    m_commands.insert(m_commands.end(), m_insertActions.begin(), m_insertActions.end());
}

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu *file = bar->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("File1"));
    file->addActions({m_new, m_open, m_save, m_saveAs});
    file->addSeparator();
    file->addActions({m_sendAction, m_publishAction});
    file->addSeparator();
    file->addAction(m_exit);

    QMenu *picture = bar->addMenu(tr("&Picture"));
    picture->setObjectName(QStringLiteral("Picture1"));
    for (const char *name : kPictureMenuOrder)
        picture->addAction(findChild<QAction *>(QString::fromLatin1(name)));

    // The panel's speed and action choices were never implemented; the
    // entries stay as a disabled promise.
    QMenu *speed = bar->addMenu(tr("S&peed"));
    speed->setObjectName(QStringLiteral("Speed1"));
    const std::array<std::pair<const char *, QString>, 5> speeds{{
        {"Fastest1", tr("&Fastest")},
        {"Faster1", tr("F&aster")},
        {"Fast1", tr("Fa&st")},
        {"Normal1", tr("&Normal")},
        {"Slow1", tr("&Slow")},
    }};
    for (const auto &[name, text] : speeds)
        speed->addAction(makeDisabledAction(this, name, text));

    QMenu *action = bar->addMenu(tr("&Action"));
    action->setObjectName(QStringLiteral("Action1"));
    const std::array<std::pair<const char *, QString>, 3> actions{{
        {"Rotate1", tr("Rotate")},
        {"Hold1", tr("Hold")},
        {"Scroll1", tr("Scroll")},
    }};
    for (const auto &[name, text] : actions)
        action->addAction(makeDisabledAction(this, name, text));
    action->addAction(m_previewAction);
    action->addAction(m_fontEditorAction);
    action->addAction(m_fontChoice->action());

    QMenu *help = bar->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    help->addActions({m_helpAction, m_aboutAction});
}

void MainWindow::buildToolBar()
{
    QToolBar *bar = addToolBar(tr("Tools"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setFixedHeight(kToolBarHeight);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);

    // The tool buttons never take the keyboard focus, so an insertion goes
    // into the slot the user was typing in.
    auto add = [bar](QAction *action, const char *buttonName) {
        bar->addAction(action);
        QWidget *button = bar->widgetForAction(action);
        button->setObjectName(QString::fromLatin1(buttonName));
        button->setFocusPolicy(Qt::NoFocus);
        return static_cast<QToolButton *>(button);
    };

    add(m_new, "BtnNew");
    add(m_open, "BtnOpen");
    m_saveButton = add(m_save, "BtnSave");
    bar->addSeparator();
    for (std::size_t i = 0; i < kInsertCommands.size(); ++i) {
        if (kInsertCommands[i].separatorBefore)
            bar->addSeparator();
        add(m_insertActions[i], kInsertCommands[i].button);
    }
    bar->addSeparator();
    add(m_moveUp, "ToolButton6");
    add(m_moveDown, "ToolButton7");

    // The buttons show pictures only. Those without a hint of their own get
    // a tool tip (never a status tip: their hint stays empty), and every one
    // whose hint is no name gets a name a screen reader can say.
    const std::array<std::tuple<const char *, const char *, const char *>, 6> spoken{{
        {"ToolButton8", "Tilde", "Insert a tilde"},
        {"BtnSpeed1", nullptr, "Insert flash on or off"},
        {"ToolButton2", nullptr, "Insert the normal font"},
        {"ToolButton3", nullptr, "Insert the bold font"},
        {"ToolButton6", "Move the text up a slot", "Move the text up a slot"},
        {"ToolButton7", "Move the text down a slot", "Move the text down a slot"},
    }};
    for (const auto &[name, tip, accessible] : spoken) {
        auto *button = bar->findChild<QToolButton *>(QString::fromLatin1(name));
        if (tip)
            button->defaultAction()->setToolTip(tr(tip));
        button->setAccessibleName(tr(accessible));
    }
}

void MainWindow::buildBottomRow(QWidget *client)
{
    m_maxLabel = new QLabel(QStringLiteral(" Max  120 X 20 = 2400 chars"), client);
    m_maxLabel->setObjectName(QStringLiteral("Label8"));

    m_commuDelayLabel = new QLabel(QStringLiteral("Commu Delay: 0 ms"), client);
    m_commuDelayLabel->setObjectName(QStringLiteral("Label9"));

    auto *rule = new QFrame(client);
    rule->setObjectName(QStringLiteral("Bevel1"));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    m_rule = rule;

    m_initial = new QPushButton(tr("Initial"), client);
    m_initial->setObjectName(QStringLiteral("suiButton1"));
    m_initial->setStatusTip(tr("Load the panel's two fonts"));
    m_initial->setToolTip(m_initial->statusTip());

    m_portBox = new QComboBox(client);
    m_portBox->setObjectName(QStringLiteral("ComboBox3"));
    m_portBox->addItem(QStringLiteral("AUTO"));
    for (int port = 1; port <= 13; ++port)
        m_portBox->addItem(QStringLiteral("COM %1").arg(port));
    m_portBox->setCurrentIndex(0);
    m_portBox->setAccessibleName(tr("Serial port"));
    m_portBox->setToolTip(tr("The panel's serial port; AUTO tries each port until the panel answers"));

    m_commuDelaySlider = new QSlider(Qt::Horizontal, client);
    m_commuDelaySlider->setObjectName(QStringLiteral("suiTrackBar1"));
    m_commuDelaySlider->setRange(0, upload::kMaxCommuDelayPosition);
    m_commuDelaySlider->setSingleStep(1);
    m_commuDelaySlider->setPageStep(2);
    m_commuDelaySlider->setTickPosition(QSlider::TicksBelow);
    m_commuDelaySlider->setTickInterval(1);
    m_commuDelaySlider->setValue(0);
    m_commuDelaySlider->setAccessibleName(tr("Commu Delay"));
    m_commuDelaySlider->setToolTip(tr("The pause between the steps of Send, for a slow panel"));

    m_progress = new QProgressBar(client);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, upload::kProgressMaximum);
    m_progress->setValue(0);
    m_progress->setTextVisible(true);
    m_progress->setFormat(QStringLiteral("%p%"));
    m_progress->setAlignment(Qt::AlignCenter);
    QFont small = m_progress->font();
    small.setPixelSize(10);
    m_progress->setFont(small);

    m_send = new QPushButton(tr("Send"), client);
    m_send->setObjectName(QStringLiteral("Send"));
    m_send->setStatusTip(tr("Send the messages to the panel"));
    m_send->setToolTip(tr("Send the messages to the panel; the lamp shows how the last upload went"));
    // The window's own lamp, green, until an upload shows one from the files.
    m_send->setIcon(QPixmap::fromImage(SupportFiles::builtInPicture(SupportFiles::LampGreen)));
    m_send->setIconSize(QSize(16, 16));
}

void MainWindow::buildStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(false);
}

void MainWindow::connectCommands()
{
    connect(m_new, &QAction::triggered, m_documentCommands, &DocumentCommands::newClicked);
    connect(m_open, &QAction::triggered, m_documentCommands, &DocumentCommands::openClicked);
    connect(m_save, &QAction::triggered, m_documentCommands, &DocumentCommands::saveClicked);
    connect(m_saveAs, &QAction::triggered, m_documentCommands, &DocumentCommands::saveAsClicked);
    connect(m_sendAction, &QAction::triggered, this, &MainWindow::sendClicked);
    connect(m_publishAction, &QAction::triggered, m_sideWindows, &SideWindows::publishClicked);
    connect(m_exit, &QAction::triggered, this, &QWidget::close);
    connect(m_helpAction, &QAction::triggered, m_sideWindows, &SideWindows::helpClicked);
    connect(m_aboutAction, &QAction::triggered, m_sideWindows, &SideWindows::aboutClicked);
    connect(m_previewAction, &QAction::triggered, m_sideWindows, &SideWindows::previewClicked);
    connect(m_fontEditorAction, &QAction::triggered, m_sideWindows, &SideWindows::characterGeneratorClicked);
    connect(m_fontChoice, &FontChoice::changed, this, &MainWindow::fontInUseChanged);
    connect(m_sideWindows, &SideWindows::useFontAsked, m_fontChoice, &FontChoice::use);
    connect(m_sideWindows, &SideWindows::fontSaved, m_fontChoice, &FontChoice::fileSaved);
    connect(m_moveUp, &QAction::triggered, m_rows, [this] { m_rows->moveFocusedText(-1); });
    connect(m_moveDown, &QAction::triggered, m_rows, [this] { m_rows->moveFocusedText(+1); });
    // The insertion actions come wired from makeInsertActions.

    connect(m_send, &QPushButton::clicked, this, &MainWindow::sendClicked);
    connect(m_initial, &QPushButton::clicked, this, &MainWindow::initialClicked);
    connect(m_commuDelaySlider, &QSlider::valueChanged, this, &MainWindow::commuDelayChanged);
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

    connect(&m_document, &Document::slotChanged, this, &MainWindow::slotChanged);
    connect(&m_document, &Document::slotsReplaced, this, &MainWindow::showSlots);
    connect(&m_document, &Document::fileNameChanged, this, &MainWindow::updateCaption);
    connect(&m_document, &Document::slotChanged, this, &MainWindow::documentEdited);
    // New, Open and a restore replace the whole set at once: the copy
    // follows at once, so that New or Open after the question removes it.
    connect(&m_document, &Document::slotsReplaced, this, &MainWindow::keepRecoveryCopy);
    connect(&m_document, &Document::saved, this, &MainWindow::keepRecoveryCopy);
    connect(m_recoveryTimer, &QTimer::timeout, this, &MainWindow::keepRecoveryCopy);

    UploadWorker *uploads = m_uploads.get();
    connect(uploads, &UploadWorker::started, this, [this] { setUploading(true); });
    connect(uploads, &UploadWorker::finished, this, &MainWindow::uploadEnded);
    connect(uploads, &UploadWorker::portOpened, this,
            [this](const PortChoice &port) { statusBar()->showMessage(portStatusText(port)); });
    connect(uploads, &UploadWorker::progressMaximumSet, m_progress, &QProgressBar::setMaximum);
    connect(uploads, &UploadWorker::progressPositionSet, m_progress, &QProgressBar::setValue);
}

void MainWindow::placeControls(int clientTop)
{
    if (m_placing)
        return;
    m_placing = true;
    // Each control keeps its size at the default font and grows only where
    // its text needs more; the ones to its right move along.
    // What a text needs: its advance, and a line's height, in the
    // control's own font, with room for the control's frame.
    const auto textWidth = [](const QWidget *w, const QString &text) {
        return w->fontMetrics().horizontalAdvance(text);
    };
    const auto lineHeight = [](const QWidget *w) { return w->fontMetrics().height(); };
    const int labelHeight = std::max(18, lineHeight(m_maxLabel) + 2);
    const int initialWidth = std::max(80, textWidth(m_initial, m_initial->text()) + 24);
    const int initialHeight = std::max(27, lineHeight(m_initial) + 10);
    const int portLeft = kLeft + initialWidth + kGap;
    // The widest item, the arrow and the frame, as the style measures them.
    const int portWidth = std::max(84, m_portBox->sizeHint().width());
    const int portHeight = std::max(25, lineHeight(m_portBox) + 8);
    const int maxLabelWidth = textWidth(m_maxLabel, m_maxLabel->text()) + 4;
    const int sliderLeft = std::max({196, portLeft + portWidth + kGap, kLeft + maxLabelWidth + kLeft});
    const int sliderHeight = 28;
    const int progressLeft = sliderLeft + 150 + kGap;
    const int sendWidth = std::max(75, textWidth(m_send, m_send->text()) + m_send->iconSize().width() + 28);
    const int sendHeight = std::max(25, lineHeight(m_send) + 8);
    const int width = std::max({kClientWidth, m_rows->width(), progressLeft + 169 + 14 + sendWidth + kLeft});

    // From the top: the rows, below the bars however tall the menu bar's
    // font makes it.
    const int rowsTop = std::max(kFirstRowTop - m_rows->headingHeight(), clientTop);
    const int below = std::max(28, 6 + labelHeight + 4);
    const int bottomRowHeight = std::max({initialHeight, portHeight + 1, sliderHeight, sendHeight + 1});
    const int statusHeight = std::max(kStatusBarHeight, lineHeight(statusBar()) + 4);
    statusBar()->setFixedHeight(statusHeight);
    const int aroundRows = rowsTop + below + 10 + bottomRowHeight + kBottomMargin + statusHeight;
    const int fullHeight = aroundRows + m_rows->height();

    // All of it when the screen has room; otherwise as much as the screen
    // has, the rows scrolling, and the user may resize the window.
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
    const int frame = frameGeometry().height() - height();
    const bool fits = screen.isEmpty() || fullHeight + std::max(frame, 0) <= screen.height();
    const int scrollBar = fits ? 0 : m_rowsArea->verticalScrollBar()->sizeHint().width();
    if (fits) {
        setFixedSize(width, fullHeight);
    } else {
        setMinimumSize(width + scrollBar, aroundRows + kLeastRowsHeight);
        setMaximumSize(QWIDGETSIZE_MAX, fullHeight);
        if (!m_resizable)
            resize(width + scrollBar, screen.height() - std::max(frame, 0));
    }
    m_resizable = !fits;
    const int rowsHeight = fits ? m_rows->height() : std::max(kLeastRowsHeight, height() - aroundRows);
    const int belowRowsTop = rowsTop + rowsHeight;
    const int bottomRowTop = belowRowsTop + below + 10;

    auto at = [clientTop](QWidget *w, int x, int y, int wide, int high) {
        w->setGeometry(x, y - clientTop, wide, high);
    };
    at(m_rowsArea, 0, rowsTop, m_rows->width() + scrollBar, rowsHeight);
    at(m_maxLabel, kLeft, belowRowsTop + 6, std::max(200, maxLabelWidth), labelHeight);
    at(m_commuDelayLabel, sliderLeft, belowRowsTop + 6,
       std::max(160, textWidth(m_commuDelayLabel, QStringLiteral("Commu Delay: 1000 ms")) + 4), labelHeight);
    at(m_rule, kLeft, belowRowsTop + below, this->width() - 2 * kLeft, 2);
    at(m_initial, kLeft, bottomRowTop, initialWidth, initialHeight);
    at(m_portBox, portLeft, bottomRowTop + 1, portWidth, portHeight);
    at(m_commuDelaySlider, sliderLeft, bottomRowTop, 150, sliderHeight);
    at(m_progress, progressLeft, bottomRowTop + 8, 169, 12);
    at(m_send, this->width() - kLeft - sendWidth, bottomRowTop + 1, sendWidth, sendHeight);
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
    if (m_uploading) {
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
    keepRecoveryCopy();
    event->accept();
}

// ---------------------------------------------------------------- unsaved messages

void MainWindow::offerRecoveryCopy()
{
    if (const std::optional<RecoveryCopy::Found> found = m_recovery.read()) {
        const QString when = QLocale().toString(found->writtenAt.toLocalTime(), QLocale::ShortFormat);
        if (m_dialogs->askRestore(this, tr("Unsaved messages"),
                                  tr("Restore the messages that were not saved on %1?").arg(when)))
            m_document.restoreUnsaved(found->set, found->fileName);
    }
    m_recoveryArmed = true;
    keepRecoveryCopy();
}

void MainWindow::documentEdited()
{
    if (m_recoveryArmed)
        m_recoveryTimer->start();
}

void MainWindow::keepRecoveryCopy()
{
    if (!m_recoveryArmed)
        return;
    m_recoveryTimer->stop();
    const MessageSet &set = m_document.messageSet();
    bool anyText = false;
    for (int i = 0; i < MessageSet::kSlotCount; ++i)
        anyText = anyText || !set.markup(i).isEmpty();
    // Twenty empty slots are nothing to offer back.
    if (!m_document.isModified() || !anyText) {
        m_recovery.remove();
        return;
    }
    const QString problem = m_recovery.write(set, m_document.fileName());
    if (!problem.isEmpty())
        statusBar()->showMessage(tr("Can't keep a copy of the unsaved messages: %1").arg(problem));
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
    m_saveButton->setEnabled(m_save->isEnabled() && m_document.isModified());
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
    m_commuDelayLabel->setText(QStringLiteral("Commu Delay: %1 ms").arg(position * upload::kCommuDelayUnitMs));
}

void MainWindow::fontInUseChanged()
{
    const FontInUse &font = m_fontChoice->current();
    m_rows->setCharMap(font.charMap());
    m_sideWindows->setFontImage(font.image());
}

// ---------------------------------------------------------------- uploads

PortChoice MainWindow::chosenPort() const
{
    return PortChoice::fromPortBoxIndex(m_portBox->currentIndex());
}

void MainWindow::sendClicked()
{
    // The upload works on its plan, made of what was on screen when Send was
    // pressed (the window can't change while it runs anyway).
    m_uploads->start([plan = planMessageUpload(m_document.messageSet(), m_commuDelaySlider->value()),
                      port = chosenPort()](UploadProgress &progress) { return runUpload(plan, port, progress); });
}

void MainWindow::initialClicked()
{
    // The font file as it is now, should it have changed since it was read.
    m_fontChoice->reload();
    // The font in use has the character generator's size, whichever it is.
    m_uploads->start([plan = planFontUpload(m_fontChoice->current().image()).value(),
                      port = chosenPort()](UploadProgress &progress) { return runUpload(plan, port, progress); });
}

// The window as it shows an upload's end. The box is modal, and the window
// may be destroyed while it is open (the program ends): what comes after the
// box then finds no window and does nothing.
class MainWindow::UploadEnd final : public UploadEndView
{
public:
    explicit UploadEnd(MainWindow *window)
        : m_window(window)
    {
    }

    bool windowAlive() const { return m_window != nullptr; }

    void showFailure(const QString &text, const UploadOutcome &outcome) override
    {
        if (m_window)
            m_window->m_dialogs->showMessage(m_window, text, outcome.reason);
    }
    void showResult(bool done) override
    {
        if (m_window)
            m_window->showLamp(done ? Lamp::Green : Lamp::Red);
    }
    void resetProgress() override
    {
        if (m_window)
            m_window->m_progress->setValue(0);
    }

private:
    QPointer<MainWindow> m_window;
};

void MainWindow::uploadEnded(const UploadOutcome &outcome)
{
    UploadEnd end(this);
    showUploadEnd(outcome, end);
    if (end.windowAlive())
        setUploading(false);
}

void MainWindow::setUploading(bool uploading)
{
    // No second upload, no edit, no command meanwhile; the window goes on
    // repainting, and the progress bar and the cursor show the upload. A
    // control that is turned off loses the keyboard focus, so it comes back
    // afterwards, as it does when the window is activated again: the caret
    // where it was.
    m_uploading = uploading;
    if (uploading)
        m_focusBeforeUpload = focusWidget();
    for (QAction *action : m_commands)
        action->setEnabled(!uploading);
    menuBar()->setEnabled(!uploading);
    for (QWidget *control : std::initializer_list<QWidget *>{m_rows, m_initial, m_portBox, m_commuDelaySlider, m_send})
        control->setEnabled(!uploading);
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

void MainWindow::showLamp(Lamp lamp)
{
    const auto picture = lamp == Lamp::Green ? SupportFiles::LampGreen : SupportFiles::LampRed;
    m_send->setIcon(QPixmap::fromImage(m_pictures->load(picture)));
}

} // namespace varlo

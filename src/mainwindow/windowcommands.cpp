// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/windowcommands.h"

#include "slotrows/insertcommands.h"
#include "slotrows/slotrows.h"
#include "windowkit/icons.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include <array>
#include <tuple>

namespace varlo {

namespace {

constexpr int kToolBarHeight = 28;

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

WindowCommands::WindowCommands(QMainWindow *window, SlotRows *rows, QAction *fontInUse)
    : QObject(window)
    , m_fontInUse(fontInUse)
{
    buildActions(window, rows);
    buildMenus(window);
    buildToolBar(window);
}

void WindowCommands::setEnabled(bool enabled)
{
    for (QAction *action : m_commands)
        action->setEnabled(enabled);
}

void WindowCommands::buildActions(QObject *parent, SlotRows *rows)
{
    m_new = makeAction(parent, "New1", tr("&New"), "Create a new file", "new");
    m_open = makeAction(parent, "Open1", tr("&Open"), "Open a file", "open");
    m_save = makeAction(parent, "Save1", tr("&Save"), "Save", "save");
    m_saveAs = makeAction(parent, "SaveAs1", tr("S&ave As"), nullptr, "saveas");
    m_send = makeAction(parent, "Send1", tr("S&end..."), nullptr, "send");
    m_publish = makeAction(parent, "Publish1", tr("&Publish…"));
    m_publish->setStatusTip(tr("Publish the messages to panels on an MQTT broker"));
    m_exit = makeAction(parent, "Exit1", tr("&Exit"), nullptr, "exit");
    m_help = makeAction(parent, "Help2", tr("&Help"), nullptr, "help");
    m_about = makeAction(parent, "About1", tr("&About"), nullptr, "about");
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
    m_preview = makeAction(parent, "Preview1", tr("Preview"));
    m_preview->setStatusTip(tr("Show the focused slot as the panel shows it"));
    m_fontEditor = makeAction(parent, "CharacterGenerator1", tr("Character Generator…"));
    m_fontEditor->setStatusTip(tr("Draw the panel's glyphs and keep them in a font file"));
    // No hint for the two move buttons; their pictures say it.
    m_moveUp = makeAction(parent, "ToolButton6", QString(), nullptr, "up");
    m_moveDown = makeAction(parent, "ToolButton7", QString(), nullptr, "down");
    m_insertActions = makeInsertActions(rows, toolIcon, parent);

    m_commands = {m_new,  m_open,  m_save,    m_saveAs,     m_send,   m_publish,  m_exit,
                  m_help, m_about, m_preview, m_fontEditor, m_moveUp, m_moveDown, m_fontInUse};
    m_commands.insert(m_commands.end(), m_insertActions.begin(), m_insertActions.end());
}

void WindowCommands::buildMenus(QMainWindow *window)
{
    QMenuBar *bar = window->menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu *file = bar->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("File1"));
    file->addActions({m_new, m_open, m_save, m_saveAs});
    file->addSeparator();
    file->addActions({m_send, m_publish});
    file->addSeparator();
    file->addAction(m_exit);

    QMenu *picture = bar->addMenu(tr("&Picture"));
    picture->setObjectName(QStringLiteral("Picture1"));
    for (const char *name : kPictureMenuOrder)
        picture->addAction(window->findChild<QAction *>(QString::fromLatin1(name)));

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
        speed->addAction(makeDisabledAction(window, name, text));

    QMenu *action = bar->addMenu(tr("&Action"));
    action->setObjectName(QStringLiteral("Action1"));
    const std::array<std::pair<const char *, QString>, 3> actions{{
        {"Rotate1", tr("Rotate")},
        {"Hold1", tr("Hold")},
        {"Scroll1", tr("Scroll")},
    }};
    for (const auto &[name, text] : actions)
        action->addAction(makeDisabledAction(window, name, text));
    action->addAction(m_preview);
    action->addAction(m_fontEditor);
    action->addAction(m_fontInUse);

    QMenu *help = bar->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    help->addActions({m_help, m_about});
}

void WindowCommands::buildToolBar(QMainWindow *window)
{
    QToolBar *bar = window->addToolBar(tr("Tools"));
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

} // namespace varlo

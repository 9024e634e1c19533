// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <vector>

class QAction;
class QMainWindow;
class QToolButton;

namespace varlo {

class SlotRows;

// The main window's commands: one action each, shared by its menu and its
// tool bar, and the menus and the tool bar that show them. What each does
// is wired by the window.
class WindowCommands : public QObject
{
    Q_OBJECT

public:
    // fontInUse: the Action menu's "Font in Use…", made by the font choice.
    WindowCommands(QMainWindow *window, SlotRows *rows, QAction *fontInUse);

    QAction *newFile() const { return m_new; }
    QAction *open() const { return m_open; }
    QAction *save() const { return m_save; }
    QAction *saveAs() const { return m_saveAs; }
    QAction *send() const { return m_send; }
    QAction *publish() const { return m_publish; }
    QAction *exit() const { return m_exit; }
    QAction *help() const { return m_help; }
    QAction *about() const { return m_about; }
    QAction *preview() const { return m_preview; }
    QAction *fontEditor() const { return m_fontEditor; }
    QAction *moveUp() const { return m_moveUp; }
    QAction *moveDown() const { return m_moveDown; }
    // The tool bar's Save button, on only while there is something to save.
    QToolButton *saveButton() const { return m_saveButton; }

    // Every command at once: off while an upload runs.
    void setEnabled(bool enabled);

private:
    void buildActions(QObject *parent, SlotRows *rows);
    void buildMenus(QMainWindow *window);
    void buildToolBar(QMainWindow *window);

    QAction *m_fontInUse;
    QAction *m_new = nullptr;
    QAction *m_open = nullptr;
    QAction *m_save = nullptr;
    QAction *m_saveAs = nullptr;
    QAction *m_send = nullptr;
    QAction *m_publish = nullptr;
    QAction *m_exit = nullptr;
    QAction *m_help = nullptr;
    QAction *m_about = nullptr;
    QAction *m_preview = nullptr;
    QAction *m_fontEditor = nullptr;
    QAction *m_moveUp = nullptr;
    QAction *m_moveDown = nullptr;
    QToolButton *m_saveButton = nullptr;
    // The insertion commands in tool bar order.
    std::vector<QAction *> m_insertActions;
    // Every action that runs a command.
    std::vector<QAction *> m_commands;
};

} // namespace varlo

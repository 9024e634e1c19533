// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QDialog;

class QWidget;

namespace varlo {

// Every message box and file dialog of the windows goes through this, so
// that tests can answer them. The window owns one; WidgetDialogs is the real
// thing.
class Dialogs
{
public:
    // The answers to "save the changes first?".
    enum class SaveChoice { Save, Discard, Cancel };

    virtual ~Dialogs() = default;

    // A modal box with OK: the fixed text, and the operating system's reason
    // (or other detail) beneath it when there is one.
    virtual void showMessage(QWidget *parent, const QString &text, const QString &detail) = 0;
    // A confirmation box with OK and Cancel and a question icon; true for OK.
    virtual bool confirm(QWidget *parent, const QString &title, const QString &text) = 0;
    // Asks, in the desktop's usual form (Save, Discard, Cancel), whether to
    // save unsaved changes before they are replaced. Esc and closing the box
    // answer Cancel.
    virtual SaveChoice askSaveChanges(QWidget *parent, const QString &title, const QString &text) = 0;
    // Offers messages that were never saved: Restore or Discard; true for
    // Restore. Esc and closing the box restore too: one key must not throw
    // the messages away.
    virtual bool askRestore(QWidget *parent, const QString &title, const QString &text) = 0;
    // The Open dialog, showing `remembered` as its file name. Returns the
    // chosen path, which need not exist, or an empty text when cancelled.
    virtual QString openFileName(QWidget *parent, const QString &filter, const QString &remembered) = 0;
    // The Save dialog, preset with `preset`; it never asks before
    // overwriting. Returns the chosen path or an empty text when cancelled.
    virtual QString saveFileName(QWidget *parent, const QString &filter, const QString &preset) = 0;
    // A modal list to choose one of `items` from, `current` chosen at first.
    // Returns the index chosen, or -1 when cancelled.
    virtual int chooseItem(QWidget *parent, const QString &title, const QString &label, const QStringList &items,
                           int current) = 0;
    // Runs a dialog of the window's own modally; true when it was accepted.
    // The caller owns the dialog and reads its result afterwards.
    virtual bool runDialog(QDialog *dialog) = 0;
};

class WidgetDialogs : public Dialogs
{
public:
    void showMessage(QWidget *parent, const QString &text, const QString &detail) override;
    bool confirm(QWidget *parent, const QString &title, const QString &text) override;
    SaveChoice askSaveChanges(QWidget *parent, const QString &title, const QString &text) override;
    bool askRestore(QWidget *parent, const QString &title, const QString &text) override;
    QString openFileName(QWidget *parent, const QString &filter, const QString &remembered) override;
    QString saveFileName(QWidget *parent, const QString &filter, const QString &preset) override;
    int chooseItem(QWidget *parent, const QString &title, const QString &label, const QStringList &items,
                   int current) override;
    bool runDialog(QDialog *dialog) override;
};

} // namespace varlo
